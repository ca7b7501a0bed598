#include "spl/dsp/scope.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "spl/dsp/view_area.h"

namespace {
constexpr int kMaxGrid = 64;
}  // namespace

CScope::~CScope() { Exit(); }

void CScope::Exit() {
  if (m_pic && m_wnd) m_wnd->PictureGone(m_pic);
  DeleteObject(m_pic);
  m_pic = nullptr;
  m_w = m_h = 0;
  m_y.clear();
}

int CScope::Init(HPAINT wnd) {
  Exit();
  int w = 0, h = 0;
  if (!ViewArea(wnd, w, h) || w < 1 || h < 2) return 0;
  m_pic = Create(w, h, 24, m_background);
  if (!m_pic) return 0;
  m_wnd = wnd;
  m_w = w;
  m_h = h;
  m_y.assign(w, h - 1);
  return 1;
}

int CScope::SetGrid(int columns, int rows, COLORREF color) {
  if (columns < 0 || rows < 0 || columns > kMaxGrid || rows > kMaxGrid) return 0;
  m_gridColumns = columns;
  m_gridRows = rows;
  m_grid = color;
  return 1;
}

int CScope::SetRangeColumns(int first, int last) {
  if (first < 0 || last < first) return 0;
  m_rangeA = first;
  m_rangeB = last;
  return 1;
}

int CScope::SetMarkColumns(int a, int b) {
  if (a < -1 || b < -1) return 0;
  m_markA = a;
  m_markB = b;
  return 1;
}

int CScope::Row(float value) const {
  float y = float(m_h - 1) * 0.5f - (value + m_offset) * m_gain;
  // Far-off values (and NaN) land outside the picture rather than overflowing the cast.
  if (!(y > -1e6f)) return -1000000;
  if (y > 1e6f) return 1000000;
  return int(std::lround(y));
}

void CScope::Line(int x, int y0, int y1, COLORREF c) {
  for (int r = std::min(y0, y1); r <= std::max(y0, y1); ++r) PutPixel24(m_pic, x, r, c);
}

int CScope::Draw(const AudioBlock* block) {
  if (!m_pic || !block || block->count < 1) return 0;
  for (int x = 0; x < m_w; ++x) {
    int i = int(int64_t(x) * block->count / m_w);
    m_y[x] = std::clamp(Row(block->data[i]), 0, m_h - 1);
  }
  for (int x = 0; x < m_w; ++x) {
    bool inRange = m_rangeA >= 0 && x >= m_rangeA && x <= m_rangeB;
    int below = m_fill ? m_y[x] : m_h;
    if (inRange && !m_fill)
      m_brushes.FillColumn(CViewBrushes::kRange, m_pic, x, 0, m_h, m_colors.range);
    else
      m_brushes.FillColumn(CViewBrushes::kBackground, m_pic, x, 0, below, m_background);
    if (m_fill) {
      if (inRange)
        m_brushes.FillColumn(CViewBrushes::kRange, m_pic, x, below, m_h, m_colors.range);
      else
        m_brushes.FillColumn(CViewBrushes::kCurve, m_pic, x, below, m_h, m_colors.curve);
    }
  }
  for (int k = 1; k < m_gridColumns; ++k) Line(k * m_w / m_gridColumns, 0, m_h - 1, m_grid);
  for (int k = 1; k < m_gridRows; ++k) {
    int r = k * m_h / m_gridRows;
    for (int x = 0; x < m_w; ++x) PutPixel24(m_pic, x, r, m_grid);
  }
  // The curve joins each column's row to its left neighbour's.
  for (int x = 0; x < m_w; ++x) Line(x, x ? m_y[x - 1] : m_y[x], m_y[x], m_colors.outline);
  for (int m : {m_markA, m_markB})
    if (m >= 0 && m < m_w) Line(m, 0, m_h - 1, m_colors.mark);
  RECT area{0, 0, m_w, m_h};
  UserDraw(m_pic, area);
  m_wnd->Show(m_pic, kViewInset, kViewInset);
  m_wnd->SunkenEdge();
  return 1;
}
