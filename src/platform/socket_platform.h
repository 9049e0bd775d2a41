#pragma once
// The little the protocol modules need of the platform's sockets beyond the
// calls themselves: the socket library's start-up, and the error numbers,
// which are the Windows Sockets ones whatever platform the program runs on.
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

// Makes the socket library ready for the whole process; the empty text on
// success, else the message to show. Only Windows has anything to start.
std::string StartSocketLibrary();

// The Windows Sockets number for a platform error (errno on POSIX systems,
// the value of WSAGetLastError() on Windows, where it is returned unchanged).
int SocketErrorFromPlatform(int platformError);

// The Windows Sockets number of the calling thread's last socket error.
int LastSocketError();

// Closes a socket handle of the platform.
void CloseSocketHandle(int handle);

}  // namespace qz
