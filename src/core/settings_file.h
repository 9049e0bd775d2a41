#pragma once
// The operator's settings: nine texts, stored one per line in the settings file.
#include <cstdint>
#include <string>

namespace qz::app {

struct TIniRecord {
  std::string StartIP;
  std::string StopIP;
  std::string StartupScan;
  std::string ReadComm;
  std::string WriteComm;
  std::string SNMPTimeOut;
  std::string RetryCount;
  std::string PingDevices;
  std::string PingTimeOut;

  bool operator==(const TIniRecord&) const = default;
};

inline const TIniRecord DefaultSettings{"192.168.1.90", "192.168.1.100", "false", "kelvor",
                                        "stranix",      "100",           "2",     "false",
                                        "100"};

inline const char* const kSettingsFileName = "QZexplorer.ini";

// A flag is set only by the exact text "true".
inline bool IsFlagSet(const std::string& text) { return text == "true"; }
inline std::string FlagText(bool set) { return set ? "true" : "false"; }

// Nine lines, each ended by CR LF or LF; missing lines give empty texts.
TIniRecord ParseSettings(const std::string& fileBytes);
std::string FormatSettings(const TIniRecord& settings);

// A missing or unreadable file reads as nine empty lines.
TIniRecord LoadSettingsFile(const std::string& path);
// A file that cannot be written is left as it was.
void SaveSettingsFile(const std::string& path, const TIniRecord& settings);

// The bounds of a number setting: the value in use always lies within them
// (a negative time-out used to make every request wait for ever).
struct TNumberRange {
  int32_t Min;
  int32_t Max;
};
inline constexpr TNumberRange kSnmpTimeOutRange{1, 60000};
inline constexpr TNumberRange kRetryCountRange{0, 10};
inline constexpr TNumberRange kPingTimeOutRange{1, 60000};

// The decimal integer of a number line brought into range; EConvertError
// ("'<text>' is not a valid integer value") when it is not a decimal 32-bit
// integer.
int32_t ClampedNumber(const std::string& text, TNumberRange range);

// Numeric form of an address text: four dot-separated parts (blanks trimmed,
// anything not a number counts as 0), carried modulo 2^32.
uint32_t AddressValue(const std::string& text);

// Dotted text of an address value.
std::string DottedAddress(uint32_t value);

}  // namespace qz::app
