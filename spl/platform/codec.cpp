#include "spl/platform/codec.h"

#include <algorithm>
#include <cstdio>
#include <strings.h>

#include "spl/platform/codec_drivers.h"

namespace {
// The installed drivers. A new codec adds its file pair and one row here.
const CodecDriver* const kDrivers[] = {&kPcmCodecDriver, &kALawCodecDriver, &kMuLawCodecDriver,
                                       &kImaAdpcmCodecDriver};
constexpr int kDriverCount = int(sizeof(kDrivers) / sizeof(kDrivers[0]));

// Rates and channel counts listed when no PCM side restricts them.
constexpr int kStandardRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};

void Offer(const CodecDriver* d, int rate, int channels, std::vector<CodecFormat>& out) {
  for (int index = 0;; ++index) {
    CodecFormat f;
    f.driver = d;
    f.bytes.assign(size_t(d->format_size), 0);
    if (!d->offer(index, rate, channels, reinterpret_cast<WAVEFORMATEX*>(f.bytes.data()))) break;
    out.push_back(std::move(f));
  }
}
}  // namespace

const char* CodecCheckChannelsAndRate(const WAVEFORMATEX* wfx) {
  if (wfx->nChannels == 0) return "the format has no channels";
  if (wfx->nChannels > kCodecMaxChannels) return "more than 2 channels are not supported";
  if (wfx->nSamplesPerSec < uint32_t(kCodecMinRate) || wfx->nSamplesPerSec > uint32_t(kCodecMaxRate))
    return "sample rate out of range (1000 ... 192000 Hz)";
  if (wfx->nBlockAlign == 0) return "the format has block align 0";
  return nullptr;
}

int CodecDriverCount() { return kDriverCount; }

const CodecDriver* CodecDriverAt(int i) { return i >= 0 && i < kDriverCount ? kDrivers[i] : nullptr; }

const CodecDriver* CodecFindDriver(uint16_t tag) {
  for (const CodecDriver* d : kDrivers)
    if (d->tag == tag) return d;
  return nullptr;
}

const CodecDriver* CodecFindDriverByName(const std::string& name) {
  for (const CodecDriver* d : kDrivers)
    if (!strcasecmp(d->short_name, name.c_str())) return d;
  if (!strcasecmp(name.c_str(), "mu-law")) return &kMuLawCodecDriver;
  return nullptr;
}

int CodecMaxFormatSize() {
  int size = kWaveFormatBaseBytes;
  for (const CodecDriver* d : kDrivers) size = std::max(size, d->format_size);
  return size;
}

std::vector<CodecFormat> CodecEnumFormats(uint16_t tag, const WAVEFORMATEX* pcm) {
  std::vector<CodecFormat> out;
  for (const CodecDriver* d : kDrivers) {
    if (tag != 0 && d->tag != tag) continue;
    if (pcm) {
      // No driver resamples or remixes: the codec side keeps the PCM side's rate and channels.
      if (!CodecIsPcm16(pcm) || !d->is_codec) continue;
      Offer(d, int(pcm->nSamplesPerSec), pcm->nChannels, out);
    } else {
      for (int channels = 1; channels <= kCodecMaxChannels; ++channels)
        for (int rate : kStandardRates) Offer(d, rate, channels, out);
    }
  }
  return out;
}

const char* CodecCheckFormat(const WAVEFORMATEX* wfx, int size) {
  if (size < kWaveFormatBaseBytes) return "format record too small";
  const CodecDriver* d = CodecFindDriver(wfx->wFormatTag);
  if (!d) return "unknown format tag";
  if (WaveFormatSize(wfx) > size) return "format extra size runs past the record";
  return d->check(wfx, size);
}

int CodecIsPcm16(const WAVEFORMATEX* wfx) {
  return wfx->wFormatTag == WAVE_FORMAT_PCM && wfx->wBitsPerSample == 16 &&
         !CodecCheckChannelsAndRate(wfx) && wfx->nBlockAlign == 2 * wfx->nChannels;
}

void CodecMakePcm16(int rate, int channels, WAVEFORMATEX* out) {
  out->wFormatTag = WAVE_FORMAT_PCM;
  out->nChannels = uint16_t(channels);
  out->nSamplesPerSec = uint32_t(rate);
  out->nBlockAlign = uint16_t(2 * channels);
  out->nAvgBytesPerSec = uint32_t(rate) * out->nBlockAlign;
  out->wBitsPerSample = 16;
  out->cbSize = 0;
}

long long CodecFramesInBytes(const WAVEFORMATEX* wfx, long long bytes) {
  const CodecDriver* d = CodecFindDriver(wfx->wFormatTag);
  if (!d || bytes <= 0 || wfx->nBlockAlign == 0) return 0;
  const long long blocks = bytes / wfx->nBlockAlign;
  const int rest = int(bytes % wfx->nBlockAlign);
  return blocks * d->frames_per_block(wfx) + (rest ? d->frames_in_short_block(wfx, rest) : 0);
}

std::string CodecFormatDescription(const WAVEFORMATEX* wfx) {
  char text[96];
  snprintf(text, sizeof text, "%.3f kHz, %d Bit, %s", wfx->nSamplesPerSec / 1000.0,
           int(wfx->wBitsPerSample), wfx->nChannels == 1 ? "Mono" : wfx->nChannels == 2 ? "Stereo" : "Multichannel");
  return text;
}
