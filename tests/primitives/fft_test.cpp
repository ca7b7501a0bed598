#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <complex>
#include <random>
#include <thread>
#include <vector>

#include "error_recorder.h"
#include "spl/primitives/nsp.h"

namespace {

using Cd = std::complex<double>;

// Plain DFT in double precision, sign -1 forward, +1 inverse (unscaled).
std::vector<Cd> Dft(const std::vector<Cd>& x, int sign) {
  const size_t n = x.size();
  std::vector<Cd> w(n);  // exp(sign j 2 pi i / n); k*m is reduced modulo n before the lookup
  for (size_t i = 0; i < n; ++i) {
    const double a = 2.0 * M_PI * static_cast<double>(i) / static_cast<double>(n);
    w[i] = Cd(std::cos(a), sign * std::sin(a));
  }
  std::vector<Cd> y(n);
  for (size_t k = 0; k < n; ++k) {
    Cd acc = 0;
    for (size_t m = 0, km = 0; m < n; ++m, km = (km + k) % n) acc += x[m] * w[km];
    y[k] = acc;
  }
  return y;
}

std::vector<float> RandomSignal(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> v(n);
  for (float& x : v) x = dist(gen);
  return v;
}

double Energy(const std::vector<Cd>& v) {
  double e = 0;
  for (const Cd& c : v) e += std::norm(c);
  return e;
}

// Worst error of a float transform relative to the RMS of the reference, which must stay
// within a few float epsilons times log2 N.
double RelativeError(const std::vector<Cd>& ref, const std::vector<Cd>& got) {
  double err = 0;
  for (size_t i = 0; i < ref.size(); ++i) err = std::max(err, std::abs(ref[i] - got[i]));
  const double rms = std::sqrt(Energy(ref) / ref.size());
  return rms > 0 ? err / rms : err;
}

double Bound(int order) { return 2e-6 * (order + 2); }

// Beyond order 11 the transforms take no other path; larger orders are checked by round trips.
constexpr int kMaxTestOrder = 11;

class FftTest : public ::testing::Test {
 protected:
  ErrorRecorder errors_;
};

TEST_F(FftTest, ComplexForwardAndInverseMatchDft) {
  for (int order = 0; order <= kMaxTestOrder; ++order) {
    const size_t n = size_t{1} << order;
    std::vector<float> re = RandomSignal(n, 10 + order), im = RandomSignal(n, 100 + order);
    std::vector<Cd> x(n);
    for (size_t i = 0; i < n; ++i) x[i] = Cd(re[i], im[i]);

    const std::vector<Cd> forward = Dft(x, -1), inverse = Dft(x, +1);
    for (int flags : {NSP_FORWARD, NSP_INVERSE, NSP_INVERSE | NSP_NO_SCALE}) {
      std::vector<float> r = re, i = im;
      nspcrFft(r.data(), i.data(), order, flags);
      std::vector<Cd> ref = flags == NSP_FORWARD ? forward : inverse, got(n);
      if (flags == NSP_INVERSE)
        for (Cd& c : ref) c /= static_cast<double>(n);
      for (size_t k = 0; k < n; ++k) got[k] = Cd(r[k], i[k]);
      EXPECT_LT(RelativeError(ref, got), Bound(order)) << "flags " << flags << " order " << order;
    }
  }
  EXPECT_EQ(errors_.Count(), 0u);
}

TEST_F(FftTest, RealForwardMatchesDftInCcsLayout) {
  for (int order = 0; order <= kMaxTestOrder; ++order) {
    const size_t n = size_t{1} << order;
    const std::vector<float> src = RandomSignal(n, 200 + order);
    std::vector<float> copy = src;
    std::vector<float> ccs(n + 2 + 1, 77.0f);  // one guard float past the layout
    nspsRealFftNip(src.data(), ccs.data(), order, NSP_FORWARD);
    EXPECT_EQ(copy, src) << "source changed, order " << order;
    EXPECT_EQ(ccs[n + 2], 77.0f) << "wrote past N + 2 floats, order " << order;

    std::vector<Cd> x(src.begin(), src.end());
    std::vector<Cd> ref = Dft(x, -1), half(n / 2 + 1), got(n / 2 + 1);
    for (size_t k = 0; k <= n / 2; ++k) {
      half[k] = ref[k % n];
      got[k] = Cd(ccs[2 * k], ccs[2 * k + 1]);
    }
    EXPECT_LT(RelativeError(half, got), Bound(order)) << "order " << order;
    EXPECT_EQ(ccs[1], 0.0f);
    if (n > 1) {
      EXPECT_EQ(ccs[n + 1], 0.0f);  // order 0 fills only (x[0], 0)
    }
  }
  EXPECT_EQ(errors_.Count(), 0u);
}

TEST_F(FftTest, CcsInverseMatchesDftOfSymmetricSpectrum) {
  for (int order = 0; order <= kMaxTestOrder; ++order) {
    const size_t n = size_t{1} << order;
    const std::vector<float> a = RandomSignal(n + 2, 300 + order);
    std::vector<float> ccs = a;
    ccs[1] = 0.0f;
    if (n > 1) ccs[n + 1] = 0.0f;
    // Full spectrum: bins above N/2 are conjugates of the lower ones.
    std::vector<Cd> spec(n);
    for (size_t k = 0; k <= n / 2; ++k) spec[k % n] = Cd(ccs[2 * k], ccs[2 * k + 1]);
    for (size_t k = n / 2 + 1; k < n; ++k) spec[k] = std::conj(spec[n - k]);
    if (n == 1) spec[0] = Cd(ccs[0], 0);
    std::vector<Cd> ref = Dft(spec, +1);
    for (Cd& c : ref) c /= static_cast<double>(n);

    const std::vector<float> before = ccs;
    std::vector<float> out(n + 1, 55.0f);
    nspsCcsFftNip(ccs.data(), out.data(), order, NSP_INVERSE);
    EXPECT_EQ(before, ccs);
    EXPECT_EQ(out[n], 55.0f) << "wrote past N floats, order " << order;
    std::vector<Cd> got(out.begin(), out.begin() + n);
    EXPECT_LT(RelativeError(ref, got), Bound(order)) << "order " << order;
  }
  EXPECT_EQ(errors_.Count(), 0u);
}

TEST_F(FftTest, CcsInverseIgnoresImaginaryPartsOfEdgeBins) {
  const int order = 4;
  const size_t n = 16;
  std::vector<float> ccs = RandomSignal(n + 2, 7);
  std::vector<float> clean = ccs;
  clean[1] = clean[n + 1] = 0.0f;
  std::vector<float> a(n), b(n);
  nspsCcsFftNip(ccs.data(), a.data(), order, NSP_INVERSE);
  nspsCcsFftNip(clean.data(), b.data(), order, NSP_INVERSE);
  EXPECT_EQ(a, b);
}

TEST_F(FftTest, RoundTripsAndLargeOrders) {
  for (int order : {1, 2, 3, 9, 10, 11, 12, 15, 16}) {
    const size_t n = size_t{1} << order;
    const std::vector<float> src = RandomSignal(n, 400 + order);
    std::vector<float> ccs(n + 2), back(n);
    nspsRealFftNip(src.data(), ccs.data(), order, NSP_FORWARD);
    nspsCcsFftNip(ccs.data(), back.data(), order, NSP_INVERSE);
    double err = 0;
    for (size_t k = 0; k < n; ++k) err = std::max(err, static_cast<double>(std::fabs(back[k] - src[k])));
    EXPECT_LT(err, Bound(order)) << "order " << order;
    // The real transform agrees with the complex one of the same signal.
    std::vector<float> re = src, im(n, 0.0f);
    nspcrFft(re.data(), im.data(), order, NSP_FORWARD);
    double diff = 0, scale = 0;
    for (size_t k = 0; k <= n / 2; ++k) {
      diff = std::max({diff, std::fabs(static_cast<double>(re[k]) - ccs[2 * k]),
                       std::fabs(static_cast<double>(im[k]) - ccs[2 * k + 1])});
      scale += re[k] * re[k] + im[k] * im[k];
    }
    EXPECT_LT(diff / std::sqrt(scale / (n / 2 + 1)), Bound(order)) << "order " << order;
    // And the complex inverse brings the signal back.
    nspcrFft(re.data(), im.data(), order, NSP_INVERSE);
    for (size_t k = 0; k < n; ++k) err = std::max({err, std::fabs(double(re[k]) - src[k]), std::fabs(double(im[k]))});
    EXPECT_LT(err, Bound(order)) << "order " << order;
  }
}

TEST_F(FftTest, ForwardCcsAndInverseRealAreConsistent) {
  // A forward transform of a real signal's spectrum gives N times the time-reversed signal.
  const int order = 5;
  const size_t n = 32;
  const std::vector<float> src = RandomSignal(n, 11);
  std::vector<float> ccs(n + 2), twice(n), inv(n + 2);
  nspsRealFftNip(src.data(), ccs.data(), order, NSP_FORWARD);
  nspsCcsFftNip(ccs.data(), twice.data(), order, NSP_FORWARD);
  for (size_t m = 0; m < n; ++m) EXPECT_NEAR(twice[m], n * src[(n - m) % n], 1e-4) << m;
  nspsRealFftNip(src.data(), inv.data(), order, NSP_INVERSE);
  for (size_t k = 0; k < n + 2; k += 2) {
    EXPECT_NEAR(inv[k], ccs[k] / n, 1e-6);
    EXPECT_NEAR(inv[k + 1], -ccs[k + 1] / n, 1e-6);
  }
}

TEST_F(FftTest, BadArgumentsReportAndLeaveOutputAlone) {
  std::vector<float> re(8, 1.0f), im(8, 2.0f), ccs(10, 3.0f);
  struct Case {
    int order, flags;
    const char* context;
  };
  const Case cases[] = {{-1, NSP_FORWARD, "order<0"},
                        {32, NSP_FORWARD, "order>31"},
                        {3, NSP_FORWARD | NSP_INVERSE, nullptr},
                        {3, 0, nullptr},
                        {3, 1 << 20, nullptr}};
  for (const Case& c : cases) {
    errors_.Clear();
    nspcrFft(re.data(), im.data(), c.order, c.flags);
    ASSERT_EQ(errors_.Count(), 1u);
    EXPECT_EQ(errors_.Last().status, NSP_STS_BAD_ARG);
    EXPECT_EQ(errors_.Last().func, "nspcrFft");
    if (c.context) {
      EXPECT_EQ(errors_.Last().context, c.context);
    }
    errors_.Clear();
    nspsRealFftNip(re.data(), ccs.data(), c.order, c.flags);
    EXPECT_EQ(errors_.Count(), 1u);
    errors_.Clear();
    nspsCcsFftNip(ccs.data(), re.data(), c.order, c.flags);
    EXPECT_EQ(errors_.Count(), 1u);
  }
  EXPECT_EQ(re, std::vector<float>(8, 1.0f));
  EXPECT_EQ(im, std::vector<float>(8, 2.0f));
  EXPECT_EQ(ccs, std::vector<float>(10, 3.0f));

  errors_.Clear();
  nspcrFft(nullptr, im.data(), 3, NSP_FORWARD);
  ASSERT_EQ(errors_.Count(), 1u);
  EXPECT_EQ(errors_.Last().context, "reSamps==0");
  nspcrFft(re.data(), nullptr, 3, NSP_FORWARD);
  EXPECT_EQ(errors_.Last().context, "imSamps==0");
  nspsRealFftNip(nullptr, ccs.data(), 3, NSP_FORWARD);
  EXPECT_EQ(errors_.Last().context, "src==0");
  nspsCcsFftNip(ccs.data(), nullptr, 3, NSP_INVERSE);
  EXPECT_EQ(errors_.Last().context, "dst==0");
  EXPECT_EQ(errors_.Count(), 4u);
}

TEST_F(FftTest, TableFlagsBuildAndReleaseWithoutTransforming) {
  std::vector<float> re(16, 1.0f), im(16, 0.0f);
  nspcrFft(re.data(), im.data(), 4, NSP_INIT);
  EXPECT_EQ(re, std::vector<float>(16, 1.0f));
  nspcrFft(re.data(), im.data(), 4, NSP_FREE);
  EXPECT_EQ(re, std::vector<float>(16, 1.0f));
  EXPECT_EQ(errors_.Count(), 0u);
  // Tables are rebuilt on the next use.
  nspcrFft(re.data(), im.data(), 4, NSP_FORWARD);
  EXPECT_FLOAT_EQ(re[0], 16.0f);
  EXPECT_NEAR(re[1], 0.0f, 1e-6);
}

// Transforms on two threads build the tables of each order at the same moment; each must get
// whole tables, and none may be freed under the other.
TEST_F(FftTest, TwoThreadsBuildingTheSameTablesBothTransformRight) {
  std::vector<float> unused(2);
  nspcrFft(unused.data(), unused.data(), 1, NSP_FREE);
  auto impulses = [](int* wrong) {
    for (int order = 1; order <= kMaxTestOrder; ++order) {
      const size_t n = size_t{1} << order;
      std::vector<float> re(n, 0.0f), im(n, 0.0f);
      re[0] = 1.0f;  // an impulse: every bin is 1
      nspcrFft(re.data(), im.data(), order, NSP_FORWARD);
      for (size_t k = 0; k < n; ++k)
        if (std::fabs(re[k] - 1.0f) > Bound(order) || std::fabs(im[k]) > Bound(order)) ++*wrong;
    }
  };
  int wrong_a = 0, wrong_b = 0;
  std::thread a(impulses, &wrong_a), b(impulses, &wrong_b);
  a.join();
  b.join();
  EXPECT_EQ(wrong_a, 0);
  EXPECT_EQ(wrong_b, 0);
  EXPECT_EQ(errors_.Count(), 0u);
}

}  // namespace
