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

std::string ReporterClassName(const QObject* reporter) {
  if (!reporter) return "TApplication";
  std::string name = reporter->metaObject()->className();
  const auto scope = name.rfind("::");
  return scope == std::string::npos ? name : name.substr(scope + 2);
}

}  // namespace qz
