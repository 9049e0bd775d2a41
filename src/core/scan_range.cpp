#include "scan_range.h"

namespace qz::app {

int32_t ScanProgressStep(uint32_t start, uint32_t stop) {
  const auto difference = static_cast<int32_t>(stop - start);
  return difference > 0 ? 1000 / difference : 1000;
}

bool ScanRangeHasAddresses(uint32_t start, uint32_t stop) { return start < stop + 1; }

std::optional<uint32_t> NextScanAddress(uint32_t current, uint32_t stop) {
  uint32_t next = current + 1;
  if ((next & 0xFF) == 255) ++next;
  if (next <= current || !(next < stop + 1)) return std::nullopt;
  return next;
}

}  // namespace qz::app
