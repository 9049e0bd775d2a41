// What a broken or hostile device, settings file or disk can do to the
// window: texts stay bytes, numbers stay in bounds, device text never names a
// file outside DeviceFiles, and a failed write says so.
#include <sys/mount.h>
#include <sys/stat.h>

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <filesystem>

#include "capture.h"
#include "led.h"
#include "snmp_message.h"
#include "text_file.h"
#include "window_fixture.h"

using namespace qz::test;
using qz::snmp::TSnmpMessage;

namespace {

constexpr char kTextLab[] = R"(
[127.0.0.91]
type = QZ120
firmware = SNMP station vers. 1.06
location = Hall
[127.0.0.92]
type = QZ300
firmware = SNMP station vers. 2.10
name = Second unit
location = Roof
)";

const char* const kSysNameOid = "1.3.6.1.2.1.1.5.0";
const char* const kSysLocationOid = "1.3.6.1.2.1.1.6.0";
const std::string kLatin1Name = "M\xFCller 1";                 // Latin-1
const std::string kCp1251Location = "\xD1\xEA\xEB\xE0\xE4";    // "Склад" in cp1251

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (const char c : bytes) {
    hex += digits[static_cast<uint8_t>(c) >> 4];
    hex += digits[static_cast<uint8_t>(c) & 15];
  }
  return hex;
}

class TextTest : public WithSuiteLab<kTextLab, WindowTest> {
 protected:
  void SetUp() override {
    WithSuiteLab::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (!capture_.Unavailable().empty()) GTEST_SKIP() << capture_.Unavailable();
    ASSERT_TRUE(SnmpSetValue("127.0.0.91", kSysNameOid, 'x', Hex(kLatin1Name)));
    ASSERT_TRUE(SnmpSetValue("127.0.0.91", kSysLocationOid, 'x', Hex(kCp1251Location)));
  }
  std::vector<TSnmpMessage> SetsTo(const std::string& address) {
    std::vector<TSnmpMessage> sets;
    for (const auto& datagram : capture_.SentTo(address)) {
      TSnmpMessage message;
      if (message.DecodeMessage(datagram.Payload) && message.PDUType == qz::snmp::pduSetRequest)
        sets.push_back(message);
    }
    return sets;
  }
  UdpCapture capture_;
};

// Mounts a small file system over a folder, to be made read-only later.
class MountedFolder {
 public:
  explicit MountedFolder(const std::string& path) : path_(path) {
    mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=1m") == 0;
  }
  ~MountedFolder() {
    if (!mounted_) return;
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);  // out of it, for what runs next
    ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  bool MakeReadOnly() {
    return ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m") == 0;
  }

 private:
  std::string path_;
  bool mounted_ = false;
};

}  // namespace

TEST_F(TextTest, NamesStayBytesFromTheWireToTheFileAndBack) {
  const LabValueGuard restore("127.0.0.92", kSysNameOid, 's', "Second unit");
  Start(SettingsFile("127.0.0.90", "127.0.0.93"), std::nullopt, true);
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  Control<QPushButton>("btScan")->click();
  ASSERT_TRUE(WaitUntil([&] { return Control<QPushButton>("btScan")->text() == "Scan" && Control<QLineEdit>("edScanIP")->text() == "Devices found: 2"; },
                        20000));
  const std::string firstRow = "127.0.0.91\t" + kLatin1Name + "\t" + kCp1251Location + "\tQZ120\tSNMP station vers. 1.06 \r\n";
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")),
            kListHeader + firstRow + "127.0.0.92\tSecond unit\tRoof\tQZ300\tSNMP station vers. 2.10 \r\n");
  EXPECT_EQ(Control<QComboBox>("cbSysName")->itemText(0), QString::fromUtf8("Müller 1"));

  // Renaming the other device rewrites its row only.
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  ASSERT_TRUE(WaitForWork("state Fill data"));
  Select(1);
  TypeText(Control<QLineEdit>("edSysName"), "Store 2");
  QTest::keyClick(Control<QLineEdit>("edSysName"), Qt::Key_Return);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")),
            kListHeader + firstRow + "127.0.0.92\tStore 2\tRoof\tQZ300\tSNMP station vers. 2.10 \r\n");

  // Enter without a change writes the device's own bytes back.
  Select(0);
  EXPECT_EQ(Control<QLineEdit>("edSysName")->text(), QString::fromUtf8("Müller 1"));
  const size_t setsBefore = SetsTo("127.0.0.91").size();
  QTest::keyClick(Control<QLineEdit>("edSysName"), Qt::Key_Return);
  QTest::keyClick(Control<QLineEdit>("edSysLocation"), Qt::Key_Return);
  const auto sets = SetsTo("127.0.0.91");
  ASSERT_EQ(sets.size(), setsBefore + 2);
  EXPECT_EQ(Hex(sets[setsBefore].VarBind(0).Value), Hex(kLatin1Name));
  EXPECT_EQ(Hex(sets[setsBefore + 1].VarBind(0).Value), Hex(kCp1251Location));
  EXPECT_EQ(SnmpGetText("127.0.0.92", kSysNameOid), "Store 2");
}

TEST_F(TextTest, TheCodePageShowsAndTypesTheOperatorsLetters) {
  Start(SettingsFile("127.0.0.90", "127.0.0.93"),
        kListHeader + "127.0.0.91\t" + kLatin1Name + "\t" + kCp1251Location + "\tQZ120\tSNMP station vers. 1.06 \r\n", true);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  EXPECT_EQ(Control<QLineEdit>("edSysLocation")->text(), QString::fromUtf8("Ñêëàä"));
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  Control<QComboBox>("cbCodePage")->setCurrentIndex(1);
  emit Control<QComboBox>("cbCodePage")->activated(1);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.conf")), "[Text]\r\nCodePage=Windows-1251\r\n");
  EXPECT_EQ(Control<QComboBox>("cbSysLoc")->currentText(), QString::fromUtf8("Склад"));
  EXPECT_EQ(Control<QLineEdit>("edSysLocation")->text(), QString::fromUtf8("Склад"));

  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  ASSERT_TRUE(WaitForWork("state Fill data"));
  TypeText(Control<QLineEdit>("edSysLocation"), QString::fromUtf8("Склад 2"));
  QTest::keyClick(Control<QLineEdit>("edSysLocation"), Qt::Key_Return);
  const std::string typed = kCp1251Location + " 2";
  EXPECT_EQ(Hex(SetsTo("127.0.0.91").back().VarBind(0).Value), Hex(typed));
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")),
            kListHeader + "127.0.0.91\t" + kLatin1Name + "\t" + typed + "\tQZ120\tSNMP station vers. 1.06 \r\n");

  // The choice is kept for the next start.
  window_.reset();
  Start(std::nullopt, std::nullopt, false);
  EXPECT_EQ(Control<QComboBox>("cbCodePage")->currentText(), "Windows-1251");
}

TEST_F(TextTest, ATextLongerThanTheBoxIsNeverWrittenBackCut) {
  // A name longer than the box holds (a box holds 32767 characters; the
  // agent's configuration takes 4096, so this box is made smaller).
  const std::string longName(3000, 'n');
  DeviceLab lab("[127.0.0.98]\ntype = QZ120\nfirmware = SNMP station vers. 1.06\nset 1.3.6.1.2.1.1.5.0 = \"" + longName +
                "\"\n");
  ASSERT_TRUE(lab.Started());
  Start(SettingsFile("127.0.0.90", "127.0.0.99"),
        kListHeader + "127.0.0.98\tlong\tHall\tQZ120\tSNMP station vers. 1.06 \r\n", true);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  Control<QLineEdit>("edSysName")->setMaxLength(1000);
  Select(0);
  const size_t setsBefore = SetsTo("127.0.0.98").size();
  Control<QLineEdit>("edSysName")->end(false);
  QTest::keyClick(Control<QLineEdit>("edSysName"), Qt::Key_Backspace);
  QTest::keyClick(Control<QLineEdit>("edSysName"), Qt::Key_Return);
  EXPECT_EQ(SetsTo("127.0.0.98").size(), setsBefore);
  EXPECT_TRUE(Control<QLabel>("lbNotice")->text().startsWith("sysName not written: the device's text (3000 octets)"))
      << Control<QLabel>("lbNotice")->text().toStdString();
  EXPECT_EQ(SnmpGetText("127.0.0.98", kSysNameOid), longName);
}

TEST_F(TextTest, ACommunityOfAnyBytesGoesOutAsItIs) {
  const std::string community = "k\xFF\xE9lvor";
  std::string settings = SettingsFile("127.0.0.95", "127.0.0.95", "false", "30", "1");
  settings.replace(settings.find("kelvor"), 6, community);
  Start(settings, kListHeader + "127.0.0.95\tsilent\tnowhere\tQZ120\tSNMP station vers. 1.06 \r\n", true);
  ASSERT_TRUE(WaitForHalt());  // the silent device halts
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  Control<QLineEdit>("edReadComm")->setFocus();
  Control<QPushButton>("btScan")->setFocus();  // leaves the box without a change
  Control<QPushButton>("btScan")->click();
  ASSERT_TRUE(WaitUntil([&] { return Control<QPushButton>("btScan")->text() == "Scan"; }));
  const auto sent = capture_.SentTo("127.0.0.95");
  ASSERT_GE(sent.size(), 2u);
  for (const auto& datagram : sent) {
    TSnmpMessage message;
    ASSERT_TRUE(message.DecodeMessage(datagram.Payload));
    EXPECT_EQ(Hex(message.Community), Hex(community));
  }
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")).substr(0, 40), settings.substr(0, 40));
}

TEST_F(WindowTest, NumbersOutOfBoundsAreBroughtIntoThem) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2", "false", "-1", "1000000", "false", "2147483647"));
  EXPECT_EQ(Control<QLineEdit>("edSNMPTimeOut")->text(), "1");
  EXPECT_EQ(Control<QSpinBox>("seRetryCount")->value(), 10);
  EXPECT_EQ(Control<QLineEdit>("edPingTimeOut")->text(), "60000");
  Control<QPushButton>("btSaveSettings")->click();
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")),
            SettingsFile("127.0.0.1", "127.0.0.2", "false", "1", "10", "false", "60000"));
  Control<QLineEdit>("edSNMPTimeOut")->setFocus();
  TypeText(Control<QLineEdit>("edSNMPTimeOut"), "999999");
  Control<QPushButton>("btSaveSettings")->setFocus();
  EXPECT_EQ(Control<QLineEdit>("edSNMPTimeOut")->text(), "60000");
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")),
            SettingsFile("127.0.0.1", "127.0.0.2", "false", "60000", "10", "false", "60000"));
}

TEST_F(WindowTest, AHugeSettingsLineIsShownShort) {
  QElapsedTimer clock;
  clock.start();
  Start(SettingsFile("127.0.0.1", "127.0.0.2", "false", std::string(10'000'000, '9') + "x"));
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_LT(clock.elapsed(), 5000);
  const QString text = messages_.Texts().first();
  EXPECT_TRUE(text.startsWith("'" + QString(80, '9') + QChar(0x2026) + "' is not a valid integer value"))
      << text.left(200).toStdString();
  EXPECT_EQ(Control<QLineEdit>("edSNMPTimeOut")->text(), "100");
}

TEST_F(WindowTest, DeviceTextNeverLeadsOutOfDeviceFiles) {
  if (const std::string why = SnmpPeersUnavailable(); !why.empty()) GTEST_SKIP() << why;
  DeviceLab lab("[127.0.0.96]\ntype = QZ300\nfirmware = SNMP station vers. 2.10\n");
  ASSERT_TRUE(lab.Started());
  // A description file the traversal would reach.
  std::filesystem::create_directories(WorkingFile("outside/x"));
  std::filesystem::copy(std::string(QZ_SOURCE_DIR) + "/DeviceFiles/QZ300.par", WorkingFile("outside/x/QZ300.par"));
  bool firstStart = true;
  for (const std::string& type : {std::string("../outside/x/QZ300"), std::string("QZ300\0x", 7)}) {
    Start(SettingsFile("127.0.0.90", "127.0.0.99"),
          kListHeader + "127.0.0.96\tunit\there\t" + type + "\tSNMP station vers. 2.10 \r\n", firstStart);
    firstStart = false;
    ASSERT_TRUE(WaitForWork("state Fill data"));
    EXPECT_TRUE(Seam().Panel().DynLeds().empty());
    const auto labels = Control<QGroupBox>("gbControl")->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_TRUE(labels[0]->text().startsWith("File not found -  " + WholePath("DeviceFiles") + "/")) << labels[0]->text().toStdString();
    EXPECT_FALSE(labels[0]->text().contains("..")) << labels[0]->text().toStdString();
    EXPECT_EQ(Seam().State().Devices.At(0)->DeviceType, type);
    window_.reset();
  }
}

TEST_F(WindowTest, AnUnreadableDeviceListSaysSo) {
  std::filesystem::create_directory(WorkingFile("QZdevices.cfg"));
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "The device list " + WholePath("QZdevices.cfg") + " cannot be read: Is a directory.");
  EXPECT_TRUE(WaitForStatus("state Idle"));
}

TEST_F(WindowTest, AFifoInPlaceOfAFileIsNamedNotWaitedFor) {
  // Nothing ever writes to these FIFOs: a start that opened one to read
  // would wait for ever.
  for (const char* name : {"QZdevices.cfg", "QZexplorer.conf"}) ASSERT_EQ(mkfifo(WorkingFile(name).c_str(), 0600), 0);
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  ASSERT_TRUE(WaitUntil([&] { return messages_.Texts().size() >= 2; }));
  EXPECT_EQ(messages_.Texts(),
            (QStringList{"The settings " + WholePath("QZexplorer.conf") +
                             " cannot be read: Is a FIFO, not a file. The program uses its defaults.",
                         "The device list " + WholePath("QZdevices.cfg") + " cannot be read: Is a FIFO, not a file."}));
  EXPECT_TRUE(WaitForStatus("state Idle"));
  // File > Restore: a FIFO as the previous list is named too.
  ASSERT_EQ(mkfifo(WorkingFile("QZdevices.prev").c_str(), 0600), 0);
  messages_.Clear();
  window_->findChild<QAction*>("itmRestore")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "The previous device list " + WholePath("QZdevices.prev") + " cannot be read: Is a FIFO, not a file.");
}

TEST_F(WindowTest, AListOfTooManyLinesIsReadInPartAndSaysSo) {
  std::string list = kListHeader;
  for (size_t i = 0; i < qz::app::kMaxLines + 10; ++i) list += "127.0.0.1\tunit\there\tQZ120\tx\r\n";
  Start(SettingsFile("127.0.0.1", "127.0.0.2"), list);
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "The device list " + WholePath("QZdevices.cfg") +
                                              " holds more than 65536 lines: only the first 65536 are read.");
  EXPECT_EQ(Control<QComboBox>("cbAdrIP")->count(), static_cast<int>(qz::app::kMaxLines) - 1);
}

TEST_F(WindowTest, LeftoverTemporaryFilesAreRemovedAtStart) {
  WriteFileBytes(WorkingFile("QZdevices.cfg.new"), "half a list");
  WriteFileBytes(WorkingFile("QZexplorer.ini.new"), "half");
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  EXPECT_FALSE(std::filesystem::exists(WorkingFile("QZdevices.cfg.new")));
  EXPECT_FALSE(std::filesystem::exists(WorkingFile("QZexplorer.ini.new")));
}

TEST_F(WindowTest, ARenameInAReadOnlyFolderSaysWhyAndKeepsTheFile) {
  if (const std::string why = SnmpPeersUnavailable(); !why.empty()) GTEST_SKIP() << why;
  DeviceLab lab("[127.0.0.97]\ntype = QZ120\nfirmware = SNMP station vers. 1.06\nname = Ninety-seven\n");
  ASSERT_TRUE(lab.Started());
  MountedFolder folder(dir_.Path());
  if (!folder.Mounted()) GTEST_SKIP() << "cannot mount a file system here";
  std::filesystem::current_path(dir_.Path());  // into the mounted one
  const std::string list = kListHeader + "127.0.0.97\tNinety-seven\tlab\tQZ120\tSNMP station vers. 1.06 \r\n";
  // A file system with a file open for writing cannot become read-only: no history here.
  WriteFileBytes(WorkingFile("QZexplorer.conf"), "[History]\r\nDatabase = off\r\n");
  Start(SettingsFile("127.0.0.90", "127.0.0.99"), list, true);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  ASSERT_TRUE(folder.MakeReadOnly());
  TypeText(Control<QLineEdit>("edSysName"), "Renamed");
  QTest::keyClick(Control<QLineEdit>("edSysName"), Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(),
            "The device list could not be written to " + WholePath("QZdevices.cfg") +
                ": Read-only file system. The file is kept as it was.");
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")), list);
  window_.reset();
}
