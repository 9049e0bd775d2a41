#pragma once
// The addresses a scan asks, and the progress bar's step.
#include <cstdint>
#include <optional>

namespace qz::app {

// 1000 divided by the (signed) distance from start to stop; 1000 when that
// distance is not positive.
int32_t ScanProgressStep(uint32_t start, uint32_t stop);

// Whether the range holds any address (stop at or above start, and stop not
// 255.255.255.255, whose successor wraps to 0).
bool ScanRangeHasAddresses(uint32_t start, uint32_t stop);

// The address after current, skipping the .255 ones; none once past stop or
// when counting would wrap past 255.255.255.255.
std::optional<uint32_t> NextScanAddress(uint32_t current, uint32_t stop);

}  // namespace qz::app
