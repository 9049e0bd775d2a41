#pragma once
// The one window of the program: its controls, and the handlers that work on
// the program-wide state. The handlers are split by concern over several
// source files; the rules they apply live in small functions beside them.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>

#include "device_list_file.h"
#include "event_log.h"
#include "global_data.h"
#include "layout.h"
#include "history_store.h"
#include "history_types.h"
#include "sys_descr.h"
#include "window_services.h"
#include "working_folder.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QStatusBar;
class QStringListModel;
class QTabWidget;
class QTimer;
class QUrl;
class TLed;

namespace qz::icmp {
class TEchoEngine;
}
namespace qz::history {
class THistoryRecorder;
}

namespace qz::app {

class IdleDriver;
class TConsolePage;
class TDevicePanel;
class TFleetWatch;
class TInventoryExport;
class TTrapListener;
class TScan;
class TSettingsPage;

class TfrmMain : public QMainWindow, private TWindowServices {
  Q_OBJECT

 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // Shows the error's message in a message box; nothing else.
  static void HandleException(const QObject* reporter, const std::exception& error);
  // What the program found before the window was made, for the operator
  // (in the status bar for a moment and in the events list).
  void SayAtStart(const QString& text) { ShowNotice(text, TNotice::Confirmation); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // What only a test or a benchmark may do; see main_window_test_seam.h.
  friend class TfrmMainTestSeam;

  // The work of the current state, run once each time the event queue has
  // emptied (never re-entered).
  void Idle();
  void TimerTimer();
  void PageControlChange();
  void EnableControls(bool enabled) override;

  // Device list
  void ClearLists() override;
  // Writes the device list file from the device model.
  void WriteDeviceList() override;
  void DeviceListChanged() override;
  void SelectRow(int row);
  // The device list file held more lines than are read.
  void WarnListCut(const QString& file) override;
  // Something stands at a settings file's name that cannot be read.
  void WarnSettingsUnreadable(const QString& file, const std::string& reason);
  // Device panel
  void FillData();
  void RefreshData();
  // After a pass of the device panel: says in the status bar since when the
  // device has not answered, and logs when it stops and starts answering.
  void EndReadPass();
  // Marks a row of the lists as a device that does not answer (said: since
  // when), or clears the mark (said empty).
  void MarkSilentRow(int row, const QString& said);

  void itmExitClick();

  // The measures of the layout at the window's font.
  TLayout layout_;
  // Controls, named as the window's layout names them.
  QGroupBox* gbDevSel = nullptr;
  QComboBox* cbAdrIP = nullptr;
  QComboBox* cbSysName = nullptr;
  QComboBox* cbSysLoc = nullptr;
  QLineEdit* edFindDevice = nullptr;
  QStringListModel* finderEntries_ = nullptr;
  // Which item of the name and location lists shows each device row.
  std::vector<int> nameItemOfRow_;
  std::vector<int> locationItemOfRow_;
  QTabWidget* PageControl = nullptr;
  QWidget* tsManage = nullptr;
  QWidget* tsTelnet = nullptr;
  QWidget* tsSettings = nullptr;
  QGroupBox* gbDevInfo = nullptr;
  QLineEdit* edDevType = nullptr;
  QLineEdit* edVers = nullptr;
  QLineEdit* edSN = nullptr;
  QLineEdit* edLANIfc = nullptr;
  QLineEdit* edPing = nullptr;
  QLabel* lbPing = nullptr;
  TLed* Led1 = nullptr;
  TLed* Led2 = nullptr;
  QStatusBar* sbState = nullptr;
  QLabel* lbNotice = nullptr;
  std::unique_ptr<TDevicePanel> panel_;
  std::unique_ptr<TSettingsPage> settings_;
  std::unique_ptr<TScan> scan_;
  QTimer* Timer = nullptr;
  std::unique_ptr<TConsolePage> console_;
  std::unique_ptr<icmp::TEchoEngine> Ping;
  // Null when the history is off.
  std::unique_ptr<history::THistoryRecorder> history_;
  std::optional<history::TStoreSettings> historySettings_;
  // Emptied by Qt when the window goes (closed, or with this one): no
  // handler of ours runs on a window being destroyed.
  QPointer<QWidget> historyWindow_;

  // Construction and start-up
  void CreateControls();
  void CreateMenu();
  void BindHandlers();
  void FormCreate();
  void ShowPage(QWidget* page);
  // What the pages have of the window.
  GlobalData& Data() override { return data_; }
  bool Closing() const override { return closing_; }
  void SetStatusText(const QString& text) override;
  void ShowNotice(const QString& text, TNotice kind = TNotice::Problem) override;
  void itmHelpClick(THelpLanguage language);
  void itmAboutClick();
  // F5: a refresh of the selected device now.
  void RefreshNow();
  void LogEvent(const QString& text, bool problem) override;
  void LogDeviceEvent(const std::string& device, const QString& text, bool problem) override;
  void ShowEvents();
  // View > Fleet: the Fleet window, and the watch turned on.
  void ShowFleet();
  void SelectDevice(int row) override;
  void OpenWithDesktop(const QUrl& url) override;
  // Device and file text (bytes) as the window shows it, and what the
  // operator typed as bytes: one rule, the operator's code page.
  QString Shown(const std::string& bytes) const override;
  std::string Typed(const QString& text) const override;

  // Settings page
  void EstablishSettings();
  void LoadConf();
  void SaveConf();
  void ConfChanged() override { SaveConf(); }
  // Shows every device text again after the code page changed.
  void CodePageChanged() override;
  void PingSwitched(bool on) override;
  void PingTimeoutChanged() override;
  // Puts the default into every number field that is not a decimal integer,
  // so no later save can write such a line; gives the first conversion error.
  std::string ValidateNumberSettings();

  // Ping monitor
  void CreatePing();
  void ShowPingControls(bool shown);
  void PingSelectedDevice();
  void StopPingsWithoutEcho();

  // Device history
  void CreateHistory();
  // Ends the recording, waiting a bounded time for the database; what it
  // could not write is counted in history::kUnwrittenHistoryFileName for the next start.
  void StopHistory();
  history::TDeviceKey SelectedDeviceKey() const override;
  void KeepReading(history::TReading&& reading) override;
  void RecordWrite(history::TWriteKind kind, const QString& object, const QString& written, const std::string& result,
                   const QString& readBack) override;
  void RecordPing(std::optional<int32_t> roundTripMs);
  void RecordHistory(history::TBatch&& batch) override;
  void ShowHistory();
  void PingEchoReply(int status);

  // The lists show rows; the selected address is chosen again where listed.
  void ShowRows(const std::vector<DeviceRow>& rows, const std::string& selected = {}) override;
  void ShowDevicePage() override;
  bool OnDevicePage() const override;

  // Work states
  void RequestWork(TWorkState state) override;
  bool CheckIdentity();
  int SelectedRow() const override;
  bool HasSelectedDevice() const override;
  // The Manage page and the device info with no device: emptied and disabled.
  void ShowNoDevice();
  // Empties and disables what the window shows of a device.
  void ClearDeviceShown();
  void EnableDeviceControls(bool enabled);
  void Halt(const std::string& message, const DeviceIdentity& identity);

  // Device list
  void LoadDeviceList();
  // The bytes a name or location list holds for a device row.
  std::string RowBytes(const QComboBox* list, int row) const;
  // The lists show rows (by address); the name and location lists sorted.
  void FillLists(std::vector<DeviceRow> rows);
  // The name and location lists' texts in the code page, sorted again.
  void ShowListTexts();
  int ItemOfRow(const QComboBox* list, int row) const;
  static int RowOfItem(const QComboBox* list, int item);
  // The finder's entries ("address  name  location" of every row) and the
  // first start's hint follow the lists.
  void ListsChanged();
  // Selects the device of a finder entry, as picking it in a list does.
  void FindDevice(const QString& entry);
  void cbSelectionChange(QComboBox* list);

  GlobalData data_;
  IdleDriver* idleDriver_ = nullptr;
  bool pageChangeFromCode_ = false;
  // Set by every handler that asks for work; lets Idle tell whether the work
  // it just did may return the state to wsIdle.
  bool workRequested_ = false;
  bool closing_ = false;
  bool pinging_ = false;
  QTimer* noticeTimer_ = nullptr;
  // Which device stopped answering when; none while the selected one answers.
  struct TSilence {
    std::string Address;
    QDateTime Since;
  };
  std::optional<TSilence> silence_;
  TEventLog events_;
  QPointer<QWidget> eventsWindow_;
  std::unique_ptr<TFleetWatch> fleet_;
  std::unique_ptr<TTrapListener> traps_;
  std::unique_ptr<TInventoryExport> inventory_;
  QPointer<QWidget> fleetWindow_;
  QLabel* lbSilent = nullptr;
};

}  // namespace qz::app
