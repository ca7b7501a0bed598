#include "spl/dsp/view_patterns.h"

#include <algorithm>
#include <cstdint>

#include "spl/image/dib_section.h"
#include "spl/platform/paint_target.h"

namespace {

constexpr int kPatternSide = 8;

// One pattern: set bits take the ink colour, clear bits the paper colour; rows from the top,
// bit 7 is the leftmost pixel. The paper colours are the engines' default fill colours.
struct PatternRow {
  int id;
  COLORREF paper, ink;
  uint8_t rows[kPatternSide];
};

constexpr PatternRow kPatterns[] = {
    // Curve: the curve colour with a lighter diagonal hatch.
    {kPatternCurve, RGB(35, 80, 3), RGB(50, 105, 10),
     {0x88, 0x44, 0x22, 0x11, 0x88, 0x44, 0x22, 0x11}},
    // Background: black with a sparse grid of dim green dots.
    {kPatternBackground, RGB(0, 0, 0), RGB(20, 45, 2),
     {0x80, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00}},
    // Pass range: the range colour with a lighter hatch the other way.
    {kPatternRange, RGB(55, 100, 13), RGB(85, 140, 30),
     {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88}},
};

// Row y (from the top) of a 24-bit picture, or null.
uint8_t* Row24(HBITMAP h, int y) {
  int rows = h->height < 0 ? -h->height : h->height;
  if (y < 0 || y >= rows) return nullptr;
  return h->pixels + size_t(h->height > 0 ? rows - 1 - y : y) * h->bpl;
}

}  // namespace

HBITMAP CreateViewPattern(int id) {
  for (const PatternRow& p : kPatterns) {
    if (p.id != id) continue;
    HBITMAP h = CreateBitmapObject(kPatternSide, kPatternSide, 24);
    if (!h) return nullptr;
    for (int y = 0; y < kPatternSide; ++y)
      for (int x = 0; x < kPatternSide; ++x)
        PutPixel24(h, x, y, (p.rows[y] >> (7 - x)) & 1 ? p.ink : p.paper);
    return h;
  }
  return nullptr;
}

CViewBrushes::CViewBrushes() {
  m_brush[kBackground] = CreateViewPattern(kPatternBackground);
  m_brush[kCurve] = CreateViewPattern(kPatternCurve);
  m_brush[kRange] = CreateViewPattern(kPatternRange);
}

CViewBrushes::~CViewBrushes() { Set(nullptr, nullptr, nullptr); }

void CViewBrushes::Release(HBITMAP h, const HBITMAP* keep, int n) {
  if (!h || std::find(keep, keep + n, h) != keep + n) return;
  DeleteObject(h);
}

void CViewBrushes::Set(HBITMAP background, HBITMAP curve, HBITMAP range) {
  HBITMAP old[kSlots] = {m_brush[0], m_brush[1], m_brush[2]};
  m_brush[kBackground] = background;
  m_brush[kCurve] = curve;
  m_brush[kRange] = range;
  // A picture shared by two old slots must be released once only.
  for (int i = 0; i < kSlots; ++i)
    if (std::find(old, old + i, old[i]) == old + i) Release(old[i], m_brush, kSlots);
}

void CViewBrushes::FillColumn(Slot s, HBITMAP pic, int x, int top, int bottom,
                              COLORREF solid) const {
  if (!IsBitmapObject(pic) || pic->bits != 24 || x < 0 || x >= pic->width) return;
  int rows = pic->height < 0 ? -pic->height : pic->height;
  top = std::max(top, 0);
  bottom = std::min(bottom, rows);
  HBITMAP brush = IsBitmapObject(m_brush[s]) ? m_brush[s] : nullptr;
  int bh = brush ? (brush->height < 0 ? -brush->height : brush->height) : 0;
  bool fast = brush && brush->bits == 24;
  const int bx = brush ? x % brush->width : 0;
  CDibSection dib;
  for (int y = top; y < bottom; ++y) {
    uint8_t* p = Row24(pic, y) + 3 * size_t(x);
    if (fast) {
      const uint8_t* b = Row24(brush, y % bh) + 3 * size_t(bx);
      p[0] = b[0];
      p[1] = b[1];
      p[2] = b[2];
      continue;
    }
    COLORREF c = brush ? dib.PixelColor(brush, bx, y % bh) : solid;
    p[0] = uint8_t(GetBValue(c));
    p[1] = uint8_t(GetGValue(c));
    p[2] = uint8_t(GetRValue(c));
  }
}
