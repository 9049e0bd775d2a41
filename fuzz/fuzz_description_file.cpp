// Any bytes as a device description file: no crash, no hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "description_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto description = qz::app::ParseDeviceDescription(std::string(reinterpret_cast<const char*>(data), size));
  for (const auto& record : description.Records)
    if (record.Kind != qz::app::RecordKind::StatusLed && record.Kind != qz::app::RecordKind::SerialNumber &&
        record.Kind != qz::app::RecordKind::Version && record.OID.size() > qz::app::kMaxStoredOidLength)
      __builtin_trap();
  return 0;
}
