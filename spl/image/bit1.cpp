#include "spl/image/bit1.h"

#include <algorithm>

#include "spl/image/bit8.h"
#include "spl/image/dib_rows.h"

C1Bit::~C1Bit() { Release(); }

void C1Bit::Release() {
  if (m_owned) DeleteObject(m_bitmap);
  m_bitmap = nullptr;
  m_owned = false;
  m_rows.clear();
  m_base = nullptr;
  m_width = m_height = 0;
}

int C1Bit::Init(HBITMAP h) {
  Release();
  if (!Check(h)) return 0;
  if (h->bits != 1) return Fail(kDibTransfer);
  m_bitmap = h;
  m_width = h->width;
  m_height = DibRows(h);
  m_base = h->pixels;
  m_rows.resize(size_t(m_height));
  for (int y = 0; y < m_height; ++y) m_rows[size_t(y)] = long(DibRow(h, y) - h->pixels);
  return 1;
}

int C1Bit::Init(int width, int height) {
  Release();
  if (width < 1 || height < 1) return Fail(kDibSize);
  HBITMAP h = NewBitmap(width, height, 1);
  if (!h) return 0;
  h->palette[1] = RGBQUAD{255, 255, 255, 0};
  if (!Init(h)) {
    DeleteObject(h);
    return 0;
  }
  m_owned = true;
  return 1;
}

int C1Bit::GetClipPixel(int x, int y) const {
  return GetPixel(std::clamp(x, 0, m_width - 1), std::clamp(y, 0, m_height - 1));
}

void C1Bit::Invert() {
  // Whole bytes, then the pixels of the last byte only: the row padding stays zero.
  const int full = m_width >> 3, rest = m_width & 7;
  const unsigned char lastMask = (unsigned char)(0xFF << (8 - rest));
  for (int y = 0; y < m_height; ++y) {
    unsigned char* p = m_base + m_rows[size_t(y)];
    for (int i = 0; i < full; ++i) p[i] = (unsigned char)~p[i];
    if (rest) p[full] ^= lastMask;
  }
}

int C1Bit::GetLR(int row, int& left, int& right) const {
  if (row < 0 || row >= m_height) return 0;
  int l = 0;
  while (l < m_width && !GetPixel(l, row)) ++l;
  if (l == m_width) return 0;
  int r = m_width - 1;
  while (!GetPixel(r, row)) --r;
  left = l;
  right = r;
  return 1;
}

int C1Bit::GetRect(RECT& rect) const { return NonZeroBounds(*this, rect); }
