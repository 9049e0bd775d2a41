#pragma once
// The platform's sockets behind one small set of calls, so that the protocol
// modules carry no system branches of their own: a proper handle type, the
// socket library's start-up on first use, waiting, sending and receiving,
// and the error numbers, which are the Windows Sockets ones whatever
// platform the program runs on.
#include <cstddef>
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace qz {

#ifdef _WIN32
using TSocketHandle = SOCKET;
#else
using TSocketHandle = int;
#endif
inline constexpr TSocketHandle kNoSocket = static_cast<TSocketHandle>(~TSocketHandle{0});

// The Windows Sockets numbers the modules look at.
constexpr int kSocketInterrupted = 10004;
constexpr int kSocketWouldBlock = 10035;
constexpr int kSocketInProgress = 10036;
constexpr int kSocketNotASocket = 10038;
constexpr int kSocketConnectionAborted = 10053;
constexpr int kSocketConnectionReset = 10054;
constexpr int kSocketShutDown = 10058;
constexpr int kSocketTimedOut = 10060;
constexpr int kSocketConnectionRefused = 10061;
constexpr int kHostNotFound = 11001;
constexpr int kHostTryAgain = 11002;

// Makes the socket library ready for the whole process; the empty text on
// success, else the message to show. Only Windows has anything to start;
// every call below that needs the library starts it itself.
std::string StartSocketLibrary();

// The Windows Sockets number for a platform error (errno on POSIX systems,
// the value of WSAGetLastError() on Windows, where it is returned unchanged).
int SocketErrorFromPlatform(int platformError);

// The Windows Sockets number of the calling thread's last socket error.
int LastSocketError();

// A new socket, not inherited by programs this one starts; kNoSocket on
// failure (LastSocketError says why). A datagram socket on Windows does not
// report an earlier send's ICMP port unreachable at its next receive, as on
// Linux.
TSocketHandle OpenSocket(int family, int type, int protocol);
void CloseSocketHandle(TSocketHandle handle);

bool SetNonBlocking(TSocketHandle handle, bool nonBlocking);
bool SetSocketOption(TSocketHandle handle, int level, int name, int value);

// getaddrinfo with the library started; 0, kHostNotFound or kHostTryAgain.
int LookUpAddress(const char* host, const char* service, const addrinfo& hints, addrinfo** found);

// Whether a non-blocking connect that failed with this number goes on.
bool ConnectPending(int socketError);
// The outcome of a finished non-blocking connect: 0 or the socket error.
int PendingSocketError(TSocketHandle handle);

enum class TSocketWait { Readable, Writable };
// 1 when the socket is ready (or a connect ended, either way), 0 when the
// time ran out first, -1 on an error. A negative time-out waits without limit.
int WaitForSocket(TSocketHandle handle, TSocketWait what, int timeoutMs);

// Bytes that a receive would return now (the first datagram's size, or
// more, for a datagram socket).
int BytesWaiting(TSocketHandle handle);

// Return the count moved, or -1 (LastSocketError says why). A send to a
// closed connection fails with an error instead of ending the process.
long SendBytes(TSocketHandle handle, const void* data, size_t size);
long ReceiveBytes(TSocketHandle handle, void* buffer, size_t size);
long SendDatagram(TSocketHandle handle, const void* data, size_t size, const sockaddr* to, socklen_t toLength);
long ReceiveDatagram(TSocketHandle handle, void* buffer, size_t size, sockaddr* from, socklen_t* fromLength);

// Ends both directions of a connection; a receive waiting on it returns.
void ShutDownSocket(TSocketHandle handle);

}  // namespace qz
