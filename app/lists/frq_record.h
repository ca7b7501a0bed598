// The frequency record: one row of the station's frequency list in memory, with its receiver
// settings and the parameters of the decoder that suits the station. The same 428-byte record,
// little-endian and without gaps, is what the timer (".tim"), channel (".scl") and satellite
// (".sbl") list files hold one after another. Also the rules that read a record's decoder
// column: which decoder it selects, the station's decoder code, the dial frequency.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kFrqRecordSize = 428;
constexpr int kFrqNameSize = 32;        // texts include their terminating zero
constexpr int kFrqCallSignSize = 16;
constexpr int kFrqEquNameSize = 16;
constexpr int kFrqCommentarySize = 80;
constexpr int kFrqExtensionCount = 4;

// Byte places of the record that other code and the tests rely on.
constexpr int kFrqStartFrqOffset = 108;
constexpr int kFrqCommentaryOffset = 324;

// Members in column order. Frequencies in kHz, tones in Hz, yes/no columns as 0 or 1 (any
// value read from a file is kept). The struct is not the byte form: FrqRecordToBytes and
// FrqRecordFromBytes convert it field by field.
struct CFrqRecord {
  double rxFrq;
  char name[kFrqNameSize];
  int32_t decoder;     // 0 audio, 8192 + IOC, 12288 + text code, 16384 + SSTV index
  int32_t modulation;  // mode index 0..13 (bit 1 << index of the receiver mode table)
  char callSign[kFrqCallSignSize];
  int32_t country;      // 0..255, FrqCountryText
  int32_t stationType;  // 0..14, FrqStationTypeText
  int32_t steps;        // tuning step, Hz
  int32_t ifIndex;      // 0..4, IfWidthKHz
  double txFrq;
  int32_t att, agc, nb, volume, squelch;  // volume and squelch 0..255
  double startFrq, stopFrq;               // scan range, kHz
  int32_t scanSteps;                      // Hz
  int32_t waveOn, lineOn, decFilter, equFilter;
  char equName[kFrqEquNameSize];  // equalizer curve, file name without ".EQU"
  int32_t waveOutVol, lineInVol, lineOutVol, audioSquelch;
  int32_t recOnSig, stopOnSig, recTime, whileTime, audioOrSquelch;
  int32_t assumeRadio;  // applying also sets attenuator, AGC, noise blanker, volume, squelch
  int32_t assumeAudio;  // applying also sets the audio and mixer columns
  int32_t flags;        // selection marker of the list
  int32_t cwCenter, cwMark, cwWidth;
  int32_t faxIoc, faxLpm, faxCenter, faxShift, faxFilterMode, faxFilterWidth;
  int32_t faxHMirror, faxVMirror, faxAm, faxFilterOn, faxBurst1, faxBurst2;
  int32_t faxSyncWidth, faxInvertSync;
  int32_t rttyMode, rttyBaud, rttyMark, rttySpace;
  double rttyStopBits;
  int32_t rttyPolarity;
  int32_t sstvMode;  // SSTV index 0..3, SstvModeOfIndex
  int32_t sstvFilterLo, sstvFilterHi, sstvFilterOrder, sstvManualFilter;
  char commentary[kFrqCommentarySize];
  int32_t modulationType;  // emission class 0..16, FrqEmissionClassText
  int32_t satId;           // negative: no satellite
  int32_t extension[kFrqExtensionCount];
};

// The record a new row starts from: USB, equalizer "DEFAULT" switched on, emission class
// "undefined", the decoders' usual parameters; everything else 0 or empty.
CFrqRecord FrqTemplate();

// The 428-byte form.
void FrqRecordToBytes(const CFrqRecord& r, uint8_t out[kFrqRecordSize]);
// size must be kFrqRecordSize. Every text gets a zero in its last byte (a name of 32 non-zero
// bytes keeps 31); all other bytes are kept as they are. 1, or 0 with out untouched.
int FrqRecordFromBytes(const uint8_t* bytes, size_t size, CFrqRecord& out);
// Copies text into a text field of size bytes, cut to size - 1 characters, zero-filled.
void SetFrqText(char* field, size_t size, const char* text);

// List files: records one after another; an empty file is an empty list. A file whose size
// is not a whole number of records is refused. 1, or 0 with "PATH: reason" in error and out
// untouched.
int ReadFrqRecordFile(const std::string& path, std::vector<CFrqRecord>& out,
                      std::string* error = nullptr);
// Replaces the file in one step (the old contents stay on failure). 1 or 0 as above.
int WriteFrqRecordFile(const std::string& path, const std::vector<CFrqRecord>& records,
                       std::string* error = nullptr);

// The decoder column.
constexpr int kFrqFaxBase = 8192;     // + index of cooperation
constexpr int kFrqTextBase = 12288;   // + text decoder code (CW 2048: 14336)
constexpr int kFrqSstvBase = 16384;   // + SSTV index
enum FrqDecoderKind { kFrqAudio, kFrqFax, kFrqText, kFrqSstv };
// FAX 8192..12287, text 12288..16383, SSTV from 16384, anything else audio / scanner.
FrqDecoderKind FrqDecoderKindOf(int decoder);
// The station's decoder code for the record (kDecoderFax, kDecoderSstv, kDecoderAudio,
// kDecoderCw or the text decoder's own code).
int StationDecoderCode(const CFrqRecord& r);
// The decoder column of a new record made while stationCode is active; codes outside the
// station's ranges give 0 (audio).
int FrqDecoderValue(int stationCode, int faxIoc, int sstvIndex);
// The emission class of a new record made while stationCode is active.
int FrqEmissionClassFor(int stationCode);

// SSTV index of the record (0..3) <-> the decoder's mode number (0, 5, 2, 8: Martin 1,
// Wraase SC2-180, Scottie 1, Robot 72, in the order of the list's texts); -1 for any other.
int SstvModeOfIndex(int index);
int SstvIndexOfMode(int mode);

// IF bandwidth in kHz of an IF index: 6, 15, 50, 230 for 1..4, 3 for any other.
int IfWidthKHz(int index);
// The IF index of a width in kHz; 0 (3 kHz) for a width not in the list.
int IfIndexOfWidth(int kHz);

// The frequency to tune, kHz: the receive frequency moved by the decoder's audio centre
// (CW centre, FAX centre, or the middle of mark and space) so that the signal lands on it:
// below in USB, above in LSB. Other modes, SSTV and audio tune the receive frequency.
double FrqDialFrequency(const CFrqRecord& r);
