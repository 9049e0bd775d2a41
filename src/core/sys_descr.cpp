#include "sys_descr.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace qz::app {

DeviceIdentity SplitSysDescr(const std::string& description) {
  static const std::string baseUnit = "Base unit ";
  const auto at = description.find(baseUnit);
  if (at == std::string::npos) return {kUnknown, kUnknown};
  DeviceIdentity identity;
  identity.LanInterface = description.substr(0, at);
  const std::string rest = description.substr(at + baseUnit.size());
  identity.DeviceType = rest.substr(0, rest.find('\r'));
  if (identity.DeviceType != "QZ120") return identity;

  std::string version = identity.LanInterface;
  const auto vers = version.find("vers. ");
  if (vers != std::string::npos) version.erase(0, vers + 6);
  if (const auto dot = version.find('.'); dot != std::string::npos) version.erase(dot, 1);
  version.erase(std::remove(version.begin(), version.end(), ' '), version.end());
  int number = 0;
  const auto parsed = std::from_chars(version.data(), version.data() + version.size(), number);
  // A version that is not a whole number says nothing about the type.
  if (!version.empty() && parsed.ec == std::errc() && parsed.ptr == version.data() + version.size() &&
      number < 106)
    identity.DeviceType += "exp";
  return identity;
}

std::string UpTimeText(const std::string& ticks) {
  if (ticks.empty() || ticks.find_first_not_of("0123456789") != std::string::npos) return "???";
  uint64_t hundredths = 0;
  const auto parsed = std::from_chars(ticks.data(), ticks.data() + ticks.size(), hundredths);
  if (parsed.ec != std::errc() || hundredths > UINT32_MAX) return "???";
  const uint64_t minutes = hundredths / 100 / 60;
  return std::to_string(minutes / 60) + " hours " + std::to_string(minutes % 60) + " min.";
}

}  // namespace qz::app
