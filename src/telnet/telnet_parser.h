#pragma once
// The Telnet byte parser (RFC 854 commands, RFC 855 option negotiation with
// the option states of RFC 1143, RFC 1091 terminal type): separates data
// from commands, byte by byte, with its state carried from one read to the
// next. It never touches a socket: replies go to a callback.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace qz::telnet {

enum TTelnetCommand { tncNoLocalEcho = 0, tncLocalEcho = 1, tncEcho = 2 };

namespace tn {
constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr uint8_t ECHO = 1, TERMINAL_TYPE = 24, END_OF_RECORD = 25, IS = 0, SEND = 1;
}  // namespace tn

class TTelnetParser {
 public:
  // Sub-negotiation data past this is dropped, and the sub-negotiation with it.
  static constexpr size_t kMaxSubnegotiation = 4096;

  std::function<void(const std::string& reply)> OnReply;
  std::function<void(TTelnetCommand command)> OnCommand;
  std::function<void()> OnIacSeen;
  // A sub-negotiation longer than kMaxSubnegotiation was dropped: its
  // option, and how many octets of it arrived.
  std::function<void(uint8_t option, size_t length)> OnSubnegotiationDropped;

  // The terminal type announced when the peer asks; an empty one is sent as "dumb".
  std::string Terminal = "dumb";

  // The data text of bytes, commands taken out.
  std::string Parse(const std::string& bytes);
  // Back to plain data, as at the start of a session: what one session left
  // half-parsed (a sub-negotiation cut off by the close) must not swallow the
  // next session's text.
  void Reset();

 private:
  enum class State { Data, Iac, Will, Wont, Do, Dont, Sb, SbIac, SbData, SbDataIac };
  void Negotiate(State verb, uint8_t option);
  void EndSubnegotiation();
  void Collect(char c);
  void Reply(std::initializer_list<uint8_t> bytes);

  State state_ = State::Data;
  uint8_t sbOption_ = 0;
  std::string sbData_;
  bool sbOverflow_ = false;
  size_t sbLength_ = 0;
  // Which options are on, for this side and the peer's (RFC 1143).
  std::array<bool, 256> ourOn_{};
  std::array<bool, 256> peerOn_{};
};

}  // namespace qz::telnet
