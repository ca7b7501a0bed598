#include "spl/image/fax_slant.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMaxDriftShare = 0.01;  // of the width: beyond any clock error
constexpr int kFirstGap = 4;             // rows apart in the first, coarse comparison
constexpr int kGapGrowth = 4;            // each later comparison is this many times further
constexpr int kPairsWanted = 48;         // row pairs compared at each gap, spread over the picture
constexpr int kMinPairs = 5;             // agreeing pairs needed for an estimate
constexpr double kMinCorrelation = 0.5;  // a pair's best match counts from this on
constexpr double kMinSpread = 8.0;       // gray levels: flatter rows tell nothing
constexpr int kMinRows = 2 * kFirstGap;

// The rows as one stream, each row less its mean, and each row's root-mean-square (0 for a
// flat row, which tells nothing).
struct CentredRows {
  std::vector<double> stream, rms;
  CentredRows(const uint8_t* rows, int width, int height)
      : stream(size_t(width) * height), rms(size_t(height)) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = rows + size_t(y) * width;
      double mean = 0.0, power = 0.0;
      for (int x = 0; x < width; ++x) mean += row[x];
      mean /= width;
      for (int x = 0; x < width; ++x) {
        const double v = row[x] - mean;
        stream[size_t(y) * width + x] = v;
        power += v * v;
      }
      const double r = std::sqrt(power / width);
      rms[size_t(y)] = r < kMinSpread ? 0.0 : r;
    }
  }
};

// The shift t (centre - range ... centre + range) at which row y + gap best matches the
// stream of rows moved right by t from row y, to a fraction of a pixel; false when they do
// not match well anywhere. The stream carries a shift past the row's start into the row
// before, so that rows far apart compare at any drift.
bool BestShift(const CentredRows& c, int width, int y, int gap, int centre, int range,
               double& shift) {
  const double norm = c.rms[size_t(y)] * c.rms[size_t(y + gap)] * width;
  if (norm <= 0.0) return false;
  const double* b = c.stream.data() + size_t(y + gap) * width;
  std::vector<double> score(size_t(2 * range + 1));
  for (int i = 0; i <= 2 * range; ++i) {
    const long long from = (long long)y * width - (centre - range + i);
    if (from < 0 || from + width > (long long)c.stream.size()) return false;
    const double* a = c.stream.data() + from;
    double sum = 0.0;
    for (int x = 0; x < width; ++x) sum += b[x] * a[x];
    score[size_t(i)] = sum / norm;
  }
  const int best = int(std::max_element(score.begin(), score.end()) - score.begin());
  if (score[size_t(best)] < kMinCorrelation || best == 0 || best == 2 * range) return false;
  // The top of a parabola through the best score and its neighbours.
  const double l = score[size_t(best - 1)], m = score[size_t(best)], r = score[size_t(best + 1)];
  const double bend = l - 2.0 * m + r;
  shift = centre - range + best + (bend < 0.0 ? 0.5 * (l - r) / bend : 0.0);
  return true;
}

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

}  // namespace

double FaxLineDrift(const uint8_t* rows, int width, int height) {
  if (!rows || width < 16 || height < kMinRows) return 0.0;
  const double max_drift = kMaxDriftShare * width;
  const CentredRows centred(rows, width, height);
  double drift = 0.0;
  bool found = false;
  // Coarse first over a few rows, where the shift is small whatever the drift; then ever
  // further apart, where the same error of a match weighs less per row, searching only
  // around what the closer rows gave.
  for (int gap = kFirstGap, prev_gap = 0; gap < height; prev_gap = gap, gap *= kGapGrowth) {
    const int centre = int(std::lround(gap * drift));
    const int range = prev_gap == 0 ? int(std::ceil(gap * max_drift)) + 1
                                    : 2 * gap / prev_gap + 2;
    // Rows early enough that the stream holds what a shift reaches back to.
    const int first = (std::max(0, centre + range) + width - 1) / width;
    const int step = std::max(1, (height - gap - first) / kPairsWanted);
    std::vector<double> per_row;
    for (int y = first; y + gap < height; y += step) {
      double shift;
      if (BestShift(centred, width, y, gap, centre, range, shift)) per_row.push_back(shift / gap);
    }
    if (int(per_row.size()) < kMinPairs) break;
    drift = Median(per_row);
    found = true;
  }
  // Under half a pixel over the whole picture is no slant worth cutting the rows anew for.
  if (!found || std::fabs(drift) > max_drift || std::fabs(drift) * height < 0.5) return 0.0;
  return drift;
}

std::vector<uint8_t> FaxStraighten(const uint8_t* rows, int width, int* height, double drift) {
  const long long total = (long long)width * *height;
  const double line = width + drift;
  int out_rows = 0;
  while (out_rows < *height && out_rows * line + width <= double(total)) ++out_rows;
  std::vector<uint8_t> out(size_t(out_rows) * width);
  for (int y = 0; y < out_rows; ++y)
    for (int x = 0; x < width; ++x) {
      const double at = y * line + x;
      const long long k = (long long)std::floor(at);
      const double f = at - double(k);
      const double v0 = rows[k], v1 = k + 1 < total ? rows[k + 1] : rows[k];
      out[size_t(y) * width + x] = uint8_t(std::lround(v0 + f * (v1 - v0)));
    }
  *height = out_rows;
  return out;
}
