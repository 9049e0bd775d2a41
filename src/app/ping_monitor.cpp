// The ping monitor: the selected device pinged once a second on the Manage
// page, with two LEDs blinking in turn.
#include <QCheckBox>
#include <QLineEdit>

#include "led.h"
#include "main_window.h"

namespace qz::app {

void TfrmMain::cbPingClick() {
  data_.Settings.PingDevices = FlagText(cbPing->isChecked());
  SaveSettings();
  for (QWidget* control : std::initializer_list<QWidget*>{edPing, Led1, Led2}) control->setVisible(cbPing->isChecked());
}

}  // namespace qz::app
