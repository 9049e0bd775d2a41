// The device panel's system group: reading a device's identity and labels,
// and writing its name, location and contact back on Enter.
#include <QKeyEvent>
#include <QLineEdit>

#include "ber.h"
#include "device_panel.h"
#include "event_hooks.h"
#include "exception_report.h"
#include "net.h"
#include "window_services.h"

namespace qz::app {
namespace {

// What the device holds, kept beside what the box shows: written back as it
// is when the operator did not edit the box, and shown again after a failed
// write.
const char* const kDeviceBytesProperty = "deviceBytes";
// Set when the device's text is longer than the box can hold, so that the
// box shows it cut.
const char* const kCutProperty = "cut";

std::string DeviceBytes(const QLineEdit* edit) { return edit->property(kDeviceBytesProperty).toByteArray().toStdString(); }

}  // namespace

std::string TDevicePanel::ReadObject(const char* oid, bool* ok) {
  const bool answered = ReadDeviceObject(oid);
  if (ok) *ok = answered;
  return snmp::SnmpResult;
}

DeviceIdentity TDevicePanel::ReadIdentity() {
  bool ok = false;
  const std::string description = ReadObject(kSysDescrOid, &ok);
  return SplitSysDescr(ok ? description : std::string());
}

std::string TDevicePanel::ReadUpTime() { return UpTimeText(ReadObject(kSysUpTimeOid, nullptr)); }

void TDevicePanel::ShowSystemObject(QLineEdit* edit, const std::string& deviceText) {
  const QString text = window_.Shown(deviceText);
  edit->setText(text);
  edit->setCursorPosition(0);
  edit->setProperty(kDeviceBytesProperty, QByteArray::fromStdString(deviceText));
  edit->setProperty(kCutProperty, text.size() > edit->maxLength());
  MarkUnsent(edit);
}

bool TDevicePanel::IsUnsent(const QLineEdit* edit) const {
  return edit->isModified() && window_.Typed(edit->text()) != DeviceBytes(edit);
}

void TDevicePanel::MarkUnsent(QLineEdit* edit) {
  const bool unsent = IsUnsent(edit);
  edit->setStyleSheet(unsent ? "background: rgb(255, 243, 196);" : "");
  edit->setToolTip(unsent ? "Not sent: Enter writes to the device" : QString());
}

void TDevicePanel::DiscardUnsentTexts() {
  for (auto [edit, objectName] : {std::pair{edSysName, "sysName"}, std::pair{edSysLocation, "sysLocation"},
                                  std::pair{edSysContact, "sysContact"}})
    if (IsUnsent(edit)) window_.ShowNotice(QString("%1 \"%2\" was not sent: discarded").arg(objectName, edit->text()));
}

void TDevicePanel::BindSystemGroup() {
  for (auto [edit, oid, objectName] : {std::tuple{edSysName, kSysNameOid, "sysName"},
                                       std::tuple{edSysLocation, kSysLocationOid, "sysLocation"},
                                       std::tuple{edSysContact, kSysContactOid, "sysContact"}}) {
    QObject::connect(edit, &QLineEdit::textEdited, this, [this, edit = edit] { MarkUnsent(edit); });
    OnKeyPress(edit, [this, edit = edit, oid = oid, objectName = objectName](const QKeyEvent& key) {
      if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)
        Guarded(edit, [&] { WriteSystemObject(edit, oid, objectName); });
      return false;
    });
  }
}

void TDevicePanel::WriteSystemObject(QLineEdit* edit, const char* oid, const char* objectName) {
  if (!window_.HasSelectedDevice()) return;
  if (edit->property(kCutProperty).toBool()) {
    window_.ShowNotice(QString("%1 not written: the device's text (%2 octets) is longer than the box holds")
                   .arg(objectName)
                   .arg(DeviceBytes(edit).size()));
    return;
  }
  const std::string value = edit->isModified() ? window_.Typed(edit->text()) : DeviceBytes(edit);
  snmp::TSNMPdata write = snmp::SnmpRequest;
  write.Host = window_.Data().SelectedIP;
  write.OID = oid;
  write.Community = window_.Data().Settings.WriteComm;
  write.Value = value;
  write.ValueType = snmp::berOctetString;
  std::string failure;
  bool answered = false;
  // The list and its file only follow a name the device accepted, so they
  // never show a name the device does not have.
  if (!snmp::NetSnmpSet(write, &failure, &answered)) {
    if (!answered && ReadDeviceObject(oid, true)) failure = kWriteUnansweredReadsWork;
    window_.ShowNotice(QString(objectName) + " not written: " + QString::fromStdString(failure));
    window_.RecordWrite(history::TWriteKind::Rename, objectName, window_.Shown(value), failure, {});
    ShowSystemObject(edit, DeviceBytes(edit));
    return;
  }
  window_.RecordWrite(history::TWriteKind::Rename, objectName, window_.Shown(value), "ok", {});
  window_.ShowNotice(QString("%1 written: %2").arg(objectName, window_.Shown(value)), TNotice::Confirmation);
  ShowSystemObject(edit, value);
  if (edit == edSysContact) return;
  const int row = window_.SelectedRow();
  if (row < 0) return;
  if (edit == edSysName)
    window_.Data().Devices.SetSysName(row, value);
  else
    window_.Data().Devices.SetSysLocation(row, value);
  window_.DeviceListChanged();
}

void TDevicePanel::ShowTexts() {
  for (QLineEdit* edit : {edSysName, edSysLocation, edSysContact})
    if (!edit->isModified()) ShowSystemObject(edit, DeviceBytes(edit));
  if (const DeviceRow* device = window_.Data().Devices.At(window_.SelectedRow())) {
    info_.Type->setText(window_.Shown(device->DeviceType));
    info_.LanInterface->setText(window_.Shown(device->LanInterface));
  }
}

}  // namespace qz::app
