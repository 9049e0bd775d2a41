#include "telnet_parser.h"

namespace qz::telnet {

void TTelnetParser::Reply(std::initializer_list<uint8_t> bytes) {
  if (OnReply) OnReply(std::string(bytes.begin(), bytes.end()));
}

void TTelnetParser::Reset() {
  state_ = State::Data;
  sbOption_ = 0;
  sbData_.clear();
  sbOverflow_ = false;
  sbLength_ = 0;
  ourOn_.fill(false);
  peerOn_.fill(false);
}

std::string TTelnetParser::Parse(const std::string& bytes) {
  std::string data;
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    switch (state_) {
      case State::Data:
        if (b == tn::IAC) {
          if (OnIacSeen) OnIacSeen();
          state_ = State::Iac;
        } else {
          data += c;
        }
        break;
      case State::Iac:
        switch (b) {
          case tn::IAC: data += c; state_ = State::Data; break;
          case tn::WILL: state_ = State::Will; break;
          case tn::WONT: state_ = State::Wont; break;
          case tn::DO: state_ = State::Do; break;
          case tn::DONT: state_ = State::Dont; break;
          case tn::SB:
            sbData_.clear();
            sbOverflow_ = false;
            state_ = State::Sb;
            break;
          default: state_ = State::Data; break;  // EOR, SE, NOP, GA and the rest
        }
        break;
      case State::Will:
      case State::Wont:
      case State::Do:
      case State::Dont:
        Negotiate(state_, b);
        state_ = State::Data;
        break;
      case State::Sb:
        if (b == tn::IAC) {
          state_ = State::SbIac;
        } else {
          sbOption_ = b;
          sbData_.clear();
          sbOverflow_ = false;
          sbLength_ = 0;
          state_ = State::SbData;
        }
        break;
      case State::SbIac:
        state_ = State::Data;
        break;
      case State::SbData:
        if (b == tn::IAC) {
          state_ = State::SbDataIac;
        } else {
          Collect(c);
        }
        break;
      case State::SbDataIac:
        if (b == tn::SE || b == tn::SB) {
          EndSubnegotiation();
          sbOption_ = 0;
          sbData_.clear();
          sbOverflow_ = false;
          state_ = b == tn::SE ? State::Data : State::Sb;
        } else if (b == tn::IAC) {
          Collect(c);
          state_ = State::SbData;
        } else {
          state_ = State::Data;
        }
        break;
    }
  }
  return data;
}

void TTelnetParser::Negotiate(State verb, uint8_t option) {
  // RFC 1143: each side of each option is on or off, and only a request that
  // would change that is answered (a refusal of an option that stays off
  // included), so that two sides acknowledging each other's answers can
  // never loop. The client asks for nothing itself.
  const bool his = verb == State::Will || verb == State::Wont;
  const bool wantsOn = verb == State::Will || verb == State::Do;
  bool& on = his ? peerOn_[option] : ourOn_[option];
  if (wantsOn == on) return;
  if (option == tn::ECHO && OnCommand) {
    switch (verb) {
      case State::Will: OnCommand(tncNoLocalEcho); break;
      case State::Do:
      case State::Wont: OnCommand(tncLocalEcho); break;
      default: OnCommand(tncEcho); break;
    }
  }
  const bool agreed =
      wantsOn && (his ? option == tn::ECHO || option == tn::END_OF_RECORD : option == tn::ECHO || option == tn::TERMINAL_TYPE);
  if (agreed) {
    on = true;
    Reply({tn::IAC, his ? tn::DO : tn::WILL, option});
  } else {
    on = false;
    Reply({tn::IAC, his ? tn::DONT : tn::WONT, option});
  }
}

void TTelnetParser::Collect(char c) {
  ++sbLength_;
  if (sbData_.size() < kMaxSubnegotiation)
    sbData_ += c;
  else
    sbOverflow_ = true;
}

void TTelnetParser::EndSubnegotiation() {
  if (sbOverflow_) {
    if (OnSubnegotiationDropped) OnSubnegotiationDropped(sbOption_, sbLength_);
    return;
  }
  // Only an option that is on is sub-negotiated.
  if (!ourOn_[tn::TERMINAL_TYPE] || sbOption_ != tn::TERMINAL_TYPE ||
      sbData_ != std::string(1, static_cast<char>(tn::SEND)))
    return;
  if (Terminal.empty()) Terminal = "dumb";
  if (OnReply)
    OnReply(std::string{static_cast<char>(tn::IAC), static_cast<char>(tn::SB), static_cast<char>(tn::TERMINAL_TYPE),
                        static_cast<char>(tn::IS)} +
            Terminal + std::string{static_cast<char>(tn::IAC), static_cast<char>(tn::SE)});
}

}  // namespace qz::telnet
