// Palette files of the colour manipulator and colouring a saved picture with one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/views/palette_file.h"
#include "app/views/picture_capture.h"
#include "spl/image/dib_section.h"

namespace fs = std::filesystem;

namespace {

class PaletteFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kestrel-palette-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ + "/" + name) << text;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ + "/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string dir_;
};

TEST_F(PaletteFile, ReadsClampsRoundTripsAndRefusesShortFiles) {
  std::string text = "-5 300 7\n";
  for (int i = 1; i < kPaletteEntries; ++i)
    text += std::to_string(i) + " " + std::to_string(255 - i) + " 0\n";
  Write("a.pal", text);
  Palette p;
  std::string error;
  ASSERT_EQ(ReadPalette(dir_ + "/a.pal", p, error), 1) << error;
  EXPECT_EQ(p.entries[0].rgbRed, 0);
  EXPECT_EQ(p.entries[0].rgbGreen, 255);
  EXPECT_EQ(p.entries[0].rgbBlue, 7);
  EXPECT_EQ(p.entries[200].rgbRed, 200);
  EXPECT_EQ(p.entries[200].rgbGreen, 55);
  ASSERT_EQ(WritePalette(dir_ + "/b.pal", p, error), 1) << error;
  text.replace(0, text.find('\n'), "0 255 7");  // as clamped
  EXPECT_EQ(Read("b.pal"), text);

  Write("short.pal", "1 2 3\n4 5 6\n");
  EXPECT_EQ(ReadPalette(dir_ + "/short.pal", p, error), 0);
  EXPECT_NE(error.find("only 2 of 256"), std::string::npos) << error;
  Write("bad.pal", "1 2 3\nred green blue\n");
  EXPECT_EQ(ReadPalette(dir_ + "/bad.pal", p, error), 0);
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_EQ(p.entries[200].rgbRed, 200) << "a refused file changes nothing";
}

TEST_F(PaletteFile, ApplyingColoursTheFaxPictureAndItsPreview) {
  // A FAX picture as the station saves it, with its preview beside.
  std::vector<uint8_t> rows(size_t(300) * 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) rows[size_t(y) * 300 + x] = uint8_t(x < 150 ? 255 : 0);
  std::string path, error;
  ASSERT_EQ(SaveFaxNow(dir_, rows.data(), 300, 200, time_t(1700000000), path, error), 1) << error;
  Palette red = GrayPalette();
  for (int i = 0; i < kPaletteEntries; ++i) red.entries[i] = RGBQUAD{0, 0, uint8_t(i), 0};
  ASSERT_EQ(ApplyPaletteToFile(path, red, error), 1) << error;
  CDibSection dib;
  for (const std::string& file : {path, FaxPreviewName(path)}) {
    SCOPED_TRACE(file);
    HBITMAP h = dib.LoadFile(file.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(dib.Bits(h), 8);
    // Black strokes stay dark, white paper turns red.
    const COLORREF paper = dib.PixelColor(h, dib.Width(h) - 2, 2);
    const COLORREF stroke = dib.PixelColor(h, 2, 2);
    EXPECT_EQ(paper, RGB(255, 0, 0));
    EXPECT_EQ(stroke, RGB(0, 0, 0));
    DeleteObject(h);
  }
  EXPECT_EQ(ApplyPaletteToFile(dir_ + "/missing.BMP", red, error), 0);
  EXPECT_FALSE(fs::exists(dir_ + "/missing.BMP"));
}

}  // namespace
