#pragma once
// Everything the program installs for the whole process, in one place: the
// message pump of the SNMP calls, the Telnet module's way into the main
// loop, and the reporter of errors that escape a handler. Made once at
// program start, after the application object and before the window (the
// window tests' main makes one too); each hook is put back when it ends.
#include "exception_report.h"
#include "net.h"
#include "worker_thread.h"

namespace qz::app {

class TProcessHooks {
 public:
  TProcessHooks();

 private:
  snmp::TMessagePumpScope messagePump_;
  telnet::TMainLoopScope mainLoop_;
  TExceptionReporterScope exceptionReporter_;
};

}  // namespace qz::app
