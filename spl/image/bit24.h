// C24Bit: fast pixel access to a 24-bit picture (y from the top), 3 x 3 colour kernels and an
// undo/redo store of rectangular pixel backups for the picture editor.
#pragma once
#include <vector>

#include "spl/image/dib_section.h"

class C24Bit : public CDibSection {
 public:
  // Binds to an existing 24-bit bitmap (not owned); 0 for another depth. Clears the undo store.
  int Init(HBITMAP h);
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }
  // No range checks. Colours are 0x00BBGGRR.
  COLORREF GetPixel(int x, int y) const {
    const unsigned char* p = m_base + m_rows[y] + m_cols[x];
    return RGB(p[2], p[1], p[0]);
  }
  void SetPixel(int x, int y, COLORREF c) {
    unsigned char* p = m_base + m_rows[y] + m_cols[x];
    p[0] = (unsigned char)GetBValue(c);
    p[1] = (unsigned char)GetGValue(c);
    p[2] = (unsigned char)GetRValue(c);
  }
  void SetClipPixel(int x, int y, COLORREF c);   // ignored outside the picture
  COLORREF GetClipPixel(int x, int y) const;     // coordinates clamped
  void AddPixel(int x, int y, COLORREF c);       // per channel, saturating at 255
  void SubPixel(int x, int y, COLORREF c);       // per channel, saturating at 0
  int SumPixel(int x, int y) const;              // red + green + blue
  int InitMatrix(const int kernel[9]);           // 1 when the kernel's sum is non-zero
  // Per channel weighted sum of the neighbourhood, borders repeated, divided by the kernel's
  // sum when that is not 0 (integer division).
  void GetMatrixPixel(int x, int y, int& red, int& green, int& blue) const;

  // Undo store: Push saves the pixels of a rectangle (clipped) and drops the redo entries;
  // Pop restores the newest backup, keeping the current pixels for Redo. 0 when empty.
  int Push(const RECT& r);
  int Pop();
  int Redo();
  int RemoveLastRedo();
  void KillUndoRedo();
  int UndoCount() const { return int(m_undo.size()); }
  int RedoCount() const { return int(m_redo.size()); }

 private:
  struct Backup {
    RECT rect;
    std::vector<unsigned char> bytes;
  };
  Backup Save(const RECT& r) const;
  void Restore(const Backup& b);

  std::vector<long> m_rows;
  std::vector<int> m_cols;
  unsigned char* m_base = nullptr;
  int m_width = 0, m_height = 0;
  int m_kernel[9] = {};
  int m_sum = 0;
  std::vector<Backup> m_undo, m_redo;
};
