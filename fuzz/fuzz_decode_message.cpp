// Any datagram as an SNMP reply: no crash, no hang, no read outside it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "snmp_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qz::snmp::TSnmpMessage message;
  if (message.DecodeMessage(std::string(reinterpret_cast<const char*>(data), size))) {
    for (int i = 0; i < message.VarBindCount(); ++i) message.FindValue(message.VarBind(i).OID);
    message.EncodeMessage();
  }
  return 0;
}
