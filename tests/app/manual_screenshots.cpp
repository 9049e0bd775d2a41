// The manual's pictures, made of the real window on the demo's device lab.
// With QZ_MANUAL_IMAGES=<folder> (tools/manual-screenshots.sh, under Xvfb)
// each picture is written there; without it, each is compared with the
// manual's own, so that a window whose size or pages changed shows as a
// manual to make again.
#include <QComboBox>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "console_screen.h"
#include "ip_edit.h"
#include "servers.h"
#include "window_fixture.h"

using namespace qz::test;

namespace {

std::string LabText() { return ReadFileBytes(std::string(QZ_SOURCE_DIR) + "/tools/lab/demo.lab"); }

class ManualScreenshots : public WindowTest {
 protected:
  void SetUp() override {
    if (const std::string why = SnmpPeersUnavailable(); !why.empty()) GTEST_SKIP() << why;
    lab_ = std::make_unique<DeviceLab>(LabText());
    ASSERT_TRUE(lab_->Started());
    // The demo's settings: its scan range covers the lab, pings on.
    Start(SettingsFile("127.0.0.10", "127.0.0.20", "false", "100", "2", "true"), std::nullopt, true);
  }
  void Scan() {
    Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
    Control<QPushButton>("btScan")->click();
    ASSERT_TRUE(WaitUntil([&] { return Control<QPushButton>("btScan")->text() == "Scan"; }, 30000));
    ASSERT_TRUE(WaitForStatus("state Idle"));
  }
  void SelectAddress(const QString& address) {
    const int row = Control<QComboBox>("cbAdrIP")->findText(address);
    ASSERT_GE(row, 0) << address.toStdString();
    Select(row);
  }
  // Writes the picture, or compares it with the manual's.
  void Picture(const char* name) {
    QTest::qWait(300);  // the LEDs' and values' last paint
    const QImage shot = window_->grab().toImage();
    const QString file = QString(name) + ".png";
    if (const char* folder = std::getenv("QZ_MANUAL_IMAGES")) {
      ASSERT_TRUE(shot.save(QString(folder) + "/" + file)) << name;
      return;
    }
    const QImage manual(QString(QZ_SOURCE_DIR) + "/docs/manual/images/" + file);
    ASSERT_FALSE(manual.isNull()) << "the manual has no " << file.toStdString();
    EXPECT_EQ(manual.size(), shot.size()) << file.toStdString()
                                          << ": the window changed; make the pictures again (tools/manual-screenshots.sh)";
  }
  std::unique_ptr<DeviceLab> lab_;
};

}  // namespace

TEST_F(ManualScreenshots, SettingsAfterAScan) {
  Scan();
  Picture("settings");
}

TEST_F(ManualScreenshots, ManageAStation) {
  Scan();
  SelectAddress("127.0.0.14");
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  Picture("manage");
}

TEST_F(ManualScreenshots, ManageAStationWithoutParameters) {
  Scan();
  SelectAddress("127.0.0.18");
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  Picture("manage-no-parameters");
}

TEST_F(ManualScreenshots, TelnetConsole) {
  if (const std::string why = TelnetServersUnavailable(); !why.empty()) GTEST_SKIP() << why;
  BusyboxTelnetd shell("127.0.0.14");
  ASSERT_TRUE(shell.Started());
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsTelnet"));
  Control<TIPEdit>("edTelnetIP")->SetText("127.0.0.14");
  Control<QPushButton>("btTelnet")->click();
  auto* screen = Control<TConsoleScreen>("mmScreen");
  ASSERT_TRUE(WaitUntil([&] { return screen->toPlainText().contains("# "); }));
  QTest::keyClicks(screen, "uname -sm; echo station ready");
  QTest::keyClick(screen, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return screen->toPlainText().contains("station ready\n"); }));
  Picture("telnet");
}
