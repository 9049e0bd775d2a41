// [Scan] Every through the real window: the rescan runs on its schedule's
// timer, quietly (the page and the device shown stay as the operator left
// them, no summary box opens), writes the list and keeps the one before,
// and says what changed in words; it waits while the operator's scan runs.
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "scan.h"
#include "window_fixture.h"

using namespace qz::test;
using namespace qz::app;

namespace {

constexpr char kRescanLab[] = R"(
[127.0.0.181]
type = QZ120
firmware = SNMP station vers. 1.06
name = Stays
location = North
[127.0.0.183]
type = QZ300
firmware = SNMP station vers. 2.10
name = Arrived
location = South
)";

const std::string kListBefore = kListHeader +
                                "127.0.0.181\tStays\tNorth\tQZ120\tSNMP station vers. 1.06 \r\n"
                                "127.0.0.185\tLeft\tEast\tQZ120\tSNMP station vers. 1.06 \r\n";

class RescanTest : public WithSuiteLab<kRescanLab, WindowTest> {};

}  // namespace

TEST_F(RescanTest, AScheduledRescanIsQuietAndSaysWhatChanged) {
  WriteFileBytes(WorkingFile("QZexplorer.conf"), "[Scan]\r\nEvery = 6h\r\n");
  Start(SettingsFile("127.0.0.180", "127.0.0.186", "false", "200", "1"), kListBefore, true);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  const QTimer& schedule = Seam().Scan().Schedule();
  EXPECT_TRUE(schedule.isActive());
  EXPECT_EQ(schedule.interval(), 6 * 3600 * 1000);
  QWidget* pageBefore = Control<QTabWidget>("PageControl")->currentWidget();

  // A device left and another came: the rescan says so, and nothing else moves.
  TScan& scan = Seam().Scan();
  scan.RescanWhenFree();
  EXPECT_TRUE(scan.Scheduled());
  ASSERT_TRUE(WaitUntil([&] { return !scan.Running(); }, 10000));
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "Rescan: 1 device gone, 1 new");
  EXPECT_EQ(window_->findChild<QMessageBox*>("scanSummary"), nullptr) << "a scheduled rescan opens no box";
  EXPECT_EQ(Control<QTabWidget>("PageControl")->currentWidget(), pageBefore);
  EXPECT_EQ(Control<QComboBox>("cbAdrIP")->currentText(), "127.0.0.181");
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.prev")), kListBefore);
  const std::string list = ReadFileBytes(WorkingFile("QZdevices.cfg"));
  EXPECT_NE(list.find("127.0.0.183\tArrived"), std::string::npos) << list;
  EXPECT_EQ(list.find("127.0.0.185"), std::string::npos) << list;
}

TEST_F(RescanTest, AScheduledRescanWaitsForTheOperatorsScan) {
  Start(SettingsFile("127.0.0.180", "127.0.0.186", "false", "200", "1"), kListBefore, true);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  TScan& scan = Seam().Scan();
  EXPECT_FALSE(scan.Schedule().isActive()) << "off without [Scan] Every";
  Control<QPushButton>("btScan")->click();
  ASSERT_TRUE(WaitUntil([&] { return scan.Running(); }, 5000));
  scan.RescanWhenFree();
  EXPECT_FALSE(scan.Scheduled()) << "two scans at once";
  ASSERT_TRUE(WaitUntil([&] { return scan.Scheduled(); }, 15000)) << "the waiting rescan did not start";
  ASSERT_TRUE(WaitUntil([&] { return !scan.Running(); }, 10000));
}
