// The rules of the program's files and texts, without a window.
#include <gtest/gtest.h>

#include <optional>

#include "conf_file.h"
#include "device_list_file.h"
#include "measured_value.h"
#include "scan_range.h"
#include "settings_file.h"
#include "sys_descr.h"

using namespace qz::app;

TEST(SettingsFile, ReadsNineLinesWhateverTheirEnds) {
  const TIniRecord record = ParseSettings("10.0.0.1\r\n10.0.0.9\nTrue\r\nr\r\nw\r\n50\r\n3\r\n");
  EXPECT_EQ(record.StartIP, "10.0.0.1");
  EXPECT_EQ(record.StopIP, "10.0.0.9");
  EXPECT_EQ(record.StartupScan, "True");
  EXPECT_FALSE(IsFlagSet(record.StartupScan));
  EXPECT_EQ(record.RetryCount, "3");
  EXPECT_EQ(record.PingDevices, "");
  EXPECT_EQ(record.PingTimeOut, "");
  EXPECT_EQ(ParseSettings(""), TIniRecord{});
}

TEST(SettingsFile, WritesNineLinesWithCrLf) {
  EXPECT_EQ(FormatSettings(DefaultSettings),
            "192.168.1.90\r\n192.168.1.100\r\nfalse\r\nkelvor\r\nstranix\r\n100\r\n2\r\nfalse\r\n100\r\n");
  EXPECT_EQ(ParseSettings(FormatSettings(DefaultSettings)), DefaultSettings);
}

TEST(SettingsFile, AddressValues) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"192.168.1.90", 3232235866u}, {" 10 . 0 . 0 . 1", 0x0A000001u}, {"1.2", 0x01020000u},
      {"1.x.3.4", 0x01000304u},      {"0.0.1.300", 556u},              {"1.2.3.4.5", 0x01020304u},
      {"256.0.0.0", 0u}};
  for (const auto& [text, value] : cases) EXPECT_EQ(AddressValue(text), value) << text;
  EXPECT_EQ(DottedAddress(3232235866u), "192.168.1.90");
  EXPECT_EQ(DottedAddress(0xFFFFFFFFu), "255.255.255.255");
}

TEST(DeviceListFile, ReadsRowsWithItsQuirks) {
  struct Case {
    const char* name;
    std::string file;
    std::vector<DeviceRow> rows;
  };
  const Case cases[] = {
      {"header only", ";-------- Machine generated file - DO NOT EDIT !!! -----\r\n", {}},
      {"comments anywhere",
       ";head\r\n10.0.0.1\tA\tB\tQZ120\tSNMP station vers. 1.06 \r\n;middle\r\n10.0.0.2\tC\tD\tQZ120exp\tL\r\n",
       {{"10.0.0.1", "A", "B", "QZ120", "SNMP station vers. 1.06 "}, {"10.0.0.2", "C", "D", "QZ120exp", "L"}}},
      {"no TAB repeats the field", "192.0.2.5\r\n",
       {{"192.0.2.5", "192.0.2.5", "192.0.2.5", "192.0.2.5", "192.0.2.5"}}},
      {"two TABs", "1.1.1.1\tname\tloc\n", {{"1.1.1.1", "name", "loc", "loc", "loc"}}},
      {"blanks before the type only are trimmed", " 1.1.1.1\t n \t l \t   QZ120\t x\ty \r\n",
       {{" 1.1.1.1", " n ", " l ", "QZ120", " x\ty "}}},
      {"a blank first is not a comment", " ;x\r\n", {{" ;x", " ;x", " ;x", ";x", ";x"}}},
      {"empty lines are skipped", "\r\n1.1.1.1\ta\tb\tc\td\r\n\r\n", {{"1.1.1.1", "a", "b", "c", "d"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseDeviceList(c.file), c.rows) << c.name;
}

TEST(DeviceListFile, WritesRowsThatReadBackTheSame) {
  const std::vector<DeviceRow> rows = {{"10.0.0.1", "Rack\t3", "Hall\r\nB", "QZ120", "SNMP station vers. 1.05 "},
                                       {"10.0.0.2", "", "", "QZ120exp", ""}};
  const std::string file = FormatDeviceList(rows);
  EXPECT_EQ(file,
            ";-------- Machine generated file - DO NOT EDIT !!! -----\r\n"
            "10.0.0.1\tRack 3\tHall  B\tQZ120\tSNMP station vers. 1.05 \r\n"
            "10.0.0.2\t\t\tQZ120exp\t\r\n");
  const auto back = ParseDeviceList(file);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].SysName, "Rack 3");
  EXPECT_EQ(back[1], rows[1]);
  // Texts as long as a datagram can carry read back whole.
  const std::vector<DeviceRow> longTexts = {{"10.0.0.3", std::string(65000, 'n'), std::string(65000, 'l'), "QZ300",
                                             "SNMP station vers. 2.10 "}};
  EXPECT_EQ(ParseDeviceList(FormatDeviceList(longTexts)), longTexts);
}

TEST(ConfFile, ManyKeysReadQuicklyAndTheLastWins) {
  std::string file = "[Many]\r\n";
  for (int i = 0; i < 60000; ++i) file += "Key" + std::to_string(i) + " = " + std::to_string(i) + "\r\n";
  file += "Key7 = again\r\n";
  bool cut = true;
  const TConfFile conf = ParseConf(file, &cut);
  EXPECT_FALSE(cut);
  EXPECT_EQ(conf.Entries().size(), 60000u);
  EXPECT_EQ(conf.Value("Many/Key59999"), "59999");
  EXPECT_EQ(conf.Value("Many/Key7"), "again");
  EXPECT_EQ(ParseConf(FormatConf(conf)).Entries().size(), 60000u);
}

TEST(SysDescr, SplitsLanInterfaceAndType) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"SNMP station vers. 1.05 Base unit QZ120\r\nmore", "SNMP station vers. 1.05 ", "QZ120exp"},
      {"SNMP station vers. 1.06 Base unit QZ120\r\nmore", "SNMP station vers. 1.06 ", "QZ120"},
      {"SNMP station vers. 1.05 Base unit qz120\r\n", "SNMP station vers. 1.05 ", "qz120"},
      {"SNMP station vers. 1.05 Base unit QZ300", "SNMP station vers. 1.05 ", "QZ300"},
      {"SNMP station 1.05 Base unit QZ120", "SNMP station 1.05 ", "QZ120"},  // "SNMPstation105" is no number
      {"1.05 Base unit QZ120", "1.05 ", "QZ120exp"},                        // no "vers. ": the whole text
      {"SNMP station vers. 1.0.5 Base unit QZ120", "SNMP station vers. 1.0.5 ", "QZ120"},
      {"SNMP station vers. 1.05 QZ120", "Unknown", "Unknown"},
      {"", "Unknown", "Unknown"},
      {"Base unit ", "", ""},
  };
  for (const auto& [description, lan, type] : cases) {
    const DeviceIdentity identity = SplitSysDescr(description);
    EXPECT_EQ(identity.LanInterface, lan) << description;
    EXPECT_EQ(identity.DeviceType, type) << description;
  }
}

TEST(SysDescr, IdentityCheckAcceptsTheStoredTypeOrAPartOfIt) {
  EXPECT_TRUE(SameDeviceType("QZ120exp", "QZ120"));
  EXPECT_TRUE(SameDeviceType("QZ120", "QZ120"));
  EXPECT_FALSE(SameDeviceType("QZ120", "QZ120exp"));
  EXPECT_FALSE(SameDeviceType("", "QZ120"));
}

TEST(SysDescr, UpTimeText) {
  const std::pair<const char*, const char*> cases[] = {
      {"8640000", "24 hours 0 min."}, {"5999", "0 hours 0 min."},   {"6000", "0 hours 1 min."},
      {"17640000", "49 hours 0 min."}, {"4294967295", "11930 hours 27 min."},
      {"-1", "???"},                   {"+100", "???"},              {"", "???"},
      {"No response", "???"},         {"4294967296", "???"},        {" 100", "???"}};
  for (const auto& [ticks, text] : cases) EXPECT_EQ(UpTimeText(ticks), text) << ticks;
}

TEST(ScanRange, AddressSequence) {
  auto sequence = [](uint32_t start, uint32_t stop) {
    std::vector<std::string> addresses;
    if (!ScanRangeHasAddresses(start, stop)) return addresses;
    for (std::optional<uint32_t> a = start; a; a = NextScanAddress(*a, stop)) addresses.push_back(DottedAddress(*a));
    return addresses;
  };
  EXPECT_EQ(sequence(AddressValue("10.0.0.250"), AddressValue("10.0.1.3")),
            (std::vector<std::string>{"10.0.0.250", "10.0.0.251", "10.0.0.252", "10.0.0.253", "10.0.0.254",
                                      "10.0.1.0", "10.0.1.1", "10.0.1.2", "10.0.1.3"}));
  EXPECT_EQ(sequence(AddressValue("10.0.0.255"), AddressValue("10.0.1.1")),
            (std::vector<std::string>{"10.0.0.255", "10.0.1.0", "10.0.1.1"}));
  EXPECT_EQ(sequence(AddressValue("10.0.0.7"), AddressValue("10.0.0.7")), (std::vector<std::string>{"10.0.0.7"}));
  EXPECT_TRUE(sequence(AddressValue("10.0.0.8"), AddressValue("10.0.0.7")).empty());
  EXPECT_TRUE(sequence(AddressValue("255.255.255.250"), AddressValue("255.255.255.255")).empty());
  EXPECT_EQ(sequence(AddressValue("255.255.255.253"), AddressValue("255.255.255.254")),
            (std::vector<std::string>{"255.255.255.253", "255.255.255.254"}));
}

TEST(ScanRange, ProgressStep) {
  const std::tuple<uint32_t, uint32_t, int32_t> cases[] = {
      {5, 5, 1000}, {5, 4, 1000}, {0, 10, 100}, {0, 3, 333}, {0, 1000, 1}, {0, 1001, 0}, {0, 0xFFFFFFFF, 1000}};
  for (const auto& [start, stop, step] : cases) EXPECT_EQ(ScanProgressStep(start, stop), step) << start << " " << stop;
}

TEST(MeasuredValue, Formatting) {
  struct Case {
    int64_t reply;
    int32_t offset, factor, decimals;
    const char* text;
  };
  const Case cases[] = {
      {1300, -100, 5, 2, "60.0"}, {1300, -100, 5, 0, "6000"}, {235, 0, 1, 1, "23.5"},
      {-5, 0, 1, 1, "-0.5"},      {7, 0, 1, 3, "0.0"},        {-7, 0, 1, 3, "0.0"},
      {25, 0, 1, 2, "0.3"},       {-25, 0, 1, 2, "-0.3"},     {5, 0, 1, -2, "5"},
      {2147483647, 1, 1, 0, "-2147483648"}, {65536, 0, 65536, 0, "0"},
      {123456, 0, 1, 1, "12345.6"}, {1, 0, 1, 200, "0.0"},
      // Counters, gauges and times past the signed range stay positive.
      {2147483648, 0, 1, 0, "2147483648"}, {4294967295, 0, 1, 0, "4294967295"}, {3000000000, -1, 2, 0, "5999999998"}};
  for (const auto& c : cases)
    EXPECT_EQ(FormatMeasuredValue(c.reply, c.offset, c.factor, c.decimals, '.'), c.text)
        << c.reply << " " << c.offset << " " << c.factor << " " << c.decimals;
  EXPECT_EQ(FormatMeasuredValue(235, 0, 1, 1, ','), "23,5");
}

TEST(MeasuredValue, TheHistoryKeepsWhatTheBoxRounds) {
  const std::tuple<int64_t, int32_t, int32_t, int32_t, double> cases[] = {
      {1234, 0, 1, 2, 12.34}, {1300, -100, 5, 2, 60.0}, {-25, 0, 1, 2, -0.25}, {7, 0, 1, 3, 0.007},
      {5, 0, 1, -2, 5}, {3000000000, -1, 2, 0, 5999999998.0}};
  for (const auto& [reply, offset, factor, decimals, number] : cases)
    EXPECT_DOUBLE_EQ(MeasuredNumber(reply, offset, factor, decimals), number) << reply << " " << decimals;
}

TEST(MeasuredValue, RepliesThatAreNumbers) {
  const std::pair<const char*, std::optional<int64_t>> cases[] = {
      {"0", 0}, {"-2147483648", -2147483648LL}, {"4294967295", 4294967295LL}, {"4294967296", std::nullopt},
      {"-2147483649", std::nullopt}, {"", std::nullopt}, {"12 V", std::nullopt}, {"abc", std::nullopt},
      {" 5", std::nullopt}, {"+5", std::nullopt}};
  for (const auto& [text, expected] : cases) {
    int64_t reply = -1;
    const bool parsed = ParseMeasuredReply(text, reply);
    EXPECT_EQ(parsed ? std::optional(reply) : std::nullopt, expected) << text;
  }
}
