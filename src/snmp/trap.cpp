#include "trap.h"

#include "text.h"

namespace qz::snmp {
namespace {

const char* const kSysUpTime = "1.3.6.1.2.1.1.3.0";
const char* const kSnmpTrapOid = "1.3.6.1.6.3.1.1.4.1.0";

// The bindings from pos to the end of the message; false when one is damaged.
bool ReadBindings(int32_t& pos, const ByteString& data, int32_t end, std::vector<TSnmpVarBind>& bindings) {
  int32_t tag = 0;
  BerReadItem(pos, data, tag);  // the list's SEQUENCE
  if (tag != berSequence) return false;
  while (pos <= end) {
    const int32_t before = pos;
    BerReadItem(pos, data, tag);
    if (tag != berSequence) return false;
    const ByteString oid = BerReadItem(pos, data, tag);
    if (tag != berObjectId) return false;
    const ByteString value = BerReadItem(pos, data, tag);
    if (pos == before) return false;
    bindings.push_back({oid, value, tag});
  }
  return true;
}

}  // namespace

std::optional<TTrap> DecodeTrap(const ByteString& datagram) {
  if (datagram.size() < 2 || static_cast<uint8_t>(datagram[0]) != berSequence) return std::nullopt;
  int32_t pos = 2;
  const int32_t length = BerDecodeLength(pos, datagram);
  // The message is exactly the datagram: nothing read past it, nothing left over.
  if (length <= 0 || static_cast<int64_t>(pos) - 1 + length != static_cast<int64_t>(datagram.size())) return std::nullopt;
  const auto end = static_cast<int32_t>(datagram.size());  // the last octet's position
  TTrap trap;
  int32_t tag = 0;
  const ByteString version = BerReadItem(pos, datagram, tag);
  if (tag != berInteger || !ParseInt32(version, trap.Version) || (trap.Version != 0 && trap.Version != 1))
    return std::nullopt;
  trap.Community = BerReadItem(pos, datagram, tag);
  if (tag != berOctetString) return std::nullopt;
  BerReadItem(pos, datagram, tag);
  trap.PDUType = tag;
  if (trap.Version == 0 && tag == pduTrapV1) {
    trap.Enterprise = BerReadItem(pos, datagram, tag);
    if (tag != berObjectId) return std::nullopt;
    trap.AgentAddress = BerReadItem(pos, datagram, tag);
    if (tag != berIpAddress) return std::nullopt;
    if (!ParseInt32(BerReadItem(pos, datagram, tag), trap.Generic) || tag != berInteger) return std::nullopt;
    if (!ParseInt32(BerReadItem(pos, datagram, tag), trap.Specific) || tag != berInteger) return std::nullopt;
    trap.Uptime = BerReadItem(pos, datagram, tag);
    if (tag != berTimeTicks) return std::nullopt;
  } else if (trap.Version == 1 && (tag == pduTrapV2 || tag == pduInformRequest)) {
    if (!ParseInt32(BerReadItem(pos, datagram, tag), trap.RequestId) || tag != berInteger) return std::nullopt;
    BerReadItem(pos, datagram, tag);  // error-status and error-index: 0 in a trap, not used
    BerReadItem(pos, datagram, tag);
    if (tag != berInteger) return std::nullopt;
  } else {
    return std::nullopt;
  }
  if (!ReadBindings(pos, datagram, end, trap.VarBinds)) return std::nullopt;
  if (trap.Version == 1) {
    // RFC 3416: the first two bindings are sysUpTime.0 and snmpTrapOID.0.
    if (trap.VarBinds.size() < 2 || trap.VarBinds[0].OID != kSysUpTime || trap.VarBinds[1].OID != kSnmpTrapOid)
      return std::nullopt;
    trap.Uptime = trap.VarBinds[0].Value;
    trap.TrapOid = trap.VarBinds[1].Value;
    trap.VarBinds.erase(trap.VarBinds.begin(), trap.VarBinds.begin() + 2);
  }
  return trap;
}

ByteString InformResponse(const TTrap& inform) {
  TSnmpMessage response;
  response.Version = inform.Version;
  response.Community = inform.Community;
  response.PDUType = pduGetResponse;
  response.ID = inform.RequestId;
  response.AddVarBind(kSysUpTime, inform.Uptime, berTimeTicks);
  response.AddVarBind(kSnmpTrapOid, inform.TrapOid, berObjectId);
  for (const TSnmpVarBind& binding : inform.VarBinds) response.AddVarBind(binding.OID, binding.Value, binding.ValueType);
  return response.EncodeMessage();
}

std::string TrapName(const TTrap& trap) {
  static const char* const kGeneric[] = {"coldStart",    "warmStart",         "linkDown",          "linkUp",
                                         "authenticationFailure", "egpNeighborLoss", "enterpriseSpecific"};
  if (trap.Version == 1) return trap.TrapOid;
  if (trap.Generic < 0 || trap.Generic > 6) return "generic " + std::to_string(trap.Generic);
  if (trap.Generic == 6) return std::string(kGeneric[6]) + " " + std::to_string(trap.Specific) + " of " + trap.Enterprise;
  return kGeneric[trap.Generic];
}

}  // namespace qz::snmp
