#include "trap_receiver.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "process_capabilities.h"

namespace qz::snmp {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TTrapReceiver::TTrapReceiver(const std::string& address, uint16_t port, std::vector<std::string> communities,
                             std::function<void()> wake)
    : communities_(std::move(communities)), wake_(std::move(wake)) {
  handle_ = OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  const auto bind = [&] {
    const TPortBindingPrivilege privilege;
    return ::bind(handle_, reinterpret_cast<const sockaddr*>(&local), sizeof local);
  };
  if (handle_ == kNoSocket || inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1 || bind() != 0) {
    error_ = LastSocketError();
    if (error_ == 0) error_ = EINVAL;
    return;
  }
  SetSocketOption(handle_, SOL_SOCKET, SO_RCVBUF, 1 << 20);
  thread_ = std::thread([this] { Run(); });
}

TTrapReceiver::~TTrapReceiver() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  CloseSocketHandle(handle_);
}

std::vector<TReceivedTrap> TTrapReceiver::Take() {
  std::lock_guard lock(mutex_);
  std::vector<TReceivedTrap> taken(std::make_move_iterator(waiting_.begin()), std::make_move_iterator(waiting_.end()));
  waiting_.clear();
  return taken;
}

TTrapCounts TTrapReceiver::Counts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

bool TTrapReceiver::WithinRate(const std::string& source, int64_t nowMs) {
  if (buckets_.size() >= kMostSources && !buckets_.count(source)) buckets_.clear();  // a spoofed crowd: start again
  TBucket& bucket = buckets_.try_emplace(source, TBucket{kTrapsPerSecond, nowMs}).first->second;
  bucket.Tokens = std::min<double>(kTrapsPerSecond, bucket.Tokens + (nowMs - bucket.AtMs) * kTrapsPerSecond / 1000.0);
  bucket.AtMs = nowMs;
  if (bucket.Tokens < 1) return false;
  bucket.Tokens -= 1;
  return true;
}

void TTrapReceiver::Run() {
  std::string buffer(65536, '\0');
  while (!stop_) {
    if (WaitForSocket(handle_, TSocketWait::Readable, 100) <= 0) continue;
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const long received =
        ReceiveDatagram(handle_, buffer.data(), buffer.size(), reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received < 0) continue;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    const int64_t now = NowMs();
    // The rate is counted before anything is decoded: a flood of garbage
    // costs no more than one of traps.
    if (!WithinRate(text, now)) {
      std::lock_guard lock(mutex_);
      ++counts_.OverRate;
      continue;
    }
    std::optional<TTrap> trap = DecodeTrap(buffer.substr(0, static_cast<size_t>(received)));
    const bool inform = trap && trap->PDUType == pduInformRequest;
    const ByteString response = inform ? InformResponse(*trap) : ByteString();
    bool wake = false;
    {
      std::lock_guard lock(mutex_);
      if (!trap) {
        ++counts_.Malformed;
        continue;
      }
      if (std::find(communities_.begin(), communities_.end(), trap->Community) == communities_.end()) {
        ++counts_.WrongCommunity;
        continue;
      }
      if (waiting_.size() >= kMostWaiting) {
        ++counts_.QueueFull;
        continue;
      }
      ++counts_.Accepted;
      wake = waiting_.empty();
      waiting_.push_back({text, now, std::move(*trap)});
    }
    // Acknowledged once accepted: a sender whose inform was dropped tries again.
    if (inform)
      SendDatagram(handle_, response.data(), response.size(), reinterpret_cast<const sockaddr*>(&from), fromLength);
    if (wake && wake_) wake_();
  }
}

}  // namespace qz::snmp
