#include "spl/decoders/viterbi_decoder_qpsk.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {
constexpr double kMetricCeiling = 1000.0;
constexpr double kNoMetric = 1e99;   // start of the minimum search of a step
constexpr double kNoBest = 1e9;      // start of the best-path search
constexpr int kSymbolMask = 3;
constexpr double kMaxSoftCost = 16.0;  // one symbol never outweighs a few others

// e0(s), e1(s) for every state s, from the encoder's rule.
void ExpectedTable(double* table) {
  for (int s = 0; s < kQpskStates; ++s)
    for (int b = 0; b < 2; ++b) table[2 * s + b] = QpskExpectedSymbol(s, b);
}
}  // namespace

void CViterbiPath::SubtractMetric(double v) {
  metric_ -= v;
  if (metric_ >= kMetricCeiling) metric_ = kMetricCeiling;
}

int CViterbiPath::GetOldestBit() const { return length_ > 0 && history_[0] == '1' ? 1 : 0; }

int CViterbiPath::SetDepth(int depth) {
  if (depth < kViterbiMinDepth || depth > kViterbiMaxDepth) return 0;
  depth_ = depth;
  if (length_ > depth_) {
    memmove(history_, history_ + (length_ - depth_), size_t(depth_));
    length_ = depth_;
  }
  return 1;
}

void CViterbiPath::AppendBit(int bit) {
  if (length_ >= depth_) {
    memmove(history_, history_ + 1, size_t(length_ - 1));
    --length_;
  }
  history_[length_++] = bit ? '1' : '0';
}

int CViterbiPath::LoadExpected(const double* table, int count) {
  if (!table || count != 2 * kQpskStates) return 0;
  std::copy(table, table + count, expected_);
  return 1;
}

void CViterbiPath::TakeSymbol(int r) {
  for (int b = 0; b < 2; ++b) {
    const int e = int(expected_[2 * state_ + b]) & kSymbolMask;
    branch_[b] = std::popcount(unsigned((r ^ e) & kSymbolMask));
  }
  next_[0] = state_ / 2;
  next_[1] = state_ / 2 + kQpskStates / 2;  // the new bit enters at the top of the state
}

void CViterbiPath::TakeCosts(const double* cost) {
  for (int b = 0; b < 2; ++b) branch_[b] = cost[int(expected_[2 * state_ + b]) & kSymbolMask];
  next_[0] = state_ / 2;
  next_[1] = state_ / 2 + kQpskStates / 2;
}

CViterbiDecoderQPSK::CViterbiDecoderQPSK() {
  double table[2 * kQpskStates];
  ExpectedTable(table);
  for (int s = 0; s < kQpskStates; ++s) {
    paths_[s].LoadExpected(table, 2 * kQpskStates);
    paths_[s].SetState(s);
    paths_[s].SetMetric(double(s));
    paths_[s].SetDepth(depth_);
  }
}

int CViterbiDecoderQPSK::SetDepth(unsigned long depth) {
  if (depth < unsigned(kViterbiMinDepth) || depth > unsigned(kViterbiMaxDepth)) return 0;
  depth_ = int(depth);
  for (CViterbiPath& p : paths_) p.SetDepth(depth_);
  return 1;
}

int CViterbiDecoderQPSK::Best() const {
  int best = 0;
  double metric = kNoBest;
  for (int s = 0; s < kQpskStates; ++s)
    if (paths_[s].GetMetric() < metric) {
      metric = paths_[s].GetMetric();
      best = s;
    }
  return best;
}

int CViterbiDecoderQPSK::GetLastBit() { return paths_[Best()].GetOldestBit(); }

std::string CViterbiDecoderQPSK::GetHistorySoFar() { return paths_[Best()].GetHistory(); }

int CViterbiDecoderQPSK::AddNewValue(double symbol) {
  const int r = (std::isfinite(symbol) ? int(std::lround(symbol)) : 0) & kSymbolMask;
  double lowest = kNoMetric;
  for (const CViterbiPath& p : paths_) lowest = std::min(lowest, p.GetMetric());
  for (CViterbiPath& p : paths_) {
    p.SubtractMetric(lowest);
    p.TakeSymbol(r);
  }
  return Step();
}

int CViterbiDecoderQPSK::AddSoftValues(const double cost[4]) {
  double c[kSymbolMask + 1];
  for (int s = 0; s <= kSymbolMask; ++s)
    c[s] = std::isfinite(cost[s]) ? std::clamp(cost[s], 0.0, kMaxSoftCost) : kMaxSoftCost;
  double lowest = kNoMetric;
  for (const CViterbiPath& p : paths_) lowest = std::min(lowest, p.GetMetric());
  for (CViterbiPath& p : paths_) {
    p.SubtractMetric(lowest);
    p.TakeCosts(c);
  }
  return Step();
}

int CViterbiDecoderQPSK::Step() {
  // Each new state has two predecessors, 2k and 2k + 1 (k its lower three bits); the smaller
  // metric survives, the even predecessor on a tie.
  CViterbiPath next[kQpskStates];
  for (int ns = 0; ns < kQpskStates; ++ns) {
    const int bit = ns / (kQpskStates / 2);
    const int even = 2 * (ns % (kQpskStates / 2));
    const CViterbiPath& a = paths_[even];
    const CViterbiPath& b = paths_[even + 1];
    const double ma = a.GetMetric() + a.GetBranchMetric(bit);
    const double mb = b.GetMetric() + b.GetBranchMetric(bit);
    next[ns] = ma <= mb ? a : b;
    next[ns].AppendBit(bit);
    next[ns].SetState(ns);
    next[ns].SetMetric(ma <= mb ? ma : mb);
  }
  std::copy(next, next + kQpskStates, paths_);
  if (count_ >= depth_) return 1;
  ++count_;
  return 0;
}
