// The network scan: every address of the range asked at once (on a worker
// thread, paced), the maker's devices listed, the previous list kept, and
// what changed shown.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "exception_report.h"
#include "main_window.h"
#include "settings_page.h"
#include "net.h"
#include "net_errors.h"
#include "process_hooks.h"
#include "scan_range.h"
#include "text.h"
#include "text_file.h"

namespace qz::app {
namespace {

// Larger ranges are asked for only after the operator confirms.
constexpr uint32_t kUnconfirmedScanAddresses = 65536;
// Lines of changes the scan's summary box shows.
constexpr size_t kMostSummaryLines = 1000;

}  // namespace

void TfrmMain::btScanClick() {
  if (settings_->Scan().Button->text() == "Scan") {
    settings_->Scan().Button->setText("Stop");
    RequestWork(wsScan);
  } else {
    settings_->Scan().Button->setText("Scan");
    scanStop_ = true;
    RequestWork(wsStopScan);
  }
}

void TfrmMain::Scan() {
  if (scanRunning_) return;
  const uint32_t total = ScanAddressCount(data_.StartIPValue, data_.StopIPValue);
  if (total == 0) {
    // A typing slip in the range must not cost the operator the device list.
    settings_->Scan().Button->setText("Scan");
    settings_->Scan().Said->setText("No address to scan");
    QMessageBox::warning(this, "QZ Explorer",
                         QString::fromStdString("Nothing was scanned: the range " + data_.Settings.StartIP +
                                                " to " + data_.Settings.StopIP +
                                                " holds no address. The device list is kept."));
    return;
  }
  if (total > kUnconfirmedScanAddresses &&
      QMessageBox::question(this, "QZ Explorer",
                            QString("The range %1 to %2 holds %3 addresses. Scan them all?")
                                .arg(QString::fromStdString(data_.Settings.StartIP),
                                     QString::fromStdString(data_.Settings.StopIP))
                                .arg(total)) != QMessageBox::Yes) {
    settings_->Scan().Button->setText("Scan");
    return;
  }
  EnableControls(false);
  rowsBeforeScan_ = data_.Devices.Rows();
  scanRunning_ = true;
  ClearLists();
  settings_->Scan().Progress->setValue(0);
  snmp::SnmpRequest.TimeOut = data_.SNMPTimeOutValue;
  snmp::SnmpRequest.RetryCount = data_.RetryCountValue;
  snmp::SnmpRequest.Community = data_.Settings.ReadComm;

  TScanRequest request;
  request.Start = data_.StartIPValue;
  request.Stop = data_.StopIPValue;
  request.Community = data_.Settings.ReadComm;
  request.TimeoutMs = data_.SNMPTimeOutValue;
  request.Tries = data_.RetryCountValue;
  ShowScanProgress({0, total, 0});
  scanStop_ = false;
  scanThread_ = std::thread([this, request] {
    TNetworkScan scan(request);
    const auto rows = scan.Run(scanStop_, [this](const TScanProgress& progress) {
      PostToWindowThread(this, [this, progress] { ShowScanProgress(progress); });
    });
    PostToWindowThread(this, [this, rows, error = scan.Error()] { Guarded(this, [&] { FinishScan(rows, error); }); });
  });
}

void TfrmMain::ShowScanProgress(const TScanProgress& progress) {
  if (!scanRunning_) return;
  settings_->Scan().Progress->setValue(progress.Total ? static_cast<int>(uint64_t{1000} * progress.Settled / progress.Total) : 0);
  settings_->Scan().Said->setText(QString("Asked %1 of %2, found %3").arg(progress.Settled).arg(progress.Total).arg(progress.Found));
}

void TfrmMain::StopScanThread() {
  scanStop_ = true;
  if (scanThread_.joinable()) scanThread_.join();
  scanRunning_ = false;
}

void TfrmMain::FinishScan(const std::vector<DeviceRow>& rows, int socketError) {
  StopScanThread();
  // Leaving the program in the middle of a scan keeps the file as it was.
  if (closing_) return;
  if (socketError != 0) {
    // Nothing was asked: the list of the last scan still holds, with the
    // device that was chosen.
    const std::string selected = data_.SelectedIP;
    ShowRows(rowsBeforeScan_);
    if (const int row = cbAdrIP->findText(QString::fromStdString(selected)); row >= 0) SelectRow(row);
    data_.SelectedIP = cbAdrIP->currentText().toStdString();
    settings_->Scan().Button->setText("Scan");
    settings_->Scan().Said->setText("Scan failed");
    settings_->Scan().Progress->setValue(0);
    EnableControls(true);
    if (data_.WorkState == wsScan || data_.WorkState == wsStopScan) data_.WorkState = wsIdle;
    QMessageBox::warning(this, "QZ Explorer",
                         QString::fromStdString("The scan could not start: " + telnet::SocketErrorText(socketError) +
                                                " The device list is kept.")
                             .simplified());
    return;
  }
  ShowRows(rows);
  settings_->Scan().Button->setText("Scan");
  settings_->Scan().Said->setText("Devices found: " + QString::number(data_.Devices.Count()));
  settings_->Scan().Progress->setValue(0);
  if (KeepPreviousDeviceList()) WriteDeviceList();
  EnableControls(true);
  if (data_.WorkState == wsScan || data_.WorkState == wsStopScan) data_.WorkState = wsIdle;
  // What a scan found is shown at once: the first device's panel.
  if (HasSelectedDevice()) {
    ShowPage(tsManage);
    RequestWork(wsFillData);
  }
  ShowScanSummary(rowsBeforeScan_, rows);
}

void TfrmMain::ShowRows(const std::vector<DeviceRow>& rows) {
  FillLists(rows);
  SelectRow(0);
  data_.SelectedIP = cbAdrIP->currentText().toStdString();
  // The panel of a device that is no longer listed must not stay editable.
  if (!HasSelectedDevice()) ShowNoDevice();
}

bool TfrmMain::KeepPreviousDeviceList() {
  if (!FileExists(kDeviceListFileName)) return true;
  const TFileRead current = ReadFile(kDeviceListFileName);
  std::string failure = current.Error;
  if (failure.empty()) failure = WriteWholeFile(kPreviousDeviceListFileName, current.Bytes);
  if (failure.empty()) return true;
  QMessageBox::warning(this, "QZ Explorer",
                       QString("The device list could not be kept as %1: %2. %3 is left as it was.")
                           .arg(FileShown(kPreviousDeviceListFileName), QString::fromLocal8Bit(failure.c_str()),
                                FileShown(kDeviceListFileName)));
  return false;
}

void TfrmMain::ShowScanSummary(const std::vector<DeviceRow>& before, const std::vector<DeviceRow>& after) {
  const std::vector<std::string> changes = CompareDeviceLists(before, after);
  if (changes.empty()) return;
  // The box shows a bounded part (devices may send long texts, and a range
  // may change whole); Copy gives every line whole.
  QString summary;
  for (const std::string& line : changes) summary += Shown(line) + "\n";
  auto* box = new QMessageBox(QMessageBox::Information, "QZ Explorer",
                              "The scan found these changes against the previous list:", QMessageBox::Ok, this);
  box->setObjectName("scanSummary");
  box->setInformativeText(QString::fromStdString(Counted(changes.size(), "change")));
  // The lines scroll in a list of their own, above the buttons: a range that
  // changed whole does not make a box taller than the screen.
  auto* lines = new QPlainTextEdit(Shown(ShownChanges(changes, kMostSummaryLines)), box);
  lines->setObjectName("scanChanges");
  lines->setReadOnly(true);
  lines->setLineWrapMode(QPlainTextEdit::NoWrap);
  lines->setMinimumSize(520, 120);
  lines->setMaximumHeight(320);
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
    if (auto* buttons = box->findChild<QDialogButtonBox*>(); buttons && grid->indexOf(buttons) >= 0) {
      int row = 0, column = 0, rows = 0, columns = 0;
      grid->getItemPosition(grid->indexOf(buttons), &row, &column, &rows, &columns);
      grid->removeWidget(buttons);
      grid->addWidget(lines, row, 0, 1, grid->columnCount());
      grid->addWidget(buttons, row + 1, 0, 1, grid->columnCount());
    }
  }
  QPushButton* copy = box->addButton("Copy", QMessageBox::ActionRole);
  copy->disconnect();  // copying leaves the box open
  connect(copy, &QPushButton::clicked, box, [summary] { QGuiApplication::clipboard()->setText(summary); });
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
}

void TfrmMain::itmRestoreClick() {
  if (scanRunning_) return;
  const TFileRead previous = ReadFile(kPreviousDeviceListFileName);
  if (!previous.Error.empty()) {
    if (FileExistsAtAll(kPreviousDeviceListFileName))
      QMessageBox::warning(this, "QZ Explorer",
                           QString("The previous device list %1 cannot be read: %2.")
                               .arg(FileShown(kPreviousDeviceListFileName), QString::fromLocal8Bit(previous.Error.c_str())));
    else
      QMessageBox::information(this, "QZ Explorer", "There is no previous device list to restore.");
    return;
  }
  bool previousCut = false;
  const size_t previousCount = ParseDeviceList(previous.Bytes, &previousCut).size();
  if (QMessageBox::question(this, "QZ Explorer",
                            QString("Replace the device list (%1) with the previous one (%2)? The list shown now "
                                    "becomes the previous one, so this can be taken back.")
                                .arg(QString::fromStdString(Counted(static_cast<uint64_t>(cbAdrIP->count()), "device")),
                                     QString::fromStdString(Counted(previousCount, "device")))) != QMessageBox::Yes)
    return;
  // The lists change places, so that a restore can itself be taken back.
  const std::string current = ReadWholeFile(kDeviceListFileName);
  std::string failure = WriteWholeFile(kDeviceListFileName, previous.Bytes);
  if (failure.empty()) failure = WriteWholeFile(kPreviousDeviceListFileName, current);
  if (!failure.empty()) {
    QMessageBox::warning(this, "QZ Explorer",
                         QString("The previous device list could not be restored: %1.")
                             .arg(QString::fromLocal8Bit(failure.c_str())));
    return;
  }
  bool cut = false;
  const std::vector<DeviceRow> rows = ParseDeviceList(previous.Bytes, &cut);
  ShowRows(rows);
  settings_->Scan().Said->setText("Devices found: " + QString::number(data_.Devices.Count()));
  if (cut) WarnListCut(kPreviousDeviceListFileName);
  if (HasSelectedDevice() && PageControl->currentWidget() == tsManage) RequestWork(wsFillData);
  QMessageBox::information(this, "QZ Explorer",
                           QString::fromStdString("Restored the previous device list: " + Counted(rows.size(), "device") + "."));
}

}  // namespace qz::app
