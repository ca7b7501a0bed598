#include "spl/audio/sound_backends.h"

#include <cstring>

#include "spl/audio/wave_file_source.h"
#include "spl/platform/alsa_device.h"

namespace {
bool StartsWith(const char* s, const char* prefix) { return s && !strncmp(s, prefix, strlen(prefix)); }
}  // namespace

std::unique_ptr<CWaveDevice> CreateWaveDevice(WaveDirection direction, const char* name) {
  if (StartsWith(name, kWaveFilePrefix)) {
    if (direction != kWaveCapture) return nullptr;
    return std::make_unique<CWaveFileSource>(name + strlen(kWaveFilePrefix), true);
  }
  if (StartsWith(name, kWaveFileFastPrefix)) {
    if (direction != kWaveCapture) return nullptr;
    return std::make_unique<CWaveFileSource>(name + strlen(kWaveFileFastPrefix), false);
  }
  return std::make_unique<CAlsaDevice>(name && *name ? name : kDefaultAlsaDevice);
}

int WaveDeviceCount(WaveDirection direction, const char* name) {
  if (StartsWith(name, kWaveFilePrefix) || StartsWith(name, kWaveFileFastPrefix))
    return direction == kWaveCapture ? 1 : 0;
  return AlsaDeviceCount(direction);
}
