#include "spl/platform/codec_g711.h"

#include <algorithm>
#include <bit>

#include "spl/platform/codec_drivers.h"

namespace {
// A-law: 13-bit magnitudes in 8 segments of 16 steps; even bits inverted on the line.
constexpr uint8_t kALawInvert = 0x55;
constexpr uint8_t kSignBit = 0x80;
// mu-law: magnitudes are biased so that the segments start at powers of two.
constexpr int kMuLawBias = 0x84;
constexpr int kMuLawClip = 32635;
}  // namespace

uint8_t LinearToALaw(int16_t sample) {
  // Non-negative samples carry the sign bit; -1 ... -32768 map onto magnitudes 0 ... 32767.
  const int sign = sample >= 0 ? kSignBit : 0;
  const int magnitude = (sample >= 0 ? int(sample) : -int(sample) - 1) >> 3;  // 0 ... 4095
  const int segment = magnitude < 32 ? 0 : std::bit_width(unsigned(magnitude)) - 5;
  const int mantissa = (magnitude >> std::max(segment, 1)) & 0x0F;
  return uint8_t((sign | (segment << 4) | mantissa) ^ kALawInvert);
}

int16_t ALawToLinear(uint8_t code) {
  const int v = code ^ kALawInvert;
  const int segment = (v >> 4) & 7;
  int magnitude = ((v & 0x0F) << 4) + 8;  // the middle of the step
  if (segment > 0) magnitude = (magnitude + 0x100) << (segment - 1);
  return int16_t((v & kSignBit) ? magnitude : -magnitude);
}

uint8_t LinearToMuLaw(int16_t sample) {
  const int sign = sample < 0 ? kSignBit : 0;
  int magnitude = sample < 0 ? -int(sample) : int(sample);
  magnitude = std::min(magnitude, kMuLawClip) + kMuLawBias;  // 132 ... 32767
  const int segment = std::bit_width(unsigned(magnitude)) - 8;
  const int mantissa = (magnitude >> (segment + 3)) & 0x0F;
  return uint8_t(~(sign | (segment << 4) | mantissa));
}

int16_t MuLawToLinear(uint8_t code) {
  const int v = uint8_t(~code);
  const int magnitude = ((((v & 0x0F) << 3) + kMuLawBias) << ((v >> 4) & 7)) - kMuLawBias;
  return int16_t((v & kSignBit) ? -magnitude : magnitude);
}

namespace {
template <uint16_t kTag>
int G711Offer(int index, int rate, int channels, WAVEFORMATEX* out) {
  if (index != 0) return 0;
  out->wFormatTag = kTag;
  out->nChannels = uint16_t(channels);
  out->nSamplesPerSec = uint32_t(rate);
  out->nBlockAlign = uint16_t(channels);
  out->nAvgBytesPerSec = uint32_t(rate) * uint32_t(channels);
  out->wBitsPerSample = 8;
  out->cbSize = 0;
  return 1;
}

const char* G711Check(const WAVEFORMATEX* wfx, int size) {
  if (const char* why = CodecCheckChannelsAndRate(wfx)) return why;
  if (wfx->wBitsPerSample != 8) return "G.711 needs 8 bits per sample";
  if (wfx->nBlockAlign != wfx->nChannels) return "G.711 block align must equal the channel count";
  return nullptr;
}

int G711FramesPerBlock(const WAVEFORMATEX*) { return 1; }
int G711ShortFrames(const WAVEFORMATEX*, int) { return 0; }
int G711ShortBytes(const WAVEFORMATEX* wfx, int frames) { return frames * wfx->nChannels; }

// One block is one frame, so any number of frames is handled at once.
template <uint8_t (*kEncode)(int16_t)>
int G711Encode(const WAVEFORMATEX* wfx, CodecState*, const int16_t* pcm, int frames, uint8_t* out) {
  const int samples = frames * wfx->nChannels;
  for (int i = 0; i < samples; ++i) out[i] = kEncode(pcm[i]);
  return samples;
}

template <int16_t (*kDecode)(uint8_t)>
int G711Decode(const WAVEFORMATEX* wfx, const uint8_t* in, int bytes, int16_t* pcm) {
  const int frames = bytes / wfx->nChannels;
  for (int i = 0; i < frames * wfx->nChannels; ++i) pcm[i] = kDecode(in[i]);
  return frames;
}
}  // namespace

const CodecDriver kALawCodecDriver = {
    WAVE_FORMAT_ALAW, "A-Law", "a-law", "G.711 A-law companding codec", 1,
    kWaveFormatBaseBytes, G711Offer<WAVE_FORMAT_ALAW>, G711Check, G711FramesPerBlock,
    G711ShortFrames, G711ShortBytes, G711Encode<LinearToALaw>, G711Decode<ALawToLinear>};

const CodecDriver kMuLawCodecDriver = {
    WAVE_FORMAT_MULAW, "mu-Law", "u-law", "G.711 mu-law companding codec", 1,
    kWaveFormatBaseBytes, G711Offer<WAVE_FORMAT_MULAW>, G711Check, G711FramesPerBlock,
    G711ShortFrames, G711ShortBytes, G711Encode<LinearToMuLaw>, G711Decode<MuLawToLinear>};
