#include "netns.h"

#ifdef _WIN32

namespace qz::test {

std::string NetworkNamespacesUnavailable() { return "a thread under wine cannot enter a network namespace"; }

SilentEchoNetwork::SilentEchoNetwork() : failure_(NetworkNamespacesUnavailable()) {}

SilentEchoNetwork::~SilentEchoNetwork() = default;

}  // namespace qz::test

#else

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace qz::test {

std::string NetworkNamespacesUnavailable() { return {}; }

SilentEchoNetwork::SilentEchoNetwork() {
  original_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  if (original_ < 0 || unshare(CLONE_NEWNET) != 0) {
    failure_ = std::string("cannot make a network namespace: ") + std::strerror(errno);
    return;
  }
  entered_ = true;
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  ioctl(fd, SIOCGIFFLAGS, &request);
  request.ifr_flags |= IFF_UP;
  if (ioctl(fd, SIOCSIFFLAGS, &request) != 0) failure_ = "cannot bring the namespace's loopback up";
  close(fd);
  std::ofstream("/proc/sys/net/ipv4/icmp_echo_ignore_all") << "1\n";
}

SilentEchoNetwork::~SilentEchoNetwork() {
  if (entered_) setns(original_, CLONE_NEWNET);
  if (original_ >= 0) close(original_);
}

}  // namespace qz::test

#endif
