// The device list as an inventory: the export of a known lab byte for byte.
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>

#include "conf_file.h"
#include "inventory.h"
#include "peers.h"

using namespace qz::app;
using namespace qz::test;

namespace {

// A QZ300 whose name is a formula, with an alarm on; a QZ120 listed with a
// Windows-1251 name; a listed address where nothing answers.
std::string InventoryLab() {
  return "[127.0.0.160]\ntype = QZ300\nfirmware = SNMP station vers. 2.10\nname = =cmd|' /C calc'!A0\n"
    "location = Hall \"B\", rack 3\ncontact = ops\nset 1.3.6.1.4.1.98361.3.2.1.0 = 1\n"
    "set 1.3.6.1.2.1.1.3.0 = timeticks 8640000\n\n"
    "[127.0.0.161]\ntype = QZ120\nfirmware = SNMP station vers. 1.06\nname = Station 2\nlocation = Hall A\n"
    "contact = noc\nset 1.3.6.1.2.1.1.3.0 = timeticks 12345\n";
}

}  // namespace

class InventoryTest : public WithSuiteLab<InventoryLab, ::testing::Test> {};

TEST_F(InventoryTest, AKnownLabExportsByteForByte) {
  ScratchDir dir("inventory");
  std::filesystem::copy(std::string(QZ_SOURCE_DIR) + "/DeviceFiles", dir.File("DeviceFiles"));
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const std::vector<DeviceRow> devices = {
      {"127.0.0.160", "=cmd|' /C calc'!A0", "Hall \"B\", rack 3", "QZ300", "SNMP station vers. 2.10 "},
      {"127.0.0.161", "\xd1\xf2\xe0\xed\xf6\xe8\xff 2", "Hall A", "QZ120", "SNMP station vers. 1.06 "},
      {"127.0.0.162", "Gone", "Hall C", "QZ120", "SNMP station vers. 1.06 "}};
  TFleetPoller poller("kelvor", 300, 1);
  const std::atomic<bool> stop{false};
  const int64_t startedMs = static_cast<int64_t>(std::time(nullptr)) * 1000;
  std::vector<TInventoryRow> rows = ReadInventory(devices, ParseConf("[Text]\nCodePage = Windows-1251\n"), poller, stop);
  std::filesystem::current_path(before);
  ASSERT_EQ(rows.size(), 3u);
  // The time of the answer varies; the rest is the lab's.
  for (TInventoryRow& row : rows)
    if (row.LastSeenMs) {
      EXPECT_GE(*row.LastSeenMs, startedMs);
      row.LastSeenMs = 1796947200000;  // 2026-12-11 00:00 UTC
    }
  EXPECT_EQ(InventoryCsv(rows),
            "address,name,location,contact,type,firmware,serial,sysdescr,uptime_seconds,last_seen,alarms\r\n"
            "127.0.0.160,'=cmd|' /C calc'!A0,\"Hall \"\"B\"\", rack 3\",ops,QZ300,1.05,SN-1-1-0,"
            "\"SNMP station vers. 2.10 Base unit QZ300\r\nMain board rev. B\",86400,2026-12-11T00:00:00Z,Mains A\r\n"
            "127.0.0.161,\xd0\xa1\xd1\x82\xd0\xb0\xd0\xbd\xd1\x86\xd0\xb8\xd1\x8f 2,Hall A,noc,QZ120,1.05,SN-1-1-0,"
            "\"SNMP station vers. 1.06 Base unit QZ120\r\nMain board rev. B\",123,2026-12-11T00:00:00Z,\r\n"
            "127.0.0.162,Gone,Hall C,,QZ120,,,SNMP station vers. 1.06 ,,,\r\n");
  EXPECT_EQ(InventoryJson(rows),
            "[\n"
            "  {\"address\": \"127.0.0.160\", \"name\": \"=cmd|' /C calc'!A0\", \"location\": \"Hall \\\"B\\\", rack 3\", "
            "\"contact\": \"ops\", \"type\": \"QZ300\", \"firmware\": \"1.05\", \"serial\": \"SN-1-1-0\", "
            "\"sysdescr\": \"SNMP station vers. 2.10 Base unit QZ300\\r\\nMain board rev. B\", \"uptime_seconds\": 86400, "
            "\"last_seen\": \"2026-12-11T00:00:00Z\", \"alarms\": [\"Mains A\"]},\n"
            "  {\"address\": \"127.0.0.161\", \"name\": \"\xd0\xa1\xd1\x82\xd0\xb0\xd0\xbd\xd1\x86\xd0\xb8\xd1\x8f 2\", "
            "\"location\": \"Hall A\", \"contact\": \"noc\", \"type\": \"QZ120\", \"firmware\": \"1.05\", "
            "\"serial\": \"SN-1-1-0\", \"sysdescr\": \"SNMP station vers. 1.06 Base unit QZ120\\r\\nMain board rev. B\", "
            "\"uptime_seconds\": 123, \"last_seen\": \"2026-12-11T00:00:00Z\", \"alarms\": []},\n"
            "  {\"address\": \"127.0.0.162\", \"name\": \"Gone\", \"location\": \"Hall C\", \"contact\": \"\", "
            "\"type\": \"QZ120\", \"firmware\": \"\", \"serial\": \"\", \"sysdescr\": \"SNMP station vers. 1.06 \", "
            "\"uptime_seconds\": null, \"last_seen\": null, \"alarms\": null}\n"
            "]\n");
  // The clipboard's table: one line per device, the formula guarded.
  const std::string table = InventoryTable(rows);
  EXPECT_EQ(table.substr(0, table.find('\n')),
            "address\tname\tlocation\tcontact\ttype\tfirmware\tserial\tsysdescr\tuptime_seconds\tlast_seen\talarms");
  EXPECT_NE(table.find("\n127.0.0.160\t'=cmd|' /C calc'!A0\tHall \"B\", rack 3\tops\t"), std::string::npos);
  EXPECT_NE(table.find("Base unit QZ300  Main board rev. B\t86400\t"), std::string::npos);
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 4);
}
