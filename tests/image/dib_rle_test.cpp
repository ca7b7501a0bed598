// Run-length encoded BMP files: byte-exact headers and codes for small pictures, reading
// every code kind, round trips of all depths, ImageMagick both ways, and damaged data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "spl/image/bmp_rle.h"
#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"
#include "tests/image/picture_file_util.h"

namespace {

using pictest::IndexAt;
using pictest::Le32;
using pictest::ReadAll;
using pictest::SetIndex;

// A palette picture from rows of indices, top row first.
HBITMAP MakeIndexed(CDibSection& dib, int bits, const std::vector<std::vector<int>>& rows,
                    bool topDown = false) {
  const int w = int(rows[0].size()), h = int(rows.size());
  HBITMAP b = dib.Create(w, topDown ? -h : h, bits);
  if (!b) return nullptr;
  RGBQUAD pal[256];
  for (int i = 0; i < 256; ++i) pal[i] = {uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 7), 0};
  dib.SetPalette(b, pal, 1 << bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetIndex(dib, b, x, y, rows[size_t(y)][size_t(x)]);
  return b;
}

// The 54 header bytes of a BMP file (file and information headers).
std::vector<unsigned char> Header(uint32_t fileSize, uint32_t offset, int width, int height, int bits,
                                  uint32_t compression, uint32_t imageSize, uint32_t colours) {
  std::vector<unsigned char> f(54, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i));
  };
  f[0] = 'B';
  f[1] = 'M';
  put32(2, fileSize);
  put32(10, offset);
  put32(14, 40);
  put32(18, uint32_t(width));
  put32(22, uint32_t(height));
  f[26] = 1;
  f[28] = uint8_t(bits);
  put32(30, compression);
  put32(34, imageSize);
  put32(46, colours);
  put32(50, colours);
  return f;
}

// A BMP file image around coded data (headers, a gray palette, data).
std::vector<unsigned char> RleFile(int bits, int width, int height,
                                   const std::vector<unsigned char>& coded, uint32_t imageSize) {
  const int entries = 1 << bits;
  const uint32_t off = 54 + 4 * entries;
  std::vector<unsigned char> f = Header(off + uint32_t(coded.size()), off, width, height, bits,
                                        bits == 8 ? BI_RLE8 : BI_RLE4, imageSize, 0);
  f.resize(off, 0);
  for (int i = 0; i < entries; ++i) f[54 + 4 * i] = f[55 + 4 * i] = f[56 + 4 * i] = uint8_t(i);
  f.insert(f.end(), coded.begin(), coded.end());
  return f;
}

std::vector<unsigned char> Body(const std::vector<unsigned char>& file) {
  return std::vector<unsigned char>(file.begin() + Le32(file, 10), file.end());
}

// Every test has a picture library and a folder of its own.
class DibRle : public ::testing::Test {
 protected:
  sigtest::TempDir dir;
  CDibSection dib;
};

TEST_F(DibRle, EightBitFileIsByteExact) {
  // Top row: a run, an absolute run of four, a run; middle: runs around a single pixel.
  HBITMAP a = MakeIndexed(dib, 8,
                          {{5, 5, 5, 5, 1, 2, 3, 9, 4, 4, 4},
                           {5, 5, 5, 5, 8, 6, 6, 6, 2, 2, 2},
                           {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}});
  ASSERT_NE(a, nullptr);
  const std::string path = dir.File("a.bmp");
  ASSERT_EQ(dib.SaveFileRLE(path.c_str(), a), 1);
  const auto d = ReadAll(path);
  const std::vector<unsigned char> coded = {
      11, 7, 0, 0,                                  // bottom row, end of line
      4,  5, 1, 8, 3, 6, 3, 2, 0, 0,                // middle
      4,  5, 0, 4, 1, 2, 3, 9, 3, 4, 0, 1};         // top: absolute run, end of bitmap
  ASSERT_EQ(d.size(), 1078 + coded.size());
  // The file size is corrected to the coded size.
  EXPECT_EQ(std::vector<unsigned char>(d.begin(), d.begin() + 54),
            Header(uint32_t(d.size()), 1078, 11, 3, 8, BI_RLE8, uint32_t(coded.size()), 256));
  EXPECT_EQ(0, std::memcmp(d.data() + 54, a->palette, 1024));
  EXPECT_EQ(Body(d), coded);
  DeleteObject(a);
}

TEST_F(DibRle, FourBitFileIsByteExactAndTopDownRowsGoBottomUp) {
  // Stored top-down; the file still lists the bottom row first and has a positive height.
  HBITMAP a = MakeIndexed(dib, 4,
                          {{1, 2, 3, 4, 5, 6, 7},  // absolute run of 7 (four bytes, no pad)
                           {1, 2, 1, 2, 1, 2, 3},  // alternating run of 6, then one pixel
                           {9, 9, 9, 9, 9, 9, 9}},
                          true);
  ASSERT_NE(a, nullptr);
  const std::string path = dir.File("a.bmp");
  ASSERT_EQ(dib.SaveFileRLE(path.c_str(), a), 1);
  const auto d = ReadAll(path);
  const std::vector<unsigned char> coded = {7, 0x99, 0,    0,                       // bottom
                                            6, 0x12, 1,    0x30, 0,    0,           // middle
                                            0, 7,    0x12, 0x34, 0x56, 0x70, 0, 1};  // top
  ASSERT_EQ(d.size(), 54 + 64 + coded.size());
  EXPECT_EQ(std::vector<unsigned char>(d.begin(), d.begin() + 54),
            Header(uint32_t(d.size()), 118, 7, 3, 4, BI_RLE4, uint32_t(coded.size()), 16));
  EXPECT_EQ(0, std::memcmp(d.data() + 54, a->palette, 64));
  EXPECT_EQ(Body(d), coded);

  // An odd absolute run of 4-bit pixels is padded to a 16-bit boundary.
  HBITMAP b = MakeIndexed(dib, 4, {{1, 2, 3, 4, 5}});
  ASSERT_EQ(dib.SaveFileRLE(path.c_str(), b), 1);
  EXPECT_EQ(Body(ReadAll(path)), (std::vector<unsigned char>{0, 5, 0x12, 0x34, 0x50, 0, 0, 1}));
  for (HBITMAP h : {a, b}) DeleteObject(h);
}

TEST_F(DibRle, SaveFileRleRefusesOtherDepths) {
  for (int bits : {1, 24}) {
    HBITMAP a = dib.Create(8, 8, bits);
    EXPECT_EQ(dib.SaveFileRLE(dir.File("x.bmp").c_str(), a), 0);
    EXPECT_EQ(dib.Error(), kDibTransfer);
    DeleteObject(a);
  }
  HBITMAP a = dib.Create(8, 8, 8);
  EXPECT_EQ(dib.SaveFileRLE((dir.path() + "/no/such/folder.bmp").c_str(), a), 0);
  EXPECT_EQ(dib.Error(), kDibOpenWrite);
  DeleteObject(a);
}

TEST_F(DibRle, ReadsEveryCodeKind) {
  // 8 bits, 6 x 4: run, early end of line, absolute with pad, delta over a gap, end.
  const std::vector<unsigned char> c8 = {
      3, 9, 0, 0,              // row 0 (bottom): 9 9 9, rest 0
      0, 3, 1, 2, 3, 0, 2, 4,  // row 1: absolute 1 2 3 with its pad, run 4 4
      0, 2, 0, 1,              // delta up one row
      1, 8, 0, 0,              // row 2: x5 = 8, early end of line
      0, 2, 1, 0,              // row 3, delta right 1
      2, 6, 0, 1};             // row 3: _ 6 6, end of bitmap
  const auto f8 = RleFile(8, 6, 4, c8, uint32_t(c8.size()));
  HBITMAP a = dib.ReadBMP(f8.data(), f8.size());
  ASSERT_NE(a, nullptr) << dib.Error();
  EXPECT_EQ(dib.Height(a), 4);
  EXPECT_EQ(dib.Bits(a), 8);
  const int want8[4][6] = {{0, 6, 6, 0, 0, 0}, {0, 0, 0, 0, 0, 8}, {1, 2, 3, 4, 4, 0},
                           {9, 9, 9, 0, 0, 0}};  // from the top
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(IndexAt(dib, a, x, y), want8[y][x]) << x << "," << y;
  EXPECT_EQ(dib.PixelColor(a, 5, 1), RGB(8, 8, 8));
  DeleteObject(a);

  // 4 bits, 6 x 2: alternating run, absolute run of three bytes and its pad, a run of one,
  // no final end of line.
  const std::vector<unsigned char> c4 = {5, 0xAB, 0, 0, 0, 5, 0x12, 0x34, 0x50, 0, 1, 0xE0, 0, 1};
  const auto f4 = RleFile(4, 6, 2, c4, 0);  // image size 0: the end code says where it stops
  HBITMAP b = dib.ReadBMP(f4.data(), f4.size());
  ASSERT_NE(b, nullptr) << dib.Error();
  const int want4[2][6] = {{1, 2, 3, 4, 5, 14}, {10, 11, 10, 11, 10, 0}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(IndexAt(dib, b, x, y), want4[y][x]) << x << "," << y;
  DeleteObject(b);
}

TEST_F(DibRle, EveryWidthCodesAndDecodesBothWays) {
  // The coder row by row (the file writer's path), checked by an independent reading of the
  // codes and by the library's decoder.
  std::mt19937 rng(7);
  for (int bits : {4, 8}) {
    for (int width : {1, 2, 3, 7, 64, 255, 256, 257, 600}) {
      for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(testing::Message() << bits << " bits, " << width << " wide, kind " << kind);
        const int rows = 5, bpl = (width * bits + 31) / 32 * 4;
        std::vector<uint8_t> px(size_t(bpl) * rows, 0);
        std::vector<int> want(size_t(width) * rows);
        // kind 0: noise; 1: long runs with noisy stretches; 2: short runs.
        for (int y = 0; y < rows; ++y)
          for (int x = 0; x < width; ++x) {
            int v = int(rng() % (1u << bits));
            if (kind == 1) v = (x / 40 + y) % 3 == 0 ? v : (x / 300 + y) % (1 << bits);
            if (kind == 2) v = (x / 2 + y) % (1 << bits);
            want[size_t(y) * width + x] = v;
            uint8_t& b = px[size_t(y) * bpl + size_t(bits == 8 ? x : x / 2)];
            b = uint8_t(bits == 8 ? v : x % 2 ? (b & 0xF0) | v : v << 4);
          }
        std::vector<uint8_t> coded;
        for (int y = 0; y < rows; ++y)
          EncodeBmpRleRow(px.data() + size_t(y) * bpl, width, bits, y == rows - 1, coded);
        EXPECT_EQ(pictest::ReferenceRleDecode(coded, 0, bits, width, rows), want);
        std::vector<uint8_t> back(px.size(), 0);
        ASSERT_TRUE(DecodeBmpRle(coded.data(), coded.size(), bits, width, rows, back.data(), bpl));
        EXPECT_EQ(back, px);
      }
    }
  }
}

TEST_F(DibRle, RunsCompressUniformPictures) {
  HBITMAP a = dib.Create(1000, 100, 8);
  std::memset(dib.AdrH(a), 3, size_t(dib.SizeH(a)));
  ASSERT_EQ(dib.SaveFileRLE(dir.File("u.bmp").c_str(), a), 1);
  // Four runs of 255, 255, 255, 235 and the row end: 10 bytes a row.
  EXPECT_EQ(ReadAll(dir.File("u.bmp")).size(), 1078u + 100 * 10);
  DeleteObject(a);
}

TEST_F(DibRle, SaveFileCompressedPicksTheKindForEveryDepth) {
  std::mt19937 rng(11);
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    for (int height : {9, -9}) {
      HBITMAP a = dib.Create(13, height, bits);
      RGBQUAD pal[256];
      for (int i = 0; i < 256; ++i) pal[i] = {uint8_t(i * 9), uint8_t(i), uint8_t(200 - i), 0};
      if (bits <= 8) dib.SetPalette(a, pal, 1 << bits);
      for (long i = 0; i < dib.SizeH(a); ++i) dib.AdrH(a)[i] = uint8_t(rng());
      const std::string path = dir.File("d.bmp");
      ASSERT_EQ(dib.SaveFileCompressed(path.c_str(), a), 1) << bits;
      EXPECT_EQ(Le32(ReadAll(path), 30), bits == 8 ? BI_RLE8 : bits == 4 ? BI_RLE4 : BI_RGB) << bits;
      HBITMAP b = dib.LoadFile(path.c_str());
      ASSERT_NE(b, nullptr) << bits << ": " << dib.Error();
      EXPECT_EQ(dib.Bits(b), bits);
      EXPECT_EQ(std::abs(dib.Height(b)), 9);
      if (bits <= 8) {
        for (int y = 0; y < 9; ++y)
          for (int x = 0; x < 13; ++x) ASSERT_EQ(IndexAt(dib, b, x, y), IndexAt(dib, a, x, y));
      } else {
        EXPECT_EQ(pictest::OurRgb(dib, a), pictest::OurRgb(dib, b)) << bits;
      }
      for (HBITMAP h : {a, b}) DeleteObject(h);
    }
  }
  // Capital extension: JPEG at quality 75, the same bytes SaveJpeg makes.
  HBITMAP p24 = dib.Create(20, 10, 24, 0x30A0F0);
  ASSERT_EQ(dib.SaveFileCompressed(dir.File("e.JPG").c_str(), p24), 1);
  ASSERT_EQ(dib.SaveJpeg(dir.File("f.jpg").c_str(), p24, 75), 1);
  const auto e = ReadAll(dir.File("e.JPG"));
  ASSERT_GT(e.size(), 2u);
  EXPECT_EQ(e[0], 0xFF);
  EXPECT_EQ(e[1], 0xD8);
  EXPECT_EQ(e, ReadAll(dir.File("f.jpg")));
  DeleteObject(p24);
}

TEST_F(DibRle, DamagedDataFailsWithReason) {
  struct Case {
    const char* what;
    int bits;
    std::vector<unsigned char> coded;
  };
  const std::vector<Case> bad = {
      {"run past the stored row", 8, {5, 1, 0, 1}},
      {"run after the last row", 8, {4, 1, 0, 0, 4, 1, 0, 0, 1, 1, 0, 1}},
      {"absolute run past the row end", 8, {0, 5, 1, 2, 3, 4, 5, 0, 0, 1}},
      {"delta past the right edge", 8, {0, 2, 5, 0, 0, 1}},
      {"delta past the top", 8, {0, 2, 0, 2, 0, 1}},
      {"delta cut off", 8, {0, 2, 1}},
      {"absolute run cut off", 8, {0, 3, 1, 2}},
      {"pad byte missing before the end", 8, {0, 3, 1, 2, 3, 0, 1}},
      {"no end of bitmap", 8, {4, 1, 0, 0, 4, 1, 0, 0}},
      {"end of line past the last row", 8, {0, 0, 0, 0, 0, 0, 0, 1}},
      {"odd byte at the end", 4, {4, 0x11, 0}},
      {"nothing", 8, {}},
  };
  for (const Case& c : bad) {
    const auto f = RleFile(c.bits, 4, 2, c.coded, uint32_t(c.coded.size()));
    dib.ClearError();
    EXPECT_EQ(dib.ReadBMP(f.data(), f.size()), nullptr) << c.what;
    EXPECT_EQ(dib.Error(), kDibTransfer) << c.what;
  }

  const std::vector<unsigned char> good = {4, 1, 0, 0, 4, 2, 0, 1};
  const auto f = RleFile(8, 4, 2, good, uint32_t(good.size()));
  HBITMAP ok = dib.ReadBMP(f.data(), f.size());
  ASSERT_NE(ok, nullptr);
  DeleteObject(ok);

  // Headers that do not fit the data, each refused for its own reason.
  auto patched = [](std::vector<unsigned char> d, size_t at, std::vector<unsigned char> bytes) {
    std::copy(bytes.begin(), bytes.end(), d.begin() + long(at));
    return d;
  };
  const uint32_t n = uint32_t(good.size());
  const struct {
    const char* what;
    std::vector<unsigned char> file;
    int error;
  } refused[] = {
      {"image size past the data", RleFile(8, 4, 2, good, n + 1), kDibRead},
      {"top-down", RleFile(8, 4, -2, good, n), kDibTransfer},
      {"RLE8 data in a 4-bit file", patched(RleFile(4, 4, 2, good, n), 30, {uint8_t(BI_RLE8)}), kDibTransfer},
      {"a compression this reader does not know", patched(f, 30, {3}), kDibTransfer},
      {"257 palette entries at 8 bits", patched(f, 46, {1, 1}), kDibPalette},
      {"pixel offset beyond the file", patched(f, 12, {0x10}), kDibSeek},
      {"palette cut off", std::vector<unsigned char>(f.begin(), f.begin() + 54 + 500), kDibRead},
      // A huge picture from a few bytes: refused like a failed allocation.
      {"32768 x 32768", RleFile(8, 32768, 32768, good, n), kDibMemory},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(dib.ReadBMP(c.file.data(), c.file.size()), nullptr) << c.what;
    EXPECT_EQ(dib.Error(), c.error) << c.what;
  }
}

TEST_F(DibRle, ImageMagickPlainFilesRead) {
  if (!pictest::HaveImageMagick()) GTEST_SKIP() << "ImageMagick (convert, identify) not installed";
  // Depth and how ImageMagick writes it: 124-byte headers, colour masks, 1 and 4 bits (not
  // dithered, which costs ImageMagick most of a second a picture). One run makes them all.
  const struct {
    const char* name;
    const char* options;
    int bits;
  } kinds[] = {{"p24.bmp", "bmp:", 24},
               {"p4.bmp", "+dither -colors 16 bmp3:", 4},
               {"p1.bmp", "+dither -colors 2 bmp3:", 1},
               {"p32.bmp", "-alpha on -channel A -fx 0.5 bmp:", 32},
               {"p16.bmp", "-define bmp:subtype=RGB555 bmp:", 16}};
  std::string make = "convert -size 37x23 -seed 3 plasma:fractal";
  for (const auto& k : kinds) {
    const std::string options = k.options;
    const size_t format = options.rfind(' ') + 1;  // 0 when there are no options
    make += " \\( +clone " + options.substr(0, format) + "-write " + options.substr(format) +
            dir.File(k.name) + " +delete \\)";
  }
  // And masks of another layout, refused rather than shown in wrong colours.
  ASSERT_TRUE(pictest::Shell(make + " -define bmp:subtype=RGB565 bmp:" + dir.File("565.bmp")));
  EXPECT_EQ(dib.LoadFile(dir.File("565.bmp").c_str()), nullptr);
  EXPECT_EQ(dib.Error(), kDibTransfer);
  std::vector<std::string> files;
  std::vector<size_t> pixels;
  for (const auto& k : kinds) {
    files.push_back(dir.File(k.name));
    pixels.push_back(37 * 23);
  }
  const auto all = pictest::MagickRgbs(files, pixels);
  for (size_t i = 0; i < std::size(kinds); ++i) {
    HBITMAP a = dib.LoadFile(files[i].c_str());
    ASSERT_NE(a, nullptr) << kinds[i].options << ": " << dib.Error();
    EXPECT_EQ(dib.Bits(a), kinds[i].bits) << kinds[i].options;
    auto theirs = all[i];
    auto ours = pictest::OurRgb(dib, a);
    if (kinds[i].bits == 16)  // five bits a channel: ImageMagick scales them up, the bitmap shifts
      for (auto* v : {&theirs, &ours})
        for (auto& c : *v) c = uint8_t(c >> 3);
    EXPECT_EQ(ours, theirs) << kinds[i].options;
    DeleteObject(a);
  }
}

TEST_F(DibRle, ImageMagickFilesReadAndOurFilesOpenThere) {
  if (!pictest::HaveImageMagick()) GTEST_SKIP() << "ImageMagick (convert, identify) not installed";
  // Files ImageMagick writes as run-length 8-bit BMP: a gradient, a 16-colour plasma and
  // runs longer than a code holds (not dithered, which would cost most of a second each).
  const std::vector<std::string> makers = {
      "convert -size 37x23 gradient: +dither -colors 256 -compress RLE bmp3:",
      "convert -size 61x17 -seed 3 plasma:fractal +dither -colors 16 -type palette "
      "-compress RLE bmp3:",
      "convert -size 300x5 xc:navy -fill yellow -draw 'rectangle 20,1 290,3' +dither -colors 2 "
      "-type palette -compress RLE bmp3:"};
  // Theirs and ours (at 8 bits, and at 4 when the colours allow) are read by ImageMagick in
  // one run at the end.
  std::vector<std::string> files;
  std::vector<size_t> pixels;
  std::vector<std::vector<unsigned char>> want;
  for (size_t i = 0; i < makers.size(); ++i) {
    const std::string path = dir.File("im" + std::to_string(i) + ".bmp");
    ASSERT_TRUE(pictest::Shell(makers[i] + path)) << makers[i];
    ASSERT_EQ(Le32(ReadAll(path), 30), BI_RLE8) << makers[i];
    HBITMAP a = dib.LoadFile(path.c_str());
    ASSERT_NE(a, nullptr) << makers[i] << ": " << dib.Error();
    const std::string out8 = dir.File("our8_" + std::to_string(i) + ".bmp");
    ASSERT_EQ(dib.SaveFileRLE(out8.c_str(), a), 1);
    files.insert(files.end(), {path, out8});
    int maxIndex = 0;
    for (int y = 0; y < dib.Height(a); ++y)
      for (int x = 0; x < dib.Width(a); ++x) maxIndex = std::max(maxIndex, IndexAt(dib, a, x, y));
    if (maxIndex < 16) {
      HBITMAP a4 = dib.Create(dib.Width(a), dib.Height(a), 4);
      dib.SetPalette(a4, a->palette, 16);
      for (int y = 0; y < dib.Height(a); ++y)
        for (int x = 0; x < dib.Width(a); ++x) SetIndex(dib, a4, x, y, IndexAt(dib, a, x, y));
      const std::string out4 = dir.File("our4_" + std::to_string(i) + ".bmp");
      ASSERT_EQ(dib.SaveFileRLE(out4.c_str(), a4), 1);
      EXPECT_EQ(Le32(ReadAll(out4), 30), BI_RLE4);
      files.push_back(out4);
      DeleteObject(a4);
    }
    while (want.size() < files.size()) {
      want.push_back(pictest::OurRgb(dib, a));
      pixels.push_back(size_t(dib.Width(a)) * size_t(dib.Height(a)));
    }
    DeleteObject(a);
  }
  const auto theirs = pictest::MagickRgbs(files, pixels);
  for (size_t k = 0; k < files.size(); ++k) EXPECT_EQ(theirs[k], want[k]) << files[k];
}

}  // namespace
