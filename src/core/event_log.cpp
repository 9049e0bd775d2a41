#include "event_log.h"

#include <utility>

namespace qz::app {

const TEvent& TEventLog::Add(TEvent event) {
  if (events_.size() == kMostEvents) {
    events_.pop_front();
    ++dropped_;
  }
  events_.push_back(std::move(event));
  return events_.back();
}

std::string DeviceLabel(const std::string& name, const std::string& address) {
  if (name.empty()) return address;
  return name + " (" + address + ")";
}

std::string DeviceCount(size_t count) { return std::to_string(count) + (count == 1 ? " device" : " devices"); }

}  // namespace qz::app
