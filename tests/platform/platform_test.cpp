#include <cerrno>

#include <gtest/gtest.h>

#include "socket_platform.h"

TEST(SocketPlatform, WindowsSocketsNumbers) {
  const std::pair<int, int> cases[] = {{0, 0},          {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},
                                       {ECONNRESET, 10054}, {EHOSTUNREACH, 10065}, {ENOTSOCK, 10038}};
  for (const auto& [platform, windows] : cases) EXPECT_EQ(qz::SocketErrorFromPlatform(platform), windows) << platform;
  EXPECT_EQ(qz::StartSocketLibrary(), "");
}
