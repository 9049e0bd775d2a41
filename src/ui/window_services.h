#pragma once
// What the window does for the pages it is made of: the state they share,
// the work they ask for, and the ways of telling the operator. A page holds
// its own controls and state and reaches the rest of the window only here.
#include <string>
#include <vector>

#include <QString>

#include "global_data.h"
#include "history_types.h"

class QUrl;

namespace qz::app {

// A message that stays in the status bar for a few seconds, and in the
// events list.
enum class TNotice { Problem, Confirmation };

class TWindowServices {
 public:
  virtual GlobalData& Data() = 0;
  // The window is closing: work in progress ends at its next step.
  virtual bool Closing() const = 0;
  // Asks for the work of a state: it runs when the event queue has emptied.
  virtual void RequestWork(TWorkState state) = 0;
  virtual void SetStatusText(const QString& text) = 0;
  virtual void ShowNotice(const QString& text, TNotice kind = TNotice::Problem) = 0;
  // Device and file text (bytes) as the window shows it, and what the
  // operator typed as bytes: one rule, the operator's code page.
  virtual QString Shown(const std::string& bytes) const = 0;
  virtual std::string Typed(const QString& text) const = 0;

  // The row of the device list that is selected (-1: none), and whether
  // device work may address it.
  virtual int SelectedRow() const = 0;
  virtual bool HasSelectedDevice() const = 0;
  // The device list changed (a rename): the lists show it and its file is written.
  virtual void DeviceListChanged() = 0;
  // Keeps an event of the selected device in the events list.
  virtual void LogEvent(const QString& text, bool problem) = 0;
  // Keeps an event of another device ("name (address)") in the events list.
  virtual void LogDeviceEvent(const std::string& device, const QString& text, bool problem) = 0;
  // The conf changed: its file is written.
  virtual void ConfChanged() = 0;
  // Hands a batch of any devices' readings to the history, written in one transaction.
  virtual void RecordHistory(history::TBatch&& batch) = 0;
  // Selects a device row as picking it in the lists does, and shows the window.
  virtual void SelectDevice(int row) = 0;
  // The selected device's history.
  virtual history::TDeviceKey SelectedDeviceKey() const = 0;
  virtual void KeepReading(history::TReading&& reading) = 0;
  virtual void RecordWrite(history::TWriteKind kind, const QString& object, const QString& written,
                           const std::string& result, const QString& readBack) = 0;
  virtual void OpenWithDesktop(const QUrl& url) = 0;
  // For the scan: the window's fields locked while it runs, the lists
  // emptied, the rows it found shown (the row of the selected address chosen
  // again where there is one, else the first) and written to the list file,
  // a file of more lines than are read named.
  virtual void EnableControls(bool enabled) = 0;
  virtual void ClearLists() = 0;
  virtual void ShowRows(const std::vector<DeviceRow>& rows, const std::string& selected = {}) = 0;
  virtual void WriteDeviceList() = 0;
  virtual void WarnListCut(const QString& file) = 0;
  // The Manage page: shown, or whether it is.
  virtual void ShowDevicePage() = 0;
  virtual bool OnDevicePage() const = 0;
  // The Settings page changed the code page, turned ping on or off, or
  // changed its time-out (the settings are in Data() already).
  virtual void CodePageChanged() = 0;
  virtual void PingSwitched(bool on) = 0;
  virtual void PingTimeoutChanged() = 0;

 protected:
  ~TWindowServices() = default;
};

// Where a file of the working folder is, whole, for messages about it.
QString FileShown(const QString& name);

}  // namespace qz::app
