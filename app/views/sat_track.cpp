#include "app/views/sat_track.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "spl/sat/track_sat.h"

namespace {

constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerDay = 86400;
constexpr int kMapHalfWidth = 10800, kMapHalfHeight = 5400;  // arc minutes
constexpr double kDegreesPerRadian = 57.29577951;
constexpr double kNudge = 0.0001;  // keeps atan2 off (0, 0)
constexpr int kFullCircle = 360;
// The arrow's three points lie at these angles from its direction.
constexpr int kArrowCorners[3] = {-225, 0, -135};

std::string Clock(time_t t) {
  tm u{};
  gmtime_r(&t, &u);
  char text[16];
  snprintf(text, sizeof text, "%02d:%02d:%02d", u.tm_hour, u.tm_min, u.tm_sec);
  return text;
}

}  // namespace

std::string UtcPaneText(time_t now) { return "UTC : " + Clock(now); }

std::string TimespanPaneText(time_t now, int offsetMinutes) {
  const time_t shifted = now + time_t(offsetMinutes) * kSecondsPerMinute;
  const bool same_day = now / kSecondsPerDay == shifted / kSecondsPerDay;
  const char mark = same_day ? ' ' : offsetMinutes > 0 ? '+' : '-';
  return std::string("TIMESPAN UTC : ") + mark + " " + Clock(shifted);
}

MousePaneTexts MouseTexts(int x, int y) {
  MousePaneTexts t;
  if (x < -kMapHalfWidth || x > kMapHalfWidth || y < -kMapHalfHeight || y > kMapHalfHeight)
    return t;
  char text[32];
  snprintf(text, sizeof text, "LAT : %2d\u00B0%02d%c", std::abs(y) / 60, std::abs(y) % 60,
           y < 0 ? 'N' : 'S');
  t.latitude = text;
  snprintf(text, sizeof text, "LON : %3d\u00B0%02d%c", std::abs(x) / 60, std::abs(x) % 60,
           x < 0 ? 'W' : 'E');
  t.longitude = text;
  char locator[8] = {};
  if (CTrackSat::MapToLocator(y, x, locator)) t.locator = std::string("QTH : ") + locator;
  return t;
}

int ArrowAngle(int px, int py, int sx, int sy, int previous) {
  if (px == sx && py == sy) return previous;
  int a = int(180 + std::atan2(px - sx + kNudge, py - sy + kNudge) * kDegreesPerRadian + 0.5);
  return a == kFullCircle ? 0 : a;
}

void ArrowPoints(int sx, int sy, int angle, int points[3][2]) {
  for (int i = 0; i < 3; ++i) {
    const double phi = (angle + kArrowCorners[i]) / kDegreesPerRadian;
    points[i][0] = sx + int(kTrackArrowRadius * std::sin(phi) + 0.5);
    points[i][1] = sy + int(kTrackArrowRadius * std::cos(phi) + 0.5);
  }
}

std::vector<TrackMark> ComputeTrack(const TrackPoint& at, double nowSeconds, int offsetMinutes) {
  std::vector<TrackMark> marks;
  const double base = nowSeconds + double(offsetMinutes) * kSecondsPerMinute;
  int px = 0, py = 0, angle = 0;
  bool visible = false, have_previous = at(base - kTrackStartSeconds, px, py, visible);
  for (int k = -kTrackPastMinutes; k <= kTrackFutureMinutes; ++k) {
    int sx = 0, sy = 0;
    if (!at(base + double(k) * kSecondsPerMinute, sx, sy, visible)) {
      have_previous = false;
      continue;
    }
    TrackMark m{k < 0 ? TrackMark::kPast : k == 0 ? TrackMark::kNow : TrackMark::kFuture, sx, sy,
                visible, 0};
    if (k < 0) {
      if (have_previous) angle = ArrowAngle(px, py, sx, sy, angle);
      m.angle = angle;
      px = sx;
      py = sy;
      have_previous = true;
    }
    marks.push_back(m);
  }
  return marks;
}

double ZoomForRectangle(double zoom, int clientW, int clientH, int rectW, int rectH) {
  if (rectW <= kZoomRectMin || rectH <= kZoomRectMin) return 0.0;
  const double factor = std::min(double(clientW) / rectW, double(clientH) / rectH);
  return std::min(zoom * factor, kMapZoomMax);
}

void CSatMarks::Set(int32_t number, bool on) {
  if (on)
    numbers_.insert(number);
  else
    numbers_.erase(number);
}

std::string CSatMarks::Text() const {
  std::string text;
  for (int32_t n : numbers_) text += (text.empty() ? "" : ",") + std::to_string(n);
  return text;
}

void CSatMarks::SetText(const std::string& text) {
  numbers_.clear();
  const char* p = text.c_str();
  while (*p) {
    char* end = nullptr;
    const long n = std::strtol(p, &end, 10);
    if (end == p) {
      ++p;
      continue;
    }
    if (n > 0) numbers_.insert(int32_t(n));
    p = end;
  }
}
