#include <gtest/gtest.h>

#include "plot_points.h"

using namespace qz::history;

TEST(PlotPoints, TheEnvelopeKeepsEachBucketsExtremes) {
  const std::vector<TBucket> buckets{{0, 9, -3, 7, 10, 0}, {10, 10, 4, 4, 1, 0}};
  const auto points = EnvelopePoints(buckets);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0].At, 0);
  EXPECT_EQ(points[0].Value, -3);
  EXPECT_EQ(points[1].At, 9);
  EXPECT_EQ(points[1].Value, 7);
  EXPECT_EQ(points[2].Value, 4);
}

TEST(PlotPoints, LedRunsMergeNeighboursOfOneState) {
  // normal, normal, alarm, unknown, unknown
  const std::vector<TBucket> buckets{{0, 9, 0, 0, 2, 0},  {10, 19, 0, 0, 2, 0}, {20, 29, 0, 2, 2, 0},
                                     {30, 39, 1, 1, 2, 0}, {40, 49, 1, 1, 2, 0}};
  const auto runs = LedRuns(buckets, 60);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].From, 0);
  EXPECT_EQ(runs[0].To, 20);
  EXPECT_EQ(runs[0].State, 0);
  EXPECT_EQ(runs[1].State, 2);
  EXPECT_EQ(runs[1].To, 30);
  EXPECT_EQ(runs[2].State, 1);
  EXPECT_EQ(runs[2].To, 60);
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
