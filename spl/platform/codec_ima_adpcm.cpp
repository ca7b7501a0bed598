#include "spl/platform/codec_ima_adpcm.h"

#include <algorithm>
#include <cstring>

#include "spl/platform/codec_drivers.h"

namespace {
constexpr int kStepCount = 89;
constexpr int16_t kStepTable[kStepCount] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
// Step index change per code magnitude (the sign bit does not matter).
constexpr int kIndexChange[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

constexpr int kHeaderBytes = 4;        // per channel: sample (16 bits), step index, reserved
constexpr int kGroupBytes = 4;         // per channel and group: 8 codes
constexpr int kCodesPerGroup = 8;
constexpr int kBaseBlockBytes = 256;   // per channel at kBaseRate
constexpr int kBaseRate = 11025;
constexpr int kExtraBytes = 2;         // samples per block, after the base record
constexpr int kMaxBlockAlign = 32768;  // keeps every buffer derived from a block small

struct Channel {
  int predictor;
  int index;
};

int Clamp16(int v) { return std::clamp(v, -32768, 32767); }

// The reconstruction both sides share, so the encoder tracks the decoder exactly.
void Apply(Channel& c, int code) {
  const int step = kStepTable[c.index];
  int diff = step >> 3;
  if (code & 4) diff += step;
  if (code & 2) diff += step >> 1;
  if (code & 1) diff += step >> 2;
  c.predictor = Clamp16((code & 8) ? c.predictor - diff : c.predictor + diff);
  c.index = std::clamp(c.index + kIndexChange[code & 7], 0, kStepCount - 1);
}

int EncodeSample(Channel& c, int sample) {
  int diff = sample - c.predictor;
  int code = 0;
  if (diff < 0) {
    code = 8;
    diff = -diff;
  }
  int step = kStepTable[c.index];
  for (int bit = 4; bit; bit >>= 1, step >>= 1) {
    if (diff >= step) {
      code |= bit;
      diff -= step;
    }
  }
  Apply(c, code);
  return code;
}

uint16_t SamplesPerBlockField(const WAVEFORMATEX* wfx) {
  uint16_t v;
  memcpy(&v, reinterpret_cast<const uint8_t*>(wfx) + kWaveFormatBaseBytes, sizeof v);
  return v;
}

int ImaOffer(int index, int rate, int channels, WAVEFORMATEX* out) {
  if (index != 0) return 0;
  const int align = ImaAdpcmBlockAlign(rate, channels);
  const int frames = ImaAdpcmFramesPerBlock(align, channels);
  out->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
  out->nChannels = uint16_t(channels);
  out->nSamplesPerSec = uint32_t(rate);
  out->nBlockAlign = uint16_t(align);
  // Bytes per second rounded to the nearest, as the customary writers do.
  out->nAvgBytesPerSec = uint32_t((int64_t(rate) * align + frames / 2) / frames);
  out->wBitsPerSample = 4;
  out->cbSize = kExtraBytes;
  const uint16_t spb = uint16_t(frames);
  memcpy(reinterpret_cast<uint8_t*>(out) + kWaveFormatBaseBytes, &spb, sizeof spb);
  return 1;
}

const char* ImaCheck(const WAVEFORMATEX* wfx, int size) {
  if (const char* why = CodecCheckChannelsAndRate(wfx)) return why;
  if (wfx->wBitsPerSample != 4) return "IMA ADPCM needs 4 bits per sample";
  if (wfx->cbSize < kExtraBytes || size < kWaveFormatBaseBytes + kExtraBytes)
    return "IMA ADPCM format lacks the samples-per-block field";
  const int ch = wfx->nChannels;
  const int align = wfx->nBlockAlign;
  if (align <= kHeaderBytes * ch || align > kMaxBlockAlign ||
      (align - kHeaderBytes * ch) % (kGroupBytes * ch) != 0)
    return "IMA ADPCM block align is not a whole number of sample groups";
  if (SamplesPerBlockField(wfx) != ImaAdpcmFramesPerBlock(align, ch))
    return "IMA ADPCM samples per block do not match the block align";
  return nullptr;
}

int ImaFramesPerBlock(const WAVEFORMATEX* wfx) {
  return ImaAdpcmFramesPerBlock(wfx->nBlockAlign, wfx->nChannels);
}

// A short block holds the headers and whole groups; what is left over is ignored.
int ImaShortFrames(const WAVEFORMATEX* wfx, int bytes) {
  const int ch = wfx->nChannels;
  if (bytes < kHeaderBytes * ch) return 0;
  return 1 + (bytes - kHeaderBytes * ch) / (kGroupBytes * ch) * kCodesPerGroup;
}

int ImaShortBytes(const WAVEFORMATEX* wfx, int frames) {
  const int ch = wfx->nChannels;
  const int groups = (frames - 1 + kCodesPerGroup - 1) / kCodesPerGroup;
  return kHeaderBytes * ch + groups * kGroupBytes * ch;
}

int ImaEncode(const WAVEFORMATEX* wfx, CodecState* state, const int16_t* pcm, int frames,
              uint8_t* out) {
  const int ch = wfx->nChannels;
  const int full = ImaFramesPerBlock(wfx);
  const int bytes = frames >= full ? wfx->nBlockAlign : ImaShortBytes(wfx, frames);
  const int coded = (bytes - kHeaderBytes * ch) / (kGroupBytes * ch) * kCodesPerGroup;
  for (int c = 0; c < ch; ++c) {
    // The first sample travels whole in the header; the step index carries on from the
    // previous block, so the encoder does not restart its adaptation.
    Channel chan{pcm[c], std::clamp(state->index[c], 0, kStepCount - 1)};
    uint8_t* head = out + kHeaderBytes * c;
    const int16_t first = pcm[c];
    memcpy(head, &first, sizeof first);
    head[2] = uint8_t(chan.index);
    head[3] = 0;
    for (int g = 0; g < coded / kCodesPerGroup; ++g) {
      uint8_t* group = out + kHeaderBytes * ch + (g * ch + c) * kGroupBytes;
      for (int k = 0; k < kCodesPerGroup; ++k) {
        // Past the last frame of a short block the last sample is repeated, not silence.
        const int frame = std::min(1 + g * kCodesPerGroup + k, frames - 1);
        const int code = EncodeSample(chan, pcm[frame * ch + c]);
        if (k & 1)
          group[k / 2] |= uint8_t(code << 4);
        else
          group[k / 2] = uint8_t(code);
      }
    }
    state->index[c] = chan.index;
  }
  return bytes;
}

int ImaDecode(const WAVEFORMATEX* wfx, const uint8_t* in, int bytes, int16_t* pcm) {
  const int ch = wfx->nChannels;
  const int frames = bytes >= wfx->nBlockAlign ? ImaFramesPerBlock(wfx) : ImaShortFrames(wfx, bytes);
  if (frames == 0) return 0;
  const int groups = (frames - 1) / kCodesPerGroup;
  for (int c = 0; c < ch; ++c) {
    const uint8_t* head = in + kHeaderBytes * c;
    int16_t first;
    memcpy(&first, head, sizeof first);
    // A damaged header may carry any index: clamp it rather than read past the table.
    Channel chan{first, std::min(int(head[2]), kStepCount - 1)};
    pcm[c] = first;
    for (int g = 0; g < groups; ++g) {
      const uint8_t* group = in + kHeaderBytes * ch + (g * ch + c) * kGroupBytes;
      for (int k = 0; k < kCodesPerGroup; ++k) {
        const int code = (k & 1) ? group[k / 2] >> 4 : group[k / 2] & 0x0F;
        Apply(chan, code);
        pcm[(1 + g * kCodesPerGroup + k) * ch + c] = int16_t(chan.predictor);
      }
    }
  }
  return frames;
}
}  // namespace

int ImaAdpcmBlockAlign(int rate, int channels) {
  return kBaseBlockBytes * channels * std::max(1, rate / kBaseRate);
}

int ImaAdpcmFramesPerBlock(int blockAlign, int channels) {
  return (blockAlign - kHeaderBytes * channels) / (kGroupBytes * channels) * kCodesPerGroup + 1;
}

const CodecDriver kImaAdpcmCodecDriver = {
    WAVE_FORMAT_IMA_ADPCM, "IMA ADPCM", "ima-adpcm", "IMA ADPCM codec (4 bits per sample)", 1,
    kWaveFormatBaseBytes + kExtraBytes, ImaOffer, ImaCheck, ImaFramesPerBlock, ImaShortFrames,
    ImaShortBytes, ImaEncode, ImaDecode};
