#include "spl/platform/alsa_device.h"

#include <alsa/asoundlib.h>

#include <cstring>

namespace {
constexpr int kWaitSliceMs = 50;  // longest wait before a transfer looks at its cancel flag
constexpr int kPeriodsPerRing = 4;

void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

void InstallQuietErrorHandler() {
  static const bool installed = (snd_lib_error_set_handler(QuietAlsaErrors), true);
  (void)installed;
}

CAlsaDevice::CAlsaDevice(std::string pcm_name) : name_(std::move(pcm_name)) {}

CAlsaDevice::~CAlsaDevice() {
  StopIo();
  CloseBackend();
}

int CAlsaDevice::OpenBackend(WaveDirection direction, const WavePcmFormat& f) {
  InstallQuietErrorHandler();
  snd_pcm_stream_t stream = direction == kWaveCapture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
  int err = snd_pcm_open(&pcm_, name_.c_str(), stream, SND_PCM_NONBLOCK);
  if (err < 0) {
    pcm_ = nullptr;
    SetError(std::string("cannot open PCM \"") + name_ + "\": " + snd_strerror(err));
    return 0;
  }
  snd_pcm_hw_params_t* hw;
  snd_pcm_hw_params_alloca(&hw);
  unsigned rate = unsigned(f.rate);
  snd_pcm_uframes_t period = snd_pcm_uframes_t(f.frames_per_buffer);
  snd_pcm_uframes_t ring = period * kPeriodsPerRing;
  const char* step = "hardware parameters";
  if ((err = snd_pcm_hw_params_any(pcm_, hw)) >= 0 &&
      (step = "interleaved access", err = snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) >= 0 &&
      (step = "16-bit samples", err = snd_pcm_hw_params_set_format(pcm_, hw, SND_PCM_FORMAT_S16_LE)) >= 0 &&
      (step = "channel count", err = snd_pcm_hw_params_set_channels(pcm_, hw, unsigned(f.channels))) >= 0 &&
      (step = "sample rate", err = snd_pcm_hw_params_set_rate_near(pcm_, hw, &rate, nullptr)) >= 0 &&
      (step = "period size", err = snd_pcm_hw_params_set_period_size_near(pcm_, hw, &period, nullptr)) >= 0 &&
      (step = "buffer size", err = snd_pcm_hw_params_set_buffer_size_near(pcm_, hw, &ring)) >= 0) {
    step = "hardware parameters";
    err = snd_pcm_hw_params(pcm_, hw);
  }
  if (err >= 0 && rate != unsigned(f.rate)) {
    SetError(name_ + ": sample rate " + std::to_string(f.rate) + " Hz not available (nearest " +
             std::to_string(rate) + " Hz)");
    CloseBackend();
    return 0;
  }
  if (err >= 0) err = snd_pcm_prepare(pcm_);
  // A card cannot run ahead of its clock by more than its ring; plugins without a clock can.
  pacer_.Init(f.rate, int64_t(ring));
  if (err < 0) {
    SetError(name_ + ": " + step + ": " + snd_strerror(err));
    CloseBackend();
    return 0;
  }
  return 1;
}

int CAlsaDevice::Recover(int err) {
  // Overrun or underrun: start the stream again; anything else (a vanished device) is fatal.
  if (err == -EPIPE || err == -ESTRPIPE) {
    if (snd_pcm_recover(pcm_, err, 1) >= 0) {
      if (Direction() == kWaveCapture) snd_pcm_start(pcm_);
      return 1;
    }
  }
  SetError(name_ + ": " + snd_strerror(err));
  return 0;
}

int CAlsaDevice::Transfer(WAVEHDR* hdr) {
  const int frame_bytes = 2 * Format().channels;
  snd_pcm_uframes_t total = hdr->dwBufferLength / frame_bytes;
  snd_pcm_uframes_t done = 0;
  while (done < total) {
    if (Cancelled()) return 0;
    char* at = hdr->lpData + done * frame_bytes;
    snd_pcm_sframes_t n = Direction() == kWaveCapture ? snd_pcm_readi(pcm_, at, total - done)
                                                      : snd_pcm_writei(pcm_, at, total - done);
    if (n == -EAGAIN) {
      snd_pcm_wait(pcm_, kWaitSliceMs);
    } else if (n < 0) {
      if (!Recover(int(n))) return -1;
    } else {
      done += snd_pcm_uframes_t(n);
    }
  }
  if (Direction() == kWaveCapture) hdr->dwBytesRecorded = DWORD(done * frame_bytes);
  pacer_.Advance(int64_t(done), [this] { return Cancelled(); });  // the data moved either way
  return 1;
}

void CAlsaDevice::StartBackend() {
  if (!pcm_) return;
  if (snd_pcm_state(pcm_) != SND_PCM_STATE_PREPARED) snd_pcm_prepare(pcm_);
  pacer_.Restart();
  if (Direction() == kWaveCapture) snd_pcm_start(pcm_);
}

void CAlsaDevice::StopBackend() {
  if (pcm_) snd_pcm_drop(pcm_);
}

void CAlsaDevice::CloseBackend() {
  if (pcm_) snd_pcm_close(pcm_);
  pcm_ = nullptr;
}

int AlsaDeviceCount(WaveDirection direction) {
  InstallQuietErrorHandler();
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0) return 0;
  const char* want = direction == kWaveCapture ? "Input" : "Output";
  int count = 0;
  for (void** h = hints; *h; ++h) {
    char* io = snd_device_name_get_hint(*h, "IOID");
    // No IOID means the device works both ways.
    if (!io || !strcmp(io, want)) ++count;
    free(io);
  }
  snd_device_name_free_hint(hints);
  return count;
}
