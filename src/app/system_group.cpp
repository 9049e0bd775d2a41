// The system group: reading a device's identity and labels, and writing its
// name, location and contact back on Enter.
#include <QComboBox>
#include <QLineEdit>

#include "main_window.h"
#include "ber.h"
#include "net.h"

namespace qz::app {
namespace {

// What the device holds, kept beside what the box shows, so that a failed
// write can show the device's text again.
const char* const kDeviceTextProperty = "deviceText";

std::string ReadObject(const char* oid, bool* ok) {
  snmp::SnmpRequest.OID = oid;
  const bool answered = snmp::NetSnmpGet(snmp::SnmpRequest);
  if (ok) *ok = answered;
  return snmp::SnmpResult;
}

}  // namespace

std::string TfrmMain::GetSysName(bool* ok) { return ReadObject(kSysNameOid, ok); }

std::string TfrmMain::GetSysLocation(bool* ok) { return ReadObject(kSysLocationOid, ok); }

DeviceIdentity TfrmMain::GetSysDescr() {
  bool ok = false;
  const std::string description = ReadObject(kSysDescrOid, &ok);
  return SplitSysDescr(ok ? description : std::string());
}

std::string TfrmMain::GetSysUpTime() { return UpTimeText(ReadObject(kSysUpTimeOid, nullptr)); }

void TfrmMain::ShowSystemObject(QLineEdit* edit, const std::string& deviceText) {
  edit->setText(QString::fromStdString(deviceText));
  edit->setProperty(kDeviceTextProperty, edit->text());
}

void TfrmMain::WriteSystemObject(QLineEdit* edit, const char* oid, const char* objectName, QComboBox* listColumn) {
  if (!HasSelectedDevice()) return;
  snmp::SnmpRequest.Host = data_.SelectedIP;
  snmp::SnmpRequest.OID = oid;
  snmp::SnmpRequest.Community = data_.Settings.WriteComm;
  snmp::SnmpRequest.Value = edit->text().toStdString();
  snmp::SnmpRequest.ValueType = snmp::berOctetString;
  std::string failure;
  // The list and its file only follow a name the device accepted, so they
  // never show a name the device does not have.
  if (!snmp::NetSnmpSet(snmp::SnmpRequest, &failure)) {
    ShowNotice(QString(objectName) + " not written: " + QString::fromStdString(failure));
    edit->setText(edit->property(kDeviceTextProperty).toString());
    return;
  }
  edit->setProperty(kDeviceTextProperty, edit->text());
  if (!listColumn) return;
  const int row = listColumn->currentIndex();
  if (row < 0) return;
  listColumn->setItemText(row, edit->text());
  WrCFG();
}

void TfrmMain::edSysNameKeyPress() { WriteSystemObject(edSysName, kSysNameOid, "sysName", cbSysName); }

void TfrmMain::edSysLocationKeyPress() {
  WriteSystemObject(edSysLocation, kSysLocationOid, "sysLocation", cbSysLoc);
}

void TfrmMain::edSysContactKeyPress() { WriteSystemObject(edSysContact, kSysContactOid, "sysContact", nullptr); }

}  // namespace qz::app
