#include "tools/kestrel/audio_loop.h"

#include <cmath>
#include <cstdio>

CAudioLoopWindow::CAudioLoopWindow(CMessageLoop& loop, Consumer consumer)
    : CHeadlessWindow(loop), consumer_(std::move(consumer)) {}

void CAudioLoopWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_AUDIOBLOCK) {
    auto* block = reinterpret_cast<AudioBlock*>(lParam);
    ++blocks_;
    samples_ += block->count;
    peak_ = std::max(peak_, block->peak);
    recent_peak_ = std::max(recent_peak_, block->peak);
    if (consumer_) consumer_(block);
    FreeAudioBlock(block);  // the block belongs to this window
  } else if (message == WM_AUDIOPLAYED) {
    ++played_;
  }
}

double CAudioLoopWindow::TakeRecentLevelDb() {
  double db = LevelDb(recent_peak_);
  recent_peak_ = 0.0f;
  return db;
}

namespace {
constexpr int kQuietBlocks = 4;
}

double LevelDb(double peak) { return peak > 0.0 ? 20.0 * std::log10(peak / kFullScale) : -120.0; }

void RunAudioLoop(CMessageLoop& loop, CAudioLoopWindow& window, const std::function<bool()>& done,
                  int drain_ms, bool verbose, bool wait_for_played) {
  DWORD start = GetTickCount(), last_report = start;
  DWORD ended_at = 0, last_message = start;
  bool ended = false;
  for (;;) {
    MSG msg;
    DWORD now = GetTickCount();
    if (loop.GetMessage(msg, 20)) {
      if (msg.message == WM_QUIT) break;
      loop.DispatchMessage(msg);
      last_message = now;
    }
    if (verbose && now - last_report >= 1000) {
      last_report = now;
      printf("  %5.1f s  blocks %lld  level %6.1f dBFS  played %lld\n", (now - start) / 1000.0,
             window.Blocks(), window.TakeRecentLevelDb(), window.Played());
      fflush(stdout);
    }
    if (!ended && (done() || AudioInputEnded())) {
      ended = true;
      ended_at = now;
    }
    // After the end, blocks still on their way arrive within a few block durations.
    bool quiet = now - last_message >= DWORD(kQuietBlocks * AudioBlockDuration());
    bool caught_up = !wait_for_played || window.Played() >= window.Blocks();
    if (ended && (now - ended_at >= DWORD(drain_ms) || (quiet && caught_up))) {
      loop.Pump();
      break;
    }
  }
}
