#pragma once
// A throw-away PostgreSQL server for the tests: a cluster in a temporary
// folder, run by the unprivileged user postgres on a loopback address, with
// one database and one user that logs in with a password. Stopped and
// removed when the object goes.
#include <string>

#include "peers.h"

namespace qz::test {

// Why the server cannot run here (no PostgreSQL installed, not root), or empty.
std::string PostgresUnavailable();

class PostgresServer {
 public:
  PostgresServer();
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;
  // Empty when running, else why not.
  const std::string& Failure() const { return failure_; }
  std::string Host() const { return "127.0.0.1"; }
  int Port() const { return port_; }
  std::string Database() const { return "qzhistory"; }
  std::string User() const { return "qzoperator"; }
  std::string Password() const { return "kelvor-history"; }

 private:
  ScratchDir dir_{"postgres"};
  std::string bin_;
  int port_ = 0;
  bool started_ = false;
  std::string failure_;
};

// A relay in front of the server on a port of its own, which can be made to
// stop forwarding while its connections stay open: a server or a network
// that hangs in the middle of a session.
class StallingRelay {
 public:
  explicit StallingRelay(int targetPort);
  ~StallingRelay();
  StallingRelay(const StallingRelay&) = delete;
  StallingRelay& operator=(const StallingRelay&) = delete;
  bool Started() const { return processId_ > 0; }
  int Port() const { return port_; }
  void Stall(bool stalled);

 private:
  ScratchDir dir_{"relay"};
  int port_ = 0;
  long processId_ = 0;
};

}  // namespace qz::test
