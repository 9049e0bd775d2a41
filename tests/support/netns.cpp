#include "netns.h"

#ifdef _WIN32

namespace qz::test {

std::string NetworkNamespacesUnavailable() { return "a thread under wine cannot enter a network namespace"; }

SilentEchoNetwork::SilentEchoNetwork() : failure_(NetworkNamespacesUnavailable()) {}

SilentEchoNetwork::~SilentEchoNetwork() = default;

NoEchoSockets::NoEchoSockets() : failure_(NetworkNamespacesUnavailable()) {}

NoEchoSockets::~NoEchoSockets() = default;

}  // namespace qz::test

#else

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <linux/capability.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace qz::test {
namespace {

// Enters a new network namespace with its loopback up; empty, or why not.
std::string EnterOwnNetwork(int& original, bool& entered) {
  original = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  if (original < 0 || unshare(CLONE_NEWNET) != 0)
    return std::string("cannot make a network namespace: ") + std::strerror(errno);
  entered = true;
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  ioctl(fd, SIOCGIFFLAGS, &request);
  request.ifr_flags |= IFF_UP;
  const bool up = ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  close(fd);
  return up ? std::string() : "cannot bring the namespace's loopback up";
}

}  // namespace

std::string NetworkNamespacesUnavailable() { return {}; }

SilentEchoNetwork::SilentEchoNetwork() {
  failure_ = EnterOwnNetwork(original_, entered_);
  if (entered_) std::ofstream("/proc/sys/net/ipv4/icmp_echo_ignore_all") << "1\n";
}

SilentEchoNetwork::~SilentEchoNetwork() {
  if (entered_) setns(original_, CLONE_NEWNET);
  if (original_ >= 0) close(original_);
}

NoEchoSockets::NoEchoSockets() {
  failure_ = EnterOwnNetwork(original_, entered_);
  if (!failure_.empty()) return;
  std::ofstream("/proc/sys/net/ipv4/ping_group_range") << "1 0\n";
  noRawSockets_ = std::make_unique<WithoutCapability>(CAP_NET_RAW);
  failure_ = noRawSockets_->Failure();
}

NoEchoSockets::~NoEchoSockets() {
  noRawSockets_.reset();
  if (entered_) setns(original_, CLONE_NEWNET);
  if (original_ >= 0) close(original_);
}

}  // namespace qz::test

#endif
