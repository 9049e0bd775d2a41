#pragma once
// The device list file: a header line and one TAB-separated line per device.
#include <string>
#include <vector>

namespace qz::app {

struct DeviceRow {
  std::string Address;
  std::string SysName;
  std::string SysLocation;
  std::string DeviceType;
  std::string LanInterface;

  bool operator==(const DeviceRow&) const = default;
};

inline const char* const kDeviceListFileName = "QZdevices.cfg";
inline const char* const kDeviceListHeader = ";-------- Machine generated file - DO NOT EDIT !!! -----";

// Lines beginning with ";" and empty lines are skipped. A line with fewer
// TABs than fields repeats its last field; only the device type loses its
// leading blanks.
std::vector<DeviceRow> ParseDeviceList(const std::string& fileBytes);
// TAB, CR and LF inside a field become blanks, so the file reads back as the
// same rows.
std::string FormatDeviceList(const std::vector<DeviceRow>& rows);

}  // namespace qz::app
