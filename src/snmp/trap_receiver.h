#pragma once
// Receives traps and informs on a UDP port, on a thread of its own: each
// datagram decoded (trap.h), its community checked, an inform acknowledged,
// and what is accepted queued for the caller to take. A source that sends
// faster than kTrapsPerSecond is cut to that rate, and the queue holds at most
// kMostWaiting traps: a flood costs neither memory nor the caller's time.
// What is dropped is counted.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "socket_platform.h"
#include "trap.h"

namespace qz::snmp {

struct TReceivedTrap {
  std::string Source;  // the sender's address, dotted
  int64_t AtMs = 0;    // milliseconds since the epoch
  TTrap Trap;
};

struct TTrapCounts {
  uint64_t Accepted = 0;
  uint64_t Malformed = 0;
  uint64_t WrongCommunity = 0;
  uint64_t OverRate = 0;    // a source above its rate
  uint64_t QueueFull = 0;   // the caller did not take them in time
};

class TTrapReceiver {
 public:
  static constexpr int kTrapsPerSecond = 50;  // a source's rate, bursts of as many allowed
  static constexpr size_t kMostWaiting = 1000;
  static constexpr size_t kMostSources = 4096;  // sources whose rate is kept

  // Listens on address:port ("0.0.0.0" for every address). wake runs on the
  // receiver's thread when the queue goes from empty to not empty.
  TTrapReceiver(const std::string& address, uint16_t port, std::vector<std::string> communities,
                std::function<void()> wake);
  ~TTrapReceiver();
  TTrapReceiver(const TTrapReceiver&) = delete;
  TTrapReceiver& operator=(const TTrapReceiver&) = delete;

  // The socket error number when the port could not be had; 0 when listening.
  int Error() const { return error_; }
  // The traps waiting, oldest first; the queue is emptied.
  std::vector<TReceivedTrap> Take();
  TTrapCounts Counts() const;

 private:
  void Run();
  bool WithinRate(const std::string& source, int64_t nowMs);

  struct TBucket {
    double Tokens = kTrapsPerSecond;
    int64_t AtMs = 0;
  };
  std::vector<std::string> communities_;
  std::function<void()> wake_;
  qz::TSocketHandle handle_ = qz::kNoSocket;
  int error_ = 0;
  std::unordered_map<std::string, TBucket> buckets_;  // the receiver's thread only
  mutable std::mutex mutex_;
  std::deque<TReceivedTrap> waiting_;
  TTrapCounts counts_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace qz::snmp
