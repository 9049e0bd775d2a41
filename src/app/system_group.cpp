// The system group: reading a device's identity and labels, and writing its
// name, location and contact back on Enter.
#include <QComboBox>
#include <QLineEdit>

#include "main_window.h"
#include "net.h"

namespace qz::app {
namespace {

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

void TfrmMain::WriteSystemObject(QLineEdit* edit, const char* oid, QComboBox* listColumn) {
  snmp::SnmpRequest.OID = oid;
  snmp::SnmpRequest.Community = edWriteComm->text().toStdString();
  snmp::SnmpRequest.Value = edit->text().toStdString();
  snmp::SnmpRequest.ValueType = 4;
  // The list and its file only follow a name the device accepted, so they
  // never show a name the device does not have.
  if (!snmp::NetSnmpSet(snmp::SnmpRequest) || !listColumn) return;
  const int row = listColumn->currentIndex();
  if (row < 0) return;
  listColumn->setItemText(row, edit->text());
  WrCFG();
}

void TfrmMain::edSysNameKeyPress() { WriteSystemObject(edSysName, kSysNameOid, cbSysName); }

void TfrmMain::edSysLocationKeyPress() { WriteSystemObject(edSysLocation, kSysLocationOid, cbSysLoc); }

void TfrmMain::edSysContactKeyPress() { WriteSystemObject(edSysContact, kSysContactOid, nullptr); }

}  // namespace qz::app
