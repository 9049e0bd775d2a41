#include "hand_over.h"

#include <utility>

namespace qz {

void THandOver::Post(std::function<void()> call, QObject* receiver) {
  {
    std::lock_guard lock(mutex_);
    if (cancelled_) return;
    calls_.push_back({std::move(call), receiver, receiver != nullptr});
  }
  // One run for each call: the thread handles its other events in between,
  // as with calls Qt queues itself.
  QMetaObject::invokeMethod(this, "RunNext", Qt::QueuedConnection);
}

void THandOver::Cancel() {
  std::deque<TCall> dropped;
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  dropped.swap(calls_);
}

void THandOver::RunNext() {
  TCall next;
  {
    std::lock_guard lock(mutex_);
    if (calls_.empty()) return;
    next = std::move(calls_.front());
    calls_.pop_front();
  }
  if (next.HadReceiver && !next.Receiver) return;
  next.Call();
}

}  // namespace qz
