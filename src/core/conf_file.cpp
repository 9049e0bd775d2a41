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

std::string TConfFile::Value(const std::string& sectionAndKey, const std::string& fallback) const {
  const auto found = index_.find(Split(sectionAndKey));
  return found == index_.end() ? fallback : entries_[found->second].Value;
}

void TConfFile::Set(const std::string& sectionAndKey, const std::string& value) {
  const auto [section, key] = Split(sectionAndKey);
  Set(section, key, value);
}

void TConfFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  const auto [at, added] = index_.try_emplace({section, key}, entries_.size());
  if (added)
    entries_.push_back({section, key, value});
  else
    entries_[at->second].Value = value;
}

TConfFile ParseConf(const std::string& fileBytes, bool* cut) {
  TConfFile conf;
  std::string section = "General";
  for (const std::string& raw : SplitLines(fileBytes, cut)) {
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
  // Each section's entries in file order, the sections in the order they first came.
  std::vector<std::string> sections;
  std::map<std::string, std::vector<const TConfFile::Entry*>> bySection;
  for (const auto& entry : conf.Entries()) {
    auto& entries = bySection[entry.Section];
    if (entries.empty()) sections.push_back(entry.Section);
    entries.push_back(&entry);
  }
  std::string out;
  for (const std::string& section : sections) {
    if (!out.empty()) out += "\r\n";
    out += "[" + section + "]\r\n";
    for (const auto* entry : bySection[section]) out += entry->Key + "=" + entry->Value + "\r\n";
  }
  return out;
}

TCodePage CodePageOf(const TConfFile& conf) {
  return CodePageNamed(conf.Value(kCodePageKey)).value_or(TCodePage::Latin1);
}

}  // namespace qz::app
