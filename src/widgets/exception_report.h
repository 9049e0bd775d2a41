#pragma once
// Errors that escape an event handler go to one application-wide reporter,
// which the application installs; widgets report through it too.
#include <functional>
#include <stdexcept>
#include <string>

class QObject;

namespace qz {

// An error with a message text, as the handlers raise it.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// At most the first 80 octets of a text that a message quotes, and an
// ellipsis where it was cut.
std::string ShortenedForMessage(const std::string& text);

// "'%s' is not a valid integer value" unless text is a decimal 32-bit integer.
int StrToInt(const std::string& text);

using ExceptionReporter = std::function<void(const QObject* reporter, const std::exception& error)>;
void SetExceptionReporter(ExceptionReporter reporter);
void ReportException(const QObject* reporter, const std::exception& error);

// The class name of the reporting object as the message shows it.
std::string ReporterClassName(const QObject* reporter);

// Runs body; an exception that leaves it is reported on behalf of reporter.
template <typename Body>
void Guarded(const QObject* reporter, Body&& body) {
  try {
    body();
  } catch (const std::exception& error) {
    ReportException(reporter, error);
  }
}

}  // namespace qz
