// The codec layer: a table of codec drivers (PCM, G.711 A-law and mu-law, IMA ADPCM) that
// lists the formats each offers, says which drivers are codecs, checks format records and
// sizes their data. Conversion streams between 16-bit PCM and a codec: codec_stream.h.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "spl/platform/wave_format.h"

// What an encoder carries from one codec block to the next (per channel).
struct CodecState {
  int index[2];  // IMA ADPCM step index
};

// One row per codec driver. A block is the codec's smallest unit: nBlockAlign bytes that
// carry frames_per_block frames; the last block of a stream may be a short block.
struct CodecDriver {
  uint16_t tag;
  const char* name;         // format tag name, "IMA ADPCM"
  const char* short_name;   // for choosing a format by text: "ima-adpcm"
  const char* description;  // the driver's own description
  int is_codec;             // 1: converts to and from 16-bit PCM
  int format_size;          // bytes of its format records (18 + extra)
  // Fills *out (format_size bytes) with the index-th format offered for rate and channels;
  // 0 when there is no such format.
  int (*offer)(int index, int rate, int channels, WAVEFORMATEX* out);
  // Reason text when wfx (tag already matched, size bytes) is not a usable format, else null.
  const char* (*check)(const WAVEFORMATEX* wfx, int size);
  int (*frames_per_block)(const WAVEFORMATEX* wfx);
  // Frames carried by a short block of `bytes` (< nBlockAlign) bytes; 0 when none.
  int (*frames_in_short_block)(const WAVEFORMATEX* wfx, int bytes);
  // Bytes of the short block carrying `frames` (1 ... frames_per_block - 1) frames.
  int (*short_block_bytes)(const WAVEFORMATEX* wfx, int frames);
  // Encodes `frames` (1 ... frames_per_block) interleaved 16-bit frames into one block or
  // short block at out; returns the bytes written.
  int (*encode)(const WAVEFORMATEX* wfx, CodecState* state, const int16_t* pcm, int frames,
                uint8_t* out);
  // Decodes one block (bytes == nBlockAlign) or short block into pcm; returns frames.
  int (*decode)(const WAVEFORMATEX* wfx, const uint8_t* in, int bytes, int16_t* pcm);
};

// A format offered by a driver, with the driver that offers it.
struct CodecFormat {
  const CodecDriver* driver = nullptr;
  std::vector<uint8_t> bytes;  // the record, WaveFormatSize bytes
  const WAVEFORMATEX* wfx() const { return reinterpret_cast<const WAVEFORMATEX*>(bytes.data()); }
};

// Rates a codec converts at (frames per second), and the rates listed when no PCM side is given.
constexpr int kCodecMinRate = 1000;
constexpr int kCodecMaxRate = 192000;
constexpr int kCodecMaxChannels = 2;

int CodecDriverCount();
const CodecDriver* CodecDriverAt(int i);
const CodecDriver* CodecFindDriver(uint16_t tag);
// By short name ("pcm", "a-law", "u-law", "ima-adpcm"), case-insensitive; null when unknown.
const CodecDriver* CodecFindDriverByName(const std::string& name);

// The largest format record any driver uses: every format buffer is allocated this large.
int CodecMaxFormatSize();

// Formats of `tag` (0: every tag) that a conversion from or to the 16-bit PCM format `pcm`
// can produce (same rate and channels); pcm null: every format offered at the standard rates.
std::vector<CodecFormat> CodecEnumFormats(uint16_t tag, const WAVEFORMATEX* pcm);

// Null when wfx (size bytes available) is a format the codec layer can convert, else why not.
const char* CodecCheckFormat(const WAVEFORMATEX* wfx, int size);

// 1 for the 16-bit PCM records every stream has on its PCM side.
int CodecIsPcm16(const WAVEFORMATEX* wfx);
// Fills the 18-byte 16-bit PCM record for rate and channels.
void CodecMakePcm16(int rate, int channels, WAVEFORMATEX* out);

// Frames carried by `bytes` of data in format wfx (checked), counting a short last block.
long long CodecFramesInBytes(const WAVEFORMATEX* wfx, long long bytes);

// "11.025 kHz, 4 Bit, Mono" for listing formats.
std::string CodecFormatDescription(const WAVEFORMATEX* wfx);
