#pragma once
// Telnet servers for the tests, started on loopback addresses and stopped
// when the object goes.
#include <string>
#include <thread>
#include <vector>

#include "peers.h"
#include "socket_platform.h"

namespace qz::test {

// busybox telnetd running a shell for every connection on address:23.
class BusyboxTelnetd {
 public:
  explicit BusyboxTelnetd(const std::string& address);
  ~BusyboxTelnetd();
  bool Started() const { return processId_ > 0; }

 private:
  long processId_ = 0;
};

// Listens on address:23 and hands every connection to a new process of
// command (the socket as its standard input and output), as inetd would.
class InetdStyleServer {
 public:
  InetdStyleServer(const std::string& address, const std::vector<std::string>& command);
  ~InetdStyleServer();
  bool Started() const { return processId_ > 0; }

 private:
  ScratchDir dir_{"inetd"};
  long processId_ = 0;
};

// Why the Telnet servers cannot run here, or empty.
std::string TelnetServersUnavailable();

// Accepts one connection on address:23, sends the banner, waits a moment
// and resets the connection (SO_LINGER 0, then close), as a crashing device
// or a firewall would.
class ResettingServer {
 public:
  ResettingServer(const std::string& address, std::string banner, int resetAfterMs);
  ~ResettingServer();
  bool Ready() const { return listener_ != qz::kNoSocket; }

 private:
  qz::TSocketHandle listener_ = qz::kNoSocket;
  std::thread thread_;
};

// A listening socket whose accept queue is full, so that further connection
// attempts to it get no answer at all (their SYNs are dropped).
class SilentListener {
 public:
  explicit SilentListener(const std::string& address, int port);
  ~SilentListener();
  bool Ready() const { return ready_; }

 private:
  qz::TSocketHandle listener_ = qz::kNoSocket;
  std::vector<qz::TSocketHandle> fillers_;
  bool ready_ = false;
};

}  // namespace qz::test
