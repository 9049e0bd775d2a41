#pragma once
// A real main window started in a working folder of the test's own, with the
// settings file (and device list file) the test gives it.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <QLineEdit>
#include <QStatusBar>
#include <gtest/gtest.h>

#include "device_list_file.h"
#include "gui.h"
#include "main_window.h"
#include "main_window_test_seam.h"
#include "peers.h"

namespace qz::test {

// The first line of every device list file the program writes.
inline const std::string kListHeader = std::string(qz::app::kDeviceListHeader) + "\r\n";

// Puts text into an edit as the operator's typing leaves it (marked as edited).
void TypeText(QLineEdit* edit, const QString& text);

// Nine settings lines with CR LF, for a scan range of the test's own.
std::string SettingsFile(const std::string& start, const std::string& stop, const std::string& startupScan = "false",
                         const std::string& snmpTimeOut = "100", const std::string& retryCount = "2",
                         const std::string& pingDevices = "false", const std::string& pingTimeOut = "100");

class WindowTest : public ::testing::Test {
 protected:
  WindowTest();
  ~WindowTest() override;

  // Writes the files (a missing optional writes none) and opens the window.
  void Start(const std::optional<std::string>& settings, const std::optional<std::string>& deviceList = std::nullopt,
             bool withDeviceFiles = false);
  // Handles events until the status bar reads text.
  bool WaitForStatus(const QString& text, int timeoutMs = 5000);
  // Handles events until the window has shown the work status (which it
  // shows only while the work runs) since the work last waited for, and is
  // idle again.
  bool WaitForWork(const QString& workStatus, int timeoutMs = 10000);
  // Picks a row of the address list as the operator does and waits for its fill.
  void Select(int row);
  // Handles events until the window has halted (its identity check of a
  // device failed).
  bool WaitForHalt(int timeoutMs = 10000);
  // The window halted on the Manage page saying message on its panel and in
  // its status bar, with no message box.
  void ExpectHaltSaid(const QString& message);
  std::string WorkingFile(const std::string& name) const { return dir_.File(name); }
  // A file of the working folder as messages name it: its whole path.
  static QString WholePath(const std::string& name) {
    return QString::fromStdString((std::filesystem::current_path() / name).lexically_normal().string());
  }
  // A control of the window, by its object name.
  template <typename Widget>
  Widget* Control(const char* name) const {
    Widget* control = window_->findChild<Widget*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  app::TfrmMainTestSeam Seam() const { return app::TfrmMainTestSeam(*window_); }

  ScratchDir dir_;
  std::filesystem::path previousDir_;
  std::unique_ptr<app::TfrmMain> window_;
  MessageBoxCatcher messages_;
  QStringList statusHistory_;  // every status text the window has shown
  qsizetype statusSeen_ = 0;
};

}  // namespace qz::test
