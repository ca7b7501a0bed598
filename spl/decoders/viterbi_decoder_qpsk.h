// CViterbiDecoderQPSK: the Viterbi decoder of QPSK31's rate-1/2, constraint-length-5 code.
// Sixteen survivor paths keep their metric and the last `depth` decided bits; each received
// symbol (0 ... 3) is one trellis step with Hamming-distance branch metrics; soft decisions
// (a cost for each of the four symbols) take the place of those metrics.
#pragma once
#include <string>

#include "spl/decoders/qpsk_code.h"

constexpr int kViterbiDefaultDepth = 20;
constexpr int kViterbiMinDepth = 2;
constexpr int kViterbiMaxDepth = 30;

// One survivor path: metric, state, successors, branch metrics and its bit history.
class CViterbiPath {
 public:
  CViterbiPath() = default;
  // Subtracts v from the metric, holding it below the metric ceiling.
  void SubtractMetric(double v);
  void AddMetric(double v) { metric_ += v; }
  double GetMetric() const { return metric_; }
  void SetMetric(double v) { metric_ = v; }
  int GetState() const { return state_; }
  void SetState(int s) { state_ = s; }
  // The oldest history bit (0 or 1); 0 for an empty history.
  int GetOldestBit() const;
  // 0 unless 2 ... 30; trims the history to the new depth.
  int SetDepth(int depth);
  std::string GetHistory() const { return std::string(history_, size_t(length_)); }
  // Appends '0' or '1', dropping the oldest bit once the history holds depth bits.
  void AppendBit(int bit);
  // The expected symbol of each state and bit: exactly 2 x 16 values, else 0.
  int LoadExpected(const double* table, int count);
  // Branch metrics and successor states for the received symbol r (0 ... 3).
  void TakeSymbol(int r);
  // Branch metrics from a cost per received symbol value (4 values) and successor states.
  void TakeCosts(const double* cost);
  double GetBranchMetric(int bit) const { return branch_[bit & 1]; }
  int GetSuccessor(int bit) const { return next_[bit & 1]; }

 private:
  double metric_ = 0.0;
  int state_ = 0;
  int next_[2] = {0, 0};
  double branch_[2] = {0.0, 0.0};
  double expected_[2 * kQpskStates] = {};
  int length_ = 0;
  int depth_ = kViterbiDefaultDepth;
  char history_[kViterbiMaxDepth] = {};
};

class CViterbiDecoderQPSK {
 public:
  CViterbiDecoderQPSK();
  // The oldest bit of the best path: the bit decided `depth` symbols late.
  virtual int GetLastBit();
  // 2 ... 30, else 0 and nothing changes.
  virtual int SetDepth(unsigned long depth);
  // The best path's history, oldest bit first.
  virtual std::string GetHistorySoFar();
  // One trellis step for the received symbol (0 ... 3; other values are taken modulo 4).
  // Non-zero once a full decision depth has been received (from the depth-th call on).
  virtual int AddNewValue(double symbol);
  virtual ~CViterbiDecoderQPSK() = default;
  // One trellis step from soft decisions: cost[s] (>= 0, smaller is likelier) of each symbol
  // s = 0 ... 3. Returns as AddNewValue.
  int AddSoftValues(const double cost[4]);

  int GetDepth() const { return depth_; }
  int GetValueCount() const { return values_; }

 private:
  int Best() const;
  int Step();

  CViterbiPath paths_[kQpskStates];
  int count_ = 1;
  int depth_ = kViterbiDefaultDepth;
  int values_ = 4;  // symbol values
};
