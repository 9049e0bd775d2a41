// The device list: three selection lists that show the rows of the device
// model and always the same row, and the device list file written from it.
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
#include "console_page.h"
#include "scan.h"
#include "settings_page.h"
#include "fleet_watch.h"
#include "main_window.h"
#include "net.h"
#include "settings_file.h"
#include "text_file.h"

namespace qz::app {
namespace {

// The device row an item of a list shows: the address list keeps the rows'
// order, the name and location lists are sorted by what they show.
constexpr int kRowRole = Qt::UserRole + 1;

}  // namespace

void TfrmMain::LoadDeviceList() {
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
  data_.Devices.Assign(std::move(rows));
  for (int at = 0; at < data_.Devices.Count(); ++at) {
    cbAdrIP->addItem(QString::fromStdString(data_.Devices.At(at)->Address));
    cbAdrIP->setItemData(at, at, kRowRole);
    for (QComboBox* list : {cbSysName, cbSysLoc}) {
      list->addItem(QString());
      list->setItemData(at, at, kRowRole);
    }
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
      int Row;
      QVariant Mark;
      QVariant Tip;
    };
    std::vector<TItem> items;
    for (int i = 0; i < list->count(); ++i) {
      const int row = list->itemData(i, kRowRole).toInt();
      items.push_back({Shown(RowBytes(list, row)), row, list->itemData(i, Qt::DecorationRole),
                       list->itemData(i, Qt::ToolTipRole)});
    }
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
      list->addItem(item.Text);
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
  settings_->ShowFirstStartHint(cbAdrIP->count() == 0 && !(scan_ && scan_->Running()));
  QStringList entries;
  for (int row = 0; row < cbAdrIP->count(); ++row)
    entries << QString("%1  %2  %3")
                   .arg(cbAdrIP->itemText(row), Shown(RowBytes(cbSysName, row)), Shown(RowBytes(cbSysLoc, row)));
  finderEntries_->setStringList(entries);
  if (fleet_) fleet_->ListChanged();
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
  data_.Devices.Clear();
  for (QComboBox* list : {cbAdrIP, cbSysName, cbSysLoc}) list->clear();
  nameItemOfRow_.clear();
  locationItemOfRow_.clear();
  ListsChanged();
}

void TfrmMain::WriteDeviceList() {
  if (const std::string failure = WriteWholeFile(kDeviceListFileName, data_.Devices.FileBytes());
      !failure.empty())
    QMessageBox::warning(this, "QZ Explorer",
                         QString("The device list could not be written to %1: %2. The file is kept as it was.")
                             .arg(FileShown(kDeviceListFileName), QString::fromLocal8Bit(failure.c_str())));
}

void TfrmMain::DeviceListChanged() {
  ShowListTexts();
  WriteDeviceList();
}

std::string TfrmMain::RowBytes(const QComboBox* list, int row) const {
  const DeviceRow* device = data_.Devices.At(row);
  if (!device) return {};
  return list == cbSysName ? device->SysName : list == cbSysLoc ? device->SysLocation : device->Address;
}

void TfrmMain::ShowRows(const std::vector<DeviceRow>& rows, const std::string& selected) {
  FillLists(rows);
  const int row = data_.Devices.RowOf(selected);
  SelectRow(row >= 0 ? row : 0);
  data_.SelectedIP = cbAdrIP->currentText().toStdString();
  // The panel of a device that is no longer listed must not stay editable.
  if (!HasSelectedDevice()) ShowNoDevice();
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
  console_->ShowAddress(QString::fromStdString(data_.SelectedIP));
  // A fill requested while other work runs starts when that work ends.
  RequestWork(wsFillData);
}

}  // namespace qz::app
