#pragma once
// The device list as an inventory for other tools: each listed device asked
// once, with the fleet's poller, for its alarm LEDs and values and for what
// identifies it (sysDescr, sysContact, sysUpTime, its serial number and
// firmware version where its description file names them); and that
// inventory as CSV (RFC 4180), JSON and a tab-separated table. Device texts
// arrive as UTF-8; cells that a spreadsheet would take for a formula are
// guarded, since devices choose their own names.
#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "conf_file.h"
#include "device_model.h"
#include "device_list_file.h"
#include "device_text.h"
#include "fleet_poller.h"
#include "fleet_state.h"

namespace qz::app {

struct TInventoryRow {
  std::string Address;
  std::string Name;
  std::string Location;
  std::string Contact;
  std::string Type;
  std::string Firmware;
  std::string Serial;
  std::string SysDescr;
  std::optional<uint32_t> UptimeSeconds;
  std::optional<int64_t> LastSeenMs;  // when the device last answered
  // The captions of the alarm LEDs on and of the values outside their
  // limits; none when the device did not answer.
  std::optional<std::vector<std::string>> Alarms;
};

// The objects an inventory asks of a type: the fleet's, then sysDescr,
// sysContact, sysUpTime, and the S and V records' objects where the type's
// description file has them.
std::vector<std::string> InventoryOids(const TFleetType& type);

// What the fleet asks of each type, its description file read from
// DeviceFiles once; a type without one is asked sysUpTime alone.
class TFleetTypes {
 public:
  explicit TFleetTypes(const TConfFile& conf) : conf_(conf) {}
  const TFleetType& Of(const std::string& deviceType);

 private:
  const TConfFile& conf_;
  std::map<std::string, TFleetType> types_;
};

// One device's answer to a poll (every object in the order asked), and what
// each record of its type's description answered, by record index.
struct TPolledDevice {
  const TFleetType* Type = nullptr;
  TFleetAnswer Answer;
  std::vector<TObjectReading> Readings;
};

// Asks every device once for its type's LEDs and values (FleetOids) and,
// with identity, for InventoryOids' further objects; in the order of devices.
std::vector<TPolledDevice> PollDevices(const std::vector<DeviceRow>& devices, TFleetTypes& types,
                                       TFleetPoller& poller, bool identity, const std::atomic<bool>& stop);

// A device's row from a poll with identity at answeredMs. When the device did
// not answer, name, location, type and sysDescr come from the list, and
// nothing else is known.
TInventoryRow InventoryRowOf(const DeviceRow& device, const TPolledDevice& polled, int64_t answeredMs,
                             TCodePage codePage, const TValueLimits& limits);

// Asks every device once with poller; the rows in the order of devices.
std::vector<TInventoryRow> ReadInventory(const std::vector<DeviceRow>& devices, const TConfFile& conf,
                                         TFleetPoller& poller, const std::atomic<bool>& stop);

// A header row, then one row per device; CR LF after each, UTF-8.
std::string InventoryCsv(const std::vector<TInventoryRow>& rows);
// An array of objects with the CSV's column names as keys; numbers as
// numbers, what is unknown as null.
std::string InventoryJson(const std::vector<TInventoryRow>& rows);
// Tab-separated, for the clipboard: a header row, then a row per device,
// tabs and line breaks within cells made spaces.
std::string InventoryTable(const std::vector<TInventoryRow>& rows);

// "2026-12-11T13:05:09Z"
std::string UtcTimestamp(int64_t ms);
// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& text);

}  // namespace qz::app
