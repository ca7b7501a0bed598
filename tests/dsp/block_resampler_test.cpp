// CBlockResampler: a tone keeps its frequency and level across rates, every sample of input
// comes out (as many as the rates' ratio makes, the last block padded), equal rates pass the
// samples unchanged, and the blocks carry the tick of the input that completed them.
#include "spl/dsp/block_resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Collected {
  std::vector<float> samples;
  int blocks = 0;
  bool whole = true;  // every block had the asked size
  uint32_t last_tick = 0;
};

// Feeds n samples of a tone at inRate in uneven pieces; every output block is collected.
Collected Resample(double inRate, double outRate, int outBlock, double hz, int n) {
  CBlockResampler r;
  Collected c;
  EXPECT_EQ(r.Init(inRate, outRate, outBlock), 1);
  const auto sink = [&](AudioBlock* b) {
    c.whole = c.whole && b->count == outBlock;
    c.samples.insert(c.samples.end(), b->data, b->data + b->count);
    c.last_tick = b->tick;
    ++c.blocks;
  };
  std::vector<float> x(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) x[size_t(i)] = float(10000.0 * std::sin(2.0 * kPi * hz * i / inRate));
  for (int at = 0, piece = 1; at < n; at += piece, piece = piece * 3 % 997 + 1) {
    AudioBlock* b = nullptr;
    const int m = std::min(piece, n - at);
    EXPECT_EQ(NewAudioBlock(&b, m), 1);
    std::copy(x.begin() + at, x.begin() + at + m, b->data);
    b->tick = uint32_t(at);
    r.Push(b, sink);
    FreeAudioBlock(b);
  }
  r.Flush(sink);
  return c;
}

TEST(BlockResampler, ToneKeepsFrequencyAndLevelAtEveryCardRate) {
  for (double rate : {8000.0, 22050.0, 32000.0, 44100.0, 48000.0}) {
    SCOPED_TRACE(rate);
    const int n = int(rate * 2.0);
    const Collected c = Resample(rate, 11025.0, 1024, 1900.0, n);
    EXPECT_TRUE(c.whole);
    // Two seconds in, two seconds out (to the padding of the last block).
    EXPECT_GE(int(c.samples.size()), 22050 - 2);
    EXPECT_LT(int(c.samples.size()), 22050 + 1024);
    // Upward zero crossings over the middle second: 1900 of them, and the level kept.
    int crossings = 0;
    double power = 0.0;
    for (int i = 5513; i < 5513 + 11025; ++i) {
      crossings += c.samples[size_t(i - 1)] < 0.0f && c.samples[size_t(i)] >= 0.0f;
      power += double(c.samples[size_t(i)]) * c.samples[size_t(i)];
    }
    EXPECT_NEAR(crossings, 1900, 1);
    EXPECT_NEAR(std::sqrt(2.0 * power / 11025.0), 10000.0, 100.0);
  }
}

TEST(BlockResampler, EqualRatesPassTheSamplesUnchanged) {
  const int n = 5000;
  const Collected c = Resample(11025.0, 11025.0, 512, 700.0, n);
  ASSERT_EQ(c.samples.size(), size_t(5120));  // ten blocks, the last padded with silence
  for (int i = 0; i < n; ++i)
    ASSERT_EQ(c.samples[size_t(i)], float(10000.0 * std::sin(2.0 * kPi * 700.0 * i / 11025.0)));
  for (int i = n; i < 5120; ++i) ASSERT_EQ(c.samples[size_t(i)], 0.0f);
  EXPECT_GT(c.last_tick, 0u);
}

TEST(BlockResampler, RefusesRatesAndBlocksOutOfRange) {
  CBlockResampler r;
  EXPECT_EQ(r.Init(0.0, 11025.0, 1024), 0);
  EXPECT_EQ(r.Init(44100.0, 11025.0, 0), 0);
  EXPECT_EQ(r.Init(44100.0, 1e9, 1024), 0);
  EXPECT_EQ(r.Init(44100.0, 11025.0, 1024), 1);
  EXPECT_FALSE(r.PassesThrough());
}

}  // namespace
