#include "sockets.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace qz::test {

sockaddr_in IPv4Address(const std::string& address, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, address.c_str(), &a.sin_addr);
  return a;
}

qz::TSocketHandle BoundSocket(int type, const std::string& address, int port) {
  const qz::TSocketHandle handle = qz::OpenSocket(AF_INET, type, 0);
  if (handle == qz::kNoSocket) return handle;
  if (type == SOCK_STREAM) qz::SetSocketOption(handle, SOL_SOCKET, SO_REUSEADDR, 1);
  const sockaddr_in local = IPv4Address(address, port);
  if (::bind(handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    qz::CloseSocketHandle(handle);
    return qz::kNoSocket;
  }
  return handle;
}

std::string LoopbackAddressesShared() {
  // Two sockets on one port, each on an address of its own, as two peers are.
  const qz::TSocketHandle first = BoundSocket(SOCK_DGRAM, "127.0.0.2", 0);
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  qz::TSocketHandle second = qz::kNoSocket;
  if (first != qz::kNoSocket && ::getsockname(first, reinterpret_cast<sockaddr*>(&bound), &length) == 0)
    second = BoundSocket(SOCK_DGRAM, "127.0.0.3", ntohs(bound.sin_port));
  const bool apart = second != qz::kNoSocket;
  qz::CloseSocketHandle(first);
  qz::CloseSocketHandle(second);
  if (apart) return {};
  return "sockets on 127.0.0.2 and 127.0.0.3 cannot share a port here (wine binds a socket asked for on a "
         "loopback address to the any-address), so peers cannot each have a loopback address of their own";
}

bool MayUsePrivilegedPorts() {
#ifdef _WIN32
  return true;
#else
  return geteuid() == 0;
#endif
}

}  // namespace qz::test
