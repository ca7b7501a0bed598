#include "spl/dsp/equalizer_curve.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

int Refuse(EqualizerCurve& curve, const EqualizerCurve& fallback, std::string* error,
           const std::string& why) {
  curve = fallback;
  if (error) *error = why;
  return 0;
}

}  // namespace

EqualizerCurve DefaultEqualizerCurve(int sampleRate, int N) {
  EqualizerCurve c;
  c.sampleRate = uint32_t(sampleRate);
  c.blockSize = uint32_t(N);
  c.count = uint32_t(N);
  c.zoomStart = 0;
  c.zoomWidth = sampleRate / 2;
  c.smoothing = kEqualizerDefaultSmoothing;
  c.gains.assign(size_t(N > 0 ? N : 0), 1.0f);
  return c;
}

int LoadEqualizerCurve(const std::string& path, int sampleRate, int N, EqualizerCurve& curve,
                       std::string* error) {
  const EqualizerCurve fallback = DefaultEqualizerCurve(sampleRate, N);
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return Refuse(curve, fallback, error, std::string("cannot open: ") + strerror(errno));
  uint8_t head[kEqualizerHeaderBytes];
  if (fread(head, 1, sizeof head, f) != sizeof head) {
    fclose(f);
    return Refuse(curve, fallback, error, "truncated: shorter than the 24-byte header");
  }
  EqualizerCurve c = fallback;
  c.sampleRate = GetU32(head);
  c.blockSize = GetU32(head + 4);
  c.count = GetU32(head + 8);
  c.zoomStart = int32_t(GetU32(head + 12));
  c.zoomWidth = int32_t(GetU32(head + 16));
  c.smoothing = int32_t(GetU32(head + 20));
  // N gains are read, however many the file claims; what it lacks stays 1.0.
  std::vector<uint8_t> raw(c.gains.size() * 4);
  const size_t got = fread(raw.data(), 4, c.gains.size(), f);
  fclose(f);
  for (size_t i = 0; i < got; ++i) {
    float g;
    memcpy(&g, &raw[4 * i], 4);  // the file is little-endian, as this machine
    if (!std::isfinite(g) || g < 0.0f)
      return Refuse(curve, fallback, error, "gain " + std::to_string(i) + " is not a gain");
    c.gains[i] = g;
  }
  curve = c;
  return 1;
}

int SaveEqualizerCurve(const std::string& path, const EqualizerCurve& curve) {
  std::vector<uint8_t> bytes(kEqualizerHeaderBytes + 4 * curve.gains.size());
  PutU32(&bytes[0], curve.sampleRate);
  PutU32(&bytes[4], curve.blockSize);
  PutU32(&bytes[8], uint32_t(curve.gains.size()));
  PutU32(&bytes[12], uint32_t(curve.zoomStart));
  PutU32(&bytes[16], uint32_t(curve.zoomWidth));
  PutU32(&bytes[20], uint32_t(curve.smoothing));
  if (!curve.gains.empty()) memcpy(&bytes[kEqualizerHeaderBytes], curve.gains.data(), 4 * curve.gains.size());
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return (fclose(f) == 0 && ok) ? 1 : 0;
}
