// CSstvVisDetector: finds the VIS code that announces an SSTV picture with tone detectors
// matched to its parts: the 300 ms leader at 1900 Hz, then 30 ms bits, a 1200 Hz start bit,
// seven code bits and an even parity bit at 1100 Hz (one) or 1300 Hz (zero), a 1200 Hz stop
// bit. Every tone is measured coherently over 10 ms pieces and the pieces of a part added, so
// that the whole leader and every whole bit count: it finds the code far below the signal-to-
// noise ratio at which zero crossings stop telling frequencies, and a receiver tuned up to
// 50 Hz off still gives it.
#pragma once

#include <complex>
#include <vector>

class CSstvVisDetector {
 public:
  // sampleRate 6000 ... 192000 Hz. Releases what an earlier Init made. 1 or 0.
  int Init(int sampleRate);
  // Forgets what was heard so far.
  void Reset();
  // n samples. The code (0 ... 127) of a VIS whose stop bit ended in or shortly before them,
  // with *endAt the sample after its stop bit (an index into x; negative when it ended in an
  // earlier call); -1 when none did.
  int Feed(const float* x, int n, int* endAt);

 private:
  double Score(int offset, int* code) const;  // of the VIS ending at the newest hop
  double Energy(int tone, int offset, int first_hop, int hops) const;

  int hop_ = 0;  // samples a hop (5 ms); a piece is two hops
  std::vector<std::complex<double>> phasor_, step_;  // one oscillator per tone and offset
  std::vector<std::complex<double>> partial_, last_;  // this hop's sums, and the previous hop's
  std::vector<float> energy_;  // ring of piece energies: [hop][tone][offset]
  int hops_seen_ = 0, in_hop_ = 0;
  // The best candidate so far and the one before: a VIS is taken at its best alignment.
  double prev_score_ = 0.0, prev_prev_score_ = 0.0;
  int prev_code_ = -1;
  long long prev_end_ = 0;
  long long sample_ = 0;  // samples fed since Init or Reset
};
