#pragma once
// QZexplorer.conf: the settings that the nine-line settings file has no line
// for, as INI sections and keys ("Section/Key" here). Keys the program does
// not know are kept as they are, so an older version never loses a newer
// version's settings.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "device_text.h"

namespace qz::app {

inline const char* const kConfFileName = "QZexplorer.conf";
inline const char* const kCodePageKey = "Text/CodePage";

class TConfFile {
 public:
  struct Entry {
    std::string Section;
    std::string Key;
    std::string Value;
  };
  // The value of "Section/Key", or fallback when there is none.
  std::string Value(const std::string& sectionAndKey, const std::string& fallback = {}) const;
  void Set(const std::string& sectionAndKey, const std::string& value);
  void Set(const std::string& section, const std::string& key, const std::string& value);
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;  // in file order
  // Where each section's key stands in entries_: a look-up that stays quick
  // however many keys the file holds.
  std::map<std::pair<std::string, std::string>, size_t> index_;
};

// Lines of "[Section]", "key = value", comments (";" or "#") and blanks;
// anything else is skipped.
// cut, when given, says whether the file held more lines than are read.
TConfFile ParseConf(const std::string& fileBytes, bool* cut = nullptr);
// One "[Section]" block per section, in the order the sections first came.
std::string FormatConf(const TConfFile& conf);

// The code page of device texts the conf names ([Text] CodePage); Latin-1
// when it names none it knows.
TCodePage CodePageOf(const TConfFile& conf);

}  // namespace qz::app
