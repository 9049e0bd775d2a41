#pragma once
// Sockets of the tests' own peers, through the program's platform layer so
// that the same peers run on every platform the tests build for.
#include <string>

#include "socket_platform.h"

namespace qz::test {

sockaddr_in IPv4Address(const std::string& address, int port);

// A socket of the type bound to address:port; kNoSocket when that failed.
qz::TSocketHandle BoundSocket(int type, const std::string& address, int port);

// Why peers cannot each listen on an address of their own in 127.0.0.0/8
// here (wine binds a socket asked for on a loopback address to the
// any-address), or empty.
std::string LoopbackAddressesShared();

// Whether this process may listen on ports below 1024 (root on Linux; any
// program on Windows).
bool MayUsePrivilegedPorts();

}  // namespace qz::test
