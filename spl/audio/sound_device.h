// Sound capture and playback with distribution of captured blocks to windows.
// One capture and one playback device exist at most; every filled capture buffer becomes
// one fresh AudioBlock per window registered with Connect, posted as WM_AUDIOBLOCK, and
// every played block is reported back to those windows as WM_AUDIOPLAYED.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/platform/kernel.h"
#include "spl/platform/wave_device.h"
#include "spl/platform/window.h"

class CRadio;

constexpr UINT WM_AUDIOBLOCK = WM_USER + 1;  // wParam channel or signal kind, lParam AudioBlock*
constexpr UINT WM_AUDIOPLAYED = WM_USER + 2;  // wParam tick of the played block

using CWindowList = std::vector<HWND>;

class CSoundDevice {
 public:
  explicit CSoundDevice(WaveDirection direction);
  virtual ~CSoundDevice();
  CSoundDevice(const CSoundDevice&) = delete;
  CSoundDevice& operator=(const CSoundDevice&) = delete;

  // Opens the device named `device` (null: the default one): the opening steps in order.
  // 1 or 0; Error() tells why.
  int Open(int channels, int rate, int samples_per_block, int buffers, const char* device);
  void Close();
  // Called on the worker thread for each buffer the device hands back.
  virtual void OnBufferDone(CWaveDevice* dev, WAVEHDR* hdr);

  const std::string& Error() const { return error_; }
  int Channels() const { return channels_; }
  int Rate() const { return rate_; }
  int SamplesPerBlock() const { return samples_per_block_; }
  int Buffers() const { return buffers_; }
  CWaveDevice* Device() { return device_.get(); }

 protected:
  void WorkerLoop(CThread& self);

  WaveDirection direction_;
  // The PCM format: tag 1, 16 bits, no extra bytes.
  int channels_ = 0, rate_ = 0, avg_bytes_per_sec_ = 0, block_align_ = 0;
  static constexpr int kBitsPerSample = 16;
  CThread thread_;
  CEvent event_;
  CMutex mutex_;
  std::atomic<bool> running_{false};
  int buffers_ = 0;
  int bytes_per_buffer_ = 0;
  int samples_per_block_ = 0;
  // Playback bookkeeping.
  std::atomic<int> queued_{0};
  int next_slot_ = 0;
  int held_ = 0;
  int next_hold_ = 0;
  std::unique_ptr<CWaveDevice> device_;
  std::vector<WAVEHDR> headers_;
  std::vector<char> data_;
  std::vector<char> hold_;
  std::vector<uintptr_t> hold_user_;
  std::string error_;
};

class CSoundIn : public CSoundDevice {
 public:
  CSoundIn() : CSoundDevice(kWaveCapture) {}
  // The worker reads the window lists: stop it before they go.
  ~CSoundIn() override { Close(); }
  void OnBufferDone(CWaveDevice* dev, WAVEHDR* hdr) override;

  int Connect(HWND window, int channel);
  int DisConnect(HWND window, int channel);
  // Posts msg to every window of list 0, and of list 1 when stereo, alternating by index.
  void PostToWindows(UINT msg, WPARAM wParam);

 private:
  // The lists change on the user-interface thread while the worker threads read them.
  std::mutex lists_mutex_;
  CWindowList lists_[2];
};

class CSoundOut : public CSoundDevice {
 public:
  CSoundOut() : CSoundDevice(kWavePlayback) {}
  // The worker uses the conversion buffer: stop it before it goes.
  ~CSoundOut() override { Close(); }
  void OnBufferDone(CWaveDevice* dev, WAVEHDR* hdr) override;
  int InitConversion();
  void Play(const AudioBlock* block);
  void SetPreRoll(int n) { preroll_ = n; }
  int PreRoll() const { return preroll_; }

 private:
  // Queues one converted buffer (or, with null, only moves a held one to the device).
  void Queue(const char* bytes, uintptr_t user);
  int WriteToDevice(const char* bytes, uintptr_t user);
  int preroll_ = 0;
  std::vector<int16_t> conversion_;
};

using HWAVEIN = CSoundIn*;
using HWAVEOUT = CSoundOut*;

// Opens capture (channels 1 or 2) or closes it (channels 0, returns a non-null value).
// device: null for the default ALSA device, an ALSA PCM name, or "wav:PATH" (a wave file
// paced in real time) / "wavfast:PATH" (as fast as it can be read).
HWAVEIN InitAudio(CRadio* radio, int channels, int rate, int samples_per_block, int buffers,
                  const char* device = nullptr);
// Opens playback with the capture's format (paused, starting after pre-roll + 1 blocks), or
// closes it when radio is null. device as for InitAudio.
HWAVEOUT InitAudioOut(CRadio* radio, int preroll, const char* device = nullptr);
// Why the last InitAudio or InitAudioOut failed.
const char* AudioErrorText();
// The error of the signal primitives that asked the program to quit while sound ran ("" when none).
std::string AudioStatusText();
// 1 once a wave-file capture source has been read to its end.
int AudioInputEnded();
int Connect(HWND window, int channel);
int DisConnect(HWND window, int channel);
void PlayAudioBlock(const AudioBlock* block);
void PostAudioBlock(CWindowList& windows, const AudioBlock* block, int wParam);
// Frees the block that a WM_AUDIOBLOCK carried to a window that has gone away.
void DiscardAudioMessage(const MSG& msg);
// Start the desktop's volume control for recording or playback; 1 when one was started.
int AudioMixIn();
int AudioMixOut();
// Milliseconds per block of the device opened last.
int AudioBlockDuration();
