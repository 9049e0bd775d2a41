#pragma once
// How a device's sysDescr names its LAN interface and its type, the scan's
// test for the maker's devices, and the up-time text.
#include <string>

namespace qz::app {

inline const char* const kUnknown = "Unknown";
inline const char* const kMakerEnterprise = "1.3.6.1.4.1.98361";
inline const char* const kStationText = "SNMP station";

inline const char* const kSysDescrOid = "1.3.6.1.2.1.1.1.0";
inline const char* const kSysObjectIdOid = "1.3.6.1.2.1.1.2.0";
inline const char* const kSysUpTimeOid = "1.3.6.1.2.1.1.3.0";
inline const char* const kSysContactOid = "1.3.6.1.2.1.1.4.0";
inline const char* const kSysNameOid = "1.3.6.1.2.1.1.5.0";
inline const char* const kSysLocationOid = "1.3.6.1.2.1.1.6.0";

struct DeviceIdentity {
  std::string LanInterface;
  std::string DeviceType;
};

// LAN interface text: everything before "Base unit "; device type: what follows
// it up to the first CR. An early QZ120 (version below 1.06) is a QZ120exp.
// "Unknown" twice when there is no "Base unit ".
DeviceIdentity SplitSysDescr(const std::string& description);

// "<h> hours <m> min." for a decimal count of hundredths of a second; "???"
// for anything else.
std::string UpTimeText(const std::string& ticks);

// Whether a device stored with storedType still is what it reports now: the
// reported type must occur within the stored one (QZ120 within QZ120exp).
inline bool SameDeviceType(const std::string& storedType, const std::string& reportedType) {
  return storedType.find(reportedType) != std::string::npos;
}

}  // namespace qz::app
