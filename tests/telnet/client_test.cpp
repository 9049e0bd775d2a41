// The TCP and Telnet clients against real Telnet servers on loopback.
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

#include <unistd.h>

#include <gtest/gtest.h>

#include "net_errors.h"
#include "servers.h"
#include "telnet_client.h"

using namespace qz::telnet;
using namespace std::chrono_literals;

namespace {

// The test's "window thread": hand-overs queue here and run in RunUntil.
class MainLoop {
 public:
  MainLoop()
      : mainThread_(std::this_thread::get_id()),
        hooks_({[this](std::function<void()> call) {
                  std::lock_guard lock(mutex_);
                  calls_.push_back(std::move(call));
                },
                [this] { return std::this_thread::get_id() == mainThread_; }, [this] { RunPending(); }}) {}
  void RunPending() {
    std::deque<std::function<void()>> calls;
    {
      std::lock_guard lock(mutex_);
      calls.swap(calls_);
    }
    for (auto& call : calls) call();
  }
  bool RunUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5000ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      RunPending();
      std::this_thread::sleep_for(2ms);
    }
    return true;
  }

 private:
  std::thread::id mainThread_;
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
  TMainLoopScope hooks_;
};

class TelnetClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = qz::test::TelnetServersUnavailable(); !why.empty()) GTEST_SKIP() << why;
    client_.OnDataAvailable = [this](const std::string& text) { received_ += text; };
  }
  // Types a line as the console does, one character at a time.
  void TypeLine(const std::string& line) {
    for (char c : line) client_.SendCh(c);
    client_.SendCh('\r');
  }
  MainLoop loop_;
  TTelnetClient client_;
  std::string received_;
};

}  // namespace

TEST(ResolveHost, NamesAndAddresses) {
  EXPECT_EQ(ResolveHost("LocalHost"), "127.0.0.1");
  EXPECT_EQ(ResolveHost("10.1.2.3"), "10.1.2.3");
  EXPECT_THROW(ResolveHost("no host here!"), ESocketError);
}

TEST(SocketErrors, TextsCarryTheWindowsNumber) {
  EXPECT_EQ(SocketErrorText(10061), std::string("Socket Error # 10061") + kLineBreak + "Connection refused.");
  EXPECT_EQ(SocketErrorText(10035), std::string("Socket Error # 10035") + kLineBreak + "Operation would block. ");
  EXPECT_EQ(SocketErrorText(12345), std::string("Socket Error # 12345") + kLineBreak);
}

TEST_F(TelnetClientTest, ShellOfBusyboxTelnetd) {
  qz::test::BusyboxTelnetd server("127.0.0.61");
  ASSERT_TRUE(server.Started());
  client_.Host = "127.0.0.61";
  client_.Connect(2000);
  EXPECT_TRUE(client_.Connected());
  EXPECT_THROW(client_.Connect(2000), EAlreadyConnected);
  ASSERT_TRUE(loop_.RunUntil([&] { return received_.find("# ") != std::string::npos; })) << received_;
  TypeLine("echo hel''lo");
  ASSERT_TRUE(loop_.RunUntil([&] { return received_.find("hello") != std::string::npos; })) << received_;
  bool disconnectRaised = false;
  client_.OnDisconnect = [&] { disconnectRaised = true; };
  client_.Disconnect();
  EXPECT_TRUE(disconnectRaised);
  EXPECT_FALSE(client_.Connected());
}

TEST_F(TelnetClientTest, PeerCloseEndsTheReaderQuietly) {
  qz::test::BusyboxTelnetd server("127.0.0.61");
  ASSERT_TRUE(server.Started());
  client_.Host = "127.0.0.61";
  bool disconnectRaised = false;
  client_.OnDisconnect = [&] { disconnectRaised = true; };
  client_.Connect(2000);
  ASSERT_TRUE(loop_.RunUntil([&] { return received_.find("# ") != std::string::npos; }));
  TypeLine("exit");
  ASSERT_TRUE(loop_.RunUntil([&] { return !client_.Connected(); }));
  EXPECT_FALSE(disconnectRaised);
  ASSERT_TRUE(loop_.RunUntil([&] { return client_.ReaderEndText() == "Connection closed by peer."; }));
  // The same client connects again; the old reader is released on the way.
  client_.Connect(2000);
  EXPECT_TRUE(client_.Connected());
  client_.Disconnect();
}

TEST_F(TelnetClientTest, TerminalTypeReachesTheShell) {
  qz::test::InetdStyleServer server("127.0.0.62", {"/usr/sbin/telnetd", "-h", "-E", "/bin/sh"});
  ASSERT_TRUE(server.Started());
  client_.Host = "127.0.0.62";
  client_.Connect(2000);
  ASSERT_TRUE(loop_.RunUntil([&] { return received_.find("# ") != std::string::npos ||
                                          received_.find("$ ") != std::string::npos; })) << received_;
  TypeLine("echo term=$TERM");
  ASSERT_TRUE(loop_.RunUntil([&] { return received_.find("term=dumb") != std::string::npos; })) << received_;
  client_.Disconnect();
}

TEST_F(TelnetClientTest, ASessionCutInsideASubnegotiationLeavesTheNextOneWhole) {
  // The first session ends inside IAC SB; every later one says its banner.
  const std::string marker = "/tmp/qz_telnet_sb_" + std::to_string(::getpid());
  ::unlink(marker.c_str());
  qz::test::InetdStyleServer server(
      "127.0.0.65", {"/bin/sh", "-c",
                     "if [ -e " + marker + " ]; then printf 'banner\\r\\n'; sleep 1; else touch " + marker +
                         "; printf '\\377\\372\\030half'; fi"});
  ASSERT_TRUE(server.Started());
  client_.Host = "127.0.0.65";
  client_.Connect(2000);
  ASSERT_TRUE(loop_.RunUntil([&] { return !client_.Connected(); }));
  client_.Connect(2000);
  EXPECT_TRUE(loop_.RunUntil([&] { return received_.find("banner") != std::string::npos; })) << received_;
  client_.Disconnect();
  ::unlink(marker.c_str());
}

TEST_F(TelnetClientTest, AnOverLongSubnegotiationIsReported) {
  qz::test::InetdStyleServer server(
      "127.0.0.65", {"/bin/sh", "-c", "printf '\\377\\372\\030'; head -c 5000 /dev/zero; printf '\\377\\360after'; sleep 1"});
  ASSERT_TRUE(server.Started());
  std::atomic<size_t> dropped{0};
  client_.OnSubnegotiationDropped = [&](uint8_t option, size_t length) {
    if (option == 24) dropped = length;
  };
  client_.Host = "127.0.0.65";
  client_.Connect(2000);
  ASSERT_TRUE(loop_.RunUntil([&] { return received_.find("after") != std::string::npos; })) << received_;
  EXPECT_EQ(dropped, 5000u);
  client_.Disconnect();
}

TEST_F(TelnetClientTest, RefusedConnect) {
  client_.Host = "127.0.0.63";
  try {
    client_.Connect(2000);
    FAIL() << "connected";
  } catch (const EConnectError& error) {
    EXPECT_EQ(error.what(), std::string("Socket Error # 10061") + kLineBreak + "Connection refused.");
  }
  const TMainLoopScope noWindow({});  // a plain blocking connect
  try {
    client_.Connect(0);
    FAIL() << "connected";
  } catch (const ESocketError& error) {
    EXPECT_EQ(error.Code(), 10061);
    EXPECT_EQ(error.what(), std::string("Socket Error # 10061") + kLineBreak + "Connection refused.");
  }
  EXPECT_FALSE(client_.Connected());
}

TEST_F(TelnetClientTest, SilentPeerTimesOutWhileTheWindowIsServed) {
  qz::test::SilentListener silent("127.0.0.64", 23);
  ASSERT_TRUE(silent.Ready());
  int pumps = 0;
  const TMainLoopScope pumping({nullptr, [] { return true; }, [&] { ++pumps; }});
  client_.Host = "127.0.0.64";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(client_.Connect(600), EConnectTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 550ms);
  EXPECT_GE(pumps, 3);
  EXPECT_FALSE(client_.Connected());
}

TEST_F(TelnetClientTest, WritingNeedsAConnection) {
  EXPECT_NO_THROW(client_.Write(""));
  try {
    client_.Write("x");
    FAIL() << "written";
  } catch (const ENotConnected& error) {
    EXPECT_STREQ(error.what(), "Not Connected");
  }
}
