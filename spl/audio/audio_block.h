// AudioBlock: the one record in which sound travels between every stage: a measured header
// followed by count float samples in 16-bit integer units (full scale +-32767).
#pragma once
#include <cstdint>

struct AudioBlock {
  float min;      // smallest sample, as last measured
  float max;      // largest sample, as last measured
  float peak;     // max(|min|, |max|), as last measured
  int32_t count;  // samples that follow
  uint32_t tick;  // millisecond tick when measured or captured
  float data[];    // count samples; the record is allocated 20 + 4 * count bytes
};

// Bytes of the header in front of the samples.
constexpr int kAudioBlockHeaderBytes = 20;

// Creation functions hand the new block out through *out (null on failure) and return 1 or 0.
// Blocks are malloc'ed and released only by FreeAudioBlock. count >= 1.
int NewAudioBlock(AudioBlock** out, int count);
int AudioBlockFromMono16(const int16_t* src, int n, AudioBlock** out);
int AudioBlockFromStereo16(const int16_t* src, int frames, AudioBlock** left, AudioBlock** right);
int DupAudioBlock(const AudioBlock* src, AudioBlock** out);
void MeasureAudioBlock(AudioBlock* b);
void FreeAudioBlock(AudioBlock* b);
