#include "network_scan.h"

#include <algorithm>
#include <chrono>
#include <numeric>

#include "net.h"
#include "scan_range.h"
#include "settings_file.h"
#include "sys_descr.h"
#include "text.h"

namespace qz::app {
namespace {

const char* OidOf(uint8_t step) {
  static const char* const oids[] = {kSysObjectIdOid, kSysDescrOid, kSysNameOid, kSysLocationOid};
  return oids[step];
}

}  // namespace

std::vector<TAddressRange> ScanRangesOf(const TScanRequest& request) {
  std::vector<TAddressRange> ranges = request.MoreRanges;
  ranges.push_back({request.Start, request.Stop});
  return MergedRanges(std::move(ranges));
}

TNetworkScan::TNetworkScan(TScanRequest request)
    : request_(std::move(request)),
      gets_(request_.Community, request_.TimeoutMs, request_.Tries, request_.Pacing),
      ranges_(ScanRangesOf(request_)) {
  progress_.Total = static_cast<uint32_t>(std::min<uint64_t>(ScanAddressCount(ranges_), UINT32_MAX));
  if (!ranges_.empty()) nextAddress_ = ranges_.front().First;
}

void TNetworkScan::AskNextAddresses() {
  // Only as many addresses are taken on as can be asked soon, so that a
  // large range costs no memory for the addresses still to come.
  while (nextAddress_ && gets_.Pending() < static_cast<size_t>(request_.Pacing.MaxInFlight)) {
    uint32_t slot = 0;
    if (freeSlots_.empty()) {
      slot = static_cast<uint32_t>(devices_.size());
      devices_.push_back({});
    } else {
      slot = freeSlots_.back();
      freeSlots_.pop_back();
    }
    devices_[slot] = {*nextAddress_, Step::ObjectId, {DottedAddress(*nextAddress_), {}, {}, {}, {}}};
    Ask(slot, Step::ObjectId);
    nextAddress_ = NextScanAddress(*nextAddress_, ranges_[range_].Last);
    if (!nextAddress_ && ++range_ < ranges_.size()) nextAddress_ = ranges_[range_].First;
  }
}

void TNetworkScan::Ask(uint32_t slot, Step step) {
  devices_[slot].At = step;
  gets_.Get(slot, devices_[slot].Address, OidOf(static_cast<uint8_t>(step)));
}

void TNetworkScan::Take(const snmp::TParallelGets::Answer& answer) {
  const auto slot = static_cast<uint32_t>(answer.Tag);
  Device& device = devices_[slot];
  // A read without an answer gives the text a single GET leaves.
  const std::string value = answer.Answered ? answer.Value : snmp::kNoResponse;
  bool settled = true;
  switch (device.At) {
    case Step::ObjectId:
      if (answer.Answered && value.find(kMakerEnterprise) != std::string::npos) {
        Ask(slot, Step::Descr);
        settled = false;
      }
      break;
    case Step::Descr: {
      const DeviceIdentity identity = SplitSysDescr(answer.Answered ? value : std::string());
      // A unit of the maker's that runs something else than its station
      // firmware (a boot loader, a service mode) is listed too, its LAN
      // interface text saying what it runs.
      if (identity.LanInterface != kUnknown) {
        device.Row.DeviceType = identity.DeviceType;
        device.Row.LanInterface = identity.LanInterface;
        Ask(slot, Step::Name);
        settled = false;
      }
      break;
    }
    case Step::Name:
      device.Row.SysName = value;
      Ask(slot, Step::Location);
      settled = false;
      break;
    case Step::Location:
      device.Row.SysLocation = value;
      found_.push_back(std::move(device.Row));
      foundAddresses_.push_back(device.Address);
      ++progress_.Found;
      break;
  }
  if (!settled) return;
  ++progress_.Settled;
  freeSlots_.push_back(slot);
}

std::vector<DeviceRow> TNetworkScan::Run(const std::atomic<bool>& stop,
                                         const std::function<void(const TScanProgress&)>& progress) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kProgressEvery = std::chrono::milliseconds(50);
  // Stop is looked at this often, whatever the time-out.
  constexpr int kLongestWaitMs = 10;
  auto lastProgress = Clock::now();
  AskNextAddresses();
  while (!stop && gets_.Error() == 0 && (nextAddress_ || gets_.Pending() > 0)) {
    for (const auto& answer : gets_.Service(kLongestWaitMs)) Take(answer);
    AskNextAddresses();
    if (progress && Clock::now() - lastProgress >= kProgressEvery) {
      progress(progress_);
      lastProgress = Clock::now();
    }
  }
  if (progress) progress(progress_);
  std::vector<size_t> order(found_.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return foundAddresses_[a] < foundAddresses_[b]; });
  std::vector<DeviceRow> rows;
  rows.reserve(found_.size());
  for (const size_t at : order) rows.push_back(found_[at]);
  return rows;
}

TRescanPeriod RescanPeriod(const std::string& every) {
  const std::string text = Trimmed(every);
  if (text.empty() || text == "0" || text == "off") return {};
  const char unit = text.back();
  const bool hasUnit = unit == 's' || unit == 'm' || unit == 'h' || unit == 'd';
  int32_t count = 0;
  if (!ParseInt32(hasUnit ? text.substr(0, text.size() - 1) : text, count) || count <= 0)
    return {std::nullopt, "[Scan] Every=" + text + " is not a period (such as 90, 45m, 6h or 1d)"};
  const int64_t perUnit = unit == 's' ? 1 : unit == 'h' ? 3600 : unit == 'd' ? 86400 : 60;
  const int64_t seconds = std::min<int64_t>(int64_t{count} * perUnit, 366LL * 86400);
  return {static_cast<int32_t>(std::max<int64_t>(seconds, kShortestRescanSeconds)), {}};
}

}  // namespace qz::app
