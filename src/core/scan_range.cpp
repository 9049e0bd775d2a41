#include "scan_range.h"

#include <algorithm>

#include "settings_file.h"
#include "text.h"

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

std::optional<TAddressRange> ParseAddressRange(const std::string& text) {
  if (const size_t slash = text.find('/'); slash != std::string::npos) {
    int32_t length = 0;
    const std::string network = text.substr(0, slash);
    if (!IsIPv4Text(network) || !ParseInt32(text.substr(slash + 1), length) || length < 0 || length > 32 ||
        text.substr(slash + 1).find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    const uint32_t mask = length == 0 ? 0 : ~uint32_t{0} << (32 - length);
    const uint32_t first = AddressValue(network) & mask;
    return TAddressRange{first, std::min<uint32_t>(first | ~mask, 0xFFFFFFFEu)};
  }
  const size_t dash = text.find('-');
  const std::string first = text.substr(0, dash);
  const std::string last = dash == std::string::npos ? first : text.substr(dash + 1);
  if (!IsIPv4Text(first) || !IsIPv4Text(last)) return std::nullopt;
  return TAddressRange{AddressValue(first), AddressValue(last)};
}

TScanRanges ParseScanRanges(const std::string& list) {
  TScanRanges parsed;
  std::string item;
  for (size_t at = 0; at <= list.size(); ++at) {
    if (at < list.size() && list[at] != ',' && list[at] != ' ' && list[at] != '\t') {
      item += list[at];
      continue;
    }
    if (item.empty()) continue;
    if (const auto range = ParseAddressRange(item)) parsed.Ranges.push_back(*range);
    else parsed.NotRanges.push_back(item);
    item.clear();
  }
  return parsed;
}

std::vector<TAddressRange> MergedRanges(std::vector<TAddressRange> ranges) {
  std::erase_if(ranges, [](const TAddressRange& range) { return !ScanRangeHasAddresses(range.First, range.Last); });
  std::sort(ranges.begin(), ranges.end(), [](const TAddressRange& a, const TAddressRange& b) { return a.First < b.First; });
  std::vector<TAddressRange> merged;
  for (const TAddressRange& range : ranges) {
    if (!merged.empty() && uint64_t{range.First} <= uint64_t{merged.back().Last} + 1)
      merged.back().Last = std::max(merged.back().Last, range.Last);
    else
      merged.push_back(range);
  }
  return merged;
}

uint64_t ScanAddressCount(const std::vector<TAddressRange>& ranges) {
  uint64_t count = 0;
  for (const TAddressRange& range : ranges) {
    if (!ScanRangeHasAddresses(range.First, range.Last)) continue;
    // The first address, then every later one but those ending in .255.
    const uint64_t first = range.First, last = range.Last;
    count += last - first + 1 - ((last + 1) / 256 - (first + 1) / 256);
  }
  return count;
}

}  // namespace qz::app
