// The wave format record that describes PCM and codec audio in WAVE files and codec streams:
// the packed little-endian "fmt " chunk layout, with the codec's extra bytes after it.
#pragma once
#include <cstdint>

#pragma pack(push, 1)
struct WAVEFORMATEX {
  uint16_t wFormatTag;       // 1 = PCM, otherwise a codec's tag
  uint16_t nChannels;        // 1 or 2
  uint32_t nSamplesPerSec;   // frames per second
  uint32_t nAvgBytesPerSec;  // data rate of the stream
  uint16_t nBlockAlign;      // bytes of the smallest unit the stream can be cut at
  uint16_t wBitsPerSample;   // bits per sample (4 for IMA ADPCM, 8 for G.711)
  uint16_t cbSize;           // extra bytes that follow this record
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is the 18-byte packed record");

// Bytes of the record without its extra bytes, and of the shortest "fmt " chunk (no cbSize).
constexpr int kWaveFormatBaseBytes = 18;
constexpr int kWaveFormatMinChunk = 16;

// Format tags of the codecs this system carries.
constexpr uint16_t WAVE_FORMAT_PCM = 0x0001;
constexpr uint16_t WAVE_FORMAT_ALAW = 0x0006;
constexpr uint16_t WAVE_FORMAT_MULAW = 0x0007;
constexpr uint16_t WAVE_FORMAT_IMA_ADPCM = 0x0011;

// Whole size of a record: the base plus its extra bytes.
inline int WaveFormatSize(const WAVEFORMATEX* wfx) { return kWaveFormatBaseBytes + wfx->cbSize; }
