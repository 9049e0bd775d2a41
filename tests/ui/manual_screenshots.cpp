// The manual's pictures, made of the real window on the demo's device lab.
// With QZ_MANUAL_IMAGES=<folder> (tools/manual-screenshots.sh, under Xvfb)
// each picture is written there; without it, each is compared with the
// manual's own, so that a window whose size or pages changed shows as a
// manual to make again.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "console_screen.h"
#include "history_generator.h"
#include "history_store.h"
#include "history_window.h"
#include "ip_edit.h"
#include "servers.h"
#include "window_fixture.h"

using namespace qz::test;

namespace {

const qz::history::TDeviceKey kStation{"127.0.0.14", "Main distribution", "QZ300"};
// 2026-12-09T00:00:00Z
constexpr int64_t kDayBefore = 1796774400000;

std::string LabText() { return ReadFileBytes(std::string(QZ_SOURCE_DIR) + "/tools/lab/demo.lab"); }

QPalette DarkPalette() {
  QPalette dark;
  const QColor window(45, 45, 48), base(30, 30, 32), text(220, 220, 220);
  for (auto [role, color] : {std::pair{QPalette::Window, window}, std::pair{QPalette::Base, base},
                             std::pair{QPalette::AlternateBase, window}, std::pair{QPalette::Button, window},
                             std::pair{QPalette::WindowText, text}, std::pair{QPalette::Text, text},
                             std::pair{QPalette::ButtonText, text}, std::pair{QPalette::ToolTipBase, base},
                             std::pair{QPalette::ToolTipText, text}, std::pair{QPalette::PlaceholderText, QColor(150, 150, 150)}})
    dark.setColor(role, color);
  return dark;
}

class ManualScreenshots : public WindowTest {
 protected:
  void SetUp() override {
    if (const std::string why = SnmpPeersUnavailable(); !why.empty()) GTEST_SKIP() << why;
    lab_ = std::make_unique<DeviceLab>(LabText());
    ASSERT_TRUE(lab_->Started());
    // A day of the QZ300's history, as a day of recording leaves it.
    qz::history::TStoreSettings history;
    history.File = WorkingFile("QZhistory.db");
    qz::history::THistoryStore store(history);
    ASSERT_EQ(store.Open(), "");
    ASSERT_EQ(store.Write(DeviceDay(kStation, kDayBefore)), "");
    // A look at the window as operators may have it: QZ_MANUAL_FONT_PT=12,
    // QZ_MANUAL_PALETTE=dark (with QT_SCALE_FACTOR=2 for a high-density screen).
    if (const char* points = std::getenv("QZ_MANUAL_FONT_PT")) {
      QFont font("DejaVu Sans");
      font.setPointSize(std::atoi(points));
      QApplication::setFont(font);
    }
    if (const char* palette = std::getenv("QZ_MANUAL_PALETTE"); palette && std::string(palette) == "dark")
      QApplication::setPalette(DarkPalette());
    // The demo's settings: its scan range covers the lab, pings on.
    Start(SettingsFile("127.0.0.10", "127.0.0.20", "false", "100", "2", "true"), std::nullopt, true);
  }
  void Scan() {
    Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
    Control<QPushButton>("btScan")->click();
    ASSERT_TRUE(WaitUntil([&] { return Control<QPushButton>("btScan")->text() == "Scan"; }, 30000));
    // The first device found is filled.
    ASSERT_TRUE(WaitForWork("state Fill data"));
  }
  void SelectAddress(const QString& address) {
    const int row = Control<QComboBox>("cbAdrIP")->findText(address);
    ASSERT_GE(row, 0) << address.toStdString();
    Select(row);
  }
  // Writes the picture of the window (or another), or compares it with the manual's.
  void Picture(const char* name, QWidget* shown = nullptr) {
    QTest::qWait(300);  // the LEDs' and values' last paint
    const QImage shot = (shown ? shown : window_.get())->grab().toImage();
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
  // The scan shows the first device found; the picture is of the page the scan ran on.
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
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

TEST_F(ManualScreenshots, HistoryOfADay) {
  Scan();
  SelectAddress("127.0.0.14");
  window_->findChild<QAction*>("itmHistory")->trigger();
  auto* history = window_->findChild<qz::app::THistoryWindow*>("frmHistory");
  ASSERT_NE(history, nullptr);
  history->SetRange(kDayBefore, kDayBefore + 24LL * 3600 * 1000 - 1);
  ASSERT_TRUE(WaitUntil([&] { return !history->Loading(); }, 10000));
  Picture("history", history);
}

// A station's service console, as an operator meets it.
TEST_F(ManualScreenshots, TelnetConsole) {
  InetdStyleServer console("127.0.0.14",
                           {"/usr/bin/python3", std::string(QZ_SOURCE_DIR) + "/tests/support/station_console.py"});
  ASSERT_TRUE(console.Started());
  Scan();
  SelectAddress("127.0.0.14");
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsTelnet"));
  Control<TIPEdit>("edTelnetIP")->SetText("127.0.0.14");
  Control<QPushButton>("btTelnet")->click();
  auto* screen = Control<TConsoleScreen>("mmScreen");
  ASSERT_TRUE(WaitUntil([&] { return screen->toPlainText().contains("qz300> "); }));
  QTest::keyClicks(screen, "show status");
  QTest::keyClick(screen, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return screen->toPlainText().contains("Temperature 23.5 C"); }));
  Picture("telnet");
}

// The whole demo lab in the Fleet window, two of its devices in alarm.
TEST_F(ManualScreenshots, FleetOfTheDemo) {
  Scan();
  window_->findChild<QAction*>("itmFleet")->trigger();
  auto* fleet = window_->findChild<QWidget*>("FleetWindow");
  ASSERT_NE(fleet, nullptr);
  qz::app::TFleetWatch& watch = Seam().Fleet();
  ASSERT_TRUE(WaitUntil([&] { return watch.CyclesDone() >= 1; }, 10000));
  watch.PollNow();
  ASSERT_TRUE(WaitUntil([&] { return watch.CyclesDone() >= 2; }, 10000));
  Picture("fleet", fleet);
}
