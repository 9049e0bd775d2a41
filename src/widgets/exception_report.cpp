#include "exception_report.h"

#include <charconv>

#include <QObject>

namespace qz {
namespace {
ExceptionReporter& Reporter() {
  static ExceptionReporter reporter;
  return reporter;
}
}  // namespace

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

void SetExceptionReporter(ExceptionReporter reporter) { Reporter() = std::move(reporter); }

void ReportException(const QObject* reporter, const std::exception& error) {
  if (Reporter()) Reporter()(reporter, error);
}

std::string ReporterClassName(const QObject* reporter) {
  if (!reporter) return "TApplication";
  std::string name = reporter->metaObject()->className();
  const auto scope = name.rfind("::");
  return scope == std::string::npos ? name : name.substr(scope + 2);
}

}  // namespace qz
