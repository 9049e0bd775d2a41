// The scan of a /24 on loopback holding five of the maker's devices, at the
// default settings (100 ms time-out, 2 tries): the program's scan beside
// onesixtyone on the same range and devices, and beside asking one address
// after the other as the program once did; then a /16 with a handful of
// devices: time and peak memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "net.h"
#include "network_scan.h"
#include "peers.h"
#include "scan_range.h"
#include "settings_file.h"
#include "sys_descr.h"

using namespace std::chrono;
using namespace qz::app;
using qz::test::RunCommand;

namespace {

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TScanRequest Request(const std::string& start, const std::string& stop) {
  TScanRequest request;
  request.Start = AddressValue(start);
  request.Stop = AddressValue(stop);
  request.Community = "kelvor";
  return request;
}

std::pair<double, size_t> TimedScan(const TScanRequest& request) {
  std::atomic<bool> stop{false};
  TNetworkScan scan(request);
  const auto begin = steady_clock::now();
  const size_t found = scan.Run(stop, {}).size();
  return {duration<double>(steady_clock::now() - begin).count(), found};
}

// One address after the other, each read with the retrying GET.
std::pair<double, size_t> SequentialScan(const TScanRequest& request) {
  qz::snmp::TSNMPdata get{"", request.Community, "", "", 0, request.Tries, request.TimeoutMs};
  size_t found = 0;
  const auto begin = steady_clock::now();
  for (std::optional<uint32_t> address = request.Start; address; address = NextScanAddress(*address, request.Stop)) {
    get.Host = DottedAddress(*address);
    get.OID = kSysObjectIdOid;
    if (!qz::snmp::NetSnmpGet(get) || qz::snmp::SnmpResult.find(kMakerEnterprise) == std::string::npos) continue;
    get.OID = kSysDescrOid;
    const bool described = qz::snmp::NetSnmpGet(get);
    if (SplitSysDescr(described ? qz::snmp::SnmpResult : "").LanInterface.find(kStationText) == std::string::npos)
      continue;
    for (const char* oid : {kSysNameOid, kSysLocationOid}) {
      get.OID = oid;
      qz::snmp::NetSnmpGet(get);
    }
    ++found;
  }
  return {duration<double>(steady_clock::now() - begin).count(), found};
}

}  // namespace

int main() {
  if (const std::string why = qz::test::SnmpPeersUnavailable(); !why.empty()) {
    std::printf("scan figures skipped: %s\n", why.c_str());
    return 0;
  }
  qz::test::ScratchDir folder("scan-bench");
  {
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
    const TScanRequest range = Request("127.0.1.0", "127.0.1.254");
    const auto [ours, found] = TimedScan(range);
    std::printf("scan of 127.0.1.0-254 (100 ms, 2 tries): %.3f s, %zu devices found\n", ours, found);

    std::ofstream hosts(folder.File("hosts"));
    for (int i = 0; i <= 254; ++i) hosts << "127.0.1." << i << "\n";
    hosts.close();
    std::ofstream(folder.File("communities")) << "kelvor\n";
    const auto start = steady_clock::now();
    const std::string seen = RunCommand("onesixtyone -c " + folder.File("communities") + " -i " + folder.File("hosts") +
                                        " 2>/dev/null | grep -c 'SNMP station'");
    const double theirs = duration<double>(steady_clock::now() - start).count();
    std::printf("onesixtyone on the same range (its default pacing): %.2f s, %s devices seen; ours is %.0fx faster\n",
                theirs, seen.substr(0, seen.find('\n')).c_str(), theirs / ours);

    const auto [sequential, sequentialFound] = SequentialScan(range);
    std::printf("one address after the other: %.1f s, %zu devices found; ours is %.0fx faster\n", sequential,
                sequentialFound, sequential / ours);
  }
  {
    qz::test::DeviceLab lab(R"(
[127.2.0.10]
type = QZ120
[127.2.64.20]
type = QZ300
[127.2.128.30]
type = QZ50
[127.2.255.40]
type = QZ120
)");
    const long before = PeakKilobytes();
    const auto [time, found] = TimedScan(Request("127.2.0.0", "127.2.255.255"));
    std::printf("scan of the /16 127.2.0.0-255.255 (65,280 addresses): %.1f s, %zu devices found; peak memory %ld KiB "
                "(%ld KiB before)\n",
                time, found, PeakKilobytes(), before);
  }
  return 0;
}
