// Tone generator, phase-locked loops and the frequency meter.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spl/dsp/iir.h"
#include "spl/dsp/pll.h"
#include "spl/dsp/pll_state.h"
#include "spl/dsp/reference.h"
#include "spl/dsp/tone_gen.h"
#include "tests/dsp/dsp_test_util.h"

namespace {

using dsptest::Block;

constexpr int kRate = 11025;
constexpr int kN = 1024;

TEST(ToneGen, FrequencyChangesWaitForTheNextZeroCrossingAndNeverJump) {
  CToneGen g;
  ASSERT_EQ(g.Init(kRate, kN), 1);
  g.SetAmpl(1000.0f);
  g.SetFreq(500.0f);
  g.SetZSync(1);
  Block b(kN);
  g.Generate(b.get(), 0, 300);
  g.SetFreq(1500.0f);
  g.Generate(b.get(), 300, kN - 300);
  // Find the first sign change at or after 300: the new step applies from there.
  int change = -1;
  for (int i = 300; i < kN; ++i) {
    const float prev = b->data[i - 1], y = b->data[i];
    if ((y <= 0 && prev > 0) || (y > 0 && prev <= 0)) {
      change = i;
      break;
    }
  }
  ASSERT_GT(change, 300);
  const double slow = 1000.0 * 2 * M_PI * 500 / kRate, fast = 1000.0 * 2 * M_PI * 1500 / kRate;
  for (int i = 1; i < kN; ++i) {
    const double step = std::fabs(b->data[i] - b->data[i - 1]);
    EXPECT_LE(step, (i <= change ? slow : fast) * 1.01) << i;
  }
  // After the crossing the waveform runs at 1500 Hz.
  std::vector<float> tail(b->data + change + 10, b->data + kN);
  EXPECT_NEAR(dsptest::Rms(tail), 1000.0 / std::sqrt(2.0), 30.0);
  EXPECT_FLOAT_EQ(g.GetStep(), float(2 * M_PI * 1500 / kRate));
}

TEST(ToneGen, PendingFrequencyOfAStillGeneratorTakesEffect) {
  CToneGen g;
  g.SetZSync(1);
  ASSERT_EQ(g.Init(8000, 256), 1);
  g.SetFreq(1000.0f);  // the constructor's step was made without a rate
  Block b(256);
  g.Generate(b.get(), 0, 256);
  EXPECT_GT(b->data[2], 0.5f);
  // Noise stays in its range and is repeatable from the seed.
  g.SetAmpl(10.0f);
  Block n1(256), n2(256);
  g.Noise(n1.get(), 0, 256);
  g.SetAmpl(10.0f);
  g.Noise(n2.get(), 0, 300);  // clipped to the block
  for (int i = 0; i < 256; ++i) {
    EXPECT_LE(std::fabs(n1->data[i]), 10.0f);
    EXPECT_EQ(n1->data[i], n2->data[i]);
  }
}

TEST(Pll, SettersAndRefusals) {
  CPLL p;
  EXPECT_EQ(p.SetTPFactor(1.0), 0);
  EXPECT_EQ(p.SetTPFactor(-0.1), 0);
  EXPECT_EQ(p.SetTPFactor(0.5), 1);
  Block a(16), b(16);
  EXPECT_EQ(p.DoPLL(a.get(), b.get()), 0);  // no rate, no start frequency
  ASSERT_EQ(p.Init(kRate, 1000.0, 100.0, kN), 1);
  EXPECT_EQ(p.DoPLL(nullptr, b.get()), 0);
  EXPECT_EQ(p.DoPLL2(a.get(), nullptr), 0);
  EXPECT_DOUBLE_EQ(p.GetActualFrequency(), 1000.0);
  EXPECT_DOUBLE_EQ(p.SetFiltervalue(0.9), 0.99995);
  CIIR iir(0.5);
  EXPECT_DOUBLE_EQ(iir.IIR(2.0), 1.0);
  EXPECT_DOUBLE_EQ(iir.IIR(2.0), 1.5);
}

// The FM demodulator output for a steady tone, after the loop has settled.
double SettledPll2(double tone, double f0) {
  ResetPllProcessState();
  CPLL p;
  EXPECT_EQ(p.Init(kRate, f0, 400.0, kN), 1);
  Block out(kN);
  double mean = 0;
  for (int blk = 0; blk < 300; ++blk) {
    Block in(dsptest::Cosine(kN, tone, kRate, 1000.0, blk * kN));
    EXPECT_EQ(p.DoPLL2(in.get(), out.get()), 1);
    if (blk >= 280)
      for (float v : out.vec()) mean += v / kN;
  }
  return mean / 20.0;
}

TEST(Pll, FmOutputIsNearZeroAtTheStartFrequencyAndFollowsTheOffset) {
  EXPECT_NEAR(SettledPll2(1900.0, 1900.0), 0.0, 0.02);
  // 400 Hz per unit: a tone 100 Hz above settles near +0.25, one below near -0.25.
  EXPECT_NEAR(SettledPll2(2000.0, 1900.0), 0.25, 0.05);
  EXPECT_NEAR(SettledPll2(1800.0, 1900.0), -0.25, 0.05);
}

TEST(Reference, MeasuresATonesFrequencyAfterTheStartUp) {
  ResetPllProcessState();
  CReference r;
  ASSERT_EQ(r.Init(1000.0f, kRate, kN), 1);
  double f = 0;
  for (int blk = 0; blk < 200; ++blk) {
    Block in(dsptest::Cosine(kN, 1030.0, kRate, 1000.0, blk * kN));
    f = r.MeasureBlock(in.get());
    if (blk < 20) {
      EXPECT_EQ(f, 0.0) << blk;
    }
  }
  EXPECT_NEAR(f, 1030.0, 10.0);
  EXPECT_EQ(r.Init(0.0f, kRate, kN), 0);
}

TEST(Costas, BpskOutputFollowsCarrierReversals) {
  ResetPllProcessState();
  CPLL p;
  ASSERT_EQ(p.Init(kRate, 1000.0, 100.0, kN), 1);
  p.SetBPSKMode(1);
  // Carrier at 1000 Hz whose phase flips every 4 blocks.
  std::vector<float> decisions;
  for (int blk = 0; blk < 64; ++blk) {
    std::vector<float> v = dsptest::Cosine(kN, 1000.0, kRate, 1000.0, blk * kN);
    if ((blk / 4) % 2) {
      for (float& s : v) s = -s;
    }
    Block in(v), out(kN);
    ASSERT_EQ(p.DoCostasLoop(in.get(), out.get(), 0, 0), 1);
    decisions.push_back(out->data[kN - 1]);
  }
  // Once locked, the decision at the end of each block follows the carrier's sign pattern.
  int agree = 0, total = 0;
  for (int blk = 16; blk < 64; ++blk) {
    if (blk % 4 == 0) continue;  // the block of the reversal itself
    const bool flipped = (blk / 4) % 2;
    const bool ref_flipped = (16 / 4) % 2;
    const bool same = decisions[size_t(blk)] == decisions[16 + 1];
    agree += same == (flipped == ref_flipped);
    ++total;
    EXPECT_TRUE(decisions[size_t(blk)] == 180.0f || decisions[size_t(blk)] == -180.0f);
  }
  EXPECT_GE(agree, total - 2);
}

TEST(Costas, QpskDecisionsAreQuadrantPhasesHeldPerSymbol) {
  ResetPllProcessState();
  CPLL p;
  ASSERT_EQ(p.Init(kRate, 1000.0, 100.0, kN), 1);
  p.SetBPSKMode(0);
  for (int blk = 0; blk < 20; ++blk) {
    Block in(dsptest::Cosine(kN, 1000.0, kRate, 1000.0, blk * kN)), out(kN);
    ASSERT_EQ(p.DoCostasLoop(in.get(), out.get(), 0, 353), 1);
    for (int i = 0; i < kN; ++i) {
      const float v = out->data[i];
      EXPECT_TRUE(v == 0.0f || v == 90.0f || v == 180.0f || v == 270.0f) << v;
    }
  }
  // A block longer than the history is refused rather than written past it.
  CPLL q;
  ASSERT_EQ(q.Init(kRate, 1000.0, 100.0, 256), 1);
  Block big(512), out(512);
  EXPECT_EQ(q.DoCostasLoop(big.get(), out.get(), 0, 0), 0);
}

}  // namespace
