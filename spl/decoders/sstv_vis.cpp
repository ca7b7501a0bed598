#include "spl/decoders/sstv_vis.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Tones, in this order: a one, start and stop bits, a zero, the leader.
constexpr double kToneHz[] = {1100.0, 1200.0, 1300.0, 1900.0};
constexpr int kOne = 0, kStartStop = 1, kZero = 2, kLeader = 3, kTones = 4;
// The receiver may be tuned this far off, tried in these steps.
constexpr int kMaxOffsetHz = 50, kOffsetStepHz = 10;
constexpr int kOffsets = 2 * kMaxOffsetHz / kOffsetStepHz + 1;
constexpr int kHopsPerSecond = 200;  // 5 ms hops; a piece (10 ms) is two of them
constexpr int kLeaderHops = 60, kBitHops = 6, kBits = 8;
constexpr int kStartAt = kLeaderHops, kBitsAt = kStartAt + kBitHops;
constexpr int kStopAt = kBitsAt + kBits * kBitHops;
constexpr int kVisHops = kStopAt + kBitHops;
constexpr int kRing = kVisHops + 1;
constexpr int kCodeBits = 7;
constexpr double kLeaderRatio = 3.0;  // leader energy over the mean of the other tones there
constexpr double kMinScore = 0.5;     // share of the tones' energy in the tones expected
constexpr int kRenormHops = 64;       // oscillators put back on the unit circle this often

}  // namespace

int CSstvVisDetector::Init(int sampleRate) {
  if (sampleRate < 6000 || sampleRate > 192000) return 0;
  hop_ = std::max(1, sampleRate / kHopsPerSecond);
  const int n = kTones * kOffsets;
  phasor_.assign(size_t(n), 1.0);
  step_.resize(size_t(n));
  for (int t = 0; t < kTones; ++t)
    for (int o = 0; o < kOffsets; ++o) {
      const double hz = kToneHz[t] - kMaxOffsetHz + o * kOffsetStepHz;
      step_[size_t(t * kOffsets + o)] = std::polar(1.0, -2.0 * kPi * hz / sampleRate);
    }
  partial_.assign(size_t(n), 0.0);
  last_.assign(size_t(n), 0.0);
  energy_.assign(size_t(kRing) * n, 0.0f);
  Reset();
  return 1;
}

void CSstvVisDetector::Reset() {
  hops_seen_ = in_hop_ = 0;
  prev_score_ = prev_prev_score_ = 0.0;
  prev_code_ = -1;
  std::fill(partial_.begin(), partial_.end(), 0.0);
  std::fill(last_.begin(), last_.end(), 0.0);
}

double CSstvVisDetector::Energy(int tone, int offset, int first_hop, int hops) const {
  // The pieces wholly inside the part: the one ending at hop k covers hops k - 1 and k.
  double e = 0.0;
  const size_t n = size_t(kTones) * kOffsets, at = size_t(tone * kOffsets + offset);
  for (int k = first_hop + 1; k < first_hop + hops; ++k)
    e += energy_[size_t(k % kRing) * n + at];
  return e;
}

double CSstvVisDetector::Score(int offset, int* code) const {
  const int s0 = hops_seen_ - kVisHops;
  double total = 0.0, expected = 0.0;
  double e[kTones];
  auto part = [&](int first, int hops) {
    for (int t = 0; t < kTones; ++t) {
      e[t] = Energy(t, offset, s0 + first, hops);
      total += e[t];
    }
  };
  part(0, kLeaderHops);
  if (e[kLeader] < kLeaderRatio * (e[kOne] + e[kStartStop] + e[kZero]) / 3.0) return -1.0;
  expected += e[kLeader];
  for (int at : {kStartAt, kStopAt}) {
    part(at, kBitHops);
    if (e[kStartStop] <= std::max({e[kOne], e[kZero], e[kLeader]})) return -1.0;
    expected += e[kStartStop];
  }
  int value = 0, ones = 0;
  for (int b = 0; b < kBits; ++b) {
    part(kBitsAt + b * kBitHops, kBitHops);
    const bool one = e[kOne] > e[kZero];
    const double tone = std::max(e[kOne], e[kZero]);
    if (tone <= e[kLeader]) return -1.0;
    expected += tone;
    ones += one;
    if (one && b < kCodeBits) value |= 1 << b;
  }
  if (ones % 2 != 0 || total <= 0.0) return -1.0;
  *code = value;
  return expected / total;
}

int CSstvVisDetector::Feed(const float* x, int n, int* endAt) {
  if (hop_ <= 0) return -1;
  const long long first = sample_;
  const size_t tones = phasor_.size();
  for (int i = 0; i < n; ++i) {
    const double v = x[i];
    for (size_t k = 0; k < tones; ++k) {
      partial_[k] += v * phasor_[k];
      phasor_[k] *= step_[k];
    }
    ++sample_;
    if (++in_hop_ < hop_) continue;
    in_hop_ = 0;
    float* row = energy_.data() + size_t(hops_seen_ % kRing) * tones;
    for (size_t k = 0; k < tones; ++k) {
      row[k] = float(std::norm(last_[k] + partial_[k]));
      last_[k] = partial_[k];
      partial_[k] = 0.0;
    }
    if (hops_seen_ % kRenormHops == 0)
      for (auto& p : phasor_) p /= std::abs(p);
    ++hops_seen_;
    if (hops_seen_ < kVisHops) continue;
    double score = -1.0;
    int code = -1;
    for (int o = 0; o < kOffsets; ++o) {
      int c = -1;
      const double s = Score(o, &c);
      if (s > score) score = s, code = c;
    }
    if (score < kMinScore) code = -1;
    // The alignment a hop back was the best of its neighbours: that is the VIS.
    if (prev_code_ >= 0 && prev_score_ >= score && prev_score_ >= prev_prev_score_) {
      const int found = prev_code_;
      *endAt = int(prev_end_ - first);
      Reset();
      return found;
    }
    prev_prev_score_ = prev_score_;
    prev_score_ = code >= 0 ? score : 0.0;
    prev_code_ = code;
    prev_end_ = sample_;
  }
  return -1;
}
