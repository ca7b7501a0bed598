// kestrel spectrogram / spectrum: the pictures carry the tone where the station draws it, and
// bad areas and row counts are refused with exit status 2.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025;

std::vector<float> ToneSamples(double hz, int n) {
  std::vector<float> s(n);
  for (int i = 0; i < n; ++i) s[i] = 10000.0f * float(std::sin(2 * M_PI * hz * i / kRate));
  return s;
}

TEST(SpectrumTool, WaterfallAndAnalyserPictures) {
  sigtest::TempDir dir;
  std::string wav = dir.path() + "/tone.wav";
  // 16 blocks of 1024 samples; the tone sits on bin 150 of 512 (about 1615 Hz).
  ASSERT_TRUE(sigtest::WriteMonoWav(wav, kRate, ToneSamples(150.0 * kRate / 1024, 16 * 1024)));
  auto r = sigtest::RunTool("spectrogram " + wav + " -o " + dir.path() + "/g.bmp --rows 64");
  ASSERT_EQ(r.status, 0) << r.out;
  CDibSection dib;
  HBITMAP g = dib.LoadFile((dir.path() + "/g.bmp").c_str());
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(dib.Width(g), 16);
  EXPECT_EQ(dib.Height(g), 64);
  // Bins 0 ... 511 over 64 rows: bin 150 is row 64 * 150 / 510 = 18 from the bottom.
  COLORREF hot = dib.PixelColor(g, 8, 63 - 18);
  EXPECT_EQ(hot, RGB(255, 255, 128));
  EXPECT_NE(dib.PixelColor(g, 8, 63 - 40), hot);
  DeleteObject(g);

  r = sigtest::RunTool("spectrum " + wav + " -o " + dir.path() + "/s.bmp");
  ASSERT_EQ(r.status, 0) << r.out;
  HBITMAP s = dib.LoadFile((dir.path() + "/s.bmp").c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(dib.Width(s), 516);
  EXPECT_EQ(dib.Height(s), 260);
  // The tone reaches the top row of the drawing area (2 pixels below the edge) somewhere.
  int topHits = 0;
  for (int x = 2; x < 514; ++x) topHits += dib.PixelColor(s, x, 2) == RGB(255, 255, 128);
  EXPECT_GE(topHits, 1);
  DeleteObject(s);
}

TEST(SpectrumTool, RefusesBadAreasAndRows) {
  sigtest::TempDir dir;
  std::string wav = dir.path() + "/tone.wav";
  ASSERT_TRUE(sigtest::WriteMonoWav(wav, kRate, ToneSamples(1000, 4096)));
  std::string out = " -o " + dir.path() + "/x.bmp";
  for (const char* bad : {" --area 1000-6000", " --area 500-500", " --area abc", " --rows 3"}) {
    auto r = sigtest::RunTool("spectrogram " + wav + out + bad);
    EXPECT_EQ(r.status, 2) << bad << r.out;
  }
  EXPECT_EQ(sigtest::RunTool("spectrum " + wav + out + " --area 2000-1000").status, 2);
  EXPECT_EQ(sigtest::RunTool("spectrum " + dir.path() + "/missing.wav" + out).status, 2);
}

}  // namespace
