// The Settings page: the settings file at start-up, and the page's handlers,
// each of which saves the whole record at once.
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>

#include "echo_engine.h"
#include "exception_report.h"
#include "ip_edit.h"
#include "main_window.h"
#include "text_file.h"
#include "udp_endpoint.h"

namespace qz::app {

void TfrmMain::EstablishSettings() {
  if (FileExists(kSettingsFileName)) {
    data_.Settings = LoadSettingsFile(kSettingsFileName);
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
  for (auto [field, fallback] : {std::pair{&s.SNMPTimeOut, &DefaultSettings.SNMPTimeOut},
                                 std::pair{&s.RetryCount, &DefaultSettings.RetryCount},
                                 std::pair{&s.PingTimeOut, &DefaultSettings.PingTimeOut}}) {
    try {
      StrToInt(*field);
    } catch (const EConvertError& error) {
      if (firstError.empty()) firstError = error.what();
      *field = *fallback;
    }
  }
  return firstError;
}

void TfrmMain::CopySettingsToControls() {
  const TIniRecord& s = data_.Settings;
  edStartIP->SetText(QString::fromStdString(s.StartIP));
  edStopIP->SetText(QString::fromStdString(s.StopIP));
  cbStartupScan->setChecked(IsFlagSet(s.StartupScan));
  edReadComm->setText(QString::fromStdString(s.ReadComm));
  edWriteComm->setText(QString::fromStdString(s.WriteComm));
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
  if (snmp::IsIPv4Text(text)) {
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
  data_.Settings.ReadComm = edReadComm->text().toStdString();
  SaveSettings();
}

void TfrmMain::edWriteCommExit() {
  data_.Settings.WriteComm = edWriteComm->text().toStdString();
  SaveSettings();
}

// A number field is taken only when it converts, so the file never gets a
// number line that would stop the next start-up.
void TfrmMain::edSNMPTimeOutExit() {
  const std::string text = edSNMPTimeOut->text().toStdString();
  data_.SNMPTimeOutValue = StrToInt(text);
  data_.Settings.SNMPTimeOut = text;
  SaveSettings();
}

void TfrmMain::seRetryCountChange() {
  data_.RetryCountValue = seRetryCount->value();
  data_.Settings.RetryCount = std::to_string(data_.RetryCountValue);
  SaveSettings();
}

void TfrmMain::edPingTimeOutExit() {
  const std::string text = edPingTimeOut->text().toStdString();
  data_.PingTimeOutValue = StrToInt(text);
  data_.Settings.PingTimeOut = text;
  Ping->Timeout = data_.PingTimeOutValue;
  SaveSettings();
}

void TfrmMain::btSaveSettingsClick() { SaveSettings(); }

}  // namespace qz::app
