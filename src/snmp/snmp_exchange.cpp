#include "snmp_exchange.h"

#include <algorithm>
#include <chrono>
#include <iterator>

#include "answer_rule.h"

namespace qz::snmp {

bool TSnmpExchange::SendQuery(TSnmpMessage& query) {
  query.ID = NewRequestId();
  sentIds_.push_back(query.ID);
  Buffer = query.EncodeMessage();
  Sock.SendDatagram(Buffer);
  return Sock.LastError() == 0;
}

bool TSnmpExchange::ReceiveReply(TSnmpMessage& reply) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(Timeout);
  for (;;) {
    reply.Reset();
    HostIP = "0.0.0.0";
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) return false;
    Buffer = Sock.ReceiveDatagram(static_cast<int32_t>(left));
    // No datagram in time, or the agent's port refused.
    if (Sock.LastError() != 0) return false;
    HostIP = Sock.PeerAddressText();
    // A stray datagram is passed over and the wait goes on.
    const auto sentHere = [this](int32_t id) { return std::find(sentIds_.begin(), sentIds_.end(), id) != sentIds_.end(); };
    if (IsAnswer(Buffer, sentHere, reply)) return true;
  }
}

void TSnmpExchange::Open() {
  Sock.BindLocal(IPInterface, "0");
  Sock.OpenTo(TargetHost, TargetPort);
}

bool TSnmpExchange::RunRequest() {
  Open();
  if (!SendQuery(Query)) return false;
  return ReceiveReply(Reply);
}

bool SnmpGetRequest(const std::string& oid, const std::string& community, const std::string& host,
                    int32_t timeoutMs, std::string& value) {
  return SnmpGetWithTries(oid, community, host, timeoutMs, 1, {}, value);
}

bool SnmpGetListWithTries(const std::vector<std::string>& oids, const std::string& community,
                          const std::string& host, int32_t timeoutMs, int32_t tries,
                          const std::function<bool()>& beforeTry, std::vector<std::string>& values,
                          int32_t& errorStatus) {
  TSnmpExchange exchange;
  exchange.Timeout = timeoutMs;
  exchange.Query.Reset();
  exchange.Query.Community = community;
  exchange.Query.PDUType = pduGetRequest;
  for (const std::string& oid : oids) exchange.Query.AddVarBind(oid, {}, berNull);
  exchange.TargetHost = host;
  bool answered = false;
  for (int32_t triesLeft = tries; !answered && triesLeft > 0; --triesLeft) {
    if (beforeTry && !beforeTry()) break;
    if (triesLeft == tries) exchange.Open();
    answered = exchange.SendQuery(exchange.Query) && exchange.ReceiveReply(exchange.Reply);
  }
  values.clear();
  errorStatus = answered ? exchange.Reply.ErrorStatus : 0;
  if (!answered) return false;
  for (const std::string& oid : oids) values.push_back(AnswerValue(exchange.Reply, oid));
  // An agent that answers a list with fewer bindings than it was asked
  // for has not answered it.
  constexpr int32_t kGenErr = 5;
  if (errorStatus == 0 && exchange.Reply.VarBindCount() < static_cast<int>(oids.size())) errorStatus = kGenErr;
  return true;
}

bool SnmpGetWithTries(const std::string& oid, const std::string& community, const std::string& host,
                      int32_t timeoutMs, int32_t tries, const std::function<bool()>& beforeTry, std::string& value) {
  std::vector<std::string> values;
  int32_t errorStatus = 0;
  const bool answered =
      SnmpGetListWithTries({oid}, community, host, timeoutMs, tries, beforeTry, values, errorStatus);
  value = answered ? values.front() : std::string();
  return answered;
}

bool SnmpSetRequest(const std::string& oid, const std::string& community, const std::string& host,
                    const std::string& value, int32_t valueType, std::optional<int32_t>* errorStatus) {
  // A SET waits the exchange's fixed 500 ms, not the configured time-out:
  // the operator tunes that one for reads and scans, and the time a device
  // takes to store a value does not follow it.
  TSnmpExchange exchange;
  exchange.Query.Reset();
  exchange.Query.Community = community;
  exchange.Query.PDUType = pduSetRequest;
  exchange.Query.AddVarBind(oid, value, valueType);
  exchange.TargetHost = host;
  const bool answered = exchange.RunRequest();
  if (errorStatus) *errorStatus = answered ? std::optional(exchange.Reply.ErrorStatus) : std::nullopt;
  return answered && exchange.Reply.ErrorStatus == 0;
}

std::string ErrorStatusName(int32_t errorStatus) {
  static const char* const names[] = {"noError", "tooBig", "noSuchName", "badValue", "readOnly", "genErr"};
  if (errorStatus < 0 || errorStatus >= static_cast<int32_t>(std::size(names))) return "unknown";
  return names[errorStatus];
}

std::string RefusalText(int32_t errorStatus) {
  static const char* const meanings[] = {"the device answered with no error",
                                         "the device could not answer in one message",
                                         "the device does not have this object",
                                         "the device refused the value",
                                         "the device does not let this object be written",
                                         "the device failed to take the value"};
  if (errorStatus < 0 || errorStatus >= static_cast<int32_t>(std::size(meanings)))
    return "the device refused the write with error-status " + std::to_string(errorStatus) + " (unknown)";
  return std::string(meanings[errorStatus]) + " (" + ErrorStatusName(errorStatus) + ")";
}

}  // namespace qz::snmp
