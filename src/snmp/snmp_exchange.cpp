#include "snmp_exchange.h"

#include <iterator>

namespace qz::snmp {

bool TSnmpExchange::SendQuery(TSnmpMessage& query) {
  Buffer = query.EncodeMessage();
  Sock.SendDatagram(Buffer);
  return Sock.LastError() == 0;
}

bool TSnmpExchange::ReceiveReply(TSnmpMessage& reply) {
  reply.Reset();
  HostIP = "0.0.0.0";
  Buffer = Sock.ReceiveDatagram(Timeout);
  if (Sock.LastError() != 0) return false;
  HostIP = Sock.PeerAddressText();
  return reply.DecodeMessage(Buffer);
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
  value = ok ? exchange.Reply.FindValue(oid) : std::string();
  return ok;
}

bool SnmpSetRequest(const std::string& oid, const std::string& community, const std::string& host,
                    const std::string& value, int32_t valueType, int32_t* errorStatus) {
  TSnmpExchange exchange;
  exchange.Query.Reset();
  exchange.Query.Community = community;
  exchange.Query.PDUType = pduSetRequest;
  exchange.Query.AddVarBind(oid, value, valueType);
  exchange.TargetHost = host;
  const bool answered = exchange.RunRequest();
  if (errorStatus) *errorStatus = answered ? exchange.Reply.ErrorStatus : kNoAnswer;
  return answered && exchange.Reply.ErrorStatus == 0;
}

std::string ErrorStatusName(int32_t errorStatus) {
  static const char* const names[] = {"noError", "tooBig", "noSuchName", "badValue", "readOnly", "genErr"};
  if (errorStatus < 0 || errorStatus >= static_cast<int32_t>(std::size(names))) return "unknown";
  return names[errorStatus];
}

}  // namespace qz::snmp
