// A sound device on an ALSA PCM ("default", "null", "hw:0,0", "plughw:1" ...), 16-bit PCM.
#pragma once
#include <string>

#include "spl/platform/real_time_pacer.h"
#include "spl/platform/wave_device.h"

typedef struct _snd_pcm snd_pcm_t;

class CAlsaDevice : public CWaveDevice {
 public:
  explicit CAlsaDevice(std::string pcm_name);
  ~CAlsaDevice() override;

 protected:
  int OpenBackend(WaveDirection direction, const WavePcmFormat& format) override;
  int Transfer(WAVEHDR* hdr) override;
  void StartBackend() override;
  void StopBackend() override;
  void CloseBackend() override;

 private:
  int Recover(int err);
  std::string name_;
  snd_pcm_t* pcm_ = nullptr;
  CRealTimePacer pacer_;
};

// ALSA prints its own diagnostics on standard error; the library reports errors itself, so
// every ALSA user installs this (once per process) before its first call.
void InstallQuietErrorHandler();

// How many PCM devices of a direction ALSA offers (cards' devices and configured plugins).
int AlsaDeviceCount(WaveDirection direction);
