#pragma once
// Recording without slowing the window: the window's thread only moves its
// batches into a queue (pings are grouped ten at a time); a thread of the
// recorder's own writes them, one transaction per turn, prunes what is past
// the retention once an hour, and reports what the operator must know (the
// history paused and recording again, a damaged file set aside) back on the
// window's thread. What cannot be written now is kept, within a bound, and
// tried again every few seconds; a file is set aside only when it is
// damaged.
#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "hand_over.h"
#include "history_store.h"
#include "history_types.h"

namespace qz::history {

class THistoryRecorder : public QObject {
 public:
  // onNotice runs on the thread that made the recorder.
  THistoryRecorder(TStoreSettings settings, std::function<void(const QString&)> onNotice);
  // Writes what is queued, then stops.
  ~THistoryRecorder() override;
  THistoryRecorder(const THistoryRecorder&) = delete;
  THistoryRecorder& operator=(const THistoryRecorder&) = delete;

  void Record(TBatch batch);
  void RecordPing(TPing ping);
  // Waits until everything handed over so far is written (or dropped).
  void Flush();

  static constexpr size_t kPingsPerBatch = 10;
  // Rows kept while the history cannot be written: a day of a dozen
  // many-valued devices; past it the oldest readings and pings go first.
  static constexpr size_t kMostHeldRows = 500'000;

 private:
  void Run();
  void Notice(const std::string& text);

  TStoreSettings settings_;
  std::function<void(const QString&)> onNotice_;
  THandOver handOver_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<TBatch> queue_;
  TBatch pendingPings_;
  bool busy_ = false;
  bool stop_ = false;
  std::thread thread_;
};

// Milliseconds since 1970, UTC.
int64_t NowMs();

}  // namespace qz::history
