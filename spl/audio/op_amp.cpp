#include "spl/audio/op_amp.h"

#include <algorithm>

#include "spl/primitives/nsp.h"

namespace {
int Smaller(const AudioBlock* a, const AudioBlock* b) { return std::min(a->count, b->count); }
int Smallest(const AudioBlock* a, const AudioBlock* b, const AudioBlock* c) {
  return std::min({a->count, b->count, c->count});
}
void MeasureIf(AudioBlock* b, int measure) {
  if (measure) MeasureAudioBlock(b);
}
}  // namespace

void COpAmp::Set(AudioBlock* b, float v) {
  nspsbSet(v, b->data, b->count);
  b->min = b->max = b->peak = v;
}

void COpAmp::Copy(const AudioBlock* src, AudioBlock* dst) {
  nspsbCopy(src->data, dst->data, Smaller(src, dst));
  if (src->count == dst->count) {
    dst->min = src->min;
    dst->max = src->max;
    dst->peak = src->peak;
  } else {
    MeasureAudioBlock(dst);
  }
}

void COpAmp::Copy(const AudioBlock* src, int srcFrom, AudioBlock* dst, int dstFrom, int n) {
  nspsbCopy(src->data + srcFrom, dst->data + dstFrom, n);
}

void COpAmp::Invert(AudioBlock* b, int measure) {
  nspsbMpy1(-1.0f, b->data, b->count);
  MeasureIf(b, measure);
}

void COpAmp::Add(AudioBlock* b, float v, int measure) {
  nspsbAdd1(v, b->data, b->count);
  MeasureIf(b, measure);
}

void COpAmp::Add(const AudioBlock* a, AudioBlock* b, int measure) {
  nspsbAdd2(a->data, b->data, Smaller(a, b));
  MeasureIf(b, measure);
}

void COpAmp::Add(const AudioBlock* a, const AudioBlock* b, AudioBlock* c, int measure) {
  nspsbAdd3(a->data, b->data, c->data, Smallest(a, b, c));
  MeasureIf(c, measure);
}

void COpAmp::Sub(AudioBlock* b, float v, int measure) {
  nspsbSub1(v, b->data, b->count);
  MeasureIf(b, measure);
}

void COpAmp::Sub(const AudioBlock* a, AudioBlock* b, int measure) {
  nspsbSub2(a->data, b->data, Smaller(a, b));
  MeasureIf(b, measure);
}

void COpAmp::Sub(const AudioBlock* a, const AudioBlock* b, AudioBlock* c, int measure) {
  nspsbSub3(a->data, b->data, c->data, Smallest(a, b, c));
  MeasureIf(c, measure);
}

void COpAmp::Mul(AudioBlock* b, float v, int measure) {
  nspsbMpy1(v, b->data, b->count);
  MeasureIf(b, measure);
}

void COpAmp::Mul(const AudioBlock* a, AudioBlock* b, int measure) {
  nspsbMpy2(a->data, b->data, Smaller(a, b));
  MeasureIf(b, measure);
}

void COpAmp::Mul(const AudioBlock* a, const AudioBlock* b, AudioBlock* c, int measure) {
  nspsbMpy3(a->data, b->data, c->data, Smallest(a, b, c));
  MeasureIf(c, measure);
}

void COpAmp::Rectify(AudioBlock* b, int full, int measure) {
  if (full)
    nspsbAbs1(b->data, b->count);
  else
    nspsbThresh1(b->data, b->count, 0.0f, NSP_LT);
  MeasureIf(b, measure);
}

void COpAmp::Rectify(const AudioBlock* src, AudioBlock* dst, int full, int measure) {
  int n = Smaller(src, dst);
  if (full)
    nspsbAbs2(src->data, dst->data, n);
  else
    nspsbThresh2(src->data, dst->data, n, 0.0f, NSP_LT);
  MeasureIf(dst, measure);
}

void COpAmp::FFT(AudioBlock* re, AudioBlock* im, int order, int forward, int measure) {
  nspcrFft(re->data, im->data, order, forward ? NSP_FORWARD : NSP_INVERSE);
  MeasureIf(im, measure);
}

void COpAmp::Mag(const AudioBlock* re, const AudioBlock* im, AudioBlock* mag, int measure) {
  nspsbrMag(re->data, im->data, mag->data, Smallest(re, im, mag));
  MeasureIf(mag, measure);
}

void COpAmp::ToChar(const AudioBlock* b, uint8_t* dst) {
  // Signed bytes first; an element out of range keeps what it held (then gets +128 as well).
  nspsbFloatToInt(b->data, dst, b->count, 8, NSP_ROUND);
  for (int i = 0; i < b->count; ++i) dst[i] = uint8_t(dst[i] + 128);
}

void COpAmp::ToShort(const AudioBlock* b, int16_t* dst) {
  nspsbFloatToInt(b->data, dst, b->count, 16, NSP_ROUND);
}

void COpAmp::ToFloat(const int16_t* src, AudioBlock* b) { nspsbIntToFloat(src, b->data, b->count, 16, 0); }

void COpAmp::ToFloat(const uint8_t* src, AudioBlock* b) {
  nspsbIntToFloat(src, b->data, b->count, 8, NSP_UNSIGNED);
}

float COpAmp::Min(const AudioBlock* b) { return nspsMin(b->data, b->count); }
float COpAmp::Max(const AudioBlock* b) { return nspsMax(b->data, b->count); }
float COpAmp::Mean(const AudioBlock* b) { return nspsMean(b->data, b->count); }
