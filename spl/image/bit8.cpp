#include "spl/image/bit8.h"

#include <algorithm>

#include "spl/image/dib_rows.h"

int C8Bit::Init(HBITMAP h) {
  m_rows.clear();
  m_base = nullptr;
  m_width = m_height = 0;
  if (!Check(h)) return 0;
  if (h->bits != 8) return Fail(kDibTransfer);
  m_width = h->width;
  m_height = DibRows(h);
  m_base = h->pixels;
  m_rows.resize(size_t(m_height));
  for (int y = 0; y < m_height; ++y) m_rows[size_t(y)] = long(DibRow(h, y) - h->pixels);
  return 1;
}

int C8Bit::GetClipPixel(int x, int y) const {
  return GetPixel(std::clamp(x, 0, m_width - 1), std::clamp(y, 0, m_height - 1));
}

int C8Bit::InitMatrix(const int kernel[9]) {
  m_sum = 0;
  for (int i = 0; i < 9; ++i) m_sum += (m_kernel[i] = kernel[i]);
  return m_sum != 0;
}

int C8Bit::GetMatrixPixel(int x, int y) const {
  const int xs[3] = {std::max(x - 1, 0), std::clamp(x, 0, m_width - 1), std::min(x + 1, m_width - 1)};
  int sum = 0;
  for (int r = 0; r < 3; ++r) {
    const unsigned char* row = m_base + m_rows[size_t(std::clamp(y - 1 + r, 0, m_height - 1))];
    for (int c = 0; c < 3; ++c) sum += m_kernel[r * 3 + c] * row[xs[c]];
  }
  return sum;
}

int C8Bit::GetLR(int row, int& left, int& right) const {
  if (row < 0 || row >= m_height) return 0;
  const unsigned char* p = m_base + m_rows[size_t(row)];
  int l = 0;
  while (l < m_width && !p[l]) ++l;
  if (l == m_width) return 0;
  int r = m_width - 1;
  while (!p[r]) --r;
  left = l;
  right = r;
  return 1;
}

int C8Bit::GetRect(RECT& rect) const { return NonZeroBounds(*this, rect); }
