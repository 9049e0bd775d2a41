#include "fleet_poller.h"

#include <algorithm>

namespace qz::app {

TFleetPoller::TFleetPoller(std::string community, int32_t timeoutMs, int32_t tries, snmp::TPacing pacing)
    : gets_(std::move(community), timeoutMs, tries, pacing), mostPending_(2 * static_cast<size_t>(std::max(1, pacing.MaxInFlight))) {}

std::vector<TFleetAnswer> TFleetPoller::Poll(const std::vector<TFleetQuery>& queries, const std::atomic<bool>& stop) {
  std::vector<TFleetAnswer> answers(queries.size());
  for (size_t i = 0; i < queries.size(); ++i) answers[i].Values.resize(queries[i].Oids.size());
  pieces_.clear();
  size_t nextQuery = 0;
  while (!stop) {
    // Only as many devices are taken on as can be asked soon: a fleet of
    // thousands costs no memory for the requests still to come.
    while (nextQuery < queries.size() && gets_.Pending() < mostPending_) {
      const TFleetQuery& query = queries[nextQuery];
      const size_t step = singly_.count(query.Address) ? 1 : kMostObjectsPerRequest;
      for (size_t first = 0; first < query.Oids.size(); first += step)
        Ask(queries, {nextQuery, first, std::min(step, query.Oids.size() - first)});
      ++nextQuery;
    }
    if (gets_.Pending() == 0) break;
    for (const auto& answer : gets_.Service(50)) Take(queries, answer, answers);
  }
  return answers;
}

void TFleetPoller::Ask(const std::vector<TFleetQuery>& queries, const Piece& piece) {
  const TFleetQuery& query = queries[piece.Query];
  const uint64_t tag = pieces_.size();
  pieces_.push_back(piece);
  if (piece.Count == 1)
    gets_.Get(tag, query.Address, query.Oids[piece.First]);
  else
    gets_.GetList(tag, query.Address,
                  {query.Oids.begin() + static_cast<std::ptrdiff_t>(piece.First),
                   query.Oids.begin() + static_cast<std::ptrdiff_t>(piece.First + piece.Count)});
}

void TFleetPoller::Take(const std::vector<TFleetQuery>& queries, const snmp::TParallelGets::Answer& answer,
                        std::vector<TFleetAnswer>& answers) {
  const Piece piece = pieces_.at(answer.Tag);
  if (!answer.Answered) return;
  // A list the agent would not take whole (too big for it, or one object it
  // does not hold): from now on this device is asked an object at a time.
  if (answer.ErrorStatus != 0 && piece.Count > 1) {
    singly_.insert(queries[piece.Query].Address);
    for (size_t i = 0; i < piece.Count; ++i) Ask(queries, {piece.Query, piece.First + i, 1});
    return;
  }
  TFleetAnswer& device = answers[piece.Query];
  device.Answered = true;
  for (size_t i = 0; i < piece.Count; ++i) device.Values[piece.First + i] = answer.Values.at(i);
}

}  // namespace qz::app
