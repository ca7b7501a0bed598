#include "spl/image/fax_denoise.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Noise blocks: wide along the line, where a chart has most pixels; a quarter of them, the
// quietest, make the estimate (a median over the quietest blocks stays on the noise while
// up to three quarters of the picture hold text and lines).
constexpr int kBlockWidth = 32, kBlockHeight = 16;
constexpr double kQuietShare = 0.25;
// Immerkaer: the mean |[1 -2 1; -2 4 -2; 1 -2 1] * picture| of white noise is sigma *
// 6 * sqrt(2 / pi).
const double kLaplaceToSigma = std::sqrt(M_PI / 2.0) / 6.0;

// The filter window: 3 pixels either way along the line, 2 lines up and down (line to line the
// noise is independent, along the line the demodulator's filter correlates it).
constexpr int kReachX = 3, kReachY = 2;
// Neighbours within this many sigmas of the centre are alike; with no more than kClickCount
// alike (the centre counted), the centre is a click.
constexpr double kAlikeSigmas = 5.0;
constexpr int kClickCount = 3;
// The noise variance that the detail test takes, in units of the estimate's: the estimator sees
// only the part of the noise that changes from pixel to pixel, the demodulator's correlated
// part it misses.
constexpr double kNoiseVarianceScale = 3.0;

uint8_t Median3x3(const uint8_t* rows, int width, int height, int x, int y) {
  uint8_t m[9];
  int k = 0;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const int yy = std::clamp(y + dy, 0, height - 1), xx = std::clamp(x + dx, 0, width - 1);
      m[k++] = rows[size_t(yy) * width + xx];
    }
  std::nth_element(m, m + 4, m + 9);
  return m[4];
}

}  // namespace

double FaxNoiseLevel(const uint8_t* rows, int width, int height) {
  if (!rows || width < 3 || height < 3) return 0.0;
  // Small pictures make one block of their inside.
  const int bw = std::min(kBlockWidth, width - 2), bh = std::min(kBlockHeight, height - 2);
  std::vector<double> blocks;
  for (int by = 1; by + bh <= height - 1; by += bh)
    for (int bx = 1; bx + bw <= width - 1; bx += bw) {
      long long sum = 0;
      for (int y = by; y < by + bh; ++y) {
        const uint8_t* c = rows + size_t(y) * width;
        const uint8_t *up = c - width, *down = c + width;
        for (int x = bx; x < bx + bw; ++x) {
          const int l = up[x - 1] + up[x + 1] + down[x - 1] + down[x + 1] -
                        2 * (up[x] + down[x] + c[x - 1] + c[x + 1]) + 4 * c[x];
          sum += std::abs(l);
        }
      }
      blocks.push_back(double(sum) / (double(bw) * bh) * kLaplaceToSigma);
    }
  const size_t at = size_t(kQuietShare * double(blocks.size() - 1));
  std::nth_element(blocks.begin(), blocks.begin() + long(at), blocks.end());
  return blocks[at];
}

std::vector<uint8_t> FaxDenoise(const uint8_t* rows, int width, int height, double noise) {
  if (!rows || width < 1 || height < 1) return {};
  std::vector<uint8_t> out(rows, rows + size_t(width) * height);
  if (!(noise >= kFaxCleanNoise)) return out;
  const int alike = int(kAlikeSigmas * noise + 0.5);
  const double noise_var = kNoiseVarianceScale * noise * noise;
  for (int y = 0; y < height; ++y) {
    const int y0 = std::max(0, y - kReachY), y1 = std::min(height - 1, y + kReachY);
    for (int x = 0; x < width; ++x) {
      const int x0 = std::max(0, x - kReachX), x1 = std::min(width - 1, x + kReachX);
      const int c = rows[size_t(y) * width + x];
      int n = 0, sum = 0, squares = 0;
      for (int yy = y0; yy <= y1; ++yy) {
        const uint8_t* r = rows + size_t(yy) * width;
        for (int xx = x0; xx <= x1; ++xx) {
          const int v = r[xx];
          if (std::abs(v - c) <= alike) ++n, sum += v, squares += v * v;
        }
      }
      uint8_t& o = out[size_t(y) * width + x];
      if (n <= kClickCount) {
        o = Median3x3(rows, width, height, x, y);
        continue;
      }
      // Lee's local Wiener gain: the share of the alike neighbours' spread beyond the noise
      // is detail, and keeps that share of the centre's own deviation.
      const double mean = double(sum) / n, var = double(squares) / n - mean * mean;
      const double keep = var > noise_var ? (var - noise_var) / var : 0.0;
      o = uint8_t(std::clamp(mean + keep * (c - mean) + 0.5, 0.0, 255.0));
    }
  }
  return out;
}
