#include "snmp_exchange.h"

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
                    const std::string& value, int32_t valueType, bool* refused) {
  TSnmpExchange exchange;
  exchange.Query.Reset();
  exchange.Query.Community = community;
  exchange.Query.PDUType = pduSetRequest;
  exchange.Query.AddVarBind(oid, value, valueType);
  exchange.TargetHost = host;
  const bool answered = exchange.RunRequest();
  const bool rejected = answered && exchange.Reply.ErrorStatus != 0;
  if (refused) *refused = rejected;
  return answered && !rejected;
}

}  // namespace qz::snmp
