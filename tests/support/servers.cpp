#include "servers.h"

#include <chrono>
#include <thread>

#include "sockets.h"

namespace qz::test {
namespace {

bool WaitForPort(const std::string& address, int port) {
  const sockaddr_in peer = IPv4Address(address, port);
  for (int i = 0; i < 200; ++i) {
    const qz::TSocketHandle probe = qz::OpenSocket(AF_INET, SOCK_STREAM, 0);
    const bool up = ::connect(probe, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
    qz::CloseSocketHandle(probe);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

std::string TelnetServersUnavailable() {
  int code = 0;
  if (RunCommand("id -u", &code) != "0\n") return "needs root to listen on TCP port 23";
  RunCommand("test -x /bin/busybox && test -x /usr/sbin/telnetd && command -v python3", &code);
  if (code != 0) return "needs busybox-static, inetutils-telnetd and python3";
  return {};
}

BusyboxTelnetd::BusyboxTelnetd(const std::string& address) {
  processId_ = StartBackground("exec /bin/busybox telnetd -F -p 23 -b " + ShellQuoted(address) + " -l /bin/sh");
  // The probe connection gives the server a session that ends at once.
  if (processId_ > 0 && !WaitForPort(address, 23)) {
    StopBackground(processId_);
    processId_ = 0;
  }
}

BusyboxTelnetd::~BusyboxTelnetd() { StopBackground(processId_); }

InetdStyleServer::InetdStyleServer(const std::string& address, const std::vector<std::string>& command) {
  const std::string ready = UnixPath(dir_.File("listening"));
  std::string line = "exec python3 " + ShellQuoted(std::string(QZ_SOURCE_DIR) + "/tests/support/inetd.py") + " " +
                     ShellQuoted(address) + " 23 " + ShellQuoted(ready);
  for (const std::string& word : command) line += " " + ShellQuoted(word);
  processId_ = StartBackgroundReady(line, ready);
}

InetdStyleServer::~InetdStyleServer() { StopBackground(processId_); }

ResettingServer::ResettingServer(const std::string& address, std::string banner, int resetAfterMs) {
  listener_ = BoundSocket(SOCK_STREAM, address, 23);
  if (listener_ == qz::kNoSocket) return;
  if (::listen(listener_, 1) != 0) {
    qz::CloseSocketHandle(listener_);
    listener_ = qz::kNoSocket;
    return;
  }
  thread_ = std::thread([this, banner = std::move(banner), resetAfterMs] {
    if (qz::WaitForSocket(listener_, qz::TSocketWait::Readable, 10000) <= 0) return;
    const qz::TSocketHandle connection = ::accept(listener_, nullptr, nullptr);
    if (connection == qz::kNoSocket) return;
    qz::SendBytes(connection, banner.data(), banner.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(resetAfterMs));
    const linger reset{1, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof reset);
    qz::CloseSocketHandle(connection);
  });
}

ResettingServer::~ResettingServer() {
  if (listener_ != qz::kNoSocket) qz::ShutDownSocket(listener_);
  if (thread_.joinable()) thread_.join();
  qz::CloseSocketHandle(listener_);
}

SilentListener::SilentListener(const std::string& address, int port) {
  listener_ = BoundSocket(SOCK_STREAM, address, port);
  if (listener_ == qz::kNoSocket || ::listen(listener_, 0) != 0) return;
  // Fill the accept queue; once it is full the kernel drops new SYNs.
  const sockaddr_in peer = IPv4Address(address, port);
  for (int i = 0; i < 3; ++i) {
    const qz::TSocketHandle filler = qz::OpenSocket(AF_INET, SOCK_STREAM, 0);
    qz::SetNonBlocking(filler, true);
    ::connect(filler, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    fillers_.push_back(filler);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const qz::TSocketHandle probe = qz::OpenSocket(AF_INET, SOCK_STREAM, 0);
  qz::SetNonBlocking(probe, true);
  ::connect(probe, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
  ready_ = qz::WaitForSocket(probe, qz::TSocketWait::Writable, 300) == 0;
  qz::CloseSocketHandle(probe);
}

SilentListener::~SilentListener() {
  for (const qz::TSocketHandle filler : fillers_) qz::CloseSocketHandle(filler);
  qz::CloseSocketHandle(listener_);
}

}  // namespace qz::test
