// CWorldMap: drawing the layers, the grid and the cities through an IMapCanvas.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "spl/sat/world_map.h"
#include "spl/sat/world_map_data.h"

namespace {

constexpr int kGridStep = 600;           // arc minutes, 10 degrees
constexpr int kGridLastParallel = 4800;  // 80 degrees: the poles get no line
constexpr int kGridLastMeridian = 10200; // 170 degrees: 180 is the map's edge
constexpr int kGridMidLabel = 300;       // labels on 5 degrees east and 5 degrees north
constexpr int kArcMinutesPerDegree = 60;
constexpr int kCityDotRadius = 2;        // pixels
constexpr int kCityNameGap = 2;          // pixels between the dot's centre and the name

// Relief: shifts of the shadow passes, in pixels, per layer.
struct ShadowPass {
  int layer, dx, dy;
};
constexpr ShadowPass kLandShadows[] = {{kMapLand, 1, 1}, {kMapLand, 2, 2}};
constexpr ShadowPass kLakeShadows[] = {{kMapLakes, -1, -1}, {kMapLakes, -2, -2}};
constexpr ShadowPass kRiverShadows[] = {{kMapRivers, -1, -1}};

// A label's box centred on (x, y).
MapRect CentredBox(IMapCanvas& canvas, const char* text, int pixels, int x, int y) {
  int w = 0, h = 0;
  canvas.TextSize(text, pixels, w, h);
  return MapRect{x - w / 2, y - h / 2, x - w / 2 + w, y - h / 2 + h};
}

}  // namespace

int CWorldMap::DrawLayer(IMapCanvas& canvas, int layer, uint32_t rgb, int dx, int dy,
                         const MapRect& update) {
  if (layer < 0 || layer >= kMapLayerCount || width_ < 1) return 0;
  const MapLayer& data = CMapData::Layer(MapLayerId(layer));
  if (buffer_.size() < data.largest) buffer_.resize(data.largest);
  const MapRect visible = VisibleMapRect(update);
  const bool filled = layer != kMapRivers;
  const double cx = width_ / 2 + dx, cy = height_ / 2 + dy;
  int drawn = 0;
  for (const MapHead& head : data.heads) {
    if (!TileVisible(head.tileX, head.tileY, visible)) continue;
    int n = 0;
    for (uint32_t k = 0; k < head.count; ++k) {
      const MapCoor& p = data.points[head.first + k];
      const MapPoint s{int(std::trunc((offset_x_ + p.x) * zoom_ + 0.5) + cx),
                       int(std::trunc((offset_y_ + p.y) * zoom_ + 0.5) + cy)};
      // Zoomed out, many points fall on one pixel: drawing them again only costs time.
      if (n > 0 && s.x == buffer_[n - 1].x && s.y == buffer_[n - 1].y) continue;
      buffer_[n++] = s;
    }
    if (n < (filled ? 3 : 2)) continue;
    const int ok = filled ? canvas.Polygon(buffer_.data(), n, rgb)
                          : canvas.Polyline(buffer_.data(), n, rgb);
    if (!ok) break;
    ++drawn;
  }
  return drawn;
}

void CWorldMap::Draw(IMapCanvas& canvas, const MapRect& update) {
  canvas.FillRect(update, colors_.background);
  const bool relief = (mode_ & kRelief) && colors_.shadow != 0;
  auto shadows = [&](const ShadowPass* passes, size_t count) {
    if (!relief) return;
    for (size_t k = 0; k < count; ++k)
      DrawLayer(canvas, passes[k].layer, colors_.shadow, passes[k].dx, passes[k].dy, update);
  };
  shadows(kLandShadows, std::size(kLandShadows));
  DrawLayer(canvas, kMapLand, colors_.land, 0, 0, update);
  shadows(kLakeShadows, std::size(kLakeShadows));
  DrawLayer(canvas, kMapLakes, colors_.lakes, 0, 0, update);
  shadows(kRiverShadows, std::size(kRiverShadows));
  DrawLayer(canvas, kMapRivers, colors_.rivers, 0, 0, update);
  if (mode_ & kGrid) DrawGrid(canvas);
  if (mode_ & (kCities | kCitiesNoOverlap)) DrawCities(canvas, update);
}

void CWorldMap::GridLayout(IMapCanvas& canvas, std::vector<GridLine>& lines,
                           std::vector<GridLabel>& labels) const {
  lines.clear();
  labels.clear();
  char text[16];
  // One grid line from a to b (screen), labelled just inside both ends and centred on mid,
  // and broken around the labels.
  auto add = [&](bool horizontal, int value, MapPoint a, MapPoint b, MapPoint mid) {
    std::snprintf(text, sizeof text, "%d", std::abs(value) / kArcMinutesPerDegree);
    MapRect boxes[3] = {CentredBox(canvas, text, kGridFontPixels, a.x, a.y),
                        CentredBox(canvas, text, kGridFontPixels, mid.x, mid.y),
                        CentredBox(canvas, text, kGridFontPixels, b.x, b.y)};
    // Moved inside the map, so that the edge labels are not cut in half by its border.
    const int w = boxes[0].Width(), h = boxes[0].Height();
    if (horizontal) {
      boxes[0] = MapRect{a.x, boxes[0].top, a.x + w, boxes[0].bottom};
      boxes[2] = MapRect{b.x - w, boxes[2].top, b.x, boxes[2].bottom};
    } else {
      boxes[0] = MapRect{boxes[0].left, a.y, boxes[0].right, a.y + h};
      boxes[2] = MapRect{boxes[2].left, b.y - h, boxes[2].right, b.y};
    }
    for (const MapRect& box : boxes) labels.push_back(GridLabel{box, text});
    // The pieces between the labels (a label at an end leaves no piece before it).
    int from = horizontal ? a.x : a.y;
    for (int k = 0; k <= 3; ++k) {
      // Strokes include their end pixel; a box's right and bottom are exclusive.
      const int to = k < 3 ? (horizontal ? boxes[k].left : boxes[k].top) - 1 : (horizontal ? b.x : b.y);
      if (to > from)
        lines.push_back(horizontal ? GridLine{{from, a.y}, {to, a.y}} : GridLine{{a.x, from}, {a.x, to}});
      if (k < 3) from = std::max(from, horizontal ? boxes[k].right : boxes[k].bottom);
    }
  };
  for (int y = -kGridLastParallel; y <= kGridLastParallel; y += kGridStep) {
    MapPoint a{-kHalfWidth, y}, b{kHalfWidth, y}, mid{kGridMidLabel, y};
    MapToScreen(a.x, a.y, a.x, a.y);
    MapToScreen(b.x, b.y, b.x, b.y);
    MapToScreen(mid.x, mid.y, mid.x, mid.y);
    add(true, y, a, b, mid);
  }
  for (int x = -kGridLastMeridian; x <= kGridLastMeridian; x += kGridStep) {
    MapPoint a{x, -kHalfHeight}, b{x, kHalfHeight}, mid{x, -kGridMidLabel};
    MapToScreen(a.x, a.y, a.x, a.y);
    MapToScreen(b.x, b.y, b.x, b.y);
    MapToScreen(mid.x, mid.y, mid.x, mid.y);
    add(false, x, a, b, mid);
  }
}

void CWorldMap::DrawGrid(IMapCanvas& canvas) {
  std::vector<GridLine> lines;
  std::vector<GridLabel> labels;
  GridLayout(canvas, lines, labels);
  for (const GridLine& l : lines) {
    const MapPoint stroke[2] = {l.from, l.to};
    canvas.Polyline(stroke, 2, colors_.grid);
  }
  for (const GridLabel& l : labels)
    canvas.Text(l.box.left, l.box.top, l.text.c_str(), kGridFontPixels, colors_.grid);
}

void CWorldMap::DrawCities(IMapCanvas& canvas, const MapRect& update) {
  if (!cities_.Update(city_file_)) return;
  const bool no_overlap = (mode_ & kCitiesNoOverlap) != 0;
  std::vector<MapRect> drawn;
  for (const MapCity& city : cities_.Cities()) {
    int x, y;
    MapToScreen(city.x, city.y, x, y);
    int w = 0, h = 0;
    canvas.TextSize(city.name.c_str(), kCityFontPixels, w, h);
    // The name centred above the dot, its lower edge kCityNameGap pixels over the point.
    const MapRect box{x - w / 2, y - kCityNameGap - h, x - w / 2 + w, y - kCityNameGap};
    if (!box.Meets(update)) continue;
    if (no_overlap) {
      if (std::any_of(drawn.begin(), drawn.end(), [&](const MapRect& r) { return r.Meets(box); }))
        continue;
      drawn.push_back(box);
    }
    canvas.Dot(x, y, kCityDotRadius, colors_.cities);
    canvas.Text(box.left, box.top, city.name.c_str(), kCityFontPixels, colors_.cities);
  }
}
