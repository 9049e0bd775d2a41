#pragma once
// The history of one device over a time range: its measured values plotted
// over time, its LEDs as coloured bands below them, the ping round trip on
// an axis of its own, writes and renames as markers. The device list and
// the readings are loaded and bucketed off the window's thread, which never
// waits for the database; the plot zooms and pans with
// the mouse (drag a range, wheel) and the keys (+, -, arrows, Home).
#include <QWidget>
#include <memory>
#include <thread>
#include <vector>

#include "history_store.h"
#include "history_types.h"

class QChart;
class QChartView;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace qz::app {

class THistoryWindow : public QWidget {
 public:
  THistoryWindow(history::TStoreSettings settings, QWidget* parent = nullptr);
  // Waits for no load: a load that ends later finds the window gone.
  ~THistoryWindow() override;

  // Shows the device, when the history has it (else the first it has); the
  // list of devices is read again.
  void ShowDevice(const history::TDeviceKey& device);
  // The range shown, in milliseconds since 1970 (UTC).
  void SetRange(int64_t from, int64_t to);
  bool ExportCsv(const QString& path);
  bool ExportPng(const QString& path);
  // Whether a load is running (tests and benchmarks wait on it).
  bool Loading() const { return loading_; }

 private:
  struct TLoaded;
  void ShowDevices(const std::vector<history::TDeviceKey>& devices, const history::TDeviceKey& shown);
  void RangeChosen();
  // The measured values the operator unticked.
  std::vector<std::string> HiddenValues() const;
  void Reload();
  void LoadShownRange();
  void BackToChosenRange();
  void Show(const TLoaded& loaded);
  void ExportCsvAsked();
  void ExportPngAsked();

  history::TStoreSettings settings_;
  std::vector<history::TDeviceKey> devices_;
  // The range shown, and the one the operator chose (zooming narrows the first).
  int64_t from_ = 0;
  int64_t to_ = 0;
  int64_t chosenFrom_ = 0;
  int64_t chosenTo_ = 0;
  history::TDeviceKey wantedDevice_;
  bool loading_ = false;
  bool reloadWanted_ = false;
  // Read and written on the window's thread only: false once the window is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  QComboBox* cbDevice_ = nullptr;
  QComboBox* cbRange_ = nullptr;
  QDateTimeEdit* edFrom_ = nullptr;
  QDateTimeEdit* edTo_ = nullptr;
  QListWidget* lsValues_ = nullptr;
  QChartView* chartView_ = nullptr;
  QLabel* lbInfo_ = nullptr;
  QTimer* zoomSettled_ = nullptr;
};

}  // namespace qz::app
