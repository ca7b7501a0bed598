// kestrel picture: info lines for every file kind, conversions between kinds and depths,
// edits through the picture editor's engine, and the messages for files, options and
// operations it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

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

// Every test has a picture library and a folder of its own.
class PictureTool : public ::testing::Test {
 protected:
  sigtest::TempDir dir;
  CDibSection dib;
};

TEST_F(PictureTool, InfoForEachKind) {
  const std::string plain = MakeBands(dib, dir);
  auto r = RunTool("picture info " + plain);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("format:      BMP\nwidth:       45\nheight:      30 (bottom-up)\n"
                       "bits:        8\ncompression: none\npalette:     256\n"),
            std::string::npos)
      << r.out;

  HBITMAP a = dib.LoadFile(plain.c_str());
  HBITMAP a4 = dib.Create(8, -5, 4);
  HBITMAP c = dib.Create(20, 10, 24, 0x00FF00);
  ASSERT_EQ(dib.SaveFileRLE(dir.File("r4.bmp").c_str(), a4), 1);
  ASSERT_EQ(dib.SaveFile(dir.File("td.bmp").c_str(), a4), 1);
  ASSERT_EQ(dib.SaveJpeg(dir.File("c.jpeg").c_str(), c, 60), 1);
  r = RunTool("picture info " + dir.File("r4.bmp"));
  EXPECT_NE(r.out.find("compression: RLE4\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("palette:     16\n"), std::string::npos) << r.out;
  r = RunTool("picture info " + dir.File("td.bmp"));
  EXPECT_NE(r.out.find("height:      5 (top-down)\n"), std::string::npos) << r.out;
  // JPEG is told by its contents, whatever the name.
  r = RunTool("picture info " + dir.File("c.jpeg"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("format:      JPEG\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("compression: JPEG\n"), std::string::npos) << r.out;
  for (HBITMAP h : {a, a4, c}) DeleteObject(h);
}

TEST_F(PictureTool, BadFilesAreNamed) {
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
      {"info", "expected info FILE, convert IN OUT or edit IN OUT"},
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

TEST_F(PictureTool, ConvertsBetweenKinds) {
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

TEST_F(PictureTool, ConvertsDepths) {
  const std::string plain = MakeBands(dib, dir);
  HBITMAP src = dib.LoadFile(plain.c_str());
  // Up to 24 bits: every pixel keeps its colour.
  auto r = RunTool("picture convert " + plain + " " + dir.File("c.bmp") + " --bits 24");
  ASSERT_EQ(r.status, 0) << r.out;
  HBITMAP c = dib.LoadFile(dir.File("c.bmp").c_str());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(dib.Bits(c), 24);
  EXPECT_EQ(pictest::OurRgb(dib, c), pictest::OurRgb(dib, src));
  // Back down to 4 bits, run-length encoded: twelve colours survive (within the 6-bit
  // resolution of the colour reduction).
  const std::string out = dir.File("d4.bmp");
  r = RunTool("picture convert " + dir.File("c.bmp") + " " + out + " --bits 4 --rle");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Le32(ReadAll(out), 30), BI_RLE4);
  HBITMAP back = dib.LoadFile(out.c_str());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(dib.Bits(back), 4);
  const auto want = pictest::OurRgb(dib, src), got = pictest::OurRgb(dib, back);
  ASSERT_EQ(want.size(), got.size());
  int worst = 0;
  for (size_t i = 0; i < want.size(); ++i) worst = std::max(worst, std::abs(want[i] - got[i]));
  EXPECT_LE(worst, 3);
  for (HBITMAP h : {back, c, src}) DeleteObject(h);
}

// A 24-bit picture w x h, different in every pixel, saved plain (bottom-up).
std::string MakeColours(CDibSection& dib, const sigtest::TempDir& dir, int w, int h) {
  HBITMAP a = dib.Create(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = dib.AdrH(a) + size_t(h - 1 - y) * size_t(dib.BPL(a)) + 3 * size_t(x);
      p[0] = uint8_t(x * 31 + y), p[1] = uint8_t(y * 47), p[2] = uint8_t(x * y + 5);
    }
  const std::string path = dir.File("colours" + std::to_string(w) + ".bmp");
  dib.SaveFile(path.c_str(), a);
  DeleteObject(a);
  return path;
}

TEST_F(PictureTool, EditsInOrder) {
  const std::string in = MakeColours(dib, dir, 7, 5);
  // Left and back right: the same file, byte for byte.
  auto r = RunTool("picture edit " + in + " " + dir.File("same.bmp") + " --op r90 --op r270");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("same.bmp: 7 x 5, 24 bits after 2 operations"), std::string::npos) << r.out;
  EXPECT_EQ(ReadAll(dir.File("same.bmp")), ReadAll(in));

  // Applied in the order given.
  r = RunTool("picture edit " + in + " " + dir.File("o.bmp") + " --op crop:1,1,3,2 --op r270");
  EXPECT_NE(r.out.find("o.bmp: 2 x 3, 24 bits after 2 operations"), std::string::npos) << r.out;
  r = RunTool("picture edit " + in + " " + dir.File("o.bmp") + " --op r270 --op crop:1,1,3,2");
  EXPECT_NE(r.out.find("o.bmp: 3 x 2, 24 bits after 2 operations"), std::string::npos) << r.out;

  // Module conversion from 576 to 288 at 120 lines per minute halves 1810 pixels.
  const std::string fax = MakeColours(dib, dir, 1810, 4);
  r = RunTool("picture edit " + fax + " " + dir.File("fax.bmp") + " --op modul:576:120:288:120");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("fax.bmp: 905 x 4, 24 bits after 1 operation\n"), std::string::npos) << r.out;

  // The kinds of output file.
  for (auto [args, name, bits] : std::vector<std::tuple<std::string, std::string, int>>{
           {"--gray", "g.bmp", 8}, {"--reduce", "r.bmp", 8}, {"", "plain.bmp", 24}}) {
    r = RunTool("picture edit " + in + " " + dir.File(name) + " --op invert " + args);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(pictest::Le16(ReadAll(dir.File(name)), 28), bits) << name;
  }
  r = RunTool("picture edit " + in + " " + dir.File("j.jpg") + " --op bright:3 --reduce");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("j.jpg: 7 x 5, 24 bits"), std::string::npos) << r.out;
  EXPECT_EQ(ReadAll(dir.File("j.jpg")).at(0), 0xFF);
}

TEST_F(PictureTool, EditNamesBadOperations) {
  const std::string in = MakeColours(dib, dir, 7, 5), out = dir.File("out.bmp");
  struct {
    std::string args, message, out = "out.bmp";
  } cases[] = {
      {"--op bright:x", "bad op \"bright:x\": expected bright:N"},
      {"--op r90:1", "bad op \"r90:1\": expected r90"},
      {"--op zoom:2", "unknown op \"zoom:2\" (one of r90, r180"},
      {"--op r90 --op kup:6", "op \"kup:6\" failed (expected kup:N with N from 1 to 5)"},
      {"--op slant:0", "op \"slant:0\" failed"},
      {"", "edit needs at least one --op"},
      {"--op r90 --rle", "edit takes --op, --gray and --reduce"},
      {"--op r90 --op r90", "edit writes JPEG files named .jpg", "out.jpeg"},
      {"--op", "option --op needs a value"},
  };
  for (const auto& c : cases) {
    const auto r = RunTool("picture edit " + in + " " + dir.File(c.out) + " " + c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find("kestrel: picture: " + c.message), std::string::npos) << c.args << "\n" << r.out;
  }
  EXPECT_TRUE(ReadAll(out).empty() && ReadAll(dir.File("out.jpeg")).empty());  // nothing written
  auto r = RunTool("picture convert " + in + " " + out + " --op r90");
  EXPECT_NE(r.out.find("--op, --gray and --reduce are for edit"), std::string::npos) << r.out;
  r = RunTool("picture edit " + dir.File("none.bmp") + " " + out + " --op r90");
  EXPECT_NE(r.out.find("none.bmp: cannot open the file"), std::string::npos) << r.out;
  EXPECT_NE(RunTool("picture --help").out.find("crop:X,Y,W,H"), std::string::npos);
}

}  // namespace
