#include "history_generator.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace qz::test {
namespace {

constexpr int64_t kStepMs = 30'000;

std::string Decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

history::TSample Value(const char* caption, double value) {
  return {history::TSampleKind::Value, caption, static_cast<int64_t>(std::lround(value * 10)), Decimal(value), value};
}

history::TSample Led(const char* caption, bool alarm) {
  return {history::TSampleKind::Led, caption, alarm ? 1 : 0, alarm ? "alarm" : "normal"};
}

}  // namespace

history::TBatch DeviceDay(const history::TDeviceKey& device, int64_t from) {
  history::TBatch day;
  for (int64_t i = 0; i < 2880; ++i) {
    const double hour = static_cast<double>(i) / 120;
    const bool doorOpen = hour >= 9 && hour < 10;
    const bool mainsBDown = hour >= 14 && hour < 14 + 1.0 / 3;
    day.Readings.push_back(
        {device,
         from + i * kStepMs,
         {Led("Mains A", false), Led("Mains B", mainsBDown), Led("Door", doorOpen), Led("Overheat", false),
          Value("Temp., C", 21 + 4 * std::sin((hour - 9) / 24 * 2 * M_PI) + (doorOpen ? 2.5 : 0)),
          Value("Mains A, V", 229 + 3 * std::sin(hour * 1.7)), Value("Mains B, V", mainsBDown ? 0 : 231),
          Value("Battery, V", mainsBDown ? 52.8 - (hour - 14) * 2 : 54.2), Value("Load, A", 12 + 2 * std::sin(hour / 3)),
          {history::TSampleKind::UpTime, "sysUpTime", std::nullopt, std::to_string(i / 120) + " hours"}}});
  }
  for (int64_t s = 0; s < 86'400; ++s) {
    const bool lost = s % 7919 == 0;
    day.Pings.push_back({device, from + s * 1000,
                         lost ? std::nullopt : std::optional<int32_t>(1 + static_cast<int32_t>((s * 37) % 5))});
  }
  day.Writes.push_back({device, from + 10 * 3'600'000, history::TWriteKind::Set, "Fans", "High", "ok", "High"});
  day.Writes.push_back({device, from + 16 * 3'600'000, history::TWriteKind::Rename, "sysLocation", "Hall A", "ok", ""});
  return day;
}

history::TBatch ValueReadings(const history::TDeviceKey& device, int64_t from, int64_t count) {
  history::TBatch batch;
  batch.Readings.reserve(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i)
    batch.Readings.push_back({device, from + i * kStepMs, {Value("Temp., C", 20 + 5 * std::sin(i / 500.0))}});
  return batch;
}

}  // namespace qz::test
