// Uniform random numbers in [low, high): a subtract-with-borrow generator over three lags,
// combined with a linear congruential word.
#pragma once
#include <cstdint>

struct NSPRandUniState {
  float offset = 0;     // low + (high - low) / 2
  float scale = 0;      // (high - low) * 2^-32
  uint32_t lcg = 0;     // congruential word
  uint32_t borrow = 0;  // 0 or 1
  uint32_t lag1 = 0;    // newest lag word
  uint32_t lag2 = 0;
  uint32_t lag3 = 0;    // oldest lag word
  uint32_t seed = 0;
};

void nspsRandUniInit(float seed, float low, float high, NSPRandUniState* state);
float nspsRandUni(NSPRandUniState* state);
void nspsbRandUni(NSPRandUniState* state, float* dst, int n);
