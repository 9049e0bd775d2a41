#include "process_hooks.h"

#include <QApplication>
#include <QThread>

#include "idle_driver.h"
#include "main_window.h"

namespace qz::app {

TProcessHooks::TProcessHooks()
    : messagePump_(&PumpMessages),
      mainLoop_({[](std::function<void()> call) { QMetaObject::invokeMethod(qApp, std::move(call), Qt::QueuedConnection); },
                 [] { return QThread::currentThread() == qApp->thread(); }, &PumpMessages}),
      exceptionReporter_(&TfrmMain::HandleException) {}

}  // namespace qz::app
