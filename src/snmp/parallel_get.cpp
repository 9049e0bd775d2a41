#include "parallel_get.h"

#include <algorithm>
#include <cstring>

#include "answer_rule.h"
#include "snmp_message.h"

namespace qz::snmp {

TParallelGets::TParallelGets(std::string community, int32_t timeoutMs, int32_t tries, TPacing pacing)
    : community_(std::move(community)),
      timeout_(std::max(timeoutMs, 1)),
      tries_(std::max(tries, 0)),
      pacing_(pacing),
      tokens_(pacing.Burst),
      tokensAt_(Clock::now()) {
  handle_ = OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (handle_ == kNoSocket || !SetNonBlocking(handle_, true)) {
    error_ = LastSocketError();
    return;
  }
  // Room for the answers of every open query, however they bunch up.
  SetSocketOption(handle_, SOL_SOCKET, SO_RCVBUF, 1 << 20);
  // Bound now, so that the port the queries leave from is known from the start.
  sockaddr_in local{};
  local.sin_family = AF_INET;
  socklen_t length = sizeof local;
  if (::bind(handle_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::getsockname(handle_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    error_ = LastSocketError();
    return;
  }
  localPort_ = ntohs(local.sin_port);
}

TParallelGets::~TParallelGets() { CloseSocketHandle(handle_); }

void TParallelGets::Get(uint64_t tag, uint32_t address, const std::string& oid) {
  queued_.push_back({tag, address, {oid}});
}

void TParallelGets::GetList(uint64_t tag, uint32_t address, std::vector<std::string> oids) {
  queued_.push_back({tag, address, std::move(oids)});
}

std::vector<TParallelGets::Answer> TParallelGets::Service(int maxWaitMs) {
  std::vector<Answer> settled;
  SendDue(Clock::now(), settled);
  if (!settled.empty() || Pending() == 0) return settled;
  if (handle_ != kNoSocket && WaitForSocket(handle_, TSocketWait::Readable, WaitMs(Clock::now(), maxWaitMs)) > 0)
    ReadAnswers(settled);
  SendDue(Clock::now(), settled);
  return settled;
}

int TParallelGets::WaitMs(Clock::time_point now, int maxWaitMs) const {
  auto until = now + std::chrono::milliseconds(maxWaitMs);
  bool wantsToSend = !queued_.empty() && static_cast<int>(open_.size()) < pacing_.MaxInFlight;
  for (const auto& [key, open] : open_) {
    if (open.Deadline > now)
      until = std::min(until, open.Deadline);
    else
      wantsToSend = true;  // a retry waiting for its turn
  }
  if (wantsToSend)
    until = std::min(until, now + std::chrono::microseconds(static_cast<int64_t>(
                                      std::max(0.0, 1 - tokens_) * 1e6 / pacing_.MaxPerSecond)));
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
  return static_cast<int>(std::clamp<int64_t>(wait, 0, maxWaitMs));
}

void TParallelGets::SendDue(Clock::time_point now, std::vector<Answer>& settled) {
  tokens_ = std::min<double>(pacing_.Burst, tokens_ + std::chrono::duration<double>(now - tokensAt_).count() *
                                                          pacing_.MaxPerSecond);
  tokensAt_ = now;
  // Tries of open queries whose time is up come first: they hold a place.
  std::vector<uint64_t> due;
  for (const auto& [key, open] : open_)
    if (open.Deadline <= now) due.push_back(key);
  std::sort(due.begin(), due.end());
  for (const uint64_t key : due) {
    OpenQuery& open = open_.at(key);
    if (open.TriesLeft == 0) {
      Settle(key, nullptr, settled);
    } else if (tokens_ >= 1) {
      Send(key, open, now);
    }
  }
  while (!queued_.empty() && static_cast<int>(open_.size()) < pacing_.MaxInFlight) {
    if (tries_ == 0) {
      settled.push_back({queued_.front().Tag, false, {}, {}, 0});
      queued_.pop_front();
      continue;
    }
    if (tokens_ < 1) break;
    const uint64_t key = nextKey_++;
    OpenQuery& open = open_[key];
    open.Asked = std::move(queued_.front());
    open.TriesLeft = tries_;
    queued_.pop_front();
    Send(key, open, now);
  }
}

void TParallelGets::Send(uint64_t key, OpenQuery& open, Clock::time_point now) {
  TSnmpMessage request;
  request.Community = community_;
  request.PDUType = pduGetRequest;
  int32_t id = NewRequestId();
  while (keyOfId_.count(id)) id = NewRequestId();
  request.ID = id;
  for (const std::string& oid : open.Asked.Oids) request.AddVarBind(oid, {}, berNull);
  const ByteString bytes = request.EncodeMessage();
  open.Ids.push_back(id);
  keyOfId_[id] = key;
  --open.TriesLeft;
  tokens_ -= 1;
  open.Deadline = now + timeout_;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(161);
  to.sin_addr.s_addr = htonl(open.Asked.Address);
  // A send the network refuses at once counts as a try that got no answer.
  SendDatagram(handle_, bytes.data(), bytes.size(), reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void TParallelGets::ReadAnswers(std::vector<Answer>& settled) {
  std::string buffer(65536, '\0');
  const auto isOpen = [this](int32_t id) { return keyOfId_.count(id) > 0; };
  // A turn reads a bounded number of datagrams, so that a flood faster than
  // the reading never keeps the caller from its stop flag and its progress.
  for (int turn = 0; turn < kMostDatagramsPerTurn; ++turn) {
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const auto received =
        ReceiveDatagram(handle_, buffer.data(), buffer.size(), reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received < 0) return;  // nothing more waiting
    TSnmpMessage reply;
    if (!IsAnswer(buffer.substr(0, static_cast<size_t>(received)), isOpen, reply)) continue;
    Settle(keyOfId_.at(reply.ID), &reply, settled);
  }
}

// reply: the answer, or null when the last try timed out.
void TParallelGets::Settle(uint64_t key, const TSnmpMessage* reply, std::vector<Answer>& settled) {
  const auto open = open_.find(key);
  for (const int32_t id : open->second.Ids) keyOfId_.erase(id);
  Answer answer{open->second.Asked.Tag, reply != nullptr, {}, {}, reply ? reply->ErrorStatus : 0};
  if (reply) {
    for (const std::string& oid : open->second.Asked.Oids) answer.Values.push_back(AnswerValue(*reply, oid));
    if (!answer.Values.empty()) answer.Value = answer.Values.front();
  }
  settled.push_back(std::move(answer));
  open_.erase(open);
}

}  // namespace qz::snmp
