// The Telnet page: a console on the selected device's Telnet port.
#include <QApplication>
#include <QPushButton>
#include <QThread>

#include "console_screen.h"
#include "console_text.h"
#include "exception_report.h"
#include "idle_driver.h"
#include "ip_edit.h"
#include "main_window.h"
#include "telnet_client.h"

namespace qz::app {

void TfrmMain::CreateTelnet() {
  Telnet = std::make_unique<telnet::TTelnetClient>();
  Telnet->Port = 23;
  Telnet->SetTerminal("dumb");
  Telnet->ReadTimeout = 0;
  Telnet->OnDataAvailable = [this](const std::string& buffer) {
    Guarded(this, [&] { TelnetDataAvailable(buffer); });
  };
  Telnet->OnDisconnect = [this] { TelnetDisconnect(); };
  Telnet->OnReaderEnd = [this](const std::string& reason) { Guarded(this, [&] { TelnetReaderEnd(reason); }); };
}

void TfrmMain::btTelnetClick() {
  // A second click while the connect still waits changes nothing.
  if (telnetConnecting_) return;
  if (Telnet->Connected()) {
    Telnet->Disconnect();
    ShowTelnetSession();
    return;
  }
  const QString address = edTelnetIP->Text();
  Telnet->Host = address.toStdString();
  mmScreen->ClearScreen();
  mmScreen->AddLine("Connecting " + address + "...");
  mmScreen->AddLine({});
  mmScreen->setFocus();
  telnetConnecting_ = true;
  try {
    Telnet->Connect(-1);
  } catch (...) {
    telnetConnecting_ = false;
    if (closing_) return;
    throw;
  }
  telnetConnecting_ = false;
  RequestWork(wsTelnet);
}

void TfrmMain::ShowTelnetAddress(const QString& selected) {
  // An open session keeps its address on the page: the page never shows
  // one device while the keys typed go to another.
  if (!Telnet->Connected() && !telnetConnecting_) edTelnetIP->SetText(selected);
}

void TfrmMain::ShowTelnetSession() {
  const bool open = Telnet->Connected();
  lbTelnet->setText(open ? "Telnet: " + QString::fromStdString(Telnet->Host) : QString());
  edTelnetIP->SetEnabled(!open);
  btTelnet->setText(open ? "Disconnect" : "Connect");
}

void TfrmMain::WatchTelnet() {
  ShowTelnetSession();
  if (Telnet->Connected()) {
    SetStatusText("Telnet connected");
  } else {
    SetStatusText("Telnet disconnected");
    data_.WorkState = wsIdle;
  }
}

void TfrmMain::TelnetDataAvailable(const std::string& buffer) { mmScreen->ShowReceived(ScreenStepsOf(buffer)); }

void TfrmMain::mmScreenKeyPress(char key) {
  if (Telnet->Connected()) Telnet->SendCh(key);
}

void TfrmMain::TelnetDisconnect() { mmScreen->AddLine("Disconnected"); }

void TfrmMain::TelnetReaderEnd(const std::string& reason) {
  // "Socket Error # 10054\nConnection reset by peer." shows as its text.
  const std::string text = reason.substr(reason.find('\n') == std::string::npos ? 0 : reason.find('\n') + 1);
  mmScreen->AddLine(QString::fromStdString("Disconnected: " + text));
  ShowTelnetSession();
  if (data_.WorkState == wsTelnet) WatchTelnet();
}

void TfrmMain::DisconnectTelnet() {
  Telnet->CancelConnect();
  if (Telnet->Connected()) Telnet->Disconnect();
}

}  // namespace qz::app
