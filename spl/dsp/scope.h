// CScope: the oscilloscope widget. Draws a block of values as a curve into an off-screen
// 24-bit picture shown on a paint target: background brush, grid, a vertical gain and
// offset, an optional filled area below the curve, an optional highlighted range of columns
// and two mark lines. The decoder-signal scopes and the filter curve view are built on it.
#pragma once
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/dsp/view_patterns.h"
#include "spl/image/dib_section.h"
#include "spl/platform/paint_target.h"

// The colours of a curve view: the fill below the curve (without a curve brush), the curve
// line, the range (without a range brush) and the marks. The scope and the analyser share them.
struct CCurveColors {
  COLORREF curve = RGB(35, 80, 3), outline = RGB(255, 255, 128), range = RGB(55, 100, 13),
           mark = RGB(255, 128, 128);
  void Set(COLORREF c, COLORREF o, COLORREF r, COLORREF m) {
    curve = c, outline = o, range = r, mark = m;
  }
  // Null pointers are skipped.
  void Get(COLORREF* c, COLORREF* o, COLORREF* r, COLORREF* m) const {
    if (c) *c = curve;
    if (o) *o = outline;
    if (r) *r = range;
    if (m) *m = mark;
  }
};

class CScope : public CDibSection {
 public:
  CScope() = default;
  CScope(const CScope&) = delete;
  CScope& operator=(const CScope&) = delete;
  ~CScope() override;

  // Takes the window's client area less 2 pixels on every side as drawing area (W x H,
  // W >= 1, H >= 2) and makes its picture. 1, or 0 (nothing kept) for no window or no memory.
  int Init(HPAINT wnd);
  void Exit();

  // Row of a value: (H - 1) / 2 - (value + offset) * gain, rounded, counted from the top.
  void SetGain(float gain) { m_gain = gain; }
  float GetGain() const { return m_gain; }
  void SetOffset(float offset) { m_offset = offset; }
  float GetOffset() const { return m_offset; }
  // on != 0: the area below the curve is filled with the curve brush (range brush in range).
  void SetFill(int on) { m_fill = on ? 1 : 0; }
  // Grid lines at every W / columns and H / rows pixels inside the area; 0 draws none.
  // columns, rows: 0 ... 64; else 0 and the grid is kept.
  int SetGrid(int columns, int rows, COLORREF color);

  // Picture columns first ... last (0 <= first <= last) are highlighted with the range brush;
  // columns past the right edge are dropped when drawing. 0 refuses and keeps the range.
  int SetRangeColumns(int first, int last);
  // Vertical lines in the mark colour at two picture columns; -1 leaves one out.
  // 0 (kept) below -1.
  int SetMarkColumns(int a, int b);
  void ClearRange() { m_rangeA = m_rangeB = -1; }

  // Colours: fill below the curve (without a curve brush), the curve line, the range (without
  // a range brush) and the marks; the background without a brush is black.
  void SetColor(COLORREF curve, COLORREF outline, COLORREF range, COLORREF mark) {
    m_colors.Set(curve, outline, range, mark);
  }
  void GetColor(COLORREF* curve, COLORREF* outline, COLORREF* range, COLORREF* mark) const {
    m_colors.Get(curve, outline, range, mark);
  }
  // Takes the pictures over and releases the ones replaced (see CViewBrushes).
  void SetBrush(HBITMAP background, HBITMAP curve, HBITMAP range) {
    m_brushes.Set(background, curve, range);
  }
  HBITMAP GetBrush(CViewBrushes::Slot s) const { return m_brushes.Get(s); }

  // Draws the block: column x shows value x * count / W. 0 before Init or for no block.
  int Draw(const AudioBlock* block);

  int Row(float value) const;  // unclamped
  int Width() const { return m_w; }
  int Height() const { return m_h; }
  HBITMAP Picture() const { return m_pic; }
  int CurveY(int x) const { return m_y[x]; }  // row of column x at the last Draw, 0 ... H - 1

 protected:
  // Owners add their own scale or labels here; called before the picture is shown.
  virtual void UserDraw(HBITMAP /*picture*/, const RECT& /*area*/) {}

 private:
  void Line(int x, int y0, int y1, COLORREF c);

  HPAINT m_wnd = nullptr;
  int m_w = 0, m_h = 0;
  float m_gain = 1.0f, m_offset = 0.0f;
  int m_fill = 0, m_gridColumns = 10, m_gridRows = 8;
  int m_rangeA = -1, m_rangeB = -1, m_markA = -1, m_markB = -1;
  CCurveColors m_colors;
  COLORREF m_grid = RGB(0, 96, 0), m_background = RGB(0, 0, 0);
  HBITMAP m_pic = nullptr;
  std::vector<int> m_y;
  CViewBrushes m_brushes;
};
