// Holds a stream of frames to the pace of its sample rate: a source may run ahead of the
// clock by at most `slack` frames. Keeps plugins without a clock of their own (ALSA's
// "null") and wave files behaving like a sound card.
#pragma once
#include <cstdint>
#include <functional>

class CRealTimePacer {
 public:
  // rate: frames per second > 0; slack: frames the stream may run ahead, >= 0.
  void Init(int rate, int64_t slack);
  void Restart();  // the clock starts now with no frames counted
  // Counts frames and waits, in slices of at most 50 ms, while the stream is ahead of the
  // clock; returns 0 early when cancelled() turns true, else 1.
  int Advance(int64_t frames, const std::function<bool()>& cancelled);

 private:
  int rate_ = 1;
  int64_t slack_ = 0;
  int64_t frames_ = 0;
  int64_t start_ns_ = 0;
};
