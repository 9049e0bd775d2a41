#pragma once
// The network scan from the Settings page: every address of the range asked
// at once on a worker thread (paced), the maker's devices listed, the list
// before kept as the previous one (File > Restore previous device list takes
// it back), and what changed shown. [Scan] Every rescans on a schedule,
// quietly: the lists and the page stay as the operator left them, and what
// changed becomes a notification.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <QObject>
#include <QTimer>
#include <functional>

#include "device_list_file.h"
#include "network_scan.h"
#include "settings_page.h"

namespace qz::app {

class TWindowServices;

class TScan : public QObject {
 public:
  // busy: whether other network work runs that a scheduled rescan waits for (the fleet's cycle).
  TScan(TScanControls controls, TWindowServices& window, std::function<bool()> busy);
  ~TScan() override;

  bool Running() const { return running_; }
  // The work of the scan state: starts the scan of the range, unless one runs.
  void Start();
  // The scan ends at its next step (the window closes); Stop waits for its thread.
  void AskToStop() { stop_ = true; }
  void Stop();
  // File > Restore previous device list: the list and the previous one change places.
  void RestorePrevious();
  void ShowSummary(const std::vector<DeviceRow>& before, const std::vector<DeviceRow>& after);
  // [Scan] Every of the conf, again after a change of it.
  void ApplySchedule();
  // The scheduled rescan, now (or once the scan or the fleet's cycle that runs has ended).
  void RescanWhenFree();
  bool Scheduled() const { return scheduled_; }
  const QTimer& Schedule() const { return *schedule_; }

 private:
  void ButtonClick();
  void ShowProgress(const TScanProgress& progress);
  // socketError: why the scan could not start (0 when it ran).
  void Finish(const std::vector<DeviceRow>& rows, int socketError);
  // Keeps the list file a scan is about to replace as the previous list;
  // false (and said) when it could not.
  bool KeepPreviousDeviceList();
  void ShowDeviceCount();
  TScanRequest RequestOfSettings() const;
  void FinishScheduled(const std::vector<DeviceRow>& rows, int socketError);

  TScanControls controls_;
  TWindowServices& window_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  bool running_ = false;
  bool scheduled_ = false;      // the scan running is a scheduled rescan
  bool operatorWaits_ = false;  // the operator's scan starts when it ends
  std::vector<DeviceRow> rowsBefore_;
  std::function<bool()> busy_;
  QTimer* schedule_;
  class TDesktopNotifier* notifier_;
};

}  // namespace qz::app
