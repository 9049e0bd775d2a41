// Figures of the real window: start-up to the first idle, peak memory and
// the processor time of an idle minute's sixth; the fill and refresh of a
// device of each sample type with the GETs they make; the scan of a range
// of 255 addresses with five devices, beside onesixtyone on the same range.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QComboBox>
#include <QEventLoop>
#include <QStatusBar>
#include <QTimer>

#include "application.h"
#include "main_window.h"
#include "peers.h"

using namespace std::chrono;
using qz::test::RunCommand;

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
  QObject::connect(window.sbState, &QStatusBar::messageChanged, [&](const QString& text) { idle = text == "state Idle"; });
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
    window.FillData();
    const double fill = duration<double, std::milli>(steady_clock::now() - start).count();
    const long fillGets = lab.RequestsServed() - before;
    before = lab.RequestsServed();
    start = steady_clock::now();
    window.RefreshData();
    const double refresh = duration<double, std::milli>(steady_clock::now() - start).count();
    std::printf("%-6s fill %.1f ms with %ld GETs; refresh %.1f ms with %ld GETs\n", type, fill, fillGets, refresh,
                lab.RequestsServed() - before);
  }
}

void ScanRange(const std::string& folder) {
  qz::test::DeviceLab lab(R"(
[127.0.1.10]
type = QZ120
[127.0.1.60]
type = QZ300
[127.0.1.110]
type = QZ50
[127.0.1.160]
type = QZ120
firmware = SNMP station vers. 1.05
[127.0.1.210]
type = QZ120
)");
  std::filesystem::current_path(folder);
  std::filesystem::remove("QZdevices.cfg");
  auto timedScan = [](const char* start, const char* stop) {
    WriteSettings(start, stop);
    qz::app::TfrmMain window;
    const auto begin = steady_clock::now();
    window.Scan();
    return std::make_pair(duration<double>(steady_clock::now() - begin).count(), window.cbAdrIP->count());
  };
  const double silentTime = timedScan("127.0.1.220", "127.0.1.229").first;
  const auto [scanTime, found] = timedScan("127.0.1.0", "127.0.1.254");
  std::ofstream hosts("hosts");
  for (int i = 0; i <= 254; ++i) hosts << "127.0.1." << i << "\n";
  hosts.close();
  std::ofstream("communities") << "kelvor\n";
  const auto start = steady_clock::now();
  const std::string seen = RunCommand("onesixtyone -c communities -i hosts -w 10 2>/dev/null | grep -c 'SNMP station'");
  const double theirs = duration<double>(steady_clock::now() - start).count();
  std::printf("scan of 127.0.1.0-254 at the default settings: %.1f s, %d devices found; %.0f ms per silent address\n",
              scanTime, found, silentTime * 1000 / 10);
  std::printf("onesixtyone on the same range: %.2f s, %s devices seen\n", theirs, seen.substr(0, seen.find('\n')).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication application(argc, argv);
  qz::test::ScratchDir folder("bench");
  std::filesystem::copy(std::string(QZ_SOURCE_DIR) + "/DeviceFiles", folder.File("DeviceFiles"));
  StartUp(folder.Path());
  if (const std::string why = qz::test::SnmpPeersUnavailable(); !why.empty()) {
    std::printf("fill and scan figures skipped: %s\n", why.c_str());
    return 0;
  }
  FillAndRefresh(folder.Path());
  ScanRange(folder.Path());
  return 0;
}
