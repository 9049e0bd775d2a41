// The Telnet console under a flood: `seq 1 200000` through busybox telnetd
// on loopback, the time until its last line is in the console beside a
// plain Telnet client writing the same stream to a file, the longest gap
// between two ticks of a 10 ms timer of the window meanwhile, and the
// resident memory after a million lines; then a peer whose lines end in LF
// alone.
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <string>

#include <QPushButton>
#include <QTest>
#include <QTextBlock>

#include "application.h"
#include "console_screen.h"
#include "ip_edit.h"
#include "main_window.h"
#include "main_window_test_seam.h"
#include "process_hooks.h"
#include "gui.h"
#include "peers.h"
#include "servers.h"

using namespace std::chrono;

namespace {

const char* const kAddress = "127.0.0.66";
const char* const kLfOnlyAddress = "127.0.0.67";

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// The last line before the prompt is the flood's last number.
bool EndsWith(const TConsoleScreen* screen, const QString& last) {
  const QTextBlock prompt = screen->document()->lastBlock();
  return prompt.text().endsWith("# ") && prompt.previous().text() == last;
}

double PlainClientSeconds(int lines) {
  qz::test::ScratchDir folder("console-bench");
  const std::string out = folder.File("out");
  // The client's input stays open until the server has closed the session.
  const std::string command = "bash -c \"busybox telnet " + std::string(kAddress) + " < <(sleep 0.3; echo 'seq 1 " +
                              std::to_string(lines) + "; exit'; sleep 30) > " + out + " 2>&1\"";
  const auto start = steady_clock::now();
  qz::test::RunCommand(command);
  return duration<double>(steady_clock::now() - start).count() - 0.3;
}

double Flood(qz::app::TfrmMain& window, int lines, milliseconds* longestGap) {
  TConsoleScreen* screen = window.findChild<TConsoleScreen*>("mmScreen");
  QTest::keyClicks(screen, "seq 1 " + QString::number(lines));
  const auto start = steady_clock::now();
  const qz::test::TimerGapWatch watch;
  QTest::keyClick(screen, Qt::Key_Return);
  const bool done = qz::test::WaitUntil([&] { return EndsWith(screen, QString::number(lines)); }, 120000, 1);
  const double seconds = duration<double>(steady_clock::now() - start).count();
  if (longestGap) *longestGap = watch.Longest();
  return done ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication application(argc, argv);
  const qz::app::TProcessHooks hooks;
  if (const std::string why = qz::test::TelnetServersUnavailable(); !why.empty()) {
    std::printf("console figures skipped: %s\n", why.c_str());
    return 0;
  }
  qz::test::BusyboxTelnetd server(kAddress);
  const double floor = PlainClientSeconds(200000);

  qz::test::ScratchDir folder("console-window");
  std::filesystem::current_path(folder.Path());
  std::ofstream("QZexplorer.ini", std::ios::binary)
      << "127.0.0.1\r\n127.0.0.1\r\nfalse\r\nkelvor\r\nstranix\r\n100\r\n2\r\nfalse\r\n100\r\n";
  qz::app::TfrmMain window;
  window.show();
  window.findChild<QTabWidget*>("PageControl")->setCurrentWidget(window.findChild<QWidget*>("tsTelnet"));
  window.findChild<TIPEdit*>("edTelnetIP")->SetText(kAddress);
  auto* connect = window.findChild<QPushButton*>("btTelnet");
  connect->click();
  if (!qz::test::WaitUntil([&] { return window.findChild<TConsoleScreen*>("mmScreen")->toPlainText().endsWith("# "); })) {
    std::printf("console figures skipped: no prompt from busybox telnetd\n");
    return 0;
  }
  milliseconds longestGap{};
  const double ours = Flood(window, 200000, &longestGap);
  std::printf("seq 1 200000 (1.3 MB) through busybox telnetd: console %.2f s; busybox telnet to a file %.2f s "
              "(%.1fx); longest gap of a 10 ms timer meanwhile %lld ms\n",
              ours, floor, ours / floor, static_cast<long long>(longestGap.count()));
  const long before = ResidentKilobytes();
  const double million = Flood(window, 1000000, nullptr);
  std::printf("seq 1 1000000: console %.2f s; resident memory %ld KiB after it (%ld KiB before)\n", million,
              ResidentKilobytes(), before);
  connect->click();

  // Output whose lines end in LF alone (a peer that never sends CR): every
  // piece's work stays that of the piece, not of an ever longer line.
  qz::test::InetdStyleServer lfOnly(kLfOnlyAddress, {"/usr/bin/python3",
                                                     std::string(QZ_SOURCE_DIR) + "/tests/support/hostile_telnet.py",
                                                     "lf-only", "16"});
  qz::test::WaitUntil([&] { return connect->text() == "Connect"; });
  window.findChild<TIPEdit*>("edTelnetIP")->SetText(kLfOnlyAddress);
  const long beforeLfOnly = ResidentKilobytes();
  connect->click();
  const qz::test::TimerGapWatch lfWatch;
  qz::test::WaitUntil([] { return false; }, 5000, 1);
  const milliseconds lfGap = lfWatch.Longest();
  std::printf("16 MiB of lines ended by LF alone: longest gap of a 10 ms timer %lld ms over 5 s (CR LF above: "
              "%lld ms); resident memory %ld KiB after it (%ld KiB before)\n",
              static_cast<long long>(lfGap.count()), static_cast<long long>(longestGap.count()),
              ResidentKilobytes(), beforeLfOnly);
  connect->click();
  return 0;
}
