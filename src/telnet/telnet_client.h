#pragma once
// The Telnet client: a TCP connection with a reader thread that takes the
// Telnet commands out of what arrives, answers the peer's negotiation, and
// hands each block of text to the window's thread.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "tcp_client.h"
#include "telnet_parser.h"
#include "worker_thread.h"

namespace qz::telnet {

class TTelnetClient : public TTcpClient {
 public:
  TTelnetClient();
  ~TTelnetClient() override;

  // Runs on the window's thread, once for every read (the text may be empty).
  std::function<void(const std::string& buffer)> OnDataAvailable;
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
  class TTelnetReadThread;
  void ReadStep(TTelnetReadThread& thread);

  TTelnetParser parser_;
  std::atomic<bool> iacSeen_{false};
  std::unique_ptr<TTelnetReadThread> reader_;
};

}  // namespace qz::telnet
