// Spectrum analyser and spectrogram: where tones land in the pictures, the falling peak,
// refused areas, the zoom of narrow areas and the colour table.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spl/dsp/spectrana.h"
#include "spl/dsp/time_spec.h"

namespace {

constexpr int kRate = 11025;
constexpr int kBlock = 1024;

AudioBlock* Tone(double hz, float amp) {
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, kBlock);
  for (int i = 0; i < kBlock; ++i) b->data[i] = amp * float(std::sin(2 * M_PI * hz * i / kRate));
  MeasureAudioBlock(b);
  return b;
}

// The column table as the analyser's integer arithmetic defines it.
int ModelBin(int i, int w, int lo, int hi) {
  float step = float(hi - lo) / float(w + 1);
  return int((((i + 1) * step + lo - 1) * (w + 3)) / (kRate * 0.5) * kBlock * 0.5 / (w + 3));
}

TEST(Spectrana, ToneReachesTopRowInItsColumnSilenceStaysAtBottom) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(204, 104));
  CSpectrana ana;
  ASSERT_EQ(ana.Init(&wnd, kRate, kBlock), 1);
  ASSERT_EQ(ana.SetArea(500, 2500), 1);
  EXPECT_EQ(ana.Width(), 200);
  EXPECT_EQ(ana.Height(), 100);
  for (int i = 0; i < 203; ++i) EXPECT_EQ(ana.Bin(i), ModelBin(i, 200, 500, 2500)) << i;
  const int bin = 140;  // 1507 Hz sits on bin 140 exactly
  AudioBlock* tone = Tone(bin * double(kRate) / kBlock, 8000.0f);
  ana.FFTDisplay(tone);
  int top = -1;
  for (int c = 1; c <= 200; ++c)
    if (ana.CurveY(c) == 0) top = c;
  ASSERT_GE(top, 1);
  EXPECT_EQ(ana.Bin(top - 1), bin);
  // The outline colour is at the top of that column, shown at (2, 2) of the target.
  EXPECT_EQ(GetPixel24(wnd.Picture(), 2 + top - 1, 2), RGB(255, 255, 128));
  FreeAudioBlock(tone);
  AudioBlock* quiet = Tone(1000, 0.0f);
  ana.FFTDisplay(quiet);
  for (int c = 1; c <= 200; ++c) EXPECT_EQ(ana.CurveY(c), 99);
  FreeAudioBlock(quiet);
}

TEST(Spectrana, PeakDisplaySinksTwoPixelsPerBlock) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(204, 104));
  CSpectrana ana;
  ASSERT_EQ(ana.Init(&wnd, kRate, kBlock), 1);
  ana.SetPeak(1);
  AudioBlock* tone = Tone(140 * double(kRate) / kBlock, 8000.0f);
  AudioBlock* quiet = Tone(1000, 0.0f);
  ana.FFTDisplay(tone);
  int top = -1;
  for (int c = 1; c <= 200; ++c)
    if (ana.CurveY(c) == 0) top = c;
  ASSERT_GE(top, 1);
  for (int k = 1; k <= 10; ++k) {
    ana.FFTDisplay(quiet);
    EXPECT_EQ(ana.CurveY(top), 2 * k);
  }
  for (int k = 0; k < 60; ++k) ana.FFTDisplay(quiet);
  EXPECT_EQ(ana.CurveY(top), 99);  // never below the bottom row
  FreeAudioBlock(tone);
  FreeAudioBlock(quiet);
}

TEST(Spectrana, RefusedAreasRangesAndMarksKeepThePreviousValues) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(104, 54));
  CSpectrana ana;
  EXPECT_EQ(ana.Init(nullptr, kRate, kBlock), 0);
  ASSERT_EQ(ana.Init(&wnd, kRate, kBlock), 1);
  ASSERT_EQ(ana.SetArea(0, 2000), 1);
  int col = ana.Column(1000);
  EXPECT_EQ(ana.SetArea(1000, 6000), 0);
  EXPECT_EQ(ana.SetArea(500, 500), 0);
  EXPECT_EQ(ana.SetArea(-1, 500), 0);
  EXPECT_EQ(ana.Column(1000), col);
  EXPECT_EQ(ana.SetRange(300, 200), 0);
  EXPECT_EQ(ana.SetMark(0, 5513), 0);
  EXPECT_EQ(ana.SetMark(1200, 1201), 1);
  // Column of a frequency: ((f - lo + d) * W) / (hi - lo), d = (hi - lo) / (block / 2) - 1.
  EXPECT_EQ(ana.Column(1200), ((1200 - 0 + (2000 / 512 - 1)) * 100) / 2000);
}

TEST(TimeSpec, NarrowAreaZoomExample) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(54, 104));
  CTimeSpec spec;
  ASSERT_EQ(spec.Init(&wnd, kRate, kBlock), 1);
  EXPECT_EQ(spec.Zoom(), 1);
  ASSERT_EQ(spec.SetArea(1000, 1200), 1);
  EXPECT_EQ(spec.Rows(), 100);
  EXPECT_EQ(spec.Zoom(), 8);  // 19 bins: 19 * 4 < 100 <= 19 * 8
  EXPECT_EQ(spec.SetArea(1000, 6000), 0);
  EXPECT_EQ(spec.Zoom(), 8);
}

TEST(TimeSpec, ToneLandsInItsRowAtTheRightEdgeAndScrolls) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(24, 132));  // 20 columns, 128 rows
  CTimeSpec spec;
  ASSERT_EQ(spec.Init(&wnd, kRate, kBlock), 1);
  ASSERT_EQ(spec.SetArea(0, 5512), 1);
  EXPECT_EQ(spec.Zoom(), 1);
  const int bin = 200;
  AudioBlock* tone = Tone(bin * double(kRate) / kBlock, 8000.0f);
  spec.Draw(tone);
  int lo = spec.FirstBin(), hi = spec.LastBin();
  int n = hi - lo - 1;
  int row = 128 * (bin - lo) / n;  // counted from the bottom
  CDibSection dib;
  HBITMAP pic = spec.Picture();
  EXPECT_EQ(dib.PixelColor(pic, 19, 127 - row), spec.TableColor(255));
  EXPECT_EQ(dib.PixelColor(pic, 18, 127 - row), spec.TableColor(0));
  AudioBlock* quiet = Tone(1000, 0.0f);
  spec.Draw(quiet);
  EXPECT_EQ(dib.PixelColor(pic, 18, 127 - row), spec.TableColor(255));
  EXPECT_EQ(dib.PixelColor(pic, 19, 127 - row), spec.TableColor(0));
  FreeAudioBlock(tone);
  FreeAudioBlock(quiet);
}

TEST(TimeSpec, ColourTableRunsFromBackgroundToForeground) {
  int h, s, v;
  RgbToHsv(RGB(255, 0, 0), h, s, v);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(s, 255);
  EXPECT_EQ(v, 255);
  RgbToHsv(RGB(0, 0, 255), h, s, v);
  EXPECT_EQ(h, 43680);
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(24, 24));
  CTimeSpec spec;
  ASSERT_EQ(spec.Init(&wnd, kRate, kBlock), 1);
  ASSERT_EQ(spec.SetColor(RGB(0, 0, 0), RGB(200, 200, 200)), 1);
  EXPECT_EQ(spec.TableColor(0), RGB(0, 0, 0));
  EXPECT_EQ(spec.TableColor(255), RGB(200, 200, 200));
  EXPECT_EQ(spec.TableColor(128), RGB(100, 100, 100));
}

}  // namespace
