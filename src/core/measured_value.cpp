#include "measured_value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace qz::app {

bool ParseMeasuredReply(const std::string& text, int64_t& reply) {
  int64_t value = 0;
  const char* const end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || at != end || value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<uint32_t>::max())
    return false;
  reply = value;
  return true;
}

namespace {

int64_t ScaledReply(int64_t reply, int32_t offset, int32_t factor) {
  return reply <= std::numeric_limits<int32_t>::max()
             ? static_cast<int32_t>((static_cast<uint32_t>(reply) + static_cast<uint32_t>(offset)) *
                                    static_cast<uint32_t>(factor))
             : (reply + offset) * factor;
}

}  // namespace

double MeasuredNumber(int64_t reply, int32_t offset, int32_t factor, int32_t decimals) {
  return static_cast<double>(ScaledReply(reply, offset, factor)) / std::pow(10.0, std::max(decimals, 0));
}

std::string FormatMeasuredValue(int64_t reply, int32_t offset, int32_t factor, int32_t decimals,
                                char decimalSeparator) {
  const int64_t scaled = ScaledReply(reply, offset, factor);
  if (decimals <= 0) return std::to_string(scaled);
  auto value = static_cast<float>(scaled);
  for (int32_t i = 0; i < decimals && value != 0.0f; ++i) value /= 10.0f;
  const auto tenths = static_cast<long long>(std::round(static_cast<double>(value) * 10.0));
  const long long magnitude = std::llabs(tenths);
  return std::string(tenths < 0 ? "-" : "") + std::to_string(magnitude / 10) + decimalSeparator +
         std::to_string(magnitude % 10);
}

}  // namespace qz::app
