#include "text.h"

#include <algorithm>
#include <charconv>

namespace qz {

std::string Trimmed(const std::string& text, std::string_view blanks) {
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string TakeDotField(std::string& text) {
  const auto dot = text.find('.');
  std::string field = text.substr(0, dot);
  text.erase(0, dot == std::string::npos ? text.size() : dot + 1);
  return field;
}

bool ParseInt32(const std::string& text, int32_t& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  if (begin == end) return false;
  int64_t parsed = 0;
  const auto result = std::from_chars(begin, end, parsed);
  if (result.ec != std::errc() || result.ptr != end) return false;
  if (parsed < INT32_MIN || parsed > INT32_MAX) return false;
  value = static_cast<int32_t>(parsed);
  return true;
}

int32_t ParseInt32Or(const std::string& text, int32_t fallback) {
  int32_t value = 0;
  return ParseInt32(text, value) ? value : fallback;
}

std::vector<std::string> ListItems(const std::string& text, char separator) {
  std::vector<std::string> items;
  size_t from = 0;
  while (from <= text.size()) {
    const auto end = std::min(text.find(separator, from), text.size());
    if (std::string item = Trimmed(text.substr(from, end - from), " \t"); !item.empty()) items.push_back(std::move(item));
    from = end + 1;
  }
  return items;
}

std::string ShortenedForMessage(const std::string& text) {
  constexpr size_t kMostShown = 80;
  if (text.size() <= kMostShown) return text;
  size_t cut = kMostShown;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // not inside a UTF-8 character
  return text.substr(0, cut) + "\u2026";
}

int StrToInt(const std::string& text) {
  int value = 0;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  const auto result = std::from_chars(begin, end, value);
  if (begin == end || result.ec != std::errc() || result.ptr != end)
    throw EConvertError("'" + ShortenedForMessage(text) + "' is not a valid integer value");
  return value;
}

bool IsIPv4Text(const std::string& text, bool blanksAroundFields) {
  if (std::count(text.begin(), text.end(), '.') != 3) return false;
  std::string rest = text;
  for (int field = 0; field < 4; ++field) {
    std::string part = TakeDotField(rest);
    if (blanksAroundFields) part = Trimmed(part);
    if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(part) > 255)
      return false;
  }
  return true;
}

std::string Counted(uint64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace qz
