// The system group: reading a device's identity and labels, and writing its
// name, location and contact back on Enter.
#include <QComboBox>
#include <QLineEdit>

#include "main_window.h"
#include "ber.h"
#include "net.h"

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

std::string TfrmMain::ReadObject(const char* oid, bool* ok) {
  const bool answered = ReadDeviceObject(oid);
  if (ok) *ok = answered;
  return snmp::SnmpResult;
}

std::string TfrmMain::GetSysName(bool* ok) { return ReadObject(kSysNameOid, ok); }

std::string TfrmMain::GetSysLocation(bool* ok) { return ReadObject(kSysLocationOid, ok); }

DeviceIdentity TfrmMain::GetSysDescr() {
  bool ok = false;
  const std::string description = ReadObject(kSysDescrOid, &ok);
  return SplitSysDescr(ok ? description : std::string());
}

std::string TfrmMain::GetSysUpTime() { return UpTimeText(ReadObject(kSysUpTimeOid, nullptr)); }

void TfrmMain::ShowSystemObject(QLineEdit* edit, const std::string& deviceText) {
  const QString text = Shown(deviceText);
  edit->setText(text);
  edit->setCursorPosition(0);
  edit->setProperty(kDeviceBytesProperty, QByteArray::fromStdString(deviceText));
  edit->setProperty(kCutProperty, text.size() > edit->maxLength());
  MarkUnsent(edit);
}

bool TfrmMain::IsUnsent(const QLineEdit* edit) const {
  return edit->isModified() && Typed(edit->text()) != DeviceBytes(edit);
}

void TfrmMain::MarkUnsent(QLineEdit* edit) {
  const bool unsent = IsUnsent(edit);
  edit->setStyleSheet(unsent ? "background: rgb(255, 243, 196);" : "");
  edit->setToolTip(unsent ? "Not sent: Enter writes to the device" : QString());
}

void TfrmMain::DiscardUnsentTexts() {
  for (auto [edit, objectName] : {std::pair{edSysName, "sysName"}, std::pair{edSysLocation, "sysLocation"},
                                  std::pair{edSysContact, "sysContact"}})
    if (IsUnsent(edit)) ShowNotice(QString("%1 \"%2\" was not sent: discarded").arg(objectName, edit->text()));
}

void TfrmMain::WriteSystemObject(QLineEdit* edit, const char* oid, const char* objectName, QComboBox* listColumn) {
  if (!HasSelectedDevice()) return;
  if (edit->property(kCutProperty).toBool()) {
    ShowNotice(QString("%1 not written: the device's text (%2 octets) is longer than the box holds")
                   .arg(objectName)
                   .arg(DeviceBytes(edit).size()));
    return;
  }
  const std::string value = edit->isModified() ? Typed(edit->text()) : DeviceBytes(edit);
  snmp::TSNMPdata write = snmp::SnmpRequest;
  write.Host = data_.SelectedIP;
  write.OID = oid;
  write.Community = data_.Settings.WriteComm;
  write.Value = value;
  write.ValueType = snmp::berOctetString;
  std::string failure;
  bool answered = false;
  // The list and its file only follow a name the device accepted, so they
  // never show a name the device does not have.
  if (!snmp::NetSnmpSet(write, &failure, &answered)) {
    if (!answered && ReadDeviceObject(oid, true)) failure = kWriteUnansweredReadsWork;
    ShowNotice(QString(objectName) + " not written: " + QString::fromStdString(failure));
    RecordWrite(history::TWriteKind::Rename, objectName, Shown(value), failure, {});
    ShowSystemObject(edit, DeviceBytes(edit));
    return;
  }
  RecordWrite(history::TWriteKind::Rename, objectName, Shown(value), "ok", {});
  ShowNotice(QString("%1 written: %2").arg(objectName, Shown(value)), TNotice::Confirmation);
  ShowSystemObject(edit, value);
  if (!listColumn) return;
  const int row = cbAdrIP->currentIndex();
  if (row < 0) return;
  SetRowBytes(listColumn, row, value);
  WriteDeviceList();
}

void TfrmMain::ShowDeviceTexts() {
  ShowListTexts();
  for (QLineEdit* edit : {edSysName, edSysLocation, edSysContact})
    if (!edit->isModified()) ShowSystemObject(edit, DeviceBytes(edit));
  for (auto [edit, bytes] : {std::pair{edReadComm, &data_.Settings.ReadComm}, std::pair{edWriteComm, &data_.Settings.WriteComm}})
    if (!edit->isModified()) edit->setText(Shown(*bytes));
  if (const DeviceRow* device = data_.Devices.At(cbAdrIP->currentIndex())) {
    edDevType->setText(Shown(device->DeviceType));
    edLANIfc->setText(Shown(device->LanInterface));
  }
}

void TfrmMain::WriteSysName() { WriteSystemObject(edSysName, kSysNameOid, "sysName", cbSysName); }

void TfrmMain::WriteSysLocation() {
  WriteSystemObject(edSysLocation, kSysLocationOid, "sysLocation", cbSysLoc);
}

void TfrmMain::WriteSysContact() { WriteSystemObject(edSysContact, kSysContactOid, "sysContact", nullptr); }

}  // namespace qz::app
