#pragma once
// A TCP client: connect within a time-out while the window stays
// responsive, write without waiting, read what has arrived, notice the
// peer's close.
//
// Threads: the window's thread connects, writes, asks whether the connection
// is up and disconnects; one reader thread reads, writes its answers to the
// peer's negotiation, and sends what waits in the output queue. The socket handle is closed
// only when no reader can be using it (by the next connect or by Release,
// after the reader has ended), so a reader never waits on a reused handle.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "socket_platform.h"

namespace qz::telnet {

// LOCALHOST (any case) gives 127.0.0.1, a dotted address stays as it is,
// anything else is looked up (first IPv4 address); ESocketError on failure.
std::string ResolveHost(const std::string& host);

class TTcpClient {
 public:
  TTcpClient() = default;
  virtual ~TTcpClient();
  TTcpClient(const TTcpClient&) = delete;
  TTcpClient& operator=(const TTcpClient&) = delete;

  std::string Host;
  uint16_t Port = 0;
  std::string BoundIP;
  uint16_t BoundPort = 0;
  int ReadTimeout = 0;  // milliseconds; 0 waits without limit
  bool UseNagle = true;

  // -1: the default (up to 120000 ms on the window's thread, where the
  // window keeps handling its messages); 0: a plain blocking connect.
  void Connect(int timeoutMs);
  bool Connected();
  // Sends what the connection takes now and queues the rest, which goes as
  // the peer reads; never waits, on any thread. A peer that leaves
  // kMostQueuedOutput octets unread has stopped reading: the connection is
  // closed, and the reader ends with EPeerNotReading.
  void Write(const std::string& bytes);
  static constexpr size_t kMostQueuedOutput = 64 * 1024;
  // One read from the socket (waiting for something to arrive), then all
  // that was received and not yet taken. Off the window's thread only.
  std::string ReadAvailable();
  void CheckForDisconnect(bool raiseIfDisconnected, bool ignoreBuffer);
  // Shuts the connection down; a reader waiting on it wakes up.
  void Disconnect();
  // A connect waiting on the window's thread gives up at its next slice
  // (with "Connect timed out."), as when the program is closed meanwhile.
  void CancelConnect() { connectCancelled_ = true; }

  // The time-out of a connect with time-out -1 on the window's thread.
  int DefaultConnectTimeoutMs = 120000;

 protected:
  // Closes the handle; only when no reader thread uses it any more.
  void ReleaseSocket();

 private:
  void TimedConnect(int timeoutMs, const void* address, unsigned addressLength);
  void ReadFromSocket();
  void ShutDown();
  bool InputEmpty();
  // Under outputMutex_: sends what the connection takes of the queue; false
  // when the connection failed (its error in *error).
  bool SendQueued(int* error);

  qz::TSocketHandle handle_ = qz::kNoSocket;
  std::atomic<bool> allocated_{false};
  std::atomic<bool> closedGracefully_{false};
  std::atomic<bool> connectCancelled_{false};
  std::mutex inputMutex_;
  std::string input_;
  std::mutex outputMutex_;
  std::string output_;
  std::atomic<bool> peerNotReading_{false};
};

}  // namespace qz::telnet
