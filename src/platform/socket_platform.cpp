#include "socket_platform.h"

#ifdef _WIN32
#include <mswsock.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace qz {

std::string StartSocketLibrary() {
#ifdef _WIN32
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started ? std::string() : "Error loading Socket interface (ws2_32.dll)!";
#else
  return {};
#endif
}

int SocketErrorFromPlatform(int platformError) {
#ifdef _WIN32
  return platformError;
#else
  switch (platformError) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case EPIPE: return 10054;
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    default: return platformError;
  }
#endif
}

int LastSocketError() {
#ifdef _WIN32
  return WSAGetLastError();
#else
  return SocketErrorFromPlatform(errno);
#endif
}

#ifdef _WIN32

TSocketHandle OpenSocket(int family, int type, int protocol) {
  if (!StartSocketLibrary().empty()) return kNoSocket;
  const TSocketHandle handle = WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (handle != kNoSocket && type == SOCK_DGRAM) {
    BOOL reportRefusals = FALSE;
    DWORD ignored = 0;
    WSAIoctl(handle, SIO_UDP_CONNRESET, &reportRefusals, sizeof reportRefusals, nullptr, 0, &ignored, nullptr,
             nullptr);
  }
  return handle;
}

void CloseSocketHandle(TSocketHandle handle) {
  if (handle != kNoSocket) closesocket(handle);
}

bool SetNonBlocking(TSocketHandle handle, bool nonBlocking) {
  u_long on = nonBlocking ? 1 : 0;
  return ioctlsocket(handle, FIONBIO, &on) == 0;
}

bool SetSocketOption(TSocketHandle handle, int level, int name, int value) {
  return setsockopt(handle, level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

int PendingSocketError(TSocketHandle handle) {
  int error = 0;
  int length = sizeof error;
  if (getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
    return LastSocketError();
  return error;
}

// select, not WSAPoll: WSAPoll does not report a failed connect on older
// Windows versions. A failed connect shows in the exception set.
int WaitForSocket(TSocketHandle handle, TSocketWait what, int timeoutMs) {
  fd_set wanted;
  fd_set failed;
  FD_ZERO(&wanted);
  FD_ZERO(&failed);
  FD_SET(handle, &wanted);
  FD_SET(handle, &failed);
  timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int ready = ::select(0, what == TSocketWait::Readable ? &wanted : nullptr,
                             what == TSocketWait::Writable ? &wanted : nullptr,
                             what == TSocketWait::Writable ? &failed : nullptr, timeoutMs < 0 ? nullptr : &wait);
  return ready > 0 ? 1 : ready;
}

int BytesWaiting(TSocketHandle handle) {
  u_long waiting = 0;
  return ioctlsocket(handle, FIONREAD, &waiting) == 0 ? static_cast<int>(waiting) : 0;
}

long SendBytes(TSocketHandle handle, const void* data, size_t size) {
  return ::send(handle, static_cast<const char*>(data), static_cast<int>(size), 0);
}

long ReceiveBytes(TSocketHandle handle, void* buffer, size_t size) {
  return ::recv(handle, static_cast<char*>(buffer), static_cast<int>(size), 0);
}

long SendDatagram(TSocketHandle handle, const void* data, size_t size, const sockaddr* to, socklen_t toLength) {
  return ::sendto(handle, static_cast<const char*>(data), static_cast<int>(size), 0, to, toLength);
}

long ReceiveDatagram(TSocketHandle handle, void* buffer, size_t size, sockaddr* from, socklen_t* fromLength) {
  return ::recvfrom(handle, static_cast<char*>(buffer), static_cast<int>(size), 0, from, fromLength);
}

void ShutDownSocket(TSocketHandle handle) { ::shutdown(handle, SD_BOTH); }

#else

TSocketHandle OpenSocket(int family, int type, int protocol) { return ::socket(family, type | SOCK_CLOEXEC, protocol); }

void CloseSocketHandle(TSocketHandle handle) {
  if (handle != kNoSocket) ::close(handle);
}

bool SetNonBlocking(TSocketHandle handle, bool nonBlocking) {
  const int flags = fcntl(handle, F_GETFL);
  return flags >= 0 && fcntl(handle, F_SETFL, nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) == 0;
}

bool SetSocketOption(TSocketHandle handle, int level, int name, int value) {
  return setsockopt(handle, level, name, &value, sizeof value) == 0;
}

int PendingSocketError(TSocketHandle handle) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return LastSocketError();
  return SocketErrorFromPlatform(error);
}

int WaitForSocket(TSocketHandle handle, TSocketWait what, int timeoutMs) {
  pollfd entry{handle, static_cast<short>(what == TSocketWait::Readable ? POLLIN : POLLOUT), 0};
  const int ready = ::poll(&entry, 1, timeoutMs < 0 ? -1 : timeoutMs);
  return ready > 0 ? 1 : ready;
}

int BytesWaiting(TSocketHandle handle) {
  int waiting = 0;
  return ::ioctl(handle, FIONREAD, &waiting) == 0 ? waiting : 0;
}

long SendBytes(TSocketHandle handle, const void* data, size_t size) {
  return ::send(handle, data, size, MSG_NOSIGNAL);
}

long ReceiveBytes(TSocketHandle handle, void* buffer, size_t size) { return ::recv(handle, buffer, size, 0); }

long SendDatagram(TSocketHandle handle, const void* data, size_t size, const sockaddr* to, socklen_t toLength) {
  return ::sendto(handle, data, size, 0, to, toLength);
}

long ReceiveDatagram(TSocketHandle handle, void* buffer, size_t size, sockaddr* from, socklen_t* fromLength) {
  return ::recvfrom(handle, buffer, size, 0, from, fromLength);
}

void ShutDownSocket(TSocketHandle handle) { ::shutdown(handle, SHUT_RDWR); }

#endif

int LookUpAddress(const char* host, const char* service, const addrinfo& hints, addrinfo** found) {
  *found = nullptr;
  if (!StartSocketLibrary().empty()) return kHostNotFound;
  const int code = getaddrinfo(host, service, &hints, found);
  if (code == 0 && *found != nullptr) return 0;
  return code == EAI_AGAIN ? kHostTryAgain : kHostNotFound;
}

bool ConnectPending(int socketError) {
  return socketError == kSocketWouldBlock || socketError == kSocketInProgress;
}

}  // namespace qz
