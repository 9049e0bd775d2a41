#include "scripted_agent.h"

#include <deque>

#include "snmp_message.h"
#include "sockets.h"

namespace qz::test {

using qz::snmp::TSnmpMessage;

ScriptedAgent::ScriptedAgent(const std::string& address, std::map<std::string, AgentObject> objects, int ignoreFirst,
                             std::chrono::milliseconds delay, const std::string& replyFrom)
    : objects_(std::move(objects)), ignoreFirst_(ignoreFirst), delay_(delay) {
  fd_ = BoundSocket(SOCK_DGRAM, address, 161);
  replyFd_ = replyFrom.empty() ? fd_ : BoundSocket(SOCK_DGRAM, replyFrom, 0);
  if (!Ready()) return;
  thread_ = std::thread([this] { Serve(); });
}

ScriptedAgent::~ScriptedAgent() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (replyFd_ != fd_) qz::CloseSocketHandle(replyFd_);
  qz::CloseSocketHandle(fd_);
}

void ScriptedAgent::Serve() {
  struct Due {
    std::chrono::steady_clock::time_point At;
    sockaddr_in To;
    std::string Bytes;
  };
  std::deque<Due> due;
  while (!stop_) {
    const auto now = std::chrono::steady_clock::now();
    while (!due.empty() && due.front().At <= now) {
      qz::SendDatagram(replyFd_, due.front().Bytes.data(), due.front().Bytes.size(),
                       reinterpret_cast<const sockaddr*>(&due.front().To), sizeof due.front().To);
      due.pop_front();
    }
    if (qz::WaitForSocket(fd_, qz::TSocketWait::Readable, 2) <= 0) continue;
    char buffer[2048];
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const auto n = qz::ReceiveDatagram(fd_, buffer, sizeof buffer, reinterpret_cast<sockaddr*>(&peer), &length);
    TSnmpMessage request;
    if (n <= 0 || !request.DecodeMessage(std::string(buffer, static_cast<size_t>(n))) || request.VarBindCount() == 0)
      continue;
    ++requests_;
    const std::string oid = request.VarBind(0).OID;
    if (seen_[oid]++ < ignoreFirst_) continue;
    TSnmpMessage reply;
    reply.Community = request.Community;
    reply.PDUType = qz::snmp::pduGetResponse;
    reply.ID = request.ID;
    if (request.VarBindCount() > 1) ++lists_;
    if (request.VarBindCount() > 1 && refuseLists_ && dropLists_) continue;
    if (request.VarBindCount() > 1 && refuseLists_)
      reply.ErrorStatus = 1;  // tooBig
    else if (const auto object = objects_.find(oid); object != objects_.end())
      reply.AddVarBind(oid, object->second.Value, object->second.Type);
    else
      reply.ErrorStatus = 2;  // noSuchName
    due.push_back({now + delay_, peer, reply.EncodeMessage()});
  }
}

std::map<std::string, AgentObject> StationObjects(const std::string& type, const std::string& firmware,
                                                  const std::string& name, const std::string& location) {
  using namespace qz::snmp;
  return {{"1.3.6.1.2.1.1.1.0", {berOctetString, firmware + " Base unit " + type + "\r\nMain board"}},
          {"1.3.6.1.2.1.1.2.0", {berObjectId, "1.3.6.1.4.1.98361.1"}},
          {"1.3.6.1.2.1.1.5.0", {berOctetString, name}},
          {"1.3.6.1.2.1.1.6.0", {berOctetString, location}}};
}

}  // namespace qz::test
