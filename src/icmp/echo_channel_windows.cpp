#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <chrono>
#include <vector>

#include "echo_channel.h"
#include "socket_platform.h"

// Windows: the ICMP helper library in its event form, so that the caller's
// wait hook keeps running while the system waits for the reply. The system
// matches replies to requests itself.
namespace qz::icmp {
namespace {

// Not declared by every SDK's icmpapi.h; present in iphlpapi.dll since Vista.
using TSendEcho2Ex = DWORD(WINAPI*)(HANDLE, HANDLE, void*, void*, IPAddr, IPAddr, void*, WORD,
                                    PIP_OPTION_INFORMATION, void*, DWORD, DWORD);

TSendEcho2Ex SendEcho2Ex() {
  static const auto found = reinterpret_cast<TSendEcho2Ex>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"iphlpapi.dll"), "IcmpSendEcho2Ex")));
  return found;
}

class THelperChannel : public TEchoChannel {
 public:
  THelperChannel(HANDLE icmp, HANDLE event) : icmp_(icmp), event_(event) {}
  ~THelperChannel() override {
    IcmpCloseHandle(icmp_);
    CloseHandle(event_);
  }
  THelperChannel(const THelperChannel&) = delete;
  THelperChannel& operator=(const THelperChannel&) = delete;

  std::string Way() const override { return "the ICMP helper"; }
  TEchoOutcome Exchange(const TEchoRequest& request, const std::function<void()>& whileWaiting) override;

 private:
  HANDLE icmp_;
  HANDLE event_;
  // Kept with the channel: the system may still write a late reply into it.
  std::vector<unsigned char> replies_;
};

TEchoOutcome THelperChannel::Exchange(const TEchoRequest& request, const std::function<void()>& whileWaiting) {
  TEchoOutcome outcome;
  IP_OPTION_INFORMATION options{};
  options.Ttl = static_cast<UCHAR>(request.TTL);
  options.Flags = request.DontFragment ? IP_FLAG_DF : 0;
  // One reply, its data, room for the ICMP error it may be instead, and for
  // the status block the system keeps with it (two pointers' size).
  replies_.assign(sizeof(ICMP_ECHO_REPLY) + request.Data.size() + 8 + 2 * sizeof(void*), 0);
  std::string data = request.Data;
  ResetEvent(event_);
  const auto timeout = static_cast<DWORD>(request.TimeoutMs);
  const auto size = static_cast<WORD>(data.size());
  const auto repliesSize = static_cast<DWORD>(replies_.size());
  DWORD started = 0;
  if (!request.SourceAddress.empty() && SendEcho2Ex()) {
    in_addr source{};
    inet_pton(AF_INET, request.SourceAddress.c_str(), &source);
    started = SendEcho2Ex()(icmp_, event_, nullptr, nullptr, source.s_addr, request.Destination, data.data(), size,
                            &options, replies_.data(), repliesSize, timeout);
  } else {
    started = IcmpSendEcho2(icmp_, event_, nullptr, nullptr, request.Destination, data.data(), size, &options,
                            replies_.data(), repliesSize, timeout);
  }
  if (started == 0 && GetLastError() != ERROR_IO_PENDING) {
    outcome.Error = static_cast<int>(GetLastError());
    return outcome;
  }
  // The system ends the request by its time-out; the margin only guards
  // against a request that never ends.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(request.TimeoutMs + 1000);
  DWORD waited = WAIT_TIMEOUT;
  while (waited == WAIT_TIMEOUT && std::chrono::steady_clock::now() < deadline) {
    waited = WaitForSingleObject(event_, whileWaiting ? kWaitSliceMs : static_cast<DWORD>(request.TimeoutMs + 1000));
    if (waited == WAIT_TIMEOUT && whileWaiting) whileWaiting();
  }
  if (waited != WAIT_OBJECT_0 || IcmpParseReplies(replies_.data(), repliesSize) == 0) {
    outcome.Error = kRequestTimedOut;
    return outcome;
  }
  const auto* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(replies_.data());
  char text[INET_ADDRSTRLEN] = {};
  in_addr from{};
  from.s_addr = reply->Address;
  inet_ntop(AF_INET, &from, text, sizeof text);
  if (reply->Status == IP_REQ_TIMED_OUT) {
    outcome.Error = kRequestTimedOut;
    return outcome;
  }
  outcome.Replied = true;
  outcome.ReplyIP = text;
  outcome.Status = static_cast<int>(reply->Status);
  outcome.RTT = static_cast<int>(reply->RoundTripTime);
  outcome.Size = reply->Status == IP_SUCCESS ? reply->DataSize : 0;
  return outcome;
}

}  // namespace

std::unique_ptr<TEchoChannel> OpenEchoChannel(const std::string&) {
  const HANDLE icmp = IcmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE) return nullptr;
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) {
    IcmpCloseHandle(icmp);
    return nullptr;
  }
  return std::make_unique<THelperChannel>(icmp, event);
}

}  // namespace qz::icmp
