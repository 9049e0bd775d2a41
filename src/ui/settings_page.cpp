// The Settings page: the settings file at start-up, and the page's handlers,
// each of which saves the whole record at once.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>

#include "echo_engine.h"
#include "exception_report.h"
#include "ip_edit.h"
#include "device_panel.h"
#include "main_window.h"
#include "text_file.h"
#include "udp_endpoint.h"

namespace qz::app {

void TfrmMain::EstablishSettings() {
  for (const char* file : {kSettingsFileName, kDeviceListFileName, kConfFileName}) RemoveLeftoverTemporary(file);
  LoadConf();
  if (FileExists(kSettingsFileName)) {
    data_.Settings = LoadSettingsFile(kSettingsFileName);
  } else if (FileExistsAtAll(kSettingsFileName)) {
    // Something else than a file stands there: it is left as it is.
    WarnSettingsUnreadable(kSettingsFileName, ReadFile(kSettingsFileName).Error);
    data_.Settings = DefaultSettings;
  } else {
    data_.Settings = DefaultSettings;
    SaveSettings();
  }
  data_.StartIPValue = AddressValue(data_.Settings.StartIP);
  data_.StopIPValue = AddressValue(data_.Settings.StopIP);
}

std::string TfrmMain::ValidateNumberSettings() {
  std::string firstError;
  auto& s = data_.Settings;
  const struct {
    std::string* Field;
    const std::string& Fallback;
    TNumberRange Range;
  } numbers[] = {{&s.SNMPTimeOut, DefaultSettings.SNMPTimeOut, kSnmpTimeOutRange},
                 {&s.RetryCount, DefaultSettings.RetryCount, kRetryCountRange},
                 {&s.PingTimeOut, DefaultSettings.PingTimeOut, kPingTimeOutRange}};
  for (const auto& number : numbers) {
    try {
      *number.Field = std::to_string(ClampedNumber(*number.Field, number.Range));
    } catch (const EConvertError& error) {
      if (firstError.empty()) firstError = error.what();
      *number.Field = number.Fallback;
    }
  }
  return firstError;
}

void TfrmMain::WarnSettingsUnreadable(const QString& file, const std::string& reason) {
  QMessageBox::warning(this, "QZ Explorer",
                       QString("The settings %1 cannot be read: %2. The program uses its defaults.")
                           .arg(FileShown(file), QString::fromLocal8Bit(reason.c_str())));
}

void TfrmMain::LoadConf() {
  const TFileRead file = ReadFile(kConfFileName);
  bool cut = false;
  data_.Conf = ParseConf(file.Bytes, &cut);
  if (!file.Error.empty() && FileExistsAtAll(kConfFileName))
    WarnSettingsUnreadable(kConfFileName, file.Error);
  else if (cut)
    QMessageBox::warning(this, "QZ Explorer",
                         QString("The settings %1 hold more than %2 lines: only the first %2 are read.")
                             .arg(FileShown(kConfFileName))
                             .arg(kMaxLines));
  data_.CodePage =
      CodePageNamed(data_.Conf.Value(kCodePageKey, CodePageName(TCodePage::Latin1))).value_or(TCodePage::Latin1);
}

void TfrmMain::SaveConf() { WriteWholeFile(kConfFileName, FormatConf(data_.Conf)); }

void TfrmMain::cbCodePageChange() {
  data_.CodePage = CodePageNamed(cbCodePage->currentText().toStdString()).value_or(TCodePage::Latin1);
  data_.Conf.Set(kCodePageKey, CodePageName(data_.CodePage));
  SaveConf();
  ShowDeviceTexts();
}

QString TfrmMain::Shown(const std::string& bytes) const {
  return QString::fromStdString(DecodeDeviceText(bytes, data_.CodePage));
}

void TfrmMain::ShowDeviceTexts() {
  ShowListTexts();
  panel_->ShowTexts();
  for (auto [edit, bytes] : {std::pair{edReadComm, &data_.Settings.ReadComm}, std::pair{edWriteComm, &data_.Settings.WriteComm}})
    if (!edit->isModified()) edit->setText(Shown(*bytes));
}

std::string TfrmMain::Typed(const QString& text) const { return EncodeTypedText(text.toStdString(), data_.CodePage); }

std::string TfrmMain::BytesOf(const QLineEdit* edit, const std::string& original) const {
  return edit->isModified() ? Typed(edit->text()) : original;
}

void TfrmMain::CopySettingsToControls() {
  const TIniRecord& s = data_.Settings;
  edStartIP->SetText(QString::fromStdString(s.StartIP));
  edStopIP->SetText(QString::fromStdString(s.StopIP));
  cbStartupScan->setChecked(IsFlagSet(s.StartupScan));
  edReadComm->setText(Shown(s.ReadComm));
  edWriteComm->setText(Shown(s.WriteComm));
  cbCodePage->setCurrentText(CodePageName(data_.CodePage));
  edSNMPTimeOut->setText(QString::fromStdString(s.SNMPTimeOut));
  const int retryCount = StrToInt(s.RetryCount);
  seRetryCount->setValue(retryCount);
  data_.RetryCountValue = retryCount;
  cbPing->setChecked(IsFlagSet(data_.Settings.PingDevices));
  edPingTimeOut->setText(QString::fromStdString(data_.Settings.PingTimeOut));
  data_.SNMPTimeOutValue = StrToInt(data_.Settings.SNMPTimeOut);
  data_.PingTimeOutValue = StrToInt(data_.Settings.PingTimeOut);
}

void TfrmMain::SaveSettings() { SaveSettingsFile(kSettingsFileName, data_.Settings); }

void TfrmMain::TakeScanAddress(TIPEdit* edit, std::string& field, uint32_t& value) {
  const std::string text = edit->Text().toStdString();
  if (IsIPv4Text(text, true)) {
    value = AddressValue(text);
    field = text;
  } else {
    QMessageBox::warning(this, "QZ Explorer", QString::fromStdString(text + " is not valid IP address !"));
  }
  SaveSettings();
}

void TfrmMain::edStartIPExit() { TakeScanAddress(edStartIP, data_.Settings.StartIP, data_.StartIPValue); }

void TfrmMain::edStopIPExit() { TakeScanAddress(edStopIP, data_.Settings.StopIP, data_.StopIPValue); }

void TfrmMain::cbStartupScanClick() {
  data_.Settings.StartupScan = FlagText(cbStartupScan->isChecked());
  SaveSettings();
}

void TfrmMain::edReadCommExit() {
  data_.Settings.ReadComm = BytesOf(edReadComm, data_.Settings.ReadComm);
  edReadComm->setModified(false);
  SaveSettings();
}

void TfrmMain::edWriteCommExit() {
  data_.Settings.WriteComm = BytesOf(edWriteComm, data_.Settings.WriteComm);
  edWriteComm->setModified(false);
  SaveSettings();
}

// A number field is taken only when it converts, so the file never gets a
// number line that would stop the next start-up.
void TfrmMain::edSNMPTimeOutExit() {
  data_.SNMPTimeOutValue = TakeNumber(edSNMPTimeOut, data_.Settings.SNMPTimeOut, kSnmpTimeOutRange);
  SaveSettings();
}

int32_t TfrmMain::TakeNumber(QLineEdit* edit, std::string& field, TNumberRange range) {
  // A text that is no number throws here and changes nothing.
  const int32_t value = ClampedNumber(edit->text().toStdString(), range);
  field = std::to_string(value);
  edit->setText(QString::fromStdString(field));
  return value;
}

void TfrmMain::seRetryCountChange() {
  data_.RetryCountValue = seRetryCount->value();
  data_.Settings.RetryCount = std::to_string(data_.RetryCountValue);
  SaveSettings();
}

void TfrmMain::edPingTimeOutExit() {
  data_.PingTimeOutValue = TakeNumber(edPingTimeOut, data_.Settings.PingTimeOut, kPingTimeOutRange);
  Ping->Timeout = data_.PingTimeOutValue;
  SaveSettings();
}

void TfrmMain::btSaveSettingsClick() { SaveSettings(); }

}  // namespace qz::app
