#include "tcp_client.h"

#include <algorithm>
#include <chrono>
#include <utility>

#ifndef _WIN32
#include <netinet/tcp.h>
#endif

#include "net_errors.h"
#include "text.h"
#include "worker_thread.h"

namespace qz::telnet {
namespace {

constexpr int kRecvBufferSize = 32768;
constexpr int kConnectSlice = 125;
constexpr int kSendQueuedEveryMs = 50;

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
  if (const int code = qz::LookUpAddress(host.c_str(), nullptr, hints, &found); code != 0) throw ESocketError(code);
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
  freeaddrinfo(found);
  return text;
}

TTcpClient::~TTcpClient() { ReleaseSocket(); }

void TTcpClient::ReleaseSocket() {
  allocated_ = false;
  qz::CloseSocketHandle(handle_);
  handle_ = qz::kNoSocket;
}

void TTcpClient::Connect(int timeoutMs) {
  if (Connected()) throw EAlreadyConnected();
  ReleaseSocket();
  {
    std::lock_guard lock(inputMutex_);
    input_.clear();
  }
  {
    std::lock_guard lock(outputMutex_);
    output_.clear();
  }
  closedGracefully_ = false;
  peerNotReading_ = false;
  try {
    handle_ = qz::OpenSocket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (handle_ == qz::kNoSocket) throw EInvalidSocket();
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
    if (!UseNagle) qz::SetSocketOption(handle_, IPPROTO_TCP, TCP_NODELAY, 1);
    if (timeoutMs != -1 && timeoutMs != 0)
      TimedConnect(timeoutMs, &peer, sizeof peer);
    else if (AntiFreeze().ShouldUse())
      TimedConnect(DefaultConnectTimeoutMs, &peer, sizeof peer);
    else if (::connect(handle_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0)
      throw ESocketError(qz::LastSocketError());
    // Sends never wait; the reader waits for input itself.
    qz::SetNonBlocking(handle_, true);
    allocated_ = true;
  } catch (...) {
    ReleaseSocket();
    throw;
  }
}

// The connect runs without blocking; the caller waits for it in slices and
// lets the window handle its messages between them.
void TTcpClient::TimedConnect(int timeoutMs, const void* address, unsigned addressLength) {
  qz::SetNonBlocking(handle_, true);
  if (::connect(handle_, static_cast<const sockaddr*>(address), static_cast<socklen_t>(addressLength)) != 0) {
    const int code = qz::LastSocketError();
    if (!qz::ConnectPending(code)) throw EConnectError(SocketErrorText(code));
  }
  const int slice = AntiFreeze().ShouldUse() ? std::min(AntiFreeze().IdleTimeOut, kConnectSlice) : kConnectSlice;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool finished = false;
  connectCancelled_ = false;
  while (!finished && !connectCancelled_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    finished = qz::WaitForSocket(handle_, qz::TSocketWait::Writable,
                                 static_cast<int>(std::min<long long>(left.count(), slice))) > 0;
    AntiFreeze().Process();
  }
  if (!finished) throw EConnectTimeout();
  if (const int error = qz::PendingSocketError(handle_); error != 0) throw EConnectError(SocketErrorText(error));
}

bool TTcpClient::InputEmpty() {
  std::lock_guard lock(inputMutex_);
  return input_.empty();
}

void TTcpClient::ShutDown() {
  if (allocated_.exchange(false) && handle_ != qz::kNoSocket) qz::ShutDownSocket(handle_);
}

void TTcpClient::CheckForDisconnect(bool raiseIfDisconnected, bool ignoreBuffer) {
  bool disconnected = !allocated_;
  if (closedGracefully_) {
    ShutDown();
    disconnected = true;
  }
  if (disconnected && raiseIfDisconnected && (ignoreBuffer || InputEmpty())) {
    if (peerNotReading_) throw EPeerNotReading();
    throw EConnectionClosed();
  }
}

bool TTcpClient::Connected() {
  CheckForDisconnect(false, false);
  return allocated_;
}

void TTcpClient::Write(const std::string& bytes) {
  if (bytes.empty()) return;
  if (handle_ == qz::kNoSocket) throw ENotConnected();
  CheckForDisconnect(true, true);
  int error = 0;
  {
    std::lock_guard lock(outputMutex_);
    if (output_.size() + bytes.size() > kMostQueuedOutput && SendQueued(&error) &&
        output_.size() + bytes.size() > kMostQueuedOutput) {
      peerNotReading_ = true;
      ShutDown();
      throw EPeerNotReading();
    }
    output_ += bytes;
    if (SendQueued(&error)) return;
  }
  if (error == qz::kSocketShutDown || error == qz::kSocketConnectionAborted || error == qz::kSocketConnectionReset)
    ShutDown();
  throw ESocketError(error);
}

bool TTcpClient::SendQueued(int* error) {
  while (!output_.empty()) {
    const auto n = qz::SendBytes(handle_, output_.data(), output_.size());
    if (n < 0) {
      const int code = qz::LastSocketError();
      if (code == qz::kSocketWouldBlock) return true;  // the rest goes when the peer reads
      if (code == qz::kSocketInterrupted) continue;
      *error = code;
      return false;
    }
    output_.erase(0, static_cast<size_t>(n));
  }
  return true;
}

void TTcpClient::ReadFromSocket() {
  CheckForDisconnect(false, false);
  bool received = false;
  while (!received && allocated_) {
    // What waits to be sent goes out between waits, so a wait without a
    // read time-out is cut into short ones.
    const int ready = qz::WaitForSocket(handle_, qz::TSocketWait::Readable, ReadTimeout > 0 ? ReadTimeout : kSendQueuedEveryMs);
    {
      std::lock_guard lock(outputMutex_);
      int error = 0;
      if (!SendQueued(&error)) {
        ShutDown();
        throw ESocketError(error);
      }
    }
    if (ready == 0 && ReadTimeout <= 0) continue;
    if (ready == 0) throw EReadTimeout();
    if (ready < 0) {
      const int code = qz::LastSocketError();
      if (code == qz::kSocketInterrupted) continue;  // a signal woke the wait: wait again
      ShutDown();
      throw ESocketError(code);
    }
    char buffer[kRecvBufferSize];
    const auto n = qz::ReceiveBytes(handle_, buffer, sizeof buffer);
    if (n < 0) {
      const int code = qz::LastSocketError();
      if (code == qz::kSocketInterrupted || code == qz::kSocketWouldBlock) continue;
      // The connection is gone (reset, aborted): no longer connected.
      ShutDown();
      if (InputEmpty() || (code != qz::kSocketShutDown && code != qz::kSocketConnectionAborted)) throw ESocketError(code);
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
