#pragma once
// Runs the application's idle work once each time the event queue has
// emptied and the loop is about to wait: the event dispatcher's aboutToBlock
// queues one call, and a further call is queued only after some other event
// has been handled. A call never starts while the previous one still runs
// (message pumping inside it, or a modal box it shows, cannot re-enter it),
// so an idle window sleeps in the event loop and uses no processor time.
#include <functional>

#include <QObject>

namespace qz::app {

// While one exists, idle work waits: the message pumps of device work and
// pauses hold one, so idle work never starts inside a handler.
class IdleSuspension {
 public:
  IdleSuspension();
  ~IdleSuspension();
  IdleSuspension(const IdleSuspension&) = delete;
  IdleSuspension& operator=(const IdleSuspension&) = delete;
};

// Handles the events waiting in the queue without starting idle work.
void PumpMessages();

// Waits milliseconds while the window goes on handling its events.
void PauseResponsively(int milliseconds);

class IdleDriver : public QObject {
  Q_OBJECT
 public:
  IdleDriver(std::function<void()> idle, QObject* parent);
  ~IdleDriver() override;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void AboutToBlock();
  bool AtTopLevel() const;

  std::function<void()> idle_;
  bool activity_ = true;
  bool queued_ = false;
  bool running_ = false;
};

}  // namespace qz::app
