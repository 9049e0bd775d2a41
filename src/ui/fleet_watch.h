#pragma once
// The fleet watch: every listed device polled in the background for its
// alarm LEDs and values, its state confirmed over a few polls, changes told
// by desktop notification, the tray icon, the events list and the operator's
// OnChange command, and every poll kept in the history. The polls run on a
// thread of the watch's own, one cycle at a time (a cycle longer than the
// interval delays the next, never overlaps it); the window's thread only
// takes finished cycles. The selected device is not polled: its row takes
// the panel's own readings.
#include <QObject>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "fleet_state.h"
#include "history_types.h"
#include "window_services.h"

class QIcon;
class QProcess;
class QSystemTrayIcon;
class QTimer;

namespace qz::app {

class TDesktopNotifier;

// A device of the fleet as the Fleet window shows it.
struct TFleetRow {
  DeviceRow Device;
  std::optional<TFleetObservation> LastAnswered;  // the latest poll it answered
  TFleetMark Mark = TFleetMark::NoAnswer;          // as confirmed; until then as last seen
  bool Polled = false;                              // seen at least once
  bool Acknowledged = false;
  int64_t LastAnswerMs = 0;   // 0: never
  int64_t SilentSinceMs = 0;  // its last answer once a poll went unanswered; 0: answering
  std::optional<int32_t> PingMs;  // -1: timed out
  // Confirmed silent: one lost answer does not grey a row.
  bool Silent() const { return Mark == TFleetMark::NoAnswer && SilentSinceMs != 0; }
};

// How many polled rows stand in each mark, how many wait for the operator,
// and the worst mark not acknowledged.
struct TFleetCounts {
  int ByMark[4] = {};
  int Attention = 0;
  TFleetMark Worst = TFleetMark::Normal;
  int Of(TFleetMark mark) const { return ByMark[static_cast<int>(mark)]; }
};

// A round dot in the mark's colour, for the table and the tray.
QIcon FleetMarkDot(TFleetMark mark, int size, bool outlined);

class TFleetWatch : public QObject {
  Q_OBJECT

 public:
  explicit TFleetWatch(TWindowServices& window, QObject* parent = nullptr);
  ~TFleetWatch() override;

  // The conf's [Fleet] (and [Limits]) as read now; polls start or stop as Watch says.
  void ApplySettings();
  bool Watching() const { return watching_; }
  // Starts or stops the polls; remembered in the conf.
  void SetWatching(bool on);
  // A cycle now, unless one runs (then the next keeps its time).
  void PollNow();
  // A trap came from the device: it is polled now, and once a second until
  // as many polls as confirm a change have been made.
  void PollSoon(const std::string& address);
  static constexpr int kUrgentPollGapMs = 1000;
  // The device list changed: the rows follow (what was seen of a device stays).
  void ListChanged();
  // The selected device's panel finished a pass: its row takes what the panel read.
  void TakePanelReading(const TPanelModel& model, bool answered);
  // The ping monitor's round trip to the selected device (none: timed out).
  void TakePing(const std::string& address, std::optional<int32_t> roundTripMs);
  // The operator saw the row's alarm; false when it has none to acknowledge.
  bool Acknowledge(int row);
  const std::vector<TFleetRow>& Rows() const { return rows_; }
  TFleetCounts Counts() const;
  int CyclesDone() const { return cyclesDone_; }
  // A poll cycle runs on the worker now.
  bool CycleRunning() const { return cycleRunning_; }
  // Poll cycles' changes not passed to OnChange for want of room.
  size_t OnChangeDropped() const { return onChangeDropped_; }

  // Programs of OnChange that may run at once, waiting, and how long one may run.
  static constexpr int kMostRunningCommands = 4;
  static constexpr size_t kMostWaitingCommands = 64;
  static constexpr int kCommandTimeLimitMs = 10000;
  // How long the program's end waits for the commands still running, together.
  static constexpr int kCommandWaitAtEndMs = 3000;

 signals:
  // The rows changed (a cycle, the panel, the list, an acknowledgement).
  void RowsChanged();
  void CycleEnded();
  // The tray icon was clicked: the Fleet window is wanted.
  void TrayClicked();

 private:
  struct TJob;
  struct TPolled;
  struct TCycle;
  // A cycle of the whole fleet, after the one running if one runs.
  void StartCycle();
  // A cycle of the devices traps named.
  void StartUrgentCycle();
  void RunCycle(std::vector<DeviceRow> devices, bool full);
  void TakeCycle(const std::shared_ptr<TCycle>& cycle);
  // One poll of a device: its row, its confirmed change, told to the operator.
  void TakePoll(TFleetRow& row, const TFleetObservation& seen, int64_t atMs, std::vector<std::string>& changeLines);
  void WorkerLoop();
  std::shared_ptr<TCycle> RunJob(const TJob& job);
  void RunOnChange(const TFleetRow& row, const TFleetChange& change);
  void StartWaitingCommands();
  void ShowTray();
  // One desktop notification of the changes a cycle (or a panel pass) confirmed.
  void NotifyChanges(const std::vector<std::string>& changeLines);
  std::string Label(const TFleetRow& row) const;
  int RowOfAddress(const std::string& address) const;

  TWindowServices& window_;
  TFleetSettings settings_;
  TValueLimits limits_;
  TFleetStates states_{2};
  std::vector<TFleetRow> rows_;
  std::unordered_map<std::string, size_t> rowOfAddress_;
  bool watching_ = false;
  bool cycleRunning_ = false;
  int cyclesDone_ = 0;
  QTimer* timer_ = nullptr;
  QTimer* urgentTimer_ = nullptr;
  bool fullCycleDue_ = false;
  std::map<std::string, int> urgent_;  // devices a trap named, and the polls still to make
  TDesktopNotifier* notifier_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  // OnChange: the argument lists waiting, and how many programs run.
  std::deque<QStringList> waitingCommands_;
  int runningCommands_ = 0;
  size_t onChangeDropped_ = 0;
  // The device the panel read last, and when.
  std::string panelAddress_;
  int64_t panelReadMs_ = 0;

  // The poll thread and what it shares with the window's thread.
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::unique_ptr<TJob> job_;  // the next cycle to run, taken by the worker
  bool stopping_ = false;
  std::atomic<bool> stopPolls_{false};
};

}  // namespace qz::app
