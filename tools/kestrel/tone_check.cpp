#include "tools/kestrel/tone_check.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kStationRate = 11025.0;
constexpr int kToneMargin = 100;  // Hz kept clear of half the sample rate
}  // namespace

int ScaledToRate(int samples, int rate) {
  return std::max(1, int(std::lround(samples * (rate / kStationRate))));
}

int CheckTone(long tone, long minTone, int rate, std::string& why) {
  const long top = rate / 2 - kToneMargin;
  if (tone >= minTone && tone <= top) return 1;
  why = "--tone " + std::to_string(tone) + " Hz does not fit " + std::to_string(rate) +
        " Hz sampling (it must lie from " + std::to_string(minTone) + " to " +
        std::to_string(top) + " Hz)";
  return 0;
}
