#include "scan.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "desktop_notifier.h"
#include "exception_report.h"
#include "net.h"
#include "net_errors.h"
#include "process_hooks.h"
#include "scan_range.h"
#include "text.h"
#include "text_file.h"
#include "window_services.h"

namespace qz::app {
namespace {

// Lines of changes the scan's summary box shows.
constexpr size_t kMostSummaryLines = 1000;
// How soon a scheduled rescan that found other network work running tries again.
constexpr int kRescanRetryMs = 2000;

}  // namespace

TScan::TScan(TScanControls controls, TWindowServices& window, std::function<bool()> busy)
    : controls_(controls), window_(window), busy_(std::move(busy)), schedule_(new QTimer(this)),
      notifier_(new TDesktopNotifier([this](const QString& why) { window_.ShowNotice(why); }, this)) {
  connect(controls_.Button, &QPushButton::clicked, this, [this] { Guarded(controls_.Button, [&] { ButtonClick(); }); });
  connect(schedule_, &QTimer::timeout, this, [this] { Guarded(this, [&] { RescanWhenFree(); }); });
}

void TScan::ApplySchedule() {
  const TRescanPeriod period = RescanPeriod(window_.Data().Conf.Value("Scan/Every"));
  if (!period.Error.empty()) window_.ShowNotice(QString::fromStdString(period.Error + "; no scheduled rescans"));
  if (!period.Seconds) {
    schedule_->stop();
    return;
  }
  schedule_->start(*period.Seconds * 1000);
}

void TScan::RescanWhenFree() {
  if (window_.Closing()) return;
  // Never two scans at once, nor a scan beside the fleet's cycle: it waits.
  if (running_ || window_.Data().WorkState == wsScan || busy_()) {
    QTimer::singleShot(kRescanRetryMs, this, [this] { Guarded(this, [&] { RescanWhenFree(); }); });
    return;
  }
  const TScanRequest request = RequestOfSettings();
  const uint64_t total = ScanAddressCount(ScanRangesOf(request));
  if (total == 0 || total > kUnconfirmedScanAddresses) {
    window_.ShowNotice(QString("Scheduled rescan skipped: the range %1 to %2 holds %3 addresses")
                           .arg(QString::fromStdString(window_.Data().Settings.StartIP),
                                QString::fromStdString(window_.Data().Settings.StopIP))
                           .arg(total));
    return;
  }
  running_ = true;
  scheduled_ = true;
  stop_ = false;
  thread_ = std::thread([this, request] {
    TNetworkScan scan(request);
    const auto rows = scan.Run(stop_, [](const TScanProgress&) {});
    PostToWindowThread(this, [this, rows, error = scan.Error()] { Guarded(this, [&] { FinishScheduled(rows, error); }); });
  });
}

TScanRequest TScan::RequestOfSettings() const {
  TScanRequest request;
  request.Start = window_.Data().StartIPValue;
  request.Stop = window_.Data().StopIPValue;
  request.Community = window_.Data().Settings.ReadComm;
  request.TimeoutMs = window_.Data().SNMPTimeOutValue;
  request.Tries = window_.Data().RetryCountValue;
  // [Scan] Ranges: what is not a range was said when the scan was asked for.
  request.MoreRanges = ParseScanRanges(window_.Data().Conf.Value("Scan/Ranges")).Ranges;
  return request;
}

void TScan::FinishScheduled(const std::vector<DeviceRow>& rows, int socketError) {
  Stop();
  scheduled_ = false;
  if (window_.Closing()) return;
  if (socketError != 0) {
    window_.ShowNotice("Scheduled rescan could not start: " + QString::fromStdString(telnet::SocketErrorText(socketError)));
  } else {
    const std::vector<DeviceRow> before = window_.Data().Devices.Rows();
    const std::vector<std::string> changes = CompareDeviceLists(before, rows);
    if (!changes.empty() && KeepPreviousDeviceList()) {
      const std::string selected = window_.Data().SelectedIP;
      window_.ShowRows(rows, selected);
      window_.WriteDeviceList();
      // The device shown is gone: the panel shows the one the lists now show.
      if (window_.Data().SelectedIP != selected && window_.HasSelectedDevice()) window_.RequestWork(wsFillData);
      const QString words = window_.Shown(ScanChangeWords(changes));
      notifier_->Notify("QZ Explorer: rescan", words);
      window_.ShowNotice("Rescan: " + words, TNotice::Confirmation);
    }
  }
  if (operatorWaits_) {
    operatorWaits_ = false;
    Start();
  }
}

TScan::~TScan() { Stop(); }

void TScan::ButtonClick() {
  if (controls_.Button->text() == "Scan") {
    controls_.Button->setText("Stop");
    window_.RequestWork(wsScan);
  } else {
    controls_.Button->setText("Scan");
    stop_ = true;
    window_.RequestWork(wsStopScan);
  }
}

void TScan::Start() {
  if (running_) {
    operatorWaits_ = scheduled_;
    return;
  }
  if (const auto wrong = ParseScanRanges(window_.Data().Conf.Value("Scan/Ranges")).NotRanges; !wrong.empty())
    window_.ShowNotice(QString::fromStdString("[Scan] Ranges: \"" + wrong.front() +
                                              "\" is not a range (FIRST-LAST, an address or a block such as "
                                              "10.0.4.0/22); it is not scanned"));
  const TScanRequest request = RequestOfSettings();
  const uint64_t total = ScanAddressCount(ScanRangesOf(request));
  const QString ranges = request.MoreRanges.empty()
                             ? QString::fromStdString("the range " + window_.Data().Settings.StartIP + " to " +
                                                      window_.Data().Settings.StopIP)
                             : QString::fromStdString("the ranges " + window_.Data().Settings.StartIP + " to " +
                                                      window_.Data().Settings.StopIP + " and " +
                                                      window_.Data().Conf.Value("Scan/Ranges"));
  if (total == 0) {
    // A typing slip in the range must not cost the operator the device list.
    controls_.Button->setText("Scan");
    controls_.Said->setText("No address to scan");
    QMessageBox::warning(controls_.Button->window(), "QZ Explorer",
                         "Nothing was scanned: " + ranges + (request.MoreRanges.empty() ? " holds" : " hold") +
                             " no address. The device list is kept.");
    return;
  }
  if (total > kUnconfirmedScanAddresses &&
      QMessageBox::question(controls_.Button->window(), "QZ Explorer",
                            QString("%1 %2 %3 addresses. Scan them all?")
                                .arg(ranges.left(1).toUpper() + ranges.mid(1),
                                     request.MoreRanges.empty() ? "holds" : "hold")
                                .arg(total)) != QMessageBox::Yes) {
    controls_.Button->setText("Scan");
    return;
  }
  window_.EnableControls(false);
  rowsBefore_ = window_.Data().Devices.Rows();
  running_ = true;
  window_.ClearLists();
  controls_.Progress->setValue(0);
  snmp::SnmpRequest.TimeOut = window_.Data().SNMPTimeOutValue;
  snmp::SnmpRequest.RetryCount = window_.Data().RetryCountValue;
  snmp::SnmpRequest.Community = window_.Data().Settings.ReadComm;

  ShowProgress({0, static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX)), 0});
  stop_ = false;
  thread_ = std::thread([this, request] {
    TNetworkScan scan(request);
    const auto rows = scan.Run(stop_, [this](const TScanProgress& progress) {
      PostToWindowThread(this, [this, progress] { ShowProgress(progress); });
    });
    PostToWindowThread(this, [this, rows, error = scan.Error()] { Guarded(this, [&] { Finish(rows, error); }); });
  });
}

void TScan::ShowProgress(const TScanProgress& progress) {
  if (!running_) return;
  controls_.Progress->setValue(progress.Total ? static_cast<int>(uint64_t{1000} * progress.Settled / progress.Total) : 0);
  controls_.Said->setText(QString("Asked %1 of %2, found %3").arg(progress.Settled).arg(progress.Total).arg(progress.Found));
}

void TScan::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  running_ = false;
}

void TScan::Finish(const std::vector<DeviceRow>& rows, int socketError) {
  Stop();
  // Leaving the program in the middle of a scan keeps the file as it was.
  if (window_.Closing()) return;
  if (socketError != 0) {
    // Nothing was asked: the list of the last scan still holds, with the
    // device that was chosen.
    window_.ShowRows(rowsBefore_, window_.Data().SelectedIP);
    controls_.Button->setText("Scan");
    controls_.Said->setText("Scan failed");
    controls_.Progress->setValue(0);
    window_.EnableControls(true);
    if (window_.Data().WorkState == wsScan || window_.Data().WorkState == wsStopScan) window_.Data().WorkState = wsIdle;
    QMessageBox::warning(controls_.Button->window(), "QZ Explorer",
                         QString::fromStdString("The scan could not start: " + telnet::SocketErrorText(socketError) +
                                                " The device list is kept.")
                             .simplified());
    return;
  }
  window_.ShowRows(rows);
  controls_.Button->setText("Scan");
  ShowDeviceCount();
  controls_.Progress->setValue(0);
  if (KeepPreviousDeviceList()) window_.WriteDeviceList();
  window_.EnableControls(true);
  if (window_.Data().WorkState == wsScan || window_.Data().WorkState == wsStopScan) window_.Data().WorkState = wsIdle;
  // What a scan found is shown at once: the first device's panel.
  if (window_.HasSelectedDevice()) {
    window_.ShowDevicePage();
    window_.RequestWork(wsFillData);
  }
  ShowSummary(rowsBefore_, rows);
}

void TScan::ShowDeviceCount() {
  controls_.Said->setText("Devices found: " + QString::number(window_.Data().Devices.Count()));
}

bool TScan::KeepPreviousDeviceList() {
  const std::string failure = KeepPreviousDeviceListFile();
  if (failure.empty()) return true;
  QMessageBox::warning(controls_.Button->window(), "QZ Explorer",
                       QString("The device list could not be kept as %1: %2. %3 is left as it was.")
                           .arg(FileShown(kPreviousDeviceListFileName), QString::fromLocal8Bit(failure.c_str()),
                                FileShown(kDeviceListFileName)));
  return false;
}

void TScan::ShowSummary(const std::vector<DeviceRow>& before, const std::vector<DeviceRow>& after) {
  const std::vector<std::string> changes = CompareDeviceLists(before, after);
  if (changes.empty()) return;
  // The box shows a bounded part (devices may send long texts, and a range
  // may change whole); Copy gives every line whole.
  QString summary;
  for (const std::string& line : changes) summary += window_.Shown(line) + "\n";
  auto* box = new QMessageBox(QMessageBox::Information, "QZ Explorer",
                              "The scan found these changes against the previous list:", QMessageBox::Ok,
                              controls_.Button->window());
  box->setObjectName("scanSummary");
  box->setInformativeText(QString::fromStdString(Counted(changes.size(), "change")));
  // The lines scroll in a list of their own, above the buttons: a range that
  // changed whole does not make a box taller than the screen.
  auto* lines = new QPlainTextEdit(window_.Shown(ShownChanges(changes, kMostSummaryLines)), box);
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
  // Without an escape button a message box refuses to be closed, and with
  // it the program's end asked for from outside (the desktop's logout).
  box->setEscapeButton(QMessageBox::Ok);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
}

void TScan::RestorePrevious() {
  if (running_) return;
  const TFileRead previous = ReadFile(kPreviousDeviceListFileName);
  if (!previous.Error.empty()) {
    if (FileExistsAtAll(kPreviousDeviceListFileName))
      QMessageBox::warning(controls_.Button->window(), "QZ Explorer",
                           QString("The previous device list %1 cannot be read: %2.")
                               .arg(FileShown(kPreviousDeviceListFileName), QString::fromLocal8Bit(previous.Error.c_str())));
    else
      QMessageBox::information(controls_.Button->window(), "QZ Explorer", "There is no previous device list to restore.");
    return;
  }
  bool previousCut = false;
  const size_t previousCount = ParseDeviceList(previous.Bytes, &previousCut).size();
  if (QMessageBox::question(controls_.Button->window(), "QZ Explorer",
                            QString("Replace the device list (%1) with the previous one (%2)? The list shown now "
                                    "becomes the previous one, so this can be taken back.")
                                .arg(QString::fromStdString(Counted(window_.Data().Devices.Rows().size(), "device")),
                                     QString::fromStdString(Counted(previousCount, "device")))) != QMessageBox::Yes)
    return;
  // The lists change places, so that a restore can itself be taken back.
  const std::string current = ReadWholeFile(kDeviceListFileName);
  std::string failure = WriteWholeFile(kDeviceListFileName, previous.Bytes);
  if (failure.empty()) failure = WriteWholeFile(kPreviousDeviceListFileName, current);
  if (!failure.empty()) {
    QMessageBox::warning(controls_.Button->window(), "QZ Explorer",
                         QString("The previous device list could not be restored: %1.")
                             .arg(QString::fromLocal8Bit(failure.c_str())));
    return;
  }
  bool cut = false;
  const std::vector<DeviceRow> rows = ParseDeviceList(previous.Bytes, &cut);
  window_.ShowRows(rows);
  ShowDeviceCount();
  if (cut) window_.WarnListCut(kPreviousDeviceListFileName);
  if (window_.HasSelectedDevice() && window_.OnDevicePage()) window_.RequestWork(wsFillData);
  QMessageBox::information(controls_.Button->window(), "QZ Explorer",
                           QString::fromStdString("Restored the previous device list: " + Counted(rows.size(), "device") + "."));
}

}  // namespace qz::app
