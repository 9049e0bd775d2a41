#pragma once
// When a datagram is the answer to a request: one rule for the single
// requests of the panel and for the many requests of the scan.
#include <cstdint>
#include <functional>
#include <string>

#include "snmp_message.h"

namespace qz::snmp {

// A fresh request-id for one send: drawn at random from the positive 31-bit
// values, so that nobody who has not seen the request can forge its answer.
int32_t NewRequestId();

// True when datagram decodes (into reply) as an SNMPv1 GetResponse whose
// request-id sentId accepts. The source address is not compared: an agent
// with several addresses may answer from another one than it was asked on,
// and the random request-id is what only the asked agent knows.
bool IsAnswer(const ByteString& datagram, const std::function<bool(int32_t id)>& sentId, TSnmpMessage& reply);

// The value an answer gives for oid: none when the agent refused the request
// (a non-zero error-status), whatever bindings it sent back with it.
ByteString AnswerValue(const TSnmpMessage& reply, const std::string& oid);

}  // namespace qz::snmp
