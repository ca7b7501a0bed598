// kestrel picture: info lines for every file kind, conversions between kinds and depths,
// and the messages for files and options it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"
#include "tests/image/picture_file_util.h"

namespace {

using pictest::Le32;
using pictest::ReadAll;
using sigtest::RunTool;

// An 8-bit picture of 12 palette colours in bands, saved plain.
std::string MakeBands(CDibSection& dib, const sigtest::TempDir& dir) {
  HBITMAP a = dib.Create(45, 30, 8);
  RGBQUAD pal[256] = {};
  for (int i = 0; i < 12; ++i) pal[i] = {uint8_t(i * 20), uint8_t(240 - i * 16), uint8_t(i * 8 + 4), 0};
  dib.SetPalette(a, pal, 256);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 45; ++x) pictest::SetIndex(dib, a, x, y, (x / 4 + y / 10) % 12);
  const std::string path = dir.File("bands.bmp");
  dib.SaveFile(path.c_str(), a);
  DeleteObject(a);
  return path;
}

TEST(PictureTool, InfoForEachKind) {
  sigtest::TempDir dir;
  CDibSection dib;
  const std::string plain = MakeBands(dib, dir);
  auto r = RunTool("picture info " + plain);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("format:      BMP\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("width:       45\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("height:      30 (bottom-up)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("bits:        8\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("compression: none\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("palette:     256\n"), std::string::npos) << r.out;

  HBITMAP a = dib.LoadFile(plain.c_str());
  HBITMAP a4 = dib.Create(8, -5, 4);
  HBITMAP c = dib.Create(20, 10, 24, 0x00FF00);
  ASSERT_EQ(dib.SaveFileRLE(dir.File("r8.bmp").c_str(), a), 1);
  ASSERT_EQ(dib.SaveFileRLE(dir.File("r4.bmp").c_str(), a4), 1);
  ASSERT_EQ(dib.SaveFile(dir.File("td.bmp").c_str(), a4), 1);
  ASSERT_EQ(dib.SaveJpeg(dir.File("c.jpeg").c_str(), c, 60), 1);
  r = RunTool("picture info " + dir.File("r8.bmp"));
  EXPECT_NE(r.out.find("compression: RLE8\n"), std::string::npos) << r.out;
  r = RunTool("picture info " + dir.File("r4.bmp"));
  EXPECT_NE(r.out.find("compression: RLE4\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("palette:     16\n"), std::string::npos) << r.out;
  r = RunTool("picture info " + dir.File("td.bmp"));
  EXPECT_NE(r.out.find("height:      5 (top-down)\n"), std::string::npos) << r.out;
  // JPEG is told by its contents, whatever the name.
  r = RunTool("picture info " + dir.File("c.jpeg"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("format:      JPEG\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("bits:        24\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("compression: JPEG\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("palette:     0\n"), std::string::npos) << r.out;
  for (HBITMAP h : {a, a4, c}) DeleteObject(h);
}

TEST(PictureTool, BadFilesAreNamed) {
  sigtest::TempDir dir;
  CDibSection dib;
  const std::string plain = MakeBands(dib, dir);
  auto bytes = ReadAll(plain);
  bytes.resize(bytes.size() - 10);
  ASSERT_TRUE(pictest::WriteAll(dir.File("cut.bmp"), bytes));
  ASSERT_TRUE(pictest::WriteAll(dir.File("text.bmp"), {'h', 'e', 'l', 'l', 'o'}));
  ASSERT_TRUE(pictest::WriteAll(dir.File("cut.jpg"), {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J'}));
  struct {
    std::string args, message;
  } cases[] = {
      {"info " + dir.File("cut.bmp"), "cut.bmp: bad BMP file (short read"},
      {"info " + dir.File("text.bmp"), "text.bmp: not a BMP or JPEG file"},
      {"info " + dir.File("cut.jpg"), "cut.jpg: bad JPEG file"},
      {"info " + dir.File("none.bmp"), "none.bmp: cannot open the file"},
      {"convert " + dir.File("cut.bmp") + " " + dir.File("o.bmp"), "bad BMP file"},
      {"info", "expected info FILE or convert IN OUT"},
      {"rotate " + plain, "expected info FILE or convert IN OUT"},
      {"info " + plain + " --rle", "info takes no options"},
      {"convert " + plain + " " + dir.File("o.bmp") + " --bits 5", "--bits must be 1, 4, 8 or 24"},
      {"convert " + plain + " " + dir.File("o.bmp") + " --quality 50", "--quality is for JPEG output"},
      {"convert " + plain + " " + dir.File("o.jpg") + " --rle", "--rle is for BMP output"},
      {"convert " + plain + " " + dir.File("o.jpg") + " --quality 101", "--quality"},
      {"convert " + plain + " " + dir.File("no/such/o.bmp"), "cannot open the file for writing"},
  };
  for (const auto& c : cases) {
    const auto r = RunTool("picture " + c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find("kestrel: picture: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << "\n" << r.out;
  }
  EXPECT_NE(RunTool("picture --help").out.find("usage: kestrel picture info FILE"), std::string::npos);
}

TEST(PictureTool, ConvertsBetweenKinds) {
  sigtest::TempDir dir;
  CDibSection dib;
  const std::string plain = MakeBands(dib, dir);
  HBITMAP src = dib.LoadFile(plain.c_str());
  ASSERT_NE(src, nullptr);

  auto r = RunTool("picture convert " + plain + " " + dir.File("r.bmp") + " --rle");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("BMP RLE8, 45 x 30, 8 bits"), std::string::npos) << r.out;
  EXPECT_EQ(Le32(ReadAll(dir.File("r.bmp")), 30), BI_RLE8);
  HBITMAP b = dib.LoadFile(dir.File("r.bmp").c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(pictest::OurRgb(dib, b), pictest::OurRgb(dib, src));
  DeleteObject(b);

  // Back to plain, from run-length data.
  r = RunTool("picture convert " + dir.File("r.bmp") + " " + dir.File("p.bmp"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadAll(dir.File("p.bmp")), ReadAll(plain));

  // A colour palette does not go into JPEG as gray values: the picture goes through 24 bits.
  r = RunTool("picture convert " + plain + " " + dir.File("j.jpg") + " --quality 95");
  ASSERT_EQ(r.status, 0) << r.out;
  HBITMAP j = dib.LoadFile(dir.File("j.jpg").c_str());
  ASSERT_NE(j, nullptr);
  const auto want = pictest::OurRgb(dib, src), got = pictest::OurRgb(dib, j);
  ASSERT_EQ(want.size(), got.size());
  double se = 0;
  for (size_t i = 0; i < want.size(); ++i) se += (double(want[i]) - got[i]) * (double(want[i]) - got[i]);
  // Measured 99 (sharp colour edges at half colour resolution); gray indices would be ~10^4.
  EXPECT_LT(se / double(want.size()), 150.0);
  DeleteObject(j);

  r = RunTool("picture convert " + dir.File("j.jpg") + " " + dir.File("j.bmp") + " --rle");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("--rle needs a 4- or 8-bit picture"), std::string::npos) << r.out;
  r = RunTool("picture convert " + dir.File("j.jpg") + " " + dir.File("j.bmp"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Le32(ReadAll(dir.File("j.bmp")), 30), BI_RGB);
  EXPECT_EQ(ReadAll(dir.File("j.bmp")).size(), 54u + 136 * 30);
  DeleteObject(src);
}

TEST(PictureTool, ConvertsDepths) {
  sigtest::TempDir dir;
  CDibSection dib;
  const std::string plain = MakeBands(dib, dir);
  HBITMAP src = dib.LoadFile(plain.c_str());
  // Up to 24 bits: every pixel keeps its colour.
  auto r = RunTool("picture convert " + plain + " " + dir.File("c.bmp") + " --bits 24");
  ASSERT_EQ(r.status, 0) << r.out;
  HBITMAP c = dib.LoadFile(dir.File("c.bmp").c_str());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(dib.Bits(c), 24);
  EXPECT_EQ(pictest::OurRgb(dib, c), pictest::OurRgb(dib, src));
  // Back down to 8 and 4 bits, run-length encoded: twelve colours survive (within the
  // 6-bit resolution of the colour reduction).
  for (int bits : {8, 4}) {
    const std::string out = dir.File("d" + std::to_string(bits) + ".bmp");
    r = RunTool("picture convert " + dir.File("c.bmp") + " " + out + " --bits " +
                std::to_string(bits) + " --rle");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto d = ReadAll(out);
    EXPECT_EQ(Le32(d, 30), bits == 8 ? BI_RLE8 : BI_RLE4);
    HBITMAP back = dib.LoadFile(out.c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(dib.Bits(back), bits);
    const auto want = pictest::OurRgb(dib, src), got = pictest::OurRgb(dib, back);
    ASSERT_EQ(want.size(), got.size());
    int worst = 0;
    for (size_t i = 0; i < want.size(); ++i) worst = std::max(worst, std::abs(want[i] - got[i]));
    EXPECT_LE(worst, 3) << bits;
    DeleteObject(back);
  }
  DeleteObject(c);
  DeleteObject(src);
}

}  // namespace
