#include "spl/primitives/nsprand.h"

#include <cmath>

#include "spl/primitives/nspcheck.h"

namespace {

constexpr uint32_t kLcgStart = 1131199209u;  // 0x436CBAE9
constexpr uint32_t kLcgMul = 69069u;
constexpr uint32_t kLcgAdd = 1013904243u;
constexpr uint32_t kSeedMul = 214013u;  // 15-bit generator that fills the older lags
constexpr uint32_t kSeedAdd = 2531011u;
constexpr uint32_t kSwbCorrection = 18u;
constexpr int kDiscarded = 5;
constexpr double kTwoPowMinus32 = 1.0 / 4294967296.0;
constexpr float kTwoPow31 = 2147483648.0f;

uint32_t Next15(uint32_t& s) {
  s = s * kSeedMul + kSeedAdd;
  return (s >> 16) & 0x7FFFu;
}

}  // namespace

void nspsRandUniInit(float seed, float low, float high, NSPRandUniState* state) {
  NSP_CHECK(state == nullptr, "nspsRandUniInit", "Null pointer to state structure");
  state->offset = low + 0.5f * (high - low);
  state->scale = static_cast<float>((high - low) * kTwoPowMinus32);
  state->borrow = 0;
  // Truncation towards zero, taken modulo 2^32 (seeds outside the int range wrap).
  const double truncated = std::trunc(static_cast<double>(seed));
  const uint32_t word = std::isfinite(truncated)
                            ? static_cast<uint32_t>(static_cast<int64_t>(std::fmod(truncated, 4294967296.0)))
                            : 0u;
  state->seed = word;
  state->lag1 = word;
  uint32_t s = word;
  state->lag2 = Next15(s);
  state->lag3 = Next15(s);
  state->lcg = kLcgStart;
  for (int i = 0; i < kDiscarded; ++i) nspsRandUni(state);
}

float nspsRandUni(NSPRandUniState* state) {
  NSP_CHECK(state == nullptr, "nspsRandUni", "Null pointer to state structure", 0.0f);
  uint32_t d = state->lag2 - (state->borrow + state->lag3);
  if (static_cast<int32_t>(d) < 1) {
    d -= kSwbCorrection;
    state->borrow = 1;
  } else {
    state->borrow = 0;
  }
  state->lag3 = state->lag2;
  state->lag2 = state->lag1;
  state->lag1 = d;
  state->lcg = state->lcg * kLcgMul + kLcgAdd;
  const int32_t mixed = static_cast<int32_t>(state->lcg + d);
  float r = static_cast<float>(mixed) * state->scale + state->offset;
  // Rounding to float can land the largest draws on the upper bound; keep [low, high).
  const float high = state->offset + state->scale * kTwoPow31;
  if (state->scale > 0.0f && r >= high) r = std::nextafter(high, state->offset);
  return r;
}

void nspsbRandUni(NSPRandUniState* state, float* dst, int n) {
  NSP_CHECK(state == nullptr, "nspsbRandUni", "Null pointer to state structure");
  NSP_CHECK_N(n, "nspsbRandUni");
  NSP_CHECK_PTR(dst, "nspsbRandUni");
  for (int i = 0; i < n; ++i) dst[i] = nspsRandUni(state);
}
