#pragma once
// The network scan: every address of a range asked for its sysObjectID, and
// each of the maker's SNMP stations then for its sysDescr, sysName and
// sysLocation, one device's reads in order. All addresses are asked at once
// within the pacing; what is found is the same as asking one after the
// other. Runs on the calling thread (the window runs it on a worker).
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device_list_file.h"
#include "parallel_get.h"
#include "scan_range.h"

namespace qz::app {

struct TScanRequest {
  uint32_t Start = 0;
  uint32_t Stop = 0;
  // Asked as well ([Scan] Ranges); an address in two ranges is asked once.
  std::vector<TAddressRange> MoreRanges;
  std::string Community;
  int32_t TimeoutMs = 100;
  int32_t Tries = 2;
  snmp::TPacing Pacing = snmp::kLanPacing;
};

struct TScanProgress {
  uint32_t Settled = 0;  // addresses answered or given up, follow-up reads included
  uint32_t Total = 0;
  uint32_t Found = 0;
};

// A scan of more addresses than this is asked for first (the window asks;
// the command line wants --yes): a slip in a range must not start hours of
// traffic.
inline constexpr uint32_t kUnconfirmedScanAddresses = 65536;

// [Scan] Every: the period of the scheduled rescans in seconds: a number of
// minutes, or a number with s, m, h or d ("90", "45m", "6h", "1d"), at least
// kShortestRescanSeconds. None when it is empty, 0 or "off"; an error text
// when it is none of these.
inline constexpr int32_t kShortestRescanSeconds = 10;
struct TRescanPeriod {
  std::optional<int32_t> Seconds;
  std::string Error;
};
TRescanPeriod RescanPeriod(const std::string& every);

// The ranges a request asks, merged: its range and MoreRanges.
std::vector<TAddressRange> ScanRangesOf(const TScanRequest& request);

class TNetworkScan {
 public:
  explicit TNetworkScan(TScanRequest request);

  // Runs until every address has settled or stop is set; progress is called
  // on this thread now and then (and once at the end). The rows of the
  // devices whose reads all completed, in address order.
  std::vector<DeviceRow> Run(const std::atomic<bool>& stop, const std::function<void(const TScanProgress&)>& progress);

  // The socket error number when the scan could not start; 0 otherwise.
  int Error() const { return gets_.Error(); }
  // The local UDP port the scan's requests leave from.
  uint16_t LocalPort() const { return gets_.LocalPort(); }

 private:
  enum class Step : uint8_t { ObjectId, Descr, Name, Location };
  struct Device {
    uint32_t Address;
    Step At;
    DeviceRow Row;
  };

  void AskNextAddresses();
  void Take(const snmp::TParallelGets::Answer& answer);
  void Ask(uint32_t slot, Step step);

  TScanRequest request_;
  snmp::TParallelGets gets_;
  std::vector<TAddressRange> ranges_;
  size_t range_ = 0;  // of nextAddress_
  std::optional<uint32_t> nextAddress_;
  TScanProgress progress_;
  // Devices being read, by slot; a slot is free again when its device settles.
  std::vector<Device> devices_;
  std::vector<uint32_t> freeSlots_;
  std::vector<DeviceRow> found_;
  std::vector<uint32_t> foundAddresses_;
};

}  // namespace qz::app
