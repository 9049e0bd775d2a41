#include "plot_points.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace qz::history {

std::vector<TPoint> ReducedForPlot(const std::vector<TPoint>& points, int64_t from, int64_t to, int columns) {
  if (columns <= 0 || points.size() <= static_cast<size_t>(columns) * 4) return points;
  const double perColumn = static_cast<double>(std::max<int64_t>(to - from, 1)) / columns;
  const auto columnOf = [&](const TPoint& point) {
    return std::clamp(static_cast<int64_t>((point.At - from) / perColumn), int64_t{0}, int64_t{columns - 1});
  };
  std::vector<TPoint> reduced;
  reduced.reserve(static_cast<size_t>(columns) * 5);
  constexpr size_t kNone = static_cast<size_t>(-1);
  for (size_t at = 0; at < points.size();) {
    const int64_t column = columnOf(points[at]);
    size_t first = kNone, lowest = kNone, highest = kNone, last = kNone, timeout = kNone;
    for (; at < points.size() && columnOf(points[at]) == column; ++at) {
      if (std::isnan(points[at].Value)) {
        if (timeout == kNone) timeout = at;
        continue;
      }
      if (first == kNone) first = lowest = highest = at;
      if (points[at].Value < points[lowest].Value) lowest = at;
      if (points[at].Value > points[highest].Value) highest = at;
      last = at;
    }
    std::vector<size_t> kept;
    for (const size_t index : {first, lowest, highest, last, timeout})
      if (index != kNone) kept.push_back(index);
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    for (const size_t index : kept) reduced.push_back(points[index]);
  }
  return reduced;
}

namespace {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

std::string FormatCsv(const std::vector<TRow>& rows) {
  std::string csv = "time,kind,object,raw,value\r\n";
  for (const TRow& row : rows) {
    const QString time = QDateTime::fromMSecsSinceEpoch(row.At, Qt::UTC).toString(Qt::ISODateWithMs);
    csv += time.toStdString() + "," + row.Kind + "," + CsvField(row.Object) + "," + CsvField(row.Raw) + "," +
           CsvField(row.Value) + "\r\n";
  }
  return csv;
}

}  // namespace qz::history
