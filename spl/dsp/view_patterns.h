// The pattern pictures the display engines fill with (the library's pictures 3002, 3012 and
// 3013: curve, background and pass range), and the brush set an engine owns: three slots that
// SetBrush replaces, releasing the pictures it no longer holds.
#pragma once
#include "spl/platform/bitmap.h"

constexpr int kPatternCurve = 3002;       // area below a curve
constexpr int kPatternBackground = 3012;  // area above a curve, empty views
constexpr int kPatternRange = 3013;       // a highlighted pass range below a curve

// A new 8 x 8 24-bit picture of the pattern (DeleteObject releases it); null for an unknown
// number or when the memory cannot be had.
HBITMAP CreateViewPattern(int id);

class CViewBrushes {
 public:
  enum Slot { kBackground = 0, kCurve = 1, kRange = 2, kSlots = 3 };

  // Starts with fresh copies of the patterns 3012, 3002 and 3013 (a slot whose picture could
  // not be made fills with its solid colour).
  CViewBrushes();
  CViewBrushes(const CViewBrushes&) = delete;
  CViewBrushes& operator=(const CViewBrushes&) = delete;
  ~CViewBrushes();

  // Takes the three pictures over (any depth; null: fill with the solid colour) and releases
  // each previous picture that no slot holds any more. One picture may fill several slots.
  void Set(HBITMAP background, HBITMAP curve, HBITMAP range);
  HBITMAP Get(Slot s) const { return m_brush[s]; }

  // Fills rows top ... bottom - 1 (from the top) of column x of a 24-bit picture with the
  // slot's picture, tiled from the picture's top left corner, or with solid when it has none.
  void FillColumn(Slot s, HBITMAP pic, int x, int top, int bottom, COLORREF solid) const;

 private:
  void Release(HBITMAP h, const HBITMAP* keep, int n);
  HBITMAP m_brush[kSlots] = {};
};
