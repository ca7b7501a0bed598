// CToneGen: sine generator with glitch-free frequency changes at zero crossings, and uniform
// noise; the transmitters, the SSTV generator and the station's test-noise source use it.
#pragma once

#include "spl/audio/audio_block.h"
#include "spl/primitives/nsprand.h"

class CToneGen {
 public:
  CToneGen();
  CToneGen(const CToneGen&) = delete;
  CToneGen& operator=(const CToneGen&) = delete;
  virtual ~CToneGen() = default;

  // rate > 0 (Hz), blockSize >= 1. Phase and last sample to 0, noise restarted with seed 0.
  // The phase increment is only recomputed by SetFreq, which callers call after Init. 1 or 0.
  int Init(int rate, int blockSize);
  // f in Hz; with zero-crossing sync the change waits for the waveform's next sign change.
  void SetFreq(float f);
  // Tone amplitude and noise range [-a, +a] (noise restarted with seed 0).
  void SetAmpl(float a);
  void SetZSync(int on) { zsync_ = on; }
  float GetStep() const { return increment_; }
  // Writes count tone samples from start (clipped to the block).
  void Generate(AudioBlock* block, int start, int count);
  void Generate(AudioBlock* block, int index) { Generate(block, index, 1); }
  // count uniform noise samples from start (clipped to the block).
  void Noise(AudioBlock* block, int start, int count);

 private:
  void ApplyFreq(float f);

  NSPRandUniState random_{};
  int rate_ = 0;
  int block_ = 0;
  int pending_ = 0;
  int zsync_ = 0;
  float freq_ = 0.0f;
  float ampl_ = 1.0f;
  float last_ = 0.0f;
  float pending_freq_ = 0.0f;
  float phase_ = 0.0f;
  float period_ = 0.0f;
  float cycles_ = 0.0f;
  float block_time_ = 0.0f;
  float increment_ = 0.0f;
  float two_pi_ = 6.2831855f;
};
