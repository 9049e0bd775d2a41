#include "process_capabilities.h"

#ifdef __linux__
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace qz {

#ifdef __linux__
namespace {

// glibc has no wrapper for the two calls; the kernel's interface is stable
// and two calls do not warrant a library.
struct TCapabilities {
  __user_cap_header_struct Header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct Data[2] = {};
};

bool Read(TCapabilities& capabilities) { return syscall(SYS_capget, &capabilities.Header, capabilities.Data) == 0; }

bool InSet(int capability, __u32 __user_cap_data_struct::*set) {
  TCapabilities capabilities;
  return capability >= 0 && capability < 64 && Read(capabilities) &&
         (capabilities.Data[capability / 32].*set & (1u << (capability % 32))) != 0;
}

}  // namespace

bool CapabilityPermitted(int capability) { return InSet(capability, &__user_cap_data_struct::permitted); }
bool CapabilityEffective(int capability) { return InSet(capability, &__user_cap_data_struct::effective); }

bool SetCapabilityEffective(int capability, bool effective) {
  TCapabilities capabilities;
  if (capability < 0 || capability >= 64 || !Read(capabilities)) return false;
  const __u32 bit = 1u << (capability % 32);
  __u32& set = capabilities.Data[capability / 32].effective;
  set = effective ? set | bit : set & ~bit;
  return syscall(SYS_capset, &capabilities.Header, capabilities.Data) == 0;
}

TPortBindingPrivilege::TPortBindingPrivilege() {
  if (CapabilityPermitted(CAP_NET_BIND_SERVICE) && !CapabilityEffective(CAP_NET_BIND_SERVICE))
    raised_ = SetCapabilityEffective(CAP_NET_BIND_SERVICE, true);
}

TPortBindingPrivilege::~TPortBindingPrivilege() {
  if (raised_) SetCapabilityEffective(CAP_NET_BIND_SERVICE, false);
}

#else

bool CapabilityPermitted(int) { return false; }
bool CapabilityEffective(int) { return false; }
bool SetCapabilityEffective(int, bool) { return false; }
TPortBindingPrivilege::TPortBindingPrivilege() = default;
TPortBindingPrivilege::~TPortBindingPrivilege() = default;

#endif

}  // namespace qz
