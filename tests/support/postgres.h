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

}  // namespace qz::test
