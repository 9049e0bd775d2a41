#include <gtest/gtest.h>

#include "hex.h"
#include "snmp_message.h"

using namespace qz::snmp;
using qz::test::Hex;
using qz::test::ToHex;

namespace {
const char* kGetRequest =
    "30 20 02 01 00 04 00 A0 19 02 01 01 02 01 00 02 01 00 30 0E 30 0C 06 08 2B 06 01 02 01 01 05 "
    "00 05 00";
}

TEST(SnmpMessage, EncodesGetRequest) {
  TSnmpMessage message;
  message.Community = "";
  message.PDUType = pduGetRequest;
  message.AddVarBind("1.3.6.1.2.1.1.5.0", "ignored", berNull);
  EXPECT_EQ(ToHex(message.EncodeMessage()), kGetRequest);
  EXPECT_EQ(message.ID, 2);
  EXPECT_EQ(ToHex(message.EncodeMessage()).substr(33, 2), "02");
}

TEST(SnmpMessage, EncodesSetRequestOfText) {
  TSnmpMessage message;
  message.Community = "";
  message.PDUType = pduSetRequest;
  message.AddVarBind("1.3.6.1.2.1.1.5.0", "abc", berOctetString);
  const ByteString encoded = message.EncodeMessage();
  EXPECT_EQ(encoded.size(), 37u);
  EXPECT_EQ(ToHex(encoded.substr(encoded.size() - 19)),
            "30 11 30 0F 06 08 2B 06 01 02 01 01 05 00 04 03 61 62 63");
}

TEST(SnmpMessage, EncodesValuesByType) {
  const std::tuple<int32_t, const char*, const char*> cases[] = {
      {berInteger, "x", "02 01 00"},      {berInteger, "-1", "02 04 FF FF FF FF"},
      {berInteger, "2", "02 01 02"},      {berObjectId, "1.3.6", "06 02 2B 06"},
      {berIpAddress, "10.0.0.1", "40 04 0A 00 00 01"}, {berTimeTicks, "200", "43 01 C8"},
      {berOctetString, "", "04 00"}};
  for (const auto& [type, value, hex] : cases) {
    TSnmpMessage message;
    message.AddVarBind("1.3", value, type);
    const std::string encoded = ToHex(message.EncodeMessage());
    EXPECT_EQ(encoded.substr(encoded.size() - std::string(hex).size()), hex) << value;
  }
}

TEST(SnmpMessage, DecodesWhatItEncodes) {
  TSnmpMessage message;
  ASSERT_TRUE(message.DecodeMessage(Hex(kGetRequest)));
  EXPECT_EQ(message.Version, 0);
  EXPECT_EQ(message.Community, "");
  EXPECT_EQ(message.PDUType, pduGetRequest);
  EXPECT_EQ(message.ID, 1);
  ASSERT_EQ(message.VarBindCount(), 1);
  EXPECT_EQ(message.VarBind(0).OID, "1.3.6.1.2.1.1.5.0");
  EXPECT_EQ(message.VarBind(0).Value, "");
  EXPECT_EQ(message.VarBind(0).ValueType, berNull);
}

TEST(SnmpMessage, DecodesResponseWithSeveralBindings) {
  TSnmpMessage reply;
  reply.Community = "kelvor";
  reply.PDUType = pduGetResponse;
  reply.ID = 7;
  reply.ErrorStatus = 2;
  reply.ErrorIndex = 1;
  reply.AddVarBind("1.3.6.1.2.1.1.1.0", std::string("SNMP station\r\n\0x", 16), berOctetString);
  reply.AddVarBind("1.3.6.1.2.1.1.3.0", "8640000", berTimeTicks);
  reply.AddVarBind("1.3.6.1.2.1.1.2.0", "1.3.6.1.4.1.98361.1", berObjectId);
  TSnmpMessage decoded;
  ASSERT_TRUE(decoded.DecodeMessage(reply.EncodeMessage()));
  EXPECT_EQ(decoded.Community, "kelvor");
  EXPECT_EQ(decoded.PDUType, pduGetResponse);
  EXPECT_EQ(decoded.ID, 7);
  EXPECT_EQ(decoded.ErrorStatus, 2);
  EXPECT_EQ(decoded.ErrorIndex, 1);
  EXPECT_EQ(decoded.FindValue("1.3.6.1.2.1.1.1.0"), std::string("SNMP station\r\n\0x", 16));
  EXPECT_EQ(decoded.FindValue("1.3.6.1.2.1.1.3.0"), "8640000");
  EXPECT_EQ(decoded.FindValue("1.3.6.1.2.1.1.2.0"), "1.3.6.1.4.1.98361.1");
  EXPECT_EQ(decoded.FindValue(".1.3.6.1.2.1.1.3.0"), "");
  EXPECT_EQ(decoded.FindValue(" 1.3.6.1.2.1.1.3.0"), "");
}

TEST(SnmpMessage, DecodingDamagedInput) {
  struct Case {
    const char* hex;
    bool ok;
    int bindings;
  };
  const Case cases[] = {
      {"30 00", true, 0},
      {"02", false, 0},
      {"02 00", false, 0},
      {"30 10 02 01 00", false, 0},
      {"30 84 7F FF FF FF", false, 0},
      {"30 84 FF FF FF FF 02 01 00", true, 0},
      {"30 80 02 01 00", true, 0},
      // a binding list whose last binding is cut off keeps what came before
      {"30 1A 02 01 00 04 00 A2 13 02 01 01 02 01 00 02 01 00 30 08 30 06 06 01 2B 02 01 05 30 04 06",
       true, 1},
  };
  for (const auto& c : cases) {
    TSnmpMessage message;
    message.ID = 42;
    EXPECT_EQ(message.DecodeMessage(Hex(c.hex)), c.ok) << c.hex;
    EXPECT_EQ(message.VarBindCount(), c.bindings) << c.hex;
    if (!c.ok) {
      EXPECT_EQ(message.ID, 42) << c.hex;
    }
  }
  TSnmpMessage empty;
  ASSERT_TRUE(empty.DecodeMessage(Hex("30 00")));
  EXPECT_EQ(empty.PDUType, 5);
  EXPECT_EQ(empty.Version, 0);
  EXPECT_EQ(empty.ID, 0);
}

TEST(SnmpMessage, DecodesALargestDatagramWithoutReadingPastIt) {
  ByteString datagram = Hex("30 83 00 FF FC");
  datagram.resize(65536, '\x30');
  TSnmpMessage message;
  EXPECT_TRUE(message.DecodeMessage(datagram));
  ByteString nested;
  for (int i = 0; i < 20000; ++i) nested += Hex("30 80");
  EXPECT_TRUE(message.DecodeMessage(nested));
}

TEST(SnmpMessage, RequestIdWrapsAsA32BitField) {
  TSnmpMessage message;
  message.ID = INT32_MAX;
  message.EncodeMessage();
  EXPECT_EQ(message.ID, INT32_MIN);
  message.EncodeMessage();
  EXPECT_EQ(message.ID, INT32_MIN + 1);
}
