// The fleet watch at the size of real fleets, in a network namespace of the
// benchmark's own with one responder standing for every device: a poll
// cycle of 1,000 devices beside its pacing floor (datagrams at the pacing's
// rate), processor time and memory; 10,000 devices, 2 % of them silent,
// beside the floor plus one time-out round, memory over 30 cycles; then the
// real window watching 1,000 devices: the longest wait of a 10 ms timer on
// its thread during a cycle and its memory beside a bare Qt window's; then
// 100,000 traps in 10 s to that window, from the 1,000 devices and from one
// source alone, with the same timer's longest wait beside the idle window's.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include "application.h"
#include "fleet_poller.h"
#include "fleet_responder.h"
#include "fleet_state.h"
#include "gui.h"
#include "main_window.h"
#include "main_window_test_seam.h"
#include "netns.h"
#include "peers.h"
#include "process_hooks.h"
#include "settings_file.h"
#include "snmp_message.h"
#include "sockets.h"
#include "trap.h"
#include "trap_listener.h"
#include "text_file.h"

using namespace std::chrono;
using namespace qz::app;

namespace {

constexpr uint32_t kFirst = (127u << 24) | (1u << 16);  // 127.1.0.0

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ResidentKilobytes() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE) / 1024;
}

std::vector<std::string> Qz300Oids() {
  const DeviceDescription description =
      ParseDeviceDescription(qz::test::ReadFileBytes(std::string(QZ_SOURCE_DIR) + "/DeviceFiles/QZ300.par"));
  return FleetOids(FleetType("QZ300", &description, ""));
}

// count devices from 127.1.0.0; the responder serves the first `served`.
void PollCycles(uint32_t count, uint32_t served, int cycles, const char* what) {
  const auto oids = Qz300Oids();
  std::vector<TFleetQuery> queries;
  for (uint32_t i = 0; i < count; ++i) queries.push_back({kFirst + i, oids});
  const int32_t timeoutMs = 100, tries = 2;
  TFleetPoller poller("kelvor", timeoutMs, tries);
  std::atomic<bool> stop{false};
  const qz::snmp::TPacing pacing = qz::snmp::kLanPacing;
  // Every device one request (its objects are one list); a silent one is asked `tries` times.
  const double datagrams = served + static_cast<double>(count - served) * tries;
  const double floor = datagrams / pacing.MaxPerSecond + (count > served ? timeoutMs * tries / 1000.0 : 0);
  double slowest = 0, total = 0, cpu = 0;
  long firstKb = 0;
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    const double cpuBefore = CpuSeconds();
    const auto start = steady_clock::now();
    const auto answers = poller.Poll(queries, stop);
    const double seconds = duration<double>(steady_clock::now() - start).count();
    cpu += CpuSeconds() - cpuBefore;
    size_t answered = 0;
    for (const auto& answer : answers) answered += answer.Answered ? 1 : 0;
    if (answered != served) std::printf("  cycle %d: %zu answered of %u served!\n", cycle, answered, served);
    slowest = std::max(slowest, seconds);
    total += seconds;
    if (cycle == 1) firstKb = ResidentKilobytes();
    if (cycle == 1 || cycle == cycles || cycle % 10 == 0)
      std::printf("  %s, cycle %2d: %.3f s, resident %ld KiB\n", what, cycle, seconds, ResidentKilobytes());
  }
  std::printf("%s: %d cycles, mean %.3f s, slowest %.3f s; floor %.3f s (%.0f datagrams at %d/s%s); processor "
              "%.3f s a cycle; resident memory %ld KiB after the first cycle, %ld KiB after the last\n",
              what, cycles, total / cycles, slowest, floor, datagrams, pacing.MaxPerSecond,
              count > served ? " plus one time-out round" : "", cpu / cycles, firstKb, ResidentKilobytes());
}

void RunEventLoop(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

// A v2c trap of the device's alarm object, as the devices send them.
qz::snmp::ByteString TrapDatagram(int32_t sequence) {
  qz::snmp::TSnmpMessage trap;
  trap.Version = 1;
  trap.PDUType = qz::snmp::pduTrapV2;
  trap.Community = "kelvor";
  trap.ID = sequence;
  trap.AddVarBind("1.3.6.1.2.1.1.3.0", std::to_string(sequence), qz::snmp::berTimeTicks);
  trap.AddVarBind("1.3.6.1.6.3.1.1.4.1.0", "1.3.6.1.4.1.98361.0.1", qz::snmp::berObjectId);
  trap.AddVarBind("1.3.6.1.4.1.98361.3.2.1.0", std::to_string(sequence % 3), qz::snmp::berInteger);
  return trap.EncodeMessage();
}

// `total` traps spread over `seconds` from `sources` addresses from 127.1.0.0,
// on a thread of its own while the window's thread runs; returns the
// longest wait of a 10 ms timer on the window's thread meanwhile.
double Flood(uint16_t port, uint32_t sources, int total, double seconds) {
  std::vector<qz::TSocketHandle> senders;
  for (uint32_t i = 0; i < sources; ++i)
    senders.push_back(qz::test::BoundSocket(SOCK_DGRAM, DottedAddress(kFirst + i).c_str(), 0));
  const sockaddr_in to = qz::test::IPv4Address("127.0.0.1", port);
  std::atomic<bool> done{false};
  std::thread sender([&] {
    const auto start = steady_clock::now();
    constexpr int kSlices = 1000;
    for (int slice = 0, sent = 0; slice < kSlices; ++slice) {
      for (const int end = total * (slice + 1) / kSlices; sent < end; ++sent) {
        const qz::snmp::ByteString datagram = TrapDatagram(sent);
        qz::SendDatagram(senders[static_cast<size_t>(sent) % senders.size()], datagram.data(), datagram.size(),
                         reinterpret_cast<const sockaddr*>(&to), sizeof to);
      }
      std::this_thread::sleep_until(start + duration<double>(seconds * (slice + 1) / kSlices));
    }
    done = true;
  });
  qz::test::TimerGapWatch gaps;
  while (!done) RunEventLoop(10);
  RunEventLoop(500);  // what arrived last is taken
  sender.join();
  for (const qz::TSocketHandle handle : senders) qz::CloseSocketHandle(handle);
  return static_cast<double>(gaps.Longest().count());
}

void TrapFloods(TfrmMainTestSeam& seam, uint32_t devices) {
  const TTrapListener& traps = seam.Traps();
  if (traps.Port() == 0) {
    std::printf("trap figures skipped: the window listens for no traps\n");
    return;
  }
  double idle = 0;
  {
    qz::test::TimerGapWatch gaps;
    RunEventLoop(2000);
    idle = static_cast<double>(gaps.Longest().count());
  }
  const long idleKb = ResidentKilobytes();
  const int total = 100000;
  const double fromDevices = Flood(traps.Port(), devices, total, 10);
  const qz::snmp::TTrapCounts afterDevices = traps.Counts();
  const long devicesKb = ResidentKilobytes();
  const double fromOne = Flood(traps.Port(), 1, total, 10);
  const qz::snmp::TTrapCounts afterOne = traps.Counts();
  std::printf("traps, %d in 10 s from %u listed devices: longest wait of a 10 ms timer %.0f ms (idle window %.0f ms, "
              "target 50 ms); %llu taken, %llu over a source's rate, %llu past the full queue; resident memory %ld "
              "KiB (idle %ld KiB)\n",
              total, devices, fromDevices, idle, static_cast<unsigned long long>(afterDevices.Accepted),
              static_cast<unsigned long long>(afterDevices.OverRate),
              static_cast<unsigned long long>(afterDevices.QueueFull), devicesKb, idleKb);
  std::printf("traps, %d in 10 s from one source: longest wait %.0f ms; %llu taken, %llu over its rate; resident "
              "memory %ld KiB\n",
              total, fromOne, static_cast<unsigned long long>(afterOne.Accepted - afterDevices.Accepted),
              static_cast<unsigned long long>(afterOne.OverRate - afterDevices.OverRate), ResidentKilobytes());
}

void WatchingWindow(const std::string& folder, uint32_t count) {
  std::filesystem::current_path(folder);
  // The floor: a bare Qt window shown.
  long bareKb = 0;
  {
    QWidget bare;
    bare.resize(640, 480);
    bare.show();
    RunEventLoop(300);
    bareKb = ResidentKilobytes();
  }
  std::ofstream("QZexplorer.ini", std::ios::binary)
      << "127.1.0.0\r\n127.1.0.1\r\nfalse\r\nkelvor\r\nstranix\r\n100\r\n2\r\nfalse\r\n100\r\n";
  std::ofstream("QZexplorer.conf", std::ios::binary)
      << "[Fleet]\r\nWatch = 1\r\nInterval = 3600\r\n[Traps]\r\nAddress = 127.0.0.1\r\n";
  std::vector<DeviceRow> rows;
  for (uint32_t i = 0; i < count; ++i)
    rows.push_back({DottedAddress(kFirst + i), "Unit " + std::to_string(i), "Site " + std::to_string(i % 40), "QZ300",
                    "SNMP station vers. 2.10 "});
  WriteWholeFile("QZdevices.cfg", FormatDeviceList(rows));
  TfrmMain window;
  window.show();
  TfrmMainTestSeam seam(window);
  TFleetWatch& fleet = seam.Fleet();
  while (fleet.CyclesDone() < 1) RunEventLoop(10);
  window.findChild<QAction*>("itmFleet")->trigger();
  RunEventLoop(300);
  double longest = 0, cycleSeconds = 0;
  for (int cycle = 0; cycle < 5; ++cycle) {
    const int done = fleet.CyclesDone();
    qz::test::TimerGapWatch gaps;
    const auto start = steady_clock::now();
    fleet.PollNow();
    while (fleet.CyclesDone() == done) RunEventLoop(1);
    RunEventLoop(50);  // the table's repaint after the cycle
    cycleSeconds = std::max(cycleSeconds, duration<double>(steady_clock::now() - start).count());
    longest = std::max(longest, static_cast<double>(gaps.Longest().count()));
  }
  std::printf("window watching %u devices, Fleet window open: cycle at most %.3f s; longest wait of a 10 ms timer "
              "%.0f ms (target 50 ms); resident memory %ld KiB (target 120 MiB), a bare Qt window %ld KiB\n",
              count, cycleSeconds, longest, ResidentKilobytes(), bareKb);
  TrapFloods(seam, count);
  seam.FlushHistory();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  qz::test::SilentEchoNetwork network;
  if (!network.Failure().empty()) {
    std::printf("fleet figures skipped: %s\n", network.Failure().c_str());
    return 0;
  }
  qz::test::FleetResponder responder(std::string(QZ_SOURCE_DIR) + "/DeviceFiles/QZ300.par", kFirst, 9800);
  if (!responder.Failure().empty()) {
    std::printf("fleet figures skipped: %s\n", responder.Failure().c_str());
    return 0;
  }
  PollCycles(1000, 1000, 5, "1,000 devices");
  PollCycles(10000, 9800, 30, "10,000 devices, 200 silent");
  TApplication application(argc, argv);
  const TProcessHooks hooks;
  qz::test::ScratchDir folder("fleet-bench");
  std::filesystem::copy(std::string(QZ_SOURCE_DIR) + "/DeviceFiles", folder.File("DeviceFiles"));
  WatchingWindow(folder.Path(), 1000);
  return 0;
}
