// CPsk31Demodulator: the PSK31 receiver front end. It mixes the audio down with the set tone,
// filters and decimates it to sixteen samples per symbol, finds the carrier within +-20 Hz and
// how fast it drifts (CPsk31CarrierSearch), follows both with a frequency-locked loop, filters
// the symbols with a filter matched to the raised-cosine keying (corrected so that neighbouring
// symbols do not leak into each other), places the symbol clock on the strongest point of the
// symbol energy and hands out, per symbol, the phase difference to the previous symbol as a
// complex number. Differential decisions make a constant phase error of the loop harmless. It
// also measures the signal quality from the scatter of that difference around the keying phases.
#pragma once
#include <complex>
#include <vector>

#include "spl/decoders/psk31_carrier_search.h"

class CPsk31Demodulator {
 public:
  CPsk31Demodulator() = default;
  CPsk31Demodulator(const CPsk31Demodulator&) = delete;
  CPsk31Demodulator& operator=(const CPsk31Demodulator&) = delete;

  // carrier (Hz) and rate (Hz) as checked by the decoder. All state starts afresh. 1, or 0 for
  // bad values or a failed allocation.
  int Init(double carrier, int rate);
  // 2 for BPSK, 4 for QPSK: the number of keying phases.
  void SetOrder(int order) { order_ = order == 4 ? 4 : 2; }
  // Set by the decoder from its own measure: while the signal is held the carrier search keeps
  // quiet (its estimate is rough, the loop's is not); unheld, a clear line moves the loop.
  void SetHeld(bool held) { held_ = held; }
  // One audio sample; 1 when a symbol was completed (then Difference and Symbol hold it).
  int Push(float x);
  // This symbol times the conjugate of the previous one: its angle is the keyed phase step.
  std::complex<float> Difference() const { return difference_; }
  // The symbol itself, after the frequency correction.
  std::complex<float> Symbol() const { return symbol_; }
  // Mean magnitude of recent differences (a scale for soft decisions), never 0.
  float DifferenceScale() const;
  // 0 ... 1: how tightly recent phase steps sit on the keying phases (noise gives about 0.1).
  double GetQuality() const { return std::abs(quality_); }
  // The carrier found and followed (Hz).
  double GetCarrierFrequency() const { return carrier_ + offset_; }

 private:
  void Decimated(std::complex<float> x);
  void Strobe(std::complex<float> z);
  void TryCarrierSearch();

  double carrier_ = 1000.0;
  int rate_ = 11025;
  int order_ = 2;
  // Mixer at the set tone.
  double mixer_phase_ = 0.0;
  double mixer_step_ = 0.0;
  // Decimating low-pass: taps and a doubled ring of mixed samples.
  std::vector<float> decimator_taps_;
  std::vector<std::complex<float>> decimator_ring_;
  int decimator_pos_ = 0;
  double input_clock_ = 0.0;  // input samples since the last decimated sample
  double input_per_output_ = 22.05;
  // Channel filter for the carrier search, at the decimated rate.
  std::vector<float> channel_taps_;
  std::vector<std::complex<float>> channel_ring_;
  int channel_pos_ = 0;
  CPsk31CarrierSearch search_;
  int search_countdown_ = 0;
  // Frequency correction: offset from the set tone (Hz), its rate of change and the phase.
  double offset_ = 0.0;
  double drift_ = 0.0;  // Hz per symbol
  double fine_phase_ = 0.0;
  // Matched filter and symbol clock.
  std::vector<float> matched_taps_;
  std::vector<std::complex<float>> matched_ring_;
  int matched_pos_ = 0;
  std::vector<float> energy_;  // mean symbol energy at each of the sixteen clock phases
  int phase_ = 0;              // decimated sample index modulo sixteen
  int countdown_ = 0;          // decimated samples to the next symbol centre
  std::complex<float> previous_{0.0f, 0.0f};
  std::complex<float> symbol_{0.0f, 0.0f};
  std::complex<float> difference_{0.0f, 0.0f};
  double scale_ = 0.0;
  std::complex<double> quality_{0.0, 0.0};
  int ready_ = 0;
  bool held_ = false;
  double candidate_ = 0.0;  // a carrier found once, waiting for a second search to agree
  double candidate_drift_ = 0.0;  // and its drift (Hz per second)
  int candidate_count_ = 0;
};
