#include "servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "peers.h"

namespace qz::test {
namespace {

sockaddr_in Address(const std::string& address, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, address.c_str(), &a.sin_addr);
  return a;
}

bool WaitForPort(const std::string& address, int port) {
  for (int i = 0; i < 200; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const auto a = Address(address, port);
    const bool up = connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace

std::string TelnetServersUnavailable() {
  if (geteuid() != 0) return "needs root to listen on TCP port 23";
  int code = 0;
  RunCommand("test -x /bin/busybox && test -x /usr/sbin/telnetd", &code);
  if (code != 0) return "needs busybox-static and inetutils-telnetd";
  return {};
}

BusyboxTelnetd::BusyboxTelnetd(const std::string& address) {
  pid_ = fork();
  if (pid_ == 0) {
    execl("/bin/busybox", "busybox", "telnetd", "-F", "-p", "23", "-b", address.c_str(), "-l", "/bin/sh",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  // The probe connection gives the server a session that ends at once.
  if (pid_ > 0 && !WaitForPort(address, 23)) {
    Stop(pid_);
    pid_ = -1;
  }
}

BusyboxTelnetd::~BusyboxTelnetd() { Stop(pid_); }

InetdStyleServer::InetdStyleServer(const std::string& address, std::vector<std::string> command) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const auto a = Address(address, 23);
  if (bind(listener, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || listen(listener, 4) != 0) {
    close(listener);
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    signal(SIGCHLD, SIG_IGN);
    for (;;) {
      const int connection = accept(listener, nullptr, nullptr);
      if (connection < 0) continue;
      if (fork() == 0) {
        dup2(connection, 0);
        dup2(connection, 1);
        dup2(connection, 2);
        close(connection);
        close(listener);
        std::vector<char*> argv;
        for (auto& word : command) argv.push_back(word.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
      }
      close(connection);
    }
  }
  close(listener);
}

InetdStyleServer::~InetdStyleServer() { Stop(pid_); }

ResettingServer::ResettingServer(const std::string& address, std::string banner, int resetAfterMs) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  const int reuse = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  const auto a = Address(address, 23);
  if (bind(listener_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 1) != 0) {
    close(listener_);
    listener_ = -1;
    return;
  }
  thread_ = std::thread([this, banner = std::move(banner), resetAfterMs] {
    pollfd entry{listener_, POLLIN, 0};
    if (poll(&entry, 1, 10000) <= 0) return;
    const int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) return;
    send(connection, banner.data(), banner.size(), MSG_NOSIGNAL);
    std::this_thread::sleep_for(std::chrono::milliseconds(resetAfterMs));
    const linger reset{1, 0};
    setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    close(connection);
  });
}

ResettingServer::~ResettingServer() {
  if (listener_ >= 0) shutdown(listener_, SHUT_RDWR);
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) close(listener_);
}

SilentListener::SilentListener(const std::string& address, int port) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  const auto a = Address(address, port);
  if (bind(listener_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 0) != 0) return;
  // Fill the accept queue; once it is full the kernel drops new SYNs.
  for (int i = 0; i < 3; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    fillers_.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const int probe = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  connect(probe, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  pollfd entry{probe, POLLOUT, 0};
  ready_ = poll(&entry, 1, 300) == 0;
  close(probe);
}

SilentListener::~SilentListener() {
  for (int fd : fillers_) close(fd);
  close(listener_);
}

}  // namespace qz::test
