#pragma once
// Recording without slowing the window: the window's thread only moves its
// batches into a queue (pings are grouped ten at a time); a thread of the
// recorder's own writes them, one transaction per turn, prunes what is past
// the retention once an hour, and reports what the operator must know (the
// history paused and recording again, a damaged file set aside) back on the
// window's thread. What cannot be written now is kept, within a bound, and
// tried again every few seconds; a file is set aside only when it is
// damaged. Nothing on the window's thread ever waits for the database but
// Flush, and Stop, which waits a bounded time.
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "history_store.h"
#include "history_types.h"

namespace qz::history {

class THistoryRecorder {
 public:
  // onNotice runs on the thread that made the recorder.
  THistoryRecorder(TStoreSettings settings, std::function<void(const QString&)> onNotice);
  // Stops, waiting kStopWait at most.
  ~THistoryRecorder();
  THistoryRecorder(const THistoryRecorder&) = delete;
  THistoryRecorder& operator=(const THistoryRecorder&) = delete;

  void Record(TBatch batch);
  void RecordPing(TPing ping);
  // Waits until everything handed over so far is written (or dropped).
  void Flush();
  // Without waiting: then runs on the recorder's making thread once
  // everything handed over so far has been tried (written, or kept for a
  // later try), unless the recorder is gone by then.
  void WhenWritten(std::function<void()> then);
  // Writes what is queued and ends the thread, waiting at most bound for a
  // database that does not answer; then leaves the thread to end by itself.
  // The rows that were not written (0 when all were). Once only.
  size_t Stop(std::chrono::milliseconds bound);

  static constexpr size_t kPingsPerBatch = 10;
  // Rows kept while the history cannot be written: a day of a dozen
  // many-valued devices; past it the oldest readings and pings go first.
  static constexpr size_t kMostHeldRows = 500'000;
  static constexpr std::chrono::milliseconds kStopWait{3000};

 private:
  struct TShared;
  static void Run(std::shared_ptr<TShared> shared);

  std::shared_ptr<TShared> shared_;
  std::thread thread_;
};

// The threads that work on a history database now (the recorder's, the
// history window's loads): at the program's end, one that is still running
// waits on a database that does not answer.
class TDatabaseThread {
 public:
  TDatabaseThread();
  ~TDatabaseThread();
  TDatabaseThread(const TDatabaseThread&) = delete;
  TDatabaseThread& operator=(const TDatabaseThread&) = delete;
  // Waits at most bound for every such thread to end; whether they did.
  static bool AllEnded(std::chrono::milliseconds bound);
};

// Milliseconds since 1970, UTC.
int64_t NowMs();

}  // namespace qz::history
