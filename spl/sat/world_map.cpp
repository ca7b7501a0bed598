// CWorldMap: the view arithmetic (transforms, zoom, scrolling, distances). Drawing is in
// world_map_draw.cpp.
#include "spl/sat/world_map.h"

#include <algorithm>
#include <cmath>

#include "spl/sat/world_map_data.h"

namespace {

constexpr int kArcMinutesPerDegree = 60;
constexpr double kDegreesPerArcMinute = 0.016666666666;  // the map's own rounding of 1/60
constexpr double kPi = 3.14159265358979323846;
constexpr double kAtanGuard = 1e-7;  // keeps the arctangent's divisor above 0 at antipodes
constexpr int kLineStepDivisor = 100;

// Truncation toward zero of v + 0.5: the map's rounding throughout.
int Round(double v) { return int(std::trunc(v + 0.5)); }

double Radians(int arcMinutes) {
  const double degrees = arcMinutes / kArcMinutesPerDegree +
                         (arcMinutes % kArcMinutesPerDegree) * kDegreesPerArcMinute;
  return degrees * kPi / 180.0;
}

}  // namespace

CWorldMap::CWorldMap() { CMapData::Acquire(); }

CWorldMap::CWorldMap(const CWorldMap& other) {
  CMapData::Acquire();
  *this = other;
}

CWorldMap::~CWorldMap() { CMapData::Release(); }

int CWorldMap::Init(int width, int height) {
  if (width < 1 || height < 1) return 0;
  width_ = width;
  height_ = height;
  colors_ = Colors();
  uint32_t largest = 0;
  for (int k = 0; k < kMapLayerCount; ++k)
    largest = std::max(largest, CMapData::Layer(MapLayerId(k)).largest);
  buffer_.assign(largest, MapPoint{0, 0});
  offset_x_ = offset_y_ = 0;
  zoom_ = FitZoom();
  ClampCentre();
  return 1;
}

int CWorldMap::SetClientSize(int width, int height) {
  if (width < 1 || height < 1) return 0;
  width_ = width;
  height_ = height;
  ClampCentre();
  return 1;
}

void CWorldMap::SetColor(uint32_t background, uint32_t land, uint32_t lakes, uint32_t rivers,
                         uint32_t shadow) {
  colors_.background = background;
  colors_.land = land;
  colors_.lakes = lakes;
  colors_.rivers = rivers;
  colors_.shadow = shadow;
}

int CWorldMap::SetMode(int flags) {
  if (flags == mode_) return 0;
  mode_ = flags;
  return 1;
}

int CWorldMap::SetZoom(double zoom) {
  if (!(zoom > 0) || !std::isfinite(zoom)) return 0;
  zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
  ClampCentre();
  return 1;
}

int CWorldMap::SetZoom(double zoom, int x, int y) {
  if (!(zoom > 0) || !std::isfinite(zoom)) return 0;
  offset_x_ = -x;
  offset_y_ = -y;
  return SetZoom(zoom);
}

double CWorldMap::GetZoom(int& x, int& y) const {
  x = int(std::lround(-offset_x_));
  y = int(std::lround(-offset_y_));
  return zoom_;
}

double CWorldMap::FitZoom() const {
  if (width_ < 1 || height_ < 1) return 1.0;
  const double z = std::min(double(width_) / (2 * kHalfWidth), double(height_) / (2 * kHalfHeight));
  return std::clamp(z, kMinZoom, kMaxZoom);
}

void CWorldMap::MapToScreen(int mx, int my, int& sx, int& sy) const {
  sx = Round((offset_x_ + mx) * zoom_) + width_ / 2;
  sy = Round((offset_y_ + my) * zoom_) + height_ / 2;
}

void CWorldMap::ScreenToMap(int sx, int sy, int& mx, int& my) const {
  // The offsets need not be whole after scrolling: the nearest whole minute.
  mx = int(std::lround(Round((sx - width_ / 2) / zoom_) - offset_x_));
  my = int(std::lround(Round((sy - height_ / 2) / zoom_) - offset_y_));
}

void CWorldMap::MapToScreen(MapPoint* points, int count) const {
  for (int k = 0; k < count; ++k) MapToScreen(points[k].x, points[k].y, points[k].x, points[k].y);
}

void CWorldMap::ScreenToMap(MapPoint* points, int count) const {
  for (int k = 0; k < count; ++k) ScreenToMap(points[k].x, points[k].y, points[k].x, points[k].y);
}

MapRect CWorldMap::GetMapSize() const {
  return MapRect{int(std::trunc(-kHalfWidth * zoom_ - 0.5)), int(std::trunc(-kHalfHeight * zoom_ - 0.5)),
                 int(std::trunc(kHalfWidth * zoom_ + 0.5)), int(std::trunc(kHalfHeight * zoom_ + 0.5))};
}

double CWorldMap::GetDistance(int x1, int y1, int x2, int y2) {
  if (x1 == x2 && y1 == y2) return 0.0;
  // Latitude sign does not matter here as long as both points use the same convention.
  const double lat1 = Radians(y1), lat2 = Radians(y2);
  const double lon1 = Radians(x1), lon2 = Radians(x2);
  double x = std::sin(lat1) * std::sin(lat2) + std::cos(lat1) * std::cos(lat2) * std::cos(lon1 - lon2);
  // Rounding can carry the cosine just past +-1, where the square root below would be NaN.
  x = std::clamp(x, -1.0, 1.0);
  const double angle = kPi / 2 - std::atan(x / (std::sqrt(1 - x * x) + kAtanGuard));
  return angle * kEarthRadiusKm;
}

MapRect CWorldMap::VisibleMapRect(const MapRect& screen) const {
  MapRect r;
  ScreenToMap(screen.left, screen.top, r.left, r.top);
  ScreenToMap(screen.right, screen.bottom, r.right, r.bottom);
  // A screen pixel covers up to 1/zoom arc minutes: widen by one so that nothing on the
  // edge pixels is culled.
  return MapRect{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1};
}

bool CWorldMap::TileVisible(int tileX, int tileY, const MapRect& visibleMap) {
  return MapRect{tileX, tileY, tileX + kTile, tileY + kTile}.Meets(visibleMap);
}

CWorldMap::ScrollInfo CWorldMap::GetScroll(bool horizontal) const {
  const MapRect extent = GetMapSize();
  const int client = horizontal ? width_ : height_;
  const int low = horizontal ? extent.left : extent.top;
  const int high = horizontal ? extent.right : extent.bottom;
  const double offset = horizontal ? offset_x_ : offset_y_;
  ScrollInfo s;
  s.page = client;
  s.line = std::max(1, client / kLineStepDivisor);
  s.min = low;
  s.max = std::max(low, high - client);
  s.pos = std::clamp(Round(-offset * zoom_) - client / 2, s.min, s.max);
  return s;
}

void CWorldMap::SetScroll(bool horizontal, int pos) {
  const ScrollInfo s = GetScroll(horizontal);
  const int client = horizontal ? width_ : height_;
  double& offset = horizontal ? offset_x_ : offset_y_;
  const MapRect extent = GetMapSize();
  const int span = horizontal ? extent.Width() : extent.Height();
  if (span <= client) {
    offset = 0;  // the whole map fits: centred
    return;
  }
  pos = std::clamp(pos, s.min, s.max);
  offset = -(pos + client / 2) / zoom_;
}

void CWorldMap::ClampCentre() {
  const MapRect extent = GetMapSize();
  const struct {
    double& offset;
    int client, low, high;
  } axes[] = {{offset_x_, width_, extent.left, extent.right},
              {offset_y_, height_, extent.top, extent.bottom}};
  for (const auto& a : axes) {
    if (a.high - a.low <= a.client) {
      a.offset = 0;  // the whole map fits: centred
      continue;
    }
    // The centre in zoomed pixels, kept half a window inside the map's edges.
    const double centre = std::clamp(-a.offset * zoom_, a.low + a.client / 2.0, a.high - a.client / 2.0);
    a.offset = -centre / zoom_;
  }
}

int CWorldMap::ZoomToRect(const MapRect& screen) {
  const int left = std::min(screen.left, screen.right), right = std::max(screen.left, screen.right);
  const int top = std::min(screen.top, screen.bottom), bottom = std::max(screen.top, screen.bottom);
  const int w = right - left, h = bottom - top;
  if (w <= kMinZoomRect || h <= kMinZoomRect) return 0;
  const double factor = std::min(double(width_) / w, double(height_) / h);
  int cx, cy;
  ScreenToMap((left + right) / 2, (top + bottom) / 2, cx, cy);
  return SetZoom(zoom_ * factor, cx, cy);
}
