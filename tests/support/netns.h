#pragma once
// A network namespace of the test's own for the calling thread: only its
// loopback interface, which ignores ICMP echo requests, so echoes to it get
// no answer. The thread returns to its namespace when the object goes.
#include <memory>
#include <string>

#include "capabilities.h"

namespace qz::test {

// Why the calling thread cannot have a network namespace here, or empty.
std::string NetworkNamespacesUnavailable();

class SilentEchoNetwork {
 public:
  SilentEchoNetwork();
  ~SilentEchoNetwork();
  SilentEchoNetwork(const SilentEchoNetwork&) = delete;
  SilentEchoNetwork& operator=(const SilentEchoNetwork&) = delete;
  // Empty when the namespace is in place; otherwise why not.
  const std::string& Failure() const { return failure_; }

 private:
  int original_ = -1;
  bool entered_ = false;
  std::string failure_;
};

// For the calling thread, a system that grants no ICMP socket: a network
// namespace of its own whose net.ipv4.ping_group_range holds no group, and
// CAP_NET_RAW out of the thread's effective capabilities, as for an
// ordinary user. Both come back when the object goes.
class NoEchoSockets {
 public:
  NoEchoSockets();
  ~NoEchoSockets();
  NoEchoSockets(const NoEchoSockets&) = delete;
  NoEchoSockets& operator=(const NoEchoSockets&) = delete;
  const std::string& Failure() const { return failure_; }

 private:
  int original_ = -1;
  bool entered_ = false;
  std::unique_ptr<WithoutCapability> noRawSockets_;
  std::string failure_;
};

}  // namespace qz::test
