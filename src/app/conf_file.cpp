#include "conf_file.h"

#include <algorithm>

#include "text.h"
#include "text_file.h"

namespace qz::app {
namespace {

constexpr std::string_view kBlanks = " \t";

std::pair<std::string, std::string> Split(const std::string& sectionAndKey) {
  const auto slash = sectionAndKey.find('/');
  if (slash == std::string::npos) return {"General", sectionAndKey};
  return {sectionAndKey.substr(0, slash), sectionAndKey.substr(slash + 1)};
}

}  // namespace

std::vector<TConfFile::Entry>::iterator TConfFile::Find(const std::string& section, const std::string& key) {
  return std::find_if(entries_.begin(), entries_.end(),
                      [&](const Entry& entry) { return entry.Section == section && entry.Key == key; });
}

std::string TConfFile::Value(const std::string& sectionAndKey, const std::string& fallback) const {
  const auto [section, key] = Split(sectionAndKey);
  for (const Entry& entry : entries_)
    if (entry.Section == section && entry.Key == key) return entry.Value;
  return fallback;
}

void TConfFile::Set(const std::string& sectionAndKey, const std::string& value) {
  const auto [section, key] = Split(sectionAndKey);
  Set(section, key, value);
}

void TConfFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  if (const auto found = Find(section, key); found != entries_.end())
    found->Value = value;
  else
    entries_.push_back({section, key, value});
}

TConfFile ParseConf(const std::string& fileBytes) {
  TConfFile conf;
  std::string section = "General";
  for (const std::string& raw : SplitLines(fileBytes)) {
    const std::string line = Trimmed(raw, kBlanks);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = Trimmed(line.substr(1, line.size() - 2), kBlanks);
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    conf.Set(section, Trimmed(line.substr(0, equals), kBlanks), Trimmed(line.substr(equals + 1), kBlanks));
  }
  return conf;
}

std::string FormatConf(const TConfFile& conf) {
  std::vector<std::string> sections;
  for (const auto& entry : conf.Entries())
    if (std::find(sections.begin(), sections.end(), entry.Section) == sections.end()) sections.push_back(entry.Section);
  std::string out;
  for (const std::string& section : sections) {
    if (!out.empty()) out += "\r\n";
    out += "[" + section + "]\r\n";
    for (const auto& entry : conf.Entries())
      if (entry.Section == section) out += entry.Key + "=" + entry.Value + "\r\n";
  }
  return out;
}

}  // namespace qz::app
