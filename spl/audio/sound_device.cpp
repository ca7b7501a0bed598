#include "spl/audio/sound_device.h"

#include <cmath>
#include <cstring>

#include "spl/audio/sound_backends.h"
#include "spl/platform/message_loop.h"
#include "spl/platform/volume_control.h"
#include "spl/primitives/nsp.h"

namespace {

// The two process-wide devices, owned together. The playback worker reaches the capture
// device (to report played blocks) while the user-interface thread may close it, so every
// use of a pointer holds the mutex, and a device is destroyed only after it was taken out.
struct AudioDevices {
  std::mutex mutex;
  std::unique_ptr<CSoundIn> in;
  std::unique_ptr<CSoundOut> out;
  NSPErrorHandler previous_handler = nullptr;  // given back when capture closes
};
// Never destroyed: devices left open at exit are not stopped during static destruction.
AudioDevices& g_devices = *new AudioDevices;
std::atomic<int> g_block_ms{93};
std::string g_audio_error;
std::mutex g_status_mutex;
std::string g_status_text;  // the last primitive error while sound ran

constexpr DWORD kThreadReadyMs = 3000;
constexpr int kLockBlocksOnDone = 8;   // worker waits this many block durations for the mutex
constexpr int kLockBlocksOnClose = 2;  // closing waits this long for mutex and thread

DWORD BlockMs(int n) { return DWORD(n * g_block_ms.load()); }

// Errors of the primitives while sound runs: keep the status text for the program to show
// and ask it to end in order (the library itself neither prints nor exits).
void AudioPrimitiveErrorHandler(int status, const char* func, const char* context, const char* file,
                                int line) {
  {
    std::lock_guard<std::mutex> lock(g_status_mutex);
    g_status_text = std::string(func ? func : "?") + ": " + PrimitiveStatusText(status) + " (" +
                    (context ? context : "") + ")";
  }
  PostAppQuit(1);
}

}  // namespace

CSoundDevice::CSoundDevice(WaveDirection direction) : direction_(direction) {}

CSoundDevice::~CSoundDevice() { Close(); }

int CSoundDevice::Open(int channels, int rate, int samples_per_block, int buffers,
                       const char* device) {
  error_.clear();
  if (channels < 1 || channels > 2 || rate <= 0 || samples_per_block <= 0 || buffers <= 0) {
    error_ = "bad format: channels 1 or 2, positive rate, block size and buffer count";
    return 0;
  }
  // 1. Format, buffer size, block duration.
  channels_ = channels;
  rate_ = rate;
  samples_per_block_ = samples_per_block;
  buffers_ = buffers;
  block_align_ = kBitsPerSample / 8 * channels;
  avg_bytes_per_sec_ = block_align_ * rate;
  bytes_per_buffer_ = block_align_ * samples_per_block;
  g_block_ms = int(std::lround(1000.0 / (double(rate) / samples_per_block)));

  // 2. At least one device of the direction.
  if (WaveDeviceCount(direction_, device) == 0) {
    error_ = direction_ == kWaveCapture ? "no capture device" : "no playback device";
    return 0;
  }
  // 3. The mutex and event are members, made with the object.
  // 4. The worker thread: it makes its queue, raises its priority and says it is ready.
  if (!thread_.Start([this](CThread& self) { WorkerLoop(self); }) ||
      !event_.Wait(kThreadReadyMs)) {
    error_ = "sound worker thread did not start";
    return 0;
  }
  // 5. Headers, data area, holding store.
  headers_.assign(size_t(buffers), WAVEHDR{});
  data_.assign(size_t(buffers) * size_t(bytes_per_buffer_), 0);
  if (direction_ == kWavePlayback) {
    hold_.assign(data_.size(), 0);
    hold_user_.assign(size_t(buffers), 0);
  }
  // 6. The device, with completions to the worker thread.
  device_ = CreateWaveDevice(direction_, device);
  WavePcmFormat format;
  format.channels = channels;
  format.rate = rate;
  format.bits = kBitsPerSample;
  format.frames_per_buffer = samples_per_block;
  if (!device_ || !device_->Open(direction_, format, &thread_)) {
    error_ = device_ ? device_->LastError() : "no such device";
    device_.reset();
    return 0;
  }
  // 7. Running; playback counters at zero.
  running_ = true;
  queued_ = 0;
  next_slot_ = held_ = next_hold_ = 0;
  // 8. Buffers prepared; capture hands them all to the device.
  for (int i = 0; i < buffers; ++i) {
    WAVEHDR& h = headers_[size_t(i)];
    h.lpData = data_.data() + size_t(i) * size_t(bytes_per_buffer_);
    h.dwBufferLength = DWORD(bytes_per_buffer_);
    if (!device_->Prepare(&h) || (direction_ == kWaveCapture && !device_->AddBuffer(&h))) {
      error_ = "cannot hand buffers to the device";
      return 0;
    }
  }
  return 1;
}

void CSoundDevice::WorkerLoop(CThread& self) {
  SetCurrentThreadTimeCritical();
  event_.Set();
  MSG msg;
  for (;;) {
    self.Queue().Get(msg);
    if (msg.message == MM_WOM_CLOSE || msg.message == MM_WIM_CLOSE) break;
    if (msg.message != MM_WOM_DONE && msg.message != MM_WIM_DATA) continue;
    if (!running_) continue;  // closing: the buffer is not handed back
    auto* hdr = reinterpret_cast<WAVEHDR*>(msg.lParam);
    if (mutex_.Lock(BlockMs(kLockBlocksOnDone))) {
      OnBufferDone(device_.get(), hdr);
      mutex_.Unlock();
    }
    if (direction_ == kWavePlayback) {
      --queued_;
    } else if (running_) {
      device_->AddBuffer(hdr);
    }
  }
  event_.Set();
}

// The worker loop hands every capture buffer back after this call; doing it here as well
// would queue one buffer twice.
void CSoundDevice::OnBufferDone(CWaveDevice* dev, WAVEHDR* hdr) {}

void CSoundDevice::Close() {
  if (device_) {
    if (running_) {
      device_->Stop();  // capture stops, playback pauses
      bool locked = mutex_.Lock(BlockMs(kLockBlocksOnClose));
      running_ = false;
      if (locked) mutex_.Unlock();
    }
    device_->Reset();
    for (WAVEHDR& h : headers_)
      if (h.dwFlags & WHDR_PREPARED) device_->Unprepare(&h);
    device_->Close();  // sends the closed message to the worker thread
  }
  running_ = false;
  if (thread_.Started()) {
    if (!thread_.Join(BlockMs(kLockBlocksOnClose))) {
      thread_.PostThreadMessage(MM_WIM_CLOSE, 0, 0);
      if (!thread_.Join(BlockMs(kLockBlocksOnClose))) {
        // The worker only ever waits on its queue; it has the close message now.
        fprintf(stderr, "sound worker thread slow to end; waiting for it\n");
        thread_.Join(INFINITE);
      }
    }
  }
  device_.reset();
  headers_.clear();
  data_.clear();
  hold_.clear();
  hold_user_.clear();
}

// ---- capture: block distribution -------------------------------------------------------

int CSoundIn::Connect(HWND window, int channel) {
  if (channel < 0 || channel > 1) return 0;
  std::lock_guard<std::mutex> lock(lists_mutex_);
  CWindowList& list = lists_[channel];
  for (HWND w : list)
    if (w == window) return 0;
  list.push_back(window);
  if (device_ && device_->StartsOnDemand() && !device_->Started()) device_->Start();
  return 1;
}

int CSoundIn::DisConnect(HWND window, int channel) {
  if (channel < 0 || channel > 1) return 0;
  std::lock_guard<std::mutex> lock(lists_mutex_);
  CWindowList& list = lists_[channel];
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (*it == window) {
      list.erase(it);
      return 1;
    }
  }
  return 0;
}

namespace {
// Posts a block; when its window has gone the block is freed here rather than lost.
void PostBlock(HWND window, AudioBlock* block, WPARAM wParam) {
  if (!PostMessage(window, WM_AUDIOBLOCK, wParam, LPARAM(block))) FreeAudioBlock(block);
}
}  // namespace

void CSoundIn::OnBufferDone(CWaveDevice* dev, WAVEHDR* hdr) {
  const DWORD tick = GetTickCount();
  const auto* samples = reinterpret_cast<const int16_t*>(hdr->lpData);
  std::lock_guard<std::mutex> lock(lists_mutex_);
  if (channels_ == 1) {
    int n = int(hdr->dwBytesRecorded / 2);
    if (n < 1) return;
    for (HWND w : lists_[0]) {
      AudioBlock* b = nullptr;
      if (!AudioBlockFromMono16(samples, n, &b)) return;
      b->tick = tick;
      PostBlock(w, b, 0);
    }
    return;
  }
  int frames = int(hdr->dwBytesRecorded / 4);
  if (frames < 1) return;
  size_t windows = std::max(lists_[0].size(), lists_[1].size());
  for (size_t i = 0; i < windows; ++i) {
    AudioBlock *left = nullptr, *right = nullptr;
    if (!AudioBlockFromStereo16(samples, frames, &left, &right)) {
      FreeAudioBlock(left);
      FreeAudioBlock(right);
      return;
    }
    left->tick = right->tick = tick;
    if (i < lists_[0].size()) PostBlock(lists_[0][i], left, 0); else FreeAudioBlock(left);
    if (i < lists_[1].size()) PostBlock(lists_[1][i], right, 1); else FreeAudioBlock(right);
  }
}

void CSoundIn::PostToWindows(UINT msg, WPARAM wParam) {
  std::lock_guard<std::mutex> lock(lists_mutex_);
  if (channels_ == 1) {
    for (HWND w : lists_[0]) PostMessage(w, msg, wParam, 0);
    return;
  }
  size_t n = std::max(lists_[0].size(), lists_[1].size());
  for (size_t i = 0; i < n; ++i) {
    if (i < lists_[0].size()) PostMessage(lists_[0][i], msg, wParam, 0);
    if (i < lists_[1].size()) PostMessage(lists_[1][i], msg, wParam, 0);
  }
}

// ---- playback --------------------------------------------------------------------------

int CSoundOut::InitConversion() {
  conversion_.assign(size_t(channels_) * size_t(samples_per_block_), 0);
  return 1;
}

void CSoundOut::OnBufferDone(CWaveDevice* dev, WAVEHDR* hdr) {
  std::lock_guard<std::mutex> lock(g_devices.mutex);
  if (g_devices.in) g_devices.in->PostToWindows(WM_AUDIOPLAYED, WPARAM(hdr->dwUser));
}

int CSoundOut::WriteToDevice(const char* bytes, uintptr_t user) {
  if (queued_ >= buffers_) return 0;
  WAVEHDR& h = headers_[size_t(next_slot_)];
  memcpy(h.lpData, bytes, size_t(bytes_per_buffer_));
  h.dwUser = user;
  if (!device_->AddBuffer(&h)) return 0;
  ++queued_;
  next_slot_ = (next_slot_ + 1) % buffers_;
  return 1;
}

void CSoundOut::Queue(const char* bytes, uintptr_t user) {
  auto hold = [this](const char* b, uintptr_t u) {
    if (held_ >= buffers_) return;  // the store is full: this buffer is dropped
    memcpy(hold_.data() + size_t(next_hold_) * size_t(bytes_per_buffer_), b, size_t(bytes_per_buffer_));
    hold_user_[size_t(next_hold_)] = u;
    next_hold_ = (next_hold_ + 1) % buffers_;
    ++held_;
  };
  if (held_ > 0) {
    // Take the most recently held buffer; if the device is still full it is lost.
    next_hold_ = (next_hold_ + buffers_ - 1) % buffers_;
    --held_;
    WriteToDevice(hold_.data() + size_t(next_hold_) * size_t(bytes_per_buffer_),
                  hold_user_[size_t(next_hold_)]);
    if (bytes) hold(bytes, user);
  } else if (bytes && !WriteToDevice(bytes, user)) {
    hold(bytes, user);
  }
}

void CSoundOut::Play(const AudioBlock* block) {
  if (!device_ || !block || block->count < samples_per_block_) return;
  int16_t* out = conversion_.data();
  nspsbFloatToInt(block->data, out, samples_per_block_, 16, NSP_ROUND);
  if (channels_ == 2) {
    for (int i = samples_per_block_ - 1; i >= 0; --i) out[2 * i] = out[2 * i + 1] = out[i];
  }
  Queue(reinterpret_cast<const char*>(out), block->tick);
  if (preroll_ >= 0) {
    --preroll_;
    if (preroll_ < 0) device_->Start();
  }
}

// ---- the exported functions ------------------------------------------------------------

HWAVEIN InitAudio(CRadio* radio, int channels, int rate, int samples_per_block, int buffers,
                  const char* device) {
  if (channels == 0) {
    std::unique_ptr<CSoundIn> closing;
    {
      std::lock_guard<std::mutex> lock(g_devices.mutex);
      closing = std::move(g_devices.in);
    }
    if (closing) {
      closing.reset();  // outside the lock: the playback worker may be waiting for it
      SetPrimitiveErrorHandler(g_devices.previous_handler);
    }
    return reinterpret_cast<HWAVEIN>(1);
  }
  {
    std::lock_guard<std::mutex> lock(g_devices.mutex);
    if (g_devices.in) {
      g_audio_error = "capture is already open";
      return nullptr;
    }
  }
  auto in = std::make_unique<CSoundIn>();
  if (!in->Open(channels, rate, samples_per_block, buffers, device) ||
      (!in->Device()->StartsOnDemand() && !in->Device()->Start())) {
    g_audio_error = in->Error();
    return nullptr;  // nothing of the failed attempt stays
  }
  g_devices.previous_handler = SetPrimitiveErrorHandler(AudioPrimitiveErrorHandler);
  std::lock_guard<std::mutex> lock(g_devices.mutex);
  g_devices.in = std::move(in);
  return g_devices.in.get();
}

HWAVEOUT InitAudioOut(CRadio* radio, int preroll, const char* device) {
  if (!radio) {
    std::unique_ptr<CSoundOut> closing;
    {
      std::lock_guard<std::mutex> lock(g_devices.mutex);
      closing = std::move(g_devices.out);
    }
    return reinterpret_cast<HWAVEOUT>(1);  // closing ends its worker outside the lock
  }
  int channels = 0, rate = 0, samples_per_block = 0, buffers = 0;
  {
    std::lock_guard<std::mutex> lock(g_devices.mutex);
    if (!g_devices.in) {
      g_audio_error = "capture is not open";
      return nullptr;
    }
    if (g_devices.out) {
      g_audio_error = "playback is already open";
      return nullptr;
    }
    channels = g_devices.in->Channels();
    rate = g_devices.in->Rate();
    samples_per_block = g_devices.in->SamplesPerBlock();
    buffers = g_devices.in->Buffers();
  }
  auto out = std::make_unique<CSoundOut>();
  if (!out->Open(channels, rate, samples_per_block, buffers, device) || !out->InitConversion()) {
    g_audio_error = out->Error();
    return nullptr;
  }
  out->Device()->Stop();  // opened paused
  out->SetPreRoll(preroll);
  std::lock_guard<std::mutex> lock(g_devices.mutex);
  g_devices.out = std::move(out);
  return g_devices.out.get();
}

const char* AudioErrorText() { return g_audio_error.c_str(); }

std::string AudioStatusText() {
  std::lock_guard<std::mutex> lock(g_status_mutex);
  return g_status_text;
}

int AudioInputEnded() {
  std::lock_guard<std::mutex> lock(g_devices.mutex);
  CSoundIn* in = g_devices.in.get();
  return in && in->Device() && in->Device()->AtEnd() ? 1 : 0;
}

int Connect(HWND window, int channel) {
  std::lock_guard<std::mutex> lock(g_devices.mutex);
  return g_devices.in ? g_devices.in->Connect(window, channel) : 0;
}

int DisConnect(HWND window, int channel) {
  std::lock_guard<std::mutex> lock(g_devices.mutex);
  return g_devices.in ? g_devices.in->DisConnect(window, channel) : 0;
}

void PlayAudioBlock(const AudioBlock* block) {
  std::lock_guard<std::mutex> lock(g_devices.mutex);
  if (g_devices.out) g_devices.out->Play(block);
}

void PostAudioBlock(CWindowList& windows, const AudioBlock* block, int wParam) {
  for (HWND w : windows) {
    AudioBlock* copy = nullptr;
    if (!DupAudioBlock(block, &copy)) return;
    PostBlock(w, copy, WPARAM(wParam));
  }
}

void DiscardAudioMessage(const MSG& msg) {
  if (msg.message == WM_AUDIOBLOCK) FreeAudioBlock(reinterpret_cast<AudioBlock*>(msg.lParam));
}

int AudioMixIn() { return StartVolumeControl(true); }
int AudioMixOut() { return StartVolumeControl(false); }
int AudioBlockDuration() { return g_block_ms.load(); }
