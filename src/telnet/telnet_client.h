#pragma once
// The Telnet client: a TCP connection with a reader thread that takes the
// Telnet commands out of what arrives, answers the peer's negotiation, and
// hands the text to the window's thread. The reader never waits for the
// window: what arrives while the window is busy is merged and handed over
// in pieces small enough to keep the window responsive; when the window
// falls far behind, the reader stops reading until it catches up (so TCP
// slows the peer down), and nothing is dropped.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "tcp_client.h"
#include "telnet_parser.h"
#include "worker_thread.h"

namespace qz::telnet {

class TTelnetClient : public TTcpClient {
 public:
  TTelnetClient();
  ~TTelnetClient() override;

  // Runs on the window's thread with the text that arrived since the last
  // call, at most kMostTextPerHandOver octets of it (the text may be empty).
  std::function<void(const std::string& buffer)> OnDataAvailable;
  // Runs on the window's thread when the reader ended by itself (the peer
  // closed or reset the connection, an error), after the last text: why.
  std::function<void(const std::string& reason)> OnReaderEnd;
  // Runs on the reader thread when the peer's over-long sub-negotiation was dropped.
  std::function<void(uint8_t option, size_t length)> OnSubnegotiationDropped;

  static constexpr size_t kMostTextPerHandOver = 256 * 1024;
  // The reader waits while this much is waiting for the window.
  static constexpr size_t kMostTextWaiting = 1024 * 1024;
  // Runs on the reader thread when the peer negotiates ECHO.
  std::function<void(TTelnetCommand command)> OnTelnetCommand;
  std::function<void()> OnConnect;
  std::function<void()> OnDisconnect;

  const std::string& Terminal() const { return parser_.Terminal; }
  void SetTerminal(const std::string& terminal) { parser_.Terminal = terminal; }

  void Connect(int timeoutMs);
  void Disconnect();
  // One character as the peer expects it: Enter is CR LF until the peer has
  // sent a Telnet command and CR after; 255 is doubled.
  void SendCh(char character);

  // Why the last reader thread ended ("Connection closed by peer.", ...).
  std::string ReaderEndText() const;

 private:
  // One read of the reader thread.
  void ReadStep();
  void EndReader();
  // On the reader thread: queues text (and the reader's end) for the window.
  void Deliver(const std::string& text, std::optional<std::string> end);
  // On the window's thread: hands over a piece of what is waiting.
  void DrainDelivery();

  struct TDelivery {
    std::mutex mutex;
    std::condition_variable room;
    std::string waiting;
    std::optional<std::string> end;
    bool posted = false;
    bool closed = false;
  };

  TTelnetParser parser_;
  std::atomic<bool> iacSeen_{false};
  std::shared_ptr<TDelivery> delivery_;
  // Last, so that the reader has ended before anything it uses goes.
  std::unique_ptr<TWorkerThread> reader_;
};

}  // namespace qz::telnet
