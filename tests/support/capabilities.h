#pragma once
// Takes one capability out of the calling thread's effective set for the
// object's life (root then meets file modes, or the socket rules, as an
// ordinary user does); it stays permitted, so it comes back.
#include <string>

namespace qz::test {

class WithoutCapability {
 public:
  explicit WithoutCapability(int capability);
  ~WithoutCapability();
  WithoutCapability(const WithoutCapability&) = delete;
  WithoutCapability& operator=(const WithoutCapability&) = delete;
  // Empty when dropped, else why not.
  const std::string& Failure() const { return failure_; }

 private:
  int capability_;
  bool dropped_ = false;
  std::string failure_;
};

}  // namespace qz::test
