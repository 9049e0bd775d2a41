#pragma once
// One poll of a whole fleet: every device asked for its list of objects at
// once over one socket, with the scan's pacing and answer rule. A device's
// objects go a list at a time in one request; a device that refuses a list
// (tooBig, or an error for one of its objects) is asked one object per
// request from then on. Runs on the calling thread (the window runs it on a
// worker of its own).
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "parallel_get.h"

namespace qz::app {

struct TFleetQuery {
  uint32_t Address = 0;  // IPv4, host order
  std::vector<std::string> Oids;
};

struct TFleetAnswer {
  bool Answered = false;  // some request of the device was answered
  // Each object's value text in the order asked; none where its request got
  // no answer. An object the agent refused is answered with an empty text.
  std::vector<std::optional<std::string>> Values;
};

class TFleetPoller {
 public:
  TFleetPoller(std::string community, int32_t timeoutMs, int32_t tries, snmp::TPacing pacing = snmp::kLanPacing);

  // Objects in one request at most: a list of them, with their OIDs, stays
  // well within one Ethernet frame both ways.
  static constexpr size_t kMostObjectsPerRequest = 24;

  // Asks every query's objects once; the answers in the order of the
  // queries. Returns early when stop is set (what was not answered by then
  // has no values).
  std::vector<TFleetAnswer> Poll(const std::vector<TFleetQuery>& queries, const std::atomic<bool>& stop);

  // Whether the device at address is asked one object per request.
  bool AsksSingly(uint32_t address) const { return singly_.count(address) > 0; }
  int Error() const { return gets_.Error(); }
  uint16_t LocalPort() const { return gets_.LocalPort(); }

 private:
  struct Piece {
    size_t Query;
    size_t First;
    size_t Count;
  };
  void Ask(const std::vector<TFleetQuery>& queries, const Piece& piece);
  void Take(const std::vector<TFleetQuery>& queries, const snmp::TParallelGets::Answer& answer,
            std::vector<TFleetAnswer>& answers);

  snmp::TParallelGets gets_;
  size_t mostPending_;  // requests queued or open at once
  std::unordered_set<uint32_t> singly_;
  std::vector<Piece> pieces_;  // of the poll running, by tag
};

}  // namespace qz::app
