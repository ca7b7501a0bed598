// Stands in for the platform's interactive wave format chooser: the user's choice is given as
// text, "NAME[:RATE[:CHANNELS]]" with NAME one of the codec short names ("pcm", "a-law",
// "u-law", "ima-adpcm"), in the environment variable KESTREL_WAVE_FORMAT.
#pragma once
#include <string>

#include "spl/platform/message_queue.h"
#include "spl/platform/wave_format.h"

// The environment variable that carries the answer of the chooser.
constexpr const char* kWaveFormatChoiceVariable = "KESTREL_WAVE_FORMAT";

// Turns a format name into the best record (highest bytes per second) the named codec offers
// for the rate and channels. Missing rate and channels come from `initial` when its tag is
// not 0, else 11025 Hz mono. wfx must hold size bytes (the largest format size). 1 or 0.
int ParseWaveFormatChoice(const std::string& text, const WAVEFORMATEX* initial, WAVEFORMATEX* wfx,
                          int size);

// The chooser: 1 and wfx filled when a choice was given and names a format, 0 otherwise
// (the same as the user cancelling). owner is the window the chooser would belong to.
int ChooseWaveFormat(HWND owner, WAVEFORMATEX* wfx, int size);
