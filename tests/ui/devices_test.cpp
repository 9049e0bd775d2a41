// Finding and listing devices, the system group and the identity check,
// against emulated devices of the device lab.
#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <chrono>

#include "ip_edit.h"
#include "window_fixture.h"

using namespace qz::test;
using qz::app::wsFillData;
using qz::app::wsHalted;
using qz::app::wsIdle;

namespace {

std::string Lab() { return ScanLab("127.0.0.1"); }

const std::string kScanResult = kListHeader +
                                "127.0.0.11\tRack 3 station\tHall B\tQZ120exp\tSNMP station vers. 1.05 \r\n"
                                "127.0.0.13\tRoof relay\tTower 2\tQZ120\tSNMP station vers. 1.06 \r\n"
                                "127.0.0.15\tMain distribution\tHall A\tQZ300\tSNMP station vers. 2.10 \r\n";

// What a scan of the lab finds: the stations, and the unit in its boot loader.
const std::string kScanFound = kScanResult + "127.0.0.19\tService mode\tlab\tQZ120\tBootloader 0.9 \r\n";

const std::string kOldList = kListHeader + "127.0.0.9\told\trow\tQZ120\tx\r\n";

QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

class ScanTest : public WithSuiteLab<Lab, WindowTest> {
 protected:
  bool WaitForScanEnd() {
    return WaitUntil([&] { return Control<QPushButton>("btScan")->text() == "Scan" && Seam().State().WorkState == wsIdle; }, 30000);
  }
};

}  // namespace

TEST_F(ScanTest, ScanListsTheMakersStationsAndWritesTheFile) {
  // The old list names a silent loopback address, whose identity check halts.
  Start(SettingsFile("127.0.0.10", "127.0.0.30"), kOldList);
  ASSERT_TRUE(WaitForHalt());
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  bool lockedWhileScanning = false;
  WhenDuringWork duringScan([&] { return Control<QLineEdit>("edScanIP")->text().startsWith("Asked "); },
                            [&] {
                              lockedWhileScanning = !Control<TIPEdit>("edStartIP")->Enabled() && !Control<QComboBox>("cbAdrIP")->isEnabled() &&
                                                    Control<QPushButton>("btScan")->isEnabled() &&
                                                    Control<QStatusBar>("sbState")->currentMessage() == "state Scan";
                            });
  Control<QPushButton>("btScan")->click();
  EXPECT_EQ(Control<QPushButton>("btScan")->text(), "Stop");
  ASSERT_TRUE(WaitForScanEnd());
  EXPECT_TRUE(lockedWhileScanning);
  EXPECT_EQ(Items(Control<QComboBox>("cbAdrIP")), QStringList({"127.0.0.11", "127.0.0.13", "127.0.0.15", "127.0.0.19"}));
  // Names and locations in their own order; each list picks the same device.
  EXPECT_EQ(Items(Control<QComboBox>("cbSysName")),
            QStringList({"Main distribution", "Rack 3 station", "Roof relay", "Service mode"}));
  EXPECT_EQ(Items(Control<QComboBox>("cbSysLoc")), QStringList({"Hall A", "Hall B", "lab", "Tower 2"}));
  std::vector<std::string> types;
  for (const qz::app::DeviceRow& row : Seam().State().Devices.Rows()) types.push_back(row.DeviceType);
  EXPECT_EQ(types, (std::vector<std::string>{"QZ120exp", "QZ120", "QZ300", "QZ120"}));
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")), kScanFound);
  EXPECT_EQ(Control<QLineEdit>("edScanIP")->text(), "Devices found: 4");
  EXPECT_EQ(Seam().State().Devices.Count(), 4);
  EXPECT_EQ(Control<QComboBox>("cbSysLoc")->currentText(), "Hall B");
  EXPECT_EQ(Seam().State().SelectedIP, "127.0.0.11");
  EXPECT_EQ(Control<QProgressBar>("pbScan")->value(), 0);
  EXPECT_TRUE(Control<TIPEdit>("edStartIP")->Enabled());
  // The first device found is shown.
  EXPECT_EQ(Control<QTabWidget>("PageControl")->currentWidget(), Control<QWidget>("tsManage"));
  EXPECT_FALSE(Control<QLabel>("lbFirstStart")->isVisible());
  ASSERT_TRUE(WaitForWork("state Fill data"));
  EXPECT_EQ(Control<QLineEdit>("edSysName")->text(), "Rack 3 station");
  // The list it replaced is kept, and what changed is said.
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.prev")), kOldList);
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts(), QStringList{"The scan found these changes against the previous list:"});
  // The unit in its boot loader says so when picked.
  messages_.Clear();
  auto* addresses = Control<QComboBox>("cbAdrIP");
  addresses->setCurrentIndex(3);
  emit addresses->activated(3);
  ASSERT_TRUE(WaitForHalt());
  ExpectHaltSaid("Device at 127.0.0.19 runs \"Bootloader 0.9\", not its station firmware: it cannot be managed until it does");
}

TEST_F(WindowTest, TheChangesOfAWholeRangeScrollInTheirBox) {
  Start(SettingsFile("127.0.0.1", "127.0.0.1"));
  std::vector<qz::app::DeviceRow> before;
  for (int i = 1; i <= 200; ++i) before.push_back({"10.0.0." + std::to_string(i), "unit", "hall", "QZ120", "x"});
  // Shown and looked at before the catcher answers it: no event is handled in between.
  Seam().ShowScanSummary(before, {});
  auto* box = window_->findChild<QMessageBox*>("scanSummary");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->informativeText(), "200 changes");
  auto* lines = box->findChild<QPlainTextEdit*>("scanChanges");
  ASSERT_NE(lines, nullptr);
  EXPECT_EQ(lines->document()->blockCount(), 200);
  EXPECT_TRUE(lines->toPlainText().startsWith("Missing: 10.0.0.1 "));
  // However many lines, the box stays within a small screen.
  EXPECT_LT(box->sizeHint().height(), 600);
}

TEST_F(ScanTest, StopEndsTheScanAtOnceAndKeepsWhatWasFound) {
  // Four /24s of silent addresses after the lab, asked with a long time-out.
  Start(SettingsFile("127.0.0.10", "127.0.3.254", "false", "1000", "2"));
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  std::chrono::steady_clock::time_point stoppedAt;
  WhenDuringWork stop([&] { return Control<QLineEdit>("edScanIP")->text().endsWith("found 4"); },
                      [&] {
                        stoppedAt = std::chrono::steady_clock::now();
                        Control<QPushButton>("btScan")->click();
                      });
  Control<QPushButton>("btScan")->click();
  ASSERT_TRUE(WaitForScanEnd());
  EXPECT_TRUE(stop.Done());
  EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, std::chrono::milliseconds(100));
  EXPECT_EQ(Items(Control<QComboBox>("cbAdrIP")), QStringList({"127.0.0.11", "127.0.0.13", "127.0.0.15", "127.0.0.19"}));
  EXPECT_EQ(Control<QLineEdit>("edScanIP")->text(), "Devices found: 4");
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")), kScanFound);
}

TEST_F(ScanTest, TheWindowAnswersDuringAScan) {
  Start(SettingsFile("127.0.1.0", "127.0.1.254", "false", "1000", "2"));
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  Control<QPushButton>("btScan")->click();
  ASSERT_TRUE(WaitUntil([&] { return Control<QLineEdit>("edScanIP")->text().startsWith("Asked "); }));
  // A timer of the window fires on time while the silent range is asked.
  const TimerGapWatch watch;
  QTest::qWait(1000);
  EXPECT_LT(watch.Longest(), std::chrono::milliseconds(50));
  Control<QPushButton>("btScan")->click();
  ASSERT_TRUE(WaitForScanEnd());
}

TEST_F(ScanTest, RestoreBringsThePreviousListBack) {
  Start(SettingsFile("127.0.0.12", "127.0.0.12", "false", "50", "1"), kScanResult);
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  Control<QPushButton>("btScan")->click();  // finds nothing
  ASSERT_TRUE(WaitForScanEnd());
  EXPECT_EQ(Control<QComboBox>("cbAdrIP")->count(), 0);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.prev")), kScanResult);
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  messages_.Clear();
  // Asked first: a No changes nothing.
  window_->findChild<QAction*>("itmRestore")->trigger();
  EXPECT_EQ(messages_.Texts(), QStringList{"Replace the device list (0 devices) with the previous one (3 devices)? "
                                           "The list shown now becomes the previous one, so this can be taken back."});
  EXPECT_EQ(Control<QComboBox>("cbAdrIP")->count(), 0);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.prev")), kScanResult);
  messages_.Clear();
  messages_.AnswerWith(QMessageBox::Yes);
  window_->findChild<QAction*>("itmRestore")->trigger();
  EXPECT_EQ(messages_.Texts().last(), "Restored the previous device list: 3 devices.");
  EXPECT_EQ(Control<QLineEdit>("edScanIP")->text(), "Devices found: 3");
  EXPECT_EQ(Items(Control<QComboBox>("cbAdrIP")), QStringList({"127.0.0.11", "127.0.0.13", "127.0.0.15"}));
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")), kScanResult);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.prev")), kListHeader);
  EXPECT_EQ(Seam().State().SelectedIP, "127.0.0.11");
}

TEST_F(ScanTest, ExitDuringAScanEndsItAndKeepsTheFile) {
  const std::string list = kOldList;
  Start(SettingsFile("127.0.0.10", "127.0.0.30"), list);
  ASSERT_TRUE(WaitForHalt());
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  WhenDuringWork exit([&] { return Control<QLineEdit>("edScanIP")->text().startsWith("Asked "); },
                      [&] { window_->findChild<QAction*>("itmExit")->trigger(); });
  Control<QPushButton>("btScan")->click();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitUntil([&] { return exit.Done() && Seam().State().WorkState == wsIdle; }, 20000));
  // The addresses after the one in hand are not asked one by one.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")), list);
  window_.reset();
}

TEST_F(ScanTest, StopBelowStartKeepsTheListAndTheFile) {
  const std::string list = kListHeader + "127.0.0.11\tRack 3 station\tHall B\tQZ120exp\tSNMP station vers. 1.05 \r\n";
  Start(SettingsFile("127.0.0.30", "127.0.0.10"), list);
  ASSERT_TRUE(WaitForStatus("state Idle"));
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  Control<QPushButton>("btScan")->click();
  ASSERT_TRUE(WaitForScanEnd());
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_TRUE(messages_.Texts().last().contains("Nothing was scanned"));
  EXPECT_EQ(Items(Control<QComboBox>("cbAdrIP")), QStringList({"127.0.0.11"}));
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")), list);
  EXPECT_TRUE(Control<QComboBox>("cbAdrIP")->isEnabled());
}

TEST_F(ScanTest, ScanOnStartupIgnoresTheDeviceListFile) {
  Start(SettingsFile("127.0.0.13", "127.0.0.13", "true"), kOldList);
  EXPECT_EQ(Control<QPushButton>("btScan")->text(), "Stop");
  EXPECT_EQ(Control<QTabWidget>("PageControl")->currentWidget(), Control<QWidget>("tsSettings"));
  ASSERT_TRUE(WaitForScanEnd());
  EXPECT_EQ(Items(Control<QComboBox>("cbAdrIP")), QStringList({"127.0.0.13"}));
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")),
            kListHeader + "127.0.0.13\tRoof relay\tTower 2\tQZ120\tSNMP station vers. 1.06 \r\n");
}

TEST_F(ScanTest, PickingARowSelectsItEverywhere) {
  Start(SettingsFile("127.0.0.10", "127.0.0.30"), kScanResult);
  ASSERT_TRUE(WaitUntil([&] { return Control<QLineEdit>("edSysName")->text() == "Rack 3 station"; }, 10000));
  auto* names = Control<QComboBox>("cbSysName");
  names->setFocus();
  QTest::keyClicks(names, "Ma");  // typing picks nothing
  EXPECT_EQ(names->currentText(), "Rack 3 station");
  QTest::keyClick(names, Qt::Key_Down);
  EXPECT_EQ(names->currentText(), "Roof relay");
  EXPECT_EQ(Control<QComboBox>("cbAdrIP")->currentText(), "127.0.0.13");
  EXPECT_EQ(Control<QComboBox>("cbSysLoc")->currentText(), "Tower 2");
  EXPECT_EQ(Seam().State().SelectedIP, "127.0.0.13");
  EXPECT_EQ(Control<TIPEdit>("edTelnetIP")->Text(), "127.0.0.13");
  EXPECT_EQ(Seam().State().WorkState, wsFillData);
  Control<QComboBox>("cbSysLoc")->setFocus();
  QTest::keyClick(Control<QComboBox>("cbSysLoc"), Qt::Key_Home);
  EXPECT_EQ(Control<QComboBox>("cbSysLoc")->currentText(), "Hall A");
  EXPECT_EQ(names->currentText(), "Main distribution");
  EXPECT_EQ(Seam().State().SelectedIP, "127.0.0.15");
  // The fill of the device picked last is the one that runs.
  ASSERT_TRUE(WaitUntil([&] { return Control<QLineEdit>("edSysName")->text() == "Main distribution"; }, 10000));
  EXPECT_EQ(Control<QLineEdit>("edDevType")->text(), "QZ300");
}

TEST_F(ScanTest, TheFinderPicksADeviceByAnyOfItsTexts) {
  Start(SettingsFile("127.0.0.10", "127.0.0.30"), kScanResult);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  auto* find = Control<QLineEdit>("edFindDevice");
  find->setFocus();
  QTest::keyClicks(find, "tower");
  QAbstractItemView* offered = find->completer()->popup();
  ASSERT_TRUE(WaitUntil([&] { return offered->isVisible(); }));
  ASSERT_EQ(find->completer()->completionCount(), 1);
  EXPECT_EQ(find->completer()->currentCompletion(), "127.0.0.13  Roof relay  Tower 2");
  offered->setCurrentIndex(find->completer()->completionModel()->index(0, 0));
  QTest::keyClick(offered, Qt::Key_Return);
  EXPECT_EQ(Seam().State().SelectedIP, "127.0.0.13");
  EXPECT_EQ(Control<QComboBox>("cbSysName")->currentText(), "Roof relay");
  ASSERT_TRUE(WaitForWork("state Fill data"));
  EXPECT_EQ(Control<QLineEdit>("edSysName")->text(), "Roof relay");
  EXPECT_EQ(find->text(), "");
}

TEST_F(ScanTest, RepeatedLocationsSayWhichDeviceEachIsAndTheListFollowsTheDevice) {
  Start(SettingsFile("127.0.0.10", "127.0.0.30"),
        kListHeader + "127.0.0.15\tMain distribution\tHall A\tQZ300\tSNMP station vers. 2.10 \r\n"
                      "127.0.0.11\tRack 3 station\tHall A\tQZ120exp\tSNMP station vers. 1.05 \r\n"
                      "127.0.0.13\tRoof relay\tTower 2\tQZ120\tSNMP station vers. 1.06 \r\n");
  EXPECT_EQ(Items(Control<QComboBox>("cbAdrIP")), QStringList({"127.0.0.11", "127.0.0.13", "127.0.0.15"}));
  EXPECT_EQ(Items(Control<QComboBox>("cbSysLoc")),
            QStringList({QString("Hall A \u2014 127.0.0.11"), QString("Hall A \u2014 127.0.0.15"), "Tower 2"}));
  // The device at 127.0.0.11 is in Hall B now: its fill brings the list and
  // its file up to date.
  ASSERT_TRUE(WaitForWork("state Fill data"));
  EXPECT_EQ(Items(Control<QComboBox>("cbSysLoc")), QStringList({"Hall A", "Hall B", "Tower 2"}));
  const auto rows = qz::app::ParseDeviceList(ReadFileBytes(WorkingFile("QZdevices.cfg")));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].Address, "127.0.0.11");
  EXPECT_EQ(rows[0].SysLocation, "Hall B");
}

TEST_F(ScanTest, IdentityCheckHaltsOnAChangedType) {
  const std::pair<const char*, const char*> cases[] = {
      {"QZ120", "Device type at 127.0.0.11 changed. Please rescan"},  // the device reports QZ120exp
      {"QZ300", "Device type at 127.0.0.11 changed. Please rescan"}};
  for (const auto& [stored, message] : cases) {
    messages_.Clear();
    Start(SettingsFile("127.0.0.10", "127.0.0.30"),
          kListHeader + "127.0.0.11\tRack 3 station\tHall B\t" + stored + "\tSNMP station vers. 1.05 \r\n");
    ASSERT_TRUE(WaitForStatus("state Halted", 10000));
    ExpectHaltSaid(message);
    EXPECT_EQ(Control<QLineEdit>("edDevType")->text(), "QZ120exp");
    EXPECT_EQ(Control<QLineEdit>("edLANIfc")->text(), "SNMP station vers. 1.05 ");
  }
  // Stored as QZ120exp, reported as QZ120: the same device.
  messages_.Clear();
  Start(SettingsFile("127.0.0.10", "127.0.0.30"),
        kListHeader + "127.0.0.13\tRoof relay\tTower 2\tQZ120exp\tSNMP station vers. 1.06 \r\n");
  ASSERT_TRUE(WaitUntil([&] { return Control<QLineEdit>("edSysName")->text() == "Roof relay"; }, 10000));
  EXPECT_TRUE(messages_.Texts().isEmpty());
}

// Tests that stop a device run on a lab of their own.
class StoppedDeviceTest : public WindowTest {
 protected:
  void SetUp() override {
    if (const std::string why = SnmpPeersUnavailable(); !why.empty()) GTEST_SKIP() << why;
    lab_ = std::make_unique<DeviceLab>(R"(
[127.0.0.41]
type = QZ120
firmware = SNMP station vers. 1.06
name = Unit 41
location = Bay 1
contact = nobody
)");
    ASSERT_TRUE(lab_->Started());
  }
  std::unique_ptr<DeviceLab> lab_;
  const std::string list_ = kListHeader + "127.0.0.41\tUnit 41\tBay 1\tQZ120\tSNMP station vers. 1.06 \r\n";
};

TEST_F(StoppedDeviceTest, RenameReachesDeviceListAndFile) {
  Start(SettingsFile("127.0.0.40", "127.0.0.42"), list_);
  ASSERT_TRUE(WaitUntil([&] { return Control<QLineEdit>("edSysName")->text() == "Unit 41"; }, 10000));
  Control<QLineEdit>("edSysName")->setFocus();
  TypeText(Control<QLineEdit>("edSysName"), "Unit forty-one");
  QTest::keyClick(Control<QLineEdit>("edSysName"), Qt::Key_Return);
  EXPECT_EQ(SnmpGetText("127.0.0.41", "1.3.6.1.2.1.1.5.0"), "Unit forty-one");
  EXPECT_EQ(Control<QComboBox>("cbSysName")->currentText(), "Unit forty-one");
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")),
            kListHeader + "127.0.0.41\tUnit forty-one\tBay 1\tQZ120\tSNMP station vers. 1.06 \r\n");
  TypeText(Control<QLineEdit>("edSysLocation"), "Bay\t2");
  QTest::keyClick(Control<QLineEdit>("edSysLocation"), Qt::Key_Return);
  EXPECT_EQ(SnmpGetText("127.0.0.41", "1.3.6.1.2.1.1.6.0"), "Bay\t2");
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")),
            kListHeader + "127.0.0.41\tUnit forty-one\tBay 2\tQZ120\tSNMP station vers. 1.06 \r\n");
}

TEST_F(StoppedDeviceTest, TextTypedButNotSentLooksUnsentAndIsNeverDroppedSilently) {
  Start(SettingsFile("127.0.0.40", "127.0.0.42"), list_);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  ASSERT_EQ(Control<QLineEdit>("edSysName")->text(), "Unit 41");
  auto* name = Control<QLineEdit>("edSysName");
  name->setFocus();
  name->end(false);
  QTest::keyClicks(name, " B");
  EXPECT_EQ(name->toolTip(), "Not sent: Enter writes to the device");
  EXPECT_FALSE(name->styleSheet().isEmpty());
  // Typed back to the device's text: nothing is unsent.
  QTest::keyClick(name, Qt::Key_Backspace);
  QTest::keyClick(name, Qt::Key_Backspace);
  EXPECT_EQ(name->toolTip(), "");
  QTest::keyClicks(name, " C");
  // The panel is filled again (another page and back): the text goes, said.
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  ASSERT_TRUE(WaitForWork("state Fill data"));
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "sysName \"Unit 41 C\" was not sent: discarded");
  EXPECT_EQ(name->text(), "Unit 41");
  EXPECT_EQ(name->toolTip(), "");
  // Sent with Enter, it is the device's text.
  name->end(false);
  QTest::keyClicks(name, "!");
  QTest::keyClick(name, Qt::Key_Return);
  EXPECT_EQ(name->toolTip(), "");
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "sysName written: Unit 41!");
  ASSERT_TRUE(SnmpSetValue("127.0.0.41", "1.3.6.1.2.1.1.5.0", 's', "Unit 41"));
}

TEST_F(StoppedDeviceTest, WritesToAStoppedDeviceChangeNothing) {
  Start(SettingsFile("127.0.0.40", "127.0.0.42"), list_);
  ASSERT_TRUE(WaitUntil([&] { return Control<QLineEdit>("edSysName")->text() == "Unit 41"; }, 10000));
  lab_->StopDevice("127.0.0.41");
  const QString contact = Control<QLineEdit>("edSysContact")->text();
  TypeText(Control<QLineEdit>("edSysContact"), "someone");
  QTest::keyClick(Control<QLineEdit>("edSysContact"), Qt::Key_Return);
  // The failure is said, and the box shows the device's text again.
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "sysContact not written: no answer from 127.0.0.41");
  EXPECT_EQ(Control<QLineEdit>("edSysContact")->text(), contact);
  TypeText(Control<QLineEdit>("edSysName"), "Never set");
  QTest::keyClick(Control<QLineEdit>("edSysName"), Qt::Key_Return);
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "sysName not written: no answer from 127.0.0.41");
  EXPECT_EQ(Control<QLineEdit>("edSysName")->text(), "Unit 41");
  EXPECT_EQ(Control<QComboBox>("cbSysName")->currentText(), "Unit 41");
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")), list_);
  QTest::qWait(100);
  EXPECT_TRUE(messages_.Texts().isEmpty());
}

TEST_F(StoppedDeviceTest, IdentityCheckOfASilentDevice) {
  lab_->StopDevice("127.0.0.41");
  Start(SettingsFile("127.0.0.40", "127.0.0.42"), list_);
  ASSERT_TRUE(WaitForStatus("state Halted", 10000));
  ExpectHaltSaid("Device at 127.0.0.41 not responding. Please rescan");
  EXPECT_EQ(Control<QLineEdit>("edDevType")->text(), "Unknown");
  EXPECT_EQ(Control<QLineEdit>("edLANIfc")->text(), "Unknown");
  EXPECT_EQ(Control<QLineEdit>("edSysName")->text(), "");
  EXPECT_TRUE(Control<QLabel>("lbSilent")->text().startsWith("no answer from Unit 41 since "));
  // The lists mark the device.
  EXPECT_FALSE(Control<QComboBox>("cbAdrIP")->itemData(0, Qt::DecorationRole).isNull());
  EXPECT_TRUE(Control<QComboBox>("cbSysName")->itemData(0, Qt::ToolTipRole).toString().startsWith("no answer from"));
}

TEST_F(StoppedDeviceTest, PickingASilentDeviceNeverTrapsTheOperator) {
  // A second device that answers, beside the silent one.
  DeviceLab other("[127.0.0.42]\ntype = QZ120\nfirmware = SNMP station vers. 1.06\nname = Unit 42\n");
  ASSERT_TRUE(other.Started());
  lab_->StopDevice("127.0.0.41");
  Start(SettingsFile("127.0.0.40", "127.0.0.42"),
        list_ + "127.0.0.42\tUnit 42\tBay 2\tQZ120\tSNMP station vers. 1.06 \r\n");
  ASSERT_TRUE(WaitForStatus("state Halted", 10000));
  // Away to the Settings page and back: the check runs again, and says so
  // again on the panel, never in a box, never moving the operator.
  for (int round = 0; round < 2; ++round) {
    Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
    EXPECT_TRUE(Control<QComboBox>("cbAdrIP")->isVisible());
    Control<QLabel>("lbNotice")->clear();
    Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
    ASSERT_TRUE(WaitUntil([&] { return !Control<QLabel>("lbNotice")->text().isEmpty(); }, 10000));
    ExpectHaltSaid("Device at 127.0.0.41 not responding. Please rescan");
  }
  // The other device is one pick away, from the Settings page too.
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  auto* names = Control<QComboBox>("cbSysName");
  ASSERT_TRUE(names->isEnabled());
  names->setCurrentIndex(1);
  emit names->activated(1);
  ASSERT_TRUE(WaitUntil([&] { return Control<QLineEdit>("edSysName")->text() == "Unit 42"; }, 10000));
  EXPECT_EQ(Control<QTabWidget>("PageControl")->currentWidget(), Control<QWidget>("tsManage"));
  EXPECT_EQ(Control<QGroupBox>("gbControl")->findChild<QLabel*>("lbHalted"), nullptr);
  EXPECT_EQ(Control<QLabel>("lbSilent")->text(), "");
}

TEST_F(WindowTest, HeaderOnlyDeviceListMeansNoDevice) {
  Start(SettingsFile("127.0.0.1", "127.0.0.1", "false", "20", "1"), kListHeader);
  ASSERT_TRUE(WaitForStatus("state Idle"));
  EXPECT_EQ(Control<QTabWidget>("PageControl")->currentWidget(), Control<QWidget>("tsSettings"));
  EXPECT_EQ(Control<QComboBox>("cbAdrIP")->count(), 0);
  EXPECT_EQ(Seam().State().SelectedIP, "");
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  ASSERT_TRUE(WaitForStatus("state Halted"));
  EXPECT_FALSE(Control<QGroupBox>("gbSNMPmib")->isEnabled());
  QTest::qWait(100);
  EXPECT_TRUE(messages_.Texts().isEmpty()) << messages_.Texts().join("|").toStdString();
}
