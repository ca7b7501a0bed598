#include "spl/primitives/nspvec.h"

#include <cmath>

#include "spl/primitives/nspcheck.h"

float nspsMean(const float* vec, int n) {
  NSP_CHECK_N(n, "nspsMean", 0.0f);
  NSP_CHECK_PTR(vec, "nspsMean", 0.0f);
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += vec[i];
  return static_cast<float>(sum / n);
}

float nspsMax(const float* vec, int n) {
  NSP_CHECK_N(n, "nspsMax", 0.0f);
  NSP_CHECK_PTR(vec, "nspsMax", 0.0f);
  float best = vec[0];
  for (int i = 1; i < n; ++i) best = vec[i] > best ? vec[i] : best;
  return best;
}

float nspsMin(const float* vec, int n) {
  NSP_CHECK_N(n, "nspsMin", 0.0f);
  NSP_CHECK_PTR(vec, "nspsMin", 0.0f);
  float best = vec[0];
  for (int i = 1; i < n; ++i) best = vec[i] < best ? vec[i] : best;
  return best;
}

float nspsMaxExt(const float* vec, int n, int* index) {
  NSP_CHECK_N(n, "nspsMaxExt", 0.0f);
  NSP_CHECK_PTR(vec, "nspsMaxExt", 0.0f);
  int at = 0;
  for (int i = 1; i < n; ++i)
    if (vec[i] > vec[at]) at = i;
  if (index) *index = at;
  return vec[at];
}

void nspcbMag(const float* src, float* dst, int n) {
  NSP_CHECK_N(n, "nspcbMag");
  NSP_CHECK_PTR(src, "nspcbMag");
  NSP_CHECK_PTR(dst, "nspcbMag");
  for (int i = 0; i < n; ++i) {
    double re = src[2 * i], im = src[2 * i + 1];
    dst[i] = static_cast<float>(std::sqrt(re * re + im * im));
  }
}

void nspsbrMag(const float* re, const float* im, float* dst, int n) {
  NSP_CHECK_N(n, "nspsbrMag");
  NSP_CHECK_PTR(re, "nspsbrMag");
  NSP_CHECK_PTR(im, "nspsbrMag");
  NSP_CHECK_PTR(dst, "nspsbrMag");
  for (int i = 0; i < n; ++i) {
    double a = re[i], b = im[i];
    dst[i] = static_cast<float>(std::sqrt(a * a + b * b));
  }
}
