#include "spl/decoders/cw_timing.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kGridStep = 0.01;  // in the logarithm of the unit: 1 % steps
// A length further than this (squared logarithm) from every allowed multiple counts only this
// much, so a noise blip or a stretched gap cannot drag the estimate.
constexpr double kMissCost = 0.12;
constexpr double kGapWeight = 0.7;  // gaps are measured less cleanly than marks
// Pull toward the previous estimate: keeps the unit where the marks alone leave it open
// (only dashes, only dots).
constexpr double kPriorWeight = 0.5;
constexpr double kMarkUnits[] = {1.0, 3.0};
constexpr double kGapUnits[] = {1.0, 3.0, 7.0};
// Boundaries in units when the history cannot say more: a gap above two units ends a character,
// one above five units a word.
constexpr double kLetterGapUnits = 2.0;
constexpr double kDefaultWordGapUnits = 5.0;
// Two groups of long gaps count as letter and word gaps when their means differ by this factor.
constexpr double kGroupRatio = 1.6;
// One group of long gaps below this many units are letter gaps (above it, only when nothing
// was learnt before); the word boundary is then this factor above them (the geometric middle
// between three and seven units).
constexpr double kLetterGroupUnits = 4.5;
constexpr double kAboveLetterGaps = 1.53;

double SquaredMiss(double log_len, double log_unit, const double* units, int n) {
  double best = kMissCost;
  for (int i = 0; i < n; ++i) {
    const double d = log_len - std::log(units[i]) - log_unit;
    best = std::min(best, d * d);
  }
  return best;
}

}  // namespace

void CCwTiming::Reset(double min_unit, double max_unit, double start_unit) {
  min_unit_ = std::max(1.0, min_unit);
  max_unit_ = std::max(min_unit_, max_unit);
  unit_ = std::clamp(start_unit, min_unit_, max_unit_);
  word_gap_ = kDefaultWordGapUnits * unit_;
  word_gap_learnt_ = false;
  Forget();
}

void CCwTiming::Forget() { mark_count_ = mark_next_ = gap_count_ = gap_next_ = 0; }

double CCwTiming::LetterGap() const { return kLetterGapUnits * unit_; }

void CCwTiming::AddMark(double ticks) {
  marks_[mark_next_] = float(std::log(std::max(1.0, ticks)));
  mark_next_ = (mark_next_ + 1) % kCwTimingHistory;
  mark_count_ = std::min(mark_count_ + 1, kCwTimingHistory);
}

void CCwTiming::AddGap(double ticks) {
  gaps_[gap_next_] = float(std::log(std::max(1.0, ticks)));
  gap_next_ = (gap_next_ + 1) % kCwTimingHistory;
  gap_count_ = std::min(gap_count_ + 1, kCwTimingHistory);
}

void CCwTiming::Update() {
  if (mark_count_ == 0) return;
  UpdateUnit();
  UpdateWordGap();
}

void CCwTiming::UpdateUnit() {
  const double lo = std::log(min_unit_), hi = std::log(max_unit_), prior = std::log(unit_);
  double best_cost = 1e300, best = prior;
  for (double lu = lo; lu <= hi + 1e-9; lu += kGridStep) {
    double cost = kPriorWeight * (lu - prior) * (lu - prior);
    for (int i = 0; i < mark_count_; ++i) cost += SquaredMiss(marks_[i], lu, kMarkUnits, 2);
    for (int i = 0; i < gap_count_; ++i)
      cost += kGapWeight * SquaredMiss(gaps_[i], lu, kGapUnits, 3);
    if (cost < best_cost) best_cost = cost, best = lu;
  }
  unit_ = std::clamp(std::exp(best), min_unit_, max_unit_);
}

void CCwTiming::UpdateWordGap() {
  float longer[kCwTimingHistory];
  int n = 0;
  const double letter = std::log(LetterGap());
  for (int i = 0; i < gap_count_; ++i)
    if (gaps_[i] > letter) longer[n++] = gaps_[i];
  const double floor = kDefaultWordGapUnits * unit_;
  if (n == 0) {
    if (!word_gap_learnt_) word_gap_ = floor;
    return;
  }
  std::sort(longer, longer + n);
  // The split of the sorted logarithms into two groups with the least spread.
  double total = 0.0;
  for (int i = 0; i < n; ++i) total += longer[i];
  double best_spread = 1e300, low_mean = total / n, high_mean = total / n;
  double left = 0.0;
  for (int k = 1; k < n; ++k) {
    left += longer[k - 1];
    const double ml = left / k, mh = (total - left) / (n - k);
    double spread = 0.0;
    for (int i = 0; i < n; ++i) {
      const double d = longer[i] - (i < k ? ml : mh);
      spread += d * d;
    }
    if (spread < best_spread) best_spread = spread, low_mean = ml, high_mean = mh;
  }
  if (high_mean - low_mean >= std::log(kGroupRatio)) {
    word_gap_ = std::exp(0.5 * (low_mean + high_mean));
    word_gap_learnt_ = true;
  } else {
    // One group: letter gaps, standard or stretched, unless word gaps were told apart before
    // and these are far longer than the letter gaps.
    const double mean = std::exp(total / n);
    if (mean < kLetterGroupUnits * unit_ || !word_gap_learnt_) {
      word_gap_ = std::max(floor, kAboveLetterGaps * mean);
      word_gap_learnt_ = true;
    }
  }
  word_gap_ = std::max(word_gap_, kLetterGapUnits * unit_ * kAboveLetterGaps);
}
