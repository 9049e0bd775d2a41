// The fleet watch through the real window against lab agents: states
// confirmed over polls, one desktop notification per change (a session bus
// of the test's own with a stand-in notification service), acknowledgement,
// the OnChange command, limits, the history of devices never selected, and
// no second stream of requests to the selected device.
#include <QCheckBox>
#include <QComboBox>
#include <QTreeWidget>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <chrono>

#include "capture.h"
#include "fleet_window.h"
#include "history_store.h"
#include "window_fixture.h"

using namespace qz::test;
using namespace qz::app;

namespace {

constexpr char kFleetLab[] = R"(
[127.0.0.244]
type = QZ120
firmware = SNMP station vers. 1.06
name = Hall 1
location = North
[127.0.0.245]
type = QZ300
firmware = SNMP station vers. 2.10
name = Hall 2
location = South
[127.0.0.246]
type = QZ120
firmware = SNMP station vers. 1.06
name = Rack 3
location = Roof
[127.0.0.248]
type = QZ999
firmware = SNMP station vers. 9.00
name = Odd one
location = Cellar
)";

const std::string kFleetList = kListHeader +
                               "127.0.0.244\tHall 1\tNorth\tQZ120\tSNMP station vers. 1.06 \r\n"
                               "127.0.0.245\tHall 2\tSouth\tQZ300\tSNMP station vers. 2.10 \r\n"
                               "127.0.0.246\tRack 3\tRoof\tQZ120\tSNMP station vers. 1.06 \r\n"
                               "127.0.0.248\tOdd one\tCellar\tQZ999\tSNMP station vers. 9.00 \r\n";

constexpr const char* kMainsA = "1.3.6.1.4.1.98361.3.2.1.0";  // QZ300's first LED
constexpr const char* kDoor = "1.3.6.1.4.1.98361.3.2.7.0";
constexpr const char* kQz120Power = "1.3.6.1.4.1.98361.2.2.1.0";

// What a stand-in of the desktop's notification service was sent.
class NotificationRecorder : public QDBusVirtualObject {
 public:
  explicit NotificationRecorder(QDBusConnection bus) : bus_(std::move(bus)) {}
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.member() != "Notify") return false;
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() >= 5) received.push_back({arguments[3].toString(), arguments[4].toString()});
    connection.send(message.createReply(QVariant::fromValue(static_cast<uint>(received.size()))));
    return true;
  }
  std::vector<std::pair<QString, QString>> received;  // summary, body

 private:
  QDBusConnection bus_;
};

// A session bus of the suite's own, the program's notifications going to it.
class SessionBus {
 public:
  SessionBus() {
    const std::string out = RunCommand("dbus-daemon --session --fork --print-address=1 --print-pid=1");
    const auto newline = out.find('\n');
    if (newline == std::string::npos) return;
    address_ = out.substr(0, newline);
    pid_ = std::atol(out.c_str() + newline + 1);
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString(address_));
  }
  ~SessionBus() {
    if (pid_ > 0) RunCommand("kill " + std::to_string(pid_));
  }
  const std::string& Address() const { return address_; }

 private:
  std::string address_;
  long pid_ = 0;
};

class FleetTest : public WithSuiteLab<kFleetLab, WindowTest> {
 protected:
  static void SetUpTestSuite() {
    WithSuiteLab::SetUpTestSuite();
    bus_ = new SessionBus;
  }
  static void TearDownTestSuite() {
    delete bus_;
    WithSuiteLab::TearDownTestSuite();
  }
  void SetUp() override {
    WithSuiteLab::SetUp();
    if (bus_->Address().empty()) GTEST_SKIP() << "no dbus-daemon for a session bus of the test's own";
    standInBus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QString::fromStdString(bus_->Address()), "notification-stand-in"));
    ASSERT_TRUE(standInBus_->isConnected());
    recorder_ = std::make_unique<NotificationRecorder>(*standInBus_);
    ASSERT_TRUE(standInBus_->registerService("org.freedesktop.Notifications"));
    ASSERT_TRUE(standInBus_->registerVirtualObject("/org/freedesktop/Notifications", recorder_.get()));
  }
  void TearDown() override {
    window_.reset();
    if (standInBus_) {
      standInBus_->unregisterObject("/org/freedesktop/Notifications");
      standInBus_->unregisterService("org.freedesktop.Notifications");
      QDBusConnection::disconnectFromBus("notification-stand-in");
    }
  }
  // The window on the fleet's list with the conf given, the watch on, its
  // panel's own timer stopped (the fleet's cycles are run by the test).
  void Open(const std::string& conf) {
    WriteFileBytes(WorkingFile("QZexplorer.conf"), "[Fleet]\r\nWatch = 1\r\nInterval = 3600\r\n" + conf);
    Start(SettingsFile("127.0.0.243", "127.0.0.249"), kFleetList, true);
    ASSERT_TRUE(WaitForWork("state Fill data"));
    Control<QTimer>("Timer")->stop();
    ASSERT_TRUE(WaitUntil([&] { return Fleet().CyclesDone() >= 1; }, 10000));  // the cycle at start
  }
  TFleetWatch& Fleet() const { return Seam().Fleet(); }
  void Poll(int cycles = 1) {
    for (int i = 0; i < cycles; ++i) {
      const int done = Fleet().CyclesDone();
      Fleet().PollNow();
      ASSERT_TRUE(WaitUntil([&] { return Fleet().CyclesDone() > done; }, 10000));
    }
    // The notification service's answers come back through the event loop.
    QTest::qWait(50);
  }
  const TFleetRow& Row(const std::string& address) const {
    for (const TFleetRow& row : Fleet().Rows())
      if (row.Device.Address == address) return row;
    static const TFleetRow none;
    ADD_FAILURE() << address << " is not a row of the fleet";
    return none;
  }
  const std::vector<std::pair<QString, QString>>& Notifications() const { return recorder_->received; }
  // The writes, acknowledgements and traps the history holds of a device, once all recorded is written.
  std::vector<qz::history::TWrite> HistoryWrites(const qz::history::TDeviceKey& device) const {
    Seam().FlushHistory();
    qz::history::TStoreSettings settings;
    settings.File = WorkingFile("QZhistory.db");
    qz::history::THistoryStore store(settings);
    EXPECT_EQ(store.Open(), "");
    return store.Writes(device, 0, INT64_MAX);
  }

  static inline SessionBus* bus_ = nullptr;
  std::unique_ptr<QDBusConnection> standInBus_;
  std::unique_ptr<NotificationRecorder> recorder_;
};

}  // namespace

TEST_F(FleetTest, AnAlarmIsToldOnceAfterTheConfirmCountAndAgainWhenAcknowledgedItEnds) {
  const LabValueGuard mainsA("127.0.0.245", kMainsA, 'i', "0");
  const LabValueGuard door("127.0.0.245", kDoor, 'i', "0");
  const std::string arguments = WorkingFile("on-change.txt");
  Open("OnChange = python3 -c \"import sys; open(sys.argv[1], 'a').write(repr(sys.argv[2:]) + chr(10))\" " +
       arguments + "\r\n");
  Poll();
  EXPECT_EQ(Row("127.0.0.245").Mark, TFleetMark::Normal);
  EXPECT_EQ(Row("127.0.0.248").Mark, TFleetMark::NoDescription);
  ASSERT_TRUE(SnmpSetValue("127.0.0.245", kMainsA, 'i', "1"));
  Poll();
  EXPECT_EQ(Row("127.0.0.245").Mark, TFleetMark::Normal) << "one poll is not yet a change";
  EXPECT_TRUE(Notifications().empty());
  Poll();
  EXPECT_EQ(Row("127.0.0.245").Mark, TFleetMark::Alarm);
  ASSERT_EQ(Notifications().size(), 1u);
  EXPECT_EQ(Notifications()[0].first, "1 device changed");
  EXPECT_EQ(Notifications()[0].second, "Hall 2 (QZ300): Mains A on");
  Poll();
  EXPECT_EQ(Notifications().size(), 1u);
  ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(arguments).find('\n') != std::string::npos; }, 10000));
  EXPECT_EQ(ReadFileBytes(arguments), "['127.0.0.245', 'Hall 2', 'QZ300', 'alarm', 'Mains A on']\n");

  // Acknowledged: another LED of the same alarm is not told; the end of it is.
  ASSERT_TRUE(Fleet().Acknowledge(1));
  ASSERT_TRUE(SnmpSetValue("127.0.0.245", kDoor, 'i', "1"));
  Poll(2);
  EXPECT_EQ(Notifications().size(), 1u);
  EXPECT_EQ(Row("127.0.0.245").LastAnswered->LitLeds, (std::vector<std::string>{"Mains A", "Door"}));
  ASSERT_TRUE(SnmpSetValue("127.0.0.245", kMainsA, 'i', "0"));
  ASSERT_TRUE(SnmpSetValue("127.0.0.245", kDoor, 'i', "0"));
  Poll(2);
  ASSERT_EQ(Notifications().size(), 2u);
  EXPECT_EQ(Notifications()[1].second, "Hall 2 (QZ300): Mains A off, Door off");
  EXPECT_FALSE(Row("127.0.0.245").Acknowledged);
  // The acknowledgement is in the history with the device's readings.
  const auto writes = HistoryWrites({"127.0.0.245", "Hall 2", "QZ300"});
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].Kind, qz::history::TWriteKind::Acknowledge);
  EXPECT_EQ(writes[0].Written, "alarm");
}

TEST_F(FleetTest, AFlappingLedRaisesNothingAndASilentDeviceIsNoAnswerAfterTheCount) {
  const LabValueGuard power("127.0.0.246", kQz120Power, 'i', "0");
  Open("Confirm = 2\r\n");
  Poll();
  for (const char* state : {"1", "0", "1", "0"}) {
    ASSERT_TRUE(SnmpSetValue("127.0.0.246", kQz120Power, 'i', state));
    Poll();
  }
  EXPECT_EQ(Row("127.0.0.246").Mark, TFleetMark::Normal);
  EXPECT_TRUE(Notifications().empty());

  lab_->StopDevice("127.0.0.248");
  Poll();
  EXPECT_EQ(Row("127.0.0.248").Mark, TFleetMark::NoDescription);
  Poll();
  EXPECT_EQ(Row("127.0.0.248").Mark, TFleetMark::NoAnswer);
  ASSERT_EQ(Notifications().size(), 1u);
  EXPECT_EQ(Notifications()[0].second, "Odd one (QZ999): no answer");
  // The table keeps what the device said last, and since when it is silent.
  auto* window = window_->findChild<TFleetWindow*>();
  ASSERT_EQ(window, nullptr) << "the window opens only when asked";
  window_->findChild<QAction*>("itmFleet")->trigger();
  auto* table = Control<QTableView>("tvFleet");
  const QString state = table->model()->index(3, TFleetTableModel::State).data().toString();
  EXPECT_TRUE(state.startsWith("no answer since ")) << state.toStdString();
  // Only what needs attention, and a filter by text.
  Control<QCheckBox>("cbFleetAttention")->setChecked(true);
  EXPECT_EQ(table->model()->rowCount(), 1);
  Control<QCheckBox>("cbFleetAttention")->setChecked(false);
  TypeText(Control<QLineEdit>("edFleetFilter"), "hall");
  EXPECT_EQ(table->model()->rowCount(), 2);
}

TEST_F(FleetTest, ALimitMarksTheValueInTheFleetAndThePanel) {
  Open("[Limits]\r\nQZ120/Temperature, C = -10..20\r\n");
  Poll();
  // The lab's 23.5 degrees: the panel's box is red, and both QZ120 rows are alarms.
  QLineEdit* box = nullptr;
  for (const auto& meas : Seam().Panel().DynMeas())
    if (meas.NameLabel && meas.NameLabel->text() == "Temperature, C") box = meas.ValueEdit;
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->styleSheet().contains("255, 160, 160")) << box->styleSheet().toStdString();
  EXPECT_TRUE(box->toolTip().contains("-10..20"));
  Seam().Refresh();
  for (const char* address : {"127.0.0.244", "127.0.0.246"}) {
    SCOPED_TRACE(address);
    EXPECT_EQ(Row(address).Mark, TFleetMark::Alarm);
    ASSERT_TRUE(Row(address).LastAnswered);
    ASSERT_EQ(Row(address).LastAnswered->OutOfLimits.size(), 1u);
    EXPECT_EQ(Row(address).LastAnswered->OutOfLimits[0].Shown, "23.5");
  }
  EXPECT_EQ(Row("127.0.0.245").Mark, TFleetMark::Normal);
}

TEST_F(FleetTest, TheHistoryHoldsDevicesNeverSelectedAndTheSelectedOneIsNotAskedTwice) {
  UdpCapture capture;
  if (!capture.Unavailable().empty()) GTEST_SKIP() << capture.Unavailable();
  Open("");
  const size_t selectedBefore = capture.SentTo("127.0.0.244").size();
  const size_t otherBefore = capture.SentTo("127.0.0.245").size();
  Poll(2);
  QTest::qWait(100);
  EXPECT_EQ(capture.SentTo("127.0.0.244").size(), selectedBefore) << "the panel's readings stand for the selected device";
  EXPECT_EQ(capture.SentTo("127.0.0.245").size(), otherBefore + 2) << "a QZ300's objects go in one request a poll";
  Seam().FlushHistory();
  qz::history::TStoreSettings settings;
  settings.File = WorkingFile("QZhistory.db");
  qz::history::THistoryStore store(settings);
  ASSERT_EQ(store.Open(), "");
  const qz::history::TDeviceKey hall2{"127.0.0.245", "Hall 2", "QZ300"};
  EXPECT_EQ(store.Objects(hall2, qz::history::TSampleKind::Led).size(), 10u);
  EXPECT_EQ(store.Objects(hall2, qz::history::TSampleKind::Value).size(), 8u);
  // The cycle at start and two more, each with every LED and value.
  EXPECT_EQ(store.Rows(hall2, 0, INT64_MAX).size(), 3u * 18u);
}

TEST_F(FleetTest, TheWindowOpensAsItWasLeftAndEnterSelectsTheRow) {
  Open("Open = 1\r\n");
  auto* table = Control<QTableView>("tvFleet");
  ASSERT_TRUE(WaitUntil([&] { return table->isVisible(); }));
  // Sorted by name, descending: Rack 3 comes first.
  table->sortByColumn(TFleetTableModel::Name, Qt::DescendingOrder);
  ASSERT_EQ(table->model()->index(0, TFleetTableModel::Name).data().toString(), "Rack 3");
  table->setCurrentIndex(table->model()->index(0, 0));
  QTest::keyClick(table, Qt::Key_Return);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  EXPECT_EQ(Seam().State().SelectedIP, "127.0.0.246");
  EXPECT_EQ(Control<QComboBox>("cbSysName")->currentText(), "Rack 3");
  // Closed by the operator: not opened at the next start.
  window_->findChild<QWidget*>("FleetWindow")->close();
  EXPECT_NE(ReadFileBytes(WorkingFile("QZexplorer.conf")).find("Open=0"), std::string::npos);
}

TEST_F(FleetTest, WithoutANotificationServiceItIsSaidOnceAndTheEventsStillTell) {
  const LabValueGuard mainsA("127.0.0.245", kMainsA, 'i', "0");
  standInBus_->unregisterService("org.freedesktop.Notifications");
  Open("Confirm = 1\r\n");
  for (const char* state : {"1", "0"}) {
    ASSERT_TRUE(SnmpSetValue("127.0.0.245", kMainsA, 'i', state));
    Poll();
    QTest::qWait(200);
  }
  window_->findChild<QAction*>("itmEvents")->trigger();
  auto* events = Control<QTreeWidget>("lvEvents");
  int unavailable = 0, changes = 0;
  for (int i = 0; i < events->topLevelItemCount(); ++i) {
    const QString text = events->topLevelItem(i)->text(2);
    unavailable += text.startsWith("Desktop notifications are not available") ? 1 : 0;
    changes += text.startsWith("Fleet: Mains A o") ? 1 : 0;
  }
  EXPECT_EQ(unavailable, 1);
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(Notifications().empty());
}

// A trap is a prompt: the device is asked at once, and the state still comes
// from the device (confirmed by as many polls as any change, a second apart).
TEST_F(FleetTest, ATrapMakesTheFleetAskTheDeviceAtOnce) {
  const LabValueGuard mainsA("127.0.0.245", kMainsA, 'i', "0");
  Open("[Traps]\r\nAddress = 127.0.0.243\r\n");
  const uint16_t port = Seam().Traps().Port();
  ASSERT_NE(port, 0);
  Poll();  // the states at start confirmed
  ASSERT_TRUE(SnmpSetValue("127.0.0.245", kMainsA, 'i', "1"));
  const auto sendTrap = [&](const std::string& from) {
    int code = -1;
    RunCommand("snmptrap -M /nonexistent -m '' --clientaddr=" + from + " -v 2c -c kelvor 127.0.0.243:" +
                   std::to_string(port) + " 1 1.3.6.1.4.1.98361.0.1 " + kMainsA + " i 1",
               &code);
    return code;
  };
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_EQ(sendTrap("127.0.0.245"), 0);
  // Confirmed without waiting for the fleet's interval (an hour here).
  ASSERT_TRUE(WaitUntil([&] { return Row("127.0.0.245").Mark == TFleetMark::Alarm; }, 5000));
  EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(4));
  WaitUntil([&] { return !Notifications().empty(); }, 2000);
  ASSERT_EQ(Notifications().size(), 1u);
  EXPECT_EQ(Notifications()[0].second, "Hall 2 (QZ300): Mains A on");
  // From an address not in the list: listed as unknown, nothing asked.
  const int cycles = Fleet().CyclesDone();
  ASSERT_EQ(sendTrap("127.0.0.247"), 0);
  window_->findChild<QAction*>("itmEvents")->trigger();
  auto* events = Control<QTreeWidget>("lvEvents");
  ASSERT_TRUE(WaitUntil([&] {
    for (int i = 0; i < events->topLevelItemCount(); ++i)
      if (events->topLevelItem(i)->text(1) == "127.0.0.247 (unknown)") return true;
    return false;
  }));
  EXPECT_EQ(Fleet().CyclesDone(), cycles);
  bool named = false;
  for (int i = 0; i < events->topLevelItemCount(); ++i)
    named |= events->topLevelItem(i)->text(2) ==
             "Trap 1.3.6.1.4.1.98361.0.1 (SNMPv2c): Mains A = 1 (1.3.6.1.4.1.98361.3.2.1.0)";
  EXPECT_TRUE(named);
  // The trap is marked in the device's history.
  const auto writes = HistoryWrites({"127.0.0.245", "Hall 2", "QZ300"});
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].Kind, qz::history::TWriteKind::Trap);
  EXPECT_EQ(writes[0].Object, "1.3.6.1.4.1.98361.0.1");
  EXPECT_EQ(writes[0].Written, "Mains A = 1 (1.3.6.1.4.1.98361.3.2.1.0)");
}
