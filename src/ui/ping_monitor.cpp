// The ping monitor: the selected device pinged once a second on the Manage
// page, with two LEDs blinking in turn.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include "echo_engine.h"
#include "idle_driver.h"
#include "led.h"
#include "main_window.h"
#include "settings_page.h"

namespace qz::app {
namespace {

const char* const kPingNeedsPermission =
    "Ping needs iputils-ping (/bin/ping) or net.ipv4.ping_group_range to include your group";

}  // namespace

void TfrmMain::CreatePing() {
  Ping = std::make_unique<icmp::TEchoEngine>();
  Ping->SetSocketFamily(icmp::afIPv4);
  Ping->PingMsg = "ping";
  Ping->Size = 56;
  Ping->Timeout = 4000;
  Ping->TTL = 64;
  Ping->Flags = 0;
  // The window keeps handling its events while a reply is awaited.
  Ping->WhileWaiting = &PumpMessages;
  Ping->OnEchoReply = [this](int status) { PingEchoReply(status); };
}

void TfrmMain::PingSwitched(bool on) { ShowPingControls(on); }

void TfrmMain::PingTimeoutChanged() { Ping->Timeout = data_.PingTimeOutValue; }

void TfrmMain::ShowPingControls(bool shown) {
  for (QWidget* control : std::initializer_list<QWidget*>{lbPing, edPing, Led1, Led2}) control->setVisible(shown);
}

void TfrmMain::PingSelectedDevice() {
  if (pinging_ || !settings_->PingChosen() || data_.WorkState != wsIdle || !HasSelectedDevice()) return;
  pinging_ = true;
  Ping->SetAddress(data_.SelectedIP);
  Ping->Ping();
  pinging_ = false;
  if (Ping->EchoUnavailable()) {
    StopPingsWithoutEcho();
    return;
  }
  Led1->SetLedOn(!Led1->LedOn());
  Led2->SetLedOn(!Led2->LedOn());
}

// Said once, instead of failing at every tick: the box is unticked (the
// stored setting stays as the operator chose) until the operator ticks it
// again, perhaps after widening the system's setting.
void TfrmMain::StopPingsWithoutEcho() {
  settings_->UntickPing();
  ShowPingControls(false);
  ShowNotice(kPingNeedsPermission);
}

void TfrmMain::PingEchoReply(int status) {
  if (!Ping->EchoUnavailable()) RecordPing(status == 0 ? std::nullopt : std::optional<int32_t>(Ping->ReplyRTT()));
  // The LEDs blink at every ping: green for an answer, red for a time-out.
  for (TLed* led : {Led1, Led2}) led->SetOnColor(status == 0 ? QColor(255, 0, 0) : QColor(0, 255, 0));
  // Which way the echoes go: the system's ping program, where this user may
  // have no ICMP socket of its own.
  edPing->setToolTip(QString::fromStdString("Pinged through " + Ping->Way()));
  if (status == 0)
    edPing->setText("Time out");
  else if (Ping->ReplyRTT() == 0)
    edPing->setText("< 1 ms");
  else
    edPing->setText(QString::number(Ping->ReplyRTT()) + " ms");
}

}  // namespace qz::app
