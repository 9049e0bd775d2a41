#include "csv_text.h"

namespace qz {
namespace {

// "-12", "0.5", "-3.25": what a spreadsheet reads as a number and nothing else.
bool IsPlainNumber(const std::string& text) {
  size_t at = text.starts_with('-') ? 1 : 0;
  const size_t digitsFrom = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  if (at == digitsFrom) return false;
  if (at < text.size() && text[at] == '.') {
    const size_t fractionFrom = ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    if (at == fractionFrom) return false;
  }
  return at == text.size();
}

}  // namespace

std::string GuardedCell(const std::string& text) {
  if (text.empty() || IsPlainNumber(text)) return text;
  switch (text.front()) {
    case '=': case '+': case '-': case '@': case '\t': case '\r':
      return "'" + text;
    default:
      return text;
  }
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace qz
