// The ping monitor of the window.
#include <QCheckBox>
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
    ";-------- Machine generated file - DO NOT EDIT !!! -----\r\n"
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
    window_->Timer->stop();
    window_->Data().Ticks = 0;
  }
  std::unique_ptr<DeviceLab> lab_;
};

}  // namespace

TEST_F(PingTest, AnsweringDeviceShowsItsTimeAndTheLedsBlink) {
  Open("true");
  EXPECT_TRUE(window_->Led1->LedOn());
  EXPECT_FALSE(window_->Led2->LedOn());
  window_->TimerTimer();
  EXPECT_TRUE(window_->edPing->text() == "< 1 mS" || window_->edPing->text().endsWith(" mS"))
      << window_->edPing->text().toStdString();
  EXPECT_FALSE(window_->Led1->LedOn());
  EXPECT_TRUE(window_->Led2->LedOn());
  window_->TimerTimer();
  EXPECT_TRUE(window_->Led1->LedOn());
  EXPECT_FALSE(window_->Led2->LedOn());
}

TEST_F(PingTest, PingsOnlyWhenItsConditionsHold) {
  Open("true");
  struct Step {
    const char* name;
    QWidget* page;
    uint8_t state;
    int ticks;
    bool pinged;
  };
  const Step steps[] = {
      {"settings page", window_->tsSettings, wsIdle, 0, false},
      {"telnet page", window_->tsTelnet, wsIdle, 0, false},
      {"halted", window_->tsManage, wsHalted, 0, false},
      {"tick 29 pings", window_->tsManage, wsIdle, 28, true},
      {"tick 30 refreshes", window_->tsManage, wsIdle, 29, false},
      {"tick 31 while not idle", window_->tsManage, wsHalted, 30, false},
  };
  for (const auto& step : steps) {
    window_->PageControl->setCurrentWidget(step.page);
    window_->Data().WorkState = step.state;
    window_->Data().Ticks = step.ticks;
    const bool before = window_->Led1->LedOn();
    window_->TimerTimer();
    EXPECT_EQ(window_->Led1->LedOn() != before, step.pinged) << step.name;
  }
  // Without a device nothing is pinged.
  window_->Data().SelectedIP.clear();
  window_->Data().WorkState = wsIdle;
  window_->Data().Ticks = 0;
  const bool before = window_->Led1->LedOn();
  window_->TimerTimer();
  EXPECT_EQ(window_->Led1->LedOn(), before);
}

TEST_F(PingTest, UntickingHidesTheMonitorAndStoresIt) {
  Open("true");
  window_->PageControl->setCurrentWidget(window_->tsSettings);
  window_->cbPing->click();
  for (QWidget* control : std::initializer_list<QWidget*>{window_->edPing, window_->Led1, window_->Led2})
    EXPECT_TRUE(control->isHidden()) << control->objectName().toStdString();
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")),
            SettingsFile("127.0.0.70", "127.0.0.72", "false", "100", "2", "false"));
  window_->PageControl->setCurrentWidget(window_->tsManage);
  window_->Data().WorkState = wsIdle;
  const bool before = window_->Led1->LedOn();
  window_->TimerTimer();
  EXPECT_EQ(window_->Led1->LedOn(), before);
}

TEST_F(PingTest, SilentDeviceTimesOutAfterTheSetTimeOut) {
  Open("false", "300");
  SilentEchoNetwork silent;
  ASSERT_EQ(silent.Failure(), "");
  window_->cbPing->click();
  int eventsWhileWaiting = 0;
  QTimer counter;
  QObject::connect(&counter, &QTimer::timeout, [&] { ++eventsWhileWaiting; });
  counter.start(20);
  const auto start = std::chrono::steady_clock::now();
  window_->TimerTimer();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(290));
  EXPECT_EQ(window_->edPing->text(), "Time out");
  EXPECT_GE(eventsWhileWaiting, 5);
}
