// Element-wise arithmetic on float vectors and interleaved complex vectors (re, im pairs).
// Each element is computed in double precision and stored as float. n >= 1 everywhere; a bad
// count or null pointer is reported with status -5 and leaves the output untouched.
#pragma once

void nspsbZero(float* dst, int n);
void nspsbSet(float value, float* dst, int n);
void nspsbCopy(const float* src, float* dst, int n);
// dst holds n complex elements (2n floats).
void nspcbSet(float re, float im, float* dst, int n);

void nspsbAdd1(float value, float* dst, int n);                          // dst += value
void nspsbAdd2(const float* src, float* dst, int n);                     // dst += src
void nspsbAdd3(const float* srcA, const float* srcB, float* dst, int n);  // dst = A + B
void nspsbSub1(float value, float* dst, int n);                          // dst -= value
void nspsbSub2(const float* src, float* dst, int n);                     // dst -= src
void nspsbSub3(const float* srcA, const float* srcB, float* dst, int n);  // dst = A - B
void nspsbMpy1(float value, float* dst, int n);                          // dst *= value
void nspsbMpy2(const float* src, float* dst, int n);                     // dst *= src
void nspsbMpy3(const float* srcA, const float* srcB, float* dst, int n);  // dst = A * B
// Complex products on n complex elements.
void nspcbMpy1(float re, float im, float* dst, int n);  // dst *= (re + j im)
void nspcbMpy2(const float* src, float* dst, int n);    // dst *= src

// Square root of every element >= 0; negative elements stay and one error is reported after.
void nspsbSqrt1(float* vec, int n);
// relation 0: elements below threshold become threshold; otherwise those above it.
constexpr int NSP_LT = 0;
constexpr int NSP_GT = 1;
void nspsbThresh1(float* vec, int n, float threshold, int relation);
void nspsbThresh2(const float* src, float* dst, int n, float threshold, int relation);
void nspsbAbs1(float* vec, int n);
void nspsbAbs2(const float* src, float* dst, int n);
