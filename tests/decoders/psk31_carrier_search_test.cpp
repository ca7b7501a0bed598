// The PSK31 carrier search on its own: keyed baseband lines, steady and drifting, in noise.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "spl/decoders/psk31_carrier_search.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr double kRate = 500.0;  // the demodulator's baseband rate: 16 samples per symbol
constexpr int kPerSymbol = 16;
constexpr double kSpan = 20.0;
constexpr int kWindow = 1024;
constexpr double kMaxDrift = 2.0;

// Two seconds of baseband keyed with the order's phases (reversals for 2, a fixed pseudo-random
// choice of quarter turns for 4) on a carrier at offset + drift * t, with complex noise of the
// given power per sample (the signal's is 1). Returns the carrier at the newest sample.
double Fill(CPsk31CarrierSearch& search, int order, double offset, double drift, double noise,
            uint64_t seed) {
  sigtest::CGaussNoise g(seed);
  const double sigma = std::sqrt(noise / 2.0);
  double phase = 0.0, keyed = 0.0, f = offset;
  uint32_t lfsr = 0xACE1u;
  for (int i = 0; i < kWindow; ++i) {
    if (i % kPerSymbol == 0) {
      lfsr = (lfsr >> 1) ^ (-(lfsr & 1u) & 0xB400u);
      keyed += order == 2 ? M_PI : M_PI / 2.0 * double(lfsr & 3u);
    }
    f = offset + drift * i / kRate;
    const std::complex<double> x =
        std::polar(1.0, phase + keyed) + std::complex<double>(sigma * g.Next(), sigma * g.Next());
    search.Push(std::complex<float>(x));
    phase += 2.0 * M_PI * f / kRate;
  }
  return f;
}

struct Case {
  int order;
  double offset, drift;
};

// At 0 dB per sample for BPSK and 6 dB for QPSK (about -16 and -10 dB in 3 kHz): the line, its
// drift and the carrier now.
TEST(Psk31CarrierSearch, FindsCarrierAndDrift) {
  const Case cases[] = {{2, -14.0, 1.0}, {2, 9.0, -1.5}, {2, 3.0, 0.0},
                        {4, -15.0, 1.0}, {4, 12.0, -1.0}, {4, -4.0, 0.0}};
  uint64_t seed = 1;
  for (const Case& c : cases) {
    CPsk31CarrierSearch search;
    ASSERT_EQ(search.Init(kRate, kSpan, kWindow, kMaxDrift), 1);
    const double noise = c.order == 2 ? 1.0 : 0.25;
    const double now = Fill(search, c.order, c.offset, c.drift, noise, seed++);
    CPsk31CarrierSearch::Line line;
    ASSERT_EQ(search.Estimate(c.order, &line), 1) << c.order << " " << c.offset;
    EXPECT_NEAR(line.drift, c.drift, 0.15) << c.order << " " << c.offset;
    EXPECT_NEAR(line.offset, now - c.drift * line.age, 0.2) << c.order << " " << c.offset;
    EXPECT_NEAR(line.offset + line.drift * line.age, now, 0.3) << c.order << " " << c.offset;
    EXPECT_GE(line.strength, 1.0);
  }
}

// Without trial drifts the fourth power of a carrier drifting 1 Hz/s smears over 8 Hz and
// stands out no longer: what the trials are for.
TEST(Psk31CarrierSearch, DriftSmearsTheLineWithoutTrials) {
  CPsk31CarrierSearch plain, trials;
  ASSERT_EQ(plain.Init(kRate, kSpan, kWindow), 1);
  ASSERT_EQ(trials.Init(kRate, kSpan, kWindow, kMaxDrift), 1);
  Fill(plain, 4, -15.0, 1.0, 0.25, 7);
  Fill(trials, 4, -15.0, 1.0, 0.25, 7);
  CPsk31CarrierSearch::Line a, b;
  ASSERT_EQ(trials.Estimate(4, &b), 1);
  if (plain.Estimate(4, &a)) {
    EXPECT_LT(a.strength, 0.5 * b.strength);
  }
}

TEST(Psk31CarrierSearch, NoiseAloneAndBadValues) {
  CPsk31CarrierSearch search;
  EXPECT_EQ(search.Init(0.0, kSpan, kWindow), 0);
  EXPECT_EQ(search.Init(kRate, kSpan, 8), 0);
  EXPECT_EQ(search.Init(kRate, kSpan, kWindow, -1.0), 0);
  EXPECT_EQ(search.Init(kRate, 100.0, kWindow), 0);  // the fourth power would fold over
  ASSERT_EQ(search.Init(kRate, kSpan, kWindow, kMaxDrift), 1);
  CPsk31CarrierSearch::Line line;
  EXPECT_EQ(search.Estimate(2, &line), 0);  // no history yet
  // Noise alone: with the trial drifts, a stray peak still stands out only now and then.
  int found = 0;
  for (uint64_t seed = 20; seed < 40; ++seed) {
    search.Reset();
    Fill(search, 2, 0.0, 0.0, 1e6, seed);
    found += search.Estimate(2, &line) + search.Estimate(4, &line);
  }
  EXPECT_LE(found, 4);
}

}  // namespace
