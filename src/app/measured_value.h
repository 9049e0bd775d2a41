#pragma once
// A measured value as the device panel shows it.
#include <cstdint>
#include <string>

namespace qz::app {

// (reply + offset) x factor in wrapping 32-bit arithmetic, divided by ten
// `decimals` times in single precision, shown with one digit after the
// separator (halves away from zero). Decimals of 0 or less show the whole number.
std::string FormatMeasuredValue(int32_t reply, int32_t offset, int32_t factor, int32_t decimals,
                                char decimalSeparator);

}  // namespace qz::app
