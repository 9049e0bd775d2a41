#include <gtest/gtest.h>

#include "ber.h"
#include "hex.h"

using namespace qz::snmp;
using qz::test::Hex;
using qz::test::ToHex;


TEST(Ber, EncodesSubIdentifiers) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "00"}, {127, "7F"}, {128, "81 00"}, {300, "82 2C"}, {16384, "81 80 00"}, {98361, "86 80 39"}};
  for (const auto& [value, hex] : cases) {
    EXPECT_EQ(ToHex(BerEncodeSubId(value)), hex) << value;
    int32_t pos = 1;
    EXPECT_EQ(BerDecodeSubId(pos, Hex(hex)), static_cast<int32_t>(value));
    EXPECT_EQ(pos, static_cast<int32_t>(Hex(hex).size()) + 1);
  }
}

TEST(Ber, SubIdentifierRunningPastTheEndStopsThere) {
  int32_t pos = 1;
  EXPECT_EQ(BerDecodeSubId(pos, Hex("81 81")), (1 << 14) + (1 << 7));
  EXPECT_EQ(pos, 4);
  // Sub-identifiers of many octets wrap in 32 bits but always end.
  pos = 1;
  BerDecodeSubId(pos, ByteString(1000, '\xFF'));
  EXPECT_EQ(pos, 1002);
}

TEST(Ber, EncodesAndDecodesLengths) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "00"}, {127, "7F"}, {128, "81 80"}, {200, "81 C8"}, {256, "82 01 00"}, {65536, "83 01 00 00"}};
  for (const auto& [value, hex] : cases) {
    EXPECT_EQ(ToHex(BerEncodeLength(value)), hex) << value;
    int32_t pos = 1;
    EXPECT_EQ(BerDecodeLength(pos, Hex(hex)), value);
  }
  const std::tuple<const char*, int32_t, int32_t> decodes[] = {
      {"81 C8", 200, 3}, {"80", 0, 2}, {"82 01 2C", 300, 4},
      {"84 7F FF FF FF", 2147483647, 6}, {"84 80 00 00 00", INT32_MIN, 6},
      {"82 01", 256, 4},  // the missing octet counts as 0
      {"FF", 0, 129}};
  for (const auto& [hex, length, endPos] : decodes) {
    int32_t pos = 1;
    EXPECT_EQ(BerDecodeLength(pos, Hex(hex)), length) << hex;
    EXPECT_EQ(pos, endPos) << hex;
  }
}

TEST(Ber, EncodesIntegers) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "00"}, {127, "7F"}, {128, "00 80"}, {255, "00 FF"}, {256, "01 00"}, {32768, "00 80 00"},
      {2147483647, "7F FF FF FF"}, {-1, "FF FF FF FF"}, {-128, "FF FF FF 80"},
      {-129, "FF FF FF 7F"}, {INT32_MIN, "80 00 00 00"}};
  for (const auto& [value, hex] : cases) EXPECT_EQ(ToHex(BerEncodeInteger(value)), hex) << value;
}

TEST(Ber, EncodesUnsignedWithoutLeadingZero) {
  const std::pair<uint32_t, const char*> cases[] = {{0, "00"}, {128, "80"}, {200, "C8"}, {65535, "FF FF"}};
  for (const auto& [value, hex] : cases) EXPECT_EQ(ToHex(BerEncodeUnsigned(value)), hex) << value;
}

struct ReadCase {
  const char* hex;
  std::string text;
  int32_t tag;
  int32_t endPos;
};

TEST(Ber, ReadsItems) {
  const ReadCase cases[] = {
      {"02 01 FF", "-1", 2, 4},
      {"02 02 00 80", "128", 2, 5},
      {"02 00", "0", 2, 3},
      {"02 05 01 00 00 00 05", "5", 2, 8},
      {"02 04 80 00 00 00", "-2147483648", 2, 7},
      {"01 01 01", "1", 1, 4},
      {"0A 01 FE", "-2", 0x0A, 4},
      {"43 04 00 01 86 A0", "100000", 0x43, 7},
      // Counters, gauges and times are unsigned (RFC 1155).
      {"41 04 80 00 00 00", "2147483648", 0x41, 7},
      {"42 05 00 FF FF FF FF", "4294967295", 0x42, 8},
      {"40 04 C0 A8 01 5A", "192.168.1.90", 0x40, 7},
      {"40 00", "", 0x40, 3},
      {"05 00", "", 5, 3},
      {"05", "", 5, 1},
      {"04 03 61 62 63", "abc", 4, 6},
      {"44 02 00 FF", std::string("\0\xFF", 2), 0x44, 5},
      {"06 08 2B 06 01 04 01 86 80 39", "1.3.6.1.4.1.98361", 6, 11},
      {"30 03 02 01 07", Hex("02 01 07"), 0x30, 3},
      {"04 05 61 62", "", 4, 3},
      {"04 84 7F FF FF FF 00", "", 4, 7},
      {"04 84 FF FF FF FF 00", "", 4, 7},
      {"04 80 61", "", 4, 3},
      {"99 01 41", "A", 0x99, 4},
  };
  for (const auto& c : cases) {
    int32_t pos = 1;
    int32_t tag = -1;
    EXPECT_EQ(BerReadItem(pos, Hex(c.hex), tag), c.text) << c.hex;
    EXPECT_EQ(tag, c.tag) << c.hex;
    EXPECT_EQ(pos, c.endPos) << c.hex;
  }
}

TEST(Ber, WalksIntoConstructedItems) {
  const ByteString data = Hex("30 03 02 01 07");
  int32_t pos = 1;
  int32_t tag = 0;
  BerReadItem(pos, data, tag);
  EXPECT_EQ(BerReadItem(pos, data, tag), "7");
  EXPECT_EQ(tag, 2);
}

TEST(Ber, ConvertsObjectIdentifiers) {
  const std::pair<const char*, const char*> cases[] = {
      {"1.3.6.1.2.1.1.5.0", "2B 06 01 02 01 01 05 00"},
      {"1.3.6.1.4.1.98361", "2B 06 01 04 01 86 80 39"},
      {"1.3", "2B"}, {"1.3.", "2B"}, {"1", "28"}, {"", "00"}, {"1.x.5", "28 05"}};
  for (const auto& [oid, hex] : cases) EXPECT_EQ(ToHex(OidToBer(oid)), hex) << oid;
  EXPECT_EQ(BerToOid(Hex("2B 06 01 02 01 01 05 00")), "1.3.6.1.2.1.1.5.0");
  EXPECT_EQ(BerToOid(Hex("2B 06 01 04 01 86 80 39")), "1.3.6.1.4.1.98361");
  EXPECT_EQ(BerToOid(""), "");
  EXPECT_EQ(BerToOid(Hex("88 37 03")), "2.999.3");
}

TEST(Ber, TakesArcs) {
  std::string text = "a.5.6";
  EXPECT_EQ(TakeArc(text), 0);
  EXPECT_EQ(text, "5.6");
  EXPECT_EQ(TakeArc(text), 5);
  EXPECT_EQ(TakeArc(text), 6);
  EXPECT_EQ(text, "");
  text = "99999999999.1";
  EXPECT_EQ(TakeArc(text), 0);
}

TEST(Ber, ConvertsAddressText) {
  EXPECT_EQ(ToHex(IpTextToOctets("192.168.1.90")), "C0 A8 01 5A");
  EXPECT_EQ(ToHex(IpTextToOctets(" 10 . 1")), "0A 01 00 00");
  EXPECT_EQ(ToHex(IpTextToOctets("300.x.1.2.3")), "2C 00 01 02");
}

TEST(Ber, BuildsObjects) {
  EXPECT_EQ(ToHex(BerObject("abc", 4)), "04 03 61 62 63");
  EXPECT_EQ(ToHex(BerObject("", 0x130)), "30 00");
  EXPECT_EQ(BerObject(ByteString(200, 'x'), 4).substr(0, 3), Hex("04 81 C8"));
}
