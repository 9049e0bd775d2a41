// Figures of the real window: start-up to the first idle, peak memory and
// the processor time of an idle minute's sixth; the fill and refresh of a
// device of each sample type with the GETs they make. The scan's figures
// come from scan_bench.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QEventLoop>
#include <QStatusBar>
#include <QTimer>

#include "application.h"
#include "main_window.h"
#include "main_window_test_seam.h"
#include "process_hooks.h"
#include "peers.h"

using namespace std::chrono;

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void RunEventLoop(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

void WriteSettings(const std::string& start, const std::string& stop) {
  std::ofstream("QZexplorer.ini", std::ios::binary)
      << start << "\r\n" << stop << "\r\nfalse\r\nkelvor\r\nstranix\r\n100\r\n2\r\nfalse\r\n100\r\n";
}

void StartUp(const std::string& folder) {
  std::filesystem::current_path(folder);
  WriteSettings("127.0.0.1", "127.0.0.1");
  const auto start = steady_clock::now();
  qz::app::TfrmMain window;
  bool idle = false;
  QObject::connect(window.findChild<QStatusBar*>("sbState"), &QStatusBar::messageChanged,
                   [&](const QString& text) { idle = text == "state Idle"; });
  window.show();
  while (!idle) RunEventLoop(1);
  const double startUp = duration<double, std::milli>(steady_clock::now() - start).count();
  const double cpuBefore = CpuSeconds();
  RunEventLoop(10000);
  std::printf("start-up to first idle: %.1f ms; peak memory %ld KiB; processor time over 10 s of idling: %.3f s\n",
              startUp, PeakKilobytes(), CpuSeconds() - cpuBefore);
}

void FillAndRefresh(const std::string& folder) {
  qz::test::DeviceLab lab(R"(
[127.0.0.81]
type = QZ120
firmware = SNMP station vers. 1.06
[127.0.0.82]
type = QZ300
firmware = SNMP station vers. 2.10
[127.0.0.83]
type = QZ50
firmware = SNMP station vers. 1.10
)");
  for (auto [address, type] : {std::pair{"127.0.0.81", "QZ120"}, std::pair{"127.0.0.82", "QZ300"},
                               std::pair{"127.0.0.83", "QZ50"}}) {
    std::filesystem::current_path(folder);
    WriteSettings("127.0.0.80", "127.0.0.84");
    std::ofstream("QZdevices.cfg", std::ios::binary)
        << ";\r\n" << address << "\tname\tloc\t" << type << "\tSNMP station vers. 1.06 \r\n";
    qz::app::TfrmMain window;
    window.show();
    RunEventLoop(300);
    long before = lab.RequestsServed();
    auto start = steady_clock::now();
    qz::app::TfrmMainTestSeam(window).Fill();
    const double fill = duration<double, std::milli>(steady_clock::now() - start).count();
    const long fillGets = lab.RequestsServed() - before;
    before = lab.RequestsServed();
    start = steady_clock::now();
    qz::app::TfrmMainTestSeam(window).Refresh();
    const double refresh = duration<double, std::milli>(steady_clock::now() - start).count();
    std::printf("%-6s fill %.1f ms with %ld GETs; refresh %.1f ms with %ld GETs\n", type, fill, fillGets, refresh,
                lab.RequestsServed() - before);
  }
}

// A QZ300 one long link away (the delaying relay): the fill and refresh with
// one object per request and with 28, beside the floor of one round trip.
void FillAndRefreshFarAway(const std::string& folder) {
  qz::test::DeviceLab lab(R"(
[127.0.0.86]
type = QZ300
firmware = SNMP station vers. 2.10
)");
  for (const int roundTripMs : {20, 80}) {
    const std::string ready = folder + "/relay-ready";
    std::remove(ready.c_str());
    const long relay = qz::test::StartBackgroundReady(
        "python3 " + qz::test::ShellQuoted(std::string(QZ_SOURCE_DIR) + "/tests/support/delay_relay.py") +
            " 127.0.0.87 127.0.0.86 " + std::to_string(roundTripMs) + " " + qz::test::ShellQuoted(ready),
        ready);
    for (const int objects : {1, 28}) {
      std::filesystem::current_path(folder);
      std::ofstream("QZexplorer.ini", std::ios::binary)
          << "127.0.0.80\r\n127.0.0.88\r\nfalse\r\nkelvor\r\nstranix\r\n1000\r\n2\r\nfalse\r\n100\r\n";
      std::ofstream("QZexplorer.conf", std::ios::binary) << "[Panel]\r\nObjectsPerRequest=" << objects << "\r\n";
      std::ofstream("QZdevices.cfg", std::ios::binary)
          << ";\r\n127.0.0.87\tname\tloc\tQZ300\tSNMP station vers. 2.10 \r\n";
      qz::app::TfrmMain window;
      window.show();
      RunEventLoop(2000);
      auto start = steady_clock::now();
      qz::app::TfrmMainTestSeam(window).Fill();
      const double fill = duration<double, std::milli>(steady_clock::now() - start).count();
      start = steady_clock::now();
      qz::app::TfrmMainTestSeam(window).Refresh();
      const double refresh = duration<double, std::milli>(steady_clock::now() - start).count();
      std::printf("QZ300 at a %d ms round trip, %2d object(s) a request: fill %.0f ms, refresh %.0f ms "
                  "(one round trip: %d ms)\n",
                  roundTripMs, objects, fill, refresh, roundTripMs);
    }
    qz::test::StopBackground(relay);
  }
  std::remove("QZexplorer.conf");
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication application(argc, argv);
  const qz::app::TProcessHooks hooks;
  qz::test::ScratchDir folder("bench");
  std::filesystem::copy(std::string(QZ_SOURCE_DIR) + "/DeviceFiles", folder.File("DeviceFiles"));
  StartUp(folder.Path());
  if (const std::string why = qz::test::SnmpPeersUnavailable(); !why.empty()) {
    std::printf("fill and scan figures skipped: %s\n", why.c_str());
    return 0;
  }
  FillAndRefresh(folder.Path());
  FillAndRefreshFarAway(folder.Path());
  return 0;
}
