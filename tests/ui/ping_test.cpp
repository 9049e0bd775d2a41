// The ping monitor of the window.
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

#include "led.h"
#include "netns.h"
#include "window_fixture.h"

using namespace qz::test;
using qz::app::wsHalted;
using qz::app::wsIdle;

namespace {

const std::string kList =
    kListHeader +
    "127.0.0.71\tPinged unit\tBay 7\tQZ120\tSNMP station vers. 1.06 \r\n";

class PingTest : public WindowTest {
 protected:
  void SetUp() override {
    if (const std::string why = SnmpPeersUnavailable(); !why.empty()) GTEST_SKIP() << why;
    lab_ = std::make_unique<DeviceLab>("[127.0.0.71]\ntype = QZ120\nfirmware = SNMP station vers. 1.06\n");
    ASSERT_TRUE(lab_->Started());
  }
  // Opens the window on the lab device, filled and idle, its timer stopped
  // so that the test gives the ticks.
  void Open(const std::string& pingDevices, const std::string& pingTimeOut = "100") {
    Start(SettingsFile("127.0.0.70", "127.0.0.72", "false", "100", "2", pingDevices, pingTimeOut), kList, true);
    ASSERT_TRUE(WaitForWork("state Fill data"));
    Control<QTimer>("Timer")->stop();
    Seam().SetTicks(0);
  }
  std::unique_ptr<DeviceLab> lab_;
};

}  // namespace

TEST_F(PingTest, AnsweringDeviceShowsItsTimeAndTheLedsBlink) {
  Open("true");
  EXPECT_TRUE(Control<TLed>("Led1")->LedOn());
  EXPECT_FALSE(Control<TLed>("Led2")->LedOn());
  Seam().TimerTick();
  EXPECT_TRUE(Control<QLineEdit>("edPing")->text() == "< 1 ms" || Control<QLineEdit>("edPing")->text().endsWith(" ms"))
      << Control<QLineEdit>("edPing")->text().toStdString();
  EXPECT_FALSE(Control<TLed>("Led1")->LedOn());
  EXPECT_TRUE(Control<TLed>("Led2")->LedOn());
  EXPECT_EQ(Control<TLed>("Led2")->BrushColor(), QColor(0, 255, 0));
  Seam().TimerTick();
  EXPECT_TRUE(Control<TLed>("Led1")->LedOn());
  EXPECT_FALSE(Control<TLed>("Led2")->LedOn());
}

TEST_F(PingTest, PingsOnlyWhenItsConditionsHold) {
  Open("true");
  struct Step {
    const char* name;
    QWidget* page;
    qz::app::TWorkState state;
    int ticks;
    bool pinged;
  };
  const Step steps[] = {
      {"settings page", Control<QWidget>("tsSettings"), wsIdle, 0, false},
      {"telnet page", Control<QWidget>("tsTelnet"), wsIdle, 0, false},
      {"halted", Control<QWidget>("tsManage"), wsHalted, 0, false},
      {"tick 29 pings", Control<QWidget>("tsManage"), wsIdle, 28, true},
      {"tick 30 refreshes", Control<QWidget>("tsManage"), wsIdle, 29, false},
      {"tick 31 while not idle", Control<QWidget>("tsManage"), wsHalted, 30, false},
  };
  for (const auto& step : steps) {
    Control<QTabWidget>("PageControl")->setCurrentWidget(step.page);
    Seam().SetWorkState(step.state);
    Seam().SetTicks(step.ticks);
    const bool before = Control<TLed>("Led1")->LedOn();
    Seam().TimerTick();
    EXPECT_EQ(Control<TLed>("Led1")->LedOn() != before, step.pinged) << step.name;
  }
  // Without a device nothing is pinged.
  Start(SettingsFile("127.0.0.70", "127.0.0.72", "false", "100", "2", "true"),
        kListHeader);
  Control<QTimer>("Timer")->stop();
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  Seam().SetWorkState(wsIdle);
  Seam().SetTicks(0);
  const bool before = Control<TLed>("Led1")->LedOn();
  Seam().TimerTick();
  EXPECT_EQ(Control<TLed>("Led1")->LedOn(), before);
}

TEST_F(PingTest, UntickingHidesTheMonitorAndStoresIt) {
  Open("true");
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  Control<QCheckBox>("cbPing")->click();
  for (QWidget* control : std::initializer_list<QWidget*>{Control<QLineEdit>("edPing"), Control<TLed>("Led1"), Control<TLed>("Led2")})
    EXPECT_TRUE(control->isHidden()) << control->objectName().toStdString();
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")),
            SettingsFile("127.0.0.70", "127.0.0.72", "false", "100", "2", "false"));
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  Seam().SetWorkState(wsIdle);
  const bool before = Control<TLed>("Led1")->LedOn();
  Seam().TimerTick();
  EXPECT_EQ(Control<TLed>("Led1")->LedOn(), before);
}

TEST_F(PingTest, SilentDeviceTimesOutAfterTheSetTimeOut) {
  Open("false", "300");
  SilentEchoNetwork silent;
  ASSERT_EQ(silent.Failure(), "");
  Control<QCheckBox>("cbPing")->click();
  int eventsWhileWaiting = 0;
  QTimer counter;
  QObject::connect(&counter, &QTimer::timeout, [&] { ++eventsWhileWaiting; });
  counter.start(20);
  const auto start = std::chrono::steady_clock::now();
  Seam().TimerTick();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(290));
  EXPECT_EQ(Control<QLineEdit>("edPing")->text(), "Time out");
  // The LED that lit for this ping is not the green of an answer.
  EXPECT_EQ(Control<TLed>("Led2")->BrushColor(), QColor(255, 0, 0));
  EXPECT_GE(eventsWhileWaiting, 5);
}

// Debian 12 lets no group have the ICMP datagram socket: the pings go
// through the system's ping program, and the window says so.
TEST_F(PingTest, WhereNoEchoSocketIsAllowedThePingsGoThroughThePingProgram) {
  if (access("/bin/ping", X_OK) != 0) GTEST_SKIP() << "/bin/ping is not installed";
  Open("true");
  {
    NoEchoSockets noSockets;
    ASSERT_EQ(noSockets.Failure(), "");
    Seam().TimerTick();
  }
  EXPECT_TRUE(Control<QLineEdit>("edPing")->text().endsWith(" ms")) << Control<QLineEdit>("edPing")->text().toStdString();
  EXPECT_EQ(Control<QLineEdit>("edPing")->toolTip(), "Pinged through /bin/ping");
  EXPECT_TRUE(Control<QCheckBox>("cbPing")->isChecked());
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "");
}

TEST_F(PingTest, WhereNoWayToPingIsAllowedThePingsStopWithOneNotice) {
  // No ping program either ([Ping] Program empty).
  WriteFileBytes(WorkingFile("QZexplorer.conf"), "[Ping]\r\nProgram=\r\n");
  Open("true");
  const std::string settings = ReadFileBytes(WorkingFile("QZexplorer.ini"));
  const bool ledBefore = Control<TLed>("Led1")->LedOn();
  {
    NoEchoSockets noSockets;
    ASSERT_EQ(noSockets.Failure(), "");
    Seam().TimerTick();
  }
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(),
            "Ping needs iputils-ping (/bin/ping) or net.ipv4.ping_group_range to include your group");
  EXPECT_FALSE(Control<QCheckBox>("cbPing")->isChecked());
  for (QWidget* control : std::initializer_list<QWidget*>{Control<QLineEdit>("edPing"), Control<TLed>("Led1"), Control<TLed>("Led2")})
    EXPECT_TRUE(control->isHidden()) << control->objectName().toStdString();
  EXPECT_EQ(Control<TLed>("Led1")->LedOn(), ledBefore);
  // No ping at the next ticks, and the operator's stored choice is untouched.
  Control<QLabel>("lbNotice")->clear();
  Seam().TimerTick();
  EXPECT_EQ(Control<TLed>("Led1")->LedOn(), ledBefore);
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "");
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")), settings);
  // Ticked again, on a system that allows echoes: the pings resume.
  Control<QCheckBox>("cbPing")->click();
  Seam().TimerTick();
  EXPECT_NE(Control<TLed>("Led1")->LedOn(), ledBefore);
  EXPECT_TRUE(Control<QLineEdit>("edPing")->text().endsWith(" ms")) << Control<QLineEdit>("edPing")->text().toStdString();
}
