#pragma once
// How received Telnet text changes the console screen: pieces end at CR (one
// LF right after a CR is skipped); a piece that starts with BS erases one
// character of the current line; LFs are dropped; everything else is shown
// as it arrives.
#include <string>
#include <vector>

namespace qz::app {

struct ScreenStep {
  enum Kind { Append, EraseLastCharacter, NewLine } What;
  std::string Text;  // for Append

  bool operator==(const ScreenStep&) const = default;
};

std::vector<ScreenStep> ScreenStepsOf(const std::string& received);

}  // namespace qz::app
