#pragma once
// What happened to the devices while the program ran: every write, refusal,
// rename, and every lost and regained answer, with its time, kept for the
// session so that a notice that went from the status bar can still be read.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace qz::app {

struct TEvent {
  int64_t AtMs = 0;    // milliseconds since the epoch
  std::string Device;  // as the operator knows it: "name (address)"
  std::string Text;
  bool Problem = false;
};

class TEventLog {
 public:
  // A day of a busy session; the oldest go first.
  static constexpr size_t kMostEvents = 10000;

  const TEvent& Add(TEvent event);
  const std::deque<TEvent>& Events() const { return events_; }
  // How many of the oldest events were let go.
  size_t Dropped() const { return dropped_; }

 private:
  std::deque<TEvent> events_;
  size_t dropped_ = 0;
};

// "1 device", "3 devices".
std::string DeviceCount(size_t count);

// How the operator knows a device: its name and address, or the address alone.
std::string DeviceLabel(const std::string& name, const std::string& address);

}  // namespace qz::app
