// CPLL: phase-locked loop with a tri-state phase-frequency detector (FM demodulation of FAX,
// DoPLL2) and a Costas loop with BPSK and QPSK symbol decisions (PSK31, DoCostasLoop).
// The detector, the loop filters and the Costas loop variables are process-wide (pll_state.h):
// only one loop runs at a time.
#pragma once

#include "spl/audio/audio_block.h"

class CPLL {
 public:
  CPLL() = default;
  CPLL(const CPLL&) = delete;
  CPLL& operator=(const CPLL&) = delete;

  // 1: BPSK decisions (+-180 per sample); 0: QPSK symbol decisions (0, 90, 180, 270).
  virtual void SetBPSKMode(int bpsk);
  // Arm low-pass factor, 0 <= k < 1; 0 (old value kept) otherwise.
  virtual int SetTPFactor(double k);
  // Costas loop from src (measured: its min/max normalise the input) into dst; symbolLength in
  // samples (0: 353, 31.25 Bd at 11025 Hz). The third argument is not used. 1, or 0 for null
  // blocks, rate 0 or a negative start frequency.
  virtual int DoCostasLoop(const AudioBlock* src, AudioBlock* dst, int unused, int symbolLength);
  // G: Hz per unit of loop-filter output. Returns 1.
  virtual int SetFrequencyGain(double gain);
  // dst = the locked VCO (sin(2 pi u + theta)). 1 or 0 as DoCostasLoop.
  virtual int DoPLL(const AudioBlock* src, AudioBlock* dst);
  // dst = the frequency-control signal u: the FM demodulator output. 1 or 0 as DoCostasLoop.
  virtual int DoPLL2(const AudioBlock* src, AudioBlock* dst);
  virtual int SetSampleRate(int rate);
  virtual int SetStartFrequency(double f0);
  virtual ~CPLL();

  // rate (Hz), f0 (Hz), G (Hz per unit), historyLength >= the block size of DoCostasLoop.
  // Reallocates the histories; 1 or 0.
  int Init(int rate, double f0, double gain, int historyLength);
  // Loop filter coefficient of DoPLL/DoPLL2 (0.99995); returns the old one.
  double SetFiltervalue(double a);
  double GetActualFrequency() const { return f0_ * increment_; }

 private:
  enum class Loop { kPll, kPll2 };
  int RunPll(const AudioBlock* src, AudioBlock* dst, Loop kind);
  int Refuses(const AudioBlock* src, const AudioBlock* dst) const;
  void AdvanceAccumulator();
  void DecideQpsk(AudioBlock* dst, int count, int symbolLength);

  int offset_ = 0;             // symbol timing offset (samples)
  float* error_history_ = nullptr;      // 2 x history length
  float* amplitude_history_ = nullptr;  // 2 x history length
  int history_ = 0;
  double filter_value_ = 0.99995;
  int bpsk_ = 1;
  double tp_factor_ = 0.025;
  double p_ = 0.0;             // samples per VCO cycle
  double p_over_2pi_ = 0.0;
  double increment_ = 1.0;     // 1.0 = the start frequency
  float u_ = 0.0f;             // loop filter output
  double gain_ = 0.0;
  double f0_copy_ = -1.0;
  double accumulator_ = 0.0;   // 0 ... P
  int rate_ = 0;
  double f0_ = -1.0;
};
