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

TEST(Csv, IsoTimesDotDecimalsQuotedTextsAndNoFormulas) {
  const std::vector<TRow> rows{{1765382400000, "value", "Temp., C", "215", "21.5"},
                               {1765382400250, "set", "Mode", "2", "Auto"},
                               {1765382401000, "rename", "sysName", "", "Hall \"B\""},
                               {1765382402000, "ping", "", "", "timeout"},
                               {1765382403000, "value", "Temp., C", "-105", "-10.5"},
                               {1765382404000, "rename", "sysName", "", "=HYPERLINK(\"x\")"}};
  EXPECT_EQ(FormatCsv("127.0.0.14", rows),
            "time,address,kind,object,raw,value\r\n"
            "2025-12-10T16:00:00.000Z,127.0.0.14,value,\"Temp., C\",215,21.5\r\n"
            "2025-12-10T16:00:00.250Z,127.0.0.14,set,Mode,2,Auto\r\n"
            "2025-12-10T16:00:01.000Z,127.0.0.14,rename,sysName,,\"Hall \"\"B\"\"\"\r\n"
            "2025-12-10T16:00:02.000Z,127.0.0.14,ping,,,timeout\r\n"
            "2025-12-10T16:00:03.000Z,127.0.0.14,value,\"Temp., C\",-105,-10.5\r\n"
            "2025-12-10T16:00:04.000Z,127.0.0.14,rename,sysName,,\"'=HYPERLINK(\"\"x\"\")\"\r\n");
}

TEST(PlotPoints, LinesBreakWhereTheDeviceDidNotAnswer) {
  const std::vector<TPoint> points{{0, 1}, {30, 2}, {60, 3}, {200, 4}, {230, 5}, {500, 6}};
  const auto pieces = SplitAtGaps(points, 90);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].size(), 3u);
  EXPECT_EQ(pieces[1].front().At, 200);
  EXPECT_EQ(pieces[2].size(), 1u);
  EXPECT_TRUE(SplitAtGaps({}, 90).empty());
}

TEST(PlotPoints, TheUnitIsWhatTheCaptionEndsWith) {
  const std::pair<const char*, const char*> cases[] = {
      {"Temp., C", "C"}, {"Mains A, V", "V"}, {"Humidity, %", "%"}, {"Fan 1, rpm ", "rpm"}, {"Load", ""}, {"Odd,", ""}};
  for (auto [caption, unit] : cases) EXPECT_EQ(UnitOfCaption(caption), unit) << caption;
}
