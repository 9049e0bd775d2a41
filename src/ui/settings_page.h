#pragma once
// The Settings page: the scan range, the SNMP settings, ping and the code
// page, each taken and saved (the whole settings file) as the operator leaves
// its field; the scan's own controls stand in its group, for the scan.
#include <cstdint>
#include <string>

#include <QString>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QWidget;
class TIPEdit;

namespace qz::app {

class TLayout;
class TWindowServices;
struct TNumberRange;

// The scan's controls on the page.
struct TScanControls {
  QLineEdit* Said = nullptr;  // progress and result
  QProgressBar* Progress = nullptr;
  QPushButton* Button = nullptr;  // "Scan", or "Stop" while one runs
};

class TSettingsPage {
 public:
  TSettingsPage(QWidget* page, const TLayout& layout, TWindowServices& window);
  TSettingsPage(const TSettingsPage&) = delete;
  TSettingsPage& operator=(const TSettingsPage&) = delete;

  // Shows the settings in use.
  void ShowSettings();
  // Shows the communities again after the code page changed (unless edited).
  void ShowCommunities();
  // The page's fields take input, or not while a scan runs.
  void Enable(bool enabled);
  // The first start's hint, while no device is listed.
  void ShowFirstStartHint(bool shown);
  // The configuration group (the range and the scan) in view.
  void ShowConfiguration();
  const TScanControls& Scan() const { return scan_; }
  bool StartupScan() const;
  int RetryCount() const;
  bool PingChosen() const;
  // Ping cannot work here: the box is unticked, the stored setting kept.
  void UntickPing();

 private:
  void Bind();
  void Save();
  void TakeScanAddress(TIPEdit* edit, std::string& field, uint32_t& value);
  // The number of a time-out box brought into its range, shown and stored as
  // such; throws when the box holds no number.
  int32_t TakeNumber(QLineEdit* edit, std::string& field, TNumberRange range);
  // The bytes behind a community box: what was read, unless the operator
  // has edited the box since.
  std::string BytesOf(const QLineEdit* edit, const std::string& original) const;
  void TakeCommunity(QLineEdit* edit, std::string& field);
  void CodePageChosen();
  void PingTicked();

  TWindowServices& window_;
  QGroupBox* gbSysConfig;
  QGroupBox* gbAuto;
  TIPEdit* edStartIP;
  TIPEdit* edStopIP;
  QCheckBox* cbStartupScan;
  TScanControls scan_;
  QLabel* lbFirstStart;
  QGroupBox* gbSNMP;
  QLineEdit* edReadComm;
  QLineEdit* edWriteComm;
  QLineEdit* edSNMPTimeOut;
  QSpinBox* seRetryCount;
  QGroupBox* gbMisc;
  QCheckBox* cbPing;
  QLineEdit* edPingTimeOut;
  QComboBox* cbCodePage;
  QPushButton* btSaveSettings;
};

}  // namespace qz::app
