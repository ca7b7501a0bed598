// kestrel filter-curve and kestrel spectrogram --band-pass: the response picture is high in the
// pass band and low outside it, the band-pass waterfall loses a tone outside its area from the
// scale, and bad designs are refused with exit status 2.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025;

// The topmost row (from the top) in column x that differs from the pixel at the top.
int CurveTop(CDibSection& dib, HBITMAP pic, int x) {
  COLORREF outline = RGB(255, 255, 128);
  for (int y = 2; y < dib.Height(pic) - 2; ++y)
    if (dib.PixelColor(pic, x, y) == outline) return y;
  return -1;
}

TEST(FilterCurveTool, PassBandHighStopBandLowAndRefusals) {
  sigtest::TempDir dir;
  std::string out = dir.path() + "/curve.bmp";
  auto r = sigtest::RunTool("filter-curve 1000-2000 -o " + out);
  ASSERT_EQ(r.status, 0) << r.out;
  // 400 columns over 0 ... 5512 Hz: 1000 Hz at column 72, 2000 Hz at 145.
  EXPECT_NE(r.out.find("columns 72-145 of 400"), std::string::npos) << r.out;
  CDibSection dib;
  HBITMAP pic = dib.LoadFile(out.c_str());
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(dib.Width(pic), 404);
  EXPECT_EQ(dib.Height(pic), 204);
  // Inside the 2-pixel edge: the middle of the pass band near the top, far off near the bottom.
  int mid = CurveTop(dib, pic, 2 + 108), off = CurveTop(dib, pic, 2 + 300);
  ASSERT_GE(mid, 0);
  ASSERT_GE(off, 0);
  EXPECT_LT(mid, 2 + 20);
  EXPECT_GT(off, 2 + 170);
  DeleteObject(pic);
  EXPECT_EQ(sigtest::RunTool("filter-curve 2000-1000 -o " + out).status, 2);
  EXPECT_EQ(sigtest::RunTool("filter-curve 0-6000 -o " + out).status, 2);
  EXPECT_EQ(sigtest::RunTool("filter-curve 100-300 --taps 1 -o " + out).status, 2);
  EXPECT_EQ(sigtest::RunTool("filter-curve 100-300").status, 2);
  EXPECT_EQ(sigtest::RunTool("filter-curve 300-3000 --smoothing 800 -o " + out).status, 0);
}

TEST(FilterCurveTool, BandPassWaterfallScalesToTheArea) {
  sigtest::TempDir dir;
  std::string wav = dir.path() + "/two.wav";
  // A weak tone at 1500 Hz inside the area, a strong one at 4500 Hz outside it.
  std::vector<float> s(16 * 1024);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = float(1200.0 * std::sin(2 * M_PI * 1500.0 * double(i) / kRate) +
                 9000.0 * std::sin(2 * M_PI * 4500.0 * double(i) / kRate));
  ASSERT_TRUE(sigtest::WriteMonoWav(wav, kRate, s));
  CDibSection dib;
  std::vector<int> green;
  for (const char* extra : {"", " --band-pass"}) {
    std::string out = dir.path() + "/g.bmp";
    auto r = sigtest::RunTool("spectrogram " + wav + " -o " + out + " --area 1000-2000 --rows 40" +
                              extra);
    ASSERT_EQ(r.status, 0) << r.out;
    HBITMAP g = dib.LoadFile(out.c_str());
    ASSERT_NE(g, nullptr);
    // The brightest pixel of a late column (the foreground colour is the brightest green).
    int best = 0;
    for (int y = 0; y < 40; ++y) best = std::max(best, GetGValue(dib.PixelColor(g, 12, y)));
    green.push_back(best);
    DeleteObject(g);
  }
  // Unfiltered the outside tone sets the scale; band-passed the inside tone reaches the top.
  EXPECT_LT(green[0], 200);
  EXPECT_EQ(green[1], 255);
}

}  // namespace
