#include "history_recorder.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace qz::history {
namespace {

constexpr int64_t kPruneEveryMs = 60LL * 60 * 1000;
// After a failure, the store is tried again this often.
constexpr int64_t kRetryEveryMs = 5LL * 1000;

size_t Rows(const TBatch& batch) {
  size_t rows = batch.Pings.size() + batch.Writes.size();
  for (const auto& r : batch.Readings) rows += r.Samples.size();
  return rows;
}

void Append(TBatch& into, TBatch&& from) {
  for (auto& r : from.Readings) into.Readings.push_back(std::move(r));
  for (auto& p : from.Pings) into.Pings.push_back(std::move(p));
  for (auto& w : from.Writes) into.Writes.push_back(std::move(w));
}

// Drops the oldest readings and pings until the batch holds at most `most`
// rows (the operator's writes are few and always kept); the rows dropped.
size_t Bound(TBatch& batch, size_t most) {
  size_t rows = Rows(batch);
  size_t dropped = 0;
  size_t readings = 0;
  size_t pings = 0;
  while (rows > most && (readings < batch.Readings.size() || pings < batch.Pings.size())) {
    const bool readingFirst =
        pings == batch.Pings.size() ||
        (readings < batch.Readings.size() && batch.Readings[readings].At <= batch.Pings[pings].At);
    const size_t gone = readingFirst ? batch.Readings[readings++].Samples.size() : (++pings, 1);
    rows -= gone;
    dropped += gone;
  }
  batch.Readings.erase(batch.Readings.begin(), batch.Readings.begin() + static_cast<std::ptrdiff_t>(readings));
  batch.Pings.erase(batch.Pings.begin(), batch.Pings.begin() + static_cast<std::ptrdiff_t>(pings));
  return dropped;
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
  handOver_.Post([this, message = QString::fromStdString(text)] { onNotice_(message); });
}

void THistoryRecorder::Run() {
  THistoryStore store(settings_);
  int64_t nextPrune = 0;
  int64_t nextTry = 0;
  // What could not be written yet (the file busy, locked, read-only, the
  // disk full, the server away): kept, within a bound, and tried again.
  TBatch held;
  size_t dropped = 0;
  bool paused = false;
  std::unique_lock lock(mutex_);
  for (;;) {
    if (held.Empty())
      wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    else
      wake_.wait_for(lock, std::chrono::milliseconds(std::max<int64_t>(nextTry - NowMs(), 0)),
                     [&] { return stop_ || !queue_.empty(); });
    if (queue_.empty() && held.Empty() && stop_) break;
    while (!queue_.empty()) {
      Append(held, std::move(queue_.front()));
      queue_.pop_front();
    }
    dropped += Bound(held, kMostHeldRows);
    busy_ = true;
    const bool stopping = stop_;
    lock.unlock();
    const int64_t now = NowMs();
    std::string failure;
    const bool waiting = now < nextTry && !stopping;
    if (!waiting) {
      if (!store.IsOpen()) {
        const std::string notice = store.OpenOrStartAgain(now);
        if (store.IsOpen())
          Notice(notice);
        else
          failure = notice;
      }
      if (store.IsOpen()) {
        failure = store.Write(held);
        if (!failure.empty() && store.LastFailureIsDamage()) {
          // The file went bad under the program: set it aside and go on in
          // a new one.
          const std::string notice = store.SetAsideAndStartAgain(now, failure);
          if (store.IsOpen()) {
            Notice(notice);
            failure = store.Write(held);
          } else {
            failure = notice;
          }
        }
      }
      if (failure.empty()) {
        held = {};
        if (std::exchange(paused, false))
          Notice(dropped == 0 ? std::string("History recording again")
                              : "History recording again; " + std::to_string(dropped) +
                                    " older readings were not kept while it was paused");
        dropped = 0;
        if (now >= nextPrune) {
          store.Prune(now);
          nextPrune = now + kPruneEveryMs;
        }
      } else {
        if (!std::exchange(paused, true))
          Notice(failure.rfind("History", 0) == 0 ? failure : "History paused: " + failure);
        nextTry = now + kRetryEveryMs;
      }
    }
    lock.lock();
    busy_ = false;
    idle_.notify_all();
    // Stopping, and the last try failed: what is held is lost.
    if (stopping && queue_.empty() && !waiting && !failure.empty()) break;
  }
}

}  // namespace qz::history
