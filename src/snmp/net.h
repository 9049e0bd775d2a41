#pragma once
// The application's SNMP entry points: one shared request record, the text
// of the last GET, and the retrying GET and SET.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qz::snmp {

struct TSNMPdata {
  std::string OID;
  std::string Community;
  std::string Host;
  std::string Value;
  int32_t ValueType = 0;
  int32_t RetryCount = 0;
  int32_t TimeOut = 0;
};

inline const std::string kNoResponse = "No response";

extern TSNMPdata SnmpRequest;
extern std::string SnmpResult;

// Installs the pump called before every GET try, so that the application
// can handle the messages waiting in its queue, for as long as the scope
// lives; the previous pump (none by default) is put back after it. Requests
// are not aborted at either end.
class TMessagePumpScope {
 public:
  explicit TMessagePumpScope(std::function<void()> pump);
  ~TMessagePumpScope();
  TMessagePumpScope(const TMessagePumpScope&) = delete;
  TMessagePumpScope& operator=(const TMessagePumpScope&) = delete;

 private:
  std::function<void()> previous_;
};

// While set, every GET and SET fails at once without sending anything (and a
// GET in progress gives up after its pump): the application sets it when it
// is closing in the middle of device work.
void AbortRequests(bool abort);

// The request is taken by value: whatever runs inside the message pump and
// changes SnmpRequest does not reach the call in progress.
bool NetSnmpGet(TSNMPdata request);
// A GET of every oid in one request (request.OID unused), pumped and retried
// as NetSnmpGet is: see SnmpGetListWithTries.
bool NetSnmpGetList(TSNMPdata request, const std::vector<std::string>& oids, std::vector<std::string>& values,
                    int32_t& errorStatus);
// failure, when given, receives why the value was not written, in the
// operator's words: "no answer from <host>" or the refusal's
// ("the device refused the value (badValue)"); it is emptied on success.
// answered, when given, tells whether the device answered at all.
bool NetSnmpSet(TSNMPdata request, std::string* failure = nullptr, bool* answered = nullptr);

}  // namespace qz::snmp
