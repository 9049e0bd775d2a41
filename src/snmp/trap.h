#pragma once
// Traps as agents send them: an SNMPv1 Trap-PDU (RFC 1157 4.1.6), an SNMPv2c
// Trapv2-PDU or InformRequest-PDU (RFC 3416 4.2.6, 4.2.7); and the Response
// an inform is acknowledged with (the same request-id and bindings).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "snmp_message.h"

namespace qz::snmp {

constexpr int32_t pduTrapV1 = 0xA4;
constexpr int32_t pduInformRequest = 0xA6;
constexpr int32_t pduTrapV2 = 0xA7;

struct TTrap {
  int32_t Version = 0;  // 0: SNMPv1, 1: SNMPv2c
  ByteString Community;
  int32_t PDUType = 0;
  int32_t RequestId = 0;     // v2c
  std::string Enterprise;    // v1
  std::string AgentAddress;  // v1, dotted
  int32_t Generic = 0;       // v1: coldStart(0) .. enterpriseSpecific(6)
  int32_t Specific = 0;      // v1
  std::string Uptime;        // v1 time-stamp, v2c sysUpTime.0's value: TimeTicks as a number
  std::string TrapOid;       // v2c: snmpTrapOID.0's value
  std::vector<TSnmpVarBind> VarBinds;  // v2c without sysUpTime.0 and snmpTrapOID.0
};

// None when the datagram is not a whole trap or inform of SNMPv1 or v2c.
std::optional<TTrap> DecodeTrap(const ByteString& datagram);
// The Response an inform asks for.
ByteString InformResponse(const TTrap& inform);
// "coldStart", "linkDown", ... "enterpriseSpecific"; v2c's trap OID as it is.
std::string TrapName(const TTrap& trap);

}  // namespace qz::snmp
