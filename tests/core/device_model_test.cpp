#include <gtest/gtest.h>

#include "device_model.h"

namespace qz::app {
namespace {

TEST(DeviceList, RowsInAddressOrderAndTheFileWrittenFromThem) {
  TDeviceList list;
  list.Assign({{"127.0.0.10", "Ten", "Hall", "QZ300", "LAN"},
               {"127.0.0.9", "Nine", "Roof", "QZ120", "LAN"},
               {"127.0.0.100", "Hundred", "Cellar", "QZ50", "LAN"}});
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.At(0)->Address, "127.0.0.9");
  EXPECT_EQ(list.At(2)->Address, "127.0.0.100");
  EXPECT_EQ(list.At(3), nullptr);
  EXPECT_EQ(list.At(-1), nullptr);
  EXPECT_EQ(list.RowOf("127.0.0.10"), 1);
  EXPECT_EQ(list.RowOf("127.0.0.11"), -1);
  // A name is bytes of the device's code page, kept as they came.
  EXPECT_TRUE(list.SetSysName(1, "\xc7\xe0\xeb"));
  EXPECT_FALSE(list.SetSysName(1, "\xc7\xe0\xeb"));
  EXPECT_FALSE(list.SetSysLocation(5, "Nowhere"));
  EXPECT_TRUE(list.SetSysLocation(0, "Attic"));
  bool cut = false;
  EXPECT_EQ(ParseDeviceList(list.FileBytes(), &cut), list.Rows());
  EXPECT_EQ(list.At(1)->SysName, "\xc7\xe0\xeb");
}

DescriptionRecord Record(RecordKind kind, const char* oid) {
  DescriptionRecord record;
  record.Kind = kind;
  record.OID = oid;
  return record;
}

TEST(PanelModel, EachRecordKeepsWhatItsObjectLastAnswered) {
  DescriptionRecord volts = Record(RecordKind::MeasuredValue, "1.3.6.1.4.1.1.2");
  volts.Offset = 0;
  volts.Factor = 1;
  volts.Decimals = 1;
  TPanelModel panel;
  panel.Describe({{Record(RecordKind::StatusLed, "1.3.6.1.4.1.1.1"), volts, Record(RecordKind::Parameter, "1.3.6.1.4.1.1.3"),
                   Record(RecordKind::SerialNumber, "1.3.6.1.4.1.1.4")},
                  1, "", false});
  struct TCase {
    size_t Record;
    bool Answered;
    std::string Reply;
    std::optional<int64_t> Raw;
    std::optional<double> Number;
  };
  const TCase cases[] = {
      {0, true, "0", 0, std::nullopt},           {0, true, "1", 1, std::nullopt},
      {0, true, "7", 2, std::nullopt},           {0, false, "", 2, std::nullopt},
      {1, true, "235", 235, 23.5},               {1, true, "-5", -5, -0.5},
      {1, true, "4294967295", 4294967295, 429496729.5},
      {1, true, "abc", std::nullopt, std::nullopt}, {1, false, "", std::nullopt, std::nullopt},
      {2, true, "2", 2, std::nullopt},           {2, true, "x", std::nullopt, std::nullopt},
      {3, true, "SN 0042", std::nullopt, std::nullopt},
  };
  for (const TCase& c : cases) {
    const TObjectReading& reading = panel.Take(c.Record, c.Answered, c.Reply);
    EXPECT_EQ(reading.Raw, c.Raw) << c.Record << " " << c.Reply;
    EXPECT_EQ(reading.Number, c.Number) << c.Record << " " << c.Reply;
    EXPECT_EQ(panel.Latest(c.Record).Reply, c.Answered ? c.Reply : "");
  }
  // A new description forgets the last device's readings.
  panel.Describe({{volts}, 0, "", false});
  EXPECT_FALSE(panel.Latest(0).Answered);
  EXPECT_EQ(panel.Records().size(), 1u);
}

}  // namespace
}  // namespace qz::app
