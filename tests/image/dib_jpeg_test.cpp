// JPEG files: colour and gray round trips with a quality floor per quality, sizes, files
// from ImageMagick, ours opened there, and damaged, cut-off and oversized files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"
#include "tests/image/picture_file_util.h"

namespace {

using pictest::ReadAll;
using pictest::WriteAll;

// A smooth colour picture with a few edges, the kind FAX and SSTV pictures are.
HBITMAP MakeScene(CDibSection& dib, int w, int h) {
  HBITMAP b = dib.Create(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = dib.AdrH(b) + size_t(h - 1 - y) * dib.BPL(b) + 3 * x;
      const double r = 128 + 100 * std::sin(x * 0.07) * std::cos(y * 0.05);
      const double g = 255.0 * x / w;
      const double bl = (x - w / 2) * (x - w / 2) + (y - h / 2) * (y - h / 2) < h * h / 9 ? 220 : 40;
      p[0] = uint8_t(bl);
      p[1] = uint8_t(g);
      p[2] = uint8_t(r);
    }
  return b;
}

// Peak signal to noise ratio over all channels of two 24-bit pictures of one size, in dB.
double Psnr(CDibSection& dib, HBITMAP a, HBITMAP b) {
  const auto x = pictest::OurRgb(dib, a), y = pictest::OurRgb(dib, b);
  if (x.size() != y.size() || x.empty()) return 0;
  double se = 0;
  for (size_t i = 0; i < x.size(); ++i) se += (double(x[i]) - y[i]) * (double(x[i]) - y[i]);
  if (se == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * double(x.size()) / se);
}

// Where the first marker FF code after the start of image begins; 0 when there is none.
size_t Marker(const std::vector<unsigned char>& d, unsigned char code) {
  for (size_t i = 2; i + 1 < d.size(); ++i)
    if (d[i] == 0xFF && d[i + 1] == code) return i;
  return 0;
}

// Every test has a picture library and a folder of its own.
class DibJpeg : public ::testing::Test {
 protected:
  sigtest::TempDir dir;
  CDibSection dib;
};

TEST_F(DibJpeg, ColourRoundTripsKeepAQualityFloor) {
  HBITMAP a = MakeScene(dib, 97, 61);  // odd sizes: row padding and partial blocks
  // Measured PSNR: q10 24.6, q30 27.0, q50 27.8, q75 29.0, q90 30.8, q100 31.6 dB; the sharp
  // colour edges of the disc cost most of it (colour is stored at half resolution).
  const struct {
    int quality;
    double floor;
  } cases[] = {{10, 24.0}, {30, 26.5}, {50, 27.3}, {75, 28.5}, {90, 30.3}, {100, 31.1}};
  long lastSize = 0;
  double lastPsnr = 0;
  for (const auto& c : cases) {
    const std::string path = dir.File("q" + std::to_string(c.quality) + ".jpg");
    ASSERT_EQ(dib.SaveJpeg(path.c_str(), a, c.quality), 1);
    HBITMAP b = dib.LoadJpeg(path.c_str());
    ASSERT_NE(b, nullptr) << dib.Error();
    EXPECT_EQ(dib.Bits(b), 24);
    EXPECT_EQ(dib.Width(b), 97);
    EXPECT_EQ(dib.Height(b), 61);  // bottom-up, as every bitmap the library makes
    const double psnr = Psnr(dib, a, b);
    EXPECT_GE(psnr, c.floor) << "quality " << c.quality;
    EXPECT_GT(psnr, lastPsnr) << "quality " << c.quality;
    const long size = long(ReadAll(path).size());
    EXPECT_GT(size, lastSize);
    lastSize = size;
    lastPsnr = psnr;
    int w = 0, h = 0;
    EXPECT_EQ(dib.GetJPEGSize(path.c_str(), w, h), 1);
    EXPECT_EQ(w, 97);
    EXPECT_EQ(h, 61);
    DeleteObject(b);
  }
  // Quality outside 0 ... 100 is held to the range.
  ASSERT_EQ(dib.SaveJpeg(dir.File("q200.jpg").c_str(), a, 200), 1);
  EXPECT_EQ(ReadAll(dir.File("q200.jpg")), ReadAll(dir.File("q100.jpg")));
  DeleteObject(a);
}

TEST_F(DibJpeg, TopDownPicturesKeepTheirOrientation) {
  HBITMAP a = dib.Create(32, -24, 24, 0x000000);
  // White top half: stored first in a top-down picture.
  std::memset(dib.AdrH(a), 255, size_t(dib.BPL(a)) * 12);
  ASSERT_EQ(dib.SaveJpeg(dir.File("t.jpg").c_str(), a, 90), 1);
  HBITMAP b = dib.LoadJpeg(dir.File("t.jpg").c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_GT(GetRValue(dib.PixelColor(b, 16, 2)), 240);
  EXPECT_LT(GetRValue(dib.PixelColor(b, 16, 21)), 15);
  EXPECT_GT(Psnr(dib, a, b), 30);
  for (HBITMAP h : {a, b}) DeleteObject(h);
}

TEST_F(DibJpeg, GrayPicturesAreGrayJpegs) {
  HBITMAP g = dib.Create(40, 30, 8);
  RGBQUAD ramp[256];
  for (int i = 0; i < 256; ++i) ramp[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  dib.SetPalette(g, ramp, 256);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) pictest::SetIndex(dib, g, x, y, (x * 6 + y * 2) & 255);
  const std::string path = dir.File("g.jpg");
  ASSERT_EQ(dib.SaveJpeg(path.c_str(), g, 90), 1);
  // One component in the frame header (SOF0: FF C0, length, precision, height, width, count).
  const auto d = ReadAll(path);
  const size_t sof = Marker(d, 0xC0);
  ASSERT_NE(sof, 0u);
  ASSERT_LT(sof + 9, d.size());
  EXPECT_EQ(d[sof + 9], 1);
  HBITMAP b = dib.LoadJpeg(path.c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(dib.Bits(b), 24);
  double worst = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const COLORREF c = dib.PixelColor(b, x, y);
      EXPECT_EQ(GetRValue(c), GetGValue(c));
      EXPECT_EQ(GetRValue(c), GetBValue(c));
      worst = std::max(worst, std::fabs(GetRValue(c) - double(pictest::IndexAt(dib, g, x, y))));
    }
  EXPECT_LT(worst, 24);
  // Other depths are refused.
  for (int bits : {1, 4, 16, 32}) {
    HBITMAP o = dib.Create(8, 8, bits);
    EXPECT_EQ(dib.SaveJpeg(dir.File("o.jpg").c_str(), o, 75), 0) << bits;
    EXPECT_EQ(dib.Error(), kDibTransfer);
    DeleteObject(o);
  }
  EXPECT_EQ(dib.SaveJpeg((dir.path() + "/none/x.jpg").c_str(), g, 75), 0);
  EXPECT_EQ(dib.Error(), kDibOpenWrite);
  for (HBITMAP h : {g, b}) DeleteObject(h);
}

TEST_F(DibJpeg, SizesOfFiles) {
  HBITMAP a = MakeScene(dib, 50, 20);
  ASSERT_EQ(dib.SaveJpeg(dir.File("s.JPG").c_str(), a, 75), 1);
  ASSERT_EQ(dib.SaveFile(dir.File("s.bmp").c_str(), a), 1);
  for (const char* name : {"s.JPG", "s.bmp"}) {
    int w = 0, h = 0;
    EXPECT_EQ(dib.GetSize(dir.File(name).c_str(), w, h), 1);
    EXPECT_EQ(std::pair(w, h), std::pair(50, 20)) << name;
  }
  int w = 0, h = 0;
  EXPECT_EQ(dib.GetJPEGSize(dir.File("none.jpg").c_str(), w, h), 0);
  EXPECT_EQ(dib.Error(), kDibOpenRead);
  EXPECT_EQ(dib.LoadJpeg(dir.File("none.jpg").c_str()), nullptr);
  EXPECT_EQ(dib.Error(), kDibOpenRead);
  // A BMP under a JPEG name is no JPEG.
  EXPECT_EQ(dib.GetJPEGSize(dir.File("s.bmp").c_str(), w, h), 0);
  EXPECT_EQ(dib.Error(), kDibTransfer);
  DeleteObject(a);
}

TEST_F(DibJpeg, DamagedFilesGiveNullAndAReason) {
  HBITMAP a = MakeScene(dib, 64, 48);
  ASSERT_EQ(dib.SaveJpeg(dir.File("a.jpg").c_str(), a, 80), 1);
  DeleteObject(a);
  const auto good = ReadAll(dir.File("a.jpg"));
  HBITMAP ok = dib.ReadJpeg(good.data(), good.size());
  ASSERT_NE(ok, nullptr);
  DeleteObject(ok);

  // Cut anywhere: in the headers, in the picture data, just before the end marker.
  for (size_t keep : {size_t(1), size_t(2), size_t(20), size_t(200), good.size() / 2, good.size() - 2}) {
    dib.ClearError();
    EXPECT_EQ(dib.ReadJpeg(good.data(), keep), nullptr) << keep;
    EXPECT_EQ(dib.Error(), kDibTransfer) << keep;
  }
  EXPECT_EQ(dib.ReadJpeg(good.data(), 0), nullptr);
  EXPECT_EQ(dib.Error(), kDibRead);
  // Not a JPEG at all.
  const std::vector<unsigned char> text(300, 'x');
  EXPECT_EQ(dib.ReadJpeg(text.data(), text.size()), nullptr);
  EXPECT_EQ(dib.Error(), kDibTransfer);
  int w = 0, h = 0;
  EXPECT_EQ(dib.ReadJpegSize(text.data(), text.size(), w, h), 0);
  EXPECT_EQ(dib.Error(), kDibTransfer);
  // An end marker in the middle of the picture data: libjpeg would only warn and fill the
  // rest with gray; we refuse.
  const size_t scan = Marker(good, 0xDA);
  ASSERT_NE(scan, 0u);
  ASSERT_LT(scan + 40, good.size());
  auto early = good;
  early[scan + 30] = 0xFF;
  early[scan + 31] = 0xD9;
  EXPECT_EQ(dib.ReadJpeg(early.data(), early.size()), nullptr);
  EXPECT_EQ(dib.Error(), kDibTransfer);
  // A frame header claiming 60000 x 60000 pixels: too large to make, not bad data.
  auto huge = good;
  const size_t frame = Marker(huge, 0xC0);
  ASSERT_NE(frame, 0u);
  huge[frame + 5] = huge[frame + 7] = 0xEA;
  huge[frame + 6] = huge[frame + 8] = 0x60;
  EXPECT_EQ(dib.ReadJpegSize(huge.data(), huge.size(), w, h), 1);
  EXPECT_EQ(w, 60000);
  EXPECT_EQ(dib.ReadJpeg(huge.data(), huge.size()), nullptr);
  EXPECT_EQ(dib.Error(), kDibMemory);
  // The file readers take the same path.
  ASSERT_TRUE(WriteAll(dir.File("cut.jpg"), std::vector<unsigned char>(good.begin(), good.begin() + 300)));
  EXPECT_EQ(dib.LoadFile(dir.File("cut.jpg").c_str()), nullptr);
  EXPECT_EQ(dib.Error(), kDibTransfer);
}

TEST_F(DibJpeg, ImageMagickFilesReadAndOursOpenThere) {
  if (!pictest::HaveImageMagick()) GTEST_SKIP() << "ImageMagick (convert, identify) not installed";
  const std::vector<std::string> makers = {
      "convert -size 83x41 -seed 5 plasma:fractal -quality 92 ",
      "convert -size 83x41 gradient:white-black -colorspace Gray -quality 92 ",
      "convert -size 64x32 -seed 2 plasma:fractal -interlace JPEG -quality 85 ",  // progressive
      "convert -size 64x32 -seed 4 plasma:fractal -colorspace CMYK -quality 92 ",  // four channels
  };
  // Theirs, and ours at quality 95, are read by ImageMagick in one run at the end.
  std::vector<std::string> files;
  std::vector<size_t> pixels;
  std::vector<std::vector<unsigned char>> ours;
  for (size_t i = 0; i <= makers.size(); ++i) {
    const std::string path = dir.File("im" + std::to_string(i) + ".jpg");
    if (i < makers.size()) {
      ASSERT_TRUE(pictest::Shell(makers[i] + path)) << makers[i];
    } else {
      HBITMAP scene = MakeScene(dib, 45, 33);
      ASSERT_EQ(dib.SaveJpeg(path.c_str(), scene, 95), 1);
      DeleteObject(scene);
      const auto id = pictest::Capture("identify -format '%m %w %h %Q' " + path);
      EXPECT_EQ(std::string(id.begin(), id.end()), "JPEG 45 33 95");
    }
    HBITMAP a = dib.LoadFile(path.c_str());
    ASSERT_NE(a, nullptr) << path << ": " << dib.Error();
    files.push_back(path);
    ours.push_back(pictest::OurRgb(dib, a));
    pixels.push_back(size_t(dib.Width(a)) * size_t(dib.Height(a)));
    DeleteObject(a);
  }
  const auto theirs = pictest::MagickRgbs(files, pixels);
  for (size_t i = 0; i < files.size(); ++i) {
    ASSERT_EQ(ours[i].size(), theirs[i].size()) << files[i];
    // Two decoders may round the colour conversion and upsampling differently.
    int worst = 0;
    for (size_t k = 0; k < ours[i].size(); ++k)
      worst = std::max(worst, std::abs(ours[i][k] - theirs[i][k]));
    EXPECT_LE(worst, 3) << files[i];
  }
}

}  // namespace
