#include <gtest/gtest.h>

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

TEST(TelnetParser, AnswersEveryNegotiation) {
  struct Case {
    const char* received;
    const char* reply;
    std::vector<TTelnetCommand> commands;
  };
  const Case cases[] = {
      {"FF FB 01", "FF FD 01", {tncNoLocalEcho}}, {"FF FB 19", "FF FD 19", {}}, {"FF FB 03", "FF FE 03", {}},
      {"FF FC 01", "FF FE 01", {tncLocalEcho}},   {"FF FC 03", "FF FE 03", {}}, {"FF FD 01", "FF FB 01", {tncLocalEcho}},
      {"FF FD 18", "FF FB 18", {}},               {"FF FD 1F", "FF FC 1F", {}}, {"FF FD 25", "FF FC 25", {}},
      {"FF FD 00", "FF FC 00", {}},               {"FF FE 01", "FF FC 01", {tncEcho}}, {"FF FE 18", "FF FC 18", {}},
  };
  for (const auto& c : cases) {
    Recorder r;
    EXPECT_EQ(r.parser.Parse(Hex(c.received)), "") << c.received;
    EXPECT_EQ(ToHex(r.replies), c.reply) << c.received;
    EXPECT_EQ(r.commands, c.commands) << c.received;
  }
  // A repeated negotiation is answered again.
  Recorder r;
  r.parser.Parse(Hex("FF FB 03 FF FB 03"));
  EXPECT_EQ(ToHex(r.replies), "FF FE 03 FF FE 03");
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
  empty.parser.Parse(Hex("FF FA 18 01 FF F0"));
  EXPECT_EQ(empty.replies, Hex("FF FA 18 00") + "dumb" + Hex("FF F0"));
  EXPECT_EQ(empty.parser.Terminal, "dumb");
}

TEST(TelnetParser, OtherSubnegotiationsAreIgnored) {
  const char* cases[] = {"FF FA 18 00 41 FF F0", "FF FA 18 01 01 FF F0", "FF FA 18 FF F0", "FF FA FF 18 01",
                         "FF FA 18 01 FF 01"};
  for (const char* bytes : cases) {
    Recorder r;
    r.parser.Parse(Hex(bytes));
    EXPECT_EQ(r.replies, "") << bytes;
  }
  // IAC SB ends one sub-negotiation and starts the next.
  Recorder r;
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
