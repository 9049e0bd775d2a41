#pragma once
// Many of the maker's devices served from one process, for the fleet's
// tests and benchmarks: every address of a block answers GetRequests (one
// object or a list) for the objects of a description file as the device
// lab's agents serve them (LEDs 0, measured values 235, parameters 0) and
// for sysUpTime. One UDP socket on port 161 of the wildcard address (or of
// one address), each answer leaving from the address that was asked; meant
// for a network namespace of the caller's own. Linux only.
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>

namespace qz::test {

class FleetResponder {
 public:
  // Serves first .. first + count - 1 (host order) with the objects of
  // descriptionFile; bindAddress "0.0.0.0" serves every address that reaches it.
  FleetResponder(const std::string& descriptionFile, uint32_t first, uint32_t count,
                 const std::string& bindAddress = "0.0.0.0");
  ~FleetResponder();
  FleetResponder(const FleetResponder&) = delete;
  FleetResponder& operator=(const FleetResponder&) = delete;
  // Empty when serving, else why not.
  const std::string& Failure() const { return failure_; }
  long RequestsAnswered() const { return answered_; }

 private:
  void Serve();

  struct Object {
    int32_t Type;
    std::string Value;
  };
  std::map<std::string, Object> objects_;
  uint32_t first_;
  uint32_t count_;
  int socket_ = -1;
  std::string failure_;
  std::atomic<bool> stop_{false};
  std::atomic<long> answered_{0};
  std::thread thread_;
};

}  // namespace qz::test
