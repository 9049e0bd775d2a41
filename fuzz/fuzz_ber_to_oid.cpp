// Any octets as an object identifier's content, and as a run of BER items.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ber.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string oid = qz::snmp::BerToOid(bytes);
  qz::snmp::OidToBer(oid);
  int32_t pos = 1;
  int32_t tag = 0;
  for (size_t items = 0; items <= size; ++items) {
    const int32_t before = pos;
    qz::snmp::BerReadItem(pos, bytes, tag);
    if (pos == before) break;
  }
  return 0;
}
