#include "console_page.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "console_screen.h"
#include "console_text.h"
#include "event_hooks.h"
#include "exception_report.h"
#include "ip_edit.h"
#include "layout.h"
#include "telnet_client.h"
#include "window_services.h"

namespace qz::app {

TConsolePage::TConsolePage(QWidget* page, QLabel* sessionLabel, const TLayout& layout, TWindowServices& window)
    : window_(window), lbTelnet(sessionLabel) {
  layout.Place(new QLabel("IP address", page), "Label4", 16, 10, -1, 17);
  edTelnetIP = layout.Place(new TIPEdit(page), "edTelnetIP", 80, 8, 185);
  btTelnet = layout.Place(new QPushButton("Connect", page), "btTelnet", 556, 12, 76, 25);
  btTelnet->setDefault(true);
  mmScreen = layout.Place(new TConsoleScreen(page), "mmScreen", 0, 40, 641, 385);

  client_ = std::make_unique<telnet::TTelnetClient>();
  client_->Port = 23;
  client_->SetTerminal("dumb");
  client_->ReadTimeout = 0;
  client_->OnDataAvailable = [this](const std::string& buffer) {
    Guarded(mmScreen, [&] { DataAvailable(buffer); });
  };
  client_->OnDisconnect = [this] { mmScreen->AddLine("Disconnected"); };
  client_->OnReaderEnd = [this](const std::string& reason) { Guarded(mmScreen, [&] { ReaderEnd(reason); }); };

  QObject::connect(btTelnet, &QPushButton::clicked, btTelnet, [this] { Guarded(btTelnet, [&] { ConnectClick(); }); });
  QObject::connect(mmScreen, &TConsoleScreen::characterTyped, mmScreen,
                   [this](char key) { Guarded(mmScreen, [&] { KeyTyped(key); }); });
  // The address editor's Enter is the Connect button's, as in a dialog.
  for (int octet = 0; octet < 4; ++octet)
    OnKeyPress(edTelnetIP->OctetField(octet), [this](const QKeyEvent& key) {
      if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter) return false;
      btTelnet->click();
      return true;
    });
}

TConsolePage::~TConsolePage() = default;

void TConsolePage::ConnectClick() {
  // A second click while the connect still waits changes nothing.
  if (connecting_) return;
  if (client_->Connected()) {
    client_->Disconnect();
    ShowSession();
    return;
  }
  const QString address = edTelnetIP->Text();
  client_->Host = address.toStdString();
  mmScreen->ClearScreen();
  mmScreen->AddLine("Connecting " + address + "...");
  mmScreen->AddLine({});
  mmScreen->setFocus();
  connecting_ = true;
  try {
    client_->Connect(-1);
  } catch (...) {
    connecting_ = false;
    if (window_.Closing()) return;
    throw;
  }
  connecting_ = false;
  window_.RequestWork(wsTelnet);
}

void TConsolePage::ShowAddress(const QString& selected) {
  // An open session keeps its address on the page: the page never shows
  // one device while the keys typed go to another.
  if (!client_->Connected() && !connecting_) edTelnetIP->SetText(selected);
}

void TConsolePage::ShowSession() {
  const bool open = client_->Connected();
  lbTelnet->setText(open ? "Telnet: " + QString::fromStdString(client_->Host) : QString());
  edTelnetIP->SetEnabled(!open);
  btTelnet->setText(open ? "Disconnect" : "Connect");
}

void TConsolePage::Watch() {
  ShowSession();
  if (client_->Connected()) {
    window_.SetStatusText("Telnet connected");
  } else {
    window_.SetStatusText("Telnet disconnected");
    window_.Data().WorkState = wsIdle;
  }
}

void TConsolePage::DataAvailable(const std::string& buffer) { mmScreen->ShowReceived(ScreenStepsOf(buffer)); }

void TConsolePage::KeyTyped(char key) {
  if (client_->Connected()) client_->SendCh(key);
}

void TConsolePage::ReaderEnd(const std::string& reason) {
  // "Socket Error # 10054\nConnection reset by peer." shows as its text.
  const std::string text = reason.substr(reason.find('\n') == std::string::npos ? 0 : reason.find('\n') + 1);
  mmScreen->AddLine(QString::fromStdString("Disconnected: " + text));
  ShowSession();
  if (window_.Data().WorkState == wsTelnet) Watch();
}

void TConsolePage::Disconnect() {
  client_->CancelConnect();
  if (client_->Connected()) client_->Disconnect();
}

}  // namespace qz::app
