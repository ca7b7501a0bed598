// Depth conversions, median-cut reduction, gray and edge pictures against plain pixel loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "spl/image/dib_section.h"
#include "tests/image/picture_file_util.h"

namespace {

using namespace pictest;

// What a colour becomes when stored at a colour depth.
COLORREF AtDepth(COLORREF c, int bits) {
  return bits == 16 ? RGB(GetRValue(c) & 0xF8, GetGValue(c) & 0xF8, GetBValue(c) & 0xF8) : c;
}

std::set<COLORREF> ColorsOf(HBITMAP h) {
  std::set<COLORREF> s;
  for (int y = 0; y < Rows(h); ++y)
    for (int x = 0; x < h->width; ++x) s.insert(ColorAt(h, x, y));
  return s;
}

constexpr int kDepths[] = {1, 4, 8, 16, 24, 32};

// Every test has a picture library.
class DibConvert : public ::testing::Test {
 protected:
  CDibSection dib;
};

TEST_F(DibConvert, EveryDepthToEveryDepthKeepsWhatFits) {
  // Odd widths, one row and one column, both row orders.
  const int sizes[][2] = {{1, 1}, {7, -3}, {13, 5}, {1, -9}, {33, 2}};
  for (const auto& sz : sizes)
    for (int from : kDepths)
      for (int to : kDepths) {
        SCOPED_TRACE(testing::Message() << sz[0] << "x" << sz[1] << " " << from << "->" << to);
        HBITMAP src = RandomPicture(dib, sz[0], sz[1], from, unsigned(from * 100 + to));
        ASSERT_NE(src, nullptr);
        HBITMAP out = dib.Convert(src, to);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(out->bits, to);
        EXPECT_EQ(out->width, src->width);
        EXPECT_EQ(out->height, src->height);
        const size_t distinct = ColorsOf(src).size();
        // Exact whenever the target can hold every colour of the source.
        const bool exact = to > 8 || from <= to || distinct <= size_t(1) << to;
        if (exact) {
          for (int y = 0; y < Rows(src); ++y)
            for (int x = 0; x < src->width; ++x)
              ASSERT_EQ(ColorAt(out, x, y), AtDepth(ColorAt(src, x, y), to)) << x << "," << y;
        }
        if (from <= 8 && to <= 8 && from <= to) {  // indices and palette kept
          for (int y = 0; y < Rows(src); ++y)
            for (int x = 0; x < src->width; ++x) ASSERT_EQ(IndexAt(out, x, y), IndexAt(src, x, y));
          EXPECT_EQ(0, std::memcmp(out->palette, src->palette, 4u << from));
        }
        for (HBITMAP h : {src, out}) DeleteObject(h);
      }
}

TEST_F(DibConvert, LosslessRoundTrips) {
  // 1 -> 24 -> 1: a black and white mask comes back bit for bit.
  HBITMAP mask = RandomPicture(dib, 21, 6, 1, 7);
  mask->palette[0] = RGBQUAD{0, 0, 0, 0};
  mask->palette[1] = RGBQUAD{255, 255, 255, 0};
  HBITMAP wide = dib.Convert(mask, 24);
  HBITMAP back = dib.Convert(wide, 1);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(0, std::memcmp(back->pixels, mask->pixels, size_t(dib.SizeH(mask))));
  EXPECT_EQ(0, std::memcmp(back->palette, mask->palette, 8));
  for (HBITMAP h : {wide, back, mask}) DeleteObject(h);

  // 8 -> 24 -> 8 with the same palette: every colour finds its own entry again.
  HBITMAP pal8 = RandomPicture(dib, 19, -11, 8, 8);
  HBITMAP as24 = dib.Convert(pal8, 24);
  HBITMAP again = dib.Create(19, -11, 8);
  ASSERT_EQ(dib.CopyPalette(pal8, again), 1);
  ASSERT_EQ(dib.Blit(again, 0, 0, 19, 11, as24, 0, 0), 1);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 19; ++x) {
      const int want = IndexAt(pal8, x, y);
      // A palette colour that appears twice maps to its first entry.
      int first = want;
      for (int i = 0; i < want; ++i)
        if (std::memcmp(&pal8->palette[i], &pal8->palette[want], 3) == 0) first = std::min(first, i);
      ASSERT_EQ(IndexAt(again, x, y), first);
    }
  for (HBITMAP h : {as24, again}) DeleteObject(h);

  DeleteObject(pal8);
}

TEST_F(DibConvert, OwnColoursAscendingWhenTheyFit) {
  HBITMAP p = dib.Create(5, 3, 24, 0x00FF00);
  SetColorAt(p, 0, 0, 0x0000FF);
  SetColorAt(p, 4, 2, 0x123456);
  HBITMAP out = dib.Convert(p, 4);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(dib.Colors(out), 3);
  EXPECT_EQ(RGB(out->palette[0].rgbRed, out->palette[0].rgbGreen, out->palette[0].rgbBlue), 0x0000FFu);
  EXPECT_EQ(RGB(out->palette[1].rgbRed, out->palette[1].rgbGreen, out->palette[1].rgbBlue), 0x00FF00u);
  EXPECT_EQ(RGB(out->palette[2].rgbRed, out->palette[2].rgbGreen, out->palette[2].rgbBlue), 0x123456u);
  EXPECT_EQ(IndexAt(out, 0, 0), 0);
  EXPECT_EQ(IndexAt(out, 1, 0), 1);
  EXPECT_EQ(IndexAt(out, 4, 2), 2);
  for (HBITMAP h : {p, out}) DeleteObject(h);
}

TEST_F(DibConvert, RefusesBadHandlesAndDepths) {
  EXPECT_EQ(dib.Convert(nullptr, 24), nullptr);
  EXPECT_EQ(dib.Error(), kDibInfo);
  BitmapObject fake{};
  EXPECT_EQ(dib.ConvertTo8(&fake, 0), nullptr);
  EXPECT_EQ(dib.Error(), kDibInfo);
  EXPECT_EQ(dib.ConvertToGray(&fake), nullptr);
  EXPECT_EQ(dib.BorderDetect(nullptr, 1), nullptr);
  HBITMAP p = dib.Create(4, 4, 24);
  dib.ClearError();
  EXPECT_EQ(dib.Convert(p, 7), nullptr);
  EXPECT_EQ(dib.Error(), kDibCreate);
  EXPECT_EQ(dib.Convert(p, 2), nullptr);
  HBITMAP same = dib.Convert(p, 0);  // 0: 24 bits
  ASSERT_NE(same, nullptr);
  EXPECT_EQ(same->bits, 24);
  for (HBITMAP h : {same, p}) DeleteObject(h);
}

TEST_F(DibConvert, NearestIndexTakesTheFirstOfEqualDistances) {
  const RGBQUAD pal[4] = {{0, 0, 0, 0}, {10, 10, 10, 0}, {10, 10, 10, 0}, {0, 0, 200, 0}};
  EXPECT_EQ(CDibSection::NearestIndex(pal, 4, RGB(9, 9, 9)), 1);
  EXPECT_EQ(CDibSection::NearestIndex(pal, 4, RGB(150, 0, 0)), 3);
  EXPECT_EQ(CDibSection::NearestIndex(pal, 4, RGB(5, 5, 5)), 0);  // tie 75 vs 75: first
  EXPECT_EQ(CDibSection::NearestIndex(pal, 3, RGB(150, 0, 0)), 1);
  EXPECT_EQ(CDibSection::NearestIndex(nullptr, 3, 0), 0);
}

// A picture of n distinct colours, each on whole 6-bit steps plus some low bits.
HBITMAP FewColours(CDibSection& dib, int w, int h, int n, unsigned seed, std::vector<COLORREF>& used) {
  std::mt19937 rng(seed);
  std::set<COLORREF> six;
  while (int(six.size()) < n) six.insert(RGB(rng() % 64, rng() % 64, rng() % 64));
  used.assign(six.begin(), six.end());
  HBITMAP p = dib.Create(w, h, 24);
  for (int y = 0; y < std::abs(h); ++y)
    for (int x = 0; x < w; ++x) {
      const COLORREF c = used[(x * 7 + y * 13) % n];
      SetColorAt(p, x, y, RGB(GetRValue(c) * 4 + int(rng() % 4), GetGValue(c) * 4 + int(rng() % 4),
                              GetBValue(c) * 4 + int(rng() % 4)));
    }
  return p;
}

TEST_F(DibConvert, MedianCutKeepsFewColoursExactly) {
  for (int n : {1, 17, 256}) {
    SCOPED_TRACE(n);
    std::vector<COLORREF> used;
    HBITMAP p = FewColours(dib, 61, -37, n, unsigned(n), used);
    HBITMAP q = dib.ConvertTo8(p, 0);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->bits, 8);
    EXPECT_EQ(dib.Colors(q), 256);
    EXPECT_EQ(q->height, -37);
    for (int y = 0; y < 37; ++y)
      for (int x = 0; x < 61; ++x) {
        const COLORREF c = ColorAt(p, x, y);
        const COLORREF want = RGB(GetRValue(c) & 0xFC, GetGValue(c) & 0xFC, GetBValue(c) & 0xFC);
        ASSERT_EQ(ColorAt(q, x, y), want) << x << "," << y;
      }
    // Dithering changes nothing when every colour is in the palette.
    HBITMAP d = dib.ConvertTo8(p, 1);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(0, std::memcmp(d->pixels, q->pixels, size_t(dib.SizeH(q))));
    for (HBITMAP h : {d, p, q}) DeleteObject(h);
  }
}

// A smooth picture with many colours, like a photograph of a sky.
HBITMAP Gradient(CDibSection& dib, int w, int h) {
  HBITMAP p = dib.Create(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      SetColorAt(p, x, y, RGB(x * 255 / (w - 1), y * 255 / (h - 1), (x + y) * 255 / (w + h - 2)));
  return p;
}

TEST_F(DibConvert, MedianCutBoundsTheErrorOnAGradient) {
  HBITMAP p = Gradient(dib, 256, 160);
  HBITMAP q = dib.ConvertTo8(p, 0);
  ASSERT_NE(q, nullptr);
  double sum = 0;
  int worst = 0;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 256; ++x) {
      const COLORREF a = ColorAt(p, x, y), b = ColorAt(q, x, y);
      const int e = std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                              std::abs(GetBValue(a) - GetBValue(b))});
      worst = std::max(worst, e);
      sum += e;
    }
  EXPECT_LE(worst, 24);
  EXPECT_LT(sum / (256 * 160), 8.0);
  for (int i = 0; i < 256; ++i) {  // palette in 6-bit steps
    EXPECT_EQ(q->palette[i].rgbRed % 4, 0);
    EXPECT_EQ(q->palette[i].rgbBlue % 4, 0);
  }
  DeleteObject(q);

  // Dithering trades pixel error for area error: block means come closer to the original.
  HBITMAP d = dib.ConvertTo8(p, 1);
  ASSERT_NE(d, nullptr);
  HBITMAP plain = dib.ConvertTo8(p, 0);
  double errPlain = 0, errDither = 0;
  for (int by = 0; by < 160; by += 8)
    for (int bx = 0; bx < 256; bx += 8)
      for (int k = 0; k < 3; ++k) {
        double o = 0, a = 0, b = 0;
        for (int y = by; y < by + 8; ++y)
          for (int x = bx; x < bx + 8; ++x) {
            const int s = 8 * k;
            o += (ColorAt(p, x, y) >> s) & 255;
            a += (ColorAt(plain, x, y) >> s) & 255;
            b += (ColorAt(d, x, y) >> s) & 255;
          }
        errPlain += std::abs(a - o) / 64;
        errDither += std::abs(b - o) / 64;
      }
  EXPECT_LT(errDither, errPlain);
  for (HBITMAP h : {plain, d, p}) DeleteObject(h);
}

// Error diffusion as a plain loop over the picture with the palette the reduction made.
TEST_F(DibConvert, DitherFollowsTheDiffusionRule) {
  // More distinct colours than palette entries, so that all 256 boxes are in use.
  const int w = 40, h = 20;
  HBITMAP p = Gradient(dib, w, h);
  HBITMAP q = dib.ConvertTo8(p, 1);
  ASSERT_NE(q, nullptr);
  std::vector<std::array<int, 3>> pal;
  for (int i = 0; i < 256; ++i)
    pal.push_back({q->palette[i].rgbRed / 4, q->palette[i].rgbGreen / 4, q->palette[i].rgbBlue / 4});
  const int n = 256;
  std::vector<int> above(size_t(w + 1) * 3), below(size_t(w + 1) * 3);
  int carry[3] = {};
  for (int y = 0; y < h; ++y) {
    std::fill(below.begin(), below.end(), 0);
    for (int x = 0; x < w; ++x) {
      const COLORREF c = ColorAt(p, x, y);
      const int v[3] = {GetRValue(c) / 4, GetGValue(c) / 4, GetBValue(c) / 4};
      int t[3];
      for (int k = 0; k < 3; ++k) t[k] = std::clamp(v[k] + (above[size_t(x * 3 + k)] + carry[k]) / 512, 0, 63);
      int best = 0, bestD = 1 << 30;
      for (int i = 0; i < n; ++i) {
        int dd = 0;
        for (int k = 0; k < 3; ++k) dd += (t[k] - pal[size_t(i)][size_t(k)]) * (t[k] - pal[size_t(i)][size_t(k)]);
        if (dd < bestD) bestD = dd, best = i;
      }
      ASSERT_EQ(IndexAt(q, x, y), best) << x << "," << y;
      for (int k = 0; k < 3; ++k) {
        const int e = t[k] - pal[size_t(best)][size_t(k)];
        carry[k] = e * 192;
        below[size_t(x * 3 + k)] += e * 192;
        below[size_t((x + 1) * 3 + k)] = e * 128;
      }
    }
    above.swap(below);
  }
  for (HBITMAP h : {q, p}) DeleteObject(h);
}

TEST_F(DibConvert, GrayWeights) {
  HBITMAP p = dib.Create(6, 1, 24);
  const COLORREF in[6] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255), 0,
                          RGB(100, 100, 100)};
  for (int x = 0; x < 6; ++x) SetColorAt(p, x, 0, in[x]);
  HBITMAP g = dib.ConvertToGray(p);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->bits, 8);
  const int want[6] = {77, 151, 28, 255, 0, 100};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(IndexAt(g, x, 0), want[x]) << x;
  EXPECT_EQ(g->palette[200].rgbBlue, 200);  // a gray ramp
  for (HBITMAP h : {g, p}) DeleteObject(h);

  // Palette pictures are grayed through their colours; any colour by the weights, rounded up.
  HBITMAP r = RandomPicture(dib, 17, -5, 4, 3);
  HBITMAP rg = dib.ConvertToGray(r);
  ASSERT_NE(rg, nullptr);
  EXPECT_EQ(rg->height, -5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 17; ++x) {
      const COLORREF c = ColorAt(r, x, y);
      const int sum = 77 * GetRValue(c) + 151 * GetGValue(c) + 28 * GetBValue(c);
      EXPECT_EQ(IndexAt(rg, x, y), (sum + 255) / 256);
    }
  for (HBITMAP h : {rg, r}) DeleteObject(h);
}

// The edge operator families as written down, applied by a plain loop.
int RefEdge(HBITMAP p, int x, int y, int family) {
  static const int k[3][4][9] = {
      {{-1, -2, -1, 0, 0, 0, 1, 2, 1}, {0, -1, -2, 1, 0, -1, 2, 1, 0}, {-1, 0, 1, -2, 0, 2, -1, 0, 1},
       {-2, -1, 0, -1, 0, 1, 0, 1, 2}},
      {{-1, 0, 1, -1, 0, 1, -1, 0, 1}, {-1, -1, 0, -1, 0, 1, 0, 1, 1}, {-1, -1, -1, 0, 0, 0, 1, 1, 1},
       {0, -1, -1, 1, 0, -1, 1, 1, 0}},
      {{-100, 0, 100, -141, 0, 141, -100, 0, 100}, {-141, -100, 0, -100, 0, 100, 0, 100, 141},
       {-100, -141, -100, 0, 0, 0, 100, 141, 100}, {0, -100, -141, 100, 0, -100, 141, 100, 0}}};
  static const int div[3] = {2, 1, 141};
  int most = 0;
  for (int m = 0; m < 4; ++m) {
    int s = 0;
    for (int j = -1; j <= 1; ++j)
      for (int i = -1; i <= 1; ++i) {
        const int xx = std::clamp(x + i, 0, p->width - 1), yy = std::clamp(y + j, 0, Rows(p) - 1);
        s += k[family][m][(j + 1) * 3 + i + 1] * IndexAt(p, xx, yy);
      }
    most = std::max(most, std::abs(s));
  }
  return std::min(most / div[family], 255);
}

TEST_F(DibConvert, BorderDetectOnAStepEdge) {
  for (int height : {12, -12}) {
    HBITMAP p = dib.Create(16, height, 8);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 16; ++x) SetIndex(p, x, y, x < 8 ? 10 : 50 + (y > 6 ? 30 : 0));
    for (int ops : {1, 2, 4, 3, 7}) {
      SCOPED_TRACE(ops);
      const int family = ops & 4 ? 2 : ops & 2 ? 1 : 0;
      HBITMAP e = dib.BorderDetect(p, ops);
      ASSERT_NE(e, nullptr);
      EXPECT_EQ(e->height, height);
      EXPECT_EQ(e->palette[200].rgbGreen, 200);
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(IndexAt(e, x, y), RefEdge(p, x, y, family)) << x << "," << y;
      // Flat areas give nothing, the step its height times the kernel's weight.
      EXPECT_EQ(IndexAt(e, 2, 2), 0);
      EXPECT_GT(IndexAt(e, 8, 2), 0);
      DeleteObject(e);
    }
    HBITMAP none = dib.BorderDetect(p, 0);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(IndexAt(none, 8, 2), 0);
    for (HBITMAP h : {none, p}) DeleteObject(h);
  }
  // A 24-bit picture is taken through its gray values; one pixel is flat.
  HBITMAP one = dib.Create(1, 1, 24, 0xFFFFFF);
  HBITMAP e = dib.BorderDetect(one, 1);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(IndexAt(e, 0, 0), 0);
  for (HBITMAP h : {e, one}) DeleteObject(h);
}

TEST_F(DibConvert, ManyColoursToAPaletteDepthGoThroughMedianCut) {
  HBITMAP p = Gradient(dib, 64, 48);
  HBITMAP a = dib.Convert(p, 8);
  HBITMAP b = dib.ConvertTo8(p, 0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(0, std::memcmp(a->pixels, b->pixels, size_t(dib.SizeH(a))));
  EXPECT_EQ(0, std::memcmp(a->palette, b->palette, 1024));
  // Sixteen colours for a 4-bit picture, each the mean of its box in 6-bit steps.
  HBITMAP c = dib.Convert(p, 4);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(dib.Colors(c), 16);
  std::set<COLORREF> entries;
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(c->palette[i].rgbGreen % 4, 0);
    entries.insert(RGB(c->palette[i].rgbRed, c->palette[i].rgbGreen, c->palette[i].rgbBlue));
  }
  EXPECT_EQ(entries.size(), 16u);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const COLORREF o = ColorAt(p, x, y), q = ColorAt(c, x, y);
      for (int k = 0; k < 3; ++k) ASSERT_LE(std::abs(int((o >> (8 * k)) & 255) - int((q >> (8 * k)) & 255)), 96);
    }
  for (HBITMAP h : {a, b, c, p}) DeleteObject(h);
}

}  // namespace
