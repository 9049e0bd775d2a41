#include "device_list_file.h"

#include <algorithm>

#include "text.h"
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

std::vector<DeviceRow> ParseDeviceList(const std::string& fileBytes, bool* cut) {
  std::vector<DeviceRow> rows;
  for (std::string line : SplitLines(fileBytes, cut, kMaxLines, kMaxDeviceListLineBytes)) {
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

std::vector<std::string> CompareDeviceLists(const std::vector<DeviceRow>& before, const std::vector<DeviceRow>& after) {
  auto find = [](const std::vector<DeviceRow>& rows, const std::string& address) {
    return std::find_if(rows.begin(), rows.end(), [&](const DeviceRow& row) { return row.Address == address; });
  };
  auto describe = [](const DeviceRow& row) {
    return row.Address + " \"" + row.SysName + "\" at \"" + row.SysLocation + "\" (" + row.DeviceType + ")";
  };
  std::vector<std::string> lines;
  for (const DeviceRow& row : after) {
    const auto old = find(before, row.Address);
    if (old == before.end()) {
      lines.push_back("New: " + describe(row));
      continue;
    }
    std::string changes;
    const std::pair<const char*, std::pair<const std::string*, const std::string*>> fields[] = {
        {"name", {&old->SysName, &row.SysName}},
        {"location", {&old->SysLocation, &row.SysLocation}},
        {"type", {&old->DeviceType, &row.DeviceType}},
        {"firmware", {&old->LanInterface, &row.LanInterface}}};
    for (const auto& [field, values] : fields)
      if (*values.first != *values.second)
        changes += std::string(changes.empty() ? "" : ", ") + field + " \"" + *values.first + "\" -> \"" +
                   *values.second + "\"";
    if (!changes.empty()) lines.push_back("Changed: " + row.Address + " " + changes);
  }
  for (const DeviceRow& row : before)
    if (find(after, row.Address) == after.end()) lines.push_back("Missing: " + describe(row));
  return lines;
}

std::string ShownChanges(const std::vector<std::string>& changes, size_t mostLines) {
  std::string shown;
  for (size_t at = 0; at < changes.size() && at < mostLines; ++at) {
    if (at) shown += '\n';
    shown += ShortenedForMessage(changes[at]);
  }
  if (changes.size() > mostLines)
    shown += "\n... and " + std::to_string(changes.size() - mostLines) + " more (Copy takes them all)";
  return shown;
}

std::string ScanChangeWords(const std::vector<std::string>& changes) {
  size_t gone = 0, added = 0, changed = 0;
  for (const std::string& change : changes) {
    if (change.starts_with("Missing: ")) ++gone;
    else if (change.starts_with("New: ")) ++added;
    else if (change.starts_with("Changed: ")) ++changed;
  }
  std::string words;
  const auto add = [&](size_t count, const std::string& what) {
    if (count > 0) words += (words.empty() ? "" : ", ") + std::to_string(count) + what;
  };
  add(gone, gone == 1 ? " device gone" : " devices gone");
  add(added, words.empty() ? (added == 1 ? " device new" : " devices new") : " new");
  add(changed, words.empty() ? (changed == 1 ? " device changed" : " devices changed") : " changed");
  return words;
}

std::string KeepPreviousDeviceListFile() {
  if (!FileExists(kDeviceListFileName)) return {};
  const TFileRead current = ReadFile(kDeviceListFileName);
  return current.Error.empty() ? WriteWholeFile(kPreviousDeviceListFileName, current.Bytes) : current.Error;
}

}  // namespace qz::app
