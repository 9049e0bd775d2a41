#include "snmp_message.h"

#include "text.h"

namespace qz::snmp {
namespace {

ByteString EncodeValue(const TSnmpVarBind& bind) {
  switch (bind.ValueType) {
    case berInteger:
      return BerEncodeInteger(ParseInt32Or(bind.Value, 0));
    case berNull:
      return {};
    case berObjectId:
      return OidToBer(bind.Value);
    case berIpAddress:
      return IpTextToOctets(bind.Value);
    case berCounter32:
    case berGauge32:
    case berTimeTicks:
      return BerEncodeUnsigned(static_cast<uint32_t>(ParseInt32Or(bind.Value, 0)));
    default:
      return bind.Value;
  }
}

ByteString IntegerItem(int32_t value) { return BerObject(BerEncodeInteger(value), berInteger); }

}  // namespace

TSnmpMessage::TSnmpMessage() { Reset(); }

void TSnmpMessage::Reset() {
  Version = 0;
  Community = "kelvor";
  PDUType = 0;
  ErrorStatus = 0;
  ErrorIndex = 0;
  varBinds_.clear();
}

void TSnmpMessage::AddVarBind(const std::string& oid, const ByteString& value, int32_t valueType) {
  varBinds_.push_back({oid, value, valueType});
}

ByteString TSnmpMessage::FindValue(const std::string& oid) const {
  for (const auto& bind : varBinds_)
    if (bind.OID == oid) return bind.Value;
  return {};
}

ByteString TSnmpMessage::EncodeMessage() {
  ByteString bindings;
  for (const auto& bind : varBinds_)
    bindings += BerObject(BerObject(OidToBer(bind.OID), berObjectId) +
                              BerObject(EncodeValue(bind), bind.ValueType),
                          berSequence);
  const ByteString pdu = BerObject(IntegerItem(ID) + IntegerItem(ErrorStatus) +
                                       IntegerItem(ErrorIndex) + BerObject(bindings, berSequence),
                                   PDUType);
  const ByteString message =
      BerObject(IntegerItem(Version) + BerObject(Community, berOctetString) + pdu, berSequence);
  // The request-id is a 32-bit field that wraps; signed ++ would overflow.
  ID = static_cast<int32_t>(static_cast<uint32_t>(ID) + 1u);
  return message;
}

bool TSnmpMessage::DecodeMessage(const ByteString& buffer) {
  Reset();
  if (buffer.size() < 2 || !(static_cast<uint8_t>(buffer[0]) & berConstructed)) return false;
  int32_t pos = 2;
  const int32_t contentLength = BerDecodeLength(pos, buffer);
  if (static_cast<int64_t>(buffer.size()) < static_cast<int64_t>(contentLength) + 2) return false;

  int32_t tag = 0;
  Version = ParseInt32Or(BerReadItem(pos, buffer, tag), 0);
  Community = BerReadItem(pos, buffer, tag);
  BerReadItem(pos, buffer, tag);
  PDUType = tag;
  ID = ParseInt32Or(BerReadItem(pos, buffer, tag), 0);
  ErrorStatus = ParseInt32Or(BerReadItem(pos, buffer, tag), 0);
  ErrorIndex = ParseInt32Or(BerReadItem(pos, buffer, tag), 0);
  BerReadItem(pos, buffer, tag);
  while (pos < contentLength) {
    const int32_t before = pos;
    BerReadItem(pos, buffer, tag);
    const ByteString oid = BerReadItem(pos, buffer, tag);
    const ByteString value = BerReadItem(pos, buffer, tag);
    // A damaged binding stops the position; what was read so far is kept.
    if (pos == before) break;
    AddVarBind(oid, value, tag);
  }
  return true;
}

}  // namespace qz::snmp
