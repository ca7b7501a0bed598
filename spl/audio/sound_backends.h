// Chooses the backend behind a sound device name: a capture source registered under the name,
// a wave file for "wav:PATH" (paced in real time) and "wavfast:PATH" (as fast as it reads), an
// ALSA PCM for anything else.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "spl/platform/wave_device.h"

constexpr const char* kDefaultAlsaDevice = "default";
constexpr const char* kWaveFilePrefix = "wav:";
constexpr const char* kWaveFileFastPrefix = "wavfast:";

std::unique_ptr<CWaveDevice> CreateWaveDevice(WaveDirection direction, const char* name);
// Devices of the direction that the name can reach (0: none).
int WaveDeviceCount(WaveDirection direction, const char* name);

using WaveSourceFactory = std::function<std::unique_ptr<CWaveDevice>()>;
// Makes `name` (e.g. "sim") a capture device name that InitAudio opens through factory; an empty
// factory removes it. Capture only; the name is matched exactly. Safe from any thread.
void RegisterWaveSource(const std::string& name, WaveSourceFactory factory);
