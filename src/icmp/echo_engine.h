#pragma once
// One ICMP echo request ("ping") to an address, with the reply or its
// absence, through the platform's echo channel (echo_channel.h).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "echo_channel.h"

namespace qz::icmp {

enum TAddressFamily { afAny, afAnyIPv4, afAnyIPv6, afIPv4, afIPv6 };

// The text of an IP status code (11010 "Request timed out", ...).
std::string IcmpErrorText(int code);

class TEchoEngine {
 public:
  TEchoEngine();
  ~TEchoEngine();
  TEchoEngine(const TEchoEngine&) = delete;
  TEchoEngine& operator=(const TEchoEngine&) = delete;

  const std::string& Address() const { return address_; }
  void SetAddress(const std::string& address);
  TAddressFamily SocketFamily() const { return family_; }
  void SetSocketFamily(TAddressFamily family);
  const std::string& SrcAddress() const { return srcAddress_; }
  void SetSrcAddress(const std::string& address);

  std::string PingMsg = "QZ Explorer echo";
  int Size = 56;
  int Timeout = 4000;  // milliseconds
  int TTL = 64;
  int Flags = 0;  // IP header flags: 2 forbids fragmentation
  // The system's ping program, for where no ICMP socket is allowed (Linux);
  // empty for none.
  std::string PingProgram = kSystemPingProgram;

  // Called every few milliseconds while a reply is awaited, so that the
  // caller's window can handle its events meanwhile; empty by default.
  std::function<void()> WhileWaiting;
  std::function<void()> OnEchoRequest;
  std::function<void(int status)> OnEchoReply;
  std::function<void(const std::string& message)> OnEchoError;

  // Sends one request and waits for the reply; the number of replies (0 or 1).
  int Ping();

  const std::string& ReplyIP() const { return replyIP_; }
  int ReplyRTT() const { return replyRTT_; }
  int ReplyStatus() const { return replyStatus_; }
  int ReplySize() const { return replySize_; }
  const std::string& ErrorString() const { return errorText_; }
  // Whether the address is resolved; a change of address, source or family
  // clears it, setting the same again does not.
  bool AddressResolved() const { return resolved_; }
  int LastError() const { return lastError_; }
  // Whether the last Ping found no way to send echoes on this system at all
  // (Linux: neither ICMP socket allowed to this user), as opposed to an
  // echo that failed.
  bool EchoUnavailable() const { return echoUnavailable_; }
  // How the echoes go (see TEchoChannel::Way); empty before the first Ping
  // and where there is no way.
  std::string Way() const;
  // The request data of the last echo: PingMsg over Size blanks.
  const std::string& RequestData() const { return requestData_; }

 private:
  bool Resolve();

  std::string address_;
  std::string srcAddress_;
  TAddressFamily family_ = afIPv4;
  bool resolved_ = false;
  uint32_t destination_ = 0;  // network order
  std::unique_ptr<TEchoChannel> channel_;
  bool echoUnavailable_ = false;
  std::string requestData_;
  std::string replyIP_;
  int replyRTT_ = 0;
  int replyStatus_ = 0;
  int replySize_ = 0;
  int lastError_ = 0;
  std::string errorText_;
};

}  // namespace qz::icmp
