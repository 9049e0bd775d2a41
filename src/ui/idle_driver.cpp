#include "idle_driver.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

namespace qz::app {
namespace {
const QEvent::Type kIdleEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
int suspensions = 0;
}  // namespace

IdleSuspension::IdleSuspension() { ++suspensions; }
IdleSuspension::~IdleSuspension() { --suspensions; }

void PumpMessages() {
  IdleSuspension suspension;
  QCoreApplication::processEvents();
}

void PauseResponsively(int milliseconds) {
  IdleSuspension suspension;
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

IdleDriver::IdleDriver(std::function<void()> idle, QObject* parent)
    : QObject(parent), idle_(std::move(idle)) {
  connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
          &IdleDriver::AboutToBlock);
  QCoreApplication::instance()->installEventFilter(this);
}

IdleDriver::~IdleDriver() { QCoreApplication::instance()->removeEventFilter(this); }

bool IdleDriver::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != kIdleEvent) activity_ = true;
  return QObject::eventFilter(watched, event);
}

bool IdleDriver::AtTopLevel() const {
  return !running_ && suspensions == 0 && !QApplication::activeModalWidget();
}

void IdleDriver::AboutToBlock() {
  if (!activity_ || queued_ || !AtTopLevel()) return;
  queued_ = true;
  QCoreApplication::postEvent(this, new QEvent(kIdleEvent), Qt::LowEventPriority);
}

bool IdleDriver::event(QEvent* event) {
  if (event->type() != kIdleEvent) return QObject::event(event);
  queued_ = false;
  if (!AtTopLevel()) {
    // Not at the top of the event loop: run when it next empties there.
    activity_ = true;
    return true;
  }
  activity_ = false;
  running_ = true;
  idle_();
  running_ = false;
  return true;
}

}  // namespace qz::app
