#pragma once
// A small SNMP agent for the tests, on address:161 of loopback: it answers
// GetRequests for the objects it is given, and can be told to ignore the
// first request for each object or to answer late, which net-snmp's agent
// cannot be made to do.
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "socket_platform.h"

namespace qz::test {

struct AgentObject {
  int32_t Type;       // BER tag of the value
  std::string Value;  // as TSnmpMessage::AddVarBind takes it
};

class ScriptedAgent {
 public:
  // replyFrom, when given, is the address the answers leave from (an agent
  // with several addresses).
  ScriptedAgent(const std::string& address, std::map<std::string, AgentObject> objects, int ignoreFirst = 0,
                std::chrono::milliseconds delay = std::chrono::milliseconds(0), const std::string& replyFrom = "");
  ~ScriptedAgent();
  ScriptedAgent(const ScriptedAgent&) = delete;
  ScriptedAgent& operator=(const ScriptedAgent&) = delete;
  bool Ready() const { return fd_ != qz::kNoSocket && replyFd_ != qz::kNoSocket; }
  int RequestsSeen() const { return requests_; }
  // Requests of more than one object are answered tooBig from now on, as an
  // agent with small buffers answers them, or (silently) not at all.
  void RefuseLists(bool silently = false) {
    dropLists_ = silently;
    refuseLists_ = true;
  }
  // How many requests of more than one object came.
  int ListsSeen() const { return lists_; }

 private:
  void Serve();

  std::map<std::string, AgentObject> objects_;
  int ignoreFirst_;
  std::chrono::milliseconds delay_;
  qz::TSocketHandle fd_ = qz::kNoSocket;
  qz::TSocketHandle replyFd_ = qz::kNoSocket;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::atomic<bool> refuseLists_{false};
  std::atomic<bool> dropLists_{false};
  std::atomic<int> lists_{0};
  std::map<std::string, int> seen_;
  std::thread thread_;
};

// The objects of one of the maker's stations as the scan reads them.
std::map<std::string, AgentObject> StationObjects(const std::string& type, const std::string& firmware,
                                                  const std::string& name, const std::string& location);

}  // namespace qz::test
