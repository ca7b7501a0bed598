#include "app/core/sim_band_source.h"

#include <algorithm>
#include <memory>

#include "spl/audio/sound_backends.h"

CSimBandSource::CSimBandSource(std::vector<SimStation> stations, CSimBand::Tuning tuning,
                               bool real_time, unsigned seed)
    : stations_(std::move(stations)), tuning_(std::move(tuning)), real_time_(real_time),
      seed_(seed) {}

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
  return 1;
}

void CSimBandSource::StartBackend() { pacer_.Restart(); }

int CSimBandSource::Transfer(WAVEHDR* hdr) {
  const int channels = Format().channels;
  const int frames = std::min(int(hdr->dwBufferLength) / (2 * channels), int(mono_.size()));
  band_.Generate(mono_.data(), frames);
  auto* out = reinterpret_cast<int16_t*>(hdr->lpData);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) out[i * channels + c] = mono_[size_t(i)];
  hdr->dwBytesRecorded = DWORD(frames * 2 * channels);
  if (real_time_) pacer_.Advance(frames, [this] { return Cancelled(); });
  return 1;
}

int RegisterSimBandSource(const std::vector<SimStation>& stations, CSimBand::Tuning tuning) {
  if (!tuning) {
    UnregisterSimBandSource();
    return 1;
  }
  for (bool real_time : {true, false})
    RegisterWaveSource(real_time ? kSimBandDevice : kSimBandFastDevice,
                       [stations, tuning, real_time]() -> std::unique_ptr<CWaveDevice> {
                         return std::make_unique<CSimBandSource>(stations, tuning, real_time);
                       });
  return 1;
}

void UnregisterSimBandSource() {
  RegisterWaveSource(kSimBandDevice, nullptr);
  RegisterWaveSource(kSimBandFastDevice, nullptr);
}
