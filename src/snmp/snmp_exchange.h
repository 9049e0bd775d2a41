#pragma once
// One SNMP request: encode with a fresh request-id, send to UDP port 161,
// wait for its answer, decode it. Retries belong to the caller.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
  // Binds the local end and opens the socket towards the target, once for
  // every query the exchange sends.
  void Open();
  bool SendQuery(TSnmpMessage& query);
  // Waits up to Timeout for the answer to any query sent on this exchange:
  // a late answer to an earlier try is as good as the answer to the last.
  bool ReceiveReply(TSnmpMessage& reply);

 private:
  std::vector<int32_t> sentIds_;
};

bool SnmpGetRequest(const std::string& oid, const std::string& community, const std::string& host,
                    int32_t timeoutMs, std::string& value);

// Asks for oid up to `tries` times on one socket, each try with a fresh
// request-id and timeoutMs of waiting; an answer to any try counts. beforeTry
// runs before each try and calls the asking off by returning false.
bool SnmpGetWithTries(const std::string& oid, const std::string& community, const std::string& host,
                      int32_t timeoutMs, int32_t tries, const std::function<bool()>& beforeTry, std::string& value);

// Asks for every oid in one request (an SNMPv1 list of variable bindings),
// with the tries of SnmpGetWithTries. values: each object's value in the
// order asked; errorStatus: the answer's error-status, or genErr when the
// answer left one of the objects out.
bool SnmpGetListWithTries(const std::vector<std::string>& oids, const std::string& community,
                          const std::string& host, int32_t timeoutMs, int32_t tries,
                          const std::function<bool()>& beforeTry, std::vector<std::string>& values,
                          int32_t& errorStatus);

// True only when the agent answered and accepted the value: a reply with a
// non-zero error-status (read-only object, wrong community, bad value) means
// the value was not written. errorStatus, when given, receives the reply's
// error-status, whatever number the agent put there, or nothing when no
// answer came.
bool SnmpSetRequest(const std::string& oid, const std::string& community, const std::string& host,
                    const std::string& value, int32_t valueType, std::optional<int32_t>* errorStatus = nullptr);

// The RFC 1157 name of an error-status ("readOnly"), or "unknown".
std::string ErrorStatusName(int32_t errorStatus);
// What a refusal with errorStatus means to an operator, with its name:
// "the device refused the value (badValue)".
std::string RefusalText(int32_t errorStatus);

}  // namespace qz::snmp
