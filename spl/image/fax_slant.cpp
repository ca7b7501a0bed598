#include "spl/image/fax_slant.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMaxDriftShare = 0.01;  // of the width: beyond any clock error
constexpr int kFirstGap = 4;             // rows apart in the first, coarse comparison
constexpr int kGapGrowth = 4;            // each later comparison is this many times further
constexpr int kPairsWanted = 48;         // row pairs compared at each gap, spread over the picture
constexpr int kMinPairs = 5;             // agreeing pairs needed for an estimate
// Pairs agree when their shifts lie within this many pixels of the median, and at least this
// share of the matched pairs must: upright strokes give one sharp shift, while rows of a soft
// picture match about as well at any small shift and noise scatters their best one.
constexpr double kAgreePixels = 2.0;
constexpr double kAgreeShare = 0.5;
constexpr double kMinCorrelation = 0.5;  // a pair's best match counts from this on
constexpr double kMinSpread = 8.0;       // gray levels: flatter rows tell nothing
constexpr int kMinRows = 32;             // fewer rows tell a drift too poorly to act on

// Each row's mean and root-mean-square (0 for a flat row, which tells nothing); the rows are
// read as one stream of pixels less their row's mean.
struct RowStats {
  const uint8_t* rows;
  int width;
  long long total;
  std::vector<double> mean, rms;
  RowStats(const uint8_t* r, int w, int h)
      : rows(r), width(w), total((long long)w * h), mean(size_t(h)), rms(size_t(h)) {
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = r + size_t(y) * w;
      double sum = 0.0, power = 0.0;
      for (int x = 0; x < w; ++x) sum += row[x];
      const double m = sum / w;
      for (int x = 0; x < w; ++x) power += (row[x] - m) * (row[x] - m);
      const double rm = std::sqrt(power / w);
      mean[size_t(y)] = m;
      rms[size_t(y)] = rm < kMinSpread ? 0.0 : rm;
    }
  }
  // Sum over x of row b's centred pixels times the stream's from stream position `from` on.
  double Product(int b, long long from) const {
    const uint8_t* pb = rows + size_t(b) * width;
    const double mb = mean[size_t(b)];
    double sum = 0.0;
    for (int x = 0; x < width;) {
      const long long s = from + x;
      const int row = int(s / width), col = int(s % width);
      const int n = std::min(width - x, width - col);  // up to the end of that row
      const uint8_t* pa = rows + size_t(row) * width + col;
      const double ma = mean[size_t(row)];
      for (int k = 0; k < n; ++k) sum += (pb[x + k] - mb) * (pa[k] - ma);
      x += n;
    }
    return sum;
  }
};

// The shift t (centre - range ... centre + range) at which row y + gap best matches the
// stream of rows moved right by t from row y, to a fraction of a pixel; false when they do
// not match well anywhere. The stream carries a shift past the row's start into the row
// before, so that rows far apart compare at any drift.
bool BestShift(const RowStats& c, int y, int gap, int centre, int range, double& shift) {
  const int width = c.width;
  const double norm = c.rms[size_t(y)] * c.rms[size_t(y + gap)] * width;
  if (norm <= 0.0) return false;
  std::vector<double> score(size_t(2 * range + 1));
  for (int i = 0; i <= 2 * range; ++i) {
    const long long from = (long long)y * width - (centre - range + i);
    if (from < 0 || from + width > c.total) return false;
    score[size_t(i)] = c.Product(y + gap, from) / norm;
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
  const RowStats stats(rows, width, height);
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
      if (BestShift(stats, y, gap, centre, range, shift)) per_row.push_back(shift / gap);
    }
    if (int(per_row.size()) < kMinPairs) break;
    const double median = Median(per_row);
    const long agree = std::count_if(per_row.begin(), per_row.end(), [&](double d) {
      return std::fabs(d - median) * gap <= kAgreePixels;
    });
    if (agree < kMinPairs || double(agree) < kAgreeShare * double(per_row.size())) break;
    drift = median;
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
  auto at = [&](long long k) { return double(rows[std::clamp(k, 0LL, total - 1)]); };
  for (int y = 0; y < out_rows; ++y)
    for (int x = 0; x < width; ++x) {
      // Cubic convolution (a = -1/2) between the four stream pixels around the place: a
      // fraction of a pixel moves fine strokes without the blur of a straight line between two.
      const double place = y * line + x;
      const long long k = (long long)std::floor(place);
      const double f = place - double(k);
      const double p0 = at(k - 1), p1 = at(k), p2 = at(k + 1), p3 = at(k + 2);
      const double v = p1 + 0.5 * f * (p2 - p0 + f * (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3 +
                                                       f * (3.0 * (p1 - p2) + p3 - p0)));
      out[size_t(y) * width + x] = uint8_t(std::lround(std::clamp(v, 0.0, 255.0)));
    }
  *height = out_rows;
  return out;
}
