#pragma once
// The network scan from the Settings page: every address of the range asked
// at once on a worker thread (paced), the maker's devices listed, the list
// before kept as the previous one (File > Restore previous device list takes
// it back), and what changed shown.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <QObject>

#include "device_list_file.h"
#include "network_scan.h"
#include "settings_page.h"

namespace qz::app {

class TWindowServices;

class TScan : public QObject {
 public:
  TScan(TScanControls controls, TWindowServices& window);
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

 private:
  void ButtonClick();
  void ShowProgress(const TScanProgress& progress);
  // socketError: why the scan could not start (0 when it ran).
  void Finish(const std::vector<DeviceRow>& rows, int socketError);
  // Keeps the list file a scan is about to replace as the previous list;
  // false (and said) when it could not.
  bool KeepPreviousDeviceList();
  void ShowDeviceCount();

  TScanControls controls_;
  TWindowServices& window_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  bool running_ = false;
  std::vector<DeviceRow> rowsBefore_;
};

}  // namespace qz::app
