#pragma once
// Device description files: what a device type shows in the device panel.
// Records A (status LED), M (measured value), P (parameter), S (serial
// number) and V (firmware version), TAB-separated, one per line.
#include <cstdint>
#include <string>
#include <vector>

namespace qz::app {

enum class RecordKind { StatusLed, MeasuredValue, Parameter, SerialNumber, Version };

struct DescriptionRecord {
  RecordKind Kind = RecordKind::StatusLed;
  std::string Name;          // LED, value or parameter caption
  std::string OID;           // M and P OIDs hold at most 64 characters
  int32_t Offset = 0;        // M
  int32_t Factor = 0;        // M
  int32_t Decimals = 0;      // M
  bool HasControls = false;  // P: only sub-kind E makes a combo box
  std::vector<std::string> Items;  // P with controls: the choices in order
  int32_t Left = 0;          // where the record's control goes in its box
  int32_t Top = 0;
  int32_t Index = 0;         // position in its own list (a combo box's tag for P)
};

struct DeviceDescription {
  std::vector<DescriptionRecord> Records;  // in file order
  int32_t ParameterCount = 0;
  // Set when an M record's offset, factor or decimals is not a number: the
  // records before it stay, nothing after it is read.
  std::string Error;
  // The file held more than kMaxDescriptionRecords records; the rest is not read.
  bool RecordsCut = false;
};

// Records of a file at most: each costs a read at every refresh, and no
// device type has a tenth of them.
inline constexpr size_t kMaxDescriptionRecords = 256;

inline constexpr size_t kMaxStoredOidLength = 64;

DeviceDescription ParseDeviceDescription(const std::string& fileBytes);

// Whether a type a device reported may name a file: letters, digits, "-",
// "_" and "." only, and no "..", so that no device can make the program read
// a file outside DeviceFiles.
bool IsSafeDeviceType(const std::string& deviceType);
// The type with each octet that IsSafeDeviceType refuses as "_", for messages.
std::string SanitisedDeviceType(const std::string& deviceType);

// "./DeviceFiles/<type>.par" with the platform's separator.
std::string DescriptionFilePath(const std::string& deviceType);

}  // namespace qz::app
