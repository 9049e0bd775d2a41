#include "history_recorder.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "hand_over.h"

namespace qz::history {
namespace {

constexpr int64_t kPruneEveryMs = 60LL * 60 * 1000;
// After a failure, the store is tried again this often.
constexpr int64_t kRetryEveryMs = 5LL * 1000;

void Append(TBatch& into, TBatch&& from) {
  for (auto& r : from.Readings) into.Readings.push_back(std::move(r));
  for (auto& p : from.Pings) into.Pings.push_back(std::move(p));
  for (auto& w : from.Writes) into.Writes.push_back(std::move(w));
}

size_t Rows(const TBatch& batch) {
  size_t rows = batch.Pings.size() + batch.Writes.size();
  for (const auto& r : batch.Readings) rows += r.Samples.size();
  return rows;
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

std::mutex databaseThreadsMutex;
std::condition_variable databaseThreadsEnded;
int databaseThreads = 0;

}  // namespace

// What the recorder and its thread share; it outlives the recorder when the
// thread is left waiting on a database at Stop.
struct THistoryRecorder::TShared {
  TStoreSettings Settings;
  std::function<void(const QString&)> OnNotice;
  // Cancelled when the recorder goes: what the thread posts after that is dropped.
  THandOver HandOver;
  std::mutex Mutex;
  std::condition_variable Wake;
  std::condition_variable Idle;
  std::deque<TBatch> Queue;
  TBatch PendingPings;
  // Batches handed over so far, and how many of them a turn has tried.
  uint64_t Handed = 0;
  uint64_t Tried = 0;
  std::vector<std::pair<uint64_t, std::function<void()>>> Waiting;
  size_t RowsInTurn = 0;  // taken by the turn running now
  size_t RowsLost = 0;    // held when the thread ended, unwritten
  bool Busy = false;
  bool StopAsked = false;
  bool Ended = false;

  void QueuePendingPings() {
    if (PendingPings.Empty()) return;
    Queue.push_back(std::exchange(PendingPings, {}));
    ++Handed;
  }
  void Notice(const std::string& text) {
    if (text.empty() || !OnNotice) return;
    HandOver.Post([notice = OnNotice, message = QString::fromStdString(text)] { notice(message); });
  }
};

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

TDatabaseThread::TDatabaseThread() {
  std::lock_guard lock(databaseThreadsMutex);
  ++databaseThreads;
}

TDatabaseThread::~TDatabaseThread() {
  std::lock_guard lock(databaseThreadsMutex);
  --databaseThreads;
  databaseThreadsEnded.notify_all();
}

bool TDatabaseThread::AllEnded(std::chrono::milliseconds bound) {
  std::unique_lock lock(databaseThreadsMutex);
  return databaseThreadsEnded.wait_for(lock, bound, [] { return databaseThreads == 0; });
}

THistoryRecorder::THistoryRecorder(TStoreSettings settings, std::function<void(const QString&)> onNotice)
    : shared_(std::make_shared<TShared>()) {
  shared_->Settings = std::move(settings);
  shared_->OnNotice = std::move(onNotice);
  thread_ = std::thread([shared = shared_] { Run(shared); });
}

THistoryRecorder::~THistoryRecorder() {
  if (thread_.joinable()) Stop(kStopWait);
  shared_->HandOver.Cancel();
}

void THistoryRecorder::Record(TBatch batch) {
  {
    std::lock_guard lock(shared_->Mutex);
    Append(batch, std::exchange(shared_->PendingPings, {}));
    shared_->Queue.push_back(std::move(batch));
    ++shared_->Handed;
  }
  shared_->Wake.notify_one();
}

void THistoryRecorder::RecordPing(TPing ping) {
  {
    std::lock_guard lock(shared_->Mutex);
    shared_->PendingPings.Pings.push_back(std::move(ping));
    if (shared_->PendingPings.Pings.size() < kPingsPerBatch) return;
    shared_->QueuePendingPings();
  }
  shared_->Wake.notify_one();
}

void THistoryRecorder::Flush() {
  std::unique_lock lock(shared_->Mutex);
  shared_->QueuePendingPings();
  shared_->Wake.notify_one();
  shared_->Idle.wait(lock, [&] { return (shared_->Queue.empty() && !shared_->Busy) || shared_->Ended; });
}

void THistoryRecorder::WhenWritten(std::function<void()> then) {
  {
    std::lock_guard lock(shared_->Mutex);
    shared_->QueuePendingPings();
    if (shared_->Tried < shared_->Handed) {
      shared_->Waiting.emplace_back(shared_->Handed, std::move(then));
      shared_->Wake.notify_one();
      return;
    }
  }
  shared_->HandOver.Post(std::move(then));
}

size_t THistoryRecorder::Stop(std::chrono::milliseconds bound) {
  std::unique_lock lock(shared_->Mutex);
  shared_->QueuePendingPings();
  shared_->StopAsked = true;
  shared_->Wake.notify_one();
  if (shared_->Idle.wait_for(lock, bound, [&] { return shared_->Ended; })) {
    const size_t lost = shared_->RowsLost;
    lock.unlock();
    thread_.join();
    return lost;
  }
  // The database does not answer: the thread ends by itself when it does,
  // or with the process.
  size_t unwritten = shared_->RowsInTurn;
  for (const TBatch& batch : shared_->Queue) unwritten += Rows(batch);
  lock.unlock();
  thread_.detach();
  return unwritten;
}

void THistoryRecorder::Run(std::shared_ptr<TShared> shared) {
  const TDatabaseThread counted;
  TShared& s = *shared;
  THistoryStore store(s.Settings);
  int64_t nextPrune = 0;
  int64_t nextTry = 0;
  // What could not be written yet (the file busy, locked, read-only, the
  // disk full, the server away): kept, within a bound, and tried again.
  TBatch held;
  size_t dropped = 0;
  bool paused = false;
  std::unique_lock lock(s.Mutex);
  for (;;) {
    const auto due = [&] { return s.StopAsked || !s.Queue.empty() || !s.Waiting.empty(); };
    if (held.Empty())
      s.Wake.wait(lock, due);
    else
      s.Wake.wait_for(lock, std::chrono::milliseconds(std::max<int64_t>(nextTry - NowMs(), 0)), due);
    if (s.Queue.empty() && held.Empty() && s.Waiting.empty() && s.StopAsked) break;
    while (!s.Queue.empty()) {
      Append(held, std::move(s.Queue.front()));
      s.Queue.pop_front();
    }
    const uint64_t taken = s.Handed;
    dropped += Bound(held, kMostHeldRows);
    s.RowsInTurn = Rows(held);
    s.Busy = true;
    const bool stopping = s.StopAsked;
    lock.unlock();
    const int64_t now = NowMs();
    std::string failure;
    const bool waiting = now < nextTry && !stopping;
    if (!waiting && !held.Empty()) {
      if (!store.IsOpen()) {
        const std::string notice = store.OpenOrStartAgain(now);
        if (store.IsOpen())
          s.Notice(notice);
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
            s.Notice(notice);
            failure = store.Write(held);
          } else {
            failure = notice;
          }
        }
      }
      if (failure.empty()) {
        held = {};
        if (std::exchange(paused, false))
          s.Notice(dropped == 0 ? std::string("History recording again")
                                : "History recording again; " + std::to_string(dropped) +
                                      " older readings were not kept while it was paused");
        dropped = 0;
        if (now >= nextPrune) {
          store.Prune(now);
          nextPrune = now + kPruneEveryMs;
        }
      } else {
        if (!std::exchange(paused, true))
          s.Notice(failure.rfind("History", 0) == 0 ? failure : "History paused: " + failure);
        nextTry = now + kRetryEveryMs;
      }
    }
    lock.lock();
    s.Busy = false;
    s.RowsInTurn = 0;
    // What was taken is written, or held for a later try, either way tried.
    s.Tried = taken;
    for (auto at = s.Waiting.begin(); at != s.Waiting.end();) {
      if (at->first > s.Tried) {
        ++at;
        continue;
      }
      s.HandOver.Post(std::move(at->second));
      at = s.Waiting.erase(at);
    }
    s.Idle.notify_all();
    // Stopping, and the last try failed: what is held is lost.
    if (stopping && s.Queue.empty() && !waiting && !failure.empty()) {
      s.RowsLost = Rows(held);
      break;
    }
  }
  s.Ended = true;
  s.Idle.notify_all();
}

}  // namespace qz::history
