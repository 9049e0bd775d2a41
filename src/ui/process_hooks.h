#pragma once
// Everything the program installs for the whole process, in one place: the
// message pump of the SNMP calls, the Telnet module's way into the main
// loop, and the reporter of errors that escape a handler. Made once at
// program start, after the application object and before the window (the
// window tests' main makes one too); each hook is put back when it ends.
#include <QObject>
#include <functional>

#include "exception_report.h"
#include "hand_over.h"
#include "net.h"
#include "worker_thread.h"

namespace qz::app {

class TProcessHooks {
 public:
  TProcessHooks();
  ~TProcessHooks();
  TProcessHooks(const TProcessHooks&) = delete;
  TProcessHooks& operator=(const TProcessHooks&) = delete;

 private:
  THandOver handOver_;
  snmp::TMessagePumpScope messagePump_;
  telnet::TMainLoopScope mainLoop_;
  TExceptionReporterScope exceptionReporter_;
};

// From any thread: call runs on the window's thread, unless receiver is gone
// by then (through the hooks' hand-over; nothing runs without hooks).
void PostToWindowThread(QObject* receiver, std::function<void()> call);

}  // namespace qz::app
