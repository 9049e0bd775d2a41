#include "postgres.h"

#include <cstdio>

#include <random>

namespace qz::test {
namespace {

// The newest installed server's programs.
std::string ServerPrograms() {
  return RunCommand("ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1 | tr -d '\\n'");
}

std::string AsPostgres(const std::string& command) {
  return "runuser -u postgres -- sh -c " + ShellQuoted(command);
}

}  // namespace

std::string PostgresUnavailable() {
  if (ServerPrograms().empty()) return "PostgreSQL is not installed (Debian: postgresql)";
  int code = 0;
  if (RunCommand("id -u", &code) != "0\n") return "needs root to run the server as the user postgres";
  RunCommand("id postgres >/dev/null 2>&1", &code);
  if (code != 0) return "there is no user postgres";
  return {};
}

PostgresServer::PostgresServer() {
  bin_ = ServerPrograms();
  std::random_device seed;
  port_ = 40000 + static_cast<int>(seed() % 20000);
  const std::string data = dir_.Path() + "/data";
  const std::string password = dir_.Path() + "/password";
  WriteFileBytes(password, Password() + "\n");
  int code = 0;
  const std::string output = RunCommand(
      "chown postgres: " + ShellQuoted(dir_.Path()) + " " + ShellQuoted(password) + " && " +
          AsPostgres(bin_ + "/initdb -D " + ShellQuoted(data) + " -U postgres --auth-local=trust --auth-host=scram-sha-256"
                     " --pwfile=" + ShellQuoted(password) + " >/dev/null && " +
                     bin_ + "/pg_ctl -D " + ShellQuoted(data) + " -w -l " + ShellQuoted(dir_.Path() + "/log") +
                     " -o " + ShellQuoted("-h 127.0.0.1 -p " + std::to_string(port_) + " -k " + dir_.Path()) +
                     " start >/dev/null") +
          " 2>&1",
      &code);
  if (code != 0) {
    failure_ = "the server did not start: " + output;
    return;
  }
  started_ = true;
  std::string created;
  for (const std::string& sql : {"CREATE USER " + User() + " PASSWORD '" + Password() + "'",
                                 "CREATE DATABASE " + Database() + " OWNER " + User()}) {
    created += RunCommand(AsPostgres(bin_ + "/psql -h " + dir_.Path() + " -p " + std::to_string(port_) +
                                     " -U postgres -d postgres -q -c " + ShellQuoted(sql)) +
                              " 2>&1",
                          &code);
    if (code != 0) break;
  }
  if (code != 0) failure_ = "the database was not made: " + created;
}

PostgresServer::~PostgresServer() {
  if (started_)
    RunCommand(AsPostgres(bin_ + "/pg_ctl -D " + ShellQuoted(dir_.Path() + "/data") + " -m immediate stop") +
               " >/dev/null 2>&1");
}

StallingRelay::StallingRelay(int targetPort) : port_(targetPort + 1) {
  const std::string ready = dir_.File("listening");
  processId_ = StartBackgroundReady(
      "exec python3 " + ShellQuoted(std::string(QZ_SOURCE_DIR) + "/tests/support/stall_relay.py") + " 127.0.0.1 " +
          std::to_string(port_) + " " + std::to_string(targetPort) + " " + ShellQuoted(dir_.File("stall")) + " " +
          ShellQuoted(ready),
      ready);
}

StallingRelay::~StallingRelay() { StopBackground(processId_); }

void StallingRelay::Stall(bool stalled) {
  if (stalled)
    WriteFileBytes(dir_.File("stall"), "");
  else
    std::remove(dir_.File("stall").c_str());
}

}  // namespace qz::test
