// The device panel: built from the description file, filled and refreshed
// from an emulated device, and its parameters written back.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "capture.h"
#include "led.h"
#include "net.h"
#include "window_fixture.h"

using namespace qz::test;

namespace {

constexpr char kPanelLab[] = R"(
[127.0.0.51]
type = QZ120
firmware = SNMP station vers. 1.06
name = Panel unit
location = Lab bench
contact = tester
set 1.3.6.1.4.1.98361.2.1.1.0 = "SN 4711"
set 1.3.6.1.4.1.98361.2.1.2.0 = "2.03"
set 1.3.6.1.4.1.98361.2.2.1.0 = 0
set 1.3.6.1.4.1.98361.2.2.2.0 = 1
set 1.3.6.1.4.1.98361.2.3.1.0 = 235
set 1.3.6.1.4.1.98361.2.3.2.0 = 1300
set 1.3.6.1.4.1.98361.2.4.1.0 = 2
set 1.3.6.1.4.1.98361.2.4.2.0 = 1
readonly = 1.3.6.1.4.1.98361.2.4.2.0
[127.0.0.52]
type = QZ50
firmware = SNMP station vers. 1.10
name = Sensor
[127.0.0.53]
type = QZ999
firmware = SNMP station vers. 1.00
name = Unknown kind
[127.0.0.54]
type = QZ300
firmware = SNMP station vers. 2.10
name = Big unit
)";


std::string DeviceList(const std::string& address, const std::string& type, const std::string& lan) {
  return kListHeader + address + "\tname\tloc\t" + type + "\t" + lan + "\r\n";
}

QColor FontColor(const QComboBox* combo) { return combo->palette().color(QPalette::ButtonText); }

class PanelTest : public WithSuiteLab<kPanelLab, WindowTest> {
 protected:
  // Opens the window on one device of the lab and waits for its fill.
  void Open(const std::string& address, const std::string& type) {
    Start(SettingsFile("127.0.0.50", "127.0.0.59"), DeviceList(address, type, "SNMP station vers. 1.06 "), true);
    ASSERT_TRUE(WaitForWork("state Fill data"));
  }
  // Lets the timer request a refresh and waits until it has run.
  void Refresh() {
    Seam().SetTicks(29);
    ASSERT_TRUE(WaitForWork("state Refresh data"));
  }
  QComboBox* Combo(int index) { return Seam().Panel().DynParams().at(static_cast<size_t>(index)).Combo; }
};

}  // namespace

TEST_F(PanelTest, FillShowsTheWholeDevice) {
  Open("127.0.0.51", "QZ120");
  EXPECT_EQ(Control<QLineEdit>("edSysName")->text(), "Panel unit");
  EXPECT_EQ(Control<QLineEdit>("edSysLocation")->text(), "Lab bench");
  EXPECT_EQ(Control<QLineEdit>("edSysContact")->text(), "tester");
  EXPECT_TRUE(Control<QLineEdit>("edSysUpTime")->text().endsWith(" min.")) << Control<QLineEdit>("edSysUpTime")->text().toStdString();
  EXPECT_EQ(Control<QLineEdit>("edDevType")->text(), "QZ120");
  EXPECT_EQ(Control<QLineEdit>("edSN")->text(), "SN 4711");
  EXPECT_EQ(Control<QLineEdit>("edVers")->text(), "2.03");

  const auto& panel = Seam().Panel();
  ASSERT_EQ(panel.DynLeds().size(), 2u);
  EXPECT_EQ(panel.DynLeds()[0].Led->LedName, "Power supply");
  EXPECT_EQ(panel.DynLeds()[0].Led->BrushColor(), QColor(0, 255, 0));
  EXPECT_EQ(panel.DynLeds()[1].Led->BrushColor(), QColor(255, 0, 0));
  EXPECT_EQ(panel.DynLeds()[1].Led->pos(), QPoint(8, 44));
  EXPECT_EQ(panel.DynLeds()[1].NameLabel->text(), "Fan");
  EXPECT_EQ(panel.DynLeds()[1].NameLabel->pos(), QPoint(26, 42));
  ASSERT_EQ(panel.DynMeas().size(), 2u);
  EXPECT_EQ(panel.DynMeas()[0].ValueEdit->text(), "23.5");
  EXPECT_EQ(panel.DynMeas()[1].ValueEdit->text(), "60.0");
  EXPECT_EQ(panel.DynMeas()[1].NameLabel->text(), "Supply, V");
  ASSERT_EQ(panel.DynParams().size(), 3u);
  EXPECT_EQ(Combo(0)->currentText(), "Auto");
  EXPECT_EQ(Combo(0)->property("tag").toInt(), 0);
  EXPECT_EQ(panel.DynParams()[1].Combo, nullptr);
  EXPECT_EQ(Combo(2)->currentText(), "Enabled");
  EXPECT_EQ(Combo(2)->pos(), QPoint(8, 84));
  EXPECT_EQ(panel.DynParams()[2].NameLabel->text(), "Output");
  EXPECT_TRUE(messages_.Texts().isEmpty()) << messages_.Texts().join("|").toStdString();
}

TEST_F(PanelTest, RefreshShowsNewValues) {
  Open("127.0.0.51", "QZ120");
  const LabValueGuard leds[] = {{"127.0.0.51", "1.3.6.1.4.1.98361.2.2.1.0", 'i', "0"},
                                {"127.0.0.51", "1.3.6.1.4.1.98361.2.2.2.0", 'i', "1"},
                                {"127.0.0.51", "1.3.6.1.4.1.98361.2.3.1.0", 'i', "235"},
                                {"127.0.0.51", "1.3.6.1.4.1.98361.2.4.1.0", 'i', "2"}};
  ASSERT_TRUE(SnmpSetValue("127.0.0.51", "1.3.6.1.4.1.98361.2.2.1.0", 'i', "1"));
  ASSERT_TRUE(SnmpSetValue("127.0.0.51", "1.3.6.1.4.1.98361.2.2.2.0", 'i', "7"));
  ASSERT_TRUE(SnmpSetValue("127.0.0.51", "1.3.6.1.4.1.98361.2.3.1.0", 'i', "-5"));
  // Another operator sets a parameter: the panel shows it after one refresh.
  ASSERT_TRUE(SnmpSetValue("127.0.0.51", "1.3.6.1.4.1.98361.2.4.1.0", 'i', "0"));
  Control<QLineEdit>("edSysUpTime")->setText("stale");
  Refresh();
  const auto& panel = Seam().Panel();
  EXPECT_EQ(panel.DynLeds()[0].Led->BrushColor(), QColor(255, 0, 0));
  EXPECT_EQ(panel.DynLeds()[1].Led->BrushColor(), TStatusLed::kUnknownColor);
  EXPECT_EQ(panel.DynMeas()[0].ValueEdit->text(), "-0.5");
  EXPECT_EQ(Combo(0)->currentText(), "Off");
  EXPECT_TRUE(Control<QLineEdit>("edSysUpTime")->text().endsWith(" min."));
}

TEST_F(PanelTest, ChoosingAnItemWritesIt) {
  const LabValueGuard mode("127.0.0.51", "1.3.6.1.4.1.98361.2.4.1.0", 'i', "2");
  Open("127.0.0.51", "QZ120");
  ChooseInOpenList(Combo(0), 1);
  EXPECT_EQ(SnmpGetText("127.0.0.51", "1.3.6.1.4.1.98361.2.4.1.0"), "1");
  EXPECT_EQ(Combo(0)->currentText(), "On");
  EXPECT_EQ(FontColor(Combo(0)), QColor(Qt::black));
  EXPECT_EQ(Seam().State().WorkState, qz::app::wsRefreshData);
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "Mode set to On");
  // The focus stays where the operator was.
  EXPECT_EQ(window_->focusWidget(), Combo(0));
  ASSERT_TRUE(WaitForWork("state Refresh data"));

  // A refused write: the box shows what the device kept.
  ChooseInOpenList(Combo(2), 0);
  EXPECT_EQ(Combo(2)->currentText(), "Enabled");
  EXPECT_TRUE(Control<QLabel>("lbNotice")->text().startsWith("Output not written: the device "))
      << Control<QLabel>("lbNotice")->text().toStdString();
  EXPECT_EQ(FontColor(Combo(2)), QColor(255, 0, 0));
  EXPECT_EQ(SnmpGetText("127.0.0.51", "1.3.6.1.4.1.98361.2.4.2.0"), "1");
}

TEST_F(PanelTest, TabGoesThroughTheFieldsThenTheParameters) {
  Open("127.0.0.51", "QZ120");
  window_->activateWindow();
  QApplication::setActiveWindow(window_.get());
  Control<QLineEdit>("edSysName")->setFocus();
  std::vector<QWidget*> stops;
  for (int i = 0; i < 4; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    stops.push_back(QApplication::focusWidget());
  }
  // The second slot has no controls; the read-only boxes are no stops.
  ASSERT_EQ(Combo(1), nullptr);
  EXPECT_EQ(stops, (std::vector<QWidget*>{Control<QLineEdit>("edSysLocation"), Control<QLineEdit>("edSysContact"),
                                          Combo(0), Combo(2)}));
}

TEST_F(PanelTest, TypeWithoutParametersShowsTheWebLink) {
  Open("127.0.0.52", "QZ50");
  auto* link = Control<QGroupBox>("gbControl")->findChild<QLabel*>("webLink");
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->text(), "http://127.0.0.52");
  EXPECT_EQ(link->pos(), QPoint(200, 110));
  EXPECT_TRUE(link->font().underline());
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  QStringList captions;
  for (auto* label : Control<QGroupBox>("gbControl")->findChildren<QLabel*>()) captions << label->text();
  EXPECT_TRUE(captions.contains("No SNMP managed parameters."));
  EXPECT_TRUE(captions.contains("Refer to device Web page at "));
  // Offscreen no browser starts: the window names the page to open by hand.
  QTest::mouseClick(link, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "No browser or viewer could be started to open http://127.0.0.52");
}

TEST_F(PanelTest, MissingDescriptionFileIsNamed) {
  Open("127.0.0.53", "QZ999");
  const auto labels = Control<QGroupBox>("gbControl")->findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 1);
  EXPECT_EQ(labels[0]->text(), "File not found -  " + WholePath("DeviceFiles/QZ999.par"));
  EXPECT_EQ(labels[0]->pos(), QPoint(10, 100));
  EXPECT_EQ(Control<QLineEdit>("edSN")->text(), "");
  EXPECT_TRUE(Seam().Panel().DynLeds().empty());
}

TEST_F(PanelTest, LongListsWrapIntoColumns) {
  Open("127.0.0.54", "QZ300");
  const auto& panel = Seam().Panel();
  ASSERT_EQ(panel.DynLeds().size(), 10u);
  EXPECT_EQ(panel.DynLeds()[8].Led->pos(), QPoint(148, 24));
  ASSERT_EQ(panel.DynMeas().size(), 8u);
  EXPECT_EQ(panel.DynMeas()[6].ValueEdit->pos(), QPoint(148, 24));
  EXPECT_EQ(panel.DynMeas()[0].ValueEdit->text(), "23.5");
  EXPECT_EQ(panel.DynMeas()[1].ValueEdit->text(), "235");
}

TEST_F(PanelTest, NumberThatIsNotOneEndsThePass) {
  // A type stored as QZ120-lab passes the identity check of a QZ120.
  std::filesystem::create_directory(WorkingFile("DeviceFiles"));
  WriteFileBytes(WorkingFile("DeviceFiles/QZ120-lab.par"),
                 "A\tPower\t1.3.6.1.4.1.98361.2.2.1.0\r\nM\tV\t0\tx\t1\t1.2\r\nA\tLater\t1.3\r\n");
  Start(SettingsFile("127.0.0.50", "127.0.0.59"), DeviceList("127.0.0.51", "QZ120-lab", "SNMP station vers. 1.06 "));
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }, 10000));
  EXPECT_EQ(messages_.Texts().first(), "'x' is not a valid integer value");
  ASSERT_EQ(Seam().Panel().DynLeds().size(), 1u);
  // The pass ended before the reads: the LED is still undetermined.
  EXPECT_EQ(Seam().Panel().DynLeds()[0].Led->BrushColor(), TStatusLed::kUnknownColor);
  EXPECT_TRUE(WaitForStatus("state Idle"));
}

// A device that stops answering, on a lab of its own.
TEST_F(WindowTest, StoppedDeviceShowsNoResponse) {
  if (const std::string why = SnmpPeersUnavailable(); !why.empty()) GTEST_SKIP() << why;
  UdpCapture capture;
  DeviceLab lab("[127.0.0.55]\ntype = QZ120\nfirmware = SNMP station vers. 1.06\nreadonly = 1.3.6.1.4.1.98361.2.4.1.0\n");
  ASSERT_TRUE(lab.Started());
  Start(SettingsFile("127.0.0.50", "127.0.0.59"), DeviceList("127.0.0.55", "QZ120", "SNMP station vers. 1.06 "), true);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  const QString upTime = Control<QLineEdit>("edSysUpTime")->text();
  EXPECT_EQ(Control<QLabel>("lbSilent")->text(), "");
  lab.StopDevice("127.0.0.55");
  for (int refresh = 1; refresh <= 3; ++refresh) {
    const size_t sent = capture.SentTo("127.0.0.55").size();
    Seam().SetTicks(29);
    ASSERT_TRUE(WaitForWork("state Refresh data"));
    // One round of tries (two here) per refresh, not one per object.
    if (capture.Unavailable().empty()) {
      EXPECT_EQ(capture.SentTo("127.0.0.55").size() - sent, 2u) << refresh;
    }
  }
  // Marked once, however many refreshes fail.
  EXPECT_EQ(Control<QLineEdit>("edSysUpTime")->text(), upTime + " no response");
  EXPECT_EQ(Seam().Panel().DynMeas()[0].ValueEdit->text(), "???");
  EXPECT_EQ(Seam().Panel().DynLeds()[0].Led->BrushColor(), TStatusLed::kUnknownColor);
  EXPECT_TRUE(QRegularExpression("^no answer from station since \\d\\d:\\d\\d$")
                  .match(Control<QLabel>("lbSilent")->text())
                  .hasMatch())
      << Control<QLabel>("lbSilent")->text().toStdString();
  // A write that nobody answers leaves no choice shown that the device may not hold.
  auto* mode = Seam().Panel().DynParams()[0].Combo;
  ChooseInOpenList(mode, 1);
  EXPECT_EQ(mode->currentIndex(), -1);
  EXPECT_EQ(mode->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "Mode not written: no answer from 127.0.0.55");
}

// Events are handled while a GET waits. One that empties the panel (here the
// Manage page shown again with no device chosen, as after a scan that found
// none) ends the refresh's reads of the panel: nothing is read into controls
// that are gone.
TEST_F(PanelTest, APanelEmptiedWhileAGetWaitsIsNotReadInto) {
  Open("127.0.0.51", "QZ120");
  Control<QTimer>("Timer")->stop();
  int pumps = 0;
  {
    // The third GET of a refresh is the first measured value's.
    const qz::snmp::TMessagePumpScope whileWaiting([&] {
      if (++pumps != 3) return;
      Control<QComboBox>("cbAdrIP")->setCurrentIndex(-1);
      Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
      Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
    });
    Seam().Refresh();
  }
  ASSERT_GE(pumps, 3);
  EXPECT_TRUE(Seam().Panel().DynMeas().empty());
  EXPECT_TRUE(Control<QGroupBox>("gbMeas")->findChildren<QLineEdit*>().isEmpty());
  EXPECT_FALSE(Control<QGroupBox>("gbMeas")->isEnabled());
}
