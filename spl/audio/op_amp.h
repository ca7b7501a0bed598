// COpAmp: element-wise arithmetic and conversions on audio blocks. Operations on two or
// three blocks run over the smallest count; `measure` re-measures the result block.
#pragma once
#include <cstdint>

#include "spl/audio/audio_block.h"

class COpAmp {
 public:
  void Set(AudioBlock* b, float v);
  void Copy(const AudioBlock* src, AudioBlock* dst);
  void Copy(const AudioBlock* src, int srcFrom, AudioBlock* dst, int dstFrom, int n);
  void Invert(AudioBlock* b, int measure);
  void Add(AudioBlock* b, float v, int measure);
  void Add(const AudioBlock* a, AudioBlock* b, int measure);
  void Add(const AudioBlock* a, const AudioBlock* b, AudioBlock* c, int measure);
  void Sub(AudioBlock* b, float v, int measure);
  void Sub(const AudioBlock* a, AudioBlock* b, int measure);
  void Sub(const AudioBlock* a, const AudioBlock* b, AudioBlock* c, int measure);
  void Mul(AudioBlock* b, float v, int measure);
  void Mul(const AudioBlock* a, AudioBlock* b, int measure);
  void Mul(const AudioBlock* a, const AudioBlock* b, AudioBlock* c, int measure);
  // full != 0: absolute value; full == 0: negative samples become 0.
  void Rectify(AudioBlock* b, int full, int measure);
  void Rectify(const AudioBlock* src, AudioBlock* dst, int full, int measure);
  // In-place complex FFT of 2^order points (re, im); forward != 0 or inverse. Measures im.
  void FFT(AudioBlock* re, AudioBlock* im, int order, int forward, int measure);
  void Mag(const AudioBlock* re, const AudioBlock* im, AudioBlock* mag, int measure);
  // Rounded to nearest (halves to even); values out of range leave dst unchanged.
  void ToChar(const AudioBlock* b, uint8_t* dst);  // unsigned 8-bit PCM (+128)
  void ToShort(const AudioBlock* b, int16_t* dst);
  void ToFloat(const int16_t* src, AudioBlock* b);
  void ToFloat(const uint8_t* src, AudioBlock* b);  // 0.0 ... 255.0, no offset removed
  float Min(const AudioBlock* b);
  float Max(const AudioBlock* b);
  float Mean(const AudioBlock* b);
};
