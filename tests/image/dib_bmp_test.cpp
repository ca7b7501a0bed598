// Bitmap objects and plain BMP files: layout, byte-exact headers, round trips, damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"
#include "tests/image/picture_file_util.h"

namespace {

using pictest::Le32;
using pictest::ReadAll;

TEST(DibSection, CreateLayoutAndFill) {
  CDibSection dib;
  HBITMAP a = dib.Create(100, 50, 8, 0xFFFFFFFF);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(dib.BPL(a), 100);
  EXPECT_EQ(dib.SizeH(a), 5000);
  EXPECT_EQ(dib.Colors(a), 256);
  HBITMAP b = dib.Create(3, 2, 24, 0xFF);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(dib.BPL(b), 12);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(dib.PixelColor(b, x, y), 0xFFu);
  EXPECT_EQ(dib.AdrH(b)[2], 0xFF);  // blue, green, red in memory
  EXPECT_EQ(dib.AdrH(b)[0], 0);
  EXPECT_EQ(dib.Create(kMaxBitmapSide + 1, 10, 8), nullptr);
  EXPECT_EQ(dib.Error(), kDibCreate);
  EXPECT_EQ(dib.Width(nullptr), 0);
  EXPECT_EQ(dib.Error(), kDibInfo);
  HBITMAP c = dib.Create(4, 4, 24);
  EXPECT_EQ(dib.CopyPalette(a, c), 0);
  for (HBITMAP h : {a, b, c}) DeleteObject(h);
}

TEST(DibSection, SaveFileIsByteExactAndReadsBack) {
  sigtest::TempDir dir;
  CDibSection dib;
  HBITMAP a = dib.Create(7, -3, 8);
  ASSERT_NE(a, nullptr);
  RGBQUAD pal[256];
  for (int i = 0; i < 256; ++i) pal[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0};
  ASSERT_EQ(dib.SetPalette(a, pal, 256), 256);
  for (long i = 0; i < dib.SizeH(a); ++i) dib.AdrH(a)[i] = uint8_t(i * 7);
  const std::string path = dir.File("a.bmp");
  ASSERT_EQ(dib.SaveFile(path.c_str(), a), 1);
  const auto d = ReadAll(path);
  ASSERT_EQ(d.size(), size_t(1078 + dib.SizeH(a)));
  EXPECT_EQ(d[0], 'B');
  EXPECT_EQ(d[1], 'M');
  EXPECT_EQ(Le32(d, 2), d.size());
  EXPECT_EQ(Le32(d, 10), 1078u);
  EXPECT_EQ(Le32(d, 14), 40u);
  EXPECT_EQ(int32_t(Le32(d, 22)), -3);
  EXPECT_EQ(Le32(d, 46), 256u);
  EXPECT_EQ(0, std::memcmp(d.data() + 54, pal, 1024));
  EXPECT_EQ(0, std::memcmp(d.data() + 1078, dib.AdrH(a), size_t(dib.SizeH(a))));

  HBITMAP b = dib.LoadFile(path.c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(dib.Width(b), 7);
  EXPECT_EQ(dib.Height(b), -3);
  EXPECT_EQ(0, std::memcmp(dib.AdrH(a), dib.AdrH(b), size_t(dib.SizeH(a))));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(dib.PixelColor(a, x, y), dib.PixelColor(b, x, y));
  int w = 0, h = 0;
  EXPECT_EQ(dib.GetBMPSize(path.c_str(), w, h), 1);
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, -3);
  for (HBITMAP h : {a, b}) DeleteObject(h);
}

TEST(DibSection, DamagedFilesFailWithReason) {
  sigtest::TempDir dir;
  CDibSection dib;
  HBITMAP a = dib.Create(16, 16, 24, 0x123456);
  const std::string path = dir.File("a.bmp");
  ASSERT_EQ(dib.SaveFile(path.c_str(), a), 1);
  const auto good = ReadAll(path);
  DeleteObject(a);

  auto patched = [&](size_t at, std::vector<unsigned char> bytes) {
    auto d = good;
    std::copy(bytes.begin(), bytes.end(), d.begin() + long(at));
    return d;
  };
  const struct {
    const char* what;
    std::vector<unsigned char> file;
    int error;  // -1: any
  } bad[] = {
      {"one byte short", std::vector<unsigned char>(good.begin(), good.end() - 1), kDibRead},
      {"headers cut off", std::vector<unsigned char>(good.begin(), good.begin() + 20), kDibRead},
      {"pixel offset far beyond the file", patched(10, {0xFF, 0xFF, 0xFF}), kDibSeek},
      {"width 0x7FFFFFFF", patched(18, {0xFF, 0xFF, 0xFF, 0x7F}), -1},
  };
  for (const auto& c : bad) {
    dib.ClearError();
    EXPECT_EQ(dib.ReadBMP(c.file.data(), c.file.size()), nullptr) << c.what;
    if (c.error >= 0) {
      EXPECT_EQ(dib.Error(), c.error) << c.what;
    } else {
      EXPECT_NE(dib.Error(), kDibOk) << c.what;
    }
  }

  EXPECT_EQ(dib.LoadFile(dir.File("missing.bmp").c_str()), nullptr);
  EXPECT_EQ(dib.Error(), kDibOpenRead);
}

}  // namespace
