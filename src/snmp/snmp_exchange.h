#pragma once
// One SNMP request: encode with a fresh request-id, send to UDP port 161,
// wait for its answer, decode it. Retries belong to the caller.
#include <cstdint>
#include <optional>
#include <string>

#include "snmp_message.h"
#include "udp_endpoint.h"

namespace qz::snmp {

class TSnmpExchange {
 public:
  std::string TargetHost = "127.0.0.1";
  std::string TargetPort = "161";
  std::string IPInterface = "0.0.0.0";
  int32_t Timeout = 500;
  TUdpEndpoint Sock;
  ByteString Buffer;
  std::string HostIP;
  TSnmpMessage Query;
  TSnmpMessage Reply;

  bool RunRequest();
  bool SendQuery(TSnmpMessage& query);
  // Waits up to Timeout for the answer to the last query sent.
  bool ReceiveReply(TSnmpMessage& reply);

 private:
  int32_t sentId_ = 0;
};

bool SnmpGetRequest(const std::string& oid, const std::string& community, const std::string& host,
                    int32_t timeoutMs, std::string& value);

// True only when the agent answered and accepted the value: a reply with a
// non-zero error-status (read-only object, wrong community, bad value) means
// the value was not written. errorStatus, when given, receives the reply's
// error-status, whatever number the agent put there, or nothing when no
// answer came.
bool SnmpSetRequest(const std::string& oid, const std::string& community, const std::string& host,
                    const std::string& value, int32_t valueType, std::optional<int32_t>* errorStatus = nullptr);

// The RFC 1157 name of an error-status ("readOnly"), or "unknown".
std::string ErrorStatusName(int32_t errorStatus);

}  // namespace qz::snmp
