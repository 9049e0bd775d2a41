#pragma once
// The addresses a scan asks, and the progress bar's step.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

struct TAddressRange {
  uint32_t First = 0;
  uint32_t Last = 0;
  bool operator==(const TAddressRange&) const = default;
};

// "10.0.0.1-10.0.0.254", "10.0.0.7" or the block "10.0.4.0/22" (its
// network and broadcast addresses included, as a range of them would be;
// 255.255.255.255 never, as a range never has it). None when it is none of these.
std::optional<TAddressRange> ParseAddressRange(const std::string& text);

struct TScanRanges {
  std::vector<TAddressRange> Ranges;
  std::vector<std::string> NotRanges;  // items of the list that are none
};
// A list of ranges, commas or blanks between them ([Scan] Ranges, --range).
TScanRanges ParseScanRanges(const std::string& list);

// The ranges in address order, overlapping and adjoining ones made one, so
// that no address is asked twice; ranges without addresses left out.
std::vector<TAddressRange> MergedRanges(std::vector<TAddressRange> ranges);

// The addresses a scan of the ranges asks (ScanAddressCount of each, added).
uint64_t ScanAddressCount(const std::vector<TAddressRange>& ranges);

}  // namespace qz::app
