#pragma once
// A measured value as the device panel shows it.
#include <cstdint>
#include <string>

namespace qz::app {

// A device's reply as a measured value: a signed 32-bit INTEGER, or an
// unsigned 32-bit Counter32, Gauge32 or TimeTicks; false for anything else
// (an octet string where a number belongs).
bool ParseMeasuredReply(const std::string& text, int64_t& reply);

// (reply + offset) x factor, divided by ten `decimals` times in single
// precision, shown with one digit after the separator (halves away from
// zero). Decimals of 0 or less show the whole number. A signed reply is
// scaled in wrapping 32-bit arithmetic, as the devices' own; an unsigned one
// beyond the signed range is scaled whole.
std::string FormatMeasuredValue(int64_t reply, int32_t offset, int32_t factor, int32_t decimals,
                                char decimalSeparator);

// The same value at full precision, for the history: (reply + offset) x
// factor, divided by ten `decimals` times.
double MeasuredNumber(int64_t reply, int32_t offset, int32_t factor, int32_t decimals);

}  // namespace qz::app
