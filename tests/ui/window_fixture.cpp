#include "window_fixture.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QTest>

namespace qz::test {

void TypeText(QLineEdit* edit, const QString& text) {
  edit->setText(text);
  edit->setModified(true);
}

std::string SettingsFile(const std::string& start, const std::string& stop, const std::string& startupScan,
                         const std::string& snmpTimeOut, const std::string& retryCount,
                         const std::string& pingDevices, const std::string& pingTimeOut) {
  std::string text;
  for (const auto& line : {start, stop, startupScan, std::string("kelvor"), std::string("stranix"), snmpTimeOut,
                           retryCount, pingDevices, pingTimeOut})
    text += line + "\r\n";
  return text;
}

WindowTest::WindowTest() : dir_("window"), previousDir_(std::filesystem::current_path()) {
  std::filesystem::current_path(dir_.Path());
}

WindowTest::~WindowTest() {
  window_.reset();
  std::filesystem::current_path(previousDir_);
}

void WindowTest::Start(const std::optional<std::string>& settings, const std::optional<std::string>& deviceList,
                       bool withDeviceFiles) {
  if (settings) WriteFileBytes(dir_.File("QZexplorer.ini"), *settings);
  if (deviceList) WriteFileBytes(dir_.File("QZdevices.cfg"), *deviceList);
  if (withDeviceFiles)
    std::filesystem::copy(std::string(QZ_SOURCE_DIR) + "/DeviceFiles", dir_.File("DeviceFiles"));
  window_ = std::make_unique<app::TfrmMain>();
  statusHistory_.clear();
  statusSeen_ = 0;
  QObject::connect(window_->findChild<QStatusBar*>("sbState"), &QStatusBar::messageChanged,
                   [this](const QString& text) { statusHistory_ << text; });
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
}

bool WindowTest::WaitForStatus(const QString& text, int timeoutMs) {
  return WaitUntil([&] { return window_->findChild<QStatusBar*>("sbState")->currentMessage() == text; }, timeoutMs);
}

bool WindowTest::WaitForWork(const QString& workStatus, int timeoutMs) {
  qsizetype at = -1;
  const bool done = WaitUntil(
      [&] {
        at = statusHistory_.indexOf(workStatus, statusSeen_);
        return at >= 0 && window_->findChild<QStatusBar*>("sbState")->currentMessage() == "state Idle";
      },
      timeoutMs);
  if (done) statusSeen_ = at + 1;
  return done;
}

void WindowTest::Select(int row) {
  auto* addresses = window_->findChild<QComboBox*>("cbAdrIP");
  addresses->setCurrentIndex(row);
  emit addresses->activated(row);
  ASSERT_TRUE(WaitForWork("state Fill data"));
}

bool WindowTest::WaitForHalt(int timeoutMs) {
  return WaitUntil([&] { return Seam().State().WorkState == app::wsHalted; }, timeoutMs);
}

void WindowTest::ExpectHaltSaid(const QString& message) {
  EXPECT_EQ(Seam().State().WorkState, app::wsHalted);
  EXPECT_EQ(Control<QTabWidget>("PageControl")->currentWidget(), Control<QWidget>("tsManage"));
  const auto* said = Control<QGroupBox>("gbControl")->findChild<QLabel*>("lbHalted");
  ASSERT_NE(said, nullptr);
  EXPECT_EQ(said->text(), message);
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), message);
  EXPECT_TRUE(messages_.Texts().isEmpty()) << messages_.Texts().join("|").toStdString();
}

}  // namespace qz::test
