// BMP files that grow by rows and packed pictures: headers byte by byte after each step,
// band order, reading the grown file back, refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"
#include "tests/image/picture_file_util.h"

namespace {

using pictest::Le32;
using pictest::ReadAll;

HBITMAP MakeRows(CDibSection& dib, int w, int h, int bits) {
  HBITMAP b = dib.Create(w, h, bits);
  RGBQUAD pal[256];
  for (int i = 0; i < 256; ++i) pal[i] = {uint8_t(i), uint8_t(i / 2), uint8_t(255 - i), 0};
  if (bits <= 8) dib.SetPalette(b, pal, 1 << bits);
  // Every byte of a row carries the row number (from the top) and its place.
  const int rows = std::abs(h);
  for (int y = 0; y < rows; ++y) {
    unsigned char* r = dib.AdrH(b) + size_t(h > 0 ? rows - 1 - y : y) * dib.BPL(b);
    for (int i = 0; i < dib.BPL(b); ++i) r[i] = uint8_t(y * 16 + i);
  }
  return b;
}

TEST(DibStream, HeadersGrowWithEachBand) {
  sigtest::TempDir dir;
  CDibSection dib;
  HBITMAP a = MakeRows(dib, 10, 6, 8);  // BPL 12
  const std::string path = dir.File("s.bmp");
  ASSERT_EQ(dib.StreamCreate(path.c_str(), a), 1);
  auto d = ReadAll(path);
  ASSERT_EQ(d.size(), 1078u);
  EXPECT_EQ(d[0], 'B');
  EXPECT_EQ(d[1], 'M');
  EXPECT_EQ(Le32(d, 2), 1078u);  // full size less the pixels
  EXPECT_EQ(Le32(d, 10), 1078u);
  EXPECT_EQ(Le32(d, 14), 40u);
  EXPECT_EQ(Le32(d, 18), 10u);
  EXPECT_EQ(Le32(d, 22), 0u);  // height 0
  EXPECT_EQ(Le32(d, 30), 0u);  // compression 0
  EXPECT_EQ(Le32(d, 34), 0u);  // image size 0
  EXPECT_EQ(Le32(d, 46), 256u);
  EXPECT_EQ(0, std::memcmp(d.data() + 54, a->palette, 1024));

  ASSERT_EQ(dib.StreamOut(path.c_str(), a, 0, 2), 1);
  ASSERT_EQ(dib.StreamOut(path.c_str(), a, 2, 3), 1);
  d = ReadAll(path);
  ASSERT_EQ(d.size(), 1078u + 5 * 12);
  EXPECT_EQ(Le32(d, 2), d.size());
  EXPECT_EQ(Le32(d, 22), 5u);
  EXPECT_EQ(Le32(d, 34), 60u);
  // Stored rows follow the source from the top: row k of the file is source row k.
  for (int k = 0; k < 5; ++k)
    for (int i = 0; i < 12; ++i) ASSERT_EQ(d[1078 + 12 * k + i], uint8_t(k * 16 + i));

  // The grown file is a plain bottom-up BMP: its bottom row is the first row streamed.
  HBITMAP b = dib.LoadFile(path.c_str());
  ASSERT_NE(b, nullptr) << dib.Error();
  EXPECT_EQ(dib.Height(b), 5);
  EXPECT_EQ(pictest::IndexAt(dib, b, 0, 4), 0);
  EXPECT_EQ(pictest::IndexAt(dib, b, 0, 0), 4 * 16);
  for (HBITMAP h : {a, b}) DeleteObject(h);
}

TEST(DibStream, TwentyFourBitAndTopDownSources) {
  sigtest::TempDir dir;
  CDibSection dib;
  HBITMAP a = MakeRows(dib, 5, -4, 24);  // BPL 16, stored top-down
  const std::string path = dir.File("s.bmp");
  ASSERT_EQ(dib.StreamCreate(path.c_str(), a), 1);
  EXPECT_EQ(ReadAll(path).size(), 54u);
  for (int y = 0; y < 4; ++y) ASSERT_EQ(dib.StreamOut(path.c_str(), a, y, 1), 1);
  const auto d = ReadAll(path);
  ASSERT_EQ(d.size(), 54u + 64);
  EXPECT_EQ(Le32(d, 2), d.size());
  EXPECT_EQ(Le32(d, 22), 4u);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(d[54 + 16 * k], uint8_t(k * 16));
  DeleteObject(a);
}

TEST(DibStream, Refusals) {
  sigtest::TempDir dir;
  CDibSection dib;
  HBITMAP a = MakeRows(dib, 10, 6, 8);
  const std::string path = dir.File("s.bmp");
  EXPECT_EQ(dib.StreamOut(path.c_str(), a, 0, 1), 0);  // not created yet
  EXPECT_EQ(dib.Error(), kDibOpenRead);
  ASSERT_EQ(dib.StreamCreate(path.c_str(), a), 1);
  EXPECT_EQ(dib.StreamOut(path.c_str(), a, 5, 2), 0);  // beyond the last row
  EXPECT_EQ(dib.Error(), kDibTransfer);
  EXPECT_EQ(dib.StreamOut(path.c_str(), a, -1, 1), 0);
  EXPECT_EQ(dib.StreamOut(path.c_str(), a, 0, 0), 0);
  HBITMAP other = MakeRows(dib, 11, 6, 8);  // another width would corrupt the file
  EXPECT_EQ(dib.StreamOut(path.c_str(), other, 0, 1), 0);
  EXPECT_EQ(dib.Error(), kDibTransfer);
  EXPECT_EQ(ReadAll(path).size(), 1078u);  // nothing appended
  ASSERT_TRUE(pictest::WriteAll(dir.File("short.bmp"), {'B', 'M', 0, 0}));
  EXPECT_EQ(dib.StreamOut(dir.File("short.bmp").c_str(), a, 0, 1), 0);
  EXPECT_EQ(dib.Error(), kDibRead);
  EXPECT_EQ(dib.StreamCreate((dir.path() + "/none/s.bmp").c_str(), a), 0);
  EXPECT_EQ(dib.Error(), kDibOpenWrite);
  for (HBITMAP h : {a, other}) DeleteObject(h);
}

TEST(DibPacked, GetPutAndAlloc) {
  CDibSection dib;
  for (int bits : {1, 4, 8, 24}) {
    for (int height : {7, -7}) {
      HBITMAP a = MakeRows(dib, 9, height, bits);
      BITMAPINFO* p = dib.GetDIB(a);
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(p->bmiHeader.biHeight, height);
      EXPECT_EQ(p->bmiHeader.biBitCount, bits);
      EXPECT_EQ(long(p->bmiHeader.biSizeImage), dib.SizeH(a));
      EXPECT_EQ(0, std::memcmp(CDibSection::AdrB(p), dib.AdrH(a), size_t(dib.SizeH(a))));
      HBITMAP b = dib.PutDIB(p);
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(dib.Height(b), height);
      EXPECT_EQ(0, std::memcmp(dib.AdrH(a), dib.AdrH(b), size_t(dib.SizeH(a))));
      EXPECT_EQ(pictest::OurRgb(dib, a), pictest::OurRgb(dib, b));

      BITMAPINFO* room = dib.AllocBitmap(p, 3);
      ASSERT_NE(room, nullptr);
      EXPECT_EQ(room->bmiHeader.biHeight, 3);
      EXPECT_EQ(long(room->bmiHeader.biSizeImage), 3L * dib.BPL(a));
      EXPECT_EQ(0, std::memcmp(room->bmiColors, p->bmiColors, size_t(CDibSection::SizeB(p) - 40)));
      // The rows are there to be written.
      std::memset(CDibSection::AdrB(room), 0x5A, room->bmiHeader.biSizeImage);
      std::free(room);
      std::free(p);
      for (HBITMAP h : {a, b}) DeleteObject(h);
    }
  }
  EXPECT_EQ(dib.PutDIB(nullptr), nullptr);
  EXPECT_EQ(dib.Error(), kDibInfo);
  HBITMAP a = MakeRows(dib, 4, 4, 8);
  BITMAPINFO* p = dib.GetDIB(a);
  p->bmiHeader.biCompression = BI_RLE8;
  EXPECT_EQ(dib.PutDIB(p), nullptr);
  EXPECT_EQ(dib.Error(), kDibTransfer);
  std::free(p);
  DeleteObject(a);
}

}  // namespace
