// Any datagram as a trap or an inform: no crash, no hang, no read outside
// it; an inform decoded is answered.
#include <cstddef>
#include <cstdint>
#include <string>

#include "trap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto trap = qz::snmp::DecodeTrap(std::string(reinterpret_cast<const char*>(data), size));
  if (trap) {
    qz::snmp::TrapName(*trap);
    if (trap->PDUType == qz::snmp::pduInformRequest) qz::snmp::InformResponse(*trap);
  }
  return 0;
}
