// The device list: three selection lists that always show the same row, the
// two hidden columns, and the device list file.
#include <QComboBox>
#include <QTabWidget>

#include "ip_edit.h"
#include "main_window.h"
#include "net.h"
#include "text_file.h"

namespace qz::app {

void TfrmMain::LoadDeviceList() {
  data_.DeviceCount = 0;
  for (const DeviceRow& row : ParseDeviceList(ReadWholeFile(kDeviceListFileName))) {
    AppendRow(row);
    ++data_.DeviceCount;
  }
}

void TfrmMain::AppendRow(const DeviceRow& row) {
  cbAdrIP->addItem(QString::fromStdString(row.Address));
  cbSysName->addItem(QString::fromStdString(row.SysName));
  cbSysLoc->addItem(QString::fromStdString(row.SysLocation));
  data_.DeviceTypes.push_back(row.DeviceType);
  data_.LanInterfaces.push_back(row.LanInterface);
}

void TfrmMain::ClearLists() {
  data_.DeviceTypes.clear();
  data_.LanInterfaces.clear();
  for (QComboBox* list : {cbAdrIP, cbSysName, cbSysLoc}) list->clear();
}

void TfrmMain::WrCFG() {
  std::vector<DeviceRow> rows;
  for (int i = 0; i < cbAdrIP->count(); ++i) {
    const auto at = static_cast<size_t>(i);
    rows.push_back({cbAdrIP->itemText(i).toStdString(), cbSysName->itemText(i).toStdString(),
                    cbSysLoc->itemText(i).toStdString(),
                    at < data_.DeviceTypes.size() ? data_.DeviceTypes[at] : std::string(),
                    at < data_.LanInterfaces.size() ? data_.LanInterfaces[at] : std::string()});
  }
  WriteWholeFile(kDeviceListFileName, FormatDeviceList(rows));
}

void TfrmMain::SelectRow(int row) {
  for (QComboBox* list : {cbAdrIP, cbSysName, cbSysLoc}) list->setCurrentIndex(row < list->count() ? row : -1);
}

void TfrmMain::cbSelectionChange(QComboBox* list) {
  PageControl->setFocus();
  SelectRow(list->currentIndex());
  data_.SelectedIP = cbAdrIP->currentText().toStdString();
  snmp::SnmpRequest.Host = data_.SelectedIP;
  edTelnetIP->SetText(QString::fromStdString(data_.SelectedIP));
  // A fill requested while other work runs starts when that work ends.
  RequestWork(wsFillData);
}

}  // namespace qz::app
