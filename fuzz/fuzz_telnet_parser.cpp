// Any bytes from a Telnet server, split at any points: the text and replies
// delivered must equal those of the unsplit stream.
#include <cstddef>
#include <cstdint>
#include <string>

#include "telnet_parser.h"

namespace {
struct Run {
  qz::telnet::TTelnetParser parser;
  std::string text;
  std::string replies;
  Run() {
    parser.OnReply = [this](const std::string& reply) { replies += reply; };
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first octet seeds the split points of the rest.
  const uint8_t seed = data[0];
  const std::string stream(reinterpret_cast<const char*>(data) + 1, size - 1);
  Run whole;
  whole.text = whole.parser.Parse(stream);
  Run split;
  size_t at = 0;
  uint32_t state = seed * 2654435761u + 1;
  while (at < stream.size()) {
    state = state * 1103515245u + 12345u;
    const size_t length = 1 + (state >> 16) % 7;
    split.text += split.parser.Parse(stream.substr(at, length));
    at += length;
  }
  if (split.text != whole.text || split.replies != whole.replies) __builtin_trap();
  return 0;
}
