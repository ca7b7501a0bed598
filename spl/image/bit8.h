// C8Bit: fast row/column access to an 8-bit picture, y counted from the top whatever the
// stored row order, with 3 x 3 kernels and bounding boxes of non-zero pixels.
#pragma once
#include <vector>

#include "spl/image/dib_section.h"

class C8Bit : public CDibSection {
 public:
  // Binds to an existing 8-bit bitmap (not owned); 0 for another depth or no bitmap.
  int Init(HBITMAP h);
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }  // |height|
  // No range checks: 0 <= x < width, 0 <= y < height.
  int GetPixel(int x, int y) const { return m_base[m_rows[y] + x]; }
  void SetPixel(int x, int y, int value) { m_base[m_rows[y] + x] = (unsigned char)value; }
  // Coordinates clamped into the picture.
  int GetClipPixel(int x, int y) const;
  // Stores a 3 x 3 kernel (rows top first); 1 when its sum is non-zero.
  int InitMatrix(const int kernel[9]);
  int MatrixSum() const { return m_sum; }
  // The kernel's weighted sum of the neighbourhood of (x, y), borders repeated, not divided.
  int GetMatrixPixel(int x, int y) const;
  // First and last non-zero pixel of a row; 0 when the row is all zero.
  int GetLR(int row, int& left, int& right) const;
  // Bounding rectangle of all non-zero pixels (right, bottom exclusive); 0 when none.
  int GetRect(RECT& r) const;

 private:
  std::vector<long> m_rows;  // byte offset of each row from the top
  unsigned char* m_base = nullptr;
  int m_width = 0, m_height = 0;
  int m_kernel[9] = {};
  int m_sum = 0;
};

// The bounding rectangle of the non-zero pixels (right, bottom exclusive) of a picture that
// tells each row's first and last one (GetLR): the 1-bit and 8-bit pictures share it.
// 0 when every pixel is zero.
template <class Rows>
int NonZeroBounds(const Rows& picture, RECT& rect) {
  bool any = false;
  RECT box{picture.GetWidth(), picture.GetHeight(), 0, 0};
  for (int y = 0; y < picture.GetHeight(); ++y) {
    int l = 0, r = 0;
    if (!picture.GetLR(y, l, r)) continue;
    if (!any) box.top = y;
    any = true;
    box.bottom = y + 1;
    box.left = l < box.left ? l : box.left;
    box.right = r + 1 > box.right ? r + 1 : box.right;
  }
  if (any) rect = box;
  return any ? 1 : 0;
}
