#include "settings_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpinBox>

#include "event_hooks.h"
#include "exception_report.h"
#include "ip_edit.h"
#include "layout.h"
#include "settings_file.h"
#include "text.h"
#include "window_services.h"

namespace qz::app {

TSettingsPage::TSettingsPage(QWidget* page, const TLayout& layout, TWindowServices& window) : window_(window) {
  gbSysConfig = layout.Group(page, "gbSysConfig", " System configuration ", 8, 8, 617, 209, true);
  gbAuto = layout.Group(gbSysConfig, "gbAuto", " Auto ", 8, 16, 257, 185);
  edStartIP = layout.Place(new TIPEdit(gbAuto), "edStartIP", 56, 24, 122);
  edStopIP = layout.Place(new TIPEdit(gbAuto), "edStopIP", 56, 56, 122);
  layout.LabelLeftOf(edStartIP, "Start IP")->setObjectName("Label2");
  layout.LabelLeftOf(edStopIP, "Stop IP")->setObjectName("Label3");
  cbStartupScan = layout.Place(new QCheckBox("Scan on startup", gbAuto), "cbStartupScan", 14, 88, -1, 17);
  scan_.Said = layout.Place(new QLineEdit(gbAuto), "edScanIP", 14, 116, 169, 13);
  scan_.Said->setFrame(false);
  scan_.Said->setReadOnly(true);
  scan_.Said->setFocusPolicy(Qt::NoFocus);
  scan_.Said->setStyleSheet("background: palette(window); padding: 0px;");
  scan_.Progress = layout.Place(new QProgressBar(gbAuto), "pbScan", 14, 136, 235, 9);
  scan_.Progress->setRange(0, 1000);
  scan_.Progress->setValue(0);
  scan_.Progress->setTextVisible(false);
  scan_.Button = layout.Place(new QPushButton("Scan", gbAuto), "btScan", 156, 152, 92, 25);
  lbFirstStart = layout.Place(new QLabel(gbSysConfig), "lbFirstStart", 280, 24, 320, 170);
  lbFirstStart->setWordWrap(true);
  lbFirstStart->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lbFirstStart->setText(
      "<b>No devices are listed yet.</b><ol style=\"margin-left: 12px; -qt-list-indent: 0;\">"
      "<li>Set <b>Start IP</b> and <b>Stop IP</b> to the addresses your devices use.</li>"
      "<li>Check the communities under SNMP settings.</li>"
      "<li>Click <b>Scan</b>: the devices found fill the lists above, and the first one is shown.</li></ol>");

  gbSNMP = layout.Group(page, "gbSNMP", " SNMP settings ", 8, 224, 265, 161);
  edReadComm = layout.Edit(gbSNMP, "edReadComm", 112, 24, 145);
  edWriteComm = layout.Edit(gbSNMP, "edWriteComm", 112, 56, 145);
  edSNMPTimeOut = layout.Edit(gbSNMP, "edSNMPTimeOut", 112, 88, 49);
  seRetryCount = layout.Place(new QSpinBox(gbSNMP), "seRetryCount", 112, 120, 49);
  seRetryCount->setRange(kRetryCountRange.Min, kRetryCountRange.Max);
  seRetryCount->setSingleStep(1);
  seRetryCount->setValue(2);
  layout.LabelLeftOf(edReadComm, "Read community");
  layout.LabelLeftOf(edWriteComm, "Write community");
  layout.LabelLeftOf(edSNMPTimeOut, "Time out, ms    ");
  layout.LabelLeftOf(seRetryCount, "Retry count      ");

  gbMisc = layout.Group(page, "gbMisc", " Miscellaneous ", 280, 224, 345, 161);
  cbPing = layout.Place(new QCheckBox("Ping devices", gbMisc), "cbPing", 16, 24, -1, 17);
  edPingTimeOut = layout.Edit(gbMisc, "edPingTimeOut", 264, 24, 65);
  layout.LabelLeftOf(edPingTimeOut, "Ping time out, ms");
  cbCodePage = layout.Place(new QComboBox(gbMisc), "cbCodePage", 204, 56, 125);
  for (TCodePage codePage : {TCodePage::Latin1, TCodePage::Windows1251}) cbCodePage->addItem(CodePageName(codePage));
  cbCodePage->setToolTip("How names, locations and communities that are not UTF-8 are shown and typed");
  layout.LabelLeftOf(cbCodePage, "Device text code page");
  btSaveSettings = layout.Place(new QPushButton("Save Settings", page), "btSaveSettings", 232, 392, 98, 25);
  Bind();
}

void TSettingsPage::Bind() {
  // Every handler reports what escapes it on behalf of its control.
  const auto guarded = [](QWidget* control, std::function<void()> handler) {
    return [control, handler] { Guarded(control, handler); };
  };
  QObject::connect(edStartIP, &TIPEdit::exited, edStartIP, guarded(edStartIP, [this] {
    TakeScanAddress(edStartIP, window_.Data().Settings.StartIP, window_.Data().StartIPValue);
  }));
  QObject::connect(edStopIP, &TIPEdit::exited, edStopIP, guarded(edStopIP, [this] {
    TakeScanAddress(edStopIP, window_.Data().Settings.StopIP, window_.Data().StopIPValue);
  }));
  QObject::connect(cbStartupScan, &QCheckBox::toggled, cbStartupScan, guarded(cbStartupScan, [this] {
    window_.Data().Settings.StartupScan = FlagText(cbStartupScan->isChecked());
    Save();
  }));
  OnExit(edReadComm, guarded(edReadComm, [this] { TakeCommunity(edReadComm, window_.Data().Settings.ReadComm); }));
  OnExit(edWriteComm, guarded(edWriteComm, [this] { TakeCommunity(edWriteComm, window_.Data().Settings.WriteComm); }));
  // A number field is taken only when it converts, so the file never gets a
  // number line that would stop the next start-up.
  OnExit(edSNMPTimeOut, guarded(edSNMPTimeOut, [this] {
    window_.Data().SNMPTimeOutValue = TakeNumber(edSNMPTimeOut, window_.Data().Settings.SNMPTimeOut, kSnmpTimeOutRange);
    Save();
  }));
  OnExit(edPingTimeOut, guarded(edPingTimeOut, [this] {
    window_.Data().PingTimeOutValue = TakeNumber(edPingTimeOut, window_.Data().Settings.PingTimeOut, kPingTimeOutRange);
    window_.PingTimeoutChanged();
    Save();
  }));
  for (QLineEdit* edit : {edSNMPTimeOut, edPingTimeOut})
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
  QObject::connect(cbCodePage, &QComboBox::activated, cbCodePage, guarded(cbCodePage, [this] { CodePageChosen(); }));
  for (QWidget* control : std::initializer_list<QWidget*>{seRetryCount, cbCodePage}) IgnoreWheelUnlessFocused(control);
  QObject::connect(cbPing, &QCheckBox::toggled, cbPing, guarded(cbPing, [this] { PingTicked(); }));
  QObject::connect(seRetryCount, &QSpinBox::valueChanged, seRetryCount, guarded(seRetryCount, [this] {
    window_.Data().RetryCountValue = seRetryCount->value();
    window_.Data().Settings.RetryCount = std::to_string(window_.Data().RetryCountValue);
    Save();
  }));
  QObject::connect(btSaveSettings, &QPushButton::clicked, btSaveSettings, guarded(btSaveSettings, [this] { Save(); }));
}

void TSettingsPage::ShowSettings() {
  GlobalData& data = window_.Data();
  const TIniRecord& s = data.Settings;
  edStartIP->SetText(QString::fromStdString(s.StartIP));
  edStopIP->SetText(QString::fromStdString(s.StopIP));
  cbStartupScan->setChecked(IsFlagSet(s.StartupScan));
  edReadComm->setText(window_.Shown(s.ReadComm));
  edWriteComm->setText(window_.Shown(s.WriteComm));
  cbCodePage->setCurrentText(CodePageName(data.CodePage));
  edSNMPTimeOut->setText(QString::fromStdString(s.SNMPTimeOut));
  const int retryCount = StrToInt(s.RetryCount);
  seRetryCount->setValue(retryCount);
  data.RetryCountValue = retryCount;
  cbPing->setChecked(IsFlagSet(s.PingDevices));
  edPingTimeOut->setText(QString::fromStdString(s.PingTimeOut));
  data.SNMPTimeOutValue = StrToInt(s.SNMPTimeOut);
  data.PingTimeOutValue = StrToInt(s.PingTimeOut);
}

void TSettingsPage::ShowCommunities() {
  for (auto [edit, bytes] : {std::pair{edReadComm, &window_.Data().Settings.ReadComm},
                             std::pair{edWriteComm, &window_.Data().Settings.WriteComm}})
    if (!edit->isModified()) edit->setText(window_.Shown(*bytes));
}

void TSettingsPage::Enable(bool enabled) {
  edStartIP->SetEnabled(enabled);
  edStopIP->SetEnabled(enabled);
  cbStartupScan->setEnabled(enabled);
  gbSNMP->setEnabled(enabled);
  gbMisc->setEnabled(enabled);
  btSaveSettings->setEnabled(enabled);
}

void TSettingsPage::ShowFirstStartHint(bool shown) { lbFirstStart->setVisible(shown); }

void TSettingsPage::ShowConfiguration() { gbSysConfig->show(); }

bool TSettingsPage::StartupScan() const { return cbStartupScan->isChecked(); }

int TSettingsPage::RetryCount() const { return seRetryCount->value(); }

bool TSettingsPage::PingChosen() const { return cbPing->isChecked(); }

void TSettingsPage::UntickPing() {
  const QSignalBlocker quiet(cbPing);
  cbPing->setChecked(false);
}

void TSettingsPage::Save() { SaveSettingsFile(kSettingsFileName, window_.Data().Settings); }

void TSettingsPage::TakeScanAddress(TIPEdit* edit, std::string& field, uint32_t& value) {
  const std::string text = edit->Text().toStdString();
  if (IsIPv4Text(text, true)) {
    value = AddressValue(text);
    field = text;
  } else {
    QMessageBox::warning(edit->window(), "QZ Explorer", QString::fromStdString(text + " is not valid IP address !"));
  }
  Save();
}

int32_t TSettingsPage::TakeNumber(QLineEdit* edit, std::string& field, TNumberRange range) {
  // A text that is no number throws here and changes nothing.
  const int32_t value = ClampedNumber(edit->text().toStdString(), range);
  field = std::to_string(value);
  edit->setText(QString::fromStdString(field));
  return value;
}

std::string TSettingsPage::BytesOf(const QLineEdit* edit, const std::string& original) const {
  return edit->isModified() ? window_.Typed(edit->text()) : original;
}

void TSettingsPage::TakeCommunity(QLineEdit* edit, std::string& field) {
  field = BytesOf(edit, field);
  edit->setModified(false);
  Save();
}

void TSettingsPage::CodePageChosen() {
  GlobalData& data = window_.Data();
  data.CodePage = CodePageNamed(cbCodePage->currentText().toStdString()).value_or(TCodePage::Latin1);
  data.Conf.Set(kCodePageKey, CodePageName(data.CodePage));
  window_.CodePageChanged();
}

void TSettingsPage::PingTicked() {
  window_.Data().Settings.PingDevices = FlagText(cbPing->isChecked());
  Save();
  window_.PingSwitched(cbPing->isChecked());
}

}  // namespace qz::app
