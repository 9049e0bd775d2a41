#include "measured_value.h"

#include <cmath>
#include <cstdlib>

namespace qz::app {

std::string FormatMeasuredValue(int32_t reply, int32_t offset, int32_t factor, int32_t decimals,
                                char decimalSeparator) {
  const auto scaled = static_cast<int32_t>(
      (static_cast<uint32_t>(reply) + static_cast<uint32_t>(offset)) * static_cast<uint32_t>(factor));
  if (decimals <= 0) return std::to_string(scaled);
  auto value = static_cast<float>(scaled);
  for (int32_t i = 0; i < decimals && value != 0.0f; ++i) value /= 10.0f;
  const auto tenths = static_cast<long long>(std::round(static_cast<double>(value) * 10.0));
  const long long magnitude = std::llabs(tenths);
  return std::string(tenths < 0 ? "-" : "") + std::to_string(magnitude / 10) + decimalSeparator +
         std::to_string(magnitude % 10);
}

}  // namespace qz::app
