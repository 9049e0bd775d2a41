#include "capture.h"

#ifdef _WIN32

#include "socket_platform.h"

#else

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#endif

namespace qz::test {

#ifdef _WIN32

UdpCapture::UdpCapture(uint16_t port) : port_(port) {
  unavailable_ = "the packet capture needs Linux's packet socket, which a Windows program under wine cannot open";
}

UdpCapture::~UdpCapture() = default;

#else

namespace {

std::string Dotted(uint32_t networkOrder) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &networkOrder, text, sizeof text);
  return text;
}

}  // namespace

UdpCapture::UdpCapture(uint16_t port) : port_(port) {
  // Cooked packets (no link header) of every interface, IPv4 only.
  socket_ = ::socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_IP));
  if (socket_ < 0) {
    unavailable_ = std::string("no packet socket: ") + std::strerror(errno);
    return;
  }
  // The kernel's time of each datagram, not the time this thread got to it.
  const int on = 1;
  ::setsockopt(socket_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
  thread_ = std::thread([this] { Run(); });
}

UdpCapture::~UdpCapture() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (socket_ >= 0) ::close(socket_);
}

void UdpCapture::Run() {
  std::string buffer(70000, '\0');
  while (!stop_) {
    pollfd entry{socket_, POLLIN, 0};
    if (::poll(&entry, 1, 10) <= 0) {
      ++quietPolls_;
      continue;
    }
    sockaddr_ll link{};
    iovec data{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr message{};
    message.msg_name = &link;
    message.msg_namelen = sizeof link;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const auto n = ::recvmsg(socket_, &message, 0);
    auto when = std::chrono::system_clock::now();
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header))
      if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_TIMESTAMPNS) {
        timespec stamp{};
        std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
        when = std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec)));
      }
    // Loopback shows every datagram twice, leaving and arriving: keep one.
    if (n <= 0 || link.sll_pkttype == PACKET_OUTGOING) continue;
    const auto size = static_cast<size_t>(n);
    if (size < sizeof(iphdr)) continue;
    iphdr ip{};
    std::memcpy(&ip, buffer.data(), sizeof ip);
    const size_t ipLength = ip.ihl * 4u;
    if (ip.protocol != IPPROTO_UDP || size < ipLength + sizeof(udphdr)) continue;
    udphdr udp{};
    std::memcpy(&udp, buffer.data() + ipLength, sizeof udp);
    if (ntohs(udp.dest) != port_ && ntohs(udp.source) != port_) continue;
    CapturedDatagram datagram{when, Dotted(ip.saddr), ntohs(udp.source), Dotted(ip.daddr),
                              ntohs(udp.dest), buffer.substr(ipLength + sizeof udp, size - ipLength - sizeof udp)};
    std::lock_guard lock(mutex_);
    datagrams_.push_back(std::move(datagram));
  }
}

#endif

std::vector<CapturedDatagram> UdpCapture::Datagrams() const {
  // What has been sent so far is read once the reader has found the socket empty.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  for (const long seen = quietPolls_; quietPolls_ < seen + 2 && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  std::lock_guard lock(mutex_);
  return datagrams_;
}

std::vector<CapturedDatagram> UdpCapture::SentTo(const std::string& address) const {
  std::vector<CapturedDatagram> sent;
  for (auto& datagram : Datagrams())
    if (datagram.To == address && datagram.ToPort == port_) sent.push_back(datagram);
  return sent;
}

}  // namespace qz::test
