// Spectrum analyser and spectrogram: where tones land in the pictures, the falling peak,
// refused areas, the zoom of narrow areas and the colour table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "spl/audio/op_amp.h"
#include "spl/dsp/filter.h"
#include "spl/dsp/spectrum_analyser.h"
#include "spl/dsp/spectrogram.h"

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

TEST(Spectrana, ToneReachesTopRowInItsColumnSilenceStaysAtBottomPeaksSink) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(204, 104));
  CSpectrana ana;
  ASSERT_EQ(ana.Init(&wnd, kRate, kBlock), 1);
  ASSERT_EQ(ana.SetArea(500, 2500), 1);
  EXPECT_EQ(ana.Width(), 200);
  EXPECT_EQ(ana.Height(), 100);
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
  AudioBlock* quiet = Tone(1000, 0.0f);
  ana.FFTDisplay(quiet);
  for (int c = 1; c <= 200; ++c) EXPECT_EQ(ana.CurveY(c), 99);
  // With the peak display over the whole band (more bins than columns) the top sinks two
  // pixels a block, down to the bottom row.
  ASSERT_EQ(ana.SetArea(0, kRate / 2), 1);
  ana.SetPeak(1);
  ana.FFTDisplay(tone);
  top = -1;
  for (int c = 1; c <= 200; ++c)
    if (ana.CurveY(c) == 0) top = c;
  ASSERT_GE(top, 1);
  for (int k = 1; k <= 10; ++k) {
    ana.FFTDisplay(quiet);
    EXPECT_EQ(ana.CurveY(top), 2 * k);
  }
  for (int k = 0; k < 60; ++k) ana.FFTDisplay(quiet);
  EXPECT_EQ(ana.CurveY(top), 99);
  for (AudioBlock* x : {tone, quiet}) FreeAudioBlock(x);
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
  for (AudioBlock* x : {tone, quiet}) FreeAudioBlock(x);
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

// Two tones plus a little noise, block k of a continuous signal.
AudioBlock* TwoTones(int k, double inside, float ampInside, double outside, float ampOutside) {
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, kBlock);
  uint32_t seed = 12345u + uint32_t(k) * 7919u;
  for (int i = 0; i < kBlock; ++i) {
    double t = double(k * kBlock + i) / kRate;
    seed = seed * 1664525u + 1013904223u;
    float noise = float(int(seed >> 20) - 2048) * 0.05f;
    b->data[i] = ampInside * float(std::sin(2 * M_PI * inside * t)) +
                 ampOutside * float(std::sin(2 * M_PI * outside * t)) + noise;
  }
  MeasureAudioBlock(b);
  return b;
}

// The filtered spectrogram must show exactly what an unfiltered one shows of the signal run
// through the same band-pass beforehand: history and block boundaries included.
void ExpectSameAsPrefiltered(int rows, int lo, int hi, int wantZoom, int blockCount) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(14, rows + 4));
  CTimeSpec filtered, reference;
  ASSERT_EQ(filtered.Init(&wnd, kRate, kBlock), 1);
  ASSERT_EQ(reference.Init(&wnd, kRate, kBlock), 1);
  ASSERT_EQ(filtered.SetArea(lo, hi), 1);
  ASSERT_EQ(reference.SetArea(lo, hi), 1);
  ASSERT_EQ(filtered.SetFilter(1), 1);
  EXPECT_EQ(filtered.Filtered(), 1);
  EXPECT_EQ(filtered.BandPass().GetTaps(), 128);
  ASSERT_EQ(filtered.Zoom(), wantZoom);
  CFilter bp;
  ASSERT_EQ(bp.Init(kRate, kBlock, 128), 1);
  ASSERT_EQ(bp.CreateBP(float(lo), float(hi), kFilterWindowHann), 1);
  AudioBlock* out = nullptr;
  NewAudioBlock(&out, kBlock);
  for (int k = 0; k < blockCount; ++k) {
    AudioBlock* b = TwoTones(k, (lo + hi) / 2.0 + 3.3, 2000.0f, 4000.0, 6000.0f);
    filtered.Draw(b);
    bp.Filter(b, out, 1);
    reference.Draw(out);
    FreeAudioBlock(b);
  }
  FreeAudioBlock(out);
  CDibSection dib;
  for (int x = 0; x < 10; ++x)
    for (int y = 0; y < rows; ++y)
      ASSERT_EQ(dib.PixelColor(filtered.Picture(), x, y), dib.PixelColor(reference.Picture(), x, y))
          << x << "," << y;
}

TEST(TimeSpec, BandPassStreamsAcrossBlocksWithAndWithoutZoom) {
  ExpectSameAsPrefiltered(40, 1000, 3000, 1, 12);
  ExpectSameAsPrefiltered(100, 1000, 1200, 8, 12);
}

TEST(TimeSpec, FilterFlagRunsInitAgainAndSwitchesOff) {
  CMemoryPaintTarget wnd;
  CTimeSpec spec;
  EXPECT_EQ(spec.SetFilter(1), 1);  // stored before any window
  ASSERT_TRUE(wnd.Init(24, 44));
  ASSERT_EQ(spec.Init(&wnd, kRate, kBlock), 1);
  EXPECT_EQ(spec.BandPass().GetTaps(), 128);
  // The band-pass follows the area.
  ASSERT_EQ(spec.SetArea(500, 900), 1);
  EXPECT_EQ(spec.SetArea(1000, 6000), 0);  // beyond half the rate: refused, the area kept
  const float* h = spec.BandPass().GetCoeff();
  std::complex<double> at700 = 0, at3000 = 0;
  for (int k = 0; k <= 128; ++k) {
    at700 += double(h[k]) * std::polar(1.0, -2 * M_PI * 700.0 * k / kRate);
    at3000 += double(h[k]) * std::polar(1.0, -2 * M_PI * 3000.0 * k / kRate);
  }
  EXPECT_GT(std::abs(at700), 100 * std::abs(at3000));
  ASSERT_EQ(spec.SetFilter(0), 1);
  EXPECT_EQ(spec.Filtered(), 0);
}

TEST(Spectrana, PatternBrushesFillAboveAndBelowTheCurveAndInTheRange) {
  CMemoryPaintTarget wnd;
  ASSERT_TRUE(wnd.Init(204, 104));
  CSpectrana ana;
  ASSERT_EQ(ana.Init(&wnd, kRate, kBlock), 1);
  ASSERT_EQ(ana.SetArea(500, 2500), 1);
  ASSERT_EQ(ana.SetRange(1400, 1600), 1);
  // Tones on bins 100 (outside the range) and 140 (inside).
  AudioBlock* tone = Tone(100 * double(kRate) / kBlock, 8000.0f);
  AudioBlock* second = Tone(140 * double(kRate) / kBlock, 8000.0f);
  COpAmp().Add(second, tone, 1);
  FreeAudioBlock(second);
  ana.FFTDisplay(tone);
  HBITMAP bg = CreateViewPattern(kPatternBackground), curve = CreateViewPattern(kPatternCurve),
          range = CreateViewPattern(kPatternRange);
  HBITMAP pic = ana.Picture();
  int ra = ana.Column(1400), rb = ana.Column(1600);
  for (int c = 1; c <= 200; ++c) {
    int x = c - 1, y = ana.CurveY(c), prev = c > 1 ? ana.CurveY(c - 1) : y;
    int top = std::min(y, prev), bottom = std::max(y, prev);
    for (int r = 0; r < 100; ++r) {
      if (r >= top && r <= bottom) continue;  // the outline
      HBITMAP p = r < y ? bg : (x >= ra && x <= rb) ? range : curve;
      ASSERT_EQ(GetPixel24(pic, x, r), GetPixel24(p, x % 8, r % 8)) << x << "," << r;
    }
  }
  DeleteObject(bg);
  DeleteObject(curve);
  DeleteObject(range);
  // Without brushes the colours fill.
  ana.SetBrush(nullptr, nullptr, nullptr);
  ana.SetColor(RGB(1, 2, 3), RGB(255, 255, 128), RGB(4, 5, 6), RGB(255, 128, 128));
  ana.FFTDisplay(tone);
  // A raised column (no outline on the bottom row) outside and one inside the range.
  int out = -1, in = -1;
  for (int c = 2; c <= 200; ++c) {
    if (std::max(ana.CurveY(c), ana.CurveY(c - 1)) >= 99) continue;
    int x = c - 1;
    (x >= ra && x <= rb ? in : out) = x;
  }
  ASSERT_GE(out, 0);
  ASSERT_GE(in, 0);
  EXPECT_EQ(GetPixel24(pic, out, 99), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel24(pic, in, 99), RGB(4, 5, 6));
  EXPECT_EQ(GetPixel24(pic, out + 20, 0), RGB(0, 0, 0));
  FreeAudioBlock(tone);
}

}  // namespace
