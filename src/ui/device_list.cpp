// The device list: three selection lists that always show the same row, the
// two hidden columns, and the device list file.
#include <algorithm>

#include <QCollator>
#include <QHash>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QTabWidget>
#include <QTimer>

#include "ip_edit.h"
#include "main_window.h"
#include "net.h"
#include "settings_file.h"
#include "text_file.h"

namespace qz::app {
namespace {

// The device row an item of a list shows: the address list keeps the rows'
// order, the name and location lists are sorted by what they show.
constexpr int kRowRole = Qt::UserRole + 1;

// Rows by address, numerically (127.0.0.9 before 127.0.0.10).
bool AddressBefore(const DeviceRow& a, const DeviceRow& b) {
  const uint32_t left = AddressValue(a.Address);
  const uint32_t right = AddressValue(b.Address);
  return left != right ? left < right : a.Address < b.Address;
}

}  // namespace

void TfrmMain::LoadDeviceList() {
  data_.DeviceCount = 0;
  const TFileRead file = ReadFile(kDeviceListFileName);
  if (!file.Error.empty()) {
    QMessageBox::warning(this, "QZ Explorer",
                         QString("The device list %1 cannot be read: %2.")
                             .arg(FileShown(kDeviceListFileName), QString::fromLocal8Bit(file.Error.c_str())));
    return;
  }
  bool cut = false;
  const std::vector<DeviceRow> rows = ParseDeviceList(file.Bytes, &cut);
  FillLists(rows);
  data_.DeviceCount = static_cast<int32_t>(rows.size());
  if (cut) WarnListCut(kDeviceListFileName);
}

void TfrmMain::WarnListCut(const QString& file) {
  QMessageBox::warning(this, "QZ Explorer",
                       QString("The device list %1 holds more than %2 lines: only the first %2 are read.")
                           .arg(FileShown(file))
                           .arg(kMaxLines));
}

void TfrmMain::FillLists(std::vector<DeviceRow> rows) {
  ClearLists();
  std::stable_sort(rows.begin(), rows.end(), AddressBefore);
  for (const DeviceRow& row : rows) {
    const int at = cbAdrIP->count();
    cbAdrIP->addItem(QString::fromStdString(row.Address));
    cbAdrIP->setItemData(at, at, kRowRole);
    for (auto [list, bytes] : {std::pair{cbSysName, &row.SysName}, std::pair{cbSysLoc, &row.SysLocation}}) {
      list->addItem(QString(), QByteArray::fromStdString(*bytes));
      list->setItemData(at, at, kRowRole);
    }
    data_.DeviceTypes.push_back(row.DeviceType);
    data_.LanInterfaces.push_back(row.LanInterface);
  }
  ShowListTexts();
}

void TfrmMain::ShowListTexts() {
  QCollator collator;
  collator.setNumericMode(true);
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  for (QComboBox* list : {cbSysName, cbSysLoc}) {
    struct TItem {
      QString Text;
      QByteArray Bytes;
      int Row;
      QVariant Mark;
      QVariant Tip;
    };
    std::vector<TItem> items;
    for (int i = 0; i < list->count(); ++i)
      items.push_back({Shown(list->itemData(i).toByteArray().toStdString()), list->itemData(i).toByteArray(),
                       list->itemData(i, kRowRole).toInt(), list->itemData(i, Qt::DecorationRole),
                       list->itemData(i, Qt::ToolTipRole)});
    // A location (or name) that several devices share says which device each entry is.
    QHash<QString, int> uses;
    for (const TItem& item : items) ++uses[item.Text];
    for (TItem& item : items)
      if (uses.value(item.Text) > 1) item.Text += QString(" \u2014 ") + cbAdrIP->itemText(item.Row);
    std::stable_sort(items.begin(), items.end(),
                     [&](const TItem& a, const TItem& b) { return collator.compare(a.Text, b.Text) < 0; });
    const int selected = RowOfItem(list, list->currentIndex());
    const QSignalBlocker quiet(list);
    list->clear();
    std::vector<int>& itemOfRow = list == cbSysName ? nameItemOfRow_ : locationItemOfRow_;
    itemOfRow.assign(items.size(), -1);
    for (const TItem& item : items) {
      const int at = list->count();
      list->addItem(item.Text, item.Bytes);
      list->setItemData(at, item.Row, kRowRole);
      list->setItemData(at, item.Mark, Qt::DecorationRole);
      list->setItemData(at, item.Tip, Qt::ToolTipRole);
      if (item.Row >= 0 && static_cast<size_t>(item.Row) < itemOfRow.size()) itemOfRow[static_cast<size_t>(item.Row)] = at;
    }
    list->setCurrentIndex(ItemOfRow(list, selected));
  }
  ListsChanged();
}

int TfrmMain::ItemOfRow(const QComboBox* list, int row) const {
  if (row < 0 || row >= list->count()) return -1;
  if (list == cbAdrIP) return row;
  const std::vector<int>& itemOfRow = list == cbSysName ? nameItemOfRow_ : locationItemOfRow_;
  return static_cast<size_t>(row) < itemOfRow.size() ? itemOfRow[static_cast<size_t>(row)] : -1;
}

int TfrmMain::RowOfItem(const QComboBox* list, int item) {
  return item < 0 || item >= list->count() ? -1 : list->itemData(item, kRowRole).toInt();
}

void TfrmMain::ListsChanged() {
  lbFirstStart->setVisible(cbAdrIP->count() == 0 && !scanRunning_);
  QStringList entries;
  for (int row = 0; row < cbAdrIP->count(); ++row)
    entries << QString("%1  %2  %3")
                   .arg(cbAdrIP->itemText(row), Shown(RowBytes(cbSysName, row)), Shown(RowBytes(cbSysLoc, row)));
  finderEntries_->setStringList(entries);
}

void TfrmMain::FindDevice(const QString& entry) {
  const int row = static_cast<int>(finderEntries_->stringList().indexOf(entry));
  // The completer puts its entry into the box after this: the box is emptied after it.
  QTimer::singleShot(0, edFindDevice, [this] { edFindDevice->clear(); });
  if (row < 0) return;
  cbAdrIP->setCurrentIndex(row);
  cbSelectionChange(cbAdrIP);
}

void TfrmMain::ClearLists() {
  data_.DeviceTypes.clear();
  data_.LanInterfaces.clear();
  for (QComboBox* list : {cbAdrIP, cbSysName, cbSysLoc}) list->clear();
  nameItemOfRow_.clear();
  locationItemOfRow_.clear();
  ListsChanged();
}

void TfrmMain::WrCFG() {
  if (const std::string failure = WriteWholeFile(kDeviceListFileName, FormatDeviceList(ListedRows()));
      !failure.empty())
    QMessageBox::warning(this, "QZ Explorer",
                         QString("The device list could not be written to %1: %2. The file is kept as it was.")
                             .arg(FileShown(kDeviceListFileName), QString::fromLocal8Bit(failure.c_str())));
}

std::string TfrmMain::RowBytes(const QComboBox* list, int row) const {
  return list->itemData(ItemOfRow(list, row)).toByteArray().toStdString();
}

void TfrmMain::SetRowBytes(QComboBox* list, int row, const std::string& bytes) {
  list->setItemData(ItemOfRow(list, row), QByteArray::fromStdString(bytes));
  ShowListTexts();
}

void TfrmMain::SelectRow(int row) {
  for (QComboBox* list : {cbAdrIP, cbSysName, cbSysLoc}) list->setCurrentIndex(ItemOfRow(list, row));
}

void TfrmMain::cbSelectionChange(QComboBox* list) {
  PageControl->setFocus();
  // A device picked on the Settings page is shown.
  if (PageControl->currentWidget() == tsSettings) ShowPage(tsManage);
  SelectRow(RowOfItem(list, list->currentIndex()));
  data_.SelectedIP = cbAdrIP->currentText().toStdString();
  snmp::SnmpRequest.Host = data_.SelectedIP;
  ShowTelnetAddress(QString::fromStdString(data_.SelectedIP));
  // A fill requested while other work runs starts when that work ends.
  RequestWork(wsFillData);
}

}  // namespace qz::app
