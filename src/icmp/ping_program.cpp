#include "ping_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <sstream>


namespace qz::icmp {

TEchoReport RunPingProgram(const std::vector<std::string>& arguments, int timeoutMs,
                           const std::function<void()>& whileWaiting) {
  TEchoReport report;
  int output[2];
  if (pipe2(output, O_CLOEXEC) != 0) {
    report.Error = errno;
    return report;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  posix_spawn_file_actions_adddup2(&actions, output[1], 2);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  // Its report is read in its untranslated form, whatever the user's language.
  char cLocale[] = "LC_ALL=C";
  char* environment[] = {cLocale, nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environment);
  posix_spawn_file_actions_destroy(&actions);
  close(output[1]);
  if (spawned != 0) {
    close(output[0]);
    report.Error = spawned;
    return report;
  }
  report.Started = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0) + 1000);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      kill(child, SIGKILL);
      break;
    }
    pollfd readable{output[0], POLLIN, 0};
    const int waitMs = whileWaiting ? std::min<int>(static_cast<int>(left), kWaitSliceMs) : static_cast<int>(left);
    const int ready = poll(&readable, 1, waitMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) {
      if (whileWaiting) whileWaiting();
      continue;
    }
    char buffer[4096];
    const ssize_t n = read(output[0], buffer, sizeof buffer);
    if (n <= 0) break;  // the program ended
    report.Output.append(buffer, std::min(static_cast<size_t>(n), kMostReportBytes - report.Output.size()));
  }
  close(output[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return report;
}

TEchoOutcome ParsePingReport(const std::string& output) {
  static const struct {
    const char* Said;
    int Status;
  } kErrors[] = {{"Time to live exceeded", 11013},        {"Destination Net Unreachable", 11002},
                 {"Destination Host Unreachable", 11003}, {"Destination Protocol Unreachable", 11004},
                 {"Destination Port Unreachable", 11005}, {"Frag needed", 11009}};
  TEchoOutcome outcome;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t bytesFrom = line.find(" bytes from ");
    const size_t time = line.find(" time=");
    if (bytesFrom != std::string::npos && time != std::string::npos) {
      const size_t address = bytesFrom + 12;
      outcome.Replied = true;
      outcome.ReplyIP = line.substr(address, line.find(':', address) - address);
      outcome.RTT = static_cast<int>(std::strtod(line.c_str() + time + 6, nullptr));
      // "64 bytes" counts the ICMP header's 8 octets.
      outcome.Size = std::max(0, static_cast<int>(std::strtol(line.c_str(), nullptr, 10)) - 8);
      return outcome;
    }
    if (line.rfind("From ", 0) != 0) continue;
    for (const auto& error : kErrors) {
      if (line.find(error.Said) == std::string::npos) continue;
      outcome.Replied = true;
      outcome.ReplyIP = line.substr(5, line.find_first_of(" :", 5) - 5);
      outcome.Status = error.Status;
      return outcome;
    }
  }
  outcome.Error = kRequestTimedOut;
  return outcome;
}

}  // namespace qz::icmp
