// Complex transforms run decimation-in-frequency radix-4 stages on separate real and imaginary
// arrays (every butterfly loop is contiguous and vectorises), then one final pass that does the
// last 4- or 8-point butterflies and writes the results in natural order. The inverse is the
// forward transform with the real and imaginary arrays exchanged. The real transform is a
// complex transform of half the size plus a split; the CCS inverse runs the reverse.
#include "spl/primitives/nspffts.h"

#include <cstring>
#include <new>
#include <vector>

#include "spl/primitives/nspcheck.h"
#include "spl/primitives/nspsimd.h"
#include "spl/primitives/nsptwd.h"

#if defined(__clang__)
// Instrumented builds may refuse the hint; that is no fault of the code.
#pragma clang diagnostic ignored "-Wpass-failed"
#define NSP_NO_ALIAS _Pragma("clang loop vectorize(assume_safety)")
#elif defined(__GNUC__)
#define NSP_NO_ALIAS _Pragma("GCC ivdep")
#else
#define NSP_NO_ALIAS
#endif

namespace {

using nsp_fft::ComplexTables;
using nsp_fft::RealTables;

constexpr int kMaxOrder = 31;
constexpr int kDirections = NSP_FORWARD | NSP_INVERSE;
constexpr int kKnownFlags = kDirections | NSP_INIT | NSP_FREE | NSP_NO_SCALE;
constexpr float kSqrtHalf = 0.70710678118654752440f;

// Working memory of the transforms, per thread so that two threads never share it; it grows
// with the first transform of a larger order and is kept.
float* Scratch(size_t floats) {
  thread_local std::vector<float> scratch;
  if (scratch.size() < floats) {
    try {
      scratch.resize(floats);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  return scratch.data();
}

// One radix-4 DIF stage over groups of L = 4m points; (ir, ii) may equal (outR, outI).
NSP_VECTOR_CLONES void Radix4Stage(const float* ir, const float* ii, float* outR, float* outI, size_t n, size_t m,
                 const float* w) {
  const float* w1r = w;
  const float* w1i = w + m;
  const float* w2r = w + 2 * m;
  const float* w2i = w + 3 * m;
  const float* w3r = w + 4 * m;
  const float* w3i = w + 5 * m;
  for (size_t b = 0; b < n; b += 4 * m) {
    const float* xr = ir + b;
    const float* xi = ii + b;
    float* yr = outR + b;
    float* yi = outI + b;
    NSP_NO_ALIAS
    for (size_t j = 0; j < m; ++j) {
      const float a0r = xr[j], a0i = xi[j];
      const float a1r = xr[j + m], a1i = xi[j + m];
      const float a2r = xr[j + 2 * m], a2i = xi[j + 2 * m];
      const float a3r = xr[j + 3 * m], a3i = xi[j + 3 * m];
      const float t0r = a0r + a2r, t0i = a0i + a2i;
      const float t1r = a0r - a2r, t1i = a0i - a2i;
      const float t2r = a1r + a3r, t2i = a1i + a3i;
      const float t3r = a1r - a3r, t3i = a1i - a3i;
      // Frequencies 4k, 4k+2, 4k+1, 4k+3 go to the four quarters (radix-2 order).
      const float x0r = t0r + t2r, x0i = t0i + t2i;
      const float x2r = t0r - t2r, x2i = t0i - t2i;
      const float x1r = t1r + t3i, x1i = t1i - t3r;  // t1 - j t3
      const float x3r = t1r - t3i, x3i = t1i + t3r;  // t1 + j t3
      yr[j] = x0r;
      yi[j] = x0i;
      yr[j + m] = x2r * w2r[j] - x2i * w2i[j];
      yi[j + m] = x2r * w2i[j] + x2i * w2r[j];
      yr[j + 2 * m] = x1r * w1r[j] - x1i * w1i[j];
      yi[j + 2 * m] = x1r * w1i[j] + x1i * w1r[j];
      yr[j + 3 * m] = x3r * w3r[j] - x3i * w3i[j];
      yi[j + 3 * m] = x3r * w3i[j] + x3i * w3r[j];
    }
  }
}

// 4-point forward DFT in natural order, on floats or on vectors of them (one group per lane).
template <typename T>
inline void Dft4(T& a0r, T& a0i, T& a1r, T& a1i, T& a2r, T& a2i, T& a3r, T& a3i) {
  const T t0r = a0r + a2r, t0i = a0i + a2i;
  const T t1r = a0r - a2r, t1i = a0i - a2i;
  const T t2r = a1r + a3r, t2i = a1i + a3i;
  const T t3r = a1r - a3r, t3i = a1i - a3i;
  a0r = t0r + t2r;
  a0i = t0i + t2i;
  a2r = t0r - t2r;
  a2i = t0i - t2i;
  a1r = t1r + t3i;
  a1i = t1i - t3r;
  a3r = t1r - t3i;
  a3i = t1i + t3r;
}

// Final pass for len 4 or 8 and at least kLanes groups: the groups whose results land side by
// side (order[r] for kLanes consecutive r) are loaded together and transposed so that one lane
// holds one group; the butterflies then run lane-wise and every store is a contiguous run.
// Written with the compilers' generic vector types, which lower to whatever width the
// processor variant has.
#if defined(__clang__) || (defined(__GNUC__) && __GNUC__ >= 12)
#define NSP_HAVE_LANES 1
// The vector helpers are inlined into their callers only; their calling convention never shows.
#pragma GCC diagnostic ignored "-Wpsabi"
constexpr size_t kLanes = 8;
typedef float V8 __attribute__((vector_size(32)));
typedef float V4 __attribute__((vector_size(16)));

inline V8 Load8(const float* p) {
  V8 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline V4 Load4(const float* p) {
  V4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void Store8(float* p, V8 v) { std::memcpy(p, &v, sizeof v); }

// Interleaves within each 128-bit half, as the usual transpose building blocks do.
inline V8 UnpackLo(V8 a, V8 b) { return __builtin_shufflevector(a, b, 0, 8, 1, 9, 4, 12, 5, 13); }
inline V8 UnpackHi(V8 a, V8 b) { return __builtin_shufflevector(a, b, 2, 10, 3, 11, 6, 14, 7, 15); }
inline V8 PairLo(V8 a, V8 b) { return __builtin_shufflevector(a, b, 0, 1, 8, 9, 4, 5, 12, 13); }
inline V8 PairHi(V8 a, V8 b) { return __builtin_shufflevector(a, b, 2, 3, 10, 11, 6, 7, 14, 15); }
inline V8 HalvesLo(V8 a, V8 b) { return __builtin_shufflevector(a, b, 0, 1, 2, 3, 8, 9, 10, 11); }
inline V8 HalvesHi(V8 a, V8 b) { return __builtin_shufflevector(a, b, 4, 5, 6, 7, 12, 13, 14, 15); }

// col[t] lane b = element t of group rows[b], for 8 groups of 4 points.
inline void Transpose8x4(const float* base, const uint32_t* order, V8 col[4]) {
  V8 a[4];
  for (int b = 0; b < 4; ++b)
    a[b] = __builtin_shufflevector(Load4(base + 4 * size_t{order[b]}),
                                   Load4(base + 4 * size_t{order[b + 4]}), 0, 1, 2, 3, 4, 5, 6, 7);
  const V8 t0 = UnpackLo(a[0], a[1]), t1 = UnpackHi(a[0], a[1]);
  const V8 t2 = UnpackLo(a[2], a[3]), t3 = UnpackHi(a[2], a[3]);
  col[0] = PairLo(t0, t2);
  col[1] = PairHi(t0, t2);
  col[2] = PairLo(t1, t3);
  col[3] = PairHi(t1, t3);
}

// The same for 8 groups of 8 points.
inline void Transpose8x8(const float* base, const uint32_t* order, V8 col[8]) {
  V8 r[8];
  for (int b = 0; b < 8; ++b) r[b] = Load8(base + 8 * size_t{order[b]});
  const V8 u0 = UnpackLo(r[0], r[1]), u1 = UnpackHi(r[0], r[1]);
  const V8 u2 = UnpackLo(r[2], r[3]), u3 = UnpackHi(r[2], r[3]);
  const V8 u4 = UnpackLo(r[4], r[5]), u5 = UnpackHi(r[4], r[5]);
  const V8 u6 = UnpackLo(r[6], r[7]), u7 = UnpackHi(r[6], r[7]);
  const V8 w0 = PairLo(u0, u2), w1 = PairHi(u0, u2), w2 = PairLo(u1, u3), w3 = PairHi(u1, u3);
  const V8 w4 = PairLo(u4, u6), w5 = PairHi(u4, u6), w6 = PairLo(u5, u7), w7 = PairHi(u5, u7);
  col[0] = HalvesLo(w0, w4);
  col[4] = HalvesHi(w0, w4);
  col[1] = HalvesLo(w1, w5);
  col[5] = HalvesHi(w1, w5);
  col[2] = HalvesLo(w2, w6);
  col[6] = HalvesHi(w2, w6);
  col[3] = HalvesLo(w3, w7);
  col[7] = HalvesHi(w3, w7);
}

template <int Len>
inline __attribute__((always_inline)) void FinalPassLanes(const float* ir, const float* ii,
                                                          float* outR, float* outI, size_t groups,
                                                          const uint32_t* order, float scale) {
  for (size_t c = 0; c < groups; c += kLanes) {
    V8 xr[Len], xi[Len];
    if constexpr (Len == 4) {
      Transpose8x4(ir, order + c, xr);
      Transpose8x4(ii, order + c, xi);
      Dft4(xr[0], xi[0], xr[1], xi[1], xr[2], xi[2], xr[3], xi[3]);
    } else {
      Transpose8x8(ir, order + c, xr);
      Transpose8x8(ii, order + c, xi);
      // Radix-2 split into even (u) and odd (v, twiddled by W8^q) frequencies.
      V8 u0r = xr[0] + xr[4], u0i = xi[0] + xi[4];
      V8 u1r = xr[1] + xr[5], u1i = xi[1] + xi[5];
      V8 u2r = xr[2] + xr[6], u2i = xi[2] + xi[6];
      V8 u3r = xr[3] + xr[7], u3i = xi[3] + xi[7];
      V8 v0r = xr[0] - xr[4], v0i = xi[0] - xi[4];
      const V8 d1r = xr[1] - xr[5], d1i = xi[1] - xi[5];
      const V8 d2r = xr[2] - xr[6], d2i = xi[2] - xi[6];
      const V8 d3r = xr[3] - xr[7], d3i = xi[3] - xi[7];
      V8 v1r = (d1r + d1i) * kSqrtHalf, v1i = (d1i - d1r) * kSqrtHalf;
      V8 v2r = d2i, v2i = -d2r;
      V8 v3r = (d3i - d3r) * kSqrtHalf, v3i = -(d3r + d3i) * kSqrtHalf;
      Dft4(u0r, u0i, u1r, u1i, u2r, u2i, u3r, u3i);
      Dft4(v0r, v0i, v1r, v1i, v2r, v2i, v3r, v3i);
      xr[0] = u0r, xr[1] = v0r, xr[2] = u1r, xr[3] = v1r;
      xr[4] = u2r, xr[5] = v2r, xr[6] = u3r, xr[7] = v3r;
      xi[0] = u0i, xi[1] = v0i, xi[2] = u1i, xi[3] = v1i;
      xi[4] = u2i, xi[5] = v2i, xi[6] = u3i, xi[7] = v3i;
    }
    for (int f = 0; f < Len; ++f) {
      Store8(outR + f * groups + c, xr[f] * scale);
      Store8(outI + f * groups + c, xi[f] * scale);
    }
  }
}

// One entry per group size, since multiversioned functions cannot be templates everywhere.
NSP_VECTOR_CLONES void FinalPassLanes4(const float* ir, const float* ii, float* outR, float* outI,
                                       size_t groups, const uint32_t* order, float scale) {
  FinalPassLanes<4>(ir, ii, outR, outI, groups, order, scale);
}
NSP_VECTOR_CLONES void FinalPassLanes8(const float* ir, const float* ii, float* outR, float* outI,
                                       size_t groups, const uint32_t* order, float scale) {
  FinalPassLanes<8>(ir, ii, outR, outI, groups, order, scale);
}
#endif

// Final pass: DFT of each group of len (1, 2, 4, 8) points, written in natural order. Group
// g = order[r] yields frequency f of the whole transform at f * groups + r.
NSP_VECTOR_CLONES void FinalPass(const float* ir, const float* ii, float* outR, float* outI, size_t groups,
               int len, const uint32_t* order, float scale) {
  switch (len) {
    case 1:
      for (size_t r = 0; r < groups; ++r) {
        outR[r] = ir[order[r]] * scale;
        outI[r] = ii[order[r]] * scale;
      }
      break;
    case 2:
      for (size_t r = 0; r < groups; ++r) {
        const float* xr = ir + 2 * size_t{order[r]};
        const float* xi = ii + 2 * size_t{order[r]};
        outR[r] = (xr[0] + xr[1]) * scale;
        outI[r] = (xi[0] + xi[1]) * scale;
        outR[groups + r] = (xr[0] - xr[1]) * scale;
        outI[groups + r] = (xi[0] - xi[1]) * scale;
      }
      break;
    case 4:
      for (size_t r = 0; r < groups; ++r) {
        const float* xr = ir + 4 * size_t{order[r]};
        const float* xi = ii + 4 * size_t{order[r]};
        float a0r = xr[0], a1r = xr[1], a2r = xr[2], a3r = xr[3];
        float a0i = xi[0], a1i = xi[1], a2i = xi[2], a3i = xi[3];
        Dft4(a0r, a0i, a1r, a1i, a2r, a2i, a3r, a3i);
        outR[r] = a0r * scale;
        outI[r] = a0i * scale;
        outR[groups + r] = a1r * scale;
        outI[groups + r] = a1i * scale;
        outR[2 * groups + r] = a2r * scale;
        outI[2 * groups + r] = a2i * scale;
        outR[3 * groups + r] = a3r * scale;
        outI[3 * groups + r] = a3i * scale;
      }
      break;
    default:
      for (size_t r = 0; r < groups; ++r) {
        const float* xr = ir + 8 * size_t{order[r]};
        const float* xi = ii + 8 * size_t{order[r]};
        // Radix-2 split into the even (u) and odd (v, twiddled by W8^q) frequencies.
        float u0r = xr[0] + xr[4], u0i = xi[0] + xi[4];
        float u1r = xr[1] + xr[5], u1i = xi[1] + xi[5];
        float u2r = xr[2] + xr[6], u2i = xi[2] + xi[6];
        float u3r = xr[3] + xr[7], u3i = xi[3] + xi[7];
        float v0r = xr[0] - xr[4], v0i = xi[0] - xi[4];
        const float d1r = xr[1] - xr[5], d1i = xi[1] - xi[5];
        const float d2r = xr[2] - xr[6], d2i = xi[2] - xi[6];
        const float d3r = xr[3] - xr[7], d3i = xi[3] - xi[7];
        float v1r = (d1r + d1i) * kSqrtHalf, v1i = (d1i - d1r) * kSqrtHalf;    // * (c, -c)
        float v2r = d2i, v2i = -d2r;                                          // * -j
        float v3r = (d3i - d3r) * kSqrtHalf, v3i = -(d3r + d3i) * kSqrtHalf;  // * (-c, -c)
        Dft4(u0r, u0i, u1r, u1i, u2r, u2i, u3r, u3i);
        Dft4(v0r, v0i, v1r, v1i, v2r, v2i, v3r, v3i);
        const float fr[8] = {u0r, v0r, u1r, v1r, u2r, v2r, u3r, v3r};
        const float fi[8] = {u0i, v0i, u1i, v1i, u2i, v2i, u3i, v3i};
        for (int f = 0; f < 8; ++f) {
          outR[f * groups + r] = fr[f] * scale;
          outI[f * groups + r] = fi[f] * scale;
        }
      }
      break;
  }
}

// Forward transform from (inR, inI) into (outR, outI), natural order, results times scale.
// scratch holds 2N floats and must not overlap the other arrays; in and out may be the same.
void ForwardCore(const ComplexTables& t, const float* inR, const float* inI, float* outR,
                 float* outI, float* scratch, float scale) {
  const size_t n = size_t{1} << t.order;
  float* sr = scratch;
  float* si = scratch + n;
  if (t.stages == 0) {
    std::memcpy(sr, inR, n * sizeof(float));
    std::memcpy(si, inI, n * sizeof(float));
  }
  for (int s = 0; s < t.stages; ++s) {
    const size_t m = (n >> (2 * s)) / 4;
    const float* w = t.twiddles.data() + t.stageOffset[s];
    if (s == 0)
      Radix4Stage(inR, inI, sr, si, n, m, w);
    else
      Radix4Stage(sr, si, sr, si, n, m, w);
  }
  const size_t groups = n / t.finalLen;
#ifdef NSP_HAVE_LANES
  if (groups >= kLanes && t.finalLen == 8)
    return FinalPassLanes8(sr, si, outR, outI, groups, t.groupOrder.data(), scale);
  if (groups >= kLanes && t.finalLen == 4)
    return FinalPassLanes4(sr, si, outR, outI, groups, t.groupOrder.data(), scale);
#endif
  FinalPass(sr, si, outR, outI, groups, t.finalLen, t.groupOrder.data(), scale);
}

// Checks order and flags; handles the table-only flags. Returns false when no transform is due.
bool Prepare(const char* func, int order, int flags) {
  NSP_CHECK(order < 0, func, "order<0", false);
  NSP_CHECK(order > kMaxOrder, func, "order>31", false);
  NSP_CHECK((flags & ~kKnownFlags) != 0, func, "Invalid flag value", false);
  if (flags & NSP_FREE) {
    nsp_fft::FreeTables();
    return false;
  }
  if (flags & NSP_INIT) return false;  // the caller builds the tables and stops
  const int direction = flags & kDirections;
  NSP_CHECK(direction != NSP_FORWARD && direction != NSP_INVERSE, func, "Invalid flag value",
            false);
  return true;
}

void ReportNoTables(const char* func) {
  ReportPrimitiveError(NSP_STS_NO_MEMORY, func, "No working Twd memory", __FILE__, __LINE__);
}

float InverseScale(int order, int flags) {
  return (flags & NSP_NO_SCALE) ? 1.0f : 1.0f / static_cast<float>(size_t{1} << order);
}

// Even samples to re, odd samples to im, and back.
NSP_VECTOR_CLONES void Deinterleave(const float* __restrict src, float* __restrict re,
                                    float* __restrict im, size_t m) {
  for (size_t i = 0; i < m; ++i) {
    re[i] = src[2 * i];
    im[i] = src[2 * i + 1];
  }
}

NSP_VECTOR_CLONES void Interleave(const float* __restrict re, const float* __restrict im,
                                  float* __restrict dst, size_t m) {
  for (size_t i = 0; i < m; ++i) {
    dst[2 * i] = re[i];
    dst[2 * i + 1] = im[i];
  }
}

// Z[k] of a transform of the even (re) and odd (im) samples split into X[k], k = 0 .. M,
// written as CCS into dst; the imaginary parts are negated when conjugate is set.
NSP_VECTOR_CLONES void SplitReal(const float* __restrict zr, const float* __restrict zi,
                                 const float* __restrict twr, const float* __restrict twi,
                                 size_t m, float* __restrict dst, float scale, bool conjugate) {
  const float sign = conjugate ? -1.0f : 1.0f;
  dst[0] = (zr[0] + zi[0]) * scale;
  dst[1] = 0.0f;
  dst[2 * m] = (zr[0] - zi[0]) * scale;
  dst[2 * m + 1] = 0.0f;
  const float half = 0.5f * scale;
  const float isign = half * sign;
  for (size_t k = 1; k <= m / 2; ++k) {
    const size_t q = m - k;
    // E = (Z[k] + conj Z[q]) / 2, O = (Z[k] - conj Z[q]) / 2j; X[k] = E + W^k O,
    // X[q] = conj(E - W^k O).
    const float er = zr[k] + zr[q], ei = zi[k] - zi[q];
    const float or_ = zi[k] + zi[q], oi = zr[q] - zr[k];
    const float wr = twr[k], wi = twi[k];
    const float pr = wr * or_ - wi * oi, pi = wr * oi + wi * or_;
    dst[2 * k] = (er + pr) * half;
    dst[2 * k + 1] = (ei + pi) * isign;
    dst[2 * q] = (er - pr) * half;
    dst[2 * q + 1] = (pi - ei) * isign;
  }
}

// The reverse of SplitReal: CCS src into Z2[k] = 2 Z[k] (times scale), k < M.
NSP_VECTOR_CLONES void MergeReal(const float* __restrict src, const float* __restrict twr,
                                 const float* __restrict twi, size_t m, float* __restrict zr,
                                 float* __restrict zi, float scale, bool conjugate) {
  const float sign = conjugate ? -1.0f : 1.0f;
  const float x0 = src[0], xm = src[2 * m];
  zr[0] = (x0 + xm) * scale;
  zi[0] = (x0 - xm) * scale;
  for (size_t k = 1; k <= m / 2; ++k) {
    const size_t q = m - k;
    const float xkr = src[2 * k], xki = src[2 * k + 1] * sign;
    const float xqr = src[2 * q], xqi = src[2 * q + 1] * sign;
    // E2 = X[k] + conj X[q]; O2 = conj(W^k) (X[k] - conj X[q]); Z2[k] = E2 + j O2 and
    // Z2[q] = conj(E2) + j conj(O2).
    const float er = xkr + xqr, ei = xki - xqi;
    const float dr = xkr - xqr, di = xki + xqi;
    const float wr = twr[k], wi = -twi[k];  // conj(W^k)
    const float or_ = dr * wr - di * wi, oi = dr * wi + di * wr;
    zr[k] = (er - oi) * scale;
    zi[k] = (ei + or_) * scale;
    zr[q] = (er + oi) * scale;
    zi[q] = (or_ - ei) * scale;
  }
}

}  // namespace

void nspcrFft(float* re, float* im, int order, int flags) {
  const char* func = "nspcrFft";
  if (!Prepare(func, order, flags)) {
    if ((flags & NSP_INIT) && order >= 0 && order <= kMaxOrder &&
        !nsp_fft::GetComplexTables(order))
      ReportNoTables(func);
    return;
  }
  NSP_CHECK(re == nullptr, func, "reSamps==0");
  NSP_CHECK(im == nullptr, func, "imSamps==0");
  const ComplexTables* t = nsp_fft::GetComplexTables(order);
  float* scratch = t ? Scratch(size_t{2} << order) : nullptr;
  if (!scratch) return ReportNoTables(func);
  if ((flags & kDirections) == NSP_FORWARD)
    ForwardCore(*t, re, im, re, im, scratch, 1.0f);
  else
    ForwardCore(*t, im, re, im, re, scratch, InverseScale(order, flags));
}

// Prepare for the real transforms, which also build their split tables on NSP_INIT.
static bool PrepareReal(const char* func, int order, int flags) {
  if (Prepare(func, order, flags)) return true;
  if ((flags & NSP_INIT) && order >= 1 && order <= kMaxOrder &&
      (!nsp_fft::GetComplexTables(order - 1) || !nsp_fft::GetRealTables(order)))
    ReportNoTables(func);
  return false;
}

void nspsRealFftNip(const float* src, float* dst, int order, int flags) {
  const char* func = "nspsRealFftNip";
  if (!PrepareReal(func, order, flags)) return;
  NSP_CHECK_PTR(src, func);
  NSP_CHECK_PTR(dst, func);
  const bool inverse = (flags & kDirections) == NSP_INVERSE;
  const float scale = inverse ? InverseScale(order, flags) : 1.0f;
  if (order == 0) {
    dst[0] = src[0] * scale;
    dst[1] = 0.0f;
    return;
  }
  const ComplexTables* t = nsp_fft::GetComplexTables(order - 1);
  const RealTables* rt = nsp_fft::GetRealTables(order);
  const size_t m = size_t{1} << (order - 1);
  // Layout of the scratch: even samples, odd samples, then the transform's own 2M floats.
  float* scratch = (t && rt) ? Scratch(4 * m) : nullptr;
  if (!scratch) return ReportNoTables(func);
  float* zr = scratch;
  float* zi = scratch + m;
  Deinterleave(src, zr, zi, m);
  ForwardCore(*t, zr, zi, zr, zi, scratch + 2 * m, 1.0f);
  // The inverse of a real signal is the conjugate of its forward transform, scaled.
  SplitReal(zr, zi, rt->re.data(), rt->im.data(), m, dst, scale, inverse);
}

void nspsCcsFftNip(const float* src, float* dst, int order, int flags) {
  const char* func = "nspsCcsFftNip";
  if (!PrepareReal(func, order, flags)) return;
  NSP_CHECK_PTR(src, func);
  NSP_CHECK_PTR(dst, func);
  const bool inverse = (flags & kDirections) == NSP_INVERSE;
  const float scale = inverse ? InverseScale(order, flags) : 1.0f;
  if (order == 0) {
    dst[0] = src[0] * scale;
    return;
  }
  const ComplexTables* t = nsp_fft::GetComplexTables(order - 1);
  const RealTables* rt = nsp_fft::GetRealTables(order);
  const size_t m = size_t{1} << (order - 1);
  float* scratch = (t && rt) ? Scratch(4 * m) : nullptr;
  if (!scratch) return ReportNoTables(func);
  float* zr = scratch;
  float* zi = scratch + m;
  // A forward transform of a conjugate-symmetric spectrum is the inverse of its conjugate.
  MergeReal(src, rt->re.data(), rt->im.data(), m, zr, zi, scale, !inverse);
  // Inverse of Z2 by the forward transform with real and imaginary parts exchanged.
  ForwardCore(*t, zi, zr, zi, zr, scratch + 2 * m, 1.0f);
  Interleave(zr, zi, dst, m);
}
