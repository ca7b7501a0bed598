// The tracking view's texts, tracks, rubber-band zoom and marks, without a display.
#include <gtest/gtest.h>

#include <cmath>

#include "app/views/sat_track.h"

namespace {

constexpr time_t kMidnight = 1796601600;  // 2026-12-07 00:00:00 UTC

TEST(SatTrackTexts, ClockPanesAndTheShiftedDay) {
  EXPECT_EQ(UtcPaneText(kMidnight + 3723), "UTC : 01:02:03");
  // Shortly after midnight, -90 minutes lands on the day before.
  EXPECT_EQ(TimespanPaneText(kMidnight + 600, -90), "TIMESPAN UTC : - 22:40:00");
  EXPECT_EQ(TimespanPaneText(kMidnight + 600, 30), "TIMESPAN UTC :   00:40:00");
  EXPECT_EQ(TimespanPaneText(kMidnight - 600, 30), "TIMESPAN UTC : + 00:20:00");
}

TEST(SatTrackTexts, MousePanesInsideAndOutsideTheMap) {
  const MousePaneTexts t = MouseTexts(-130, -3055);
  EXPECT_EQ(t.latitude, "LAT : 50\u00B055N");
  EXPECT_EQ(t.longitude, "LON :   2\u00B010W");
  EXPECT_EQ(t.locator.substr(0, 8), "QTH : IO");
  const MousePaneTexts south = MouseTexts(7000, 2000);
  EXPECT_EQ(south.latitude, "LAT : 33\u00B020S");
  EXPECT_EQ(south.longitude, "LON : 116\u00B040E");
  const MousePaneTexts outside = MouseTexts(10801, 0);
  EXPECT_TRUE(outside.latitude.empty() && outside.longitude.empty() && outside.locator.empty());
}

TEST(SatTrackMarks, TenArrowsTheSatelliteAndTwentyNineFutureMarks) {
  // A satellite moving 10 pixels east a minute, visible from minute 5 on, standing still
  // between minutes -5 and -4.
  const double now = double(kMidnight);
  auto at = [&](double t, int& x, int& y, bool& visible) {
    int minute = int(std::lround((t - now) / 60));
    if (minute == -4) minute = -5;
    x = 500 + 10 * minute;
    y = 300;
    visible = minute >= 5;
    return true;
  };
  const std::vector<TrackMark> marks = ComputeTrack(at, now, 0);
  ASSERT_EQ(marks.size(), 40u);
  EXPECT_EQ(marks[0].kind, TrackMark::kPast);
  EXPECT_EQ(marks[10].kind, TrackMark::kNow);
  EXPECT_EQ(marks[10].x, 500);
  EXPECT_EQ(marks[11].kind, TrackMark::kFuture);
  EXPECT_FALSE(marks[14].visible);
  EXPECT_TRUE(marks[15].visible);
  // Moving east the arrow points to 90 degrees; standing still it keeps the last direction.
  EXPECT_EQ(marks[0].angle, 90);
  EXPECT_EQ(marks[6].angle, 90) << "minute -4 stands on minute -5";
  int points[3][2];
  ArrowPoints(100, 100, 90, points);
  EXPECT_EQ(points[1][0], 103);  // the tip, ahead in the direction of motion
  EXPECT_EQ(points[1][1], 100);
  // Northward on the screen (y falling) is 180 degrees.
  EXPECT_EQ(ArrowAngle(50, 60, 50, 50, 7), 180);
  EXPECT_EQ(ArrowAngle(50, 50, 50, 50, 7), 7);
}

TEST(SatTrackMarks, AnUnpredictableMinuteIsLeftOut) {
  auto at = [](double t, int& x, int& y, bool& visible) {
    x = int(t) % 1000;
    y = 0;
    visible = false;
    return std::lround(t - double(kMidnight)) != 0;  // "now" cannot be predicted
  };
  const auto marks = ComputeTrack(at, double(kMidnight), 0);
  EXPECT_EQ(marks.size(), 39u);
  for (const TrackMark& m : marks) EXPECT_NE(m.kind, TrackMark::kNow);
}

TEST(SatTrackZoom, SmallBandsChangeNothingAndTheZoomIsCapped) {
  EXPECT_EQ(ZoomForRectangle(0.05, 800, 400, 15, 200), 0.0);
  EXPECT_EQ(ZoomForRectangle(0.05, 800, 400, 200, 15), 0.0);
  EXPECT_DOUBLE_EQ(ZoomForRectangle(0.05, 800, 400, 200, 50), 0.05 * 4);
  EXPECT_DOUBLE_EQ(ZoomForRectangle(1.0, 800, 400, 20, 20), kMapZoomMax);
}

TEST(SatTrackMarks, MarksByCatalogueNumberRoundTripThroughTheProfileText) {
  CSatMarks marks;
  marks.SetText("25544, 33591;x,-3,33591");
  EXPECT_EQ(marks.Text(), "25544,33591");
  marks.Set(28654, true);
  marks.Set(25544, false);
  EXPECT_TRUE(marks.Marked(28654));
  EXPECT_FALSE(marks.Marked(25544));
  EXPECT_EQ(marks.Text(), "28654,33591");
}

}  // namespace
