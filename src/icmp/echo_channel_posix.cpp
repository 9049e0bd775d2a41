#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "echo_channel.h"
#include "echo_filter.h"
#include "ping_program.h"
#include "socket_platform.h"

// Linux: an unprivileged ICMP datagram socket where the system allows it
// (net.ipv4.ping_group_range), a raw ICMP socket otherwise (root or
// CAP_NET_RAW), else the system's ping program. Only a reply that carries our identifier and sequence number
// counts, so another program's pings are never taken for ours.
namespace qz::icmp {
namespace {

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

class TSocketChannel : public TEchoChannel {
 public:
  TSocketChannel(qz::TSocketHandle handle, bool datagram)
      : handle_(handle), datagram_(datagram), identifier_(nextIdentifier++) {
    // A raw socket would otherwise read every ICMP packet of the host.
    if (!datagram_) FilterToOwnReplies(handle_, identifier_);
  }
  ~TSocketChannel() override { qz::CloseSocketHandle(handle_); }
  TSocketChannel(const TSocketChannel&) = delete;
  TSocketChannel& operator=(const TSocketChannel&) = delete;

  std::string Way() const override { return datagram_ ? "an ICMP socket" : "a raw ICMP socket"; }
  TEchoOutcome Exchange(const TEchoRequest& request, const std::function<void()>& whileWaiting) override;

 private:
  qz::TSocketHandle handle_;
  bool datagram_;
  uint16_t identifier_;
  uint16_t sequence_ = 0;
};

TEchoOutcome TSocketChannel::Exchange(const TEchoRequest& request, const std::function<void()>& whileWaiting) {
  TEchoOutcome outcome;
  qz::SetSocketOption(handle_, IPPROTO_IP, IP_TTL, request.TTL);
  qz::SetSocketOption(handle_, IPPROTO_IP, IP_MTU_DISCOVER, request.DontFragment ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT);
  if (!request.SourceAddress.empty()) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, request.SourceAddress.c_str(), &local.sin_addr);
    // A source the machine does not have: the echo would leave from another.
    if (::bind(handle_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      outcome.ErrorText = "Unable to send from " + request.SourceAddress + " - " + std::strerror(errno);
      outcome.Error = qz::LastSocketError();
      return outcome;
    }
  }

  const uint16_t sequence = ++sequence_;
  std::string packet(8, '\0');
  packet[0] = static_cast<char>(ICMP_ECHO);
  packet[4] = static_cast<char>(identifier_ >> 8);
  packet[5] = static_cast<char>(identifier_);
  packet[6] = static_cast<char>(sequence >> 8);
  packet[7] = static_cast<char>(sequence);
  packet += request.Data;
  const uint16_t sum = Checksum(reinterpret_cast<const uint8_t*>(packet.data()), packet.size());
  packet[2] = static_cast<char>(sum >> 8);
  packet[3] = static_cast<char>(sum);

  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = request.Destination;
  const auto sent = std::chrono::steady_clock::now();
  if (qz::SendDatagram(handle_, packet.data(), packet.size(), reinterpret_cast<sockaddr*>(&target), sizeof target) <
      0) {
    outcome.ErrorText = std::strerror(errno);
    outcome.Error = qz::LastSocketError();
    return outcome;
  }
  // A datagram socket sees only replies to itself, with the identifier the
  // kernel gave it; a raw socket sees every ICMP packet, IP header first.
  sockaddr_in bound{};
  socklen_t boundLength = sizeof bound;
  const uint16_t expectedId =
      datagram_ && getsockname(handle_, reinterpret_cast<sockaddr*>(&bound), &boundLength) == 0 ? ntohs(bound.sin_port)
                                                                                                 : identifier_;
  const auto deadline = sent + std::chrono::milliseconds(request.TimeoutMs);
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    if (left <= 0) break;
    const int waitMs = whileWaiting ? std::min<int>(static_cast<int>(left), kWaitSliceMs) : static_cast<int>(left);
    if (qz::WaitForSocket(handle_, qz::TSocketWait::Readable, waitMs) <= 0) {
      if (whileWaiting) whileWaiting();
      continue;
    }
    uint8_t buffer[1024];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const auto n =
        qz::ReceiveDatagram(handle_, buffer, sizeof buffer, reinterpret_cast<sockaddr*>(&from), &fromLength);
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
    outcome.Replied = true;
    outcome.ReplyIP = text;
    outcome.Status = ReplyStatusOf(type, icmp[1]);
    outcome.RTT = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(received - sent).count());
    outcome.Size = type == ICMP_ECHOREPLY ? static_cast<int>(n - static_cast<long>(offset) - 8) : 0;
    return outcome;
  }
  outcome.Error = kRequestTimedOut;
  return outcome;
}

// The system's ping program, run for one echo with a fixed list of
// arguments (never through a shell) and its report read: for a user whom the
// system allows no ICMP socket, while the program itself gains no privilege.
class TProgramChannel : public TEchoChannel {
 public:
  explicit TProgramChannel(std::string program) : program_(std::move(program)) {}
  std::string Way() const override { return program_; }
  TEchoOutcome Exchange(const TEchoRequest& request, const std::function<void()>& whileWaiting) override;

 private:
  std::string program_;
};

TEchoOutcome TProgramChannel::Exchange(const TEchoRequest& request, const std::function<void()>& whileWaiting) {
  TEchoOutcome outcome;
  char destination[INET_ADDRSTRLEN] = {};
  in_addr address{};
  address.s_addr = request.Destination;
  inet_ntop(AF_INET, &address, destination, sizeof destination);
  char waitSeconds[32];
  std::snprintf(waitSeconds, sizeof waitSeconds, "%.3f", std::max(request.TimeoutMs, 1) / 1000.0);
  std::vector<std::string> arguments = {program_, "-n", "-c", "1", "-W", waitSeconds,
                                        "-s", std::to_string(request.Data.size()), "-t", std::to_string(request.TTL),
                                        "-M", request.DontFragment ? "do" : "dont"};
  if (!request.SourceAddress.empty()) arguments.insert(arguments.end(), {"-I", request.SourceAddress});
  arguments.push_back(destination);
  const TEchoReport report = RunPingProgram(arguments, request.TimeoutMs, whileWaiting);
  if (!report.Started) {
    outcome.Error = report.Error;
    outcome.ErrorText = program_ + ": " + std::strerror(report.Error);
    return outcome;
  }
  return ParsePingReport(report.Output);
}

}  // namespace

std::unique_ptr<TEchoChannel> OpenEchoChannel(const std::string& pingProgram) {
  qz::TSocketHandle handle = qz::OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
  const bool datagram = handle != qz::kNoSocket;
  if (!datagram) handle = qz::OpenSocket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
  if (handle != qz::kNoSocket) return std::make_unique<TSocketChannel>(handle, datagram);
  if (!pingProgram.empty() && access(pingProgram.c_str(), X_OK) == 0) return std::make_unique<TProgramChannel>(pingProgram);
  return nullptr;
}

}  // namespace qz::icmp
