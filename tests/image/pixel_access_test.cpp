// The 8-, 24- and 1-bit pixel access classes: addressing in both row orders, clipping,
// 3 x 3 kernels against a plain loop, bounding boxes, the undo store and masks.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <random>

#include "spl/image/bit1.h"
#include "spl/image/bit24.h"
#include "spl/image/bit8.h"

namespace {

// Byte offset of pixel row y (from the top) as the layout stores it.
size_t RowOffset(HBITMAP h, int y) {
  const int rows = std::abs(h->height);
  return size_t(h->height > 0 ? rows - 1 - y : y) * size_t(h->bpl);
}

std::array<int, 4> Corners(const RECT& r) { return {int(r.left), int(r.top), int(r.right), int(r.bottom)}; }

TEST(PixelAccess, C8BitAddressesBothRowOrders) {
  CDibSection dib;
  for (int height : {5, -5}) {
    HBITMAP h = dib.Create(7, height, 8);
    C8Bit p;
    ASSERT_EQ(p.Init(h), 1);
    EXPECT_EQ(p.GetWidth(), 7);
    EXPECT_EQ(p.GetHeight(), 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) p.SetPixel(x, y, 10 * y + x);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) {
        ASSERT_EQ(h->pixels[RowOffset(h, y) + size_t(x)], 10 * y + x);
        ASSERT_EQ(p.GetPixel(x, y), 10 * y + x);
      }
    EXPECT_EQ(p.GetClipPixel(-4, -1), 0);
    EXPECT_EQ(p.GetClipPixel(99, 2), 26);
    EXPECT_EQ(p.GetClipPixel(3, 99), 43);
    DeleteObject(h);
  }
  HBITMAP wrong = dib.Create(3, 3, 24);
  C8Bit p;
  EXPECT_EQ(p.Init(wrong), 0);
  EXPECT_EQ(p.Error(), kDibTransfer);
  EXPECT_EQ(p.Init(nullptr), 0);
  EXPECT_EQ(p.Error(), kDibInfo);
  DeleteObject(wrong);
}

TEST(PixelAccess, C8BitKernelsAndBounds) {
  CDibSection dib;
  HBITMAP h = dib.Create(6, 4, 8);
  C8Bit p;
  ASSERT_EQ(p.Init(h), 1);
  std::mt19937 rng(1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) p.SetPixel(x, y, int(rng() % 256));
  const int k[9] = {1, 2, 3, -4, 5, -6, 7, -8, 9};
  EXPECT_EQ(p.InitMatrix(k), 1);
  EXPECT_EQ(p.MatrixSum(), 9);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      int want = 0;
      for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i)
          want += k[(j + 1) * 3 + i + 1] * p.GetPixel(std::clamp(x + i, 0, 5), std::clamp(y + j, 0, 3));
      ASSERT_EQ(p.GetMatrixPixel(x, y), want) << x << "," << y;
    }
  const int zero[9] = {-1, 0, 1, -1, 0, 1, -1, 0, 1};
  EXPECT_EQ(p.InitMatrix(zero), 0);

  std::memset(h->pixels, 0, size_t(dib.SizeH(h)));
  int l = -1, r = -1;
  RECT box{};
  EXPECT_EQ(p.GetLR(1, l, r), 0);
  EXPECT_EQ(p.GetRect(box), 0);
  p.SetPixel(2, 1, 9);
  p.SetPixel(4, 1, 9);
  p.SetPixel(1, 3, 1);
  EXPECT_EQ(p.GetLR(1, l, r), 1);
  EXPECT_EQ(l, 2);
  EXPECT_EQ(r, 4);
  EXPECT_EQ(p.GetLR(7, l, r), 0);
  ASSERT_EQ(p.GetRect(box), 1);
  EXPECT_EQ(Corners(box), (std::array{1, 1, 5, 4}));
  DeleteObject(h);
}

TEST(PixelAccess, C24BitColoursAndKernels) {
  CDibSection dib;
  for (int height : {3, -3}) {
    HBITMAP h = dib.Create(5, height, 24);
    C24Bit p;
    ASSERT_EQ(p.Init(h), 1);
    p.SetPixel(4, 0, RGB(1, 2, 3));
    const uint8_t* at = h->pixels + RowOffset(h, 0) + 12;
    EXPECT_EQ(at[0], 3);  // blue, green, red
    EXPECT_EQ(at[1], 2);
    EXPECT_EQ(at[2], 1);
    EXPECT_EQ(p.GetPixel(4, 0), RGB(1, 2, 3));
    p.SetClipPixel(5, 0, 0xFFFFFF);  // ignored
    p.SetClipPixel(-1, 2, 0xFFFFFF);
    EXPECT_EQ(p.GetClipPixel(9, -9), RGB(1, 2, 3));
    p.AddPixel(4, 0, RGB(255, 10, 0));
    EXPECT_EQ(p.GetPixel(4, 0), RGB(255, 12, 3));
    p.SubPixel(4, 0, RGB(5, 20, 1));
    EXPECT_EQ(p.GetPixel(4, 0), RGB(250, 0, 2));
    EXPECT_EQ(p.SumPixel(4, 0), 252);
    DeleteObject(h);
  }
  HBITMAP h = dib.Create(4, 4, 24);
  C24Bit p;
  ASSERT_EQ(p.Init(h), 1);
  std::mt19937 rng(2);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) p.SetPixel(x, y, rng() & 0xFFFFFF);
  const int blur[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
  const int edge[9] = {-1, -1, -1, -1, 8, -1, -1, -1, -1};
  for (const int* k : {blur, edge}) {
    int sum = 0;
    for (int i = 0; i < 9; ++i) sum += k[i];
    EXPECT_EQ(p.InitMatrix(k), sum != 0 ? 1 : 0);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        int want[3] = {};
        for (int j = -1; j <= 1; ++j)
          for (int i = -1; i <= 1; ++i) {
            const COLORREF c = p.GetPixel(std::clamp(x + i, 0, 3), std::clamp(y + j, 0, 3));
            for (int ch = 0; ch < 3; ++ch) want[ch] += k[(j + 1) * 3 + i + 1] * int((c >> (8 * ch)) & 255);
          }
        if (sum)
          for (int& v : want) v /= sum;
        int r, g, b;
        p.GetMatrixPixel(x, y, r, g, b);
        ASSERT_EQ(r, want[0]);
        ASSERT_EQ(g, want[1]);
        ASSERT_EQ(b, want[2]);
      }
  }
  DeleteObject(h);
}

TEST(PixelAccess, C24BitUndoAndRedo) {
  CDibSection dib;
  HBITMAP h = dib.Create(6, 5, 24, 0x111111);
  C24Bit p;
  ASSERT_EQ(p.Init(h), 1);
  EXPECT_EQ(p.Pop(), 0);
  EXPECT_EQ(p.Redo(), 0);
  HBITMAP original = dib.Copy(h);
  ASSERT_EQ(p.Push(RECT{-2, 1, 4, 3}), 1);  // clipped to the picture
  for (int y = 1; y < 3; ++y)
    for (int x = 0; x < 4; ++x) p.SetPixel(x, y, 0xABCDEF);
  HBITMAP edited = dib.Copy(h);
  ASSERT_EQ(p.Pop(), 1);
  EXPECT_EQ(0, std::memcmp(h->pixels, original->pixels, size_t(dib.SizeH(h))));
  EXPECT_EQ(p.RedoCount(), 1);
  ASSERT_EQ(p.Redo(), 1);
  EXPECT_EQ(0, std::memcmp(h->pixels, edited->pixels, size_t(dib.SizeH(h))));
  EXPECT_EQ(p.UndoCount(), 1);
  ASSERT_EQ(p.Pop(), 1);
  EXPECT_EQ(p.RemoveLastRedo(), 1);
  EXPECT_EQ(p.RemoveLastRedo(), 0);
  EXPECT_EQ(p.Push(RECT{7, 0, 9, 2}), 0);  // nothing of it inside
  ASSERT_EQ(p.Push(RECT{0, 0, 6, 5}), 1);
  p.KillUndoRedo();
  EXPECT_EQ(p.UndoCount(), 0);
  for (HBITMAP h : {original, edited, h}) DeleteObject(h);
}

TEST(PixelAccess, C1BitMasks) {
  C1Bit m;
  ASSERT_EQ(m.Init(13, 3), 1);
  HBITMAP h = m.Handle();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->bits, 1);
  EXPECT_EQ(h->palette[1].rgbRed, 255);
  m.SetPixel(0, 0, 1);
  m.SetPixel(12, 0, 1);
  m.SetPixel(9, 2, 1);
  EXPECT_EQ(h->pixels[RowOffset(h, 0)], 0x80);
  EXPECT_EQ(h->pixels[RowOffset(h, 0) + 1], 0x08);
  EXPECT_EQ(m.GetClipPixel(20, -3), 1);
  int l, r;
  ASSERT_EQ(m.GetLR(0, l, r), 1);
  EXPECT_EQ(l, 0);
  EXPECT_EQ(r, 12);
  EXPECT_EQ(m.GetLR(1, l, r), 0);
  RECT box{};
  ASSERT_EQ(m.GetRect(box), 1);
  EXPECT_EQ(Corners(box), (std::array{0, 0, 13, 3}));
  m.Invert();
  EXPECT_EQ(m.GetPixel(0, 0), 0);
  EXPECT_EQ(m.GetPixel(5, 1), 1);
  // Padding bits beyond column 12 stay clear.
  EXPECT_EQ(h->pixels[RowOffset(h, 1) + 1], 0xF8);
  EXPECT_EQ(h->pixels[RowOffset(h, 1) + 2], 0);
  ASSERT_EQ(m.GetLR(2, l, r), 1);
  EXPECT_EQ(l, 0);
  EXPECT_EQ(r, 12);

  // Bound to a picture it does not own; the owner deletes it.
  CDibSection dib;
  HBITMAP other = dib.Create(3, -2, 1);
  C1Bit b;
  ASSERT_EQ(b.Init(other), 1);
  b.SetPixel(2, 1, 1);
  EXPECT_EQ(other->pixels[4], 0x20);
  HBITMAP eight = dib.Create(3, 2, 8);
  EXPECT_EQ(b.Init(eight), 0);
  EXPECT_EQ(b.Error(), kDibTransfer);
  EXPECT_EQ(b.Init(0, 5), 0);
  EXPECT_EQ(b.Error(), kDibSize);
  EXPECT_EQ(b.Init(40000, 5), 0);
  EXPECT_EQ(b.Error(), kDibMemory);
  for (HBITMAP h : {eight, other}) DeleteObject(h);
}

}  // namespace
