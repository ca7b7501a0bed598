// The station's decoder choices and system states as data: the code a frequency record or
// the user selects, the name the status bar shows, and the group of pages that serves it.
#pragma once

// Decoder codes.
constexpr int kDecoderRtty = 0;
constexpr int kDecoderRttySync = 1;
constexpr int kDecoderSitor = 2;
constexpr int kDecoderSynop = 16;
constexpr int kDecoderNavtex = 18;
constexpr int kDecoderBpsk31 = 257;
constexpr int kDecoderQpsk31 = 258;
constexpr int kDecoderCw = 2048;
constexpr int kDecoderFax = 4096;
constexpr int kDecoderSstv = 8192;
constexpr int kDecoderAudio = 16384;

// The PSK31 decoder's carrier, Hz (the dial puts the signal there).
constexpr int kPsk31Carrier = 1000;

// Which page window receives the captured blocks while a decoder is selected.
enum DecoderGroup { kGroupText = 0, kGroupFax = 1, kGroupSstv = 2, kGroupAudio = 3, kGroupCount = 4 };

struct DecoderChoice {
  int code;
  const char* name;   // status bar text, as stored and shown
  DecoderGroup group;
  int rttyMode;       // framing of the RTTY decoder for the teleprinter codes, else -1
};
// The row of a code, or null for a code the station does not know.
const DecoderChoice* FindDecoderChoice(int code);
const DecoderChoice* DecoderChoices(int* count);

// System states shown in the status bar.
constexpr int kStateStandBy = 0;
constexpr int kStateAudioActive = 995;
constexpr int kStateWaitNnnnCode = 996;
constexpr int kStateWaitZczcCode = 997;
constexpr int kStateWaitSstv = 998;
constexpr int kStateReceiveSstv = 999;
// The name of a state code ("SYSTEM_STAND_BY", "FAX_WAIT_START" ...), null for any other code.
const char* SystemStateName(int code);

// Status bar panes the core writes.
constexpr int kPaneFrequency = 6;
constexpr int kPaneMode = 7;
constexpr int kPaneDecoder = 8;
constexpr int kPaneState = 9;
