#pragma once
// One SNMPv1 message (RFC 1157) as plain fields and an ordered list of
// variable bindings, with its BER form.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ber.h"

namespace qz::snmp {

constexpr int32_t pduGetRequest = 0xA0;
constexpr int32_t pduGetResponse = 0xA2;
constexpr int32_t pduSetRequest = 0xA3;

struct TSnmpVarBind {
  ByteString OID;
  ByteString Value;
  int32_t ValueType = berNull;
};

class TSnmpMessage {
 public:
  TSnmpMessage();

  int32_t Version = 0;
  int32_t PDUType = 0;
  int32_t ID = 1;
  int32_t ErrorStatus = 0;
  int32_t ErrorIndex = 0;
  ByteString Community;
  int32_t MaxSize = 1472;

  void Reset();
  void AddVarBind(const std::string& oid, const ByteString& value, int32_t valueType);
  int VarBindCount() const { return static_cast<int>(varBinds_.size()); }
  const TSnmpVarBind& VarBind(int index) const { return varBinds_.at(static_cast<size_t>(index)); }
  // The value of the first binding whose OID text is exactly oid; empty when none is.
  ByteString FindValue(const std::string& oid) const;
  // Encodes the message; every call uses the next request-id.
  ByteString EncodeMessage();
  bool DecodeMessage(const ByteString& buffer);

 private:
  std::vector<TSnmpVarBind> varBinds_;
};

}  // namespace qz::snmp
