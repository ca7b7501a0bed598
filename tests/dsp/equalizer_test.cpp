// The equalizer, its curve files and panel rules, and the audio squelch measure.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "spl/dsp/audio_squelch.h"
#include "spl/dsp/equalizer.h"
#include "spl/dsp/equalizer_curve.h"
#include "spl/dsp/equalizer_modul.h"
#include "tests/common/signal_test_util.h"
#include "tests/dsp/dsp_test_util.h"

namespace {

using dsptest::Block;

constexpr int kRate = 11025;
constexpr int kN = 1024;

// Runs a signal through the equalizer block by block.
std::vector<float> EqualizeAll(CEqualizer& eq, const std::vector<float>& x) {
  std::vector<float> y;
  for (size_t at = 0; at + kN <= x.size(); at += kN) {
    Block b(std::vector<float>(x.begin() + long(at), x.begin() + long(at + kN)));
    eq.Equalize(b.get());
    y.insert(y.end(), b->data, b->data + kN);
  }
  return y;
}

TEST(Equalizer, FlatCurvePassesTheSignalHalfABlockLate) {
  CEqualizer eq;
  ASSERT_EQ(eq.Init(kRate, kN, kEqualizerDefaultSmoothing), 1);
  const std::vector<float> x = dsptest::Cosine(8 * kN, 440.0, kRate, 1000.0);
  const std::vector<float> y = EqualizeAll(eq, x);
  for (size_t i = 2 * kN; i < y.size(); ++i) ASSERT_NEAR(y[i], x[i - kN / 2], 2.0) << i;
  Block wrong(kN - 1);
  eq.Equalize(wrong.get());  // not a block of N: left alone
}

TEST(Equalizer, ABandSetToZeroIsCutByAtLeast40dB) {
  CEqualizer eq;
  ASSERT_EQ(eq.Init(kRate, kN, kEqualizerDefaultSmoothing), 1);
  ASSERT_EQ(eq.SetRange(1500, 800, 0.0f), 1);  // reversed ends are swapped
  for (double f : {1150.0, 2500.0}) {
    const std::vector<float> y = EqualizeAll(eq, dsptest::Cosine(16 * kN, f, kRate, 1000.0));
    const std::vector<float> tail(y.begin() + 4 * kN, y.end());
    const double gain_db = 20 * std::log10(dsptest::ToneAmplitude(tail, f, kRate) / 1000.0);
    if (f == 1150.0)
      EXPECT_LT(gain_db, -40.0);
    else
      EXPECT_GT(gain_db, -1.0);
  }
}

TEST(Equalizer, RangesStopAtTheLastBinAndRefuseWhatLiesOutside) {
  CEqualizer eq;
  ASSERT_EQ(eq.Init(kRate, kN, kEqualizerDefaultSmoothing), 1);
  ASSERT_EQ(eq.SetRange(kRate / 4, kRate / 2, 0.5f), 1);
  int count = 0;
  const float* g = eq.GetPoti(count);
  ASSERT_EQ(count, kN);
  EXPECT_EQ(g[kN / 2 - 1], 1.0f);
  EXPECT_EQ(g[kN / 2], 0.5f);
  EXPECT_EQ(g[kN - 1], 0.5f);
  EXPECT_EQ(eq.SetRange(-1, 100, 0.0f), 0);
  EXPECT_EQ(eq.SetRange(100, kRate / 2 + 1, 0.0f), 0);
  EXPECT_EQ(g[0], 1.0f);
  EXPECT_EQ(eq.Init(kRate, 1000, 1000), 0);  // N must be a power of two
  EXPECT_EQ(eq.Init(kRate, kN, 0), 0);
}

TEST(EqualizerCurve, FileBytesAndShortOrBrokenFiles) {
  sigtest::TempDir dir;
  EqualizerCurve c = DefaultEqualizerCurve(8000, 4);
  c.gains = {0.0f, 0.25f, 1.0f, 0.5f};
  c.zoomStart = 100;
  c.zoomWidth = -2;
  ASSERT_EQ(SaveEqualizerCurve(dir.File("c.equ"), c), 1);
  std::ifstream in(dir.File("c.equ"), std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  const std::vector<uint8_t> expect = {
      0x40, 0x1F, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0, 100, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF,
      0xE8, 0x03, 0, 0,                                   // header
      0, 0, 0, 0, 0, 0, 0x80, 0x3E, 0, 0, 0x80, 0x3F, 0, 0, 0, 0x3F};  // gains
  EXPECT_EQ(bytes, expect);

  // Read for N = 6: the file's four gains, the rest stays 1.0.
  EqualizerCurve r;
  ASSERT_EQ(LoadEqualizerCurve(dir.File("c.equ"), 8000, 6, r), 1);
  EXPECT_EQ(r.gains, (std::vector<float>{0.0f, 0.25f, 1.0f, 0.5f, 1.0f, 1.0f}));
  EXPECT_EQ(r.zoomStart, 100);

  // A count larger than the file, a truncated header, a NaN gain: default curve, a reason.
  std::vector<uint8_t> lying = expect;
  lying[8] = 0xFF;
  lying[9] = 0xFF;
  std::ofstream(dir.File("lying.equ"), std::ios::binary)
      .write(reinterpret_cast<const char*>(lying.data()), long(lying.size()));
  ASSERT_EQ(LoadEqualizerCurve(dir.File("lying.equ"), 8000, 4096, r), 1);
  EXPECT_EQ(r.gains.size(), 4096u);
  EXPECT_EQ(r.gains[1], 0.25f);
  EXPECT_EQ(r.gains[4095], 1.0f);
  std::ofstream(dir.File("short.equ"), std::ios::binary)
      .write(reinterpret_cast<const char*>(expect.data()), 23);
  std::string why;
  EXPECT_EQ(LoadEqualizerCurve(dir.File("short.equ"), 8000, 4, r, &why), 0);
  EXPECT_NE(why.find("truncated"), std::string::npos);
  EXPECT_EQ(r.gains, std::vector<float>(4, 1.0f));
  std::vector<uint8_t> nan = expect;
  const float bad = std::nanf("");
  memcpy(&nan[28], &bad, 4);
  std::ofstream(dir.File("nan.equ"), std::ios::binary)
      .write(reinterpret_cast<const char*>(nan.data()), long(nan.size()));
  EXPECT_EQ(LoadEqualizerCurve(dir.File("nan.equ"), 8000, 4, r, &why), 0);
  EXPECT_EQ(r.gains, std::vector<float>(4, 1.0f));
  EXPECT_EQ(r.smoothing, kEqualizerDefaultSmoothing);
  EXPECT_EQ(LoadEqualizerCurve(dir.File("none.equ"), 8000, 4, r, &why), 0);
}

TEST(EqualizerModul, DrawingFillsTheDraggedRangeAndZoomKeepsItsLimits) {
  CEqualizerModul m;
  ASSERT_EQ(m.Init(kRate, kN), 1);
  m.SetDrawingSize(5516, 108);  // area 5512 x 104: one pixel per Hz
  EXPECT_EQ(m.FrequencyAt(1002), 1000);
  EXPECT_FLOAT_EQ(m.GainAt(4), 1.0f);
  EXPECT_FLOAT_EQ(m.GainAt(100), 0.0f);
  EXPECT_FLOAT_EQ(m.GainAt(52), 0.5f);
  // Press at 2000 Hz, drag left to 1000 Hz at gain 0: 1000 ... 2000 Hz all drawn.
  m.LButtonDown(2002, 100);
  EXPECT_TRUE(m.Captured());
  m.MouseMove(1002, 100);
  m.ButtonUp();
  EXPECT_FALSE(m.Captured());
  EXPECT_EQ(m.ReadoutHz(), 1000);
  EXPECT_EQ(m.ReadoutRedraws(), 20);
  int count = 0;
  const float* g = m.Equalizer().GetPoti(count);
  for (int k = kN * 1000 / (kRate / 2); k <= kN * 2000 / (kRate / 2); ++k) ASSERT_EQ(g[k], 0.0f) << k;
  EXPECT_EQ(g[kN * 3000 / (kRate / 2)], 1.0f);
  // Erasing restores 1.0.
  m.RButtonDown(1502, 0);
  m.ButtonUp();
  EXPECT_EQ(g[kN * 1500 / (kRate / 2)], 1.0f);

  EXPECT_EQ(m.Zoom(kRate / 2, 10), 0);
  EXPECT_EQ(m.Zoom(-1, 10), 0);
  ASSERT_EQ(m.Zoom(5000, 4000), 1);  // width clipped to what is left
  int start = -1, width = -1;
  m.GetZoom(start, width);
  EXPECT_EQ(width, kRate / 2 - 5000);
  ASSERT_EQ(m.SetFilter(0), 1);
  EXPECT_EQ(m.GetFilter(), 1);

  // Saved and loaded back through a file, with the power switch off nothing is filtered.
  sigtest::TempDir dir;
  ASSERT_EQ(m.SaveCurve(dir.File("m.equ")), 1);
  CEqualizerModul other;
  ASSERT_EQ(other.Init(kRate, kN), 1);
  ASSERT_EQ(other.LoadCurve(dir.File("m.equ")), 1);
  EXPECT_EQ(other.GetFilter(), 1);
  const float* h = other.Equalizer().GetPoti(count);
  EXPECT_EQ(std::vector<float>(h, h + kN), std::vector<float>(g, g + kN));
  other.SetBypass(0);
  Block b(dsptest::Cosine(kN, 1200.0, kRate, 100.0));
  const std::vector<float> before = b.vec();
  other.Equalize(b.get());
  EXPECT_EQ(b.vec(), before);
}

TEST(AudioSquelch, ToneMeasuresHighNoiseLowSilenceZero) {
  CAudioSquelch sq;
  ASSERT_EQ(sq.Init(kRate, kN), 1);
  Block tone(dsptest::Cosine(kN, 43.0 * kRate / kN, kRate, 1000.0));
  const float t = sq.GetSpecDiff(tone.get());
  std::vector<float> noise(kN, 0.0f);
  sigtest::AddNoise(noise, kRate, 0.0, 7, 1e6);
  Block nb(noise);
  const float n = sq.GetSpecDiff(nb.get());
  Block silence(kN);
  for (int i = 0; i < kN; ++i) silence->data[i] = 0.0f;
  EXPECT_GT(t, 0.9f);
  // White noise is far from a tone but not 0: the measure compares the mean of the
  // square-rooted magnitudes with their largest, about 0.45 for Rayleigh-distributed bins.
  EXPECT_LT(n, 0.6f);
  EXPECT_EQ(sq.GetSpecDiff(silence.get()), 0.0f);
  EXPECT_EQ(CAudioSquelch::Level(t), int(t * 255 + 0.5f));
  EXPECT_EQ(sq.Init(kRate, 1000), 0);
}

}  // namespace
