#include "spl/audio/sound_backends.h"

#include <cstring>
#include <map>
#include <mutex>

#include "spl/audio/wave_file_source.h"
#include "spl/platform/alsa_device.h"

namespace {
bool StartsWith(const char* s, const char* prefix) { return s && !strncmp(s, prefix, strlen(prefix)); }

// The registered capture sources: process-wide, since device names are.
struct SourceRegistry {
  std::mutex mutex;
  std::map<std::string, WaveSourceFactory> factories;
};
SourceRegistry& Registry() {
  static SourceRegistry registry;
  return registry;
}

WaveSourceFactory FindSource(WaveDirection direction, const char* name) {
  if (direction != kWaveCapture || !name) return nullptr;
  SourceRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.factories.find(name);
  return it == r.factories.end() ? nullptr : it->second;
}
}  // namespace

void RegisterWaveSource(const std::string& name, WaveSourceFactory factory) {
  SourceRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (factory)
    r.factories[name] = std::move(factory);
  else
    r.factories.erase(name);
}

std::unique_ptr<CWaveDevice> CreateWaveDevice(WaveDirection direction, const char* name) {
  // Called outside the lock: a factory may take its time.
  if (WaveSourceFactory factory = FindSource(direction, name)) return factory();
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
  if (FindSource(direction, name)) return 1;
  if (StartsWith(name, kWaveFilePrefix) || StartsWith(name, kWaveFileFastPrefix))
    return direction == kWaveCapture ? 1 : 0;
  return AlsaDeviceCount(direction);
}
