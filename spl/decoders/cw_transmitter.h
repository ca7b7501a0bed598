// CCwTransmitter: turns text into on-off keyed Morse audio. Transmit queues one character as
// key-down / key-up units; CreateAudio renders block after block at the caller's pace, the
// keying edges rounded by a 100 Hz wide band-pass. With nothing queued it sends silence.
#pragma once
#include <deque>

#include "spl/audio/audio_block.h"
#include "spl/dsp/filter.h"
#include "spl/dsp/tone_gen.h"

class CCwTransmitter {
 public:
  CCwTransmitter() = default;
  CCwTransmitter(const CCwTransmitter&) = delete;
  CCwTransmitter& operator=(const CCwTransmitter&) = delete;
  virtual ~CCwTransmitter();

  // sampleRate 1000 ... 384000 Hz, blockSize >= 1. Empties the queue. 1, or 0 for bad values
  // (the tone band beyond rate / 2 among them) or a failed allocation; no rendering until an
  // Init succeeds.
  int Init(int sampleRate, int blockSize);
  // tone (Hz), wpm 1 ... 200 words per minute; re-runs Init with the stored rate and block.
  int SetMode(int tone, int wpm);
  // Queues ch (upper-cased) as Morse units and a character gap, or a word gap for a space.
  // 0 (nothing queued) for a character outside the table.
  int Transmit(int ch);
  // Fills out (at most the block size; 0 and nothing written otherwise). Returns the block
  // counter before it is raised.
  unsigned long CreateAudio(AudioBlock* out);
  // Units still waiting.
  int GetBitCount() const { return int(queue_.size()); }
  float GetSamplesPerUnit() const { return samples_per_unit_; }

 private:
  void Release();
  void Queue(int key, int units);

  CToneGen tone_gen_;
  CFilter shaping_;
  std::deque<unsigned char> queue_;  // 1 key down, 0 key up, one entry per unit
  AudioBlock* work_ = nullptr;
  float samples_per_unit_ = 0.0f;
  float unit_clock_ = 0.0f;
  unsigned long block_counter_ = 1;
  int key_state_ = 0;
  int rate_ = 11025;
  int block_ = 1024;
  int tone_ = 1000;
  int speed_ = 10;
  int last_char_ = 0;
  bool ready_ = false;
};
