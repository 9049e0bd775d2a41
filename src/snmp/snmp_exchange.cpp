#include "snmp_exchange.h"

#include <chrono>
#include <iterator>

#include "answer_rule.h"

namespace qz::snmp {

bool TSnmpExchange::SendQuery(TSnmpMessage& query) {
  query.ID = NewRequestId();
  sentId_ = query.ID;
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
    // A stray datagram, or a late answer to an earlier request, is passed
    // over and the wait goes on.
    if (IsAnswer(Buffer, [this](int32_t id) { return id == sentId_; }, reply)) return true;
  }
}

bool TSnmpExchange::RunRequest() {
  Sock.BindLocal(IPInterface, "0");
  Sock.OpenTo(TargetHost, TargetPort);
  if (!SendQuery(Query)) return false;
  return ReceiveReply(Reply);
}

bool SnmpGetRequest(const std::string& oid, const std::string& community, const std::string& host,
                    int32_t timeoutMs, std::string& value) {
  TSnmpExchange exchange;
  exchange.Timeout = timeoutMs;
  exchange.Query.Reset();
  exchange.Query.Community = community;
  exchange.Query.PDUType = pduGetRequest;
  exchange.Query.AddVarBind(oid, {}, berNull);
  exchange.TargetHost = host;
  const bool ok = exchange.RunRequest();
  value = ok ? AnswerValue(exchange.Reply, oid) : std::string();
  return ok;
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

}  // namespace qz::snmp
