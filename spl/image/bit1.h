// C1Bit: pixel access to 1-bit pictures, used for masks; bound to a bitmap or owning one.
#pragma once
#include <vector>

#include "spl/image/dib_section.h"

class C1Bit : public CDibSection {
 public:
  C1Bit() = default;
  ~C1Bit() override;
  C1Bit(const C1Bit&) = delete;
  C1Bit& operator=(const C1Bit&) = delete;

  // Binds to an existing 1-bit bitmap (not owned); 0 for another depth.
  int Init(HBITMAP h);
  // Makes and owns a new all-zero mask of width x height (palette black, white).
  int Init(int width, int height);
  HBITMAP Handle() const { return m_bitmap; }
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }
  int GetPixel(int x, int y) const {
    return (m_base[m_rows[y] + (x >> 3)] >> (7 - (x & 7))) & 1;
  }
  void SetPixel(int x, int y, int v) {
    unsigned char& b = m_base[m_rows[y] + (x >> 3)];
    const unsigned char bit = (unsigned char)(0x80 >> (x & 7));
    b = v ? (unsigned char)(b | bit) : (unsigned char)(b & ~bit);
  }
  int GetClipPixel(int x, int y) const;  // coordinates clamped
  void Invert();                         // every pixel of the picture
  int GetLR(int row, int& left, int& right) const;
  int GetRect(RECT& r) const;

 private:
  void Release();
  HBITMAP m_bitmap = nullptr;
  bool m_owned = false;
  std::vector<long> m_rows;
  unsigned char* m_base = nullptr;
  int m_width = 0, m_height = 0;
};
