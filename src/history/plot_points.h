#pragma once
// What a plot gets of a long series: per column of pixels at most the first,
// the smallest, the largest and the last point of the readings that fall in
// it, so that every peak and dip stays visible while a million readings
// become a few thousand points.
#include <cstdint>
#include <string>
#include <vector>

#include "history_store.h"
#include "history_types.h"

namespace qz::history {

// points in time order; columns > 0. Points with a NaN value (a ping that
// timed out) are kept as they are, one per column at most.
std::vector<TPoint> ReducedForPlot(const std::vector<TPoint>& points, int64_t from, int64_t to, int columns);

// The rows as CSV: a header, then one row per reading, times in ISO 8601
// (UTC, milliseconds), numbers with "." whatever the locale, texts quoted
// where they hold a comma, a quote or a line break.
std::string FormatCsv(const std::vector<TRow>& rows);

}  // namespace qz::history
