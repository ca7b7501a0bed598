#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "error_recorder.h"
#include "spl/primitives/nspfir.h"

namespace {

std::vector<float> Noise(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> v(n);
  for (float& x : v) x = dist(gen);
  return v;
}

// Direct convolution in double over the whole signal, with history before x[0].
std::vector<double> Reference(const std::vector<float>& h, const std::vector<float>& history,
                              const std::vector<float>& x) {
  std::vector<float> all = history;
  all.insert(all.end(), x.begin(), x.end());
  const size_t off = history.size();
  std::vector<double> y(x.size());
  for (size_t i = 0; i < x.size(); ++i) {
    double acc = 0;
    for (size_t k = 0; k < h.size(); ++k) {
      const long idx = static_cast<long>(off + i) - static_cast<long>(k);
      if (idx >= 0) acc += static_cast<double>(h[k]) * all[idx];
    }
    y[i] = acc;
  }
  return y;
}

double MaxError(const std::vector<double>& ref, const std::vector<float>& got) {
  double e = 0;
  for (size_t i = 0; i < ref.size(); ++i) e = std::max(e, std::fabs(ref[i] - got[i]));
  return e;
}

class FirTest : public ::testing::Test {
 protected:
  ErrorRecorder errors_;
};

TEST_F(FirTest, ConsecutiveBlocksFilterAsOneSignal) {
  // Block sizes cross the internal chunk boundary and include single samples.
  const std::vector<int> blocks = {1, 7, 16, 17, 300, 511, 512, 513, 1024, 2, 1500, 3};
  for (int taps : {1, 2, 3, 15, 16, 17, 64, 255, 256, 700}) {
    const std::vector<float> h = Noise(taps, taps);
    size_t total = 0;
    for (int b : blocks) total += b;
    const std::vector<float> x = Noise(total, 1000 + taps);
    NSPFirState st;
    ASSERT_EQ(nspsFirInit(h.data(), taps, nullptr, &st), NSP_STS_OK);
    std::vector<float> y(total);
    size_t at = 0;
    for (int b : blocks) {
      nspsbFir(&st, x.data() + at, y.data() + at, b);
      at += b;
    }
    EXPECT_LT(MaxError(Reference(h, {}, x), y), 1e-5 * std::sqrt(static_cast<double>(taps)))
        << "taps " << taps;
    // The delay line holds the last L-1 inputs, oldest first.
    std::vector<float> dl(taps - 1 + 1, 42.0f);
    nspsFirGetDlyl(&st, dl.data());
    for (int k = 0; k < taps - 1; ++k) EXPECT_EQ(dl[k], x[total - (taps - 1) + k]);
    EXPECT_EQ(dl[taps - 1], 42.0f);
    nspFirnspFree(&st);
  }
  EXPECT_EQ(errors_.Count(), 0u);
}

TEST_F(FirTest, InitialDelayLineAndSetDlyl) {
  const int taps = 33;
  const std::vector<float> h = Noise(taps, 5), hist = Noise(taps - 1, 6), x = Noise(200, 7);
  NSPFirState st;
  ASSERT_EQ(nspsFirInit(h.data(), taps, hist.data(), &st), NSP_STS_OK);
  std::vector<float> y(x.size());
  nspsbFir(&st, x.data(), y.data(), static_cast<int>(x.size()));
  EXPECT_LT(MaxError(Reference(h, hist, x), y), 1e-5);

  // Loading the same history again reproduces the output.
  nspsFirSetDlyl(hist.data(), &st);
  std::vector<float> y2(x.size());
  nspsbFir(&st, x.data(), y2.data(), static_cast<int>(x.size()));
  EXPECT_EQ(y, y2);

  // A null delay line clears the history.
  nspsFirSetDlyl(nullptr, &st);
  nspsbFir(&st, x.data(), y2.data(), static_cast<int>(x.size()));
  EXPECT_LT(MaxError(Reference(h, {}, x), y2), 1e-5);
  nspFirnspFree(&st);
  EXPECT_EQ(errors_.Count(), 0u);
}

TEST_F(FirTest, SetTapsKeepsHistory) {
  const int taps = 20;
  const std::vector<float> h1 = Noise(taps, 1), h2 = Noise(taps, 2), x = Noise(100, 3);
  NSPFirState st;
  ASSERT_EQ(nspsFirInit(h1.data(), taps, nullptr, &st), NSP_STS_OK);
  std::vector<float> y(100);
  nspsbFir(&st, x.data(), y.data(), 60);
  nspsFirSetTaps(h2.data(), &st);
  nspsbFir(&st, x.data() + 60, y.data() + 60, 40);
  const std::vector<double> r1 = Reference(h1, {}, x), r2 = Reference(h2, {}, x);
  for (int i = 0; i < 60; ++i) EXPECT_NEAR(y[i], r1[i], 1e-5) << i;
  for (int i = 60; i < 100; ++i) EXPECT_NEAR(y[i], r2[i], 1e-5) << i;
  nspFirnspFree(&st);
}

TEST_F(FirTest, SecondInitReplacesTheFirst) {
  const std::vector<float> h = {0.5f, 0.25f};
  NSPFirState st;
  ASSERT_EQ(nspsFirInit(h.data(), 2, nullptr, &st), NSP_STS_OK);
  const std::vector<float> h3 = {1.0f, 2.0f, 3.0f};
  ASSERT_EQ(nspsFirInit(h3.data(), 3, nullptr, &st), NSP_STS_OK);
  const float x[3] = {1, 0, 0};
  float y[3];
  nspsbFir(&st, x, y, 3);
  EXPECT_EQ(std::vector<float>(y, y + 3), h3);
  nspFirnspFree(&st);
}

TEST_F(FirTest, InvalidStatesAreRefused) {
  float x[4] = {1, 2, 3, 4}, y[4] = {9, 9, 9, 9};
  nspsbFir(nullptr, x, y, 4);
  ASSERT_EQ(errors_.Count(), 1u);
  EXPECT_EQ(errors_.Last().context, "Null state pointer");
  EXPECT_EQ(errors_.Last().status, NSP_STS_BAD_ARG);

  NSPFirState never;
  nspsbFir(&never, x, y, 4);
  EXPECT_EQ(errors_.Last().context, "Must have been initialized");
  nspFirnspFree(&never);
  EXPECT_EQ(errors_.Last().context, "Must have been initialized");
  nspFirnspFree(nullptr);
  EXPECT_EQ(errors_.Last().context, "Null state pointer");

  const float h[2] = {1, 1};
  NSPFirState st;
  ASSERT_EQ(nspsFirInit(h, 2, nullptr, &st), NSP_STS_OK);
  nspFirnspFree(&st);
  errors_.Clear();
  nspsbFir(&st, x, y, 4);  // freed: no longer valid
  EXPECT_EQ(errors_.Last().context, "Must have been initialized");
  nspsFirSetTaps(h, &st);
  nspsFirSetDlyl(nullptr, &st);
  EXPECT_EQ(errors_.Count(), 3u);
  for (float v : y) EXPECT_EQ(v, 9.0f);

  errors_.Clear();
  EXPECT_EQ(nspsFirInit(h, 0, nullptr, &st), NSP_STS_BAD_ARG);
  EXPECT_EQ(errors_.Last().context, "len<=0");
  EXPECT_EQ(nspsFirInit(nullptr, 2, nullptr, &st), NSP_STS_BAD_ARG);
  EXPECT_EQ(nspsFirInit(h, 2, nullptr, nullptr), NSP_STS_BAD_ARG);
  EXPECT_EQ(errors_.Count(), 3u);

  ASSERT_EQ(nspsFirInit(h, 2, nullptr, &st), NSP_STS_OK);
  errors_.Clear();
  nspsbFir(&st, x, y, 0);
  ASSERT_EQ(errors_.Count(), 1u);
  EXPECT_EQ(errors_.Last().context, "n<=0");
  for (float v : y) EXPECT_EQ(v, 9.0f);
  nspFirnspFree(&st);
}

}  // namespace
