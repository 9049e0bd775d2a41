// The exchange and the retrying calls against a small UDP responder on a
// loopback address of the test's own.
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net.h"
#include "snmp_exchange.h"
#include "snmp_message.h"
#include "sockets.h"
#include "udp_endpoint.h"

using namespace qz::snmp;

namespace {

using qz::kNoSocket;
using qz::test::BoundSocket;

// Answers requests on address:161 with the value "answer" and the given
// error-status, after ignoring the first `ignore` requests; replies may leave
// from another address. A responder with strays sends, before each answer,
// datagrams that are not the answer: a cut one, one of no bytes, request-ids
// that a forger could guess (1, the one every request used to carry, and
// the neighbours of the real one), a request PDU, another version. A slow
// responder answers each request `delay` after it came.
class Responder {
 public:
  Responder(const std::string& address, int ignore, const std::string& replyFrom = "", bool strays = false,
            int32_t errorStatus = 0, std::chrono::milliseconds delay = {})
      : ignore_(ignore), strays_(strays), errorStatus_(errorStatus), delay_(delay) {
    fd_ = BoundSocket(SOCK_DGRAM, address, 161);
    replyFd_ = replyFrom.empty() ? fd_ : BoundSocket(SOCK_DGRAM, replyFrom, 0);
    if (fd_ != kNoSocket) thread_ = std::thread([this] { Serve(); });
  }
  ~Responder() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (replyFd_ != fd_) qz::CloseSocketHandle(replyFd_);
    qz::CloseSocketHandle(fd_);
  }
  bool Ready() const { return fd_ != kNoSocket && replyFd_ != kNoSocket; }
  std::vector<TSnmpMessage> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void Serve() {
    while (!stop_) {
      if (qz::WaitForSocket(fd_, qz::TSocketWait::Readable, 20) <= 0) continue;
      char buffer[2048];
      sockaddr_in peer{};
      socklen_t length = sizeof peer;
      const auto n = qz::ReceiveDatagram(fd_, buffer, sizeof buffer, reinterpret_cast<sockaddr*>(&peer), &length);
      if (n <= 0) continue;
      TSnmpMessage request;
      request.DecodeMessage(std::string(buffer, static_cast<size_t>(n)));
      size_t count = 0;
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        count = requests_.size();
      }
      if (static_cast<int>(count) <= ignore_) continue;
      auto reply = [&](int32_t version, int32_t pduType, int32_t id, const std::string& value) {
        TSnmpMessage message;
        message.Version = version;
        message.Community = request.Community;
        message.PDUType = pduType;
        message.ID = id;
        message.ErrorStatus = errorStatus_;
        message.AddVarBind(request.VarBind(0).OID, value, berOctetString);
        return message.EncodeMessage();
      };
      std::vector<ByteString> datagrams;
      if (strays_)
        datagrams = {ByteString("\x30\x03\x02\x01\x00", 5), ByteString(),
                     reply(0, pduGetResponse, 1, "stray"), reply(0, pduGetResponse, request.ID + 1, "stray"),
                     reply(0, pduGetResponse, request.ID - 1, "stray"),
                     reply(0, pduGetResponse, request.ID + 1000, "stray"),
                     reply(0, pduGetRequest, request.ID, "stray"), reply(1, pduGetResponse, request.ID, "stray")};
      datagrams.push_back(reply(0, pduGetResponse, request.ID, "answer " + std::to_string(count)));
      std::this_thread::sleep_for(delay_);
      for (const ByteString& bytes : datagrams)
        qz::SendDatagram(replyFd_, bytes.data(), bytes.size(), reinterpret_cast<sockaddr*>(&peer), length);
    }
  }

  int ignore_;
  bool strays_;
  int32_t errorStatus_;
  std::chrono::milliseconds delay_;
  qz::TSocketHandle fd_ = kNoSocket;
  qz::TSocketHandle replyFd_ = kNoSocket;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<TSnmpMessage> requests_;
};

TSNMPdata Request(const std::string& host, int tries, int timeoutMs) {
  TSNMPdata request;
  request.OID = "1.3.6.1.2.1.1.5.0";
  request.Community = "kelvor";
  request.Host = host;
  request.RetryCount = tries;
  request.TimeOut = timeoutMs;
  return request;
}

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!qz::test::MayUsePrivilegedPorts()) GTEST_SKIP() << "needs root to listen on UDP port 161";
  }
};

}  // namespace

TEST(UdpEndpoint, UnresolvableHostFailsAtTheSend) {
  TUdpEndpoint endpoint;
  endpoint.OpenTo("no host here!", "161");
  endpoint.SendDatagram("x");
  EXPECT_NE(endpoint.LastError(), 0);
}

TEST_F(ExchangeTest, SilentAddressFailsAfterEveryTry) {
  int pumps = 0;
  const TMessagePumpScope pump([&] { ++pumps; });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(NetSnmpGet(Request("127.0.0.29", 2, 100)));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  std::string failure;
  bool answered = true;
  EXPECT_FALSE(NetSnmpSet(Request("127.0.0.29", 1, 100), &failure, &answered));
  EXPECT_EQ(failure, "no answer from 127.0.0.29");
  EXPECT_FALSE(answered);
  EXPECT_EQ(SnmpResult, kNoResponse);
  EXPECT_EQ(pumps, 2);
  EXPECT_GE(elapsed, std::chrono::milliseconds(190));
}

TEST_F(ExchangeTest, NoTriesSendNothing) {
  Responder responder("127.0.0.21", 0);
  ASSERT_TRUE(responder.Ready());
  SnmpResult = "old";
  EXPECT_FALSE(NetSnmpGet(Request("127.0.0.21", 0, 100)));
  EXPECT_EQ(SnmpResult, kNoResponse);
  TSNMPdata set = Request("127.0.0.21", 0, 100);
  set.ValueType = berOctetString;
  EXPECT_FALSE(NetSnmpSet(set));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(responder.Requests().empty());
}

TEST_F(ExchangeTest, SecondTryIsAnswered) {
  Responder responder("127.0.0.22", 1);
  ASSERT_TRUE(responder.Ready());
  EXPECT_TRUE(NetSnmpGet(Request("127.0.0.22", 3, 200)));
  EXPECT_EQ(SnmpResult, "answer 2");
  const auto requests = responder.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].ID, requests[1].ID);
  for (const auto& request : requests) {
    EXPECT_EQ(request.Version, 0);
    EXPECT_GT(request.ID, 0);
    EXPECT_EQ(request.PDUType, pduGetRequest);
    EXPECT_EQ(request.Community, "kelvor");
    EXPECT_EQ(request.FindValue("1.3.6.1.2.1.1.5.0"), "");
  }
}

TEST_F(ExchangeTest, ALateAnswerToAnEarlierTryCounts) {
  // The first answer comes after its try gave up, while the second try waits.
  Responder responder("127.0.0.33", 0, "", false, 0, std::chrono::milliseconds(150));
  ASSERT_TRUE(responder.Ready());
  EXPECT_TRUE(NetSnmpGet(Request("127.0.0.33", 2, 100)));
  EXPECT_EQ(SnmpResult, "answer 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto requests = responder.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].ID, requests[1].ID);
}

TEST_F(ExchangeTest, DatagramsThatAreNotTheAnswerArePassedOver) {
  Responder responder("127.0.0.27", 0, "", true);
  ASSERT_TRUE(responder.Ready());
  EXPECT_TRUE(NetSnmpGet(Request("127.0.0.27", 1, 300)));
  EXPECT_EQ(SnmpResult, "answer 1");
}

TEST_F(ExchangeTest, GuessedAnswersFromAnotherAddressArePassedOver) {
  // A forger on another address sends what it can guess ahead of the device.
  if (const std::string why = qz::test::LoopbackAddressesShared(); !why.empty()) GTEST_SKIP() << why;
  Responder responder("127.0.0.30", 0, "127.0.0.31", true);
  ASSERT_TRUE(responder.Ready());
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(NetSnmpGet(Request("127.0.0.30", 1, 300)));
    EXPECT_EQ(SnmpResult, "answer " + std::to_string(i));
  }
}

TEST_F(ExchangeTest, ARefusalCarriesNoValueAndIsNotAskedAgain) {
  // Whatever the agent puts in a refusal, its value is not shown and its
  // error-status (-1 too) is the agent's word, not a missing answer.
  for (const auto& [errorStatus, text] : {std::pair{2, "the device does not have this object (noSuchName)"},
                                          std::pair{-1, "the device refused the write with error-status -1 (unknown)"}}) {
    Responder responder("127.0.0.32", 0, "", false, errorStatus);
    ASSERT_TRUE(responder.Ready());
    EXPECT_TRUE(NetSnmpGet(Request("127.0.0.32", 3, 200))) << errorStatus;
    EXPECT_EQ(SnmpResult, "") << errorStatus;
    std::string failure;
    TSNMPdata set = Request("127.0.0.32", 3, 200);
    set.ValueType = berOctetString;
    bool answered = false;
    EXPECT_FALSE(NetSnmpSet(set, &failure, &answered));
    EXPECT_EQ(failure, text);
    EXPECT_TRUE(answered);
    EXPECT_EQ(responder.Requests().size(), 2u) << errorStatus;
  }
}

TEST_F(ExchangeTest, ReplyFromAnotherAddressIsTaken) {
  if (const std::string why = qz::test::LoopbackAddressesShared(); !why.empty()) GTEST_SKIP() << why;
  Responder responder("127.0.0.23", 0, "127.0.0.24");
  ASSERT_TRUE(responder.Ready());
  TSnmpExchange exchange;
  exchange.TargetHost = "127.0.0.23";
  exchange.Query.PDUType = pduGetRequest;
  exchange.Query.AddVarBind("1.3.6.1.2.1.1.5.0", "", berNull);
  ASSERT_TRUE(exchange.RunRequest());
  EXPECT_EQ(exchange.HostIP, "127.0.0.24");
  EXPECT_EQ(exchange.Reply.FindValue("1.3.6.1.2.1.1.5.0"), "answer 1");
}

TEST_F(ExchangeTest, ChangesMadeInsideThePumpDoNotReachTheRunningCall) {
  Responder responder("127.0.0.25", 1);
  ASSERT_TRUE(responder.Ready());
  SnmpRequest = Request("127.0.0.25", 2, 200);
  const TMessagePumpScope pump([] {
    SnmpRequest.Host = "127.0.0.29";
    SnmpRequest.OID = "1.3.6.1.2.1.1.6.0";
    SnmpRequest.Community = "other";
  });
  EXPECT_TRUE(NetSnmpGet(SnmpRequest));
  const auto requests = responder.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].Community, "kelvor");
  EXPECT_EQ(requests[1].VarBind(0).OID, "1.3.6.1.2.1.1.5.0");
  EXPECT_EQ(SnmpRequest.Host, "127.0.0.29");
}

TEST_F(ExchangeTest, AbortedRequestsSendNothing) {
  Responder responder("127.0.0.26", 0);
  ASSERT_TRUE(responder.Ready());
  {
    const TMessagePumpScope pump({});
    AbortRequests(true);
    EXPECT_FALSE(NetSnmpGet(Request("127.0.0.26", 2, 100)));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(responder.Requests().empty());
  EXPECT_TRUE(NetSnmpGet(Request("127.0.0.26", 2, 100)));
}
