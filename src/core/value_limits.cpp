#include "value_limits.h"

#include <cmath>
#include <charconv>

#include "conf_file.h"
#include "text.h"

namespace qz::app {
namespace {

constexpr std::string_view kBlanks = " \t";

// A whole finite number, or none; an empty text is "no limit".
bool ParseBound(std::string text, std::optional<double>& bound) {
  text = Trimmed(text, kBlanks);
  if (text.empty()) return true;
  for (char& c : text)
    if (c == ',') c = '.';
  // Whatever the locale: the conf is the same file in every language.
  double value = 0;
  const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
  const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return false;
  bound = value;
  return true;
}

std::string BoundText(const std::optional<double>& bound) {
  if (!bound) return {};
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, *bound).ptr;
  return {text, end};
}

}  // namespace

std::optional<TValueLimit> ParseValueLimit(const std::string& text) {
  const auto dots = text.find("..");
  if (dots == std::string::npos) return std::nullopt;
  TValueLimit limit;
  if (!ParseBound(text.substr(0, dots), limit.Low) || !ParseBound(text.substr(dots + 2), limit.High))
    return std::nullopt;
  if (!limit.Low && !limit.High) return std::nullopt;
  if (limit.Low && limit.High && *limit.Low > *limit.High) return std::nullopt;
  return limit;
}

std::string ValueLimitText(const TValueLimit& limit) { return BoundText(limit.Low) + ".." + BoundText(limit.High); }

const TValueLimit* TValueLimits::Find(const std::string& type, const std::string& caption) const {
  const auto found = limits_.find({type, caption});
  return found == limits_.end() ? nullptr : &found->second;
}

TValueLimits LimitsFromConf(const TConfFile& conf) {
  TValueLimits limits;
  for (const auto& entry : conf.Entries()) {
    if (entry.Section != "Limits") continue;
    const std::string where = "Limits/" + entry.Key;
    const auto slash = entry.Key.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == entry.Key.size()) {
      limits.problems_.push_back(where + ": the key is not <type>/<value caption>");
      continue;
    }
    const auto limit = ParseValueLimit(entry.Value);
    if (!limit) {
      limits.problems_.push_back(where + ": \"" + entry.Value + "\" is not low..high");
      continue;
    }
    limits.limits_[{entry.Key.substr(0, slash), entry.Key.substr(slash + 1)}] = *limit;
  }
  return limits;
}

}  // namespace qz::app
