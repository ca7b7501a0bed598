// The PCM driver: 16-bit PCM passes unchanged (the identity conversion), 8-bit unsigned PCM
// is widened and narrowed.
#include <algorithm>
#include <cstring>

#include "spl/platform/codec_drivers.h"

namespace {
constexpr int kPcmBits[] = {16, 8};  // offered in this order: the better one first

int PcmOffer(int index, int rate, int channels, WAVEFORMATEX* out) {
  if (index < 0 || index >= int(sizeof(kPcmBits) / sizeof(kPcmBits[0]))) return 0;
  const int bits = kPcmBits[index];
  out->wFormatTag = WAVE_FORMAT_PCM;
  out->nChannels = uint16_t(channels);
  out->nSamplesPerSec = uint32_t(rate);
  out->nBlockAlign = uint16_t(channels * bits / 8);
  out->nAvgBytesPerSec = uint32_t(rate) * out->nBlockAlign;
  out->wBitsPerSample = uint16_t(bits);
  out->cbSize = 0;
  return 1;
}

const char* PcmCheck(const WAVEFORMATEX* wfx, int size) {
  if (const char* why = CodecCheckChannelsAndRate(wfx)) return why;
  if (wfx->wBitsPerSample != 8 && wfx->wBitsPerSample != 16) return "PCM of this sample size is not supported (8 or 16 bits)";
  if (wfx->nBlockAlign != wfx->nChannels * wfx->wBitsPerSample / 8) return "PCM block align does not match channels and bits";
  return nullptr;
}

int PcmFramesPerBlock(const WAVEFORMATEX*) { return 1; }
int PcmShortFrames(const WAVEFORMATEX*, int) { return 0; }
int PcmShortBytes(const WAVEFORMATEX* wfx, int frames) { return frames * wfx->nBlockAlign; }

// One block is one frame, so any number of frames is handled at once.
int PcmEncode(const WAVEFORMATEX* wfx, CodecState*, const int16_t* pcm, int frames, uint8_t* out) {
  const int samples = frames * wfx->nChannels;
  if (wfx->wBitsPerSample == 16) {
    memcpy(out, pcm, size_t(samples) * 2);
    return samples * 2;
  }
  for (int i = 0; i < samples; ++i)  // rounded to the nearest 8-bit step
    out[i] = uint8_t(std::min(255, (int(pcm[i]) + 32768 + 128) >> 8));
  return samples;
}

int PcmDecode(const WAVEFORMATEX* wfx, const uint8_t* in, int bytes, int16_t* pcm) {
  const int frames = bytes / wfx->nBlockAlign;
  const int samples = frames * wfx->nChannels;
  if (wfx->wBitsPerSample == 16) {
    memcpy(pcm, in, size_t(samples) * 2);
  } else {
    for (int i = 0; i < samples; ++i) pcm[i] = int16_t((int(in[i]) - 128) * 256);
  }
  return frames;
}
}  // namespace

const CodecDriver kPcmCodecDriver = {
    WAVE_FORMAT_PCM, "PCM", "pcm", "PCM conversion (identity for 16 bits, 8-bit unsigned)",
    1, kWaveFormatBaseBytes, PcmOffer, PcmCheck, PcmFramesPerBlock, PcmShortFrames,
    PcmShortBytes, PcmEncode, PcmDecode};
