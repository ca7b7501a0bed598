#include "spl/decoders/cw_segment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Run lengths in units: hand keying stretches and shortens every element and gap, and the
// smearing shortens a gap as the levels show it.
constexpr double kDotRange[2] = {0.6, 2.0};
constexpr double kDashRange[2] = {2.0, 4.5};
constexpr double kShortestGapUnits = 0.3;
// The spread of dots, dashes and gaps inside a character around 1, 3 and 1 units; longer gaps
// (letter and word gaps, stretched by Farnsworth spacing) are equally likely from two units up
// and make this share of all gaps. A leading key-up run scores as likely as not.
constexpr double kDotSpread = 0.25;
constexpr double kDashSpread = 0.5;
constexpr double kGapSpread = 0.3;
constexpr double kLongGapUnits = 2.0;
constexpr double kLongGapShare = 0.7;
constexpr double kLeadShare = 0.5;
constexpr double kSqrtTwoPi = 2.5066282746310002;
constexpr double kTiny = 1e-300;  // keeps the logarithm finite
constexpr double kNone = -1e300;

struct BinRange {
  int lo, hi;
};

BinRange Bins(const double range[2], double bin_units) {
  return {std::max(1, int(std::ceil(range[0] / bin_units - 1e-9))),
          int(std::floor(range[1] / bin_units + 1e-9))};
}

}  // namespace

void CwMarkLevels(const std::complex<float>* z, int n, int bins, int reach,
                  std::vector<float>* levels) {
  levels->assign(size_t(std::max(0, bins)), 0.0f);
  if (n < 2 || bins < 1 || bins > n) return;
  std::vector<std::complex<double>> sums(size_t(bins), 0.0);
  std::vector<int> counts(size_t(bins), 0);
  for (int t = 0; t < n; ++t) {
    const size_t b = size_t(int64_t(t) * bins / n);
    sums[b] += std::complex<double>(z[t]);
    ++counts[b];
  }
  // Each bin along the phase of its neighbours (not itself, so noise does not line up with
  // its own reference): the tone's phase drifts too much over a character for one phasor.
  for (int b = 0; b < bins; ++b) {
    std::complex<double> ref = 0.0;
    for (int k = std::max(0, b - reach); k <= std::min(bins - 1, b + reach); ++k)
      if (k != b) ref += sums[size_t(k)];
    const double mag = std::abs(ref);
    if (mag > 0.0)
      (*levels)[size_t(b)] = float((sums[size_t(b)] * std::conj(ref)).real() / mag /
                                   std::max(1, counts[size_t(b)]));
  }
}

int CwSegmentMark(const std::vector<float>& levels, const std::vector<float>& key_down,
                  const CwSegmentSetup& setup, std::vector<int>* runs, int* lead) {
  runs->clear();
  if (lead) *lead = 0;
  const int n = int(levels.size());
  const double bin_units = setup.bin_units;
  if (n < 1 || bin_units <= 0.0 || key_down.size() != levels.size()) return 0;
  for (float v : key_down)
    if (!(v > 0.0f)) return 0;
  const bool llr = setup.noise > 0.0;
  // Score of a key-down run: its level above the midway point, summed. With the noise known,
  // weighted to the log-likelihood ratio of key-down against key-up; else up to a common factor.
  std::vector<double> above(size_t(n) + 1, 0.0);
  for (int k = 0; k < n; ++k) {
    const double kd = key_down[size_t(k)];
    above[size_t(k) + 1] =
        above[size_t(k)] + (levels[size_t(k)] - 0.5 * kd) * (llr ? kd / setup.noise : bin_units);
  }
  const double longest = std::max(kShortestGapUnits, setup.longest_gap);
  const double gap_range[2] = {kShortestGapUnits, longest};
  const BinRange dot = Bins(kDotRange, bin_units), dash = Bins(kDashRange, bin_units),
                 gap = Bins(gap_range, bin_units);
  // With the noise known, each run adds the log-probability of its length: the sender's
  // lengths scattered by the keying and the noise.
  auto in_bin = [&](double units, double mean, double spread) {
    const double z = (units - mean) / spread;
    return std::exp(-0.5 * z * z) / (spread * kSqrtTwoPi) * bin_units;
  };
  std::vector<double> mark_prior(size_t(dash.hi) + 1, 0.0), gap_prior(size_t(gap.hi) + 1, 0.0);
  for (int len = 1; len <= dash.hi; ++len) {
    const double u = len * bin_units;
    mark_prior[size_t(len)] =
        llr ? std::log(0.5 * in_bin(u, 1.0, kDotSpread) + 0.5 * in_bin(u, 3.0, kDashSpread) +
                       kTiny)
            : 0.0;
  }
  for (int len = 1; len <= gap.hi; ++len) {
    const double u = len * bin_units;
    double p = (1.0 - kLongGapShare) * in_bin(u, 1.0, kGapSpread);
    if (u >= kLongGapUnits) p += kLongGapShare * bin_units / std::max(bin_units, longest - kLongGapUnits);
    gap_prior[size_t(len)] = llr ? std::log(p + kTiny) : -setup.gap_cost;
  }
  const double lead_score = llr ? std::log(kLeadShare) : -setup.gap_cost;
  // down[p]: best score of bins [0, p) ending with a key-down run; up[p]: with a key-up run.
  std::vector<double> down(size_t(n) + 1, kNone), up(size_t(n) + 1, kNone);
  std::vector<int> down_from(size_t(n) + 1, -1), up_from(size_t(n) + 1, -1);
  std::vector<char> down_led(size_t(n) + 1, 0);
  for (int p = 1; p <= n; ++p) {
    for (const BinRange& r : {dot, dash})
      for (int len = r.lo; len <= std::min(r.hi, p); ++len) {
        const int q = p - len;
        double before = q == 0 ? 0.0 : up[size_t(q)];
        // A leading key-up run, where allowed, scores what a gap scores.
        const bool led = setup.lead && q > 0 && lead_score > before;
        if (led) before = lead_score;
        if (before == kNone) continue;
        const double s = before + above[size_t(p)] - above[size_t(q)] + mark_prior[size_t(len)];
        if (s > down[size_t(p)])
          down[size_t(p)] = s, down_from[size_t(p)] = q, down_led[size_t(p)] = led;
      }
    for (int len = gap.lo; len <= std::min(gap.hi, p - 1); ++len) {
      const int q = p - len;
      if (down[size_t(q)] == kNone) continue;
      const double s = down[size_t(q)] + gap_prior[size_t(len)];
      if (s > up[size_t(p)]) up[size_t(p)] = s, up_from[size_t(p)] = q;
    }
  }
  int p = n;
  if (setup.trail && up[size_t(n)] > down[size_t(n)]) p = up_from[size_t(n)];
  if (down[size_t(p)] == kNone) return 0;
  for (int is_down = 1; p > 0; is_down = !is_down) {
    const int q = is_down ? down_from[size_t(p)] : up_from[size_t(p)];
    runs->push_back(p - q);
    if (is_down && down_led[size_t(p)]) {
      if (lead) *lead = q;
      break;
    }
    p = q;
  }
  std::reverse(runs->begin(), runs->end());
  return 1;
}
