#include <gtest/gtest.h>

#include <utility>

#include "hex.h"
#include "telnet_parser.h"

using namespace qz::telnet;
using qz::test::Hex;
using qz::test::ToHex;

namespace {

// A parser that records what it sends and reports.
struct Recorder {
  TTelnetParser parser;
  std::string replies;
  std::vector<TTelnetCommand> commands;
  int iacs = 0;
  Recorder() {
    parser.OnReply = [this](const std::string& reply) { replies += reply; };
    parser.OnCommand = [this](TTelnetCommand command) { commands.push_back(command); };
    parser.OnIacSeen = [this] { ++iacs; };
  }
};

}  // namespace

TEST(TelnetParser, DoubledIacIsOneDataByte) {
  Recorder r;
  EXPECT_EQ(r.parser.Parse("a" + Hex("FF FF") + "b"), "a\xFF" "b");
  EXPECT_EQ(r.replies, "");
  EXPECT_EQ(r.iacs, 1);
}

TEST(TelnetParser, AnswersWhatWouldChangeAnOptionsState) {
  struct Case {
    const char* received;
    const char* reply;
    std::vector<TTelnetCommand> commands;
  };
  // Every option starts off on both sides.
  const Case cases[] = {
      {"FF FB 01", "FF FD 01", {tncNoLocalEcho}}, {"FF FB 19", "FF FD 19", {}}, {"FF FB 03", "FF FE 03", {}},
      {"FF FD 01", "FF FB 01", {tncLocalEcho}},   {"FF FD 18", "FF FB 18", {}}, {"FF FD 1F", "FF FC 1F", {}},
      {"FF FD 25", "FF FC 25", {}},               {"FF FD 00", "FF FC 00", {}},
      // Turning off what is off changes nothing and is not answered.
      {"FF FC 01", "", {}}, {"FF FC 03", "", {}}, {"FF FE 01", "", {}}, {"FF FE 18", "", {}},
      // What is on is not acknowledged again; turning it off is.
      {"FF FB 01 FF FB 01", "FF FD 01", {tncNoLocalEcho}},
      {"FF FB 01 FF FC 01", "FF FD 01 FF FE 01", {tncNoLocalEcho, tncLocalEcho}},
      {"FF FD 01 FF FE 01 FF FE 01", "FF FB 01 FF FC 01", {tncLocalEcho, tncEcho}},
      {"FF FD 18 FF FD 18 FF FE 18 FF FD 18", "FF FB 18 FF FC 18 FF FB 18", {}},
      // A refusal of what stays off is answered each time it is asked (the
      // peer is waiting for it), one answer to one request.
      {"FF FB 03 FF FB 03", "FF FE 03 FF FE 03", {}},
  };
  for (const auto& c : cases) {
    Recorder r;
    EXPECT_EQ(r.parser.Parse(Hex(c.received)), "") << c.received;
    EXPECT_EQ(ToHex(r.replies), c.reply) << c.received;
    EXPECT_EQ(r.commands, c.commands) << c.received;
  }
}

TEST(TelnetParser, APeerAcknowledgingEveryAnswerDoesNotLoop) {
  // A peer that answers each of our answers with the opposite request: every
  // exchange ends after one round, whatever it sends.
  Recorder r;
  std::string toPeer;
  r.parser.Parse(Hex("FF FD 18 FF FB 01"));
  for (int round = 0; round < 100 && !r.replies.empty(); ++round) {
    toPeer = std::exchange(r.replies, "");
    std::string answer;
    for (size_t at = 0; at + 3 <= toPeer.size(); at += 3) {
      const auto verb = static_cast<uint8_t>(toPeer[at + 1]);
      const uint8_t echoed = verb == 0xFB ? 0xFD : verb == 0xFC ? 0xFE : verb == 0xFD ? 0xFB : 0xFC;
      answer += Hex("FF") + static_cast<char>(echoed) + toPeer[at + 2];
    }
    r.parser.Parse(answer);
  }
  EXPECT_EQ(r.replies, "");
}

TEST(TelnetParser, ResetTurnsEveryOptionOff) {
  Recorder r;
  r.parser.Parse(Hex("FF FB 01 FF FD 18"));
  r.parser.Reset();
  r.replies.clear();
  r.parser.Parse(Hex("FF FB 01 FF FD 18"));
  EXPECT_EQ(ToHex(r.replies), "FF FD 01 FF FB 18");
}

TEST(TelnetParser, OtherCommandsAreDropped) {
  Recorder r;
  EXPECT_EQ(r.parser.Parse("a" + Hex("FF F1 FF F9 FF EF FF F0") + "b"), "ab");
  EXPECT_EQ(r.replies, "");
}

TEST(TelnetParser, AnnouncesTheTerminalType) {
  Recorder r;
  EXPECT_EQ(r.parser.Parse(Hex("FF FD 18 FF FA 18 01 FF F0") + "login:"), "login:");
  EXPECT_EQ(ToHex(r.replies), "FF FB 18 FF FA 18 00 64 75 6D 62 FF F0");
  Recorder empty;
  empty.parser.Terminal = "";
  empty.parser.Parse(Hex("FF FD 18"));
  empty.replies.clear();
  empty.parser.Parse(Hex("FF FA 18 01 FF F0"));
  EXPECT_EQ(empty.replies, Hex("FF FA 18 00") + "dumb" + Hex("FF F0"));
  EXPECT_EQ(empty.parser.Terminal, "dumb");
}

TEST(TelnetParser, OtherSubnegotiationsAreIgnored) {
  // The terminal type is on in each case but the last ones, where it never
  // was or was turned off again.
  const char* cases[] = {"FF FD 18 FF FA 18 00 41 FF F0", "FF FD 18 FF FA 18 01 01 FF F0", "FF FD 18 FF FA 18 FF F0",
                         "FF FD 18 FF FA FF 18 01",       "FF FD 18 FF FA 18 01 FF 01",    "FF FA 18 01 FF F0",
                         "FF FD 18 FF FE 18 FF FA 18 01 FF F0"};
  for (const char* bytes : cases) {
    Recorder r;
    r.parser.Parse(Hex(bytes));
    EXPECT_EQ(r.replies.find(Hex("FF FA")), std::string::npos) << bytes;
  }
  // IAC SB ends one sub-negotiation and starts the next.
  Recorder r;
  r.parser.Parse(Hex("FF FD 18"));
  r.replies.clear();
  r.parser.Parse(Hex("FF FA 18 01 FF FA 18 01 FF F0"));
  EXPECT_EQ(r.replies, (Hex("FF FA 18 00") + "dumb" + Hex("FF F0")) + (Hex("FF FA 18 00") + "dumb" + Hex("FF F0")));
}

TEST(TelnetParser, CommandsSplitAcrossReadsAreCompleted) {
  const std::string stream = "ab" + Hex("FF FD 18") + "c" + Hex("FF FA 18 01 FF F0") + "d" + Hex("FF FF") + "e";
  Recorder whole;
  const std::string expected = whole.parser.Parse(stream);
  EXPECT_EQ(expected, "abcd\xFF" "e");
  for (size_t cut = 1; cut < stream.size(); ++cut) {
    Recorder split;
    std::string text = split.parser.Parse(stream.substr(0, cut));
    text += split.parser.Parse(stream.substr(cut));
    EXPECT_EQ(text, expected) << cut;
    EXPECT_EQ(split.replies, whole.replies) << cut;
  }
}

TEST(TelnetParser, HostileSubnegotiationIsDroppedAndReported) {
  Recorder r;
  std::vector<std::pair<uint8_t, size_t>> dropped;
  r.parser.OnSubnegotiationDropped = [&](uint8_t option, size_t length) { dropped.emplace_back(option, length); };
  r.parser.Parse(Hex("FF FA 18 01"));
  for (int i = 0; i < 1000; ++i) r.parser.Parse(std::string(1000, '\x01'));
  r.parser.Parse(Hex("FF F0"));
  EXPECT_EQ(r.replies, "");
  EXPECT_EQ(dropped, (std::vector<std::pair<uint8_t, size_t>>{{24, 1000001}}));
  EXPECT_EQ(r.parser.Parse("ok"), "ok");
  // One just within the bound is taken.
  dropped.clear();
  r.parser.Parse(Hex("FF FA 18") + std::string(TTelnetParser::kMaxSubnegotiation, 'x') + Hex("FF F0"));
  EXPECT_TRUE(dropped.empty());
}
