#include "answer_rule.h"

#include <mutex>
#include <random>

namespace qz::snmp {

int32_t NewRequestId() {
  // The system's random source for every id: a seeded generator's later
  // outputs can be worked out from the ids it has already put on the wire.
  static std::mutex mutex;
  static std::random_device source;
  std::lock_guard lock(mutex);
  const auto id = static_cast<int32_t>(source() & 0x7FFFFFFFu);
  return id == 0 ? 1 : id;
}

bool IsAnswer(const ByteString& datagram, const std::function<bool(int32_t id)>& sentId, TSnmpMessage& reply) {
  return reply.DecodeMessage(datagram) && reply.Version == 0 && reply.PDUType == pduGetResponse && sentId(reply.ID);
}

ByteString AnswerValue(const TSnmpMessage& reply, const std::string& oid) {
  return reply.ErrorStatus == 0 ? reply.FindValue(oid) : ByteString();
}

}  // namespace qz::snmp
