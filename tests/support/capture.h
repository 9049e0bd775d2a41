#pragma once
// A packet capture for the tests (root only): every IPv4 UDP datagram to or
// from port 161 that the machine sends on any interface, as the wire shows it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qz::test {

struct CapturedDatagram {
  std::chrono::system_clock::time_point When;  // as the kernel stamped it on the wire
  std::string From;  // dotted address
  uint16_t FromPort = 0;
  std::string To;
  uint16_t ToPort = 0;
  std::string Payload;
};

class UdpCapture {
 public:
  explicit UdpCapture(uint16_t port = 161);
  ~UdpCapture();
  UdpCapture(const UdpCapture&) = delete;
  UdpCapture& operator=(const UdpCapture&) = delete;

  // Empty when capturing, else why not (no root, no packet socket).
  const std::string& Unavailable() const { return unavailable_; }
  std::vector<CapturedDatagram> Datagrams() const;
  // The datagrams sent to port (requests, for port 161).
  std::vector<CapturedDatagram> SentTo(const std::string& address) const;

 private:
  void Run();

  uint16_t port_;
  int socket_ = -1;
  std::string unavailable_;
  std::atomic<bool> stop_{false};
  std::atomic<long> quietPolls_{0};
  mutable std::mutex mutex_;
  std::vector<CapturedDatagram> datagrams_;
  std::thread thread_;
};

}  // namespace qz::test
