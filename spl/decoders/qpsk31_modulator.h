// CQpsk31Modulator: turns the phase symbols of a CViterbiCoderQPSK into QPSK31 audio. Each
// symbol (0 ... 3) turns the carrier phase by symbol x 90 degrees, the old phase fading into the
// new one over the 32 ms symbol with a raised-cosine weight, so a reversal passes through zero.
#pragma once

#include "spl/audio/audio_block.h"
#include "spl/decoders/viterbi_coder_qpsk.h"

class CQpsk31Modulator {
 public:
  CQpsk31Modulator() = default;
  CQpsk31Modulator(const CQpsk31Modulator&) = delete;
  CQpsk31Modulator& operator=(const CQpsk31Modulator&) = delete;

  // carrier inside 0 ... rate / 2 (Hz), sampleRate 1000 ... 384000 Hz. Starts at phase 0 with a
  // symbol boundary. 1, or 0 for bad values.
  int Init(int carrier, int sampleRate);
  // Renders out, taking a new symbol from coder at every boundary (31.25 per second).
  void CreateAudio(AudioBlock* out, CViterbiCoderQPSK& coder);

 private:
  double carrier_ = 1000.0;
  double rate_ = 11025.0;
  double samples_per_symbol_ = 352.8;
  double symbol_clock_ = 0.0;  // samples since the symbol began
  double carrier_phase_ = 0.0;  // radians
  int old_quadrant_ = 0;        // carrier phase in quarter turns, before and after the turn
  int new_quadrant_ = 0;
  bool started_ = false;
};
