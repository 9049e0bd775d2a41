#pragma once
// Made-up but plausible history for the manual's picture and the
// benchmarks: a QZ300 read every 30 seconds and pinged every second.
#include <cstdint>

#include "history_types.h"

namespace qz::test {

// One day from `from`: readings every 30 s (temperature drifting through
// the night, mains voltage, battery, load; the door open for an hour, mains
// B failing for 20 minutes), pings every second with a few lost, one write
// and one rename.
history::TBatch DeviceDay(const history::TDeviceKey& device, int64_t from);

// count readings of one measured value, one every 30 s from `from`.
history::TBatch ValueReadings(const history::TDeviceKey& device, int64_t from, int64_t count);

}  // namespace qz::test
