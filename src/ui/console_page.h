#pragma once
// The Telnet page: a console on a device's Telnet port, its session and the
// status bar's word of it.
#include <memory>
#include <string>

#include <QString>

class QLabel;
class QPushButton;
class QWidget;
class TConsoleScreen;
class TIPEdit;

namespace qz::telnet {
class TTelnetClient;
}

namespace qz::app {

class TLayout;
class TWindowServices;

class TConsolePage {
 public:
  // Makes its controls on page; sessionLabel is the status bar's.
  TConsolePage(QWidget* page, QLabel* sessionLabel, const TLayout& layout, TWindowServices& window);
  ~TConsolePage();
  TConsolePage(const TConsolePage&) = delete;
  TConsolePage& operator=(const TConsolePage&) = delete;

  // The selected device's address on the page, unless a session is open.
  void ShowAddress(const QString& selected);
  // The work of the Telnet state: says whether the session is open, and
  // ends the state when it is not.
  void Watch();
  // Ends the session, and a connect that still waits (the window closes).
  void Disconnect();
  telnet::TTelnetClient& Client() { return *client_; }

 private:
  void ConnectClick();
  void DataAvailable(const std::string& buffer);
  void KeyTyped(char key);
  void ReaderEnd(const std::string& reason);
  // The open session's address in the status bar, and the page's controls to match.
  void ShowSession();

  TWindowServices& window_;
  QLabel* lbTelnet;
  TIPEdit* edTelnetIP;
  QPushButton* btTelnet;
  TConsoleScreen* mmScreen;
  std::unique_ptr<telnet::TTelnetClient> client_;
  bool connecting_ = false;
};

}  // namespace qz::app
