#include "spl/platform/paint_target.h"

namespace {
uint8_t* PixelAt(HBITMAP h, int x, int y) {
  if (!IsBitmapObject(h) || h->bits != 24) return nullptr;
  int rows = h->height < 0 ? -h->height : h->height;
  if (x < 0 || y < 0 || x >= h->width || y >= rows) return nullptr;
  int stored = h->height > 0 ? rows - 1 - y : y;
  return h->pixels + size_t(stored) * h->bpl + 3 * size_t(x);
}
}  // namespace

void PutPixel24(HBITMAP h, int x, int y, COLORREF c) {
  uint8_t* p = PixelAt(h, x, y);
  if (!p) return;
  p[0] = uint8_t(GetBValue(c));
  p[1] = uint8_t(GetGValue(c));
  p[2] = uint8_t(GetRValue(c));
}

COLORREF GetPixel24(HBITMAP h, int x, int y) {
  const uint8_t* p = PixelAt(h, x, y);
  return p ? RGB(p[2], p[1], p[0]) : 0;
}

CMemoryPaintTarget::~CMemoryPaintTarget() { DeleteObject(m_pic); }

int CMemoryPaintTarget::Init(int width, int height) {
  DeleteObject(m_pic);
  m_pic = CreateBitmapObject(width, height, 24);
  m_shows = 0;
  return m_pic ? 1 : 0;
}

void CMemoryPaintTarget::Show(HBITMAP picture, int x, int y) {
  if (!m_pic || !IsBitmapObject(picture) || picture->bits != 24) return;
  int rows = picture->height < 0 ? -picture->height : picture->height;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < picture->width; ++c) PutPixel24(m_pic, x + c, y + r, GetPixel24(picture, c, r));
  ++m_shows;
}

void CMemoryPaintTarget::SunkenEdge() {
  if (!m_pic) return;
  int w = m_pic->width, h = m_pic->height;
  for (int e = 0; e < kEdgeWidth; ++e) {
    for (int x = e; x < w - e; ++x) {
      PutPixel24(m_pic, x, e, kEdgeShadow);
      PutPixel24(m_pic, x, h - 1 - e, kEdgeLight);
    }
    for (int y = e; y < h - e; ++y) {
      PutPixel24(m_pic, e, y, kEdgeShadow);
      PutPixel24(m_pic, w - 1 - e, y, kEdgeLight);
    }
  }
}
