// FAX slant: a chart received with lines a little longer or shorter than the decoder's is
// measured and cut straight again; pictures without upright structure are left alone.
#include "spl/image/fax_slant.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 1810, kHeight = 300;

// A chart-like picture: white, with upright strokes (meridians), a few leaning ones (isobars)
// and blocks of "text" at random places (0 white ... 255 black).
std::vector<uint8_t> Chart(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> c(size_t(w) * h, 0);
  for (int i = 0; i < 12; ++i) {
    const int x0 = int(rng() % unsigned(w)), lean = i % 4 == 3 ? int(rng() % 5) - 2 : 0;
    for (int y = 0; y < h; ++y)
      for (int k = 0; k < 3; ++k) c[size_t(y) * w + size_t(((x0 + y * lean / 8 + k) % w + w) % w)] = 255;
  }
  for (int i = 0; i < 20; ++i) {
    const int x0 = int(rng() % unsigned(w - 40)), y0 = int(rng() % unsigned(h - 10));
    for (int y = y0; y < y0 + 10; ++y)
      for (int x = x0; x < x0 + 40; ++x) c[size_t(y) * w + x] = (x * 7 + y * 3) % 11 < 4 ? 255 : 0;
  }
  return c;
}

// The chart as a decoder with lines of width pixels gives it when every true line is
// width + drift pixels long (the chart's lines padded with white or cut).
std::vector<uint8_t> Received(const std::vector<uint8_t>& chart, int w, int h, double drift) {
  const double line = w + drift;
  std::vector<uint8_t> out(size_t(w) * h);
  for (int r = 0; r < h; ++r)
    for (int x = 0; x < w; ++x) {
      const double s = double(r) * w + x;  // where in the stream the pixel was taken
      const int n = int(std::floor(s / line));
      const int c = int(std::lround(s - n * line));
      out[size_t(r) * w + x] = n < h && c < w ? chart[size_t(n) * w + c] : 0;
    }
  return out;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int w, int rows) {
  double e = 0.0;
  for (size_t i = 0; i < size_t(w) * rows; ++i) e += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  return 10.0 * std::log10(255.0 * 255.0 / std::max(e / (double(w) * rows), 1e-9));
}

TEST(FaxSlant, ClockErrorsAreMeasuredAndCutStraight) {
  const std::vector<uint8_t> chart = Chart(kWidth, kHeight, 7);
  // 0.05 % and 0.2 % either way, and a fraction of a pixel a line.
  for (double drift : {0.905, -0.905, 3.62, -3.62, 0.3}) {
    SCOPED_TRACE(drift);
    const std::vector<uint8_t> rows = Received(chart, kWidth, kHeight, drift);
    EXPECT_LT(Psnr(rows, chart, kWidth, kHeight), 15.0);  // slanted as received
    const double found = FaxLineDrift(rows.data(), kWidth, kHeight);
    EXPECT_NEAR(found, drift, 0.01);
    EXPECT_NEAR(FaxDriftPpm(found, kWidth), drift / kWidth * 1e6, 6.0);
    int h = kHeight;
    const std::vector<uint8_t> straight = FaxStraighten(rows.data(), kWidth, &h, found);
    EXPECT_GE(h, kHeight - 2);
    EXPECT_GT(Psnr(straight, chart, kWidth, h), 22.0);  // nearest-pixel sampling above caps it
  }
}

TEST(FaxSlant, NothingToTellLeavesThePictureAlone) {
  // Straight already, flat, only horizontal lines, too few rows.
  const std::vector<uint8_t> chart = Chart(kWidth, kHeight, 3);
  EXPECT_EQ(FaxLineDrift(chart.data(), kWidth, kHeight), 0.0);
  std::vector<uint8_t> flat(size_t(kWidth) * kHeight, 0);
  EXPECT_EQ(FaxLineDrift(flat.data(), kWidth, kHeight), 0.0);
  for (int y = 0; y < kHeight; y += 20)
    for (int x = 0; x < kWidth; ++x) flat[size_t(y) * kWidth + x] = 255;
  EXPECT_EQ(FaxLineDrift(flat.data(), kWidth, kHeight), 0.0);
  EXPECT_EQ(FaxLineDrift(chart.data(), kWidth, 4), 0.0);
  // A soft photo deep in noise: smooth rows match at any small shift, and the noise once chose
  // one (a +5 dB FM picture was "straightened" by 700 ppm).
  std::mt19937 rng(5);
  std::normal_distribution<double> noise(0.0, 35.0);
  std::vector<uint8_t> photo(size_t(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const double soft = 128.0 + 60.0 * std::sin(x / 150.0) * std::cos(y / 40.0) + 0.03 * x - 0.1 * y;
      photo[size_t(y) * kWidth + x] = uint8_t(std::clamp(soft + noise(rng), 0.0, 255.0));
    }
  EXPECT_EQ(FaxLineDrift(photo.data(), kWidth, kHeight), 0.0);
}

}  // namespace
