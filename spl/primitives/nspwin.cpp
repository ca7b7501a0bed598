#include "spl/primitives/nspwin.h"

#include <cmath>

#include "spl/primitives/nspcheck.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr int kMinWindowItems = 3;

// Multiplies vec[k] and its mirror vec[n-1-k] by a + b cos(k theta), theta = 2 pi / (n-1); the
// cosines come from the two-term recurrence, run from both ends towards the middle.
void ApplyCosineWindow(float* vec, int n, double a, double b) {
  const double theta = kTwoPi / (n - 1);
  const double twoCos = 2.0 * std::cos(theta);
  double prev = std::cos(-theta), cur = 1.0;  // cos(-theta), cos(0)
  for (int k = 0, m = n - 1; k <= m; ++k, --m) {
    double w = a + b * cur;
    vec[k] = static_cast<float>(vec[k] * w);
    if (m != k) vec[m] = static_cast<float>(vec[m] * w);
    double next = twoCos * cur - prev;
    prev = cur;
    cur = next;
  }
}

bool WindowArgsBad(const char* func, float* vec, int n) {
  if (n < kMinWindowItems) {
    NSP_BAD_ARG(func, "Bad number of items");
    return true;
  }
  if (vec == nullptr) {
    NSP_BAD_ARG(func, "Null pointer to buffer");
    return true;
  }
  return false;
}

}  // namespace

void nspsWinBartlett(float* vec, int n) {
  if (WindowArgsBad("nspsWinBartlett", vec, n)) return;
  const double slope = 2.0 / (n - 1);
  for (int k = 0, m = n - 1; k <= m; ++k, --m) {
    double w = k * slope;
    vec[k] = static_cast<float>(vec[k] * w);
    if (m != k) vec[m] = static_cast<float>(vec[m] * w);
  }
}

void nspsWinHann(float* vec, int n) {
  if (WindowArgsBad("nspsWinHann", vec, n)) return;
  ApplyCosineWindow(vec, n, 0.5, -0.5);
}

void nspsWinHamming(float* vec, int n) {
  if (WindowArgsBad("nspsWinHamming", vec, n)) return;
  ApplyCosineWindow(vec, n, 0.54, -0.46);
}
