#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "plot_points.h"

using namespace qz::history;

TEST(PlotPoints, AMillionReadingsKeepEveryPeakAndDip) {
  std::vector<TPoint> points;
  for (int64_t i = 0; i < 1'000'000; ++i) points.push_back({i, std::sin(i / 5000.0) * 10});
  points[123'456].Value = 99;    // a spike
  points[654'321].Value = -77;   // a dip
  points[900'000].Value = std::numeric_limits<double>::quiet_NaN();  // a time-out
  const auto reduced = ReducedForPlot(points, 0, 999'999, 1000);
  EXPECT_LE(reduced.size(), 5000u);
  EXPECT_TRUE(std::is_sorted(reduced.begin(), reduced.end(), [](const TPoint& a, const TPoint& b) { return a.At < b.At; }));
  const auto has = [&](int64_t at) {
    return std::any_of(reduced.begin(), reduced.end(), [&](const TPoint& p) { return p.At == at; });
  };
  EXPECT_TRUE(has(123'456));
  EXPECT_TRUE(has(654'321));
  EXPECT_TRUE(has(900'000));
  EXPECT_TRUE(has(0));
  EXPECT_TRUE(has(999'999));
}

TEST(PlotPoints, FewPointsStayAsTheyAre) {
  const std::vector<TPoint> points{{1, 1}, {2, 5}, {3, 2}};
  const auto reduced = ReducedForPlot(points, 0, 10, 100);
  ASSERT_EQ(reduced.size(), 3u);
  EXPECT_EQ(reduced[1].Value, 5);
}

TEST(Csv, IsoTimesDotDecimalsAndQuotedTexts) {
  const std::vector<TRow> rows{{1765382400000, "value", "Temp., C", "215", "21.5"},
                               {1765382400250, "set", "Mode", "2", "Auto"},
                               {1765382401000, "rename", "sysName", "", "Hall \"B\""},
                               {1765382402000, "ping", "", "", "timeout"}};
  EXPECT_EQ(FormatCsv(rows),
            "time,kind,object,raw,value\r\n"
            "2025-12-10T16:00:00.000Z,value,\"Temp., C\",215,21.5\r\n"
            "2025-12-10T16:00:00.250Z,set,Mode,2,Auto\r\n"
            "2025-12-10T16:00:01.000Z,rename,sysName,,\"Hall \"\"B\"\"\"\r\n"
            "2025-12-10T16:00:02.000Z,ping,,,timeout\r\n");
}
