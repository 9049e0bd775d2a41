#include "udp_endpoint.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "text.h"

namespace qz::snmp {
namespace {

constexpr int kMaxDatagram = 65536;

bool LooksLikeIPv6(const std::string& host) { return host.find(':') != std::string::npos; }

}  // namespace

TUdpEndpoint::~TUdpEndpoint() { qz::CloseSocketHandle(handle_); }

void TUdpEndpoint::BindLocal(const std::string& address, const std::string& port) {
  // The exchange always binds to the any-address and port 0: the platform
  // picks both at the first send, so there is nothing to do before a socket
  // exists.
  if (handle_ == qz::kNoSocket && Family == efAny) return;
  addrinfo hints{};
  hints.ai_family = Family == efIPv6 ? AF_INET6 : AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST;
  addrinfo* found = nullptr;
  lastError_ = qz::LookUpAddress(address.c_str(), port.c_str(), hints, &found);
  if (lastError_ != 0) return;
  if (handle_ == qz::kNoSocket) handle_ = qz::OpenSocket(found->ai_family, SOCK_DGRAM, IPPROTO_UDP);
  lastError_ = ::bind(handle_, found->ai_addr, static_cast<socklen_t>(found->ai_addrlen)) == 0 ? 0 : qz::LastSocketError();
  freeaddrinfo(found);
}

void TUdpEndpoint::OpenTo(const std::string& host, const std::string& port) {
  int family = AF_UNSPEC;
  if (handle_ == qz::kNoSocket && Family == efAny) {
    if (IsIPv4Text(host))
      family = AF_INET;
    else if (LooksLikeIPv6(host))
      family = AF_INET6;
  } else if (Family != efAny) {
    family = Family == efIPv4 ? AF_INET : AF_INET6;
  }
  addrinfo hints{};
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_protocol = IPPROTO_UDP;
  const char* name = host.c_str();
  if (host == "0.0.0.0" || host == "::0") {
    name = nullptr;
    hints.ai_flags = AI_PASSIVE;
  } else if (host == "127.0.0.1" || host == "::1") {
    name = nullptr;
    if (family == AF_UNSPEC) family = host == "::1" ? AF_INET6 : AF_INET;
  }
  addrinfo* found = nullptr;
  int rc = 0;
  if (family == AF_UNSPEC && PreferIPv4) {
    hints.ai_family = AF_INET;
    rc = qz::LookUpAddress(name, port.c_str(), hints, &found);
    if (rc != 0) {
      hints.ai_family = AF_INET6;
      rc = qz::LookUpAddress(name, port.c_str(), hints, &found);
    }
  } else {
    hints.ai_family = family;
    rc = qz::LookUpAddress(name, port.c_str(), hints, &found);
  }
  std::memset(&remote_, 0, sizeof remote_);
  remoteLength_ = 0;
  int socketFamily = family == AF_UNSPEC ? AF_INET : family;
  if (rc == 0 && found != nullptr) {
    std::memcpy(&remote_, found->ai_addr, found->ai_addrlen);
    remoteLength_ = static_cast<socklen_t>(found->ai_addrlen);
    socketFamily = found->ai_family;
    freeaddrinfo(found);
  }
  if (handle_ == qz::kNoSocket) {
    handle_ = qz::OpenSocket(socketFamily, SOCK_DGRAM, IPPROTO_UDP);
    lastError_ = handle_ == qz::kNoSocket ? qz::LastSocketError() : 0;
  }
}

void TUdpEndpoint::SendDatagram(const ByteString& data) {
  if (handle_ == qz::kNoSocket || remoteLength_ == 0) {
    // Nothing resolved: the datagram cannot go anywhere.
    lastError_ = handle_ == qz::kNoSocket ? qz::kSocketNotASocket : qz::kHostNotFound;
    return;
  }
  const auto sent =
      qz::SendDatagram(handle_, data.data(), data.size(), reinterpret_cast<const sockaddr*>(&remote_), remoteLength_);
  lastError_ = sent < 0 ? qz::LastSocketError() : 0;
}

int TUdpEndpoint::WaitingByteCount() const { return std::min(qz::BytesWaiting(handle_), kMaxDatagram); }

ByteString TUdpEndpoint::ReadDatagram(int count) {
  ByteString buffer(static_cast<size_t>(count), '\0');
  sockaddr_storage sender{};
  socklen_t senderLength = sizeof sender;
  const auto received =
      qz::ReceiveDatagram(handle_, buffer.data(), buffer.size(), reinterpret_cast<sockaddr*>(&sender), &senderLength);
  if (received < 0) {
    lastError_ = qz::LastSocketError();
    return {};
  }
  remote_ = sender;
  remoteLength_ = senderLength;
  buffer.resize(static_cast<size_t>(received));
  return buffer;
}

bool TUdpEndpoint::WaitReadable(int32_t timeoutMs) const {
  return qz::WaitForSocket(handle_, qz::TSocketWait::Readable, timeoutMs) > 0;
}

ByteString TUdpEndpoint::ReceiveDatagram(int32_t timeoutMs) {
  lastError_ = 0;
  if (handle_ == qz::kNoSocket) {
    lastError_ = qz::kSocketNotASocket;
    return {};
  }
  std::this_thread::yield();
  int count = WaitingByteCount();
  if (count > 0) return ReadDatagram(count);
  if (!WaitReadable(timeoutMs) && !WaitReadable(0)) {
    lastError_ = qz::kSocketTimedOut;
    return {};
  }
  // Nothing counted yet readable: a datagram of no bytes (which the caller
  // passes over like any other that is not the answer) or an error the
  // receive reports, such as the agent's port refused.
  return ReadDatagram(std::max(WaitingByteCount(), 1));
}

std::string TUdpEndpoint::PeerAddressText() const {
  char host[NI_MAXHOST] = {};
  if (remoteLength_ == 0 ||
      getnameinfo(reinterpret_cast<const sockaddr*>(&remote_), remoteLength_, host, sizeof host,
                  nullptr, 0, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return {};
  return host;
}

}  // namespace qz::snmp
