// Oscilloscope pictures: where values land for a gain and offset, how blocks are spread over
// the columns, fills, ranges, marks and grid in their colours, pattern brushes and their
// replacement, and the set-up shared by the display engines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "dsp_test_util.h"
#include "spl/dsp/scope.h"
#include "spl/dsp/view_area.h"

namespace {

using dsptest::Block;

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kFill = RGB(10, 20, 30);
constexpr COLORREF kLine = RGB(250, 240, 230);
constexpr COLORREF kRange = RGB(40, 50, 60);
constexpr COLORREF kMark = RGB(200, 0, 100);

// A scope on a target of (w + 4) x (h + 4) with solid colours and no grid.
struct PlainScope {
  CMemoryPaintTarget wnd;
  CScope scope;
  PlainScope(int w, int h) {
    EXPECT_TRUE(wnd.Init(w + 4, h + 4));
    EXPECT_EQ(scope.Init(&wnd), 1);
    scope.SetBrush(nullptr, nullptr, nullptr);
    scope.SetColor(kFill, kLine, kRange, kMark);
    EXPECT_EQ(scope.SetGrid(0, 0, kBlack), 1);
  }
  COLORREF At(int x, int y) const { return GetPixel24(scope.Picture(), x, y); }
};

// The row a value lands in, as the scope's formula defines it.
int ModelRow(float v, int h, float gain, float offset) {
  int y = int(std::lround(float(h - 1) * 0.5f - (v + offset) * gain));
  return std::clamp(y, 0, h - 1);
}

TEST(ViewArea, OrderClampAndDrawingArea) {
  EXPECT_EQ(BlockOrder(1024), 10);
  EXPECT_EQ(BlockOrder(2), 1);
  EXPECT_EQ(BlockOrder(1), -1);
  EXPECT_EQ(BlockOrder(1000), -1);
  EXPECT_EQ(BlockOrder(0), -1);
  int lo = 1000, hi = 9000;
  ClampArea(11025, lo, hi);
  EXPECT_EQ(hi, 5512);
  EXPECT_EQ(lo, 1000);
  lo = 6000, hi = 9000;
  ClampArea(11025, lo, hi);
  EXPECT_EQ(lo, 0);
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(30, 20));
  int w = -7, h = -7;
  EXPECT_EQ(ViewArea(nullptr, w, h), 0);
  EXPECT_EQ(w, -7);
  EXPECT_EQ(ViewArea(&wnd, w, h), 1);
  EXPECT_EQ(w, 26);
  EXPECT_EQ(h, 16);
}

TEST(Scope, InitNeedsAWindowWithRoomInsideTheEdge) {
  // Targets outlive the engines drawing into them.
  CMemoryPaintTarget tiny, wnd, wide;
  CScope scope;
  EXPECT_EQ(scope.Init(nullptr), 0);
  ASSERT_TRUE(tiny.Init(5, 5));  // 1 x 1 inside the edge: one row is no curve
  EXPECT_EQ(scope.Init(&tiny), 0);
  EXPECT_EQ(scope.Picture(), nullptr);
  Block b(std::vector<float>{1.0f});
  EXPECT_EQ(scope.Draw(b.get()), 0);
  ASSERT_TRUE(wnd.Init(64, 36));
  ASSERT_EQ(scope.Init(&wnd), 1);
  EXPECT_EQ(scope.Width(), 60);
  EXPECT_EQ(scope.Height(), 32);
  EXPECT_EQ(scope.Draw(nullptr), 0);
  // A second Init on another window makes a fresh picture of the new size.
  ASSERT_TRUE(wide.Init(104, 14));
  ASSERT_EQ(scope.Init(&wide), 1);
  EXPECT_EQ(scope.Width(), 100);
  EXPECT_EQ(scope.Height(), 10);
}

TEST(Scope, ValuesLandOnTheRowsOfGainAndOffset) {
  PlainScope s(50, 41);
  std::vector<float> v(50);
  for (int i = 0; i < 50; ++i) v[size_t(i)] = float(std::sin(2 * M_PI * i / 25.0));
  for (float gain : {1.0f, 15.0f, 40.0f})
    for (float offset : {0.0f, 0.5f, -2.0f}) {
      s.scope.SetGain(gain);
      s.scope.SetOffset(offset);
      Block b(v);
      ASSERT_EQ(s.scope.Draw(b.get()), 1);
      for (int x = 0; x < 50; ++x) {
        int y = ModelRow(v[size_t(x)], 41, gain, offset);
        ASSERT_EQ(s.scope.CurveY(x), y) << gain << " " << offset << " " << x;
        EXPECT_EQ(s.At(x, y), kLine);
        // The picture reaches the target inside its edge.
        EXPECT_EQ(GetPixel24(s.wnd.Picture(), x + 2, y + 2), kLine);
      }
    }
  // Zero lands on the middle row, clamped values on the border rows.
  s.scope.SetGain(1.0f);
  s.scope.SetOffset(0.0f);
  Block b(std::vector<float>{0.0f, 1e9f, -1e9f, NAN});
  s.scope.Draw(b.get());
  EXPECT_EQ(s.scope.CurveY(0), 20);
  EXPECT_EQ(s.scope.CurveY(13), 0);
  EXPECT_EQ(s.scope.CurveY(26), 40);
  EXPECT_EQ(s.scope.CurveY(49), 0);
  EXPECT_EQ(s.wnd.Shows(), 10);
}

TEST(Scope, BlocksAreSpreadOverTheColumns) {
  PlainScope s(40, 21);
  s.scope.SetGain(1.0f);
  // Longer than the picture: column x shows value 2x.
  std::vector<float> ramp(80);
  for (int i = 0; i < 80; ++i) ramp[size_t(i)] = float(i % 10) - 5.0f;
  Block longer(ramp);
  s.scope.Draw(longer.get());
  for (int x = 0; x < 40; ++x) EXPECT_EQ(s.scope.CurveY(x), ModelRow(ramp[size_t(2 * x)], 21, 1, 0));
  // Shorter: each value is held over 40 / 8 = 5 columns.
  std::vector<float> steps{-8, -6, -4, -2, 2, 4, 6, 8};
  Block shorter(steps);
  s.scope.Draw(shorter.get());
  for (int x = 0; x < 40; ++x) EXPECT_EQ(s.scope.CurveY(x), ModelRow(steps[size_t(x / 5)], 21, 1, 0));
}

TEST(Scope, CurveJoinsNeighbourRowsWithVerticalStrokes) {
  PlainScope s(4, 21);
  s.scope.SetGain(1.0f);
  Block b(std::vector<float>{8.0f, -8.0f, -8.0f, 0.0f});
  s.scope.Draw(b.get());
  // Column 1 runs from row 2 (its left neighbour) down to row 18.
  for (int y = 0; y < 21; ++y) EXPECT_EQ(s.At(1, y), (y >= 2 && y <= 18) ? kLine : kBlack) << y;
  for (int y = 0; y < 21; ++y) EXPECT_EQ(s.At(2, y), y == 18 ? kLine : kBlack) << y;
  for (int y = 0; y < 21; ++y) EXPECT_EQ(s.At(3, y), (y >= 10 && y <= 18) ? kLine : kBlack) << y;
}

TEST(Scope, FillRangeAndMarksInTheirColours) {
  PlainScope s(30, 20);
  s.scope.SetGain(0.0f);  // a flat curve on row 10 (9.5 rounds away from zero)
  s.scope.SetFill(1);
  ASSERT_EQ(s.scope.SetRangeColumns(5, 9), 1);
  ASSERT_EQ(s.scope.SetMarkColumns(20, -1), 1);
  Block flat(std::vector<float>(30, 0.0f));
  s.scope.Draw(flat.get());
  ASSERT_EQ(s.scope.CurveY(0), 10);
  for (int x = 0; x < 30; ++x) {
    COLORREF below = (x >= 5 && x <= 9) ? kRange : kFill;
    for (int y = 0; y < 20; ++y) {
      COLORREF want = y < 10 ? kBlack : y == 10 ? kLine : below;
      if (x == 20) want = kMark;  // marks are drawn over everything
      ASSERT_EQ(s.At(x, y), want) << x << "," << y;
    }
  }
  // Without the fill the range column is highlighted over the whole height.
  s.scope.SetFill(0);
  s.scope.Draw(flat.get());
  EXPECT_EQ(s.At(7, 2), kRange);
  EXPECT_EQ(s.At(7, 15), kRange);
  EXPECT_EQ(s.At(12, 15), kBlack);
  // Refusals keep the previous range and marks; a range past the edge is cut off.
  EXPECT_EQ(s.scope.SetRangeColumns(9, 5), 0);
  EXPECT_EQ(s.scope.SetRangeColumns(-1, 5), 0);
  EXPECT_EQ(s.scope.SetMarkColumns(-2, 3), 0);
  s.scope.Draw(flat.get());
  EXPECT_EQ(s.At(7, 2), kRange);
  EXPECT_EQ(s.At(20, 2), kMark);
  ASSERT_EQ(s.scope.SetRangeColumns(25, 1000), 1);
  s.scope.Draw(flat.get());
  EXPECT_EQ(s.At(29, 2), kRange);
  s.scope.ClearRange();
  ASSERT_EQ(s.scope.SetMarkColumns(-1, -1), 1);
  s.scope.Draw(flat.get());
  EXPECT_EQ(s.At(29, 2), kBlack);
  EXPECT_EQ(s.At(20, 2), kBlack);
}

TEST(Scope, GridLinesUnderTheCurve) {
  PlainScope s(40, 20);
  constexpr COLORREF kGrid = RGB(0, 99, 0);
  ASSERT_EQ(s.scope.SetGrid(4, 2, kGrid), 1);
  EXPECT_EQ(s.scope.SetGrid(-1, 2, kGrid), 0);
  EXPECT_EQ(s.scope.SetGrid(4, 65, kGrid), 0);
  s.scope.SetGain(0.0f);
  Block flat(std::vector<float>(40, 0.0f));
  s.scope.Draw(flat.get());
  for (int x = 0; x < 40; ++x) {
    bool line = x == 10 || x == 20 || x == 30;
    EXPECT_EQ(s.At(x, 3), line ? kGrid : kBlack) << x;
  }
  for (int x = 0; x < 40; ++x) EXPECT_EQ(s.At(x, 10), kLine);  // the curve over the row line
  EXPECT_EQ(s.At(3, 11), kBlack);
}

TEST(Scope, DefaultBrushesArePatternsTiledFromTheCorner) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(44, 34));
  CScope scope;
  ASSERT_EQ(scope.Init(&wnd), 1);
  ASSERT_EQ(scope.SetGrid(0, 0, 0), 1);
  scope.SetFill(1);
  scope.SetGain(0.0f);
  ASSERT_EQ(scope.SetRangeColumns(30, 39), 1);
  Block flat(std::vector<float>(40, 0.0f));
  scope.Draw(flat.get());
  HBITMAP bg = CreateViewPattern(kPatternBackground), curve = CreateViewPattern(kPatternCurve),
          range = CreateViewPattern(kPatternRange);
  ASSERT_TRUE(bg && curve && range);
  EXPECT_EQ(CreateViewPattern(1234), nullptr);
  int line = scope.CurveY(0);
  for (int x = 0; x < 40; ++x)
    for (int y = 0; y < 30; ++y) {
      if (y == line) continue;
      HBITMAP p = y < line ? bg : x >= 30 ? range : curve;
      ASSERT_EQ(GetPixel24(scope.Picture(), x, y), GetPixel24(p, x % 8, y % 8)) << x << "," << y;
    }
  // The patterns are no plain colours: each has two.
  for (HBITMAP p : {bg, curve, range}) {
    std::set<COLORREF> colours;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) colours.insert(GetPixel24(p, x, y));
    EXPECT_EQ(colours.size(), 2u);
    DeleteObject(p);
  }
}

// A picture of one colour, any depth.
HBITMAP Solid(int w, int h, int bits, COLORREF c) {
  CDibSection dib;
  HBITMAP p = dib.Create(w, h, bits, c);
  if (p && bits == 8) {
    RGBQUAD q{uint8_t(GetBValue(c)), uint8_t(GetGValue(c)), uint8_t(GetRValue(c)), 0};
    dib.SetPalette(p, &q, 1);
  }
  return p;
}

TEST(Scope, SetBrushTakesPicturesOverAndReleasesTheReplacedOnes) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(24, 24));
  CScope scope;
  ASSERT_EQ(scope.Init(&wnd), 1);
  scope.SetGrid(0, 0, 0);
  scope.SetFill(1);
  scope.SetGain(0.0f);
  // One picture in two slots, an 8-bit one in the third.
  HBITMAP shared = Solid(3, 3, 24, RGB(1, 2, 3));
  HBITMAP eight = Solid(2, 2, 8, RGB(9, 8, 7));
  scope.SetBrush(shared, shared, eight);
  scope.SetRangeColumns(10, 19);
  Block flat(std::vector<float>(20, 0.0f));
  scope.Draw(flat.get());
  EXPECT_EQ(GetPixel24(scope.Picture(), 2, 1), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel24(scope.Picture(), 2, 18), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel24(scope.Picture(), 15, 18), RGB(9, 8, 7));
  // Keeping one picture in its slot must not release it; the shared one goes once.
  scope.SetBrush(eight, nullptr, eight);
  EXPECT_EQ(IsBitmapObject(eight), 1);
  scope.Draw(flat.get());
  EXPECT_EQ(GetPixel24(scope.Picture(), 2, 1), RGB(9, 8, 7));
  COLORREF fill = 0;
  scope.GetColor(&fill, nullptr, nullptr, nullptr);
  EXPECT_EQ(GetPixel24(scope.Picture(), 2, 18), fill);
  // The last pictures go with the scope (the sanitizer build checks leaks and double frees).
}

}  // namespace
