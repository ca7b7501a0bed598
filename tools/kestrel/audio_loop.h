// The tool's side of the audio loop: a headless window that receives captured blocks,
// measures what flows and hands each block to a consumer (playback, a recorder).
#pragma once
#include <functional>
#include <string>

#include "spl/audio/sound_device.h"
#include "spl/platform/message_loop.h"

class CAudioLoopWindow : public CHeadlessWindow {
 public:
  using Consumer = std::function<void(const AudioBlock*)>;
  CAudioLoopWindow(CMessageLoop& loop, Consumer consumer);
  void WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  long long Blocks() const { return blocks_; }
  long long Samples() const { return samples_; }
  long long Played() const { return played_; }
  float Peak() const { return peak_; }
  // Loudest block since the last call, in dBFS.
  double TakeRecentLevelDb();

 private:
  Consumer consumer_;
  long long blocks_ = 0, samples_ = 0, played_ = 0;
  float peak_ = 0.0f, recent_peak_ = 0.0f;
};

// Full-scale sample value and a level in dBFS (-120 for silence).
constexpr double kFullScale = 32767.0;
double LevelDb(double peak);

// Runs the loop until done() or the capture source ended, then until no block has come for
// a few block durations (and, with wait_for_played, every block was reported played), or
// drain_ms at most, printing a status line every second when verbose.
void RunAudioLoop(CMessageLoop& loop, CAudioLoopWindow& window, const std::function<bool()>& done,
                  int drain_ms, bool verbose, bool wait_for_played);
