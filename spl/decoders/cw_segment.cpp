#include "spl/decoders/cw_segment.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "spl/decoders/morse_code.h"

namespace {

// Run lengths in units (dots and dashes alike, told apart at dash_units): hand keying stretches
// and shortens every element and gap, and the smearing shortens a gap as the levels show it.
constexpr double kMarkRange[2] = {0.6, 4.5};
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

// The Morse code tree: node 0 is the empty character, child[node][0] a dot after it, [1] a dash
// (-1 where no character goes on that way); terminal: a character ends there.
struct MorseTree {
  std::vector<std::array<int, 2>> child;
  std::vector<char> terminal;
};

const MorseTree& Tree() {
  static const MorseTree tree = [] {
    MorseTree t;
    t.child.push_back({-1, -1});
    t.terminal.push_back(0);
    for (int e = 0; e < kMorseTableSize; ++e) {
      int node = 0;
      for (const char* c = kMorseTable[e].elements; *c; ++c) {
        const int symbol = *c == '-' ? 1 : 0;
        if (t.child[size_t(node)][size_t(symbol)] < 0) {
          t.child[size_t(node)][size_t(symbol)] = int(t.child.size());
          t.child.push_back({-1, -1});
          t.terminal.push_back(0);
        }
        node = t.child[size_t(node)][size_t(symbol)];
      }
      t.terminal[size_t(node)] = 1;
    }
    return t;
  }();
  return tree;
}

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
  const BinRange mark = Bins(kMarkRange, bin_units), gap = Bins(gap_range, bin_units);
  // Gaps from this many bins end a character.
  const int letter = std::max(gap.lo, int(std::ceil(setup.letter_gap / bin_units - 1e-9)));
  // With the noise known, each run adds the log-probability of its length: the sender's
  // lengths scattered by the keying and the noise.
  auto in_bin = [&](double units, double mean, double spread) {
    const double z = (units - mean) / spread;
    return std::exp(-0.5 * z * z) / (spread * kSqrtTwoPi) * bin_units;
  };
  std::vector<double> mark_prior(size_t(std::max(0, mark.hi)) + 1, 0.0);
  std::vector<double> gap_prior(size_t(std::max(0, gap.hi)) + 1, 0.0);
  for (int len = 1; len <= mark.hi; ++len) {
    const double u = len * bin_units;
    mark_prior[size_t(len)] =
        llr ? std::log(0.5 * in_bin(u, 1.0, kDotSpread) + 0.5 * in_bin(u, 3.0, kDashSpread) +
                       kTiny)
            : 0.0;
  }
  for (int len = 1; len <= gap.hi; ++len) {
    const double u = len * bin_units;
    double p = (1.0 - kLongGapShare) * in_bin(u, 1.0, kGapSpread);
    if (u >= kLongGapUnits)
      p += kLongGapShare * bin_units / std::max(bin_units, longest - kLongGapUnits);
    gap_prior[size_t(len)] = llr ? std::log(p + kTiny) : -setup.gap_cost;
  }
  const double lead_score = llr ? std::log(kLeadShare) : -setup.gap_cost;
  // The runs are read as characters while they are chosen: state (p, node) is bins [0, p)
  // ending inside a character whose elements so far lead to `node` of the Morse code tree.
  // down: ending with a key-down run; up: with a gap inside the character; between[p]: with a
  // gap between characters (or at the start, p = 0).
  const MorseTree& tree = Tree();
  const int nodes = int(tree.terminal.size());
  auto at = [nodes](int p, int node) { return size_t(p) * size_t(nodes) + size_t(node); };
  std::vector<double> down(size_t(n + 1) * size_t(nodes), kNone), up(down.size(), kNone);
  std::vector<int> down_from(down.size(), -1), down_node(down.size(), -1), up_from(down.size(), -1);
  std::vector<char> down_led(down.size(), 0);
  std::vector<double> between(size_t(n) + 1, kNone);
  std::vector<int> between_from(size_t(n) + 1, -1), between_node(size_t(n) + 1, -1);
  between[0] = 0.0;
  // The nodes each position reached, so the loops skip the many it did not.
  std::vector<std::vector<int>> down_at(size_t(n) + 1), up_at(size_t(n) + 1);
  // The best complete character ending at each position: what a gap between characters
  // continues from.
  std::vector<double> done(size_t(n) + 1, kNone);
  std::vector<int> done_node(size_t(n) + 1, -1);
  for (int p = 1; p <= n; ++p) {
    for (int len = mark.lo; len <= std::min(mark.hi, p); ++len) {
      const int q = p - len;
      const int symbol = len * bin_units > setup.dash_units ? 1 : 0;
      const double gain = above[size_t(p)] - above[size_t(q)] + mark_prior[size_t(len)];
      // The first element of a character; a leading key-up run, where allowed, scores what a
      // gap scores.
      double before = between[size_t(q)];
      const bool led = setup.lead && q > 0 && lead_score > before;
      if (led) before = lead_score;
      const int first = tree.child[0][symbol];
      if (before != kNone && first >= 0 && before + gain > down[at(p, first)]) {
        down[at(p, first)] = before + gain;
        down_from[at(p, first)] = q;
        down_node[at(p, first)] = -1;
        down_led[at(p, first)] = led;
      }
      for (int node : up_at[size_t(q)]) {
        const int next = tree.child[size_t(node)][symbol];
        if (next < 0) continue;
        const double s = up[at(q, node)] + gain;
        if (s > down[at(p, next)]) {
          down[at(p, next)] = s;
          down_from[at(p, next)] = q;
          down_node[at(p, next)] = node;
          down_led[at(p, next)] = 0;
        }
      }
    }
    for (int len = gap.lo; len <= std::min(gap.hi, p - 1); ++len) {
      const int q = p - len;
      if (len < letter) {
        for (int node : down_at[size_t(q)]) {
          const double s = down[at(q, node)] + gap_prior[size_t(len)];
          if (s > up[at(p, node)]) up[at(p, node)] = s, up_from[at(p, node)] = q;
        }
      } else if (done[size_t(q)] != kNone) {
        const double s = done[size_t(q)] + gap_prior[size_t(len)];
        if (s > between[size_t(p)]) {
          between[size_t(p)] = s;
          between_from[size_t(p)] = q;
          between_node[size_t(p)] = done_node[size_t(q)];
        }
      }
    }
    for (int node = 0; node < nodes; ++node) {
      const double d = down[at(p, node)];
      if (d != kNone) down_at[size_t(p)].push_back(node);
      if (up[at(p, node)] != kNone) up_at[size_t(p)].push_back(node);
      if (d != kNone && tree.terminal[size_t(node)] && d > done[size_t(p)])
        done[size_t(p)] = d, done_node[size_t(p)] = node;
    }
  }
  // The end: a complete character, or one followed by a trailing key-up run where allowed.
  double best = done[size_t(n)];
  int p = n, node = done_node[size_t(n)];
  if (setup.trail)
    for (int len = gap.lo; len <= std::min(gap.hi, n - 1); ++len) {
      const double s = done[size_t(n - len)] + gap_prior[size_t(len)];
      if (done[size_t(n - len)] != kNone && s > best)
        best = s, p = n - len, node = done_node[size_t(n - len)];
    }
  if (node < 0) return 0;
  // Back from the end: key-down runs and the gaps between them, inside and between characters.
  while (p > 0) {
    const size_t i = at(p, node);
    const int q = down_from[i];
    runs->push_back(p - q);
    if (down_led[i]) {
      if (lead) *lead = q;
      break;
    }
    if (q == 0) break;
    if (down_node[i] >= 0) {  // a gap inside the character before this element
      node = down_node[i];
      const int r = up_from[at(q, node)];
      runs->push_back(q - r);
      p = r;
    } else {  // a gap between characters
      const int r = between_from[size_t(q)];
      node = between_node[size_t(q)];
      runs->push_back(q - r);
      p = r;
    }
  }
  std::reverse(runs->begin(), runs->end());
  return 1;
}
