// ICMP echo against the loopback interface, and against a namespace of the
// test's own where echoes get no answer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "echo_filter.h"
#include "ping_program.h"
#endif

#include <gtest/gtest.h>

#include "echo_engine.h"
#include "netns.h"
#include "socket_platform.h"
#include "sockets.h"

using namespace qz::icmp;
using namespace std::chrono_literals;

namespace {

constexpr uint8_t kEchoRequest = 8;
constexpr uint8_t kEchoReply = 0;

// Every ICMP echo request on the loopback interface, as a raw socket sees it.
class RequestCapture {
 public:
  RequestCapture() : handle_(qz::OpenSocket(AF_INET, SOCK_RAW, IPPROTO_ICMP)) {}
  ~RequestCapture() { qz::CloseSocketHandle(handle_); }
  std::vector<std::string> RequestData() {
    std::vector<std::string> data;
    while (qz::WaitForSocket(handle_, qz::TSocketWait::Readable, 50) > 0) {
      uint8_t buffer[2048];
      const long n = qz::ReceiveBytes(handle_, buffer, sizeof buffer);
      const size_t header = static_cast<size_t>(buffer[0] & 0x0F) * 4;
      if (n >= static_cast<long>(header + 8) && buffer[header] == kEchoRequest)
        data.emplace_back(reinterpret_cast<char*>(buffer) + header + 8, static_cast<size_t>(n) - header - 8);
    }
    return data;
  }

 private:
  qz::TSocketHandle handle_;
};

class EchoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!qz::test::MayUsePrivilegedPorts()) GTEST_SKIP() << "needs root for raw ICMP sockets and network namespaces";
    pinger_.PingMsg = "ping";
    pinger_.Size = 56;
    pinger_.Timeout = 1000;
    pinger_.OnEchoRequest = [this] { events_ += "request;"; };
    pinger_.OnEchoReply = [this](int status) { events_ += "reply " + std::to_string(status) + ";"; };
    pinger_.OnEchoError = [this](const std::string& message) { events_ += "error " + message + ";"; };
  }
  TEchoEngine pinger_;
  std::string events_;
};

}  // namespace

TEST_F(EchoTest, LoopbackAnswers) {
  RequestCapture capture;
  pinger_.SetAddress("127.0.0.1");
  EXPECT_EQ(pinger_.Ping(), 1);
  EXPECT_EQ(events_, "request;reply 1;");
  EXPECT_EQ(pinger_.ReplyIP(), "127.0.0.1");
  EXPECT_EQ(pinger_.ReplyStatus(), 0);
  EXPECT_EQ(pinger_.ReplySize(), 56);
  EXPECT_GE(pinger_.ReplyRTT(), 0);
  EXPECT_LT(pinger_.ReplyRTT(), 1000);
  const std::string expected = "ping" + std::string(52, ' ');
  EXPECT_EQ(pinger_.RequestData(), expected);
  const auto seen = capture.RequestData();
  EXPECT_NE(std::find(seen.begin(), seen.end(), expected), seen.end());
}

TEST_F(EchoTest, LongMessageIsCutToSize) {
  RequestCapture capture;
  pinger_.SetAddress("127.0.0.2");
  pinger_.PingMsg = "pingpong-and-more";
  pinger_.Size = 8;
  EXPECT_EQ(pinger_.Ping(), 1);
  EXPECT_EQ(pinger_.RequestData(), "pingpong");
  const auto seen = capture.RequestData();
  EXPECT_NE(std::find(seen.begin(), seen.end(), "pingpong"), seen.end());
  EXPECT_EQ(pinger_.ReplyIP(), "127.0.0.2");
}

TEST_F(EchoTest, SilentTargetTimesOut) {
  if (const std::string why = qz::test::NetworkNamespacesUnavailable(); !why.empty()) GTEST_SKIP() << why;
  qz::test::SilentEchoNetwork silent;
  ASSERT_EQ(silent.Failure(), "");
  pinger_.SetAddress("127.0.0.1");
  pinger_.Timeout = 300;
  int waits = 0;
  pinger_.WhileWaiting = [&] { ++waits; };
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(pinger_.Ping(), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 290ms);
  EXPECT_EQ(pinger_.ErrorString(), "Request timed out");
  EXPECT_EQ(pinger_.LastError(), 11010);
  EXPECT_EQ(events_, "request;error Request timed out;reply 0;");
  EXPECT_GE(waits, 5);
}

TEST_F(EchoTest, StrayEchoRepliesAreNotOurs) {
  if (const std::string why = qz::test::NetworkNamespacesUnavailable(); !why.empty()) GTEST_SKIP() << why;
  qz::test::SilentEchoNetwork silent;
  ASSERT_EQ(silent.Failure(), "");
  pinger_.SetAddress("127.0.0.1");
  pinger_.Timeout = 400;
  std::thread stranger([] {
    // Another program's traffic: echo replies with other numbers.
    const qz::TSocketHandle handle = qz::OpenSocket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    const sockaddr_in to = qz::test::IPv4Address("127.0.0.1", 0);
    for (int i = 0; i < 10; ++i) {
      uint8_t reply[16] = {kEchoReply, 0, 0, 0, 0x12, static_cast<uint8_t>(i), 0, 1};
      qz::SendDatagram(handle, reply, sizeof reply, reinterpret_cast<const sockaddr*>(&to), sizeof to);
      std::this_thread::sleep_for(20ms);
    }
    qz::CloseSocketHandle(handle);
  });
  EXPECT_EQ(pinger_.Ping(), 0);
  stranger.join();
}

TEST_F(EchoTest, BlankAddressSendsNothing) {
  for (const char* address : {"", "  \t "}) {
    events_.clear();
    pinger_.SetAddress(address);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(pinger_.Ping(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_EQ(pinger_.ErrorString(), "Blank address");
    EXPECT_EQ(events_, "error Blank address;reply 0;");
  }
}

TEST_F(EchoTest, AddressesAndTheirResolution) {
  pinger_.SetAddress("localhost");
  EXPECT_EQ(pinger_.Ping(), 1);
  EXPECT_TRUE(pinger_.AddressResolved());
  pinger_.SetAddress("localhost");
  EXPECT_TRUE(pinger_.AddressResolved());
  pinger_.SetAddress("127.0.0.1");
  EXPECT_FALSE(pinger_.AddressResolved());
  pinger_.SetAddress("no host here!");
  EXPECT_EQ(pinger_.Ping(), 0);
  EXPECT_EQ(pinger_.ErrorString().rfind("Unable to resolve no host here! - ", 0), 0u) << pinger_.ErrorString();
  pinger_.SetAddress("::1");
  EXPECT_EQ(pinger_.Ping(), 0);
  EXPECT_EQ(pinger_.ErrorString(), "IPv6 not available");
}

// Which ICMP socket Linux lets a user have.
#ifndef _WIN32

TEST(Echo, WithoutAnIcmpSocketTheEchoFails) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t child = fork();
  if (child == 0) {
    // An unprivileged user outside net.ipv4.ping_group_range has neither socket.
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    const int probe = socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
    if (probe >= 0) _exit(3);
    TEchoEngine engine;
    engine.PingProgram.clear();
    engine.SetAddress("127.0.0.1");
    const int result = engine.Ping();
    const std::string text = engine.ErrorString();
    if (write(pipeFds[1], text.data(), text.size()) < 0) _exit(2);
    _exit(result == 0 ? 0 : 1);
  }
  close(pipeFds[1]);
  char text[128] = {};
  ASSERT_GE(read(pipeFds[0], text, sizeof text - 1), 0);
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "this system lets every user open ICMP datagram sockets";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_STREQ(text, "Unable to get IPv4 ICMP handle");
}

namespace {

// Runs body in a child process inside a network namespace of its own, its
// loopback up. Gives the child's exit status (body's, or 2 when the set-up
// failed) and the text body gave.
std::pair<int, std::string> RunInOwnNetwork(const std::function<std::pair<int, std::string>()>& body) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {2, "no pipe"};
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    if (unshare(CLONE_NEWNET) != 0) _exit(2);
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    ioctl(fd, SIOCGIFFLAGS, &request);
    request.ifr_flags |= IFF_UP;
    if (ioctl(fd, SIOCSIFFLAGS, &request) != 0) _exit(2);
    close(fd);
    const auto [status, text] = body();
    if (write(pipeFds[1], text.data(), text.size()) < 0) _exit(2);
    _exit(status);
  }
  close(pipeFds[1]);
  char text[512] = {};
  const auto n = read(pipeFds[0], text, sizeof text - 1);
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 2, n > 0 ? std::string(text, static_cast<size_t>(n)) : ""};
}

// Pings 127.0.0.1 in a network namespace of its own, with the ICMP datagram
// socket open to every group there or to none, as the unprivileged user
// nobody or as root, with the system's ping program as the way out or none.
// Gives the exit status (0: answered, 1: not, 2: set-up failed) and the reply
// and its way, or the engine's error text.
std::pair<int, std::string> PingInOwnNetwork(bool datagramSocketsForAll, bool asNobody,
                                             const std::string& pingProgram = {}) {
  return RunInOwnNetwork([&]() -> std::pair<int, std::string> {
    std::ofstream("/proc/sys/net/ipv4/ping_group_range") << (datagramSocketsForAll ? "0 2147483647" : "1 0");
    if (asNobody && (setgid(65534) != 0 || setuid(65534) != 0)) return {2, "no user nobody"};
    TEchoEngine engine;
    engine.PingProgram = pingProgram;
    engine.SetAddress("127.0.0.1");
    engine.Timeout = 1000;
    const int replies = engine.Ping();
    if (replies != 1) return {1, engine.ErrorString()};
    return {0, "reply from " + engine.ReplyIP() + " through " + engine.Way()};
  });
}

}  // namespace

TEST(Echo, AnOrdinaryUserPingsThroughTheDatagramSocket) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a network namespace";
  const auto [status, text] = PingInOwnNetwork(true, true);
  ASSERT_NE(status, 2) << "the namespace could not be set up";
  EXPECT_EQ(status, 0) << text;
  EXPECT_EQ(text, "reply from 127.0.0.1 through an ICMP socket");
}

TEST(Echo, WithoutDatagramSocketsRootPingsThroughTheRawSocket) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a network namespace";
  const auto [status, text] = PingInOwnNetwork(false, false);
  ASSERT_NE(status, 2) << "the namespace could not be set up";
  EXPECT_EQ(status, 0) << text;
  EXPECT_EQ(text, "reply from 127.0.0.1 through a raw ICMP socket");
}

// Debian 12's ping_group_range lets no group have the datagram socket; its
// ping program has the capability to send echoes, the window none.
TEST(Echo, AnOrdinaryUserWithoutDatagramSocketsPingsThroughThePingProgram) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a network namespace";
  if (access(kSystemPingProgram, X_OK) != 0) GTEST_SKIP() << kSystemPingProgram << " is not installed";
  const auto [status, text] = PingInOwnNetwork(false, true, kSystemPingProgram);
  ASSERT_NE(status, 2) << "the namespace could not be set up";
  EXPECT_EQ(status, 0) << text;
  EXPECT_EQ(text, std::string("reply from 127.0.0.1 through ") + kSystemPingProgram);
}

namespace {

std::string EchoRequest(uint16_t identifier) {
  std::string packet = {static_cast<char>(kEchoRequest), 0, 0, 0, static_cast<char>(identifier >> 8),
                        static_cast<char>(identifier & 0xFF), 0, 1, 'q', 'z'};
  uint32_t sum = 0;
  for (size_t i = 0; i < packet.size(); i += 2)
    sum += static_cast<uint32_t>(static_cast<uint8_t>(packet[i]) << 8 | static_cast<uint8_t>(packet[i + 1]));
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  packet[2] = static_cast<char>(~sum >> 8);
  packet[3] = static_cast<char>(~sum & 0xFF);
  return packet;
}

}  // namespace

// A raw socket sees every ICMP packet of the host; filtered, it is woken
// only by the replies to its own echoes. Another program's echo requests
// and replies on loopback (in a network namespace of the test's own) do not
// reach it.
TEST(Echo, ARawSocketReceivesOnlyItsOwnReplies) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for raw sockets and a network namespace";
  const auto [status, seen] = RunInOwnNetwork([]() -> std::pair<int, std::string> {
    const qz::TSocketHandle ours = qz::OpenSocket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    const qz::TSocketHandle other = qz::OpenSocket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (ours == qz::kNoSocket || other == qz::kNoSocket || !FilterToOwnReplies(ours, 0x4242)) return {2, "no filter"};
    const sockaddr_in to = qz::test::IPv4Address("127.0.0.1", 0);
    for (uint16_t identifier : {0x1111, 0x4242, 0x2222}) {
      const std::string echo = EchoRequest(identifier);
      qz::SendDatagram(other, echo.data(), echo.size(), reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    std::string received;
    while (qz::WaitForSocket(ours, qz::TSocketWait::Readable, 300) > 0) {
      uint8_t buffer[2048];
      const long n = qz::ReceiveBytes(ours, buffer, sizeof buffer);
      const size_t header = static_cast<size_t>(buffer[0] & 0x0F) * 4;
      if (n < static_cast<long>(header + 8)) continue;
      char text[32];
      std::snprintf(text, sizeof text, "type %u id %02x%02x;", buffer[header], buffer[header + 4], buffer[header + 5]);
      received += text;
    }
    return {0, received};
  });
  ASSERT_EQ(status, 0) << "the namespace could not be set up: " << seen;
  EXPECT_EQ(seen, "type 0 id 4242;");
}

TEST(Echo, ThePingProgramsReportIsRead) {
  const struct {
    std::string report;
    bool replied;
    std::string from;
    int rtt, status, size, error;
  } cases[] = {
      {"PING 127.0.0.1 (127.0.0.1) 56(84) bytes of data.\n64 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=0.045 ms\n",
       true, "127.0.0.1", 0, 0, 56, 0},
      {"64 bytes from 10.1.2.3: icmp_seq=1 ttl=63 time=23.7 ms\n", true, "10.1.2.3", 23, 0, 56, 0},
      {"From 10.9.9.1 icmp_seq=1 Time to live exceeded\n", true, "10.9.9.1", 0, 11013, 0, 0},
      {"From 127.0.0.5 icmp_seq=1 Destination Host Unreachable\n", true, "127.0.0.5", 0, 11003, 0, 0},
      {"PING 127.0.0.9 (127.0.0.9) 56(84) bytes of data.\n\n--- 127.0.0.9 ping statistics ---\n1 packets "
       "transmitted, 0 received, 100% packet loss, time 0ms\n",
       false, "", 0, 0, 0, kRequestTimedOut},
      {"ping: socket: Operation not permitted\n", false, "", 0, 0, 0, kRequestTimedOut},
      {"", false, "", 0, 0, 0, kRequestTimedOut},
  };
  for (const auto& c : cases) {
    const TEchoOutcome outcome = ParsePingReport(c.report);
    EXPECT_EQ(outcome.Replied, c.replied) << c.report;
    EXPECT_EQ(outcome.ReplyIP, c.from) << c.report;
    EXPECT_EQ(outcome.RTT, c.rtt) << c.report;
    EXPECT_EQ(outcome.Status, c.status) << c.report;
    EXPECT_EQ(outcome.Size, c.size) << c.report;
    EXPECT_EQ(outcome.Error, c.error) << c.report;
  }
}

TEST(Echo, AnOrdinaryUserWithoutDatagramSocketsIsToldWhy) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a network namespace";
  const auto [status, text] = PingInOwnNetwork(false, true);
  ASSERT_NE(status, 2) << "the namespace could not be set up";
  EXPECT_EQ(status, 1);
  EXPECT_EQ(text, "Unable to get IPv4 ICMP handle");
}

#endif
