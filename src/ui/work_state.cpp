// The work state machine: Idle performs the work of the current state, the
// one-second timer requests refreshes and pings, page changes request fills.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

#include "exception_report.h"
#include "ip_edit.h"
#include "layout.h"
#include "console_page.h"
#include "device_panel.h"
#include "scan.h"
#include "settings_page.h"
#include "main_window.h"
#include "net.h"
#include "text.h"

namespace qz::app {

void TfrmMain::RequestWork(TWorkState state) {
  data_.WorkState = state;
  workRequested_ = true;
}

void TfrmMain::Idle() {
  if (closing_) return;
  workRequested_ = false;
  const uint8_t state = data_.WorkState;
  bool halted = false;
  Guarded(qApp, [&] {
    switch (state) {
      case wsScan:
        SetStatusText("state Scan");
        scan_->Start();
        break;
      case wsStopScan:
        if (!scan_->Running()) data_.WorkState = wsIdle;
        break;
      case wsFillData:
        halted = !CheckIdentity();
        break;
      case wsRefreshData:
        SetStatusText("state Refresh data");
        RefreshData();
        break;
      case wsIdle:
        SetStatusText("state Idle");
        break;
      case wsTelnet:
        console_->Watch();
        break;
      case wsHalted:
        SetStatusText("state Halted");
        break;
      default:
        break;
    }
  });
  if (closing_) return;
  // Scan, fill and refresh return the state to idle when they end, also when
  // an error broke them off (so the failing work is not started again by
  // itself), unless they halted or a handler asked for other work meanwhile,
  // which then runs next. A scan that runs on ends in FinishScan; a stopped
  // scan ends in idle.
  const bool didWork = (state == wsScan && !scan_->Running()) || state == wsFillData || state == wsRefreshData;
  if (didWork && !halted && (!workRequested_ || data_.WorkState == wsStopScan)) data_.WorkState = wsIdle;
}

// The identity check of the selected device before its panel is filled;
// false when it halted.
bool TfrmMain::CheckIdentity() {
  if (!HasSelectedDevice()) {
    ShowNoDevice();
    return true;
  }
  snmp::SnmpRequest.Host = data_.SelectedIP;
  panel_->StartReadPass();
  const DeviceIdentity identity = panel_->ReadIdentity();
  if (closing_) return true;
  const std::string shown = cbAdrIP->currentText().toStdString();
  if (identity.LanInterface == kUnknown) {
    EndReadPass();
    Halt("Device at " + shown + " not responding. Please rescan", identity);
    return false;
  }
  const DeviceRow* device = data_.Devices.At(cbAdrIP->currentIndex());
  const std::string stored = device ? device->DeviceType : "";
  if (!SameDeviceType(stored, identity.DeviceType)) {
    Halt("Device type at " + shown + " changed. Please rescan", identity);
    return false;
  }
  if (identity.LanInterface.find(kStationText) == std::string::npos) {
    Halt("Device at " + shown + " runs \"" + Shown(Trimmed(identity.LanInterface)).toStdString() +
             "\", not its station firmware: it cannot be managed until it does",
         identity);
    return false;
  }
  SetStatusText("state Fill data");
  EnableDeviceControls(true);
  FillData();
  EndReadPass();
  return true;
}

void TfrmMain::FillData() {
  if (!HasSelectedDevice()) return;
  data_.RetryCountValue = settings_->RetryCount();
  snmp::SnmpRequest.RetryCount = data_.RetryCountValue;
  snmp::SnmpRequest.Host = data_.SelectedIP;
  snmp::SnmpRequest.TimeOut = data_.SNMPTimeOutValue;
  panel_->Fill();
}

void TfrmMain::RefreshData() {
  if (!HasSelectedDevice()) return;
  panel_->Refresh();
  EndReadPass();
}

void TfrmMain::EndReadPass() {
  if (closing_) return;
  const QString name = Shown(RowBytes(cbSysName, cbAdrIP->currentIndex()));
  const QString device = name.isEmpty() ? QString::fromStdString(data_.SelectedIP) : name;
  if (!panel_->PassUnanswered()) {
    if (silence_ && silence_->Address == data_.SelectedIP) LogEvent("answering again", false);
    silence_.reset();
    lbSilent->clear();
    MarkSilentRow(cbAdrIP->currentIndex(), {});
    return;
  }
  if (!silence_ || silence_->Address != data_.SelectedIP) {
    silence_ = TSilence{data_.SelectedIP, QDateTime::currentDateTime()};
    LogEvent("no answer", true);
  }
  const QString said = QString("no answer from %1 since %2").arg(device, silence_->Since.toString("HH:mm"));
  lbSilent->setText(said);
  MarkSilentRow(cbAdrIP->currentIndex(), said);
}

void TfrmMain::MarkSilentRow(int row, const QString& said) {
  if (row < 0) return;
  static const QIcon mark = [] {
    QPixmap dot(10, 10);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(192, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(1, 1, 8, 8);
    return QIcon(dot);
  }();
  for (QComboBox* list : {cbAdrIP, cbSysName, cbSysLoc}) {
    const int item = ItemOfRow(list, row);
    if (item < 0) continue;
    list->setItemData(item, said.isEmpty() ? QVariant() : QVariant(mark), Qt::DecorationRole);
    list->setItemData(item, said.isEmpty() ? QVariant() : QVariant(said), Qt::ToolTipRole);
  }
}

int TfrmMain::SelectedRow() const { return cbAdrIP->currentIndex(); }

bool TfrmMain::HasSelectedDevice() const { return cbAdrIP->currentIndex() >= 0 && !data_.SelectedIP.empty(); }

void TfrmMain::ShowNoDevice() {
  data_.SelectedIP.clear();
  silence_.reset();
  lbSilent->clear();
  ClearDeviceShown();
}

void TfrmMain::ClearDeviceShown() {
  edPing->clear();
  panel_->Clear();
  EnableDeviceControls(false);
}

void TfrmMain::EnableDeviceControls(bool enabled) {
  panel_->Enable(enabled);
  gbDevInfo->setEnabled(enabled);
}

void TfrmMain::Halt(const std::string& message, const DeviceIdentity& identity) {
  data_.WorkState = wsHalted;
  SetStatusText("state Halted");
  // Nothing of another device, or of this one before, stays on the panel.
  ClearDeviceShown();
  edDevType->setText(Shown(identity.DeviceType));
  edLANIfc->setText(Shown(identity.LanInterface));
  gbDevInfo->setEnabled(true);
  panel_->ShowHalt(QString::fromStdString(message));
  ShowNotice(QString::fromStdString(message));
  settings_->ShowConfiguration();
}

void TfrmMain::TimerTimer() {
  ++data_.Ticks;
  if (PageControl->currentWidget() != tsManage) return;
  if (data_.Ticks >= 30) {
    if (data_.WorkState == wsIdle && HasSelectedDevice()) {
      RequestWork(wsRefreshData);
      data_.Ticks = 0;
    }
    return;
  }
  PingSelectedDevice();
}

void TfrmMain::PageControlChange() {
  if (data_.WorkState == wsScan) {
    ShowPage(tsSettings);
    return;
  }
  QWidget* page = PageControl->currentWidget();
  if (page == tsManage) {
    if (!HasSelectedDevice()) {
      ShowNoDevice();
      RequestWork(wsHalted);
    } else {
      RequestWork(wsFillData);
      gbDevInfo->show();
      gbDevSel->show();
    }
  } else if (page == tsTelnet) {
    console_->ShowAddress(cbAdrIP->currentText());
    gbDevInfo->show();
    gbDevSel->show();
  } else {
    gbDevInfo->hide();
  }
}

void TfrmMain::EnableControls(bool enabled) {
  settings_->Enable(enabled);
  gbDevSel->setEnabled(enabled);
}

}  // namespace qz::app
