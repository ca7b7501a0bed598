// The tone VIS detector: the code, its end and the mode found deep in noise and off tune, from
// a VIS made here tone by tone (not by our transmitter), nothing found in noise alone; and a
// whole picture found and received at 0 dB.
#include "spl/decoders/sstv_vis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spl/decoders/sstv_decoder.h"
#include "spl/decoders/sstv_transmitter.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025;
constexpr double kAmplitude = 10000.0;

// Leader 300 ms at 1900 Hz, break 10 ms at 1200, leader 300 ms, start bit 30 ms at 1200, seven
// code bits from the lowest and even parity at 1100 (one) or 1300 Hz (zero), stop bit at 1200;
// phase-continuous, every tone `offset` Hz off. Returns the sample after the stop bit.
size_t AppendVis(std::vector<float>& s, int code, double offset) {
  std::vector<std::pair<double, double>> parts = {{1900, 300}, {1200, 10}, {1900, 300}, {1200, 30}};
  int ones = 0;
  for (int b = 0; b < 7; ++b) {
    const int bit = (code >> b) & 1;
    ones += bit;
    parts.push_back({bit ? 1100.0 : 1300.0, 30});
  }
  parts.push_back({ones % 2 ? 1100.0 : 1300.0, 30});
  parts.push_back({1200, 30});
  double phase = 0.0, t = double(s.size());
  for (const auto& [hz, ms] : parts) {
    for (t += ms * kRate / 1000.0; double(s.size()) < t - 1e-9;) {
      phase += 2.0 * M_PI * (hz + offset) / kRate;
      s.push_back(float(kAmplitude * std::sin(phase)));
    }
  }
  return s.size();
}

struct Found {
  int code = -1;
  long long end = -1;
};

Found Detect(const std::vector<float>& s) {
  CSstvVisDetector d;
  EXPECT_EQ(d.Init(kRate), 1);
  Found f;
  for (size_t at = 0; at < s.size() && f.code < 0; at += 1024) {
    const int n = int(std::min<size_t>(1024, s.size() - at));
    int end = 0;
    f.code = d.Feed(s.data() + at, n, &end);
    if (f.code >= 0) f.end = (long long)at + end;
  }
  return f;
}

TEST(SstvToneVis, CodesFoundDeepInNoiseAndOffTune) {
  struct Case {
    int code;
    double snr, offset;
  } cases[] = {{44, -6.0, 0.0}, {60, -6.0, 30.0}, {55, -3.0, -45.0}, {12, 0.0, 10.0}, {99, 10.0, 0.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    std::vector<float> s(kRate, 0.0f);
    const size_t end = AppendVis(s, c.code, c.offset);
    s.resize(s.size() + kRate, 0.0f);
    sigtest::AddNoise(s, kRate, c.snr, uint64_t(c.code), kAmplitude * kAmplitude / 2.0);
    const Found f = Detect(s);
    EXPECT_EQ(f.code, c.code);
    EXPECT_NEAR(double(f.end), double(end), 0.006 * kRate);
  }
}

TEST(SstvToneVis, NoiseAloneFindsNothing) {
  std::vector<float> s(size_t(60 * kRate), 0.0f);
  sigtest::AddNoise(s, kRate, 0.0, 9, kAmplitude * kAmplitude / 2.0);
  EXPECT_EQ(Detect(s).code, -1);
}

// Martin 1 colour bars at 0 dB: the decoder finds the VIS, takes the mode and receives the bars.
TEST(SstvToneVis, PictureAtZeroDb) {
  CSstvTransmitter tx;
  ASSERT_EQ(tx.Init(kSstvTxMartin1, kRate, 0.0, kAmplitude), 1);
  std::vector<uint8_t> rgb(size_t(320) * 256 * 3);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 320; ++x)
      for (int k = 0; k < 3; ++k) rgb[(size_t(y) * 320 + x) * 3 + k] = ((x / 40) >> k) & 1 ? 255 : 0;
  ASSERT_EQ(tx.SetPicture(rgb.data(), 320, 256), 1);
  std::vector<float> s(kRate, 0.0f), t;
  ASSERT_EQ(tx.Transmit(t), 1);
  s.insert(s.end(), t.begin(), t.end());
  s.resize(s.size() + kRate, 0.0f);
  sigtest::AddNoise(s, kRate, 0.0, 5, kAmplitude * kAmplitude / 2.0);

  CSstvDecoder d;
  ASSERT_EQ(d.Init(kRate, 1024), 1);
  d.SetMode(kSstvRobot72, 0.0);  // the VIS must change it
  d.SetToneVis(1);
  AudioBlock* b = nullptr;
  ASSERT_EQ(NewAudioBlock(&b, 1024), 1);
  int lines = 0;
  for (size_t at = 0; at + 1024 <= s.size(); at += 1024) {
    std::copy(s.begin() + long(at), s.begin() + long(at) + 1024, b->data);
    MeasureAudioBlock(b);
    d.Decode(b);
    lines = std::max(lines, d.GetLineCount());
  }
  FreeAudioBlock(b);
  EXPECT_EQ(d.GetLastVIS(), 44);
  EXPECT_EQ(d.GetMode(), kSstvMartin1);
  EXPECT_GT(lines, 240);
  // Luminance PSNR against the bars sent (bitmap rows bottom up, BGR).
  HBITMAP pic = d.GetPicture();
  const double weight[3] = {0.299, 0.587, 0.114};
  double e = 0.0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 320; ++x) {
      double got = 0.0, sent = 0.0;
      for (int k = 0; k < 3; ++k) {
        got += weight[k] * pic->pixels[size_t(255 - y) * pic->bpl + size_t(x) * 3 + 2 - k];
        sent += weight[k] * rgb[(size_t(y) * 320 + x) * 3 + k];
      }
      e += (got - sent) * (got - sent);
    }
  EXPECT_GT(10.0 * std::log10(255.0 * 255.0 / (e / (256.0 * 320))), 15.0);
}

}  // namespace
