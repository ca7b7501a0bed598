// Sound devices in the buffer-completion model: the owner prepares buffers, hands them to
// the device (empty ones for capture, full ones for playback), and gets each one back as a
// completion message (MM_WIM_DATA / MM_WOM_DONE, lParam = the WAVEHDR*) on the thread it
// named at open time; closing sends MM_WIM_CLOSE / MM_WOM_CLOSE to that thread.
// A device's own I/O thread moves the data; backends supply only the transfer of one buffer.
#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "spl/platform/kernel.h"

struct WAVEHDR {
  char* lpData = nullptr;
  DWORD dwBufferLength = 0;
  DWORD dwBytesRecorded = 0;
  uintptr_t dwUser = 0;
  DWORD dwFlags = 0;
};
constexpr DWORD WHDR_DONE = 0x01;
constexpr DWORD WHDR_PREPARED = 0x02;
constexpr DWORD WHDR_INQUEUE = 0x10;

enum WaveDirection { kWaveCapture = 0, kWavePlayback = 1 };

// What a device is opened with: 16-bit interleaved PCM.
struct WavePcmFormat {
  int channels = 1;        // 1 or 2
  int rate = 11025;        // samples per second
  int bits = 16;           // always 16
  int frames_per_buffer = 1024;  // size of one buffer, the device's natural period
};

class CWaveDevice {
 public:
  CWaveDevice() = default;
  virtual ~CWaveDevice();
  CWaveDevice(const CWaveDevice&) = delete;
  CWaveDevice& operator=(const CWaveDevice&) = delete;

  // Opens the device; completions go to the queue of `completion`. 1 or 0 (LastError says why).
  int Open(WaveDirection direction, const WavePcmFormat& format, CThread* completion);
  int Prepare(WAVEHDR* hdr);
  int Unprepare(WAVEHDR* hdr);
  // Capture: queue an empty buffer to be filled. Playback: queue a full buffer to be played.
  int AddBuffer(WAVEHDR* hdr);
  // Capture: start recording. Playback: restart after a pause.
  int Start();
  // Capture: stop recording (buffers stay queued). Playback: pause.
  int Stop();
  // Stops, and returns every queued buffer as done (posting its completion).
  int Reset();
  // Releases the device; posts the closed message to the completion thread.
  int Close();

  const std::string& LastError() const { return error_; }
  // A finite source (a file) waits for its first consumer instead of starting at open, so
  // that nothing of it goes past before anyone listens.
  virtual bool StartsOnDemand() const { return false; }
  int Started() const;
  // 1 once a capture source has no more to give (the end of a file); live devices never end.
  int AtEnd() const { return at_end_.load() ? 1 : 0; }

 protected:
  // Backend: open the underlying device or source for the direction and format.
  virtual int OpenBackend(WaveDirection direction, const WavePcmFormat& format) = 0;
  // Backend: fill (capture) or play (playback) one buffer, waiting at most about 50 ms at a
  // time and giving up when Cancelled(). Returns 1 when done (for capture, dwBytesRecorded
  // set; fewer bytes than the buffer means the source ended), 0 on cancel, -1 on failure.
  virtual int Transfer(WAVEHDR* hdr) = 0;
  // Backend: called on start and stop of the stream (after open), and on close.
  virtual void StartBackend() {}
  virtual void StopBackend() {}
  virtual void CloseBackend() = 0;

  // Ends the I/O thread without posting anything. The thread calls Transfer, so every
  // concrete device calls this first in its destructor, while its own members still exist.
  void StopIo();
  bool Cancelled() const { return cancel_.load(); }
  void SetError(const std::string& e);
  void SetAtEnd() { at_end_ = true; }
  const WavePcmFormat& Format() const { return format_; }
  WaveDirection Direction() const { return direction_; }

 private:
  void IoLoop();
  void Complete(WAVEHDR* hdr);

  WaveDirection direction_ = kWaveCapture;
  WavePcmFormat format_;
  CThread* completion_ = nullptr;
  std::thread io_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<WAVEHDR*> queue_;
  bool running_ = false;  // stream started (capture) / not paused (playback)
  bool closing_ = false;
  std::atomic<bool> open_{false};  // read by the threads that hand buffers back
  bool transfer_busy_ = false;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> at_end_{false};
  std::mutex error_mutex_;
  std::string error_;
};
