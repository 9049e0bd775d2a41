#include "device_list_file.h"

#include <algorithm>

#include "text_file.h"

namespace qz::app {
namespace {

// The text before the next TAB; that text and the TAB leave the line. With no
// TAB left the line stays as it is, so its last field is taken again.
std::string TakeField(std::string& line) {
  const auto tab = line.find('\t');
  if (tab == std::string::npos) return line;
  std::string field = line.substr(0, tab);
  line.erase(0, tab + 1);
  return field;
}

std::string WithoutSeparators(std::string field) {
  std::replace_if(field.begin(), field.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
  return field;
}

}  // namespace

std::vector<DeviceRow> ParseDeviceList(const std::string& fileBytes) {
  std::vector<DeviceRow> rows;
  for (std::string line : SplitLines(fileBytes)) {
    if (line.empty() || line[0] == ';') continue;
    DeviceRow row;
    row.Address = TakeField(line);
    row.SysName = TakeField(line);
    row.SysLocation = TakeField(line);
    line.erase(0, line.find_first_not_of(' ') == std::string::npos ? line.size() : line.find_first_not_of(' '));
    row.DeviceType = TakeField(line);
    row.LanInterface = line;
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string FormatDeviceList(const std::vector<DeviceRow>& rows) {
  std::string out = std::string(kDeviceListHeader) + "\r\n";
  for (const auto& row : rows) {
    // The reader drops a type's leading blanks, so the writer does too: the
    // file then reads back as the rows it was written from.
    std::string type = WithoutSeparators(row.DeviceType);
    type.erase(0, std::min(type.find_first_not_of(' '), type.size()));
    out += WithoutSeparators(row.Address) + '\t' + WithoutSeparators(row.SysName) + '\t' +
           WithoutSeparators(row.SysLocation) + '\t' + type + '\t' + WithoutSeparators(row.LanInterface) + "\r\n";
  }
  return out;
}

}  // namespace qz::app
