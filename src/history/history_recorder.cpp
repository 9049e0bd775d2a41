#include "history_recorder.h"

#include <chrono>

namespace qz::history {
namespace {

constexpr int64_t kPruneEveryMs = 60LL * 60 * 1000;
// After a failure, the store is tried again at most this often.
constexpr int64_t kRetryEveryMs = 60LL * 1000;

void Append(TBatch& into, TBatch&& from) {
  for (auto& r : from.Readings) into.Readings.push_back(std::move(r));
  for (auto& p : from.Pings) into.Pings.push_back(std::move(p));
  for (auto& w : from.Writes) into.Writes.push_back(std::move(w));
}

}  // namespace

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

THistoryRecorder::THistoryRecorder(TStoreSettings settings, std::function<void(const QString&)> onNotice)
    : settings_(std::move(settings)), onNotice_(std::move(onNotice)), thread_([this] { Run(); }) {}

THistoryRecorder::~THistoryRecorder() {
  Flush();
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void THistoryRecorder::Record(TBatch batch) {
  {
    std::lock_guard lock(mutex_);
    Append(batch, std::move(pendingPings_));
    pendingPings_ = {};
    queue_.push_back(std::move(batch));
  }
  wake_.notify_one();
}

void THistoryRecorder::RecordPing(TPing ping) {
  {
    std::lock_guard lock(mutex_);
    pendingPings_.Pings.push_back(std::move(ping));
    if (pendingPings_.Pings.size() < kPingsPerBatch) return;
    queue_.push_back(std::move(pendingPings_));
    pendingPings_ = {};
  }
  wake_.notify_one();
}

void THistoryRecorder::Flush() {
  std::unique_lock lock(mutex_);
  if (!pendingPings_.Empty()) {
    queue_.push_back(std::move(pendingPings_));
    pendingPings_ = {};
    wake_.notify_one();
  }
  idle_.wait(lock, [&] { return queue_.empty() && !busy_; });
}

void THistoryRecorder::Notice(const std::string& text) {
  if (text.empty() || !onNotice_) return;
  QMetaObject::invokeMethod(
      this, [this, message = QString::fromStdString(text)] { onNotice_(message); }, Qt::QueuedConnection);
}

void THistoryRecorder::Run() {
  THistoryStore store(settings_);
  int64_t nextPrune = 0;
  int64_t nextTry = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (queue_.empty() && stop_) break;
    TBatch batch;
    while (!queue_.empty()) {
      Append(batch, std::move(queue_.front()));
      queue_.pop_front();
    }
    busy_ = true;
    lock.unlock();
    const int64_t now = NowMs();
    if (!store.IsOpen() && now >= nextTry) {
      Notice(store.OpenOrStartAgain(now));
      if (!store.IsOpen()) nextTry = now + kRetryEveryMs;
    }
    if (store.IsOpen()) {
      if (const std::string failure = store.Write(batch); !failure.empty()) {
        // The file went bad under the program (or the server went away):
        // set it aside and go on in a new one where that is possible.
        store.Close();
        Notice(store.OpenOrStartAgain(now));
        if (!store.IsOpen() || !store.Write(batch).empty()) {
          Notice("History paused: " + failure);
          nextTry = now + kRetryEveryMs;
        }
      }
      if (store.IsOpen() && now >= nextPrune) {
        store.Prune(now);
        nextPrune = now + kPruneEveryMs;
      }
    }
    lock.lock();
    busy_ = false;
    idle_.notify_all();
  }
}

}  // namespace qz::history
