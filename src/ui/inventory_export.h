#pragma once
// File > Export device list and File > Copy device list as table: each
// listed device asked once (on a thread of its own, so the window never
// waits on the network), then the list written as CSV or JSON (by the
// file's name) or put on the clipboard as a tab-separated table.
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "inventory.h"
#include "window_services.h"

namespace qz::app {

class TInventoryExport : public QObject {
  Q_OBJECT

 public:
  explicit TInventoryExport(TWindowServices& window, QObject* parent = nullptr);
  ~TInventoryExport() override;

  // Asks where, then exports there.
  void ExportAsked();
  void Export(const QString& path);
  void CopyAsTable();
  bool Busy() const { return reader_.joinable(); }

 signals:
  // An export or a copy ended (written, copied or refused); for the status bar and the tests.
  void Done(bool written);

 private:
  // Reads the list on the reader thread, then calls `take` on the window's thread.
  void Read(std::function<void(const std::vector<TInventoryRow>&)> take);

  TWindowServices& window_;
  std::thread reader_;
  std::atomic<bool> stop_{false};
};

}  // namespace qz::app
