#pragma once
// Calls made on other threads, run on the thread that owns a receiver, in
// the order they were posted. The calls wait in a queue under our own lock,
// and Qt is only told by name that there is something to run: so the
// hand-over is seen whole by ThreadSanitizer, to which Qt's own event queue
// (not built with it) is invisible. The lowest module that has Qt holds it;
// the window uses it too.
#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <mutex>

namespace qz {

class THandOver : public QObject {
  Q_OBJECT

 public:
  // Runs on the thread that makes the object.
  THandOver() = default;

  // From any thread: call runs later on this object's thread, unless the
  // receiver (when given) is gone by then.
  void Post(std::function<void()> call, QObject* receiver = nullptr);
  // From any thread: nothing posted, before or after, runs any more.
  void Cancel();

 private:
  Q_INVOKABLE void RunNext();

  struct TCall {
    std::function<void()> Call;
    QPointer<QObject> Receiver;
    bool HadReceiver = false;
  };
  std::mutex mutex_;
  std::deque<TCall> calls_;
  bool cancelled_ = false;
};

}  // namespace qz
