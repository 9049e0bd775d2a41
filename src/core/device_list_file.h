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
// The list a scan replaced, for File > Restore previous device list.
inline const char* const kPreviousDeviceListFileName = "QZdevices.prev";
inline const char* const kDeviceListHeader = ";-------- Machine generated file - DO NOT EDIT !!! -----";

// Lines beginning with ";" and empty lines are skipped. A line with fewer
// TABs than fields repeats its last field; only the device type loses its
// leading blanks.
// A line of the list holds at most five fields of one datagram each: the
// reader takes whole any line the writer writes.
inline constexpr size_t kMaxDeviceListLineBytes = 5 * 65536;
// cut, when given, says whether the file held more lines than are read.
std::vector<DeviceRow> ParseDeviceList(const std::string& fileBytes, bool* cut = nullptr);
// TAB, CR and LF inside a field become blanks, so the file reads back as the
// same rows.
std::string FormatDeviceList(const std::vector<DeviceRow>& rows);

// Before a scan replaces the device list file of the current folder: that
// file copied to kPreviousDeviceListFileName (nothing when there is none).
// Empty on success, else why not (the list file is then to be left alone).
std::string KeepPreviousDeviceListFile();

// What changed from one list to the next, a line per device by address:
// "New: ...", "Missing: ...", "Changed: <address> name "a" -> "b", ...".
// Empty when nothing changed.
std::vector<std::string> CompareDeviceLists(const std::vector<DeviceRow>& before, const std::vector<DeviceRow>& after);
// The changes counted in words for a notification: "2 devices gone, 1 new,
// 1 changed"; empty when there are none.
std::string ScanChangeWords(const std::vector<std::string>& changes);
// What a box shows of the changes: the first mostLines, each shortened for a
// message, a line each, and "... and N more (Copy takes them all)".
std::string ShownChanges(const std::vector<std::string>& changes, size_t mostLines);

}  // namespace qz::app
