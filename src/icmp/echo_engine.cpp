#include "echo_engine.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "echo_channel.h"
#include "socket_platform.h"
#include "text.h"

namespace qz::icmp {
namespace {

// An address may come with blanks and line ends around it.
constexpr std::string_view kBlanks = " \t\r\n";

}  // namespace

std::string IcmpErrorText(int code) {
  static const std::map<int, const char*> texts = {
      {0, "No error"}, {11001, "Buffer too small"}, {11002, "Destination network unreachable"},
      {11003, "Destination host unreachable"}, {11004, "Destination protocol unreachable"},
      {11005, "Destination port unreachable"}, {11006, "No resources"}, {11007, "Bad option"},
      {11008, "Hardware error"}, {11009, "Packet too big"}, {11010, "Request timed out"}, {11011, "Bad request"},
      {11012, "Bad route"}, {11013, "TTL expired in transit"}, {11014, "TTL expired in reassembly"},
      {11015, "Parameter problem"}, {11016, "Source quench"}, {11017, "Option too big"}, {11018, "Bad Destination"},
      {11019, "Address deleted"}, {11020, "Spec MTU change"}, {11021, "MTU change"}, {11022, "Unload"},
      {11023, "Address added"}, {11024, "Media connect"}, {11025, "Media disconnect"}, {11026, "Bind adapter"},
      {11027, "Unbind adapter"}, {11028, "Device does not exist"}, {11029, "Duplicate address"},
      {11030, "Interface metric change"}, {11031, "Reconfig security filter"}, {11032, "Negotiating IPsec"},
      {11033, "Interface WOL capability change"}, {11034, "Duplicate IP address"},
      {11040, "Destination unreachable (IPv6)"}, {11041, "Time exceeded (IPv6)"}, {11042, "Bad header (IPv6)"},
      {11043, "Unrecognised next header (IPv6)"}, {11044, "ICMP error (IPv6)"},
      {11045, "Destination scope mismatch (IPv6)"}, {11050, "General failure"}, {11255, "Pending"}};
  const auto found = texts.find(code);
  return found != texts.end() ? found->second : std::strerror(code);
}

TEchoEngine::TEchoEngine() = default;

std::string TEchoEngine::Way() const { return channel_ ? channel_->Way() : std::string(); }
TEchoEngine::~TEchoEngine() = default;

void TEchoEngine::SetAddress(const std::string& address) {
  if (address != address_) resolved_ = false;
  address_ = address;
}

void TEchoEngine::SetSocketFamily(TAddressFamily family) {
  if (family != family_) resolved_ = false;
  family_ = family;
}

void TEchoEngine::SetSrcAddress(const std::string& address) {
  if (address != srcAddress_) resolved_ = false;
  srcAddress_ = address;
}

bool TEchoEngine::Resolve() {
  resolved_ = false;
  const std::string address = Trimmed(address_, kBlanks);
  if (address.empty()) {
    errorText_ = "Blank address";
    return false;
  }
  in_addr parsed{};
  if (qz::IsIPv4Text(address)) {
    inet_pton(AF_INET, address.c_str(), &parsed);
  } else if (address.find(':') != std::string::npos) {
    errorText_ = "IPv6 not available";
    return false;
  } else {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (const int code = qz::LookUpAddress(address.c_str(), nullptr, hints, &found); code != 0) {
      errorText_ = "Unable to resolve " + address + " - " +
                   (code == qz::kHostTryAgain ? "Temporary failure in name resolution" : "Name or service not known");
      return false;
    }
    parsed = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
  }
  destination_ = parsed.s_addr;
  family_ = afIPv4;
  resolved_ = true;
  return true;
}

int TEchoEngine::Ping() {
  lastError_ = 0;
  errorText_.clear();
  replyIP_.clear();
  replyRTT_ = replyStatus_ = replySize_ = 0;
  int result = 0;
  // A resolved address is always IPv4: Resolve refuses every other family.
  if (resolved_ || Resolve()) {
    if (!channel_) channel_ = OpenEchoChannel(PingProgram);
    echoUnavailable_ = !channel_;
    if (!channel_) {
      errorText_ = "Unable to get IPv4 ICMP handle";
    } else {
      requestData_.assign(static_cast<size_t>(std::max(Size, 0)), ' ');
      std::copy_n(PingMsg.begin(), std::min(PingMsg.size(), requestData_.size()), requestData_.begin());
      if (OnEchoRequest) OnEchoRequest();
      const TEchoRequest request{destination_, qz::IsIPv4Text(srcAddress_) ? srcAddress_ : std::string(),
                                 requestData_,  std::max(Timeout, 0), TTL, (Flags & 2) != 0};
      const TEchoOutcome outcome = channel_->Exchange(request, WhileWaiting);
      result = outcome.Replied ? 1 : 0;
      replyIP_ = outcome.ReplyIP;
      replyRTT_ = outcome.RTT;
      replyStatus_ = outcome.Status;
      replySize_ = outcome.Size;
      lastError_ = outcome.Error;
      errorText_ = outcome.ErrorText;
    }
  }
  if (result <= 0) {
    if (errorText_.empty()) errorText_ = IcmpErrorText(lastError_);
    if (OnEchoError) OnEchoError(errorText_);
  }
  if (OnEchoReply) OnEchoReply(result);
  return result;
}

}  // namespace qz::icmp
