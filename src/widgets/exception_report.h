#pragma once
// Errors that escape an event handler go to one application-wide reporter,
// which the application installs; widgets report through it too.
#include <functional>
#include <stdexcept>
#include <string>

#include "text.h"

class QObject;

namespace qz {

using ExceptionReporter = std::function<void(const QObject* reporter, const std::exception& error)>;
// Installs the reporter for as long as it lives; the previous one (none by
// default: errors are then dropped) is put back after.
class TExceptionReporterScope {
 public:
  explicit TExceptionReporterScope(ExceptionReporter reporter);
  ~TExceptionReporterScope();
  TExceptionReporterScope(const TExceptionReporterScope&) = delete;
  TExceptionReporterScope& operator=(const TExceptionReporterScope&) = delete;

 private:
  ExceptionReporter previous_;
};
void ReportException(const QObject* reporter, const std::exception& error);

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
