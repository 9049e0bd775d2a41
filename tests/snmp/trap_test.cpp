// Traps and informs from net-snmp's snmptrap and snmpinform to the receiver
// on a high port of loopback: what is decoded, what an inform is answered
// with, and what is dropped (other communities, garbage, a flood).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "peers.h"
#include "sockets.h"
#include "trap_receiver.h"

using namespace qz::snmp;
using namespace qz::test;

namespace {

const char* const kAddress = "127.0.0.241";
constexpr uint16_t kPort = 11162;

std::string Target() { return std::string(kAddress) + ":" + std::to_string(kPort); }

// Runs a net-snmp tool quietly, without MIBs; its exit code.
int Tool(const std::string& tool, const std::string& arguments) {
  int code = -1;
  RunCommand(tool + " -M /nonexistent -m '' " + arguments + " 2>/dev/null", &code);
  return code;
}

std::vector<TReceivedTrap> TakeAtLeast(TTrapReceiver& receiver, size_t count) {
  std::vector<TReceivedTrap> taken;
  for (int i = 0; i < 300 && taken.size() < count; ++i) {
    for (auto& trap : receiver.Take()) taken.push_back(std::move(trap));
    if (taken.size() < count) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return taken;
}

class TrapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = SnmpPeersUnavailable(); !why.empty()) GTEST_SKIP() << why;
  }
};

}  // namespace

TEST_F(TrapTest, V1AndV2cTrapsAndAnInformAreTakenAndTheInformIsAnswered) {
  std::atomic<int> wakes{0};
  TTrapReceiver receiver(kAddress, kPort, {"kelvor"}, [&] { ++wakes; });
  ASSERT_EQ(receiver.Error(), 0);
  ASSERT_EQ(Tool("snmptrap", "-v 1 -c kelvor " + Target() +
                 " 1.3.6.1.4.1.98361 127.0.0.242 6 17 4200 1.3.6.1.4.1.98361.3.2.1.0 i 1"),
            0);
  ASSERT_EQ(Tool("snmptrap", "-v 2c -c kelvor " + Target() +
                 " 4300 1.3.6.1.4.1.98361.0.1 1.3.6.1.4.1.98361.3.2.7.0 i 1 1.3.6.1.2.1.1.5.0 s 'Hall 2'"),
            0);
  EXPECT_EQ(Tool("snmpinform", "-v 2c -c kelvor -r 0 -t 2 " + Target() + " 4400 1.3.6.1.4.1.98361.0.2"), 0)
      << "snmpinform reports success only when the inform was answered";
  const auto traps = TakeAtLeast(receiver, 3);
  ASSERT_EQ(traps.size(), 3u);
  EXPECT_EQ(traps[0].Source, "127.0.0.1");
  const TTrap& v1 = traps[0].Trap;
  EXPECT_EQ(v1.PDUType, pduTrapV1);
  EXPECT_EQ(v1.Enterprise, "1.3.6.1.4.1.98361");
  EXPECT_EQ(v1.AgentAddress, "127.0.0.242");
  EXPECT_EQ(TrapName(v1), "enterpriseSpecific 17 of 1.3.6.1.4.1.98361");
  EXPECT_EQ(v1.Uptime, "4200");
  ASSERT_EQ(v1.VarBinds.size(), 1u);
  EXPECT_EQ(v1.VarBinds[0].OID, "1.3.6.1.4.1.98361.3.2.1.0");
  EXPECT_EQ(v1.VarBinds[0].Value, "1");
  const TTrap& v2 = traps[1].Trap;
  EXPECT_EQ(v2.PDUType, pduTrapV2);
  EXPECT_EQ(TrapName(v2), "1.3.6.1.4.1.98361.0.1");
  EXPECT_EQ(v2.Uptime, "4300");
  ASSERT_EQ(v2.VarBinds.size(), 2u);
  EXPECT_EQ(v2.VarBinds[1].Value, "Hall 2");
  EXPECT_EQ(traps[2].Trap.PDUType, pduInformRequest);
  EXPECT_EQ(receiver.Counts().Accepted, 3u);
  EXPECT_GE(wakes, 1);
}

TEST_F(TrapTest, OtherCommunitiesGarbageAndFloodsAreCountedAndDropped) {
  TTrapReceiver receiver(kAddress, kPort, {"kelvor", "alarms"}, {});
  ASSERT_EQ(receiver.Error(), 0);
  EXPECT_EQ(Tool("snmptrap", "-v 2c -c alarms " + Target() + " 1 1.3.6.1.4.1.98361.0.1"), 0);
  EXPECT_EQ(Tool("snmptrap", "-v 2c -c public " + Target() + " 1 1.3.6.1.4.1.98361.0.1"), 0);
  EXPECT_NE(Tool("snmpinform", "-v 2c -c public -r 0 -t 1 " + Target() + " 1 1.3.6.1.4.1.98361.0.2"), 0)
      << "an inform of another community is not answered";
  // Garbage, then a flood of it from one source: 2,000 datagrams at once.
  const qz::TSocketHandle sender = BoundSocket(SOCK_DGRAM, "127.0.0.1", 0);
  ASSERT_NE(sender, qz::kNoSocket);
  const sockaddr_in to = IPv4Address(kAddress, kPort);
  const std::string garbage("\x30\x05\x02\x01\x00\x04\x00", 7);
  const auto floodStart = std::chrono::steady_clock::now();
  for (int i = 0; i < 2001; ++i) {
    qz::SendDatagram(sender, garbage.data(), garbage.size(), reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (i == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const double floodSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - floodStart).count();
  qz::CloseSocketHandle(sender);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const auto taken = receiver.Take();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].Trap.Community, "alarms");
  const TTrapCounts counts = receiver.Counts();
  EXPECT_EQ(counts.WrongCommunity, 2u);
  // One source is cut to its rate before anything is decoded: a burst, then
  // the rate for as long as the flood lasted (the sends themselves take a
  // while on a slow machine).
  const double decoded = 2 + TTrapReceiver::kTrapsPerSecond * (1 + floodSeconds + 0.6);
  EXPECT_LE(static_cast<double>(counts.Malformed), decoded);
  EXPECT_GE(static_cast<double>(counts.OverRate), 2001 - decoded);
}
