// Sums, differences and products of two floats computed in double and rounded to float equal
// the float operations exactly, so those loops stay in float where they vectorise; complex
// products keep the double intermediate.
#include "spl/primitives/nsparith.h"

#include <cmath>

#include "spl/primitives/nspcheck.h"

void nspsbZero(float* dst, int n) {
  NSP_CHECK_N(n, "nspsbZero");
  NSP_CHECK_PTR(dst, "nspsbZero");
  for (int i = 0; i < n; ++i) dst[i] = 0.0f;
}

void nspsbSet(float value, float* dst, int n) {
  NSP_CHECK_N(n, "nspsbSet");
  NSP_CHECK_PTR(dst, "nspsbSet");
  for (int i = 0; i < n; ++i) dst[i] = value;
}

void nspsbCopy(const float* src, float* dst, int n) {
  NSP_CHECK_N(n, "nspsbCopy");
  NSP_CHECK_PTR(src, "nspsbCopy");
  NSP_CHECK_PTR(dst, "nspsbCopy");
  for (int i = 0; i < n; ++i) dst[i] = src[i];
}

void nspcbSet(float re, float im, float* dst, int n) {
  NSP_CHECK_N(n, "nspcbSet");
  NSP_CHECK_PTR(dst, "nspcbSet");
  for (int i = 0; i < n; ++i) {
    dst[2 * i] = re;
    dst[2 * i + 1] = im;
  }
}

// One-, two- and three-operand forms of an element-wise operation.
#define NSP_ARITH_FAMILY(name1, name2, name3, op)                          \
  void name1(float value, float* dst, int n) {                            \
    NSP_CHECK_N(n, #name1);                                               \
    NSP_CHECK_PTR(dst, #name1);                                           \
    for (int i = 0; i < n; ++i) dst[i] = dst[i] op value;                 \
  }                                                                       \
  void name2(const float* src, float* dst, int n) {                       \
    NSP_CHECK_N(n, #name2);                                               \
    NSP_CHECK_PTR(src, #name2);                                           \
    NSP_CHECK_PTR(dst, #name2);                                           \
    for (int i = 0; i < n; ++i) dst[i] = dst[i] op src[i];                \
  }                                                                       \
  void name3(const float* srcA, const float* srcB, float* dst, int n) {   \
    NSP_CHECK_N(n, #name3);                                               \
    NSP_CHECK_PTR(srcA, #name3);                                          \
    NSP_CHECK_PTR(srcB, #name3);                                          \
    NSP_CHECK_PTR(dst, #name3);                                           \
    for (int i = 0; i < n; ++i) dst[i] = srcA[i] op srcB[i];              \
  }

NSP_ARITH_FAMILY(nspsbAdd1, nspsbAdd2, nspsbAdd3, +)
NSP_ARITH_FAMILY(nspsbSub1, nspsbSub2, nspsbSub3, -)
NSP_ARITH_FAMILY(nspsbMpy1, nspsbMpy2, nspsbMpy3, *)

void nspcbMpy1(float re, float im, float* dst, int n) {
  NSP_CHECK_N(n, "nspcbMpy1");
  NSP_CHECK_PTR(dst, "nspcbMpy1");
  for (int i = 0; i < n; ++i) {
    double a = dst[2 * i], b = dst[2 * i + 1];
    dst[2 * i] = static_cast<float>(a * re - b * im);
    dst[2 * i + 1] = static_cast<float>(a * im + b * re);
  }
}

void nspcbMpy2(const float* src, float* dst, int n) {
  NSP_CHECK_N(n, "nspcbMpy2");
  NSP_CHECK_PTR(src, "nspcbMpy2");
  NSP_CHECK_PTR(dst, "nspcbMpy2");
  for (int i = 0; i < n; ++i) {
    double a = dst[2 * i], b = dst[2 * i + 1];
    double c = src[2 * i], d = src[2 * i + 1];
    dst[2 * i] = static_cast<float>(a * c - b * d);
    dst[2 * i + 1] = static_cast<float>(a * d + b * c);
  }
}

void nspsbSqrt1(float* vec, int n) {
  NSP_CHECK_N(n, "nspsbSqrt1");
  NSP_CHECK_PTR(vec, "nspsbSqrt1");
  bool negative = false;
  for (int i = 0; i < n; ++i) {
    if (vec[i] >= 0.0f)
      vec[i] = std::sqrt(vec[i]);
    else if (vec[i] < 0.0f)
      negative = true;
  }
  // One report for the whole pass, after every valid element has been done.
  if (negative) NSP_BAD_ARG("nspsbSqrt1", "Element of input vector is negative");
}

void nspsbThresh1(float* vec, int n, float threshold, int relation) {
  NSP_CHECK_N(n, "nspsbThresh1");
  NSP_CHECK_PTR(vec, "nspsbThresh1");
  nspsbThresh2(vec, vec, n, threshold, relation);
}

void nspsbThresh2(const float* src, float* dst, int n, float threshold, int relation) {
  NSP_CHECK_N(n, "nspsbThresh2");
  NSP_CHECK_PTR(src, "nspsbThresh2");
  NSP_CHECK_PTR(dst, "nspsbThresh2");
  if (relation == NSP_LT) {
    for (int i = 0; i < n; ++i) dst[i] = src[i] < threshold ? threshold : src[i];
  } else {
    for (int i = 0; i < n; ++i) dst[i] = src[i] > threshold ? threshold : src[i];
  }
}

void nspsbAbs1(float* vec, int n) {
  NSP_CHECK_N(n, "nspsbAbs1");
  NSP_CHECK_PTR(vec, "nspsbAbs1");
  for (int i = 0; i < n; ++i) vec[i] = std::fabs(vec[i]);
}

void nspsbAbs2(const float* src, float* dst, int n) {
  NSP_CHECK_N(n, "nspsbAbs2");
  NSP_CHECK_PTR(src, "nspsbAbs2");
  NSP_CHECK_PTR(dst, "nspsbAbs2");
  for (int i = 0; i < n; ++i) dst[i] = std::fabs(src[i]);
}
