#include "app/core/sim_band_source.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "spl/audio/sound_backends.h"

namespace {
constexpr int kPaceLookMs = 10;  // how often a waiting band looks whether it was stopped
}  // namespace

void CSimBandPace::Restart(long long frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  ahead_ = 0;
  limit_ = frames;
}

void CSimBandPace::Produced(int frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  ahead_ += frames;
}

void CSimBandPace::Consumed(int frames) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ahead_ -= frames;
  }
  room_.notify_all();
}

int CSimBandPace::WaitRoom(const std::function<bool()>& cancelled) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (ahead_ > limit_) {
    if (cancelled()) return 0;
    room_.wait_for(lock, std::chrono::milliseconds(kPaceLookMs));
  }
  return 1;
}

CSimBandSource::CSimBandSource(std::vector<SimStation> stations, CSimBand::Tuning tuning,
                               bool real_time, unsigned seed, std::shared_ptr<CSimBandPace> pace)
    : stations_(std::move(stations)), tuning_(std::move(tuning)), real_time_(real_time),
      seed_(seed), pace_(real_time ? nullptr : std::move(pace)) {}

// The I/O thread calls Transfer, which uses the band: it ends before the band goes.
CSimBandSource::~CSimBandSource() { StopIo(); }

int CSimBandSource::OpenBackend(WaveDirection direction, const WavePcmFormat& format) {
  if (direction != kWaveCapture) {
    SetError("the simulated band can only be captured from");
    return 0;
  }
  if (format.bits != 16 || format.channels < 1 || format.channels > 2 ||
      format.frames_per_buffer < 1) {
    SetError("the simulated band gives 16-bit mono or stereo");
    return 0;
  }
  if (!band_.Init(stations_, format.rate, tuning_, seed_)) {
    SetError("simulated band: " + band_.Error());
    return 0;
  }
  mono_.assign(size_t(format.frames_per_buffer), 0);
  // A card delivers its first period after one period; the band may run that far ahead.
  pacer_.Init(format.rate, format.frames_per_buffer);
  if (pace_) pace_->Restart(kSimPaceBuffers * (long long)format.frames_per_buffer);
  return 1;
}

void CSimBandSource::StartBackend() { pacer_.Restart(); }

int CSimBandSource::Transfer(WAVEHDR* hdr) {
  const int channels = Format().channels;
  const int frames = std::min(int(hdr->dwBufferLength) / (2 * channels), int(mono_.size()));
  if (pace_ && !pace_->WaitRoom([this] { return Cancelled(); })) return 0;
  band_.Generate(mono_.data(), frames);
  auto* out = reinterpret_cast<int16_t*>(hdr->lpData);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) out[i * channels + c] = mono_[size_t(i)];
  hdr->dwBytesRecorded = DWORD(frames * 2 * channels);
  if (real_time_) pacer_.Advance(frames, [this] { return Cancelled(); });
  if (pace_) pace_->Produced(frames);
  return 1;
}

int RegisterSimBandSource(const std::vector<SimStation>& stations, CSimBand::Tuning tuning,
                          std::shared_ptr<CSimBandPace> pace) {
  if (!tuning) {
    UnregisterSimBandSource();
    return 1;
  }
  for (bool real_time : {true, false})
    RegisterWaveSource(real_time ? kSimBandDevice : kSimBandFastDevice,
                       [stations, tuning, real_time, pace]() -> std::unique_ptr<CWaveDevice> {
                         return std::make_unique<CSimBandSource>(stations, tuning, real_time, 1, pace);
                       });
  return 1;
}

void UnregisterSimBandSource() {
  RegisterWaveSource(kSimBandDevice, nullptr);
  RegisterWaveSource(kSimBandFastDevice, nullptr);
}
