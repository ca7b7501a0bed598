#include "spl/image/bit24.h"

#include <algorithm>
#include <cstring>

#include "spl/image/dib_rows.h"

int C24Bit::Init(HBITMAP h) {
  m_rows.clear();
  m_cols.clear();
  m_base = nullptr;
  m_width = m_height = 0;
  KillUndoRedo();
  if (!Check(h)) return 0;
  if (h->bits != 24) return Fail(kDibTransfer);
  m_width = h->width;
  m_height = DibRows(h);
  m_base = h->pixels;
  m_rows.resize(size_t(m_height));
  for (int y = 0; y < m_height; ++y) m_rows[size_t(y)] = long(DibRow(h, y) - h->pixels);
  m_cols.resize(size_t(m_width));
  for (int x = 0; x < m_width; ++x) m_cols[size_t(x)] = 3 * x;
  return 1;
}

void C24Bit::SetClipPixel(int x, int y, COLORREF c) {
  if (x >= 0 && y >= 0 && x < m_width && y < m_height) SetPixel(x, y, c);
}

COLORREF C24Bit::GetClipPixel(int x, int y) const {
  return GetPixel(std::clamp(x, 0, m_width - 1), std::clamp(y, 0, m_height - 1));
}

void C24Bit::AddPixel(int x, int y, COLORREF c) {
  const COLORREF p = GetPixel(x, y);
  SetPixel(x, y, RGB(std::min(GetRValue(p) + GetRValue(c), 255), std::min(GetGValue(p) + GetGValue(c), 255),
                     std::min(GetBValue(p) + GetBValue(c), 255)));
}

void C24Bit::SubPixel(int x, int y, COLORREF c) {
  const COLORREF p = GetPixel(x, y);
  SetPixel(x, y, RGB(std::max(GetRValue(p) - GetRValue(c), 0), std::max(GetGValue(p) - GetGValue(c), 0),
                     std::max(GetBValue(p) - GetBValue(c), 0)));
}

int C24Bit::SumPixel(int x, int y) const {
  const COLORREF p = GetPixel(x, y);
  return GetRValue(p) + GetGValue(p) + GetBValue(p);
}

int C24Bit::InitMatrix(const int kernel[9]) {
  m_sum = 0;
  for (int i = 0; i < 9; ++i) m_sum += (m_kernel[i] = kernel[i]);
  return m_sum != 0;
}

void C24Bit::GetMatrixPixel(int x, int y, int& red, int& green, int& blue) const {
  const int xs[3] = {std::max(x - 1, 0), std::clamp(x, 0, m_width - 1), std::min(x + 1, m_width - 1)};
  int r = 0, g = 0, b = 0;
  for (int j = 0; j < 3; ++j) {
    const unsigned char* row = m_base + m_rows[size_t(std::clamp(y - 1 + j, 0, m_height - 1))];
    for (int i = 0; i < 3; ++i) {
      const unsigned char* p = row + m_cols[size_t(xs[i])];
      const int k = m_kernel[j * 3 + i];
      b += k * p[0];
      g += k * p[1];
      r += k * p[2];
    }
  }
  if (m_sum != 0) {
    r /= m_sum;
    g /= m_sum;
    b /= m_sum;
  }
  red = r;
  green = g;
  blue = b;
}

C24Bit::Backup C24Bit::Save(const RECT& r) const {
  Backup b{r, {}};
  const int w = r.right - r.left;
  b.bytes.resize(size_t(w) * 3 * size_t(r.bottom - r.top));
  unsigned char* out = b.bytes.data();
  for (int y = r.top; y < r.bottom; ++y, out += 3 * w)
    std::memcpy(out, m_base + m_rows[size_t(y)] + m_cols[size_t(r.left)], size_t(3 * w));
  return b;
}

void C24Bit::Restore(const Backup& b) {
  const RECT& r = b.rect;
  const int w = r.right - r.left;
  const unsigned char* in = b.bytes.data();
  for (int y = r.top; y < r.bottom; ++y, in += 3 * w)
    std::memcpy(m_base + m_rows[size_t(y)] + m_cols[size_t(r.left)], in, size_t(3 * w));
}

int C24Bit::Push(const RECT& r) {
  const RECT c{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, m_width),
               std::min(r.bottom, m_height)};
  if (c.left >= c.right || c.top >= c.bottom) return 0;
  m_undo.push_back(Save(c));
  m_redo.clear();
  return 1;
}

int C24Bit::Pop() {
  if (m_undo.empty()) return 0;
  Backup b = std::move(m_undo.back());
  m_undo.pop_back();
  m_redo.push_back(Save(b.rect));
  Restore(b);
  return 1;
}

int C24Bit::Redo() {
  if (m_redo.empty()) return 0;
  Backup b = std::move(m_redo.back());
  m_redo.pop_back();
  m_undo.push_back(Save(b.rect));
  Restore(b);
  return 1;
}

int C24Bit::RemoveLastRedo() {
  if (m_redo.empty()) return 0;
  m_redo.pop_back();
  return 1;
}

void C24Bit::KillUndoRedo() {
  m_undo.clear();
  m_redo.clear();
}
