// The equalizer curve file (".equ"): a 24-byte little-endian header (sample rate, block size,
// gain count, zoom start, zoom width, smoothing) followed by the gains as 32-bit floats.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct EqualizerCurve {
  uint32_t sampleRate = 0;  // Hz at which the curve was made
  uint32_t blockSize = 0;   // N at which it was made
  uint32_t count = 0;       // gains in the file
  int32_t zoomStart = 0;    // Hz
  int32_t zoomWidth = 0;    // Hz
  int32_t smoothing = 0;    // the "Filter" value
  std::vector<float> gains;  // N gains, 0.0 ... 1.0
};

constexpr int kEqualizerHeaderBytes = 24;
constexpr int kEqualizerDefaultSmoothing = 1000;

// The curve in force when no file exists: flat 1.0, smoothing 1000, zoom 0 ... rate / 2.
EqualizerCurve DefaultEqualizerCurve(int sampleRate, int N);

// Reads path for the current set-up (rate, N): the header over the default record, then N
// gains whatever the file's count (gains the file does not hold stay 1.0). On any failure
// (missing, shorter than the header, a gain that is not a number or is negative) curve is the
// default, error says why, and 0 is returned. Nothing past the file's end is read.
int LoadEqualizerCurve(const std::string& path, int sampleRate, int N, EqualizerCurve& curve,
                       std::string* error = nullptr);
// Writes the header (count = gains.size()) and the gains. 1 or 0.
int SaveEqualizerCurve(const std::string& path, const EqualizerCurve& curve);
