#include "inventory_export.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>

#include "event_log.h"
#include "process_hooks.h"
#include "text_file.h"

namespace qz::app {

TInventoryExport::TInventoryExport(TWindowServices& window, QObject* parent) : QObject(parent), window_(window) {}

TInventoryExport::~TInventoryExport() {
  stop_ = true;
  if (reader_.joinable()) reader_.join();
}

void TInventoryExport::ExportAsked() {
  if (Busy()) return;
  QString chosen;
  const QString path = QFileDialog::getSaveFileName(nullptr, "Export device list", "devices.csv",
                                                    "CSV files (*.csv);;JSON files (*.json)", &chosen);
  if (path.isEmpty()) return;
  // The filter chosen names the format where the name has no extension of it.
  const bool json = path.endsWith(".json", Qt::CaseInsensitive) ||
                    (!path.endsWith(".csv", Qt::CaseInsensitive) && chosen.startsWith("JSON"));
  Export(json && !path.endsWith(".json", Qt::CaseInsensitive) ? path + ".json" : path);
}

void TInventoryExport::Export(const QString& path) {
  Read([this, path](const std::vector<TInventoryRow>& rows) {
    const bool json = path.endsWith(".json", Qt::CaseInsensitive);
    // Written beside and renamed: a full disk or a read-only folder leaves
    // no half-written file, and an older export stays whole.
    const std::string failure = WriteWholeFile(path.toStdString(), json ? InventoryJson(rows) : InventoryCsv(rows));
    if (failure.empty())
      window_.ShowNotice(QString("Device list exported: %1 to %2").arg(QString::fromStdString(DeviceCount(rows.size())), path), TNotice::Confirmation);
    else
      window_.ShowNotice(QString("The device list could not be exported to %1: %2")
                             .arg(path, QString::fromLocal8Bit(failure.c_str())));
    emit Done(failure.empty());
  });
}

void TInventoryExport::CopyAsTable() {
  Read([this](const std::vector<TInventoryRow>& rows) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(InventoryTable(rows)));
    window_.ShowNotice(QString("Device list copied as a table: %1").arg(QString::fromStdString(DeviceCount(rows.size()))), TNotice::Confirmation);
    emit Done(true);
  });
}

void TInventoryExport::Read(std::function<void(const std::vector<TInventoryRow>&)> take) {
  if (Busy()) return;
  const GlobalData& data = window_.Data();
  window_.SetStatusText(QString("Asking %1 for the device list...")
                            .arg(QString::fromStdString(DeviceCount(static_cast<size_t>(data.Devices.Count())))));
  reader_ = std::thread([this, take = std::move(take), devices = data.Devices.Rows(), conf = data.Conf,
                         community = data.Settings.ReadComm, timeoutMs = data.SNMPTimeOutValue,
                         tries = data.RetryCountValue] {
    TFleetPoller poller(community, timeoutMs, tries);
    auto rows = std::make_shared<std::vector<TInventoryRow>>(ReadInventory(devices, conf, poller, stop_));
    if (stop_) return;
    PostToWindowThread(this, [this, take, rows] {
      reader_.join();
      take(*rows);
    });
  });
}

}  // namespace qz::app
