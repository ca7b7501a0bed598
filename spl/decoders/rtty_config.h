// How the station sets its RTTY decoder up from its settings (two tones in either order, baud
// rate, polarity, framing mode), in one place, so that the tool and the tests decode exactly
// what the station decodes; and the block size and filter length used at other sample rates.
#pragma once

#include "spl/decoders/rtty_decoder.h"

// The settings' defaults: filter length at 11025 Hz, post-detection low-pass.
constexpr int kRttyDefaultTaps = 64;
constexpr int kRttyReferenceRate = 11025;
constexpr int kRttyLowPassHz = 500;
// Shifts below this use the narrow set-up (doubled filter, 30 Hz, no window).
constexpr int kRttyNarrowShiftHz = 201;
constexpr int kRttyWideShiftHz = 800;

// The NAVTEX choice "NAVTEX = SITOR B 100 Baud inv.": SITOR-B at 100 Bd with the higher tone
// as binary 1, 170 Hz shift around 1700 Hz.
constexpr int kNavtexBaud = 100;
constexpr int kNavtexLowTone = 1615;
constexpr int kNavtexHighTone = 1785;
constexpr int kSitorBaud = 100;

// Null when the decoder can work with these settings, else why not (a short phrase).
const char* RttySettingsError(int rate, int block, int tone1, int tone2, double baud);

// Init with the filter length (doubled below 201 Hz shift), then SetFilter with the higher tone
// as the space filter and the lower as the mark filter: 30 Hz and no window below 201 Hz, else
// the Hann window and 50 Hz (up to 799 Hz) or 80 Hz (800 Hz and more). inverted = the settings'
// "inverted polarity": the higher tone is then binary 1 (the decoder's invert flag 0).
// Also sets baud rate (fractional), mode and receiver (the matched one unless told otherwise;
// its tuning stays as it was, off in a new decoder). 1, or 0 when the decoder refuses.
int ConfigureRttyDecoder(CRttyDecoder& decoder, int rate, int block, int taps, int tone1,
                         int tone2, int mode, double baud, int inverted,
                         int receiver = kRttyReceiverMatched);

// The block a sound card delivers at this rate (about 93 ms, a power of two: 1024 at 11025 Hz)
// and the filter length that spans the same time as the default at 11025 Hz.
int RttyBlockSize(int rate);
int RttyTaps(int rate);
