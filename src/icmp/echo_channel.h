#pragma once
// The platform's way of sending one ICMP echo request and waiting for its
// reply: an ICMP socket on Linux (or, where the user may have none, the
// system's ping program, which has its own privilege), the ICMP helper
// library on Windows.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qz::icmp {

constexpr int kRequestTimedOut = 11010;

struct TEchoRequest {
  uint32_t Destination = 0;  // IPv4, network order
  std::string SourceAddress;  // dotted, or empty for the system's choice
  std::string Data;
  int TimeoutMs = 0;
  int TTL = 64;
  bool DontFragment = false;
};

// What came back: a reply (an echo reply or an ICMP error about the
// request, told by Status), or why nothing did.
struct TEchoOutcome {
  bool Replied = false;
  std::string ReplyIP;
  int RTT = 0;  // milliseconds
  int Status = 0;  // an IP status code, 0 for an echo reply
  int Size = 0;  // data octets of an echo reply
  int Error = 0;  // when nothing came back: an IP status or socket error number
  std::string ErrorText;  // when the platform says more than Error's text
};

class TEchoChannel {
 public:
  virtual ~TEchoChannel() = default;
  // How the echoes go: "an ICMP socket", "a raw ICMP socket", "/bin/ping" ...
  virtual std::string Way() const = 0;
  // whileWaiting, when set, is called every few milliseconds until the
  // reply comes or the time is up.
  virtual TEchoOutcome Exchange(const TEchoRequest& request, const std::function<void()>& whileWaiting) = 0;
};

// A channel, or null when this system lets the program have none.
// pingProgram: the system's ping program, used where no ICMP socket is
// allowed (empty: none); Windows has no use for it.
std::unique_ptr<TEchoChannel> OpenEchoChannel(const std::string& pingProgram);

// iputils' ping, which Debian installs with the capability to send echoes.
inline constexpr char kSystemPingProgram[] = "/bin/ping";

inline constexpr int kWaitSliceMs = 20;

}  // namespace qz::icmp
