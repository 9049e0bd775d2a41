// The Telnet console of the window, against real Telnet servers on loopback.
#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>

#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "console_screen.h"
#include "ip_edit.h"
#include "servers.h"
#include "telnet_client.h"
#include "window_fixture.h"

using namespace qz::test;
using qz::app::ScreenStepsOf;

TEST(ConsoleScreen, ReceivedTextIsLaidOutInLines) {
  struct Case {
    const char* name;
    std::vector<std::string> blocks;
    QStringList lines;
  };
  const Case cases[] = {
      {"prompt, then an answer", {"# ", "ls\r\n"}, {"# ls", ""}},
      {"BS blank BS erases one character", {"abc", "\b \b"}, {"ab"}},
      {"BS inside a piece is shown", {"ab\bc"}, {"ab\bc"}},
      {"lone LF", {"a", "\n"}, {"a"}},
      {"lone CR", {"a\r"}, {"a", ""}},
      {"CR CR", {"a\r\r"}, {"a", "", ""}},
      {"CR LF LF", {"a\r\n\nb"}, {"a", "b"}},
      {"escape and bell stay", {"\x1b[1m\a"}, {"\x1b[1m\a"}},
      {"only negotiation", {""}, {""}},
  };
  for (const auto& c : cases) {
    TConsoleScreen screen;
    for (const auto& block : c.blocks) screen.ShowReceived(ScreenStepsOf(block));
    EXPECT_EQ(screen.Lines(), c.lines) << c.name;
  }
}

TEST(ConsoleScreen, CopyAndSelectAllKeepCtrlLettersForTheDevice) {
  TConsoleScreen screen;
  screen.ShowReceived(ScreenStepsOf("line one\rline two"));
  std::vector<char> typed;
  QObject::connect(&screen, &TConsoleScreen::characterTyped, [&](char c) { typed.push_back(c); });
  QTest::keyClick(&screen, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(screen.textCursor().selectedText(), QString("line one") + QChar(QChar::ParagraphSeparator) + "line two");
  QTest::keyClick(&screen, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(typed.empty());
  QTest::keyClick(&screen, Qt::Key_C, Qt::ControlModifier);
  QTest::keyClick(&screen, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(typed, (std::vector<char>{'\x03', '\x01'}));
}

TEST(ConsoleScreen, KeepsTheNewestLinesOnly) {
  TConsoleScreen screen;
  std::string text;
  for (int n = 1; n <= 50000; ++n) text += std::to_string(n) + (n < 50000 ? "\r" : "");
  for (size_t at = 0; at < text.size(); at += 4096) screen.ShowReceived(ScreenStepsOf(text.substr(at, 4096)));
  const QStringList lines = screen.Lines();
  ASSERT_EQ(lines.size(), 10000);
  EXPECT_EQ(lines.first(), "40001");
  EXPECT_EQ(lines.last(), "50000");
}

TEST(ConsoleScreen, ALineWithoutEndGoesOnInTheNext) {
  // Output whose lines end in LF alone, or never end: the screen's lines stay
  // within their bound and nothing is lost.
  TConsoleScreen screen;
  std::string text;
  for (int n = 0; n < 3000; ++n) text += "line " + std::to_string(n) + " ends in LF\n";
  for (size_t at = 0; at < text.size(); at += 4096) screen.ShowReceived(ScreenStepsOf(text.substr(at, 4096)));
  const QStringList lines = screen.Lines();
  qsizetype shown = 0;
  for (const QString& line : lines) {
    EXPECT_LE(line.size(), TConsoleScreen::kLongestLine);
    shown += line.size();
  }
  EXPECT_GT(lines.size(), 1);
  EXPECT_EQ(shown, static_cast<qsizetype>(text.size()) - 3000);
  EXPECT_EQ(lines.join(""), QString::fromStdString(text).remove('\n'));
}

TEST(ConsoleScreen, EightyColumnsFitWithoutWrapping) {
  TConsoleScreen screen;
  screen.setGeometry(0, 0, 641, 385);
  screen.show();
  const QString line(80, QChar('8'));
  screen.ShowReceived(ScreenStepsOf(line.toStdString()));
  EXPECT_EQ(screen.lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_LE(screen.fontMetrics().horizontalAdvance(line), screen.viewport()->width());
  EXPECT_EQ(screen.document()->blockCount(), 1);
}

namespace {

class ConsoleTest : public WindowTest {
 protected:
  void SetUp() override {
    if (const std::string why = TelnetServersUnavailable(); !why.empty()) GTEST_SKIP() << why;
    Start(SettingsFile("127.0.0.1", "127.0.0.1"));
    Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsTelnet"));
  }
  // A busybox shell on 127.0.0.66, connected and showing its prompt.
  void OpenShell() {
    shell_ = std::make_unique<BusyboxTelnetd>("127.0.0.66");
    ASSERT_TRUE(shell_->Started());
    ConnectTo("127.0.0.66");
    ASSERT_TRUE(ScreenShows("# "));
  }
  void ConnectTo(const QString& address) {
    Control<TIPEdit>("edTelnetIP")->SetText(address);
    Control<QPushButton>("btTelnet")->click();
  }
  // The window saw the connection closed: button "Connect", work state idle.
  bool WaitForConsoleIdle() {
    return WaitUntil(
        [&] { return Control<QPushButton>("btTelnet")->text() == "Connect" && Seam().State().WorkState == qz::app::wsIdle; });
  }
  bool ScreenShows(const QString& text, int timeoutMs = 5000) {
    return WaitUntil([&] { return Control<TConsoleScreen>("mmScreen")->toPlainText().contains(text); }, timeoutMs);
  }
  void Type(const QString& line) {
    QTest::keyClicks(Control<TConsoleScreen>("mmScreen"), line);
    QTest::keyClick(Control<TConsoleScreen>("mmScreen"), Qt::Key_Return);
  }
  std::unique_ptr<BusyboxTelnetd> shell_;
};

}  // namespace

TEST_F(ConsoleTest, WorksAShellAndDisconnects) {
  BusyboxTelnetd server("127.0.0.66");
  ASSERT_TRUE(server.Started());
  ConnectTo("127.0.0.66");
  EXPECT_EQ(Control<TConsoleScreen>("mmScreen")->Lines().first(), "Connecting 127.0.0.66...");
  ASSERT_TRUE(ScreenShows("# "));
  EXPECT_TRUE(WaitForStatus("Telnet connected"));
  EXPECT_EQ(Control<QPushButton>("btTelnet")->text(), "Disconnect");
  Type("echo he''llo");
  ASSERT_TRUE(ScreenShows("\nhello\n")) << Control<TConsoleScreen>("mmScreen")->toPlainText().toStdString();
  // What the screen shows comes from the device only.
  EXPECT_FALSE(Control<TConsoleScreen>("mmScreen")->toPlainText().contains("he''llo\n# echo"));
  Control<QPushButton>("btTelnet")->click();
  EXPECT_EQ(Control<TConsoleScreen>("mmScreen")->Lines().last(), "Disconnected");
  EXPECT_TRUE(WaitForConsoleIdle());
}

TEST_F(ConsoleTest, EnterInTheAddressConnects) {
  BusyboxTelnetd server("127.0.0.66");
  ASSERT_TRUE(server.Started());
  Control<TIPEdit>("edTelnetIP")->SetText("127.0.0.66");
  QTest::keyClick(Control<TIPEdit>("edTelnetIP")->OctetField(3), Qt::Key_Return);
  ASSERT_TRUE(ScreenShows("# "));
  Control<QPushButton>("btTelnet")->click();
  EXPECT_TRUE(WaitForConsoleIdle());
}

TEST_F(ConsoleTest, ServerEndingTheSession) {
  OpenShell();
  Type("exit");
  EXPECT_TRUE(WaitForConsoleIdle());
  EXPECT_EQ(Control<TConsoleScreen>("mmScreen")->Lines().last(), "Disconnected: Connection closed by peer.");
  // Typing now sends nothing, shows nothing and asks nothing.
  const QString before = Control<TConsoleScreen>("mmScreen")->toPlainText();
  Type("ls");
  EXPECT_EQ(Control<TConsoleScreen>("mmScreen")->toPlainText(), before);
  EXPECT_TRUE(messages_.Texts().isEmpty()) << messages_.Texts().join("|").toStdString();
}

TEST_F(ConsoleTest, AResetConnectionShowsWithoutAKeyPress) {
  ResettingServer server("127.0.0.69", "banner\r\n", 200);
  ASSERT_TRUE(server.Ready());
  ConnectTo("127.0.0.69");
  ASSERT_TRUE(ScreenShows("banner"));
  ASSERT_TRUE(WaitUntil([&] { return Control<QPushButton>("btTelnet")->text() == "Connect"; }));
  EXPECT_EQ(Control<TConsoleScreen>("mmScreen")->Lines().last(), "Disconnected: Connection reset by peer.");
  EXPECT_EQ(Seam().State().WorkState, qz::app::wsIdle);
  EXPECT_TRUE(messages_.Texts().isEmpty()) << messages_.Texts().join("|").toStdString();
}

TEST_F(ConsoleTest, AFloodEndsWithItsLastLineAndThePrompt) {
  OpenShell();
  Type("seq 1 20000");
  ASSERT_TRUE(WaitUntil(
      [&] {
        const QStringList lines = Control<TConsoleScreen>("mmScreen")->Lines();
        return lines.size() >= 2 && lines[lines.size() - 2] == "20000" && lines.last().endsWith("# ");
      },
      20000));
  const QStringList lines = Control<TConsoleScreen>("mmScreen")->Lines();
  // Every line came, in order (the scrollback holds the newest 10,000).
  const qsizetype at = lines.indexOf("15000");
  ASSERT_GE(at, 0);
  for (int n = 15000; n <= 20000; ++n) ASSERT_EQ(lines[at + n - 15000], QString::number(n));
  Control<QPushButton>("btTelnet")->click();
  EXPECT_TRUE(WaitForConsoleIdle());
}

TEST_F(ConsoleTest, DisconnectDuringAFloodTakesEffectAtOnce) {
  OpenShell();
  Type("seq 1 5000000");
  // The scrollback is full: the flood is on.
  ASSERT_TRUE(WaitUntil([&] { return Control<TConsoleScreen>("mmScreen")->document()->blockCount() >= 10000; }, 20000));
  const auto start = std::chrono::steady_clock::now();
  Control<QPushButton>("btTelnet")->click();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_FALSE(Seam().TelnetConnected());
  EXPECT_TRUE(WaitForConsoleIdle());
  // Nothing more arrives once disconnected.
  const QString after = Control<TConsoleScreen>("mmScreen")->toPlainText();
  QTest::qWait(200);
  EXPECT_EQ(Control<TConsoleScreen>("mmScreen")->toPlainText(), after);
}

TEST_F(ConsoleTest, RefusedConnectIsReported) {
  ConnectTo("127.0.0.67");
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "Socket Error # 10061\nConnection refused.");
  EXPECT_EQ(Control<TConsoleScreen>("mmScreen")->Lines().first(), "Connecting 127.0.0.67...");
  EXPECT_NE(Seam().State().WorkState, qz::app::wsTelnet);
}

TEST_F(ConsoleTest, SilentHostTimesOutWhileTheWindowAnswers) {
  SilentListener silent("127.0.0.68", 23);
  ASSERT_TRUE(silent.Ready());
  Seam().SetTelnetConnectTimeout(800);
  int ticksWhileWaiting = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticksWhileWaiting; });
  ticker.start(50);
  // A second click while the connect waits is ignored.
  WhenDuringWork secondClick([&] { return ticksWhileWaiting >= 2; }, [&] { Control<QPushButton>("btTelnet")->click(); });
  ConnectTo("127.0.0.68");
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_TRUE(secondClick.Done());
  EXPECT_EQ(messages_.Texts(), QStringList{"Connect timed out."});
  EXPECT_GE(ticksWhileWaiting, 4);
}

TEST_F(ConsoleTest, ClosingTheWindowDisconnectsFirst) {
  OpenShell();
  window_->close();
  EXPECT_EQ(Control<TConsoleScreen>("mmScreen")->Lines().last(), "Disconnected");
  EXPECT_FALSE(Seam().TelnetConnected());
}

namespace {

// The resident memory of this process, in MiB.
double ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Types a key every 100 ms until condition holds or timeoutMs has passed:
// the longest time the window kept its user waiting meanwhile.
std::chrono::milliseconds LongestStallUntil(QWidget* typeInto, const std::function<bool()>& condition, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const TimerGapWatch watch;
  const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto nextKey = Clock::now();
  while (!condition() && Clock::now() < until) {
    if (Clock::now() >= nextKey) {
      QTest::keyClick(typeInto, Qt::Key_X);
      nextKey = Clock::now() + std::chrono::milliseconds(100);
    }
    QTest::qWait(5);
  }
  return watch.Longest();
}

}  // namespace

TEST_F(ConsoleTest, APeerThatStopsReadingNeverHoldsTheWindow) {
  // It floods requests that must be answered and never reads the answers
  // nor what is typed: the connection ends with a word, the window answers.
  InetdStyleServer server("127.0.0.67", {"/usr/bin/python3", std::string(QZ_SOURCE_DIR) + "/tests/support/hostile_telnet.py",
                                         "negotiation", "64"});
  ASSERT_TRUE(server.Started());
  ConnectTo("127.0.0.67");
  ASSERT_TRUE(WaitUntil([&] { return Control<QPushButton>("btTelnet")->text() == "Disconnect"; }));
  const auto screen = Control<TConsoleScreen>("mmScreen");
  const auto stall = LongestStallUntil(screen, [&] { return Control<QPushButton>("btTelnet")->text() == "Connect"; }, 20000);
  EXPECT_EQ(Control<QPushButton>("btTelnet")->text(), "Connect");
  EXPECT_TRUE(screen->Lines().contains("Disconnected: The device stopped taking what is sent."))
      << screen->Lines().join("|").right(300).toStdString();
  EXPECT_LT(stall, std::chrono::milliseconds(2000));
  EXPECT_TRUE(messages_.Texts().isEmpty()) << messages_.Texts().join("|").toStdString();
}

TEST_F(ConsoleTest, HostileFloodsStayWithinTheConsolesBounds) {
  // Whatever the bytes, the screen holds its scrollback of bounded lines,
  // memory stays flat and the window keeps answering.
  const char* kinds[] = {"iac", "subnegotiation", "bare-cr", "lf-only", "no-line-ends", "ff-data", "nul", "escape"};
  for (const char* kind : kinds) {
    InetdStyleServer server("127.0.0.68", {"/usr/bin/python3",
                                           std::string(QZ_SOURCE_DIR) + "/tests/support/hostile_telnet.py", kind, "16"});
    ASSERT_TRUE(server.Started()) << kind;
    const double before = ResidentMiB();
    ConnectTo("127.0.0.68");
    const auto screen = Control<TConsoleScreen>("mmScreen");
    const auto stall = LongestStallUntil(screen, [] { return false; }, 3000);
    const double grown = ResidentMiB() - before;
    EXPECT_LT(stall, std::chrono::milliseconds(2000)) << kind;
    EXPECT_LT(grown, 100.0) << kind;
    const QStringList lines = screen->Lines();
    EXPECT_LE(lines.size(), 10000) << kind;
    for (const QString& line : lines) ASSERT_LE(line.size(), TConsoleScreen::kLongestLine) << kind;
    std::cout << "  " << kind << ": longest stall " << stall.count() << " ms, memory grown " << grown << " MiB\n";
    Control<QPushButton>("btTelnet")->click();
    ASSERT_TRUE(WaitForConsoleIdle()) << kind;
  }
}

TEST_F(WindowTest, AnOpenSessionKeepsItsAddressWhenAnotherDeviceIsPicked) {
  if (const std::string why = TelnetServersUnavailable(); !why.empty()) GTEST_SKIP() << why;
  BusyboxTelnetd server("127.0.0.66");
  ASSERT_TRUE(server.Started());
  // Two listed devices that do not answer SNMP: picking one halts, as it does.
  Start(SettingsFile("127.0.0.1", "127.0.0.1"),
        kListHeader + "127.0.0.67\tfirst\tloc\tQZ120\tlan\r\n127.0.0.68\tsecond\tloc\tQZ120\tlan\r\n");
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsTelnet"));
  Control<TIPEdit>("edTelnetIP")->SetText("127.0.0.66");
  Control<QPushButton>("btTelnet")->click();
  ASSERT_TRUE(WaitForStatus("Telnet connected"));
  EXPECT_EQ(Control<QLabel>("lbTelnet")->text(), "Telnet: 127.0.0.66");
  auto* addresses = Control<QComboBox>("cbAdrIP");
  addresses->setCurrentIndex(1);
  emit addresses->activated(1);
  ASSERT_TRUE(WaitForHalt());
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsTelnet"));
  EXPECT_EQ(Control<TIPEdit>("edTelnetIP")->Text(), "127.0.0.66");
  EXPECT_FALSE(Control<TIPEdit>("edTelnetIP")->isEnabled());
  EXPECT_EQ(Control<QLabel>("lbTelnet")->text(), "Telnet: 127.0.0.66");
  Control<QPushButton>("btTelnet")->click();
  EXPECT_EQ(Control<QLabel>("lbTelnet")->text(), "");
  // Closed, the page follows the selection again.
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsTelnet"));
  EXPECT_EQ(Control<TIPEdit>("edTelnetIP")->Text(), "127.0.0.68");
}
