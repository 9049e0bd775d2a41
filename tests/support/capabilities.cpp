#include "capabilities.h"

#ifdef _WIN32

namespace qz::test {

WithoutCapability::WithoutCapability(int capability)
    : capability_(capability), failure_("Windows has no capabilities to drop") {}

WithoutCapability::~WithoutCapability() = default;

}  // namespace qz::test

#else

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qz::test {
namespace {

bool SetEffective(int capability, bool effective) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  const unsigned bit = 1u << (capability % 32);
  auto& set = data[capability / 32].effective;
  set = effective ? set | bit : set & ~bit;
  return syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

WithoutCapability::WithoutCapability(int capability) : capability_(capability) {
  dropped_ = SetEffective(capability_, false);
  if (!dropped_) failure_ = std::string("cannot drop capability ") + std::to_string(capability) + ": " + std::strerror(errno);
}

WithoutCapability::~WithoutCapability() {
  if (dropped_) SetEffective(capability_, true);
}

}  // namespace qz::test

#endif
