#pragma once
// The exceptions of the TCP and Telnet classes, each with its fixed text.
#include <stdexcept>
#include <string>

namespace qz::telnet {

#ifdef _WIN32
inline const char* const kLineBreak = "\r\n";
#else
inline const char* const kLineBreak = "\n";
#endif

class ENetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "Socket Error # <code>", a line break, and the description of the code.
std::string SocketErrorText(int code);

class ESocketError : public ENetError {
 public:
  explicit ESocketError(int code) : ENetError(SocketErrorText(code)), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

#define QZ_NET_ERROR(Name, Text)                 \
  class Name : public ENetError {                \
   public:                                       \
    Name() : ENetError(Text) {}                  \
  };

QZ_NET_ERROR(EConnectTimeout, "Connect timed out.")
QZ_NET_ERROR(EAlreadyConnected, "Already connected.")
QZ_NET_ERROR(EConnectionClosed, "Connection closed by peer.")
QZ_NET_ERROR(ENotConnected, "Not Connected")
QZ_NET_ERROR(EReadTimeout, "Read Timeout")
QZ_NET_ERROR(EInvalidSocket, "Cannot allocate socket.")
QZ_NET_ERROR(ECouldNotBindSocket, "Could not bind socket. Address and port are already in use.")
QZ_NET_ERROR(ETelnetNoDataHandler, "OnDataAvailable event is nil.")
QZ_NET_ERROR(EPeerNotReading, "The device stopped taking what is sent.")
#undef QZ_NET_ERROR

// A connect that failed with the text of the failure.
class EConnectError : public ENetError {
 public:
  using ENetError::ENetError;
};

}  // namespace qz::telnet
