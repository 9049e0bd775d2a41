#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "process_capabilities.h"
#include "socket_platform.h"

#ifdef __linux__
#include <fstream>
#include <linux/capability.h>
#endif

namespace {

// A socket bound to a free port of 127.0.0.1, whose address it fills in;
// kNoSocket when the system refused.
qz::TSocketHandle OnLoopback(int type, int protocol, sockaddr_in& address) {
  const qz::TSocketHandle handle = qz::OpenSocket(AF_INET, type, protocol);
  address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (handle != qz::kNoSocket &&
      (::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
       ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0)) {
    qz::CloseSocketHandle(handle);
    return qz::kNoSocket;
  }
  return handle;
}

}  // namespace

TEST(SocketPlatform, WindowsSocketsNumbers) {
#ifdef _WIN32
  // Windows reports the numbers themselves.
  const std::pair<int, int> cases[] = {{0, 0}, {WSAECONNREFUSED, 10061}, {WSAETIMEDOUT, 10060}};
#else
  const std::pair<int, int> cases[] = {{0, 0},          {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},
                                       {ECONNRESET, 10054}, {EHOSTUNREACH, 10065}, {ENOTSOCK, 10038}};
#endif
  for (const auto& [platform, windows] : cases) EXPECT_EQ(qz::SocketErrorFromPlatform(platform), windows) << platform;
  EXPECT_EQ(qz::StartSocketLibrary(), "");
}

// The layer opens, connects and reports what the system said, in its numbers.
TEST(SocketPlatform, ARefusedConnectIsReportedAsRefused) {
  sockaddr_in address{};
  // A port that was free a moment ago, and is closed again.
  const qz::TSocketHandle listener = OnLoopback(SOCK_STREAM, IPPROTO_TCP, address);
  ASSERT_NE(listener, qz::kNoSocket);
  qz::CloseSocketHandle(listener);

  const qz::TSocketHandle client = qz::OpenSocket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(client, qz::kNoSocket);
  ASSERT_TRUE(qz::SetNonBlocking(client, true));
  if (::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int started = qz::LastSocketError();
    ASSERT_TRUE(qz::ConnectPending(started) || started == qz::kSocketConnectionRefused) << started;
    if (qz::ConnectPending(started)) {
      EXPECT_EQ(qz::WaitForSocket(client, qz::TSocketWait::Writable, 5000), 1);
      EXPECT_EQ(qz::PendingSocketError(client), qz::kSocketConnectionRefused);
    }
  } else {
    ADD_FAILURE() << "a closed port accepted the connection";
  }
  qz::CloseSocketHandle(client);
}

// A wait gives up when its time is out, not before and not never; and a
// datagram that arrives meanwhile ends it at once.
TEST(SocketPlatform, AWaitKeepsItsTimeOut) {
  sockaddr_in address{};
  const qz::TSocketHandle socket = OnLoopback(SOCK_DGRAM, IPPROTO_UDP, address);
  ASSERT_NE(socket, qz::kNoSocket);
  const socklen_t length = sizeof address;

  // A wait that ignored its time-out would never come back: it runs beside
  // a watchdog that sends a datagram after ten seconds.
  std::atomic<bool> waited{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 1000 && !waited; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!waited) qz::SendDatagram(socket, "x", 1, reinterpret_cast<const sockaddr*>(&address), length);
  });
  const auto start = std::chrono::steady_clock::now();
  const int quiet = qz::WaitForSocket(socket, qz::TSocketWait::Readable, 300);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  waited = true;
  watchdog.join();
  EXPECT_EQ(quiet, 0);
  EXPECT_GE(elapsed, std::chrono::milliseconds(290));
  EXPECT_LT(elapsed, std::chrono::seconds(10));

  std::thread sender([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    qz::SendDatagram(socket, "y", 1, reinterpret_cast<const sockaddr*>(&address), length);
  });
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(qz::WaitForSocket(socket, qz::TSocketWait::Readable, 20000), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
  sender.join();
  qz::CloseSocketHandle(socket);
}

#ifdef __linux__
// As the package installs the program: CAP_NET_BIND_SERVICE permitted, not
// effective. UDP 162 is bound only through the privilege, which leaves the
// effective set as it found it, whether it raised it or not.
TEST(ProcessCapabilities, APrivilegedPortIsBoundOnlyThroughThePrivilege) {
  if (!qz::CapabilityPermitted(CAP_NET_BIND_SERVICE)) GTEST_SKIP() << "needs CAP_NET_BIND_SERVICE permitted (root)";
  int unprivilegedStart = 0;
  std::ifstream("/proc/sys/net/ipv4/ip_unprivileged_port_start") >> unprivilegedStart;
  if (unprivilegedStart <= 162) GTEST_SKIP() << "this system lets anyone bind port 162";
  const bool wasEffective = qz::CapabilityEffective(CAP_NET_BIND_SERVICE);
  sockaddr_in trapPort{};
  trapPort.sin_family = AF_INET;
  trapPort.sin_port = htons(162);
  inet_pton(AF_INET, "127.0.0.249", &trapPort.sin_addr);
  const auto bindTrapPort = [&] {
    const qz::TSocketHandle handle = qz::OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const int result = ::bind(handle, reinterpret_cast<const sockaddr*>(&trapPort), sizeof trapPort) == 0 ? 0 : errno;
    qz::CloseSocketHandle(handle);
    return result;
  };

  ASSERT_TRUE(qz::SetCapabilityEffective(CAP_NET_BIND_SERVICE, false));
  EXPECT_EQ(bindTrapPort(), EACCES);
  {
    const qz::TPortBindingPrivilege privilege;
    EXPECT_TRUE(qz::CapabilityEffective(CAP_NET_BIND_SERVICE));
    EXPECT_EQ(bindTrapPort(), 0);
  }
  EXPECT_FALSE(qz::CapabilityEffective(CAP_NET_BIND_SERVICE));
  EXPECT_TRUE(qz::CapabilityPermitted(CAP_NET_BIND_SERVICE));

  ASSERT_TRUE(qz::SetCapabilityEffective(CAP_NET_BIND_SERVICE, true));
  { const qz::TPortBindingPrivilege privilege; }
  EXPECT_TRUE(qz::CapabilityEffective(CAP_NET_BIND_SERVICE)) << "the privilege took out what it had not raised";
  qz::SetCapabilityEffective(CAP_NET_BIND_SERVICE, wasEffective);
}
#endif
