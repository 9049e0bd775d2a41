#include "fleet_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "snmp_message.h"

namespace qz::test {

using namespace qz::snmp;

FleetResponder::FleetResponder(const std::string& descriptionFile, uint32_t first, uint32_t count,
                               const std::string& bindAddress)
    : first_(first), count_(count) {
  std::ifstream file(descriptionFile, std::ios::binary);
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (fields.empty() || fields[0].empty()) continue;
    if (fields[0][0] == 'A' && fields.size() >= 3) objects_[fields[2]] = {berInteger, "0"};
    if (fields[0][0] == 'M' && fields.size() >= 6) objects_[fields[5]] = {berInteger, "235"};
    if (fields[0][0] == 'P' && fields.size() >= 4 && fields[1][0] == 'E') objects_[fields[3]] = {berInteger, "0"};
  }
  objects_["1.3.6.1.2.1.1.3.0"] = {berTimeTicks, "123456"};
  socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
  const int on = 1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(161);
  if (socket_ < 0 || ::setsockopt(socket_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
      ::inet_pton(AF_INET, bindAddress.c_str(), &local.sin_addr) != 1 ||
      ::bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    failure_ = std::string("the responder has no socket on port 161: ") + std::strerror(errno);
    return;
  }
  const int buffer = 8 << 20;
  ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
  ::setsockopt(socket_, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  thread_ = std::thread([this] { Serve(); });
}

FleetResponder::~FleetResponder() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (socket_ >= 0) ::close(socket_);
}

void FleetResponder::Serve() {
  char datagram[65536];
  char control[256];
  while (!stop_) {
    pollfd ready{socket_, POLLIN, 0};
    if (::poll(&ready, 1, 50) <= 0) continue;
    sockaddr_in peer{};
    iovec data{datagram, sizeof datagram};
    msghdr message{};
    message.msg_name = &peer;
    message.msg_namelen = sizeof peer;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t received = ::recvmsg(socket_, &message, 0);
    if (received <= 0) continue;
    in_pktinfo asked{};
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header))
      if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO)
        std::memcpy(&asked, CMSG_DATA(header), sizeof asked);
    if (ntohl(asked.ipi_addr.s_addr) - first_ >= count_) continue;  // not one of ours: silence, as a missing device
    TSnmpMessage request;
    if (!request.DecodeMessage(std::string(datagram, static_cast<size_t>(received))) ||
        request.PDUType != pduGetRequest || request.Community != "kelvor")
      continue;
    TSnmpMessage reply;
    reply.Community = request.Community;
    reply.PDUType = pduGetResponse;
    reply.ID = request.ID;
    // As an SNMPv1 agent does: one object it does not hold fails the whole
    // request with noSuchName and that object's index, the bindings sent back as asked.
    for (int i = 0; i < request.VarBindCount() && reply.ErrorStatus == 0; ++i) {
      if (objects_.count(request.VarBind(i).OID)) continue;
      reply.ErrorStatus = 2;
      reply.ErrorIndex = i + 1;
    }
    for (int i = 0; i < request.VarBindCount(); ++i) {
      const auto& oid = request.VarBind(i).OID;
      const auto object = objects_.find(oid);
      if (reply.ErrorStatus != 0 || object == objects_.end())
        reply.AddVarBind(oid, {}, berNull);
      else
        reply.AddVarBind(oid, object->second.Value, object->second.Type);
    }
    const std::string bytes = reply.EncodeMessage();
    char answerControl[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr answer{};
    iovec answerData{const_cast<char*>(bytes.data()), bytes.size()};
    answer.msg_name = &peer;
    answer.msg_namelen = sizeof peer;
    answer.msg_iov = &answerData;
    answer.msg_iovlen = 1;
    answer.msg_control = answerControl;
    answer.msg_controllen = sizeof answerControl;
    cmsghdr* header = CMSG_FIRSTHDR(&answer);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo from{};
    from.ipi_spec_dst = asked.ipi_addr;
    std::memcpy(CMSG_DATA(header), &from, sizeof from);
    if (::sendmsg(socket_, &answer, 0) >= 0) ++answered_;
  }
}

}  // namespace qz::test
