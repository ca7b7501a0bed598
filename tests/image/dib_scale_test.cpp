// Shrinking, enlarging, scaling, fitting and copies between pictures, checked against box
// averages and copy loops computed here.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "spl/image/dib_section.h"
#include "tests/image/picture_file_util.h"

namespace {

using namespace pictest;

int Channel(COLORREF c, int k) { return int((c >> (8 * k)) & 255); }

// The box average of the shrinking rule: boxes [i * srcW / w, (i + 1) * srcW / w).
COLORREF RefShrink(HBITMAP s, int w, int h, int i, int j) {
  const int sw = s->width, sh = Rows(s);
  const int x0 = i * sw / w, x1 = (i + 1) * sw / w;
  const int y0 = j * sh / h, y1 = std::max(y0 + 1, (j + 1) * sh / h);
  if (x1 == x0) return ColorAt(s, x0, y0);
  long sum[3] = {};
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      for (int k = 0; k < 3; ++k) sum[k] += Channel(ColorAt(s, x, y), k);
  const long n = long(x1 - x0) * (y1 - y0);
  return RGB(int(sum[0] / n), int(sum[1] / n), int(sum[2] / n));
}

std::vector<long> g_rows;
int Record(long user, long row) {
  g_rows.push_back(user * 1000 + row);
  return 0;
}

// Every test has a picture library.
class DibScale : public ::testing::Test {
 protected:
  CDibSection dib;
};

TEST_F(DibScale, ShrinkIsATruncatedBoxAverage) {
  HBITMAP s = RandomPicture(dib, 37, -23, 24, 1);
  g_rows.clear();
  HBITMAP d = dib.Shrink(s, 10, 7, 0, Record, 4);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->width, 10);
  EXPECT_EQ(d->height, -7);
  EXPECT_EQ(d->bits, 24);
  for (int j = 0; j < 7; ++j)
    for (int i = 0; i < 10; ++i) ASSERT_EQ(ColorAt(d, i, j), RefShrink(s, 10, 7, i, j)) << i << "," << j;
  ASSERT_EQ(g_rows.size(), 7u);
  for (int j = 0; j < 7; ++j) EXPECT_EQ(g_rows[size_t(j)], 4000 + j);
  DeleteObject(d);

  // Growing axes: a box without columns takes its top left source pixel, a band without
  // rows its first row.
  for (const auto& size : {std::pair{50, 30}, std::pair{60, 10}, std::pair{8, 40}}) {
    d = dib.Shrink(s, size.first, size.second, 0);
    ASSERT_NE(d, nullptr);
    for (int j = 0; j < size.second; ++j)
      for (int i = 0; i < size.first; ++i)
        ASSERT_EQ(ColorAt(d, i, j), RefShrink(s, size.first, size.second, i, j)) << i << "," << j;
    DeleteObject(d);
  }
  DeleteObject(s);
}

TEST_F(DibScale, ShrinkKeepsDepthAndPalette) {
  HBITMAP s = RandomPicture(dib, 30, 20, 8, 2);
  HBITMAP d = dib.Shrink(s, 7, 5, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->bits, 8);
  EXPECT_EQ(0, std::memcmp(d->palette, s->palette, 1024));
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 7; ++i)  // the nearest entry to the box average
      ASSERT_EQ(IndexAt(d, i, j),
                CDibSection::NearestIndex(s->palette, 256, RefShrink(s, 7, 5, i, j)));
  for (HBITMAP h : {d, s}) DeleteObject(h);
}

TEST_F(DibScale, ShrinkSizes) {
  HBITMAP s = dib.Create(100, 50, 24, 0x102030);
  HBITMAP a = dib.Shrink(s, 10, 10, 1);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->width, 10);
  EXPECT_EQ(a->height, 5);
  EXPECT_EQ(ColorAt(a, 9, 4), 0x102030u);
  HBITMAP b = dib.Shrink(s, 10, 10, 0);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->width, 10);
  EXPECT_EQ(b->height, 10);
  for (HBITMAP h : {a, b}) DeleteObject(h);
  EXPECT_EQ(dib.Shrink(s, 0, 10, 0), nullptr);
  EXPECT_EQ(dib.Error(), kDibSize);
  EXPECT_EQ(dib.Shrink(s, 10, -1, 1), nullptr);
  EXPECT_EQ(dib.Error(), kDibSize);
  EXPECT_EQ(dib.Shrink(nullptr, 10, 10, 0), nullptr);
  EXPECT_EQ(dib.Error(), kDibInfo);
  DeleteObject(s);
  // A flat picture keeps one row instead of none.
  HBITMAP flat = dib.Create(100, 1, 8);
  HBITMAP f = dib.Shrink(flat, 10, 10, 1);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->width, 10);
  EXPECT_EQ(f->height, 1);
  for (HBITMAP h : {f, flat}) DeleteObject(h);
}

// The enlarging rule written out: at most two source pixels per axis, weighted by share.
COLORREF RefBlow(HBITMAP s, int w, int h, int i, int j) {
  const int sw = s->width, sh = Rows(s);
  const double fx = double(sw) / w, fy = double(sh) / h;
  auto taps = [](int k, double f, int n, int& a, int& b, double& wa, double& wb) {
    a = int(k * f);
    b = std::min(int((k + 1) * f), n - 1);
    if (a == b) {
      wa = 1, wb = 0;
    } else {
      wa = b / f - k, wb = (k + 1) - b / f;
    }
  };
  int xa, xb, ya, yb;
  double wxa, wxb, wya, wyb;
  taps(i, fx, sw, xa, xb, wxa, wxb);
  taps(j, fy, sh, ya, yb, wya, wyb);
  int out[3];
  for (int k = 0; k < 3; ++k) {
    const double v = wya * (wxa * Channel(ColorAt(s, xa, ya), k) + wxb * Channel(ColorAt(s, xb, ya), k)) +
                     wyb * (wxa * Channel(ColorAt(s, xa, yb), k) + wxb * Channel(ColorAt(s, xb, yb), k));
    out[k] = std::min(255, int(v + 0.5));
  }
  return RGB(out[0], out[1], out[2]);
}

TEST_F(DibScale, BlowWeighsBySharesOfTheFootprint) {
  HBITMAP s = RandomPicture(dib, 5, 4, 24, 3);
  g_rows.clear();
  HBITMAP d = dib.Blow(s, 13, 9, Record, 1);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->bits, 24);
  EXPECT_EQ(g_rows.size(), 9u);
  for (int j = 0; j < 9; ++j)
    for (int i = 0; i < 13; ++i) {
      const COLORREF got = ColorAt(d, i, j), want = RefBlow(s, 13, 9, i, j);
      for (int k = 0; k < 3; ++k) ASSERT_NEAR(Channel(got, k), Channel(want, k), 1) << i << "," << j;
    }
  DeleteObject(d);

  // Whole factors repeat pixels; 2 -> 3 puts the mean in the middle.
  HBITMAP two = dib.Create(2, 1, 24);
  SetColorAt(two, 0, 0, RGB(10, 20, 30));
  SetColorAt(two, 1, 0, RGB(30, 40, 51));
  HBITMAP four = dib.Blow(two, 4, 2);
  ASSERT_NE(four, nullptr);
  for (int j = 0; j < 2; ++j) {
    EXPECT_EQ(ColorAt(four, 0, j), RGB(10, 20, 30));
    EXPECT_EQ(ColorAt(four, 1, j), RGB(10, 20, 30));
    EXPECT_EQ(ColorAt(four, 2, j), RGB(30, 40, 51));
    EXPECT_EQ(ColorAt(four, 3, j), RGB(30, 40, 51));
  }
  HBITMAP three = dib.Blow(two, 3, 1);
  EXPECT_EQ(ColorAt(three, 1, 0), RGB(20, 30, 41));  // 40.5 rounds up
  for (HBITMAP h : {four, three}) DeleteObject(h);

  // Called to reduce, it averages every covered pixel instead of overflowing.
  HBITMAP white = dib.Create(9, 9, 24, 0xFFFFFF);
  HBITMAP small = dib.Blow(white, 2, 2);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(ColorAt(small, 1, 1), 0xFFFFFFu);
  for (HBITMAP h : {small, white}) DeleteObject(h);

  // Palette sources are taken through their colours.
  HBITMAP ix = RandomPicture(dib, 3, 3, 4, 5);
  HBITMAP b = dib.Blow(ix, 6, 6);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(ColorAt(b, 5, 5), ColorAt(ix, 2, 2));
  for (HBITMAP h : {b, ix, two, s}) DeleteObject(h);
}

TEST_F(DibScale, TooLargeResultsFailAsMemory) {
  HBITMAP s = dib.Create(4, 4, 24);
  EXPECT_EQ(dib.Blow(s, 30000, 30000), nullptr);
  EXPECT_EQ(dib.Error(), kDibMemory);
  EXPECT_EQ(dib.Scale(s, 40000, 5), nullptr);
  EXPECT_EQ(dib.Error(), kDibMemory);
  EXPECT_EQ(dib.Blow(s, 0, 5), nullptr);
  EXPECT_EQ(dib.Error(), kDibSize);
  DeleteObject(s);
}

TEST_F(DibScale, ScaleChoosesShrinkBlowOrBoth) {
  HBITMAP s = RandomPicture(dib, 20, 12, 8, 6);
  auto same = [&](HBITMAP a, HBITMAP b) {
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(a->bits, b->bits);
    ASSERT_EQ(a->width, b->width);
    ASSERT_EQ(a->height, b->height);
    EXPECT_EQ(0, std::memcmp(a->pixels, b->pixels, size_t(dib.SizeH(a))));
    for (HBITMAP h : {a, b}) DeleteObject(h);
  };
  same(dib.Scale(s, 7, 5), dib.Shrink(s, 7, 5, 0));
  same(dib.Scale(s, 31, 12), dib.Blow(s, 31, 12));
  HBITMAP mid = dib.Shrink(s, 7, 12, 0);
  same(dib.Scale(s, 7, 40), dib.Blow(mid, 7, 40));
  DeleteObject(mid);
  mid = dib.Shrink(s, 20, 3, 0);
  same(dib.Scale(s, 50, 3), dib.Blow(mid, 50, 3));
  DeleteObject(mid);
  EXPECT_EQ(dib.Scale(s, 5, 0), nullptr);
  EXPECT_EQ(dib.Error(), kDibSize);
  DeleteObject(s);
}

TEST_F(DibScale, SymScaleRectangles) {
  RECT r{};
  auto corners = [&] { return std::array<long, 4>{r.left, r.top, r.right, r.bottom}; };
  EXPECT_DOUBLE_EQ(CDibSection::SymScale(400, 300, 200, 200, r), 0.5);
  EXPECT_EQ(corners(), (std::array<long, 4>{0, 25, 200, 175}));
  EXPECT_DOUBLE_EQ(CDibSection::SymScale(100, 100, 200, 200, r), 1.0);
  EXPECT_EQ(corners(), (std::array<long, 4>{50, 50, 150, 150}));
  // Odd leftovers: halves truncate.
  EXPECT_DOUBLE_EQ(CDibSection::SymScale(1810, 1200, 301, 301, r), 301.0 / 1810);
  EXPECT_EQ(r.right - r.left, 301);
  EXPECT_EQ(r.bottom - r.top, int(1200 * (301.0 / 1810)));
  EXPECT_EQ(r.top, (301 - (r.bottom - r.top)) / 2);
  EXPECT_DOUBLE_EQ(CDibSection::SymScale(0, 10, 20, 20, r), 0.0);
}

// Copy loops: a destination pixel changes exactly where both pictures hold the copied pixel.
void CheckBlit(CDibSection& dib, int dstBits, int srcBits, int x, int y, int w, int h, int sx, int sy) {
  SCOPED_TRACE(testing::Message() << dstBits << "<-" << srcBits << " at " << x << "," << y << " " << w
                                  << "x" << h << " from " << sx << "," << sy);
  HBITMAP dst = RandomPicture(dib, 11, 7, dstBits, 11);
  HBITMAP src = RandomPicture(dib, 9, -6, srcBits, 12);
  if (dstBits == srcBits && dstBits <= 8) {
    ASSERT_EQ(dib.CopyPalette(src, dst), 1);
  }
  HBITMAP before = dib.Copy(dst);
  ASSERT_EQ(dib.Blit(dst, x, y, w, h, src, sx, sy), 1);
  for (int j = 0; j < 7; ++j)
    for (int i = 0; i < 11; ++i) {
      const int u = i - x + sx, v = j - y + sy;
      const bool copied = i >= x && i < x + w && j >= y && j < y + h && u >= 0 && u < 9 && v >= 0 && v < 6;
      if (!copied) {
        ASSERT_EQ(ColorAt(dst, i, j), ColorAt(before, i, j)) << i << "," << j;
      } else if (dstBits == srcBits && dstBits <= 8) {
        ASSERT_EQ(IndexAt(dst, i, j), IndexAt(src, u, v)) << i << "," << j;
      } else if (dstBits == 24) {
        ASSERT_EQ(ColorAt(dst, i, j), ColorAt(src, u, v)) << i << "," << j;
      } else {  // into a palette: the nearest entry
        ASSERT_EQ(IndexAt(dst, i, j), CDibSection::NearestIndex(dst->palette, 1 << dstBits, ColorAt(src, u, v)));
      }
    }
  // Row padding stays untouched.
  for (int j = 0; j < 7; ++j)
    for (int b = (11 * dstBits + 7) / 8; b < dst->bpl; ++b) ASSERT_EQ(RowBytes(dst, j)[b], RowBytes(before, j)[b]);
  for (HBITMAP h : {before, dst, src}) DeleteObject(h);
}

TEST_F(DibScale, BlitClipsAtEveryEdge) {
  const int places[][6] = {
      {0, 0, 9, 6, 0, 0},    {-3, 0, 9, 6, 0, 0},  {0, -2, 9, 6, 0, 0},  {8, 5, 9, 6, 0, 0},
      {2, 1, 9, 6, -4, 0},   {2, 1, 9, 6, 0, -3},  {1, 1, 20, 20, 5, 4}, {10, 6, 5, 5, 8, 5},
      {-5, -5, 30, 30, -2, -1}, {11, 0, 3, 3, 0, 0}, {0, 0, 3, 3, 9, 0},  {3, 2, 1, 1, 4, 3},
      {0, 0, 0, 4, 0, 0}};
  const int pairs[][2] = {{24, 24}, {8, 8}, {4, 4}, {1, 1}, {24, 8}, {8, 24}, {24, 1}, {4, 24}};
  for (const auto& pr : pairs)
    for (const auto& p : places) CheckBlit(dib, pr[0], pr[1], p[0], p[1], p[2], p[3], p[4], p[5]);
  HBITMAP a = dib.Create(4, 4, 24);
  EXPECT_EQ(dib.Blit(a, 0, 0, -1, 2, a, 0, 0), 0);
  EXPECT_EQ(dib.Error(), kDibSize);
  EXPECT_EQ(dib.Blit(a, 0, 0, 1, 1, nullptr, 0, 0), 0);
  EXPECT_EQ(dib.Error(), kDibInfo);
  DeleteObject(a);
}

TEST_F(DibScale, BlitInsideOnePictureReadsTheOldPixels) {
  for (int bits : {24, 4}) {
    HBITMAP p = RandomPicture(dib, 10, 6, bits, 21);
    HBITMAP old = dib.Copy(p);
    ASSERT_EQ(dib.Blit(p, 2, 1, 8, 5, p, 0, 0), 1);
    for (int j = 1; j < 6; ++j)
      for (int i = 2; i < 10; ++i) ASSERT_EQ(ColorAt(p, i, j), ColorAt(old, i - 2, j - 1));
    for (HBITMAP h : {old, p}) DeleteObject(h);
  }
}

// Rounded box means over the source boxes [i*sw/w, ceil((i+1)*sw/w)).
COLORREF RefStretch(HBITMAP s, int sx, int sy, int sw, int sh, int w, int h, int i, int j) {
  const int x0 = sx + i * sw / w, x1 = sx + ((i + 1) * sw + w - 1) / w;
  const int y0 = sy + j * sh / h, y1 = sy + ((j + 1) * sh + h - 1) / h;
  long sum[3] = {}, n = 0;
  for (int y = std::max(y0, 0); y < std::min(y1, Rows(s)); ++y)
    for (int x = std::max(x0, 0); x < std::min(x1, s->width); ++x) {
      ++n;
      for (int k = 0; k < 3; ++k) sum[k] += Channel(ColorAt(s, x, y), k);
    }
  if (n == 0) return 0xFFFFFFFFu;
  return RGB(int((sum[0] + n / 2) / n), int((sum[1] + n / 2) / n), int((sum[2] + n / 2) / n));
}

TEST_F(DibScale, StretchAveragesBoxesAndClips) {
  HBITMAP s = RandomPicture(dib, 12, -10, 24, 31);
  const int cases[][8] = {
      {0, 0, 6, 5, 0, 0, 12, 10},   // halving: 2 x 2 means
      {0, 0, 16, 16, 2, 2, 4, 4},   // enlarging by 4: repeats
      {-3, -2, 9, 9, 0, 0, 12, 10}, // destination cut on the top left
      {5, 4, 9, 9, -2, -3, 7, 7},   // source and destination cut
      {0, 0, 5, 3, 3, 1, 7, 9},     // uneven factors
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c[0] << "," << c[1] << " " << c[2] << "x" << c[3]);
    HBITMAP d = dib.Create(8, 8, 24, 0x010203);
    ASSERT_EQ(dib.Stretch(d, c[0], c[1], c[2], c[3], s, c[4], c[5], c[6], c[7]), 1);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        const int i = x - c[0], j = y - c[1];
        COLORREF want = 0x010203;
        if (i >= 0 && i < c[2] && j >= 0 && j < c[3]) {
          const COLORREF r = RefStretch(s, c[4], c[5], c[6], c[7], c[2], c[3], i, j);
          if (r != 0xFFFFFFFFu) want = r;
        }
        ASSERT_EQ(ColorAt(d, x, y), want) << x << "," << y;
      }
    DeleteObject(d);
  }
  HBITMAP d = dib.Create(8, 8, 8);
  // A huge destination region costs only the part inside the picture.
  ASSERT_EQ(dib.Stretch(d, -1000000000, 0, 2000000000, 8, s, 0, 0, 12, 10), 1);
  EXPECT_EQ(dib.Stretch(d, 0, 0, 4, -4, s, 0, 0, 4, 4), 0);
  EXPECT_EQ(dib.Error(), kDibSize);
  for (HBITMAP h : {d, s}) DeleteObject(h);
}

TEST_F(DibScale, MaskBlitCopiesWhereTheMaskIsSet) {
  for (int bits : {24, 8, 1}) {
    SCOPED_TRACE(bits);
    HBITMAP src = RandomPicture(dib, 9, 7, bits, 41);
    HBITMAP dst = RandomPicture(dib, 10, -8, bits, 42);
    HBITMAP mask = dib.Create(7, 7, 1);  // narrower than the source: beyond it nothing is copied
    std::mt19937 rng(43);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 7; ++x) SetIndex(mask, x, y, int(rng() & 1));
    HBITMAP before = dib.Copy(dst);
    ASSERT_EQ(dib.MaskBlit(dst, -1, 2, 12, 12, src, 0, 1, mask), 1);
    for (int j = 0; j < 8; ++j)
      for (int i = 0; i < 10; ++i) {
        const int u = i + 1, v = j - 2 + 1;
        const bool copied = j >= 2 && u < 9 && v < 7 && u < 7 && IndexAt(mask, u, v);
        if (copied && bits <= 8) {
          ASSERT_EQ(IndexAt(dst, i, j), IndexAt(src, u, v)) << i << "," << j;
        } else {
          ASSERT_EQ(ColorAt(dst, i, j), copied ? ColorAt(src, u, v) : ColorAt(before, i, j)) << i << "," << j;
        }
      }
    EXPECT_EQ(dib.MaskBlit(dst, 0, 0, 2, 2, src, 0, 0, src), bits == 1 ? 1 : 0);
    for (HBITMAP h : {before, mask, dst, src}) DeleteObject(h);
  }
  // Across depths the colours go through the destination palette.
  HBITMAP src = RandomPicture(dib, 4, 4, 24, 51);
  HBITMAP dst = RandomPicture(dib, 4, 4, 8, 52);
  HBITMAP mask = dib.Create(4, 4, 1);
  SetIndex(mask, 1, 2, 1);
  HBITMAP before = dib.Copy(dst);
  ASSERT_EQ(dib.MaskBlit(dst, 0, 0, 4, 4, src, 0, 0, mask), 1);
  EXPECT_EQ(IndexAt(dst, 1, 2), CDibSection::NearestIndex(dst->palette, 256, ColorAt(src, 1, 2)));
  EXPECT_EQ(IndexAt(dst, 0, 0), IndexAt(before, 0, 0));
  for (HBITMAP h : {before, mask, dst, src}) DeleteObject(h);
}

// Random places and sizes, also far outside both pictures, for every depth pair.
TEST_F(DibScale, RandomCopiesStayInsideBothPictures) {
  std::mt19937 rng(77);
  const int depths[] = {1, 4, 8, 24};
  auto any = [&](int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); };
  for (int n = 0; n < 150; ++n) {
    const int db = depths[rng() % 4], sb = depths[rng() % 4];
    CheckBlit(dib, db, sb, any(-12, 14), any(-9, 9), any(0, 25), any(0, 16), any(-12, 12), any(-9, 9));
  }
  for (int n = 0; n < 150; ++n) {
    const int db = depths[rng() % 4], sb = depths[rng() % 4];
    HBITMAP src = sb == 24 ? RandomPicture(dib, any(1, 9), any(-5, 5) | 1, 24, 5) : RandomPicture(dib, any(1, 9), any(1, 5), sb, 5);
    HBITMAP dst = db == 24 ? RandomPicture(dib, any(1, 9), any(-5, 5) | 1, 24, 6) : RandomPicture(dib, any(1, 9), any(1, 5), db, 6);
    HBITMAP mask = dib.Create(any(1, 9), any(1, 5), 1);
    std::memset(mask->pixels, 0xA5, size_t(dib.SizeH(mask)));
    EXPECT_EQ(dib.Stretch(dst, any(-10, 10), any(-10, 10), any(0, 20), any(0, 20), src, any(-10, 10),
                          any(-10, 10), any(0, 20), any(0, 20)), 1);
    EXPECT_EQ(dib.MaskBlit(dst, any(-10, 10), any(-10, 10), any(0, 20), any(0, 20), src, any(-10, 10),
                           any(-10, 10), mask), 1);
    for (HBITMAP h : {mask, dst, src}) DeleteObject(h);
  }
}

// One pixel, one row and one column, in both row orders, through every resampling step.
TEST_F(DibScale, TinyPictures) {
  const int sizes[][2] = {{1, 1}, {1, -1}, {1, 7}, {7, 1}, {5, -1}, {1, -6}};
  for (const auto& sz : sizes)
    for (int bits : {1, 4, 8, 24}) {
      SCOPED_TRACE(testing::Message() << sz[0] << "x" << sz[1] << " " << bits);
      HBITMAP s = RandomPicture(dib, sz[0], sz[1], bits, 8);
      const COLORREF corner = ColorAt(s, 0, 0);
      for (const auto& to : {std::pair{1, 1}, std::pair{3, 2}, std::pair{1, 9}, std::pair{9, 1}}) {
        HBITMAP a = dib.Shrink(s, to.first, to.second, 0);
        ASSERT_NE(a, nullptr);
        HBITMAP b = dib.Blow(s, to.first, to.second);
        ASSERT_NE(b, nullptr);
        HBITMAP c = dib.Scale(s, to.first, to.second);
        ASSERT_NE(c, nullptr);
        HBITMAP k = dib.Shrink(s, to.first, to.second, 1);
        ASSERT_NE(k, nullptr);
        EXPECT_GE(k->width, 1);
        if (std::abs(sz[1]) == 1 && sz[0] == 1) {  // one pixel: every result is that colour
          EXPECT_EQ(ColorAt(b, to.first - 1, to.second - 1), corner);
          EXPECT_EQ(ColorAt(c, 0, 0), corner);
        }
        for (HBITMAP h : {a, b, c, k}) DeleteObject(h);
      }
      for (HBITMAP r : {dib.ConvertTo8(s, 1), dib.ConvertToGray(s), dib.BorderDetect(s, 7), dib.Convert(s, 1),
                        dib.Convert(s, 16)}) {
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->width, s->width);
        EXPECT_EQ(r->height, s->height);
        DeleteObject(r);
      }
      DeleteObject(s);
    }
}

}  // namespace
