#include "plot_points.h"

#include <QDateTime>

#include <algorithm>

namespace qz::history {

std::vector<TPoint> EnvelopePoints(const std::vector<TBucket>& buckets) {
  std::vector<TPoint> points;
  points.reserve(buckets.size() * 2);
  for (const TBucket& bucket : buckets) {
    points.push_back({bucket.First, bucket.Min});
    if (bucket.Count > 1) points.push_back({bucket.Last, bucket.Max});
  }
  return points;
}

std::vector<TLedRun> LedRuns(const std::vector<TBucket>& buckets, int64_t to) {
  std::vector<TLedRun> runs;
  for (const TBucket& bucket : buckets) {
    const int state = static_cast<int>(bucket.Max);
    if (!runs.empty()) runs.back().To = bucket.First;
    if (runs.empty() || runs.back().State != state) runs.push_back({bucket.First, bucket.Last, state});
  }
  if (!runs.empty()) runs.back().To = std::max(runs.back().To, to);
  return runs;
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
