#include "echo_engine.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>

#include "socket_platform.h"
#include "text.h"

namespace qz::icmp {
namespace {

// An address may come with blanks and line ends around it.
constexpr std::string_view kBlanks = " \t\r\n";

constexpr int kRequestTimedOut = 11010;
constexpr int kWaitSliceMs = 20;

uint16_t Checksum(const uint8_t* data, size_t length) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
  if (length % 2) sum += static_cast<uint32_t>(data[length - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

// The status a reply reports: success, or what an ICMP error tells.
int ReplyStatusOf(uint8_t type, uint8_t code) {
  if (type == ICMP_ECHOREPLY) return 0;
  if (type == ICMP_TIME_EXCEEDED) return code == 0 ? 11013 : 11014;
  switch (code) {
    case ICMP_NET_UNREACH: return 11002;
    case ICMP_PROT_UNREACH: return 11004;
    case ICMP_PORT_UNREACH: return 11005;
    case ICMP_FRAG_NEEDED: return 11009;
    default: return 11003;
  }
}

std::atomic<uint16_t> nextIdentifier{static_cast<uint16_t>(getpid())};

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

TEchoEngine::~TEchoEngine() { qz::CloseSocketHandle(handle_); }

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
    const int rc = getaddrinfo(address.c_str(), nullptr, &hints, &found);
    if (rc != 0 || !found) {
      errorText_ = "Unable to resolve " + address + " - " + gai_strerror(rc);
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

bool TEchoEngine::OpenHandle() {
  if (handle_ >= 0) return true;
  handle_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  datagram_ = handle_ >= 0;
  if (!datagram_) handle_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  identifier_ = nextIdentifier++;
  return handle_ >= 0;
}

int TEchoEngine::Ping() {
  lastError_ = 0;
  errorText_.clear();
  replyIP_.clear();
  replyRTT_ = replyStatus_ = replySize_ = 0;
  int result = 0;
  // A resolved address is always IPv4: Resolve refuses every other family.
  if (resolved_ || Resolve()) {
    if (!OpenHandle()) {
      errorText_ = "Unable to get IPv4 ICMP handle";
    } else {
      requestData_.assign(static_cast<size_t>(std::max(Size, 0)), ' ');
      std::copy_n(PingMsg.begin(), std::min(PingMsg.size(), requestData_.size()), requestData_.begin());
      if (OnEchoRequest) OnEchoRequest();
      result = SendAndWait();
    }
  }
  if (result <= 0) {
    if (errorText_.empty()) errorText_ = IcmpErrorText(lastError_);
    if (OnEchoError) OnEchoError(errorText_);
  }
  if (OnEchoReply) OnEchoReply(result);
  return result;
}

int TEchoEngine::SendAndWait() {
  const int ttl = TTL;
  setsockopt(handle_, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
  const int discovery = (Flags & 2) ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
  setsockopt(handle_, IPPROTO_IP, IP_MTU_DISCOVER, &discovery, sizeof discovery);
  if (qz::IsIPv4Text(srcAddress_)) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, srcAddress_.c_str(), &local.sin_addr);
    // A source the machine does not have: the echo would leave from another.
    if (::bind(handle_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      lastError_ = qz::LastSocketError();
      errorText_ = "Unable to send from " + srcAddress_ + " - " + std::strerror(errno);
      return 0;
    }
  }

  const uint16_t sequence = ++sequence_;
  std::string packet(8, '\0');
  packet[0] = static_cast<char>(ICMP_ECHO);
  packet[4] = static_cast<char>(identifier_ >> 8);
  packet[5] = static_cast<char>(identifier_);
  packet[6] = static_cast<char>(sequence >> 8);
  packet[7] = static_cast<char>(sequence);
  packet += requestData_;
  const uint16_t sum = Checksum(reinterpret_cast<const uint8_t*>(packet.data()), packet.size());
  packet[2] = static_cast<char>(sum >> 8);
  packet[3] = static_cast<char>(sum);

  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = destination_;
  const auto sent = std::chrono::steady_clock::now();
  if (::sendto(handle_, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&target), sizeof target) < 0) {
    lastError_ = qz::LastSocketError();
    errorText_ = std::strerror(errno);
    return 0;
  }
  // A datagram socket sees only replies to itself, with the identifier the
  // kernel gave it; a raw socket sees every ICMP packet, IP header first.
  sockaddr_in bound{};
  socklen_t boundLength = sizeof bound;
  const uint16_t expectedId =
      datagram_ && getsockname(handle_, reinterpret_cast<sockaddr*>(&bound), &boundLength) == 0 ? ntohs(bound.sin_port)
                                                                                                 : identifier_;
  const auto deadline = sent + std::chrono::milliseconds(std::max(Timeout, 0));
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    if (left <= 0) break;
    pollfd entry{handle_, POLLIN, 0};
    const int waitMs = WhileWaiting ? std::min<int>(static_cast<int>(left), kWaitSliceMs) : static_cast<int>(left);
    if (::poll(&entry, 1, waitMs) <= 0) {
      if (WhileWaiting) WhileWaiting();
      continue;
    }
    uint8_t buffer[1024];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const auto n = ::recvfrom(handle_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n <= 0) continue;
    const auto received = std::chrono::steady_clock::now();
    size_t offset = 0;
    if (!datagram_) {
      if (n < 20) continue;
      offset = static_cast<size_t>(buffer[0] & 0x0F) * 4;
    }
    if (static_cast<size_t>(n) < offset + 8) continue;
    const uint8_t* icmp = buffer + offset;
    const uint8_t type = icmp[0];
    const uint8_t* echo = icmp;  // the echo header that carries our numbers
    if (type == ICMP_DEST_UNREACH || type == ICMP_TIME_EXCEEDED) {
      // An error quotes the IP header and the first 8 octets of our request.
      const size_t quoted = offset + 8;
      if (static_cast<size_t>(n) < quoted + 20) continue;
      const size_t quotedIcmp = quoted + static_cast<size_t>(buffer[quoted] & 0x0F) * 4;
      if (static_cast<size_t>(n) < quotedIcmp + 8 || buffer[quotedIcmp] != ICMP_ECHO) continue;
      echo = buffer + quotedIcmp;
    } else if (type != ICMP_ECHOREPLY) {
      continue;
    }
    const auto id = static_cast<uint16_t>(echo[4] << 8 | echo[5]);
    const auto seq = static_cast<uint16_t>(echo[6] << 8 | echo[7]);
    if (id != expectedId || seq != sequence) continue;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    replyIP_ = text;
    replyStatus_ = ReplyStatusOf(type, icmp[1]);
    replyRTT_ = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(received - sent).count());
    replySize_ = type == ICMP_ECHOREPLY ? static_cast<int>(n - static_cast<ssize_t>(offset) - 8) : 0;
    return 1;
  }
  lastError_ = kRequestTimedOut;
  return 0;
}

}  // namespace qz::icmp
