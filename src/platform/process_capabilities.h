#pragma once
// The calling thread's Linux capabilities, as far as the program needs them.
// Ports below the system's unprivileged start (UDP 162, where traps arrive)
// need CAP_NET_BIND_SERVICE. The package gives the program that capability
// as permitted only: it is made effective for the one bind and dropped again,
// so nothing else the program does runs with it. Other systems have no
// capabilities and no privileged ports to ask for.

namespace qz {

// Whether the capability (a CAP_ number) is in the thread's permitted or
// effective set; false where the system has none.
bool CapabilityPermitted(int capability);
bool CapabilityEffective(int capability);
// Adds it to the effective set (it must be permitted) or takes it out.
bool SetCapabilityEffective(int capability, bool effective);

// Makes CAP_NET_BIND_SERVICE effective for the object's life where it is
// permitted and not effective already, and only then takes it out again.
class TPortBindingPrivilege {
 public:
  TPortBindingPrivilege();
  ~TPortBindingPrivilege();
  TPortBindingPrivilege(const TPortBindingPrivilege&) = delete;
  TPortBindingPrivilege& operator=(const TPortBindingPrivilege&) = delete;

 private:
  bool raised_ = false;
};

}  // namespace qz
