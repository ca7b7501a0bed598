// The rows of the codec driver table, one per codec file pair, and the checks they share.
#pragma once
#include "spl/platform/codec.h"

extern const CodecDriver kPcmCodecDriver;
extern const CodecDriver kALawCodecDriver;
extern const CodecDriver kMuLawCodecDriver;
extern const CodecDriver kImaAdpcmCodecDriver;

// Reason text when channels or rate of wfx are outside what any driver converts, else null.
const char* CodecCheckChannelsAndRate(const WAVEFORMATEX* wfx);
