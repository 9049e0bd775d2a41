#include <gtest/gtest.h>

#include "description_file.h"
#include "peers.h"

using namespace qz::app;

namespace {

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

DescriptionRecord Only(const DeviceDescription& description) {
  EXPECT_EQ(description.Records.size(), 1u);
  return description.Records.empty() ? DescriptionRecord{} : description.Records.front();
}

}  // namespace

TEST(DescriptionFile, WorkedExample) {
  const DeviceDescription d =
      ParseDeviceDescription(qz::test::ReadFileBytes(std::string(QZ_SOURCE_DIR) + "/DeviceFiles/QZ120.par"));
  ASSERT_TRUE(d.Error.empty());
  ASSERT_EQ(d.Records.size(), 9u);
  EXPECT_EQ(d.Records[0].Kind, RecordKind::SerialNumber);
  EXPECT_EQ(d.Records[0].OID, "1.3.6.1.4.1.98361.2.1.1.0");
  EXPECT_EQ(d.Records[1].Kind, RecordKind::Version);
  const auto& fan = d.Records[3];
  EXPECT_EQ(fan.Kind, RecordKind::StatusLed);
  EXPECT_EQ(fan.Name, "Fan");
  EXPECT_EQ(fan.OID, "1.3.6.1.4.1.98361.2.2.2.0");
  EXPECT_EQ(std::make_pair(fan.Left, fan.Top), std::make_pair(8, 44));
  const auto& supply = d.Records[5];
  EXPECT_EQ(supply.Name, "Supply, V");
  EXPECT_EQ(std::make_tuple(supply.Offset, supply.Factor, supply.Decimals), std::make_tuple(-100, 5, 2));
  EXPECT_EQ(std::make_pair(supply.Left, supply.Top), std::make_pair(8, 54));
  const auto& mode = d.Records[6];
  EXPECT_TRUE(mode.HasControls);
  EXPECT_EQ(mode.Name, "Mode");
  EXPECT_EQ(mode.Items, (std::vector<std::string>{"Off", "On", "Auto"}));
  EXPECT_EQ(mode.OID, "1.3.6.1.4.1.98361.2.4.1.0");
  EXPECT_FALSE(d.Records[7].HasControls);
  const auto& output = d.Records[8];
  EXPECT_EQ(output.Items, (std::vector<std::string>{"Disabled", "Enabled"}));
  EXPECT_EQ(std::make_tuple(output.Left, output.Top, output.Index), std::make_tuple(8, 84, 2));
  EXPECT_EQ(d.ParameterCount, 3);
}

TEST(DescriptionFile, RecordKindsAndFields) {
  const std::string oid70(70, '7');
  struct Case {
    const char* name;
    std::string line;
    RecordKind kind;
    std::string caption;
    std::string oid;
  };
  const Case cases[] = {
      {"a long first field", "Alarm\tMains\t1.2.3", RecordKind::StatusLed, "Mains", "1.2.3"},
      {"TAB after an A OID stays", "A\tMains\t1.2.3\tx", RecordKind::StatusLed, "Mains", "1.2.3\tx"},
      {"A without OID uses its name", "A\tMains", RecordKind::StatusLed, "Mains", "Mains"},
      {"A OID of 70 is kept whole", "A\tL\t" + oid70, RecordKind::StatusLed, "L", oid70},
      {"M OID is cut to 64", "M\tV\t0\t1\t0\t" + oid70, RecordKind::MeasuredValue, "V", oid70.substr(0, 64)},
      {"M ignores what follows its OID", "M\tV\t0\t1\t0\t1.2\tjunk", RecordKind::MeasuredValue, "V", "1.2"},
      {"M without OID uses its decimals", "M\tV\t0\t1\t2", RecordKind::MeasuredValue, "V", "2"},
      {"P OID is cut to 64", "P\tE\tMode,Off,\t" + oid70, RecordKind::Parameter, "Mode", oid70.substr(0, 64)},
      {"S takes the rest of the line", "S\t1.2.3\t4", RecordKind::SerialNumber, "", "1.2.3\t4"},
      {"V", "Version\t1.2", RecordKind::Version, "", "1.2"},
  };
  for (const auto& c : cases) {
    const auto d = ParseDeviceDescription(Lines({c.line}));
    ASSERT_EQ(d.Records.size(), 1u) << c.name;
    EXPECT_EQ(d.Records[0].Kind, c.kind) << c.name;
    EXPECT_EQ(d.Records[0].Name, c.caption) << c.name;
    EXPECT_EQ(d.Records[0].OID, c.oid) << c.name;
  }
}

TEST(DescriptionFile, ChoicesOfAParameter) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"P\tE\tMode,Off,On,\t1.2", {"Off", "On"}},
      {"P\tE\tMode,,On,\t1.2", {"", "On"}},
      {"P\tE\tMode,\t1.2", {}},
  };
  for (const auto& [line, items] : cases) {
    const DescriptionRecord record = Only(ParseDeviceDescription(Lines({line})));
    EXPECT_EQ(record.Name, "Mode") << line;
    EXPECT_EQ(record.Items, items) << line;
    EXPECT_EQ(record.OID, "1.2") << line;
  }
}

TEST(DescriptionFile, LinesThatBreakTheFormatAreIgnored) {
  const char* lines[] = {"\tA\tx\t1.2",        "a\tx\t1.2",          " A\tx\t1.2", "",  ";A\tx\t1.2",
                         "P\t\tMode,Off,\t1.2", "P\tE\tMode\t1.2",     "P\tE\tMode,Off\t1.2",
                         "P\tE\tMode,Off,",     "P\tE",               "X\ty"};
  for (const char* line : lines) {
    const auto d = ParseDeviceDescription(Lines({line}));
    EXPECT_TRUE(d.Records.empty()) << line;
    EXPECT_EQ(d.ParameterCount, 0) << line;
  }
}

TEST(DescriptionFile, SlotsWithoutControlsTakeARow) {
  const auto d = ParseDeviceDescription(Lines({"P\tD\treserved", "P\tE\tMode,Off,On,\t1.2", "P\tX"}));
  ASSERT_EQ(d.Records.size(), 3u);
  EXPECT_FALSE(d.Records[0].HasControls);
  EXPECT_EQ(std::make_tuple(d.Records[1].Top, d.Records[1].Index), std::make_tuple(54, 1));
  EXPECT_FALSE(d.Records[2].HasControls);
  EXPECT_EQ(d.ParameterCount, 3);
}

TEST(DescriptionFile, ColumnsWrap) {
  std::vector<std::string> lines;
  for (int i = 0; i < 9; ++i) {
    lines.push_back("A\tL\t1." + std::to_string(i));
    lines.push_back("M\tV\t0\t1\t0\t2." + std::to_string(i));
    lines.push_back("P\tD\tx");
  }
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  const auto d = ParseDeviceDescription(text);
  auto position = [&](RecordKind kind, int index) {
    for (const auto& r : d.Records)
      if (r.Kind == kind && r.Index == index) return std::make_pair(r.Left, r.Top);
    return std::make_pair(-1, -1);
  };
  EXPECT_EQ(position(RecordKind::StatusLed, 7), std::make_pair(8, 164));
  EXPECT_EQ(position(RecordKind::StatusLed, 8), std::make_pair(148, 24));
  EXPECT_EQ(position(RecordKind::MeasuredValue, 5), std::make_pair(8, 174));
  EXPECT_EQ(position(RecordKind::MeasuredValue, 6), std::make_pair(148, 24));
  EXPECT_EQ(position(RecordKind::Parameter, 8), std::make_pair(148, 24));
}

TEST(DescriptionFile, NumberThatIsNotOneEndsThePass) {
  const auto d = ParseDeviceDescription(Lines({"A\tL\t1.1", "M\tV\t0\tx\t1\t1.2", "A\tLater\t1.3"}));
  EXPECT_EQ(d.Error, "'x' is not a valid integer value");
  ASSERT_EQ(d.Records.size(), 1u);
  EXPECT_EQ(d.Records[0].Name, "L");
}

TEST(DescriptionFile, PathOfAType) {
#ifdef _WIN32
  EXPECT_EQ(DescriptionFilePath("QZ120"), ".\\DeviceFiles\\QZ120.par");
#else
  EXPECT_EQ(DescriptionFilePath("QZ120"), "./DeviceFiles/QZ120.par");
#endif
}

TEST(DescriptionFile, RecordsPastTheBoundAreNotRead) {
  std::string file;
  for (int i = 0; i < 20000; ++i) file += "A\tAlarm " + std::to_string(i) + "\t1.3.6.1.4.1.98361.2.2." + std::to_string(i) + ".0\r\n";
  const DeviceDescription description = ParseDeviceDescription(file);
  EXPECT_EQ(description.Records.size(), kMaxDescriptionRecords);
  EXPECT_TRUE(description.RecordsCut);
  EXPECT_FALSE(ParseDeviceDescription("A\tOne\t1.3.6.1.4.1.98361.2.2.1.0\r\n").RecordsCut);
}
