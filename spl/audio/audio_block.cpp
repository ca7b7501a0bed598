#include "spl/audio/audio_block.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "spl/platform/kernel.h"
#include "spl/primitives/nsp.h"

namespace {
AudioBlock* Allocate(int count) {
  if (count < 1) return nullptr;
  return static_cast<AudioBlock*>(malloc(size_t(kAudioBlockHeaderBytes) + 4u * size_t(count)));
}
}  // namespace

int NewAudioBlock(AudioBlock** out, int count) {
  *out = Allocate(count);
  if (!*out) {
    // A count below 1 is misuse, reported by the zero-fill primitive itself.
    if (count < 1) nspsbZero(nullptr, count);
    return 0;
  }
  AudioBlock* b = *out;
  nspsbZero(b->data, count);
  b->min = b->max = b->peak = 0.0f;
  b->count = count;
  return 1;
}

int AudioBlockFromMono16(const int16_t* src, int n, AudioBlock** out) {
  *out = Allocate(n);
  if (!*out) return 0;
  nspsbIntToFloat(src, (*out)->data, n, 16, 0);
  (*out)->count = n;
  MeasureAudioBlock(*out);
  return 1;
}

int AudioBlockFromStereo16(const int16_t* src, int frames, AudioBlock** left, AudioBlock** right) {
  *left = *right = nullptr;
  if (!NewAudioBlock(left, frames) || !NewAudioBlock(right, frames)) {
    // Do not leave half a pair behind.
    FreeAudioBlock(*left);
    FreeAudioBlock(*right);
    *left = *right = nullptr;
    return 0;
  }
  for (int i = 0; i < frames; ++i) {
    (*left)->data[i] = float(src[2 * i]);
    (*right)->data[i] = float(src[2 * i + 1]);
  }
  MeasureAudioBlock(*left);
  MeasureAudioBlock(*right);
  return 1;
}

int DupAudioBlock(const AudioBlock* src, AudioBlock** out) {
  if (!NewAudioBlock(out, src->count)) return 0;
  memcpy(*out, src, size_t(kAudioBlockHeaderBytes) + 4u * size_t(src->count));
  return 1;
}

void MeasureAudioBlock(AudioBlock* b) {
  b->min = nspsMin(b->data, b->count);
  b->max = nspsMax(b->data, b->count);
  b->peak = std::max(std::fabs(b->min), std::fabs(b->max));
  b->tick = GetTickCount();
}

void FreeAudioBlock(AudioBlock* b) { free(b); }
