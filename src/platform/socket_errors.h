#pragma once
// The socket error numbers the program reports are the Windows Sockets ones,
// whatever platform it runs on; this header maps the platform's errors to them.
#include <string>

namespace qz {

constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;

// The Windows Sockets number for a platform error (errno on POSIX systems,
// the value of WSAGetLastError() on Windows, where it is returned unchanged).
int SocketErrorFromPlatform(int platformError);

// The Windows Sockets number of the calling thread's last socket error.
int LastSocketError();

// Closes a socket handle of the platform.
void CloseSocketHandle(int handle);

}  // namespace qz
