// Construction of the window, start-up and exit, the exception message, the
// caption's version and help.
#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QStringListModel>
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpressionValidator>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include <filesystem>


#include "console_page.h"
#include "device_panel.h"
#include "scan.h"
#include "settings_page.h"
#include "event_hooks.h"
#include "events_window.h"
#include "fleet_window.h"
#include "inventory_export.h"
#include "trap_listener.h"
#include "exception_report.h"
#include "idle_driver.h"
#include "ip_edit.h"
#include "layout.h"
#include "led.h"
#include "net.h"
#include "program_version.h"
#include "echo_engine.h"
#include "history_recorder.h"
#include "text_file.h"

namespace qz::app {

std::string GetVersion() {
  return std::to_string(kVersionMajor) + " ." + std::to_string(kVersionMinor) + " ." +
         std::to_string(kVersionRelease);
}

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent), layout_(font()) {
  setObjectName("frmMain");
  CreateControls();
  CreateMenu();
  CreatePing();
  BindHandlers();
  FormCreate();
}

TfrmMain::~TfrmMain() {
  delete fleetWindow_;
  inventory_.reset();
  traps_.reset();
  fleet_.reset();
  scan_.reset();
  console_.reset();
  StopHistory();
}

void TfrmMain::CreateControls() {
  auto* client = new QWidget(this);
  client->setObjectName("client");
  client->setFixedSize(layout_.S(652), layout_.S(678));
  setCentralWidget(client);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);

  layout_.Separator(client, "Panel3", 0);
  gbDevSel = layout_.Group(client, "gbDevSel", " Select device ", 0, 8, 650, 81);
  cbAdrIP = layout_.Place(new QComboBox(gbDevSel), "cbAdrIP", 8, 32, 129);
  cbSysName = layout_.Place(new QComboBox(gbDevSel), "cbSysName", 144, 32, 233);
  cbSysLoc = layout_.Place(new QComboBox(gbDevSel), "cbSysLoc", 384, 32, 249);
  layout_.LabelAbove(cbAdrIP, "By IP address");
  layout_.LabelAbove(cbSysName, "By System Name");
  layout_.LabelAbove(cbSysLoc, "By System Location");
  // Type-ahead over every listed device's address, name and location.
  edFindDevice = layout_.Place(new QLineEdit(gbDevSel), "edFindDevice", 8, 56, 129, 20);
  edFindDevice->setPlaceholderText("Find device");
  edFindDevice->setClearButtonEnabled(true);
  edFindDevice->setToolTip("Type part of an address, name or location; pick the device from the list");
  finderEntries_ = new QStringListModel(this);
  auto* finder = new QCompleter(finderEntries_, edFindDevice);
  finder->setCaseSensitivity(Qt::CaseInsensitive);
  finder->setFilterMode(Qt::MatchContains);
  finder->setMaxVisibleItems(12);
  edFindDevice->setCompleter(finder);
  layout_.Separator(client, "Panel1", 94);

  PageControl = layout_.Place(new QTabWidget(client), "PageControl", 2, 104, 648, 457);
  QFont bold = PageControl->tabBar()->font();
  bold.setBold(true);
  PageControl->tabBar()->setFont(bold);
  tsManage = new QWidget;
  tsManage->setObjectName("tsManage");
  tsTelnet = new QWidget;
  tsTelnet->setObjectName("tsTelnet");
  tsSettings = new QWidget;
  tsSettings->setObjectName("tsSettings");
  PageControl->addTab(tsManage, "Manage");
  PageControl->addTab(tsTelnet, "Telnet");
  PageControl->addTab(tsSettings, "Settings");
  layout_.Separator(client, "Panel2", 566);

  // Ends above the status bar, which would otherwise cover its lower frame.
  gbDevInfo = layout_.Group(client, "gbDevInfo", " Device info ", 8, 576, 641, 82);
  edDevType = layout_.Edit(gbDevInfo, "edDevType", 82, 20, 97, true);
  edVers = layout_.Edit(gbDevInfo, "edVers", 272, 20, 78, true);
  edSN = layout_.Edit(gbDevInfo, "edSN", 376, 20, 249, true);
  edLANIfc = layout_.Edit(gbDevInfo, "edLANIfc", 96, 56, 425, true);
  edPing = layout_.Edit(gbDevInfo, "edPing", 560, 56, 65, true);
  layout_.LabelLeftOf(edDevType, "Device type");
  layout_.LabelLeftOf(edVers, "Firmware vers.");
  layout_.LabelLeftOf(edSN, "SN");
  layout_.LabelLeftOf(edLANIfc, "LAN interface ");
  lbPing = layout_.LabelLeftOf(edPing, "Ping");
  lbPing->setObjectName("lbPing");
  for (auto** led : {&Led1, &Led2}) {
    *led = new TLed(gbDevInfo);
    (*led)->SetPenWidth(1);
    (*led)->SetOnColor(QColor(0, 255, 0));
    (*led)->SetOffColor(ButtonFaceColor());
  }
  layout_.Place(Led1, "Led1", 583, 47, 8, 8);
  layout_.Place(Led2, "Led2", 590, 47, 8, 8);

  sbState = layout_.Place(new QStatusBar(client), "sbState", 0, 659, 652, 19);
  sbState->setSizeGripEnabled(false);
  // Notices stand beside the state's text, which the status bar always shows.
  lbNotice = new QLabel(sbState);
  lbNotice->setObjectName("lbNotice");
  lbNotice->setStyleSheet("color: rgb(192, 0, 0);");
  // The state's text keeps the left of the bar; a notice takes at most the rest.
  lbNotice->setMaximumWidth(layout_.S(440));
  sbState->addPermanentWidget(lbNotice);
  lbSilent = new QLabel(sbState);
  lbSilent->setObjectName("lbSilent");
  lbSilent->setStyleSheet("color: rgb(192, 0, 0); font-weight: bold;");
  sbState->addPermanentWidget(lbSilent);
  auto* lbTelnet = new QLabel(sbState);
  lbTelnet->setObjectName("lbTelnet");
  sbState->addPermanentWidget(lbTelnet);
  noticeTimer_ = new QTimer(this);
  noticeTimer_->setSingleShot(true);
  noticeTimer_->setInterval(4000);
  connect(noticeTimer_, &QTimer::timeout, lbNotice, &QLabel::clear);

  // Manage page
  panel_ = std::make_unique<TDevicePanel>(tsManage, TDeviceInfoBoxes{edDevType, edVers, edSN, edLANIfc}, layout_,
                                          static_cast<TWindowServices&>(*this));

  console_ = std::make_unique<TConsolePage>(tsTelnet, lbTelnet, layout_, static_cast<TWindowServices&>(*this));

  settings_ = std::make_unique<TSettingsPage>(tsSettings, layout_, static_cast<TWindowServices&>(*this));
  scan_ = std::make_unique<TScan>(settings_->Scan(), static_cast<TWindowServices&>(*this),
                                  [this] { return fleet_ && fleet_->CycleRunning(); });
  PageControl->setCurrentWidget(tsSettings);

  Timer = new QTimer(this);
  Timer->setObjectName("Timer");
  Timer->setInterval(10000);
}

void TfrmMain::CreateMenu() {
  // Mnemonics everywhere: Alt+letter opens a menu, and never types into the focused field.
  auto* mnuFile = menuBar()->addMenu("&File");
  mnuFile->setObjectName("mnuFile");
  mnuFile->addAction("&Restore previous device list", this, [this] { Guarded(sender(), [&] { scan_->RestorePrevious(); }); })
      ->setObjectName("itmRestore");
  mnuFile->addSeparator();
  mnuFile->addAction("&Export device list...", this, [this] { Guarded(sender(), [&] { inventory_->ExportAsked(); }); })
      ->setObjectName("itmExportList");
  mnuFile->addAction("&Copy device list as table", this, [this] { Guarded(sender(), [&] { inventory_->CopyAsTable(); }); })
      ->setObjectName("itmCopyList");
  mnuFile->addSeparator();
  auto* itmExit = mnuFile->addAction("E&xit", this, [this] { Guarded(sender(), [&] { itmExitClick(); }); });
  itmExit->setObjectName("itmExit");
  auto* mnuView = menuBar()->addMenu("&View");
  mnuView->setObjectName("mnuView");
  auto* itmRefresh = mnuView->addAction("&Refresh now", this, [this] { Guarded(sender(), [&] { RefreshNow(); }); });
  itmRefresh->setObjectName("itmRefresh");
  itmRefresh->setShortcut(QKeySequence(Qt::Key_F5));
  auto* itmHistory = mnuView->addAction("&History", this, [this] { Guarded(sender(), [&] { ShowHistory(); }); });
  itmHistory->setObjectName("itmHistory");
  itmHistory->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  auto* itmEvents = mnuView->addAction("&Events", this, [this] { Guarded(sender(), [&] { ShowEvents(); }); });
  itmEvents->setObjectName("itmEvents");
  itmEvents->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  auto* itmFleet = mnuView->addAction("&Fleet", this, [this] { Guarded(sender(), [&] { ShowFleet(); }); });
  itmFleet->setObjectName("itmFleet");
  itmFleet->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  auto* mnuHelp = menuBar()->addMenu("&Help");
  mnuHelp->setObjectName("mnuHelp");
  mnuHelp->addAction("&Russian", this, [this] { itmHelpClick(THelpLanguage::Russian); })
      ->setObjectName("itmRussian");
  auto* itmEnglish = mnuHelp->addAction("&English", this, [this] { itmHelpClick(THelpLanguage::English); });
  itmEnglish->setObjectName("itmEnglish");
  itmEnglish->setShortcut(QKeySequence(Qt::Key_F1));
  mnuHelp->addSeparator();
  mnuHelp->addAction("&About QZ Explorer", this, [this] { itmAboutClick(); })->setObjectName("itmAbout");
}

void TfrmMain::BindHandlers() {
  // Every handler reports what escapes it on behalf of its control.
  auto bind = [this](auto* control, auto signal, void (TfrmMain::*handler)()) {
    connect(control, signal, this, [this, control, handler] { Guarded(control, [&] { (this->*handler)(); }); });
  };
  connect(PageControl, &QTabWidget::currentChanged, this, [this] {
    if (!pageChangeFromCode_) Guarded(PageControl, [&] { PageControlChange(); });
  });
  bind(Timer, &QTimer::timeout, &TfrmMain::TimerTimer);

  connect(edFindDevice->completer(), qOverload<const QString&>(&QCompleter::activated), this,
          [this](const QString& entry) { Guarded(edFindDevice, [&] { FindDevice(entry); }); });
  for (QComboBox* list : {cbAdrIP, cbSysName, cbSysLoc}) {
    connect(list, &QComboBox::activated, this, [this, list] { Guarded(list, [&] { cbSelectionChange(list); }); });
    OnKeyPress(list, [](const QKeyEvent&) { return true; });
  }
  for (QWidget* control : std::initializer_list<QWidget*>{cbAdrIP, cbSysName, cbSysLoc})
    IgnoreWheelUnlessFocused(control);
}

void TfrmMain::FormCreate() {
  setWindowTitle(QString::fromStdString("QZ Explorer Vers." + GetVersion()));
  // A window closed before this one may have aborted the requests of its work.
  snmp::AbortRequests(false);
  idleDriver_ = new IdleDriver([this] { Idle(); }, this);
  fleet_ = std::make_unique<TFleetWatch>(static_cast<TWindowServices&>(*this));
  connect(fleet_.get(), &TFleetWatch::TrayClicked, this, [this] { ShowFleet(); });
  inventory_ = std::make_unique<TInventoryExport>(static_cast<TWindowServices&>(*this));

  EstablishSettings();
  CreateHistory();
  const std::string settingsError = ValidateNumberSettings();
  settings_->ShowSettings();

  if (settings_->StartupScan()) {
    ShowPage(tsSettings);
    settings_->Scan().Button->setText("Stop");
    data_.WorkState = wsScan;
  } else {
    std::error_code ignored;
    if (std::filesystem::exists(kDeviceListFileName, ignored)) LoadDeviceList();
    SelectRow(0);
    data_.SelectedIP = cbAdrIP->currentText().toStdString();
    if (HasSelectedDevice()) {
      data_.WorkState = wsFillData;
      ShowPage(tsManage);
    } else {
      ShowNoDevice();
      ShowPage(tsSettings);
      data_.WorkState = wsIdle;
    }
  }

  snmp::SnmpRequest.TimeOut = data_.SNMPTimeOutValue;
  snmp::SnmpRequest.RetryCount = data_.RetryCountValue;
  snmp::SnmpRequest.Community = data_.Settings.ReadComm;

  ShowPingControls(settings_->PingChosen());
  Ping->Timeout = data_.PingTimeOutValue;
  // The ping program for where no ICMP socket is allowed; empty for none.
  Ping->PingProgram = data_.Conf.Value("Ping/Program", icmp::kSystemPingProgram);
  Led1->SetLedOn(true);
  Led2->SetLedOn(false);
  Timer->setInterval(1000);
  Timer->start();
  fleet_->ApplySettings();
  scan_->ApplySchedule();
  traps_ = std::make_unique<TTrapListener>(static_cast<TWindowServices&>(*this), *fleet_);
  traps_->Start();
  if (FleetSettingsFrom(data_.Conf).Open) QTimer::singleShot(0, this, [this] { ShowFleet(); });

  adjustSize();
  // A fixed single border: the layout is drawn for this one size.
  setFixedSize(size());
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  if (!settingsError.empty())
    QTimer::singleShot(0, this, [this, settingsError] {
      HandleException(this, EConvertError(settingsError));
    });
}

void TfrmMain::HandleException(const QObject*, const std::exception& error) {
  // The operator is told what went wrong; which of the program's classes saw it is no help to them.
  const QString text = QString::fromStdString(error.what());
  QMessageBox box(QMessageBox::Critical, "QZ Explorer", text, QMessageBox::Ok);
  box.setObjectName("exceptionMessage");
  box.exec();
}

void TfrmMain::itmHelpClick(THelpLanguage language) {
  const std::string document = HelpDocument(language, QDir::currentPath().toStdString(),
                                            SharedDataFolder(QCoreApplication::applicationDirPath().toStdString()));
  if (document.empty()) {
    QMessageBox::information(
        this, "QZ Explorer",
        QString("The help file %1 is not there.")
            .arg(QDir::toNativeSeparators("./Help/" + QString::fromStdString(CompiledHelpName(language)))));
    return;
  }
  OpenWithDesktop(QUrl::fromLocalFile(QString::fromStdString(document)));
}

// Where the desktop has no browser or viewer to start, the operator learns
// what to open by hand instead of nothing happening.
void TfrmMain::OpenWithDesktop(const QUrl& url) {
  if (QDesktopServices::openUrl(url)) return;
  const QString where = url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString();
  QMessageBox box(QMessageBox::Information, "QZ Explorer",
                  QString("No browser or viewer could be started to open %1").arg(where), QMessageBox::Ok, this);
  box.setObjectName("cannotOpenMessage");
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  box.exec();
}

void TfrmMain::itmExitClick() {
  data_.WorkState = wsIdle;
  // The Fleet window opens again at the next start as it is now.
  const char* const fleetOpen = fleetWindow_ && fleetWindow_->isVisible() ? "1" : "0";
  if (data_.Conf.Value("Fleet/Open", "0") != fleetOpen) {
    data_.Conf.Set("Fleet/Open", fleetOpen);
    SaveConf();
  }
  closing_ = true;
  // Device work in progress ends at its next request: every request fails at
  // once from here on, and the work checks closing_ before using anything.
  snmp::AbortRequests(true);
  scan_->AskToStop();
  console_->Disconnect();
  QCoreApplication::quit();
}

void TfrmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // No maximise box: a request to maximise from elsewhere leaves the size as it is.
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
    setWindowState(windowState() & ~Qt::WindowMaximized);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  Guarded(this, [&] { itmExitClick(); });
  event->accept();
}

void TfrmMain::ShowDevicePage() { ShowPage(tsManage); }

bool TfrmMain::OnDevicePage() const { return PageControl->currentWidget() == tsManage; }

void TfrmMain::ShowPage(QWidget* page) {
  pageChangeFromCode_ = true;
  PageControl->setCurrentWidget(page);
  pageChangeFromCode_ = false;
  // The Settings page never shows the device's info, however it was reached;
  // the lists stay on every page.
  gbDevInfo->setVisible(page != tsSettings);
}

void TfrmMain::SetStatusText(const QString& text) {
  if (sbState->currentMessage() != text) sbState->showMessage(text);
}

void TfrmMain::ShowNotice(const QString& text, TNotice kind) {
  lbNotice->setStyleSheet(kind == TNotice::Problem ? "color: rgb(192, 0, 0);" : "");
  lbNotice->setText(text);
  lbNotice->setToolTip(text);
  noticeTimer_->start();
  LogEvent(text, kind == TNotice::Problem);
}

QString FileShown(const QString& name) {
  return QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(name)));
}

void TfrmMain::LogEvent(const QString& text, bool problem) {
  const int row = cbAdrIP->currentIndex();
  const std::string name = row >= 0 ? Shown(RowBytes(cbSysName, row)).toStdString() : std::string();
  LogDeviceEvent(DeviceLabel(name, data_.SelectedIP), text, problem);
}

void TfrmMain::LogDeviceEvent(const std::string& device, const QString& text, bool problem) {
  const TEvent& event = events_.Add({QDateTime::currentMSecsSinceEpoch(), device, text.toStdString(), problem});
  if (eventsWindow_) static_cast<TEventsWindow*>(eventsWindow_.data())->Append(event);
}

void TfrmMain::ShowFleet() {
  fleet_->SetWatching(true);
  if (!fleetWindow_) {
    fleetWindow_ = new TFleetWindow(*fleet_, static_cast<TWindowServices&>(*this), this);
    fleetWindow_->setAttribute(Qt::WA_DeleteOnClose);
  }
  if (data_.Conf.Value("Fleet/Open") != "1") {
    data_.Conf.Set("Fleet/Open", "1");
    SaveConf();
  }
  fleetWindow_->show();
  fleetWindow_->raise();
  fleetWindow_->activateWindow();
}

void TfrmMain::SelectDevice(int row) {
  if (!data_.Devices.At(row)) return;
  SelectRow(row);
  cbSelectionChange(cbAdrIP);
  raise();
  activateWindow();
}

void TfrmMain::ShowEvents() {
  if (!eventsWindow_) {
    eventsWindow_ = new TEventsWindow(events_, this);
    eventsWindow_->setAttribute(Qt::WA_DeleteOnClose);
  }
  eventsWindow_->show();
  eventsWindow_->raise();
}

void TfrmMain::RefreshNow() {
  if (PageControl->currentWidget() == tsManage && data_.WorkState == wsIdle && HasSelectedDevice()) {
    data_.Ticks = 0;
    RequestWork(wsRefreshData);
  }
}

void TfrmMain::itmAboutClick() {
  const QString folder = QDir::toNativeSeparators(QDir::currentPath());
  QMessageBox::about(this, "About QZ Explorer",
                     QString("<b>QZ Explorer %1.%2.%3</b><p>Finds, watches and sets up the maker's SNMP devices.</p>"
                             "<p>Licence: proprietary; see the copyright file that came with the program.</p>"
                             "<p>Settings, device list and history: %4<br>Device description files: %5</p>")
                         .arg(kVersionMajor)
                         .arg(kVersionMinor)
                         .arg(kVersionRelease)
                         .arg(folder.toHtmlEscaped(),
                              QDir::toNativeSeparators(QDir::current().absoluteFilePath("DeviceFiles")).toHtmlEscaped()));
}

}  // namespace qz::app
