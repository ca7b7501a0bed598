// CFskTuner: finds the tone pair of a frequency-shift-keyed signal with a known shift and
// follows it. The averaged power spectrum is searched for the pair of bands, one shift apart,
// that together hold the most power; a new pair is taken only when it is clearly stronger than
// the one in use, so a steady single tone (a long mark) does not pull the pair away.
#pragma once
#include <complex>
#include <vector>

class CFskTuner {
 public:
  CFskTuner() = default;
  CFskTuner(const CFskTuner&) = delete;
  CFskTuner& operator=(const CFskTuner&) = delete;

  // rate: samples per second, > 0; baud: the keying rate (sets the band width looked at);
  // shift: tone distance in Hz, > 0; low: the lower tone to start from (Hz); range: how far
  // (Hz) the pair's centre may move from where it started, or 0 for the whole passband.
  // 0 when the settings cannot work.
  int Init(int rate, double baud, double shift, double low, double range);
  // Collects n samples; 1 when the pair moved during this call.
  int Process(const float* x, int n);
  // The lower tone in use, Hz.
  double Low() const { return low_; }

 private:
  void Search();
  double BandPower(double hz) const;

  int rate_ = 0, size_ = 0, fill_ = 0, frames_ = 0;
  double baud_ = 0.0, shift_ = 0.0, low_ = 0.0, min_low_ = 0.0, max_low_ = 0.0, bin_hz_ = 0.0;
  std::vector<float> frame_, window_;
  std::vector<std::complex<double>> work_;
  std::vector<double> power_, prefix_, sorted_;
};
