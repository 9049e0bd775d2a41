// What the window writes to a device is what the operator chose, and what it
// shows is whole: checked against the device lab, with a capture of the wire.
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>

#include <algorithm>

#include <sys/resource.h>
#include <unistd.h>

#include "capture.h"
#include "ip_edit.h"
#include "led.h"
#include "snmp_message.h"
#include "window_fixture.h"

using namespace qz::test;
using qz::snmp::TSnmpMessage;

namespace {

constexpr char kSafetyLab[] = R"(
[127.0.0.81]
type = QZ120
firmware = SNMP station vers. 1.06
name = Wheel unit
location = Bay 81
set 1.3.6.1.4.1.98361.2.1.1.0 = "SN-81"
set 1.3.6.1.4.1.98361.2.4.1.0 = 2
readonly = 1.3.6.1.4.1.98361.2.4.2.0
[127.0.0.82]
type = QZ120
firmware = SNMP station vers. 1.05
name = Early unit
set 1.3.6.1.4.1.98361.2.1.1.0 = "SN-82"
set 1.3.6.1.4.1.98361.2.1.2.0 = "1.05"
[127.0.0.83]
type = QZ300
firmware = SNMP station vers. 2.10
name = Wide values
set 1.3.6.1.4.1.98361.3.1.1.0 = "SN-83"
set 1.3.6.1.4.1.98361.3.3.1.0 = -12345
set 1.3.6.1.4.1.98361.3.3.2.0 = 1234567
[127.0.0.85]
type = QZ300
firmware = SNMP station vers. 2.10
name = Odd values
set 1.3.6.1.4.1.98361.3.3.3.0 = "12 V"
set 1.3.6.1.4.1.98361.3.3.8.0 = counter 3000000000
set 1.3.6.1.4.1.98361.3.4.1.0 = "Auto"
[127.0.0.84]
type = QZ999
firmware = SNMP station vers. 1.00
name = No file
)";

const std::string kList = kListHeader +
                          "127.0.0.81\tWheel unit\tBay 81\tQZ120\tSNMP station vers. 1.06 \r\n"
                          "127.0.0.82\tEarly unit\tlab\tQZ120exp\tSNMP station vers. 1.05 \r\n"
                          "127.0.0.83\tWide values\tlab\tQZ300\tSNMP station vers. 2.10 \r\n"
                          "127.0.0.84\tNo file\tlab\tQZ999\tSNMP station vers. 1.00 \r\n"
                          "127.0.0.85\tOdd values\tlab\tQZ300\tSNMP station vers. 2.10 \r\n";
const char* const kModeOid = "1.3.6.1.4.1.98361.2.4.1.0";
const char* const kOutputOid = "1.3.6.1.4.1.98361.2.4.2.0";

struct Request {
  int32_t PduType;
  std::string Community;
  std::string Oid;
};

std::vector<Request> RequestsTo(const UdpCapture& capture, const std::string& address) {
  std::vector<Request> requests;
  for (const auto& datagram : capture.SentTo(address)) {
    TSnmpMessage message;
    message.DecodeMessage(datagram.Payload);
    requests.push_back({message.PDUType, message.Community, message.VarBindCount() ? message.VarBind(0).OID : ""});
  }
  return requests;
}

void TurnWheel(QWidget* widget, int notches) {
  const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
  QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &wheel);
}

class SafetyTest : public WithSuiteLab<kSafetyLab, WindowTest> {
 protected:
  void SetUp() override {
    WithSuiteLab::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (!capture_.Unavailable().empty()) GTEST_SKIP() << capture_.Unavailable();
  }
  void Open(int row = 0) {
    Start(SettingsFile("127.0.0.80", "127.0.0.89"), kList, true);
    ASSERT_TRUE(WaitForWork("state Fill data"));
    if (row != 0) Select(row);
  }
  QComboBox* Combo(int index) { return Seam().Panel().DynParams().at(static_cast<size_t>(index)).Combo; }

  UdpCapture capture_;
};

}  // namespace

TEST_F(SafetyTest, WheelOverAControlNotChosenChangesNothing) {
  Open();
  const std::string settings = ReadFileBytes(WorkingFile("QZexplorer.ini"));
  Control<QTabWidget>("PageControl")->setFocus();
  const size_t sentBefore = capture_.SentTo("127.0.0.81").size();
  QWidget* const controls[] = {Combo(0), Control<QComboBox>("cbAdrIP"), Control<QComboBox>("cbSysName"), Control<QComboBox>("cbSysLoc"),
                               Control<QSpinBox>("seRetryCount")};
  for (QWidget* control : controls) {
    TurnWheel(control, 1);
    TurnWheel(control, -2);
  }
  QTest::qWait(700);
  EXPECT_EQ(Combo(0)->currentIndex(), 2);
  EXPECT_EQ(Control<QComboBox>("cbAdrIP")->currentIndex(), 0);
  EXPECT_EQ(Control<QSpinBox>("seRetryCount")->value(), 2);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")), settings);
  EXPECT_EQ(capture_.SentTo("127.0.0.81").size(), sentBefore);
  EXPECT_EQ(SnmpGetText("127.0.0.81", kModeOid), "2");

  // Once chosen, the wheel works as usual.
  Control<QSpinBox>("seRetryCount")->setFocus();
  TurnWheel(Control<QSpinBox>("seRetryCount"), 1);
  EXPECT_EQ(Control<QSpinBox>("seRetryCount")->value(), 3);
  Control<QSpinBox>("seRetryCount")->setValue(2);
}

TEST_F(SafetyTest, KeysOnAClosedChoiceChangeNothing) {
  Open();
  QComboBox* mode = Combo(0);
  mode->setFocus();
  const size_t sentBefore = capture_.SentTo("127.0.0.81").size();
  for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End,
                            Qt::Key_O, Qt::Key_A, Qt::Key_Return})
    QTest::keyClick(mode, key);
  TurnWheel(mode, -1);
  TurnWheel(mode, 2);
  // Space opens the list; Escape leaves it without a choice.
  QTest::keyClick(mode, Qt::Key_Space);
  EXPECT_TRUE(mode->view()->isVisible());
  QTest::keyClick(mode->view(), Qt::Key_Down);
  QTest::keyClick(mode->view(), Qt::Key_Escape);
  QTest::qWait(300);
  EXPECT_EQ(mode->currentIndex(), 2);
  EXPECT_EQ(capture_.SentTo("127.0.0.81").size(), sentBefore);
  EXPECT_EQ(SnmpGetText("127.0.0.81", kModeOid), "2");
}

TEST_F(SafetyTest, AWrongWriteCommunityLeavesReadsWorking) {
  Open();
  auto* writeCommunity = Control<QLineEdit>("edWriteComm");
  TypeText(writeCommunity, "wrong");
  QFocusEvent left(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(writeCommunity, &left);
  ASSERT_EQ(Seam().State().Settings.WriteComm, "wrong");
  QComboBox* mode = Combo(0);
  const size_t before = RequestsTo(capture_, "127.0.0.81").size();
  ChooseInOpenList(mode, 0);
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "Mode not written: no answer to the write: is the write community right?");
  EXPECT_EQ(mode->currentText(), "Auto");
  EXPECT_EQ(mode->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
  ASSERT_TRUE(WaitForWork("state Refresh data"));
  Seam().SetTicks(29);
  ASSERT_TRUE(WaitForWork("state Refresh data"));
  const auto requests = RequestsTo(capture_, "127.0.0.81");
  for (size_t i = before; i < requests.size(); ++i) {
    const Request& request = requests[i];
    EXPECT_EQ(request.Community, request.PduType == qz::snmp::pduSetRequest ? "wrong" : "kelvor") << i;
  }
  EXPECT_NE(Seam().Panel().DynLeds().at(0).Led->BrushColor(), TStatusLed::kUnknownColor);
  EXPECT_EQ(Control<QLabel>("lbSilent")->text(), "");
  EXPECT_EQ(SnmpGetText("127.0.0.81", kModeOid), "2");
}

TEST_F(SafetyTest, OneRefreshFollowsAWrite) {
  const LabValueGuard restore("127.0.0.81", kModeOid, 'i', "2");
  Open();
  auto countGets = [&](size_t from) {
    const auto requests = RequestsTo(capture_, "127.0.0.81");
    return std::count_if(requests.begin() + static_cast<std::ptrdiff_t>(from), requests.end(),
                         [](const Request& request) { return request.PduType == qz::snmp::pduGetRequest; });
  };
  size_t before = RequestsTo(capture_, "127.0.0.81").size();
  Seam().SetTicks(29);
  ASSERT_TRUE(WaitForWork("state Refresh data"));
  const auto oneRefresh = countGets(before);
  before = RequestsTo(capture_, "127.0.0.81").size();
  ChooseInOpenList(Combo(0), 1);
  ASSERT_TRUE(WaitForWork("state Refresh data"));
  QTest::qWait(300);
  // The read-back, then one refresh.
  EXPECT_EQ(countGets(before), oneRefresh + 1);
}

TEST_F(SafetyTest, WritesAndRefusalsStayInTheEventsList) {
  const LabValueGuard restore("127.0.0.81", kModeOid, 'i', "2");
  Open();
  ChooseInOpenList(Combo(0), 1);
  ASSERT_TRUE(WaitForWork("state Refresh data"));
  ChooseInOpenList(Combo(2), Combo(2)->currentIndex() == 0 ? 1 : 0);
  ASSERT_TRUE(WaitForWork("state Refresh data"));
  // The notices go from the status bar; the list keeps them.
  ASSERT_TRUE(WaitUntil([&] { return Control<QLabel>("lbNotice")->text().isEmpty(); }, 6000));
  window_->findChild<QAction*>("itmEvents")->trigger();
  auto* list = window_->findChild<QTreeWidget*>("lvEvents");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->topLevelItemCount(), 2);
  const QTreeWidgetItem* set = list->topLevelItem(0);
  EXPECT_EQ(set->text(1), "Wheel unit (127.0.0.81)");
  EXPECT_EQ(set->text(2), "Mode set to On");
  EXPECT_TRUE(QDateTime::fromString(set->text(0), "yyyy-MM-dd HH:mm:ss").isValid()) << set->text(0).toStdString();
  EXPECT_TRUE(list->topLevelItem(1)->text(2).startsWith("Output not written: the device "));
  // What happens while the list is open is added to it.
  ChooseInOpenList(Combo(0), 2);
  EXPECT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->topLevelItem(2)->text(2), "Mode set to Auto");
}

TEST_F(SafetyTest, NoDeviceAfterAScanThatFoundNothing) {
  Start(SettingsFile("127.0.0.90", "127.0.0.99"), kList, true);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  TypeText(Control<QLineEdit>("edSysName"), "Stray name");
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  WhenDuringWork stop([&] { return Control<QLineEdit>("edScanIP")->text().startsWith("Asked "); },
                      [&] { Control<QPushButton>("btScan")->click(); });
  Control<QPushButton>("btScan")->click();
  ASSERT_TRUE(WaitUntil([&] { return stop.Done() && Control<QPushButton>("btScan")->text() == "Scan"; }, 10000));
  ASSERT_TRUE(WaitForStatus("state Idle"));
  const size_t sentAfterScan = capture_.Datagrams().size();
  // The Telnet page shows the device's group too: nothing of the device that went.
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsTelnet"));
  EXPECT_FALSE(Control<QGroupBox>("gbDevInfo")->isEnabled());
  EXPECT_EQ(Control<QLineEdit>("edSysName")->text(), "");
  EXPECT_EQ(Control<QLineEdit>("edDevType")->text(), "");

  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  ASSERT_TRUE(WaitForStatus("state Halted"));
  for (QGroupBox* group : {Control<QGroupBox>("gbSNMPmib"), Control<QGroupBox>("gbControl"), Control<QGroupBox>("gbDevInfo")})
    EXPECT_FALSE(group->isEnabled()) << group->objectName().toStdString();
  EXPECT_EQ(Control<QLineEdit>("edSysName")->text(), "");
  EXPECT_EQ(Control<QLineEdit>("edSN")->text(), "");
  EXPECT_TRUE(Seam().Panel().DynParams().empty());
  Control<QLineEdit>("edSysName")->setEnabled(true);
  TypeText(Control<QLineEdit>("edSysName"), "Stray name");
  QTest::keyClick(Control<QLineEdit>("edSysName"), Qt::Key_Return);
  Seam().SetTicks(29);
  QTest::qWait(1500);
  EXPECT_EQ(capture_.Datagrams().size(), sentAfterScan);
  EXPECT_EQ(SnmpGetText("127.0.0.81", "1.3.6.1.2.1.1.5.0"), "Wheel unit");
  // The only message is the scan's summary of the devices it no longer lists.
  EXPECT_EQ(messages_.Texts(), QStringList{"The scan found these changes against the previous list:"});
}

TEST_F(SafetyTest, AWrittenParameterIsReadBack) {
  const LabValueGuard restore("127.0.0.81", kModeOid, 'i', "2");
  Open();
  QComboBox* mode = Combo(0);
  const size_t before = RequestsTo(capture_, "127.0.0.81").size();
  ChooseInOpenList(mode, 1);
  ASSERT_TRUE(WaitForWork("state Refresh data"));
  const auto requests = RequestsTo(capture_, "127.0.0.81");
  ASSERT_GE(requests.size(), before + 2);
  EXPECT_EQ(requests[before].PduType, qz::snmp::pduSetRequest);
  EXPECT_EQ(requests[before].Community, "stranix");
  EXPECT_EQ(requests[before].Oid, kModeOid);
  EXPECT_EQ(requests[before + 1].PduType, qz::snmp::pduGetRequest);
  EXPECT_EQ(requests[before + 1].Community, "kelvor");
  EXPECT_EQ(requests[before + 1].Oid, kModeOid);
  EXPECT_EQ(mode->currentText(), "On");
  EXPECT_EQ(mode->palette().color(QPalette::ButtonText), QColor(Qt::black));

  // The device keeps something else than it accepted: the box shows that.
  WhenDuringWork change(
      [&] {
        const auto sent = RequestsTo(capture_, "127.0.0.81");
        return !sent.empty() && sent.back().PduType == qz::snmp::pduSetRequest;
      },
      [&] { SnmpSetValue("127.0.0.81", kModeOid, 'i', "0"); });
  ChooseInOpenList(mode, 2);
  ASSERT_TRUE(WaitForWork("state Refresh data"));
  EXPECT_TRUE(change.Done());
  EXPECT_EQ(mode->currentText(), "Off");
  EXPECT_EQ(mode->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
  EXPECT_EQ(Control<QLabel>("lbNotice")->text(), "Mode: the device holds Off, not Auto");
}

TEST_F(SafetyTest, AFailedWriteSaysWhy) {
  Open();
  QComboBox* output = Combo(2);
  const int held = output->currentIndex();
  const size_t before = RequestsTo(capture_, "127.0.0.81").size();
  ChooseInOpenList(output, held == 0 ? 1 : 0);
  ASSERT_TRUE(WaitForWork("state Refresh data"));
  // A refusal is the device's answer: the value is not sent again.
  const auto requests = RequestsTo(capture_, "127.0.0.81");
  EXPECT_EQ(std::count_if(requests.begin() + static_cast<std::ptrdiff_t>(before), requests.end(),
                          [](const Request& request) { return request.PduType == qz::snmp::pduSetRequest; }),
            1);
  EXPECT_EQ(output->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
  // The box goes back to what the device kept.
  EXPECT_EQ(output->currentIndex(), held);
  EXPECT_TRUE(Control<QLabel>("lbNotice")->text().startsWith("Output not written: the device "))
      << Control<QLabel>("lbNotice")->text().toStdString();
  // The state stays said, and the notice goes after a few seconds.
  EXPECT_EQ(Control<QStatusBar>("sbState")->currentMessage(), "state Idle");
  EXPECT_TRUE(WaitUntil([&] { return Control<QLabel>("lbNotice")->text().isEmpty(); }, 6000));
}

TEST_F(SafetyTest, ValuesShowTheirStartAndWholeTextAsTooltip) {
  Open(2);
  const auto& meas = Seam().Panel().DynMeas();
  ASSERT_GE(meas.size(), 2u);
  for (auto [box, whole] : {std::pair{meas[0].ValueEdit, "-1234.5"}, std::pair{meas[1].ValueEdit, "1234567"}}) {
    const QString shown = box->text();
    EXPECT_EQ(box->cursorPosition(), 0);
    EXPECT_TRUE(shown == whole || (shown.endsWith(QChar(0x2026)) && QString(whole).startsWith(shown.chopped(1))))
        << shown.toStdString();
    EXPECT_EQ(shown == whole ? QString(whole) : box->toolTip(), QString(whole));
    EXPECT_LE(box->fontMetrics().horizontalAdvance(shown), box->width());
  }
  EXPECT_EQ(meas[0].ValueEdit->text().left(2), "-1");
}

TEST_F(SafetyTest, ChoicesShowWholeWhenTheBoxIsTooNarrow) {
  Open();
  QComboBox* output = Combo(2);
  ASSERT_EQ(output->currentText(), "Disabled");
  const int widest = output->fontMetrics().horizontalAdvance("Disabled");
  output->showPopup();
  EXPECT_GE(output->view()->width(), widest);
  output->hidePopup();
  if (output->fontMetrics().horizontalAdvance("Disabled") > output->width() - 20) {
    EXPECT_EQ(output->toolTip(), "Disabled");
  }
}

TEST_F(SafetyTest, SerialNumberAndFirmwareBelongToTheDeviceShown) {
  Open(2);
  EXPECT_EQ(Control<QLineEdit>("edSN")->text(), "SN-83");
  Select(1);
  EXPECT_EQ(Control<QLineEdit>("edDevType")->text(), "QZ120exp");
  EXPECT_EQ(Control<QLineEdit>("edSN")->text(), "SN-82");
  EXPECT_EQ(Control<QLineEdit>("edVers")->text(), "1.05");
  EXPECT_EQ(Seam().Panel().DynLeds().size(), 2u);
}

TEST_F(SafetyTest, ATypeWithoutDescriptionShowsNoSerialNumber) {
  Open(2);
  EXPECT_EQ(Control<QLineEdit>("edSN")->text(), "SN-83");
  Select(3);
  EXPECT_EQ(Control<QLineEdit>("edDevType")->text(), "QZ999");
  EXPECT_EQ(Control<QLineEdit>("edSN")->text(), "");
  EXPECT_EQ(Control<QLineEdit>("edVers")->text(), "");
}

TEST_F(SafetyTest, AValueOfTheWrongTypeIsShownInvalidAndTheRestIsRead) {
  Open(4);
  const auto& meas = Seam().Panel().DynMeas();
  ASSERT_EQ(meas.size(), 8u);
  EXPECT_EQ(meas[2].ValueEdit->text(), "err");
  EXPECT_EQ(meas[2].ValueEdit->toolTip(), "The device sent \"12 V\", not a number");
  EXPECT_EQ(meas[3].ValueEdit->text(), "23.5");
  // A counter past the signed range is not shown negative (whole in the tooltip).
  EXPECT_EQ(meas[7].ValueEdit->toolTip(), "3000000000");
  EXPECT_EQ(Combo(0)->currentIndex(), -1);
  EXPECT_EQ(Combo(1)->currentIndex(), 0);
  EXPECT_TRUE(messages_.Texts().isEmpty()) << messages_.Texts().join("; ").toStdString();
  Seam().SetTicks(29);
  ASSERT_TRUE(WaitForWork("state Refresh data"));
  EXPECT_EQ(meas[2].ValueEdit->text(), "err");
  EXPECT_TRUE(messages_.Texts().isEmpty()) << messages_.Texts().join("; ").toStdString();
}

TEST_F(SafetyTest, AScanThatCannotStartKeepsTheListAndSaysWhy) {
  Open(1);
  const std::string list = ReadFileBytes(WorkingFile("QZdevices.cfg"));
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  messages_.Clear();
  // No descriptor left for the scan's socket: the lowest free one is the limit.
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
  const int lowestFree = dup(0);
  ASSERT_GE(lowestFree, 0);
  close(lowestFree);
  rlimit tight = before;
  tight.rlim_cur = static_cast<rlim_t>(lowestFree);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  Control<QPushButton>("btScan")->click();
  const bool failed = WaitUntil([&] { return Control<QLineEdit>("edScanIP")->text() == "Scan failed"; }, 10000);
  setrlimit(RLIMIT_NOFILE, &before);
  ASSERT_TRUE(failed) << Control<QLineEdit>("edScanIP")->text().toStdString();
  EXPECT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts(), QStringList{"The scan could not start: Socket Error # 10024 Too many open files. The "
                                           "device list is kept."});
  EXPECT_EQ(Control<QComboBox>("cbAdrIP")->count(), 5);
  EXPECT_EQ(Control<QComboBox>("cbAdrIP")->currentText(), "127.0.0.82");
  EXPECT_EQ(Control<QComboBox>("cbSysName")->currentText(), "Early unit");
  EXPECT_EQ(Control<QPushButton>("btScan")->text(), "Scan");
  EXPECT_TRUE(Control<QPushButton>("btSaveSettings")->isEnabled());
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZdevices.cfg")), list);
}
