// FAX noise filter: the noise of a picture measured from the picture, a smooth picture cleaned
// of it, thin chart lines and strokes kept through it, and clean pictures left byte for byte.
#include "spl/image/fax_denoise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 1810, kHeight = 200;

// A photo-like picture (0 white ... 255 black) that stays clear of both ends: gradients, soft
// discs and a gentle texture.
std::vector<uint8_t> Smooth(int w, int h) {
  std::vector<uint8_t> p(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double u = double(x) / w, v = double(y) / h;
      double lum = 60.0 + 90.0 * u + 40.0 * v + 15.0 * std::sin(30.0 * u + 7.0 * v);
      const double r = std::hypot((u - 0.4) * w / h * 0.3, v - 0.5) / 0.3;
      lum += 50.0 / (1.0 + std::exp((r - 1.0) * 10.0));
      p[size_t(y) * w + x] = uint8_t(std::clamp(lum, 0.0, 255.0) + 0.5);
    }
  return p;
}

// A chart: white, 1-pixel black lines across and down, and blocks of text-like strokes
// (1 to 2 pixels wide, letters 5 pixels apart).
std::vector<uint8_t> Chart(int w, int h) {
  std::vector<uint8_t> c(size_t(w) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t& v = c[size_t(y) * w + x];
      if (y % 40 == 20 || x % 173 == 50) v = 255;
      const int tx = x % 300, ty = y % 40;
      if (tx >= 100 && tx < 220 && ty >= 4 && ty < 13) {
        const int col = (tx - 100) % 6, row = ty - 4;
        // Letters of a vertical stroke, a bar at the top or the middle and a diagonal.
        if (col == 0 || (col < 4 && (row == 0 || row == 4)) || (col == row / 2 && col < 5))
          v = 255;
      }
    }
  return c;
}

std::vector<uint8_t> Noisy(const std::vector<uint8_t>& p, double sigma, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> n(0.0, sigma);
  std::vector<uint8_t> out(p.size());
  for (size_t i = 0; i < p.size(); ++i)
    out[i] = uint8_t(std::clamp(p[i] + n(rng), 0.0, 255.0) + 0.5);
  return out;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double e = 0.0;
  for (size_t i = 0; i < a.size(); ++i) e += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  return 10.0 * std::log10(255.0 * 255.0 / std::max(e / double(a.size()), 1e-9));
}

TEST(FaxDenoise, NoiseOfASmoothPictureIsMeasuredAndRemoved) {
  const std::vector<uint8_t> clean = Smooth(kWidth, kHeight);
  for (double sigma : {4.0, 10.0, 20.0}) {
    SCOPED_TRACE(sigma);
    const std::vector<uint8_t> noisy = Noisy(clean, sigma, 3);
    const double found = FaxNoiseLevel(noisy.data(), kWidth, kHeight);
    EXPECT_NEAR(found, sigma, 0.15 * sigma);
    const std::vector<uint8_t> out = FaxDenoise(noisy.data(), kWidth, kHeight, found);
    ASSERT_EQ(out.size(), clean.size());
    EXPECT_GT(Psnr(out, clean), Psnr(noisy, clean) + 10.0);
  }
}

// Lines and strokes are as thin as the received chart's: each must stay darker than the white
// beside it by most of its contrast, while the white loses most of its noise.
TEST(FaxDenoise, ThinLinesAndTextSurvive) {
  const std::vector<uint8_t> chart = Chart(kWidth, kHeight);
  for (double sigma : {8.0, 16.0, 30.0}) {
    SCOPED_TRACE(sigma);
    const std::vector<uint8_t> noisy = Noisy(chart, sigma, 5);
    const double found = FaxNoiseLevel(noisy.data(), kWidth, kHeight);
    const std::vector<uint8_t> out = FaxDenoise(noisy.data(), kWidth, kHeight, found);
    double black = 0.0, white = 0.0, white_err = 0.0, noisy_err = 0.0;
    long long nb = 0, nw = 0;
    for (size_t i = 0; i < chart.size(); ++i)
      if (chart[i]) black += out[i], ++nb;
      else white += out[i], white_err += double(out[i]) * out[i],
           noisy_err += double(noisy[i]) * noisy[i], ++nw;
    const double contrast = black / double(nb) - white / double(nw);
    EXPECT_GT(contrast, 0.85 * 255.0);
    // The noisy white holds its clipped noise; filtered, much less of it.
    EXPECT_LT(white_err, 0.5 * noisy_err);
    // No stroke is lost: every black pixel stays darker than mid-gray on the whole.
    int lost = 0;
    for (size_t i = 0; i < chart.size(); ++i) lost += chart[i] && out[i] < 128;
    EXPECT_LT(lost, nb / 100);
  }
}

// A clean picture, even one full of edges and text, measures as clean and comes back the same.
TEST(FaxDenoise, CleanPicturesUnchanged) {
  for (const std::vector<uint8_t>& clean :
       {Chart(kWidth, kHeight), Smooth(kWidth, kHeight), Noisy(Chart(kWidth, kHeight), 1.0, 7)}) {
    const double found = FaxNoiseLevel(clean.data(), kWidth, kHeight);
    EXPECT_LT(found, kFaxCleanNoise);
    EXPECT_EQ(FaxDenoise(clean.data(), kWidth, kHeight, found), clean);
  }
}

}  // namespace
