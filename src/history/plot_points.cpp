#include "plot_points.h"

#include <QDateTime>

#include <algorithm>

#include "csv_text.h"

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

std::string FormatCsv(const std::string& address, const std::vector<TRow>& rows) {
  std::string csv = "time,address,kind,object,raw,value\r\n";
  const std::string device = CsvField(address);
  for (const TRow& row : rows) {
    const QString time = QDateTime::fromMSecsSinceEpoch(row.At, Qt::UTC).toString(Qt::ISODateWithMs);
    csv += time.toStdString() + "," + device + "," + row.Kind + "," + CsvField(GuardedCell(row.Object)) + "," +
           CsvField(GuardedCell(row.Raw)) + "," + CsvField(GuardedCell(row.Value)) + "\r\n";
  }
  return csv;
}

std::vector<std::vector<TPoint>> SplitAtGaps(const std::vector<TPoint>& points, int64_t gapMs) {
  std::vector<std::vector<TPoint>> pieces;
  for (size_t i = 0; i < points.size(); ++i) {
    if (i == 0 || points[i].At - points[i - 1].At > gapMs) pieces.emplace_back();
    pieces.back().push_back(points[i]);
  }
  return pieces;
}

std::string UnitOfCaption(const std::string& caption) {
  const size_t comma = caption.rfind(',');
  if (comma == std::string::npos) return {};
  const size_t start = caption.find_first_not_of(' ', comma + 1);
  if (start == std::string::npos) return {};
  const size_t end = caption.find_last_not_of(' ');
  return caption.substr(start, end - start + 1);
}

}  // namespace qz::history
