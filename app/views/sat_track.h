// The satellite tracking view without a display: its status texts (UTC, the shifted time,
// latitude, longitude and locator under the mouse), the ground track of a satellite as the
// view draws it (arrows over the last ten minutes, the satellite now, dots or crosses over the
// next 29), the rubber-band zoom, and the set of satellites marked for the map, kept by
// catalogue number in the profile.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <set>
#include <string>
#include <vector>

constexpr int kTrackPastMinutes = 10;
constexpr int kTrackFutureMinutes = 29;
constexpr int kTrackStartSeconds = 660;  // the point before the first arrow
constexpr int kTrackArrowRadius = 3;     // pixels
constexpr int kZoomRectMin = 15;         // a smaller rubber band changes nothing (pixels)
constexpr double kMapZoomMax = 2.0;

// "UTC : hh:mm:ss" of now.
std::string UtcPaneText(time_t now);
// "TIMESPAN UTC : c hh:mm:ss" of now + offset minutes, c ' ' on the same day, '+' or '-' as
// the offset moved it to another day.
std::string TimespanPaneText(time_t now, int offsetMinutes);

// The texts under the mouse at map point (x east positive, y north negative, arc minutes);
// all empty outside the map.
struct MousePaneTexts {
  std::string latitude;   // "LAT : 50°55N"
  std::string longitude;  // "LON :   2°10W"
  std::string locator;    // "QTH : IO91XW"
};
MousePaneTexts MouseTexts(int x, int y);

// One mark of a ground track on the screen.
struct TrackMark {
  enum Kind { kPast, kNow, kFuture } kind;
  int x, y;      // screen point
  bool visible;  // above the observer's minimum elevation
  int angle;     // kPast: the arrow's direction in degrees (0 ... 359)
};
// Where a satellite is at a UTC time (seconds since 1970): its screen point and whether it
// is visible; false when it cannot be predicted then (the mark is left out).
using TrackPoint = std::function<bool(double unixSeconds, int& x, int& y, bool& visible)>;
// The marks for now + offset minutes: 10 past arrows, the satellite now, 29 future marks.
std::vector<TrackMark> ComputeTrack(const TrackPoint& at, double nowSeconds, int offsetMinutes);
// The arrow's direction from the previous screen point (px, py) to s, in whole degrees;
// previous when the two points are the same.
int ArrowAngle(int px, int py, int sx, int sy, int previous);
// The arrow's three points (joined by two strokes) around s for angle.
void ArrowPoints(int sx, int sy, int angle, int points[3][2]);

// The zoom after a rubber band of rectW x rectH in a client of clientW x clientH at zoom:
// 0 when the band is too small to count, else capped at kMapZoomMax.
double ZoomForRectangle(double zoom, int clientW, int clientH, int rectW, int rectH);

// The satellites marked for the map, by catalogue number.
class CSatMarks {
 public:
  bool Marked(int32_t number) const { return numbers_.count(number) != 0; }
  void Set(int32_t number, bool on);
  const std::set<int32_t>& Numbers() const { return numbers_; }
  // As the profile keeps them: "25544,33591" (anything else in the text is skipped).
  std::string Text() const;
  void SetText(const std::string& text);

 private:
  std::set<int32_t> numbers_;
};
