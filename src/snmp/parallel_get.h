#pragma once
// Many SNMP GETs in flight at once over one UDP socket, for asking a whole
// address range or a whole fleet: each query (one object, or a list of them
// in one request) gets up to Tries sends of TimeoutMs each, the
// sends go out as a paced stream, and an answer counts by the answer rule
// (answer_rule.h) when it carries the request-id of one of the query's sends
// (so a late answer to an earlier try counts too). Plain blocking calls on
// the caller's thread; nothing here knows of a window.
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "snmp_message.h"
#include "socket_platform.h"

namespace qz::snmp {

// How fast the queries go out.
struct TPacing {
  int MaxInFlight;   // queries waiting for their answer at once
  int MaxPerSecond;  // datagrams sent per second, tries included
  int Burst;         // datagrams sent back to back at most
};

// For a LAN of small embedded agents: 2000 datagrams a second (about
// 160 kB/s, nothing to a switch port) in bursts of at most 8, and at most 256
// queries open, so that a /24 takes a few tenths of a second while no agent
// ever sees more than its own few requests and the ARP table is never
// flooded with hundreds of unresolved neighbours at once.
inline constexpr TPacing kLanPacing{256, 2000, 8};

class TParallelGets {
 public:
  using Clock = std::chrono::steady_clock;

  struct Answer {
    uint64_t Tag = 0;
    bool Answered = false;  // false: every try timed out (or there were none)
    std::string Value;      // the value text of the (first) queried object, as NetSnmpGet gives it
    // A query of a list: each object's value text, in the order asked; all
    // empty when the agent refused the request.
    std::vector<std::string> Values;
    int32_t ErrorStatus = 0;  // the answer's error-status (tooBig, noSuchName, ...)
  };

  TParallelGets(std::string community, int32_t timeoutMs, int32_t tries, TPacing pacing);
  ~TParallelGets();
  TParallelGets(const TParallelGets&) = delete;
  TParallelGets& operator=(const TParallelGets&) = delete;

  // The socket error number when no socket could be had; 0 when ready.
  int Error() const { return error_; }
  // The local UDP port every query leaves from.
  uint16_t LocalPort() const { return localPort_; }

  // Datagrams read in one turn of Service at most.
  static constexpr int kMostDatagramsPerTurn = 256;

  // Queues a GET of oid from the IPv4 address (host order); its answer
  // comes back from Service with the tag.
  void Get(uint64_t tag, uint32_t address, const std::string& oid);
  // Queues one GET of every oid in one request (an SNMPv1 list of variable
  // bindings).
  void GetList(uint64_t tag, uint32_t address, std::vector<std::string> oids);

  // Sends what the pacing allows, waits at most maxWaitMs for answers, and
  // gives up the queries whose last try has timed out; returns the queries
  // that settled meanwhile.
  std::vector<Answer> Service(int maxWaitMs);

  // Queries queued or waiting for their answer.
  size_t Pending() const { return queued_.size() + open_.size(); }

 private:
  struct Query {
    uint64_t Tag;
    uint32_t Address;
    std::vector<std::string> Oids;
  };
  struct OpenQuery {
    Query Asked;
    int32_t TriesLeft = 0;
    Clock::time_point Deadline;
    std::vector<int32_t> Ids;  // the request-id of every send so far
  };

  void SendDue(Clock::time_point now, std::vector<Answer>& settled);
  void Send(uint64_t key, OpenQuery& open, Clock::time_point now);
  void ReadAnswers(std::vector<Answer>& settled);
  void Settle(uint64_t key, const TSnmpMessage* reply, std::vector<Answer>& settled);
  int WaitMs(Clock::time_point now, int maxWaitMs) const;

  std::string community_;
  std::chrono::milliseconds timeout_;
  int32_t tries_;
  TPacing pacing_;
  qz::TSocketHandle handle_ = qz::kNoSocket;
  int error_ = 0;
  uint16_t localPort_ = 0;
  uint64_t nextKey_ = 1;
  double tokens_;
  Clock::time_point tokensAt_;
  std::deque<Query> queued_;
  std::unordered_map<uint64_t, OpenQuery> open_;
  std::unordered_map<int32_t, uint64_t> keyOfId_;
};

}  // namespace qz::snmp
