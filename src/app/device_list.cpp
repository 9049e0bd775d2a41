// The device list: three selection lists that always show the same row, the
// two hidden columns, and the device list file.
#include <QComboBox>
#include <QMessageBox>
#include <QTabWidget>

#include "ip_edit.h"
#include "main_window.h"
#include "net.h"
#include "text_file.h"

namespace qz::app {

void TfrmMain::LoadDeviceList() {
  data_.DeviceCount = 0;
  const TFileRead file = ReadFile(kDeviceListFileName);
  if (!file.Error.empty()) {
    QMessageBox::warning(this, "QZ Explorer",
                         QString("The device list %1 cannot be read: %2.")
                             .arg(kDeviceListFileName, QString::fromLocal8Bit(file.Error.c_str())));
    return;
  }
  bool cut = false;
  for (const DeviceRow& row : ParseDeviceList(file.Bytes, &cut)) {
    AppendRow(row);
    ++data_.DeviceCount;
  }
  if (cut) WarnListCut(kDeviceListFileName);
}

void TfrmMain::WarnListCut(const QString& file) {
  QMessageBox::warning(this, "QZ Explorer",
                       QString("The device list %1 holds more than %2 lines: only the first %2 are read.")
                           .arg(file)
                           .arg(kMaxLines));
}

void TfrmMain::AppendRow(const DeviceRow& row) {
  cbAdrIP->addItem(QString::fromStdString(row.Address));
  cbSysName->addItem(QString());
  SetRowBytes(cbSysName, cbSysName->count() - 1, row.SysName);
  cbSysLoc->addItem(QString());
  SetRowBytes(cbSysLoc, cbSysLoc->count() - 1, row.SysLocation);
  data_.DeviceTypes.push_back(row.DeviceType);
  data_.LanInterfaces.push_back(row.LanInterface);
}

void TfrmMain::ClearLists() {
  data_.DeviceTypes.clear();
  data_.LanInterfaces.clear();
  for (QComboBox* list : {cbAdrIP, cbSysName, cbSysLoc}) list->clear();
}

void TfrmMain::WrCFG() {
  if (const std::string failure = WriteWholeFile(kDeviceListFileName, FormatDeviceList(ListedRows()));
      !failure.empty())
    QMessageBox::warning(this, "QZ Explorer",
                         QString("The device list could not be written to %1: %2. The file is kept as it was.")
                             .arg(kDeviceListFileName, QString::fromLocal8Bit(failure.c_str())));
}

std::string TfrmMain::RowBytes(const QComboBox* list, int row) {
  return list->itemData(row).toByteArray().toStdString();
}

void TfrmMain::SetRowBytes(QComboBox* list, int row, const std::string& bytes) {
  list->setItemData(row, QByteArray::fromStdString(bytes));
  list->setItemText(row, Shown(bytes));
}

void TfrmMain::SelectRow(int row) {
  for (QComboBox* list : {cbAdrIP, cbSysName, cbSysLoc}) list->setCurrentIndex(row < list->count() ? row : -1);
}

void TfrmMain::cbSelectionChange(QComboBox* list) {
  PageControl->setFocus();
  // A device picked on the Settings page is shown.
  if (PageControl->currentWidget() == tsSettings) ShowPage(tsManage);
  SelectRow(list->currentIndex());
  data_.SelectedIP = cbAdrIP->currentText().toStdString();
  snmp::SnmpRequest.Host = data_.SelectedIP;
  ShowTelnetAddress(QString::fromStdString(data_.SelectedIP));
  // A fill requested while other work runs starts when that work ends.
  RequestWork(wsFillData);
}

}  // namespace qz::app
