#include "tools/kestrel/modes.h"

// Rows are added as the decoders and transmitters arrive; declare each runner here.
const ModeCommand kDecodeModes[] = {
    {nullptr, nullptr, nullptr},
};
const int kDecodeModeCount = sizeof(kDecodeModes) / sizeof(kDecodeModes[0]) - 1;

const ModeCommand kTransmitModes[] = {
    {nullptr, nullptr, nullptr},
};
const int kTransmitModeCount = sizeof(kTransmitModes) / sizeof(kTransmitModes[0]) - 1;
