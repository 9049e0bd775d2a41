#include "net.h"

#include <utility>

#include "snmp_exchange.h"

namespace qz::snmp {

TSNMPdata SnmpRequest;
std::string SnmpResult;

namespace {
std::function<void()>& MessagePump() {
  static std::function<void()> pump;
  return pump;
}
bool aborted = false;
}  // namespace

void AbortRequests(bool abort) { aborted = abort; }

TMessagePumpScope::TMessagePumpScope(std::function<void()> pump) : previous_(std::exchange(MessagePump(), std::move(pump))) {
  aborted = false;
}

TMessagePumpScope::~TMessagePumpScope() {
  MessagePump() = std::move(previous_);
  aborted = false;
}

namespace {

bool PumpThenGoOn() {
  if (MessagePump()) MessagePump()();
  return !aborted;
}

}  // namespace

bool NetSnmpGetList(TSNMPdata request, const std::vector<std::string>& oids, std::vector<std::string>& values,
                    int32_t& errorStatus) {
  return SnmpGetListWithTries(oids, request.Community, request.Host, request.TimeOut, request.RetryCount, PumpThenGoOn,
                              values, errorStatus);
}

bool NetSnmpGet(TSNMPdata request) {
  std::string value;
  const bool ok =
      SnmpGetWithTries(request.OID, request.Community, request.Host, request.TimeOut, request.RetryCount, PumpThenGoOn, value);
  SnmpResult = ok ? value : kNoResponse;
  return ok;
}

bool NetSnmpSet(TSNMPdata request, std::string* failure, bool* answered) {
  bool ok = false;
  std::optional<int32_t> errorStatus;
  // A refusal is an answer: asking again would only be refused again.
  for (int32_t triesLeft = request.RetryCount; !ok && !errorStatus && !aborted && triesLeft > 0; --triesLeft)
    ok = SnmpSetRequest(request.OID, request.Community, request.Host, request.Value,
                        request.ValueType, &errorStatus);
  if (failure) {
    if (ok)
      failure->clear();
    else if (!errorStatus)
      *failure = "no answer from " + request.Host;
    else
      *failure = RefusalText(*errorStatus);
  }
  if (answered) *answered = ok || errorStatus.has_value();
  return ok;
}

}  // namespace qz::snmp
