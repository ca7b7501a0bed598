// CPSK31Transmitter: turns text into BPSK31 audio. Transmit queues a character's Varicode bits
// and its two closing 0 bits; CreateAudio renders block after block: a 0 bit fades to zero and
// reverses the carrier, a 1 bit keeps it. With nothing queued it sends reversals (the idle).
// Each transmitter keeps its own keying state, so several may render side by side.
#pragma once
#include <deque>

#include "spl/audio/audio_block.h"
#include "spl/decoders/psk31_keying_state.h"
#include "spl/dsp/tone_gen.h"

class CPSK31Transmitter {
 public:
  CPSK31Transmitter() = default;
  CPSK31Transmitter(const CPSK31Transmitter&) = delete;
  CPSK31Transmitter& operator=(const CPSK31Transmitter&) = delete;
  virtual ~CPSK31Transmitter();

  // carrier inside 0 ... rate / 2 (Hz), sampleRate 1000 ... 384000 Hz, blockSize >= 1. Empties
  // the queue. 1, or 0 for bad values or a failed allocation (no rendering until one succeeds).
  int Init(int carrier, int sampleRate, int blockSize);
  // Queues the Varicode bits of ch (0 ... 255) and two 0 bits; 0 for other values.
  int Transmit(int ch);
  // Renders out (at most the block size; 0 and nothing written otherwise). Returns the block
  // counter before it is raised.
  unsigned long CreateAudio(AudioBlock* out);
  int GetBitCount() const { return int(bits_.size()); }

 private:
  void Release();

  CToneGen carrier_gen_;
  CToneGen shaping_gen_;
  int rate_ = 11025;
  int block_ = 1024;
  int carrier_ = 1000;
  unsigned long block_counter_ = 1;
  AudioBlock* shaping_ = nullptr;
  AudioBlock* rectified_ = nullptr;
  std::deque<unsigned char> bits_;
  Psk31KeyingState keying_;
};
