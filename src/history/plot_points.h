#pragma once
// What a plot and an export make of the history: points from the
// database's buckets, the runs of an LED's states, and the rows as CSV.
#include <cstdint>
#include <string>
#include <vector>

#include "history_store.h"
#include "history_types.h"

namespace qz::history {

// The line through each bucket's smallest and largest value, so that every
// peak and dip stays visible: (first time, min), then (last time, max).
std::vector<TPoint> EnvelopePoints(const std::vector<TBucket>& buckets);

struct TLedRun {
  int64_t From = 0;
  int64_t To = 0;
  int State = 0;  // 0 normal, 1 unknown, 2 alarm (the buckets' worst state)
};
// Neighbouring buckets of one state as one run, each lasting until the next begins.
std::vector<TLedRun> LedRuns(const std::vector<TBucket>& buckets, int64_t to);

// A line's points in pieces, broken where two neighbours lie more than gapMs
// apart: there the device did not answer, and the plot shows a gap.
std::vector<std::vector<TPoint>> SplitAtGaps(const std::vector<TPoint>& points, int64_t gapMs);

// The unit a caption ends with ("Temp., C" gives "C", "Humidity, %" gives
// "%"); empty when it names none.
std::string UnitOfCaption(const std::string& caption);

// The rows of one device as CSV: a header, then one row per reading, times
// in ISO 8601 (UTC, milliseconds), the device's address on every row,
// numbers with "." whatever the locale, texts quoted where they hold a comma,
// a quote or a line break and guarded where a spreadsheet would take them
// for a formula.
std::string FormatCsv(const std::string& address, const std::vector<TRow>& rows);

}  // namespace qz::history
