// The window's settings: the settings file and QZexplorer.conf at start-up,
// and the code page every device text is shown in.
#include <QMessageBox>

#include "device_panel.h"
#include "exception_report.h"
#include "main_window.h"
#include "settings_page.h"
#include "text_file.h"

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
    SaveSettingsFile(kSettingsFileName, data_.Settings);
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
  data_.CodePage = CodePageOf(data_.Conf);
}

void TfrmMain::SaveConf() { WriteWholeFile(kConfFileName, FormatConf(data_.Conf)); }

QString TfrmMain::Shown(const std::string& bytes) const {
  return QString::fromStdString(DecodeDeviceText(bytes, data_.CodePage));
}

void TfrmMain::CodePageChanged() {
  SaveConf();
  ShowListTexts();
  panel_->ShowTexts();
  settings_->ShowCommunities();
}

std::string TfrmMain::Typed(const QString& text) const { return EncodeTypedText(text.toStdString(), data_.CodePage); }

}  // namespace qz::app
