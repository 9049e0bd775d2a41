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

// The rows as CSV: a header, then one row per reading, times in ISO 8601
// (UTC, milliseconds), numbers with "." whatever the locale, texts quoted
// where they hold a comma, a quote or a line break.
std::string FormatCsv(const std::vector<TRow>& rows);

}  // namespace qz::history
