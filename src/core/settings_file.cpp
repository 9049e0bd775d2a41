#include "settings_file.h"

#include <algorithm>

#include "text.h"
#include "text_file.h"

namespace qz::app {

TIniRecord ParseSettings(const std::string& fileBytes) {
  // Nine lines are all it has; nothing after them is split.
  const auto lines = SplitLines(fileBytes, nullptr, 9);
  auto line = [&](size_t i) { return i < lines.size() ? lines[i] : std::string(); };
  return {line(0), line(1), line(2), line(3), line(4), line(5), line(6), line(7), line(8)};
}

std::string FormatSettings(const TIniRecord& s) {
  std::string out;
  for (const auto* field : {&s.StartIP, &s.StopIP, &s.StartupScan, &s.ReadComm, &s.WriteComm,
                            &s.SNMPTimeOut, &s.RetryCount, &s.PingDevices, &s.PingTimeOut})
    out += *field + "\r\n";
  return out;
}

TIniRecord LoadSettingsFile(const std::string& path) { return ParseSettings(ReadWholeFile(path)); }

void SaveSettingsFile(const std::string& path, const TIniRecord& settings) {
  WriteWholeFile(path, FormatSettings(settings));
}

int32_t ClampedNumber(const std::string& text, TNumberRange range) {
  return std::clamp<int32_t>(StrToInt(text), range.Min, range.Max);
}

uint32_t AddressValue(const std::string& text) {
  std::string rest = text;
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value = value * 256 + static_cast<uint32_t>(ParseInt32Or(Trimmed(TakeDotField(rest)), 0));
  return value;
}

std::string DottedAddress(uint32_t value) {
  return std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 0xFF) + "." +
         std::to_string((value >> 8) & 0xFF) + "." + std::to_string(value & 0xFF);
}

}  // namespace qz::app
