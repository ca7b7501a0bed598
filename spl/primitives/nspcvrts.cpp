#include "spl/primitives/nspcvrts.h"

#include <cmath>
#include <cstdint>

#include "spl/primitives/nspcheck.h"

namespace {

constexpr int kRoundModes = NSP_ROUND | NSP_TRUNC | NSP_FLOOR | NSP_CEIL;
constexpr int kFloatToIntFlags = kRoundModes | NSP_UNSIGNED | NSP_CLIP | NSP_OVERFLOW;

// Adding and removing 1.5 * 2^52 rounds a double of magnitude below 2^51 to the nearest
// integer, halves to even, in the default rounding mode, without a library call.
constexpr double kRoundMagic = 6755399441055744.0;

double RoundNearest(double x) {
  if (!(std::fabs(x) < 2251799813685248.0)) return x;  // huge, infinite or NaN: already whole
  volatile double shifted = x + kRoundMagic;  // volatile keeps the compiler from folding it
  return shifted - kRoundMagic;
}

double Rounded(double x, int mode) {
  switch (mode) {
    case NSP_ROUND: return RoundNearest(x);
    case NSP_TRUNC: return std::trunc(x);
    case NSP_FLOOR: return std::floor(x);
    default: return std::ceil(x);
  }
}

// Converts with the limits of T; out-of-range values (and NaN) are clipped or skipped.
template <typename T>
bool Convert(const float* src, T* dst, int n, int mode, bool clip, double lo, double hi) {
  bool overflow = false;
  for (int i = 0; i < n; ++i) {
    double r = Rounded(src[i], mode);
    if (r >= lo && r <= hi) {
      dst[i] = static_cast<T>(r);
      continue;
    }
    overflow = true;
    if (clip) dst[i] = static_cast<T>(r > hi ? hi : lo);
  }
  return overflow;
}

bool GoodBits(int bits) { return bits == 8 || bits == 16 || bits == 32; }

}  // namespace

void nspsbFloatToInt(const float* src, void* dst, int n, int bits, int flags) {
  const char* func = "nspsbFloatToInt";
  NSP_CHECK_N(n, func);
  NSP_CHECK_PTR(src, func);
  NSP_CHECK_PTR(dst, func);
  const int mode = flags & kRoundModes;
  NSP_CHECK((flags & ~kFloatToIntFlags) != 0 || (mode & (mode - 1)) != 0 || mode == 0, func,
            "Invalid conversion flag");
  NSP_CHECK(!GoodBits(bits), func, "Invalid size of an integer");
  const bool clip = (flags & NSP_CLIP) != 0;
  bool overflow = false;
  if (flags & NSP_UNSIGNED) {
    switch (bits) {
      case 8: overflow = Convert(src, static_cast<uint8_t*>(dst), n, mode, clip, 0, UINT8_MAX); break;
      case 16: overflow = Convert(src, static_cast<uint16_t*>(dst), n, mode, clip, 0, UINT16_MAX); break;
      default: overflow = Convert(src, static_cast<uint32_t*>(dst), n, mode, clip, 0, UINT32_MAX); break;
    }
  } else {
    switch (bits) {
      case 8: overflow = Convert(src, static_cast<int8_t*>(dst), n, mode, clip, INT8_MIN, INT8_MAX); break;
      case 16: overflow = Convert(src, static_cast<int16_t*>(dst), n, mode, clip, INT16_MIN, INT16_MAX); break;
      default: overflow = Convert(src, static_cast<int32_t*>(dst), n, mode, clip, INT32_MIN, INT32_MAX); break;
    }
  }
  if (overflow && (flags & NSP_OVERFLOW)) NSP_BAD_ARG(func, "A float exceeds an integer");
}

namespace {
template <typename T>
void Widen(const void* src, float* dst, int n) {
  const T* s = static_cast<const T*>(src);
  for (int i = 0; i < n; ++i) dst[i] = static_cast<float>(s[i]);
}
}  // namespace

void nspsbIntToFloat(const void* src, float* dst, int n, int bits, int flags) {
  const char* func = "nspsbIntToFloat";
  NSP_CHECK_N(n, func);
  NSP_CHECK_PTR(src, func);
  NSP_CHECK_PTR(dst, func);
  NSP_CHECK(flags != 0 && flags != NSP_UNSIGNED, func, "Invalid conversion flag");
  NSP_CHECK(!GoodBits(bits), func, "Invalid size of an integer");
  const bool isUnsigned = flags == NSP_UNSIGNED;
  switch (bits) {
    case 8: isUnsigned ? Widen<uint8_t>(src, dst, n) : Widen<int8_t>(src, dst, n); break;
    case 16: isUnsigned ? Widen<uint16_t>(src, dst, n) : Widen<int16_t>(src, dst, n); break;
    default: isUnsigned ? Widen<uint32_t>(src, dst, n) : Widen<int32_t>(src, dst, n); break;
  }
}
