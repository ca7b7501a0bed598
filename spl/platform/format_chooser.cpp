#include "spl/platform/format_chooser.h"

#include <cstdlib>
#include <cstring>

#include "spl/platform/codec.h"

namespace {
constexpr int kDefaultRate = 11025;
constexpr int kDefaultChannels = 1;

// Parses a whole decimal number; 0 when the text is not one.
int ParseNumber(const std::string& s, long& out) {
  if (s.empty()) return 0;
  char* end = nullptr;
  out = strtol(s.c_str(), &end, 10);
  return *end == '\0';
}
}  // namespace

int ParseWaveFormatChoice(const std::string& text, const WAVEFORMATEX* initial, WAVEFORMATEX* wfx,
                          int size) {
  const size_t c1 = text.find(':');
  const size_t c2 = c1 == std::string::npos ? std::string::npos : text.find(':', c1 + 1);
  const CodecDriver* d = CodecFindDriverByName(text.substr(0, c1));
  if (!d || !wfx || size < d->format_size) return 0;
  long rate = kDefaultRate, channels = kDefaultChannels;
  if (initial && initial->wFormatTag != 0) {
    rate = initial->nSamplesPerSec;
    channels = initial->nChannels;
  }
  if (c1 != std::string::npos && !ParseNumber(text.substr(c1 + 1, c2 - c1 - 1), rate)) return 0;
  if (c2 != std::string::npos && !ParseNumber(text.substr(c2 + 1), channels)) return 0;
  if (rate < kCodecMinRate || rate > kCodecMaxRate || channels < 1 || channels > kCodecMaxChannels)
    return 0;
  WAVEFORMATEX pcm;
  CodecMakePcm16(int(rate), int(channels), &pcm);
  const std::vector<CodecFormat> formats = CodecEnumFormats(d->tag, &pcm);
  const CodecFormat* best = nullptr;
  for (const CodecFormat& f : formats)
    if (!best || f.wfx()->nAvgBytesPerSec > best->wfx()->nAvgBytesPerSec) best = &f;
  if (!best) return 0;
  memset(wfx, 0, size_t(size));
  memcpy(wfx, best->bytes.data(), best->bytes.size());
  return 1;
}

int ChooseWaveFormat(HWND owner, WAVEFORMATEX* wfx, int size) {
  const char* choice = getenv(kWaveFormatChoiceVariable);
  if (!choice || !*choice) return 0;
  // Parse into a copy, so that a bad choice leaves the caller's record as it was.
  std::vector<uint8_t> chosen(size_t(size > 0 ? size : 0));
  if (!ParseWaveFormatChoice(choice, wfx, reinterpret_cast<WAVEFORMATEX*>(chosen.data()), size))
    return 0;
  memcpy(wfx, chosen.data(), chosen.size());
  return 1;
}
