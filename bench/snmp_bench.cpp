// Encoding and decoding of typical messages, and the loopback GET round
// trip of our client beside net-snmp's own synchronous call against the same
// agent of the device lab.
#include <benchmark/benchmark.h>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "peers.h"
#include "snmp_exchange.h"
#include "snmp_message.h"

using namespace qz::snmp;

namespace {

const char* kAgent = "127.0.0.35";
const char* kOid = "1.3.6.1.2.1.1.5.0";

ByteString TypicalResponse() {
  TSnmpMessage reply;
  reply.PDUType = pduGetResponse;
  reply.AddVarBind(kOid, "Rack 3 station", berOctetString);
  return reply.EncodeMessage();
}

void EncodeGetRequest(benchmark::State& state) {
  for (auto _ : state) {
    TSnmpMessage query;
    query.PDUType = pduGetRequest;
    query.AddVarBind(kOid, {}, berNull);
    benchmark::DoNotOptimize(query.EncodeMessage());
  }
}
BENCHMARK(EncodeGetRequest);

void DecodeGetResponse(benchmark::State& state) {
  const ByteString bytes = TypicalResponse();
  for (auto _ : state) {
    TSnmpMessage reply;
    benchmark::DoNotOptimize(reply.DecodeMessage(bytes));
    benchmark::DoNotOptimize(reply.FindValue(kOid));
  }
}
BENCHMARK(DecodeGetResponse);

void OurGetRoundTrip(benchmark::State& state) {
  std::string value;
  for (auto _ : state)
    if (!SnmpGetRequest(kOid, "kelvor", kAgent, 1000, value)) state.SkipWithError("no answer");
}
BENCHMARK(OurGetRoundTrip)->UseRealTime();

void NetSnmpGetRoundTrip(benchmark::State& state) {
  netsnmp_session settings;
  snmp_sess_init(&settings);
  settings.peername = const_cast<char*>(kAgent);
  settings.version = SNMP_VERSION_1;
  settings.community = reinterpret_cast<u_char*>(const_cast<char*>("kelvor"));
  settings.community_len = 6;
  settings.retries = 0;
  settings.timeout = 1000000;
  netsnmp_session* session = snmp_open(&settings);
  if (!session) {
    state.SkipWithError("snmp_open failed");
    return;
  }
  oid name[MAX_OID_LEN];
  size_t nameLength = MAX_OID_LEN;
  read_objid(kOid, name, &nameLength);
  for (auto _ : state) {
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
    snmp_add_null_var(pdu, name, nameLength);
    netsnmp_pdu* response = nullptr;
    if (snmp_synch_response(session, pdu, &response) != STAT_SUCCESS) state.SkipWithError("no answer");
    if (response) snmp_free_pdu(response);
  }
  snmp_close(session);
}
BENCHMARK(NetSnmpGetRoundTrip)->UseRealTime();

// Prints the two round trips side by side with their ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.benchmark_name() == "OurGetRoundTrip/real_time") ours_ = run.GetAdjustedRealTime();
      if (run.benchmark_name() == "NetSnmpGetRoundTrip/real_time") theirs_ = run.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (ours_ > 0 && theirs_ > 0)
      std::printf("GET round trip on loopback: ours %.1f us, net-snmp %.1f us, ratio %.2f\n", ours_ / 1000,
                  theirs_ / 1000, ours_ / theirs_);
  }

 private:
  double ours_ = 0;
  double theirs_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::unique_ptr<qz::test::DeviceLab> lab;
  if (qz::test::SnmpPeersUnavailable().empty())
    lab = std::make_unique<qz::test::DeviceLab>("[127.0.0.35]\ntype = QZ120\nname = Rack 3 station\n");
  else
    std::printf("round trips skipped: %s\n", qz::test::SnmpPeersUnavailable().c_str());
  setenv("MIBS", "", 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
  init_snmp("qz_bench");
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return 0;
}
