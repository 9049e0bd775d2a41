#include "console_text.h"

#include <algorithm>

namespace qz::app {

std::vector<ScreenStep> ScreenStepsOf(const std::string& received) {
  std::vector<ScreenStep> steps;
  size_t start = 0;
  while (start < received.size()) {
    const size_t cr = received.find('\r', start);
    const bool endsAtCr = cr != std::string::npos;
    std::string piece = received.substr(start, (endsAtCr ? cr : received.size()) - start);
    piece.erase(std::remove(piece.begin(), piece.end(), '\n'), piece.end());
    if (!piece.empty() && piece[0] == '\b')
      steps.push_back({ScreenStep::EraseLastCharacter, {}});
    else if (!piece.empty())
      steps.push_back({ScreenStep::Append, piece});
    if (!endsAtCr) break;
    steps.push_back({ScreenStep::NewLine, {}});
    start = cr + 1;
    if (start < received.size() && received[start] == '\n') ++start;
  }
  return steps;
}

}  // namespace qz::app
