// BMP files that grow by rows and packed pictures: headers byte by byte after each step,
// band order, reading the grown file back, refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>
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
  // 8 bits stored bottom-up, streamed in two bands; 24 bits stored top-down, row by row.
  const struct {
    int w, h, bits, bpl;
    uint32_t header, colours;
    std::vector<std::pair<int, int>> bands;  // first row, rows
  } cases[] = {{10, 6, 8, 12, 1078, 256, {{0, 2}, {2, 3}}},
               {5, -4, 24, 16, 54, 0, {{0, 1}, {1, 1}, {2, 1}, {3, 1}}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bits);
    HBITMAP a = MakeRows(dib, c.w, c.h, c.bits);
    const std::string path = dir.File("s.bmp");
    ASSERT_EQ(dib.StreamCreate(path.c_str(), a), 1);
    auto d = ReadAll(path);
    ASSERT_EQ(d.size(), c.header);
    EXPECT_EQ(d[0], 'B');
    EXPECT_EQ(d[1], 'M');
    EXPECT_EQ(Le32(d, 2), c.header);  // full size less the pixels
    EXPECT_EQ(Le32(d, 10), c.header);
    EXPECT_EQ(Le32(d, 14), 40u);
    EXPECT_EQ(Le32(d, 18), uint32_t(c.w));
    EXPECT_EQ(Le32(d, 22), 0u);  // height 0
    EXPECT_EQ(Le32(d, 30), 0u);  // compression 0
    EXPECT_EQ(Le32(d, 34), 0u);  // image size 0
    EXPECT_EQ(Le32(d, 46), c.colours);
    if (c.colours) {
      EXPECT_EQ(0, std::memcmp(d.data() + 54, a->palette, 4 * c.colours));
    }

    int rows = 0;
    for (const auto& [first, n] : c.bands) {
      ASSERT_EQ(dib.StreamOut(path.c_str(), a, first, n), 1);
      rows += n;
    }
    d = ReadAll(path);
    ASSERT_EQ(d.size(), c.header + size_t(rows) * size_t(c.bpl));
    EXPECT_EQ(Le32(d, 2), d.size());
    EXPECT_EQ(Le32(d, 22), uint32_t(rows));
    EXPECT_EQ(Le32(d, 34), uint32_t(rows * c.bpl));
    // Stored rows follow the source from the top: row k of the file is source row k.
    for (int k = 0; k < rows; ++k)
      for (int i = 0; i < c.bpl; ++i) ASSERT_EQ(d[c.header + size_t(c.bpl * k + i)], uint8_t(k * 16 + i));

    // The grown file is a plain bottom-up BMP: its bottom row is the first row streamed.
    HBITMAP b = dib.LoadFile(path.c_str());
    ASSERT_NE(b, nullptr) << dib.Error();
    EXPECT_EQ(dib.Height(b), rows);
    for (int y = 0; y < rows; ++y)
      EXPECT_EQ(dib.PixelColor(b, 0, y), dib.PixelColor(a, 0, rows - 1 - y)) << y;
    for (HBITMAP h : {a, b}) DeleteObject(h);
  }
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
