// CPsk31CarrierSearch: finds a PSK31 carrier near the set tone, and how fast it drifts. The
// complex baseband (mixed down with the set tone, a few hundred samples per second) is raised
// to the power of the phase order (2 for BPSK, 4 for QPSK), which removes the keying and leaves
// a line at that many times the carrier offset. A drifting carrier smears that line over the
// two seconds the search looks back (by 8 Hz for QPSK at 1 Hz/s), so the history is first
// turned back by each of a set of trial drifts; a spectrum of each locates the sharpest line.
#pragma once
#include <complex>
#include <vector>

class CPsk31CarrierSearch {
 public:
  CPsk31CarrierSearch() = default;
  CPsk31CarrierSearch(const CPsk31CarrierSearch&) = delete;
  CPsk31CarrierSearch& operator=(const CPsk31CarrierSearch&) = delete;

  // rate: baseband samples per second; span: the search covers +-span Hz; window: samples the
  // estimate looks back over (up to 65536); max_drift: trial drifts cover +-max_drift Hz per
  // second (0: none). 1, or 0 for bad values or a failed allocation.
  int Init(double rate, double span, int window, double max_drift = 0.0);
  // Empties the history (a new stream).
  void Reset();
  void Push(std::complex<float> x);
  // The strongest line for the phase order (2 or 4).
  struct Line {
    double offset = 0.0;    // Hz from the set tone, in the middle of the history
    double age = 0.0;       // seconds from the middle of the history to its newest sample
    double drift = 0.0;     // Hz per second
    double strength = 0.0;  // the line's power over the band's mean, over what it must reach
  };
  // 1 when the line stands clearly above the rest of the search band (strength >= 1); 0
  // (nothing written) while the history is short or no line stands out.
  int Estimate(int order, Line* line);

 private:
  void Spectrum();

  double rate_ = 0.0;
  double span_ = 0.0;
  int window_ = 0;
  int size_ = 0;  // transform length: the window rounded up to a power of two
  int fft_order_ = 0;
  double max_drift_ = 0.0;
  std::vector<std::complex<float>> history_;  // ring of window_ samples
  std::vector<std::complex<double>> raised_;  // the history raised to the order, oldest first
  std::vector<std::complex<double>> chirp_;   // the trial drift's turn, per sample
  std::vector<std::complex<double>> chirp_step_;  // from one trial drift to the next
  std::vector<float> work_re_, work_im_;          // transform of size_
  std::vector<double> power_;
  int next_ = 0;
  int filled_ = 0;
};
