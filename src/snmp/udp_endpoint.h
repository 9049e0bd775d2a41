#pragma once
// The blocking datagram endpoint one SNMP request uses: resolve, open, send
// once, wait a bounded time for one datagram (which may have no bytes),
// close.
#include <cstdint>
#include <string>

#include "ber.h"
#include "socket_platform.h"

namespace qz::snmp {

enum TEndpointFamily { efAny, efIPv4, efIPv6 };

class TUdpEndpoint {
 public:
  TUdpEndpoint() = default;
  ~TUdpEndpoint();
  TUdpEndpoint(const TUdpEndpoint&) = delete;
  TUdpEndpoint& operator=(const TUdpEndpoint&) = delete;

  TEndpointFamily Family = efAny;
  bool PreferIPv4 = true;

  void BindLocal(const std::string& address, const std::string& port);
  void OpenTo(const std::string& host, const std::string& port);
  void SendDatagram(const ByteString& data);
  ByteString ReceiveDatagram(int32_t timeoutMs);
  std::string PeerAddressText() const;
  int32_t LastError() const { return lastError_; }

 private:
  int WaitingByteCount() const;
  ByteString ReadDatagram(int count);
  bool WaitReadable(int32_t timeoutMs) const;

  qz::TSocketHandle handle_ = qz::kNoSocket;
  sockaddr_storage remote_{};
  socklen_t remoteLength_ = 0;
  int32_t lastError_ = 0;
};

}  // namespace qz::snmp
