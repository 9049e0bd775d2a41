#include <cerrno>

#include <gtest/gtest.h>

#include "socket_platform.h"

TEST(SocketPlatform, DottedQuads) {
  const std::pair<const char*, bool> cases[] = {
      {"127.0.0.1", true}, {"0.0.0.0", true},   {"255.255.255.255", true}, {"256.0.0.1", false},
      {"1.2.3", false},    {"1.2.3.4.", false}, {"1..3.4", false},         {" 1.2.3.4", false},
      {"1.2.3.0004", false}, {"localhost", false}, {"", false},            {"1.2.3.-4", false}};
  for (const auto& [text, valid] : cases) EXPECT_EQ(qz::IsDottedQuad(text), valid) << text;
}

TEST(SocketPlatform, WindowsSocketsNumbers) {
  const std::pair<int, int> cases[] = {{0, 0},          {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},
                                       {ECONNRESET, 10054}, {EHOSTUNREACH, 10065}, {ENOTSOCK, 10038}};
  for (const auto& [platform, windows] : cases) EXPECT_EQ(qz::SocketErrorFromPlatform(platform), windows) << platform;
  EXPECT_EQ(qz::StartSocketLibrary(), "");
}
