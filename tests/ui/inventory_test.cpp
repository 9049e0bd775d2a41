// File > Export device list and Copy as table through the real window: the
// devices are asked on a thread of the export's own while the window keeps
// answering; the file is CSV or JSON by its name; a folder that refuses the
// file leaves no half-written one and keeps an older export whole.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "window_fixture.h"

using namespace qz::test;
using namespace qz::app;

namespace {

constexpr char kExportLab[] = R"(
[127.0.0.166]
type = QZ300
firmware = SNMP station vers. 2.10
name = +Hall 2
location = South
contact = noc
set 1.3.6.1.4.1.98361.3.2.7.0 = 1
)";

const std::string kExportList = kListHeader +
                                "127.0.0.166\t+Hall 2\tSouth\tQZ300\tSNMP station vers. 2.10 \r\n"
                                "127.0.0.167\tGone\tNorth\tQZ120\tSNMP station vers. 1.06 \r\n";

class InventoryExportTest : public WithSuiteLab<kExportLab, WindowTest> {
 protected:
  // Runs one export or copy to its end; whether it was written.
  bool RunToEnd(const std::function<void()>& start) {
    QSignalSpy done(&Seam().Inventory(), &TInventoryExport::Done);
    qz::test::TimerGapWatch gaps;
    start();
    EXPECT_TRUE(done.wait(10000));
    // The silent device's time-outs are waited for on the export's thread.
    EXPECT_LT(gaps.Longest().count(), 500);
    return !done.isEmpty() && done.takeFirst().at(0).toBool();
  }
};

}  // namespace

TEST_F(InventoryExportTest, ExportedByNameCopiedAsATableAndNeverHalfWritten) {
  Start(SettingsFile("127.0.0.166", "127.0.0.167", "false", "800", "1"), kExportList, true);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  EXPECT_NE(Control<QAction>("itmExportList"), nullptr);
  EXPECT_NE(Control<QAction>("itmCopyList"), nullptr);

  const std::string csvPath = WorkingFile("devices.csv");
  ASSERT_TRUE(RunToEnd([&] { Seam().Inventory().Export(QString::fromStdString(csvPath)); }));
  const std::string csv = ReadFileBytes(csvPath);
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "address,name,location,contact,type,firmware,serial,sysdescr,uptime_seconds,last_seen,alarms");
  EXPECT_NE(csv.find("\r\n127.0.0.166,'+Hall 2,South,noc,QZ300,1.05,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",Door\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\r\n127.0.0.167,Gone,North,,QZ120,,,SNMP station vers. 1.06 ,,,\r\n"), std::string::npos) << csv;
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "Device list exported: 2 devices to " + QString::fromStdString(csvPath));

  const std::string jsonPath = WorkingFile("devices.json");
  ASSERT_TRUE(RunToEnd([&] { Seam().Inventory().Export(QString::fromStdString(jsonPath)); }));
  const std::string json = ReadFileBytes(jsonPath);
  EXPECT_EQ(json.substr(0, 3), "[\n ");
  EXPECT_NE(json.find("\"name\": \"+Hall 2\""), std::string::npos) << "JSON is for programs: nothing to guard";

  ASSERT_TRUE(RunToEnd([&] { Seam().Inventory().CopyAsTable(); }));
  const QString table = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(table.startsWith("address\tname\t")) << table.toStdString();
  EXPECT_TRUE(table.contains("\n127.0.0.166\t'+Hall 2\tSouth\tnoc\t")) << table.toStdString();

  // A folder that may not be written: the old export stays as it was, no
  // temporary file is left, the operator is told why.
  if (geteuid() == 0) {
    // Root writes anywhere; a file system mounted read-only refuses even it.
    ScratchDir readOnly("readonly");
    WriteFileBytes(readOnly.File("devices.csv"), "an older export\r\n");
    if (RunCommand("mount --bind " + readOnly.Path() + " " + readOnly.Path() + " && mount -o remount,bind,ro " +
                   readOnly.Path() + " 2>/dev/null && echo ok") != "ok\n")
      GTEST_SKIP() << "no read-only bind mount here";
    EXPECT_FALSE(RunToEnd([&] { Seam().Inventory().Export(QString::fromStdString(readOnly.File("devices.csv"))); }));
    RunCommand("umount " + readOnly.Path());
    EXPECT_EQ(ReadFileBytes(readOnly.File("devices.csv")), "an older export\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(readOnly.Path()), std::filesystem::directory_iterator{}), 1);
    EXPECT_TRUE(Control<QLabel>("lbNotice")->text().startsWith("The device list could not be exported to " +
                                                               QString::fromStdString(readOnly.File("devices.csv")) + ": "))
        << Control<QLabel>("lbNotice")->text().toStdString();
  }
}
