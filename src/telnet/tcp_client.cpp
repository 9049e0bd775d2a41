#include "tcp_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

#include "net_errors.h"
#include "socket_platform.h"
#include "text.h"
#include "worker_thread.h"

namespace qz::telnet {
namespace {

constexpr int kRecvBufferSize = 32768;
constexpr int kConnectSlice = 125;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

}  // namespace

std::string ResolveHost(const std::string& host) {
  if (Lower(host) == "localhost") return "127.0.0.1";
  if (qz::IsIPv4Text(host)) return host;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || !found) throw ESocketError(rc == EAI_AGAIN ? qz::WSATRY_AGAIN : qz::WSAHOST_NOT_FOUND);
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
  freeaddrinfo(found);
  return text;
}

TTcpClient::~TTcpClient() { ReleaseSocket(); }

void TTcpClient::ReleaseSocket() {
  allocated_ = false;
  qz::CloseSocketHandle(handle_);
  handle_ = -1;
}

void TTcpClient::Connect(int timeoutMs) {
  if (Connected()) throw EAlreadyConnected();
  ReleaseSocket();
  {
    std::lock_guard lock(inputMutex_);
    input_.clear();
  }
  closedGracefully_ = false;
  try {
    handle_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle_ < 0) throw EInvalidSocket();
    if (!BoundIP.empty() || BoundPort != 0) {
      sockaddr_in local{};
      local.sin_family = AF_INET;
      local.sin_port = htons(BoundPort);
      if (BoundIP.empty() || inet_pton(AF_INET, BoundIP.c_str(), &local.sin_addr) != 1)
        local.sin_addr.s_addr = htonl(INADDR_ANY);
      if (::bind(handle_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) throw ECouldNotBindSocket();
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(Port);
    inet_pton(AF_INET, ResolveHost(Host).c_str(), &peer.sin_addr);
    if (!UseNagle) {
      const int on = 1;
      setsockopt(handle_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    if (timeoutMs != -1 && timeoutMs != 0)
      TimedConnect(timeoutMs, &peer, sizeof peer);
    else if (AntiFreeze().ShouldUse())
      TimedConnect(DefaultConnectTimeoutMs, &peer, sizeof peer);
    else if (::connect(handle_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0)
      throw ESocketError(qz::LastSocketError());
    allocated_ = true;
  } catch (...) {
    ReleaseSocket();
    throw;
  }
}

// The connect runs without blocking; the caller waits for it in slices and
// lets the window handle its messages between them.
void TTcpClient::TimedConnect(int timeoutMs, const void* address, unsigned addressLength) {
  const int flags = fcntl(handle_, F_GETFL);
  fcntl(handle_, F_SETFL, flags | O_NONBLOCK);
  if (::connect(handle_, static_cast<const sockaddr*>(address), addressLength) != 0 && errno != EINPROGRESS)
    throw EConnectError(SocketErrorText(qz::LastSocketError()));
  const int slice = AntiFreeze().ShouldUse() ? std::min(AntiFreeze().IdleTimeOut, kConnectSlice) : kConnectSlice;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool finished = false;
  connectCancelled_ = false;
  while (!finished && !connectCancelled_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd entry{handle_, POLLOUT, 0};
    finished = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), slice))) > 0;
    AntiFreeze().Process();
  }
  if (!finished) throw EConnectTimeout();
  int error = 0;
  socklen_t length = sizeof error;
  getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &length);
  if (error != 0) throw EConnectError(SocketErrorText(qz::SocketErrorFromPlatform(error)));
  fcntl(handle_, F_SETFL, flags);
}

bool TTcpClient::InputEmpty() {
  std::lock_guard lock(inputMutex_);
  return input_.empty();
}

void TTcpClient::ShutDown() {
  if (allocated_.exchange(false) && handle_ >= 0) ::shutdown(handle_, SHUT_RDWR);
}

void TTcpClient::CheckForDisconnect(bool raiseIfDisconnected, bool ignoreBuffer) {
  bool disconnected = !allocated_;
  if (closedGracefully_) {
    ShutDown();
    disconnected = true;
  }
  if (disconnected && raiseIfDisconnected && (ignoreBuffer || InputEmpty())) throw EConnectionClosed();
}

bool TTcpClient::Connected() {
  CheckForDisconnect(false, false);
  return allocated_;
}

void TTcpClient::Write(const std::string& bytes) {
  if (bytes.empty()) return;
  if (handle_ < 0) throw ENotConnected();
  CheckForDisconnect(true, true);
  size_t sent = 0;
  while (sent < bytes.size()) {
    const auto n = ::send(handle_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      const int code = qz::LastSocketError();
      if (code == qz::WSAESHUTDOWN || code == qz::WSAECONNABORTED || code == qz::WSAECONNRESET) ShutDown();
      throw ESocketError(code);
    }
    if (n == 0) closedGracefully_ = true;
    sent += static_cast<size_t>(n);
    CheckForDisconnect(true, true);
  }
}

void TTcpClient::ReadFromSocket() {
  CheckForDisconnect(false, false);
  bool received = false;
  while (!received && allocated_) {
    pollfd entry{handle_, POLLIN, 0};
    const int ready = ::poll(&entry, 1, ReadTimeout > 0 ? ReadTimeout : -1);
    if (ready == 0) throw EReadTimeout();
    if (ready < 0) {
      const int code = qz::LastSocketError();
      if (code == qz::WSAEINTR) continue;  // a signal woke the wait: wait again
      ShutDown();
      throw ESocketError(code);
    }
    char buffer[kRecvBufferSize];
    const auto n = ::recv(handle_, buffer, sizeof buffer, 0);
    if (n < 0) {
      const int code = qz::LastSocketError();
      if (code == qz::WSAEINTR) continue;
      // The connection is gone (reset, aborted): no longer connected.
      ShutDown();
      if (InputEmpty() || (code != qz::WSAESHUTDOWN && code != qz::WSAECONNABORTED)) throw ESocketError(code);
    } else if (n == 0) {
      closedGracefully_ = true;
    } else {
      std::lock_guard lock(inputMutex_);
      input_.append(buffer, static_cast<size_t>(n));
      received = true;
    }
    CheckForDisconnect(false, false);
  }
}

std::string TTcpClient::ReadAvailable() {
  if (Connected()) ReadFromSocket();
  std::lock_guard lock(inputMutex_);
  return std::exchange(input_, std::string());
}

void TTcpClient::Disconnect() {
  closedGracefully_ = true;
  ShutDown();
}

}  // namespace qz::telnet
