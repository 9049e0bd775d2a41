#include "process_hooks.h"

#include <QApplication>
#include <QThread>

#include "idle_driver.h"
#include "main_window.h"

namespace qz::app {
namespace {

THandOver* windowThreadHandOver = nullptr;

}  // namespace

TProcessHooks::TProcessHooks()
    : messagePump_(&PumpMessages),
      mainLoop_({[this](std::function<void()> call) { handOver_.Post(std::move(call)); },
                 [] { return QThread::currentThread() == qApp->thread(); }, &PumpMessages}),
      exceptionReporter_(&TfrmMain::HandleException) {
  windowThreadHandOver = &handOver_;
}

TProcessHooks::~TProcessHooks() { windowThreadHandOver = nullptr; }

void PostToWindowThread(QObject* receiver, std::function<void()> call) {
  if (windowThreadHandOver) windowThreadHandOver->Post(std::move(call), receiver);
}

}  // namespace qz::app
