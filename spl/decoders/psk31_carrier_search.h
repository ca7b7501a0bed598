// CPsk31CarrierSearch: finds a PSK31 carrier near the set tone. The complex baseband (mixed
// down with the set tone, a few hundred samples per second) is raised to the power of the
// phase order (2 for BPSK, 4 for QPSK), which removes the keying and leaves a line at that
// many times the carrier offset; a DFT over the last two seconds locates the line.
#pragma once
#include <complex>
#include <vector>

class CPsk31CarrierSearch {
 public:
  CPsk31CarrierSearch() = default;
  CPsk31CarrierSearch(const CPsk31CarrierSearch&) = delete;
  CPsk31CarrierSearch& operator=(const CPsk31CarrierSearch&) = delete;

  // rate: baseband samples per second; span: the search covers +-span Hz; window: samples the
  // estimate looks back over. 1, or 0 for bad values or a failed allocation.
  int Init(double rate, double span, int window);
  // Empties the history (a new stream).
  void Reset();
  void Push(std::complex<float> x);
  // Offset (Hz) of the strongest line for the phase order (2 or 4), and 1 when the line stands
  // clearly above the rest of the search band; 0 (offset unchanged) while the history is
  // short or no line stands out.
  int Estimate(int order, double* offset);

 private:
  double rate_ = 0.0;
  double span_ = 0.0;
  int window_ = 0;
  std::vector<std::complex<float>> history_;  // ring of window_ samples
  std::vector<std::complex<double>> raised_;  // work space of Estimate
  std::vector<double> power_;
  int next_ = 0;
  int filled_ = 0;
};
