#include "exception_report.h"

#include <utility>

#include <QObject>

namespace qz {
namespace {
ExceptionReporter& Reporter() {
  static ExceptionReporter reporter;
  return reporter;
}
}  // namespace

TExceptionReporterScope::TExceptionReporterScope(ExceptionReporter reporter)
    : previous_(std::exchange(Reporter(), std::move(reporter))) {}

TExceptionReporterScope::~TExceptionReporterScope() { Reporter() = std::move(previous_); }

void ReportException(const QObject* reporter, const std::exception& error) {
  if (Reporter()) Reporter()(reporter, error);
}

}  // namespace qz
