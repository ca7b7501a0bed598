// IMapCanvas: the few drawing operations the world map needs (filled polygon, polyline, text,
// dot), so that CWorldMap stays free of any toolkit; the map widget implements it with a
// QPainter, a test with a recorder. Colours are 24-bit 0xRRGGBB; coordinates are pixels.
#pragma once
#include <cstdint>

struct MapPoint {
  int x, y;
};

// A pixel rectangle; right and bottom are exclusive.
struct MapRect {
  int left, top, right, bottom;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  // True when the interiors overlap (touching along an edge does not count).
  bool Meets(const MapRect& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
};

class IMapCanvas {
 public:
  virtual ~IMapCanvas() = default;
  virtual void FillRect(const MapRect& area, uint32_t rgb) = 0;
  // Filled without a separate outline. 1 when drawn, 0 when the polygon could not be drawn.
  virtual int Polygon(const MapPoint* points, int count, uint32_t rgb) = 0;
  // 1 when drawn, 0 on failure.
  virtual int Polyline(const MapPoint* points, int count, uint32_t rgb) = 0;
  // Width and height in pixels of text (ASCII/UTF-8) at a font of pixelSize pixels.
  virtual void TextSize(const char* text, int pixelSize, int& width, int& height) = 0;
  // text with the top-left corner of its box at (x, y), transparent background.
  virtual void Text(int x, int y, const char* text, int pixelSize, uint32_t rgb) = 0;
  // A filled dot of the given radius centred on (x, y).
  virtual void Dot(int x, int y, int radius, uint32_t rgb) = 0;
};
