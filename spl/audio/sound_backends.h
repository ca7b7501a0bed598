// Chooses the backend behind a sound device name: a wave file for "wav:PATH" (paced in real
// time) and "wavfast:PATH" (as fast as it reads), an ALSA PCM for anything else.
#pragma once
#include <memory>

#include "spl/platform/wave_device.h"

constexpr const char* kDefaultAlsaDevice = "default";
constexpr const char* kWaveFilePrefix = "wav:";
constexpr const char* kWaveFileFastPrefix = "wavfast:";

std::unique_ptr<CWaveDevice> CreateWaveDevice(WaveDirection direction, const char* name);
// Devices of the direction that the name can reach (0: none).
int WaveDeviceCount(WaveDirection direction, const char* name);
