#pragma once
// The one way into the window's inside, for tests and benchmarks only: the
// window itself never uses it. Tests find the controls by their object names
// (findChild); this reads the program-wide state and does what only a test
// may do: set the work state or the timer's tick count, give the timer a
// tick, run a fill or a refresh at once, shorten the Telnet connect time-out,
// wait for the history's writes.
#include "history_recorder.h"
#include "console_page.h"
#include "device_panel.h"
#include "fleet_watch.h"
#include "inventory_export.h"
#include "trap_listener.h"
#include "main_window.h"
#include "scan.h"
#include "telnet_client.h"

namespace qz::app {

class TfrmMainTestSeam {
 public:
  explicit TfrmMainTestSeam(TfrmMain& window) : window_(window) {}

  const GlobalData& State() const { return window_.data_; }
  const TDevicePanel& Panel() const { return *window_.panel_; }
  TFleetWatch& Fleet() const { return *window_.fleet_; }
  TScan& Scan() const { return *window_.scan_; }
  const TTrapListener& Traps() const { return *window_.traps_; }
  TInventoryExport& Inventory() const { return *window_.inventory_; }
  void SetWorkState(TWorkState state) { window_.data_.WorkState = state; }
  // The timer's next tick is tick number ticks + 1 (the 30th refreshes).
  void SetTicks(int32_t ticks) { window_.data_.Ticks = ticks; }
  void TimerTick() { window_.TimerTimer(); }
  void Fill() { window_.FillData(); }
  void Refresh() { window_.RefreshData(); }
  void SetTelnetConnectTimeout(int milliseconds) { window_.console_->Client().DefaultConnectTimeoutMs = milliseconds; }
  bool TelnetConnected() { return window_.console_->Client().Connected(); }
  // The box a scan shows when the list it found differs from the one before.
  void ShowScanSummary(const std::vector<DeviceRow>& before, const std::vector<DeviceRow>& after) {
    window_.scan_->ShowSummary(before, after);
  }
  // Waits until the history holds everything recorded so far.
  void FlushHistory() {
    if (window_.history_) window_.history_->Flush();
  }

 private:
  TfrmMain& window_;
};

}  // namespace qz::app
