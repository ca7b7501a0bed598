#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "error_recorder.h"
#include "spl/primitives/nsp.h"

namespace {

class VectorTest : public ::testing::Test {
 protected:
  ErrorRecorder errors_;
};

TEST_F(VectorTest, ElementWiseArithmetic) {
  const std::vector<float> a = {1.5f, -2.0f, 3.25f}, b = {0.5f, 4.0f, -1.0f};
  std::vector<float> d = a;
  nspsbAdd1(1.0f, d.data(), 3);
  EXPECT_EQ(d, (std::vector<float>{2.5f, -1.0f, 4.25f}));
  nspsbSub1(1.0f, d.data(), 3);
  EXPECT_EQ(d, a);
  nspsbMpy1(2.0f, d.data(), 3);
  EXPECT_EQ(d, (std::vector<float>{3.0f, -4.0f, 6.5f}));
  d = a;
  nspsbAdd2(b.data(), d.data(), 3);
  EXPECT_EQ(d, (std::vector<float>{2.0f, 2.0f, 2.25f}));
  nspsbSub2(b.data(), d.data(), 3);
  EXPECT_EQ(d, a);
  nspsbMpy2(b.data(), d.data(), 3);
  EXPECT_EQ(d, (std::vector<float>{0.75f, -8.0f, -3.25f}));
  nspsbAdd3(a.data(), b.data(), d.data(), 3);
  EXPECT_EQ(d, (std::vector<float>{2.0f, 2.0f, 2.25f}));
  nspsbSub3(a.data(), b.data(), d.data(), 3);
  EXPECT_EQ(d, (std::vector<float>{1.0f, -6.0f, 4.25f}));
  nspsbMpy3(a.data(), b.data(), d.data(), 3);
  EXPECT_EQ(d, (std::vector<float>{0.75f, -8.0f, -3.25f}));
  nspsbSet(7.0f, d.data(), 3);
  EXPECT_EQ(d, (std::vector<float>{7, 7, 7}));
  nspsbCopy(a.data(), d.data(), 3);
  EXPECT_EQ(d, a);
  nspsbZero(d.data(), 3);
  EXPECT_EQ(d, (std::vector<float>{0, 0, 0}));
  d = {-1.0f, 2.0f, -0.0f};
  nspsbAbs1(d.data(), 3);
  EXPECT_EQ(d, (std::vector<float>{1, 2, 0}));
  nspsbAbs2(b.data(), d.data(), 3);
  EXPECT_EQ(d, (std::vector<float>{0.5f, 4, 1}));
  EXPECT_EQ(errors_.Count(), 0u);
}

TEST_F(VectorTest, ComplexOperations) {
  std::vector<float> c(6, 0.0f);
  nspcbSet(1.0f, -2.0f, c.data(), 3);
  EXPECT_EQ(c, (std::vector<float>{1, -2, 1, -2, 1, -2}));
  nspcbMpy1(3.0f, 4.0f, c.data(), 3);  // (1 - 2j)(3 + 4j) = 11 - 2j
  EXPECT_EQ(c, (std::vector<float>{11, -2, 11, -2, 11, -2}));
  const std::vector<float> s = {0, 1, 2, 0, -1, -1};  // j, 2, -1 - j
  nspcbMpy2(s.data(), c.data(), 3);
  EXPECT_EQ(c, (std::vector<float>{2, 11, 22, -4, -13, -9}));
  std::vector<float> mag(3);
  const std::vector<float> z = {3, 4, -5, 12, 0, 0};
  nspcbMag(z.data(), mag.data(), 3);
  EXPECT_EQ(mag, (std::vector<float>{5, 13, 0}));
  const std::vector<float> re = {3, -8, 1}, im = {4, 15, 0};
  nspsbrMag(re.data(), im.data(), mag.data(), 3);
  EXPECT_EQ(mag, (std::vector<float>{5, 17, 1}));
}

TEST_F(VectorTest, ThresholdsAndSquareRoots) {
  std::vector<float> v = {-1, 2, -3};
  nspsbThresh1(v.data(), 3, 0.0f, NSP_LT);
  EXPECT_EQ(v, (std::vector<float>{0, 2, 0}));
  const std::vector<float> src = {-1, 2, -3, 5};
  std::vector<float> dst(4);
  nspsbThresh2(src.data(), dst.data(), 4, 1.0f, NSP_GT);
  EXPECT_EQ(dst, (std::vector<float>{-1, 1, -3, 1}));
  nspsbThresh2(src.data(), dst.data(), 4, 1.0f, 5);  // any non-zero relation caps from above
  EXPECT_EQ(dst, (std::vector<float>{-1, 1, -3, 1}));
  EXPECT_EQ(errors_.Count(), 0u);

  std::vector<float> r = {4, -1, 9};
  nspsbSqrt1(r.data(), 3);
  EXPECT_EQ(r, (std::vector<float>{2, -1, 3}));
  ASSERT_EQ(errors_.Count(), 1u);
  EXPECT_EQ(errors_.Last().context, "Element of input vector is negative");
  EXPECT_EQ(errors_.Last().func, "nspsbSqrt1");
  errors_.Clear();
  std::vector<float> twoBad = {-4, -1, 16};
  nspsbSqrt1(twoBad.data(), 3);
  EXPECT_EQ(twoBad, (std::vector<float>{-4, -1, 4}));
  EXPECT_EQ(errors_.Count(), 1u);
}

TEST_F(VectorTest, Statistics) {
  const std::vector<float> v = {1, 5, 5, -2};
  EXPECT_FLOAT_EQ(nspsMean(v.data(), 4), 2.25f);
  EXPECT_EQ(nspsMax(v.data(), 4), 5.0f);
  EXPECT_EQ(nspsMin(v.data(), 4), -2.0f);
  int index = -1;
  EXPECT_EQ(nspsMaxExt(v.data(), 3, &index), 5.0f);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(nspsMaxExt(v.data(), 1, &index), 1.0f);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(nspsMaxExt(v.data(), 4, nullptr), 5.0f);
  // The mean sums in double: many small values next to a big one are not lost.
  std::vector<float> big(1 << 20, 1.0f);
  big[0] = 16777216.0f;
  EXPECT_FLOAT_EQ(nspsMean(big.data(), static_cast<int>(big.size())),
                  static_cast<float>((16777216.0 + (big.size() - 1)) / big.size()));
  EXPECT_EQ(errors_.Count(), 0u);
  EXPECT_EQ(nspsMax(nullptr, 3), 0.0f);
  EXPECT_EQ(nspsMean(v.data(), 0), 0.0f);
  EXPECT_EQ(errors_.Count(), 2u);
}

TEST_F(VectorTest, WindowsMatchTheirFormulas) {
  for (int n : {3, 4, 5, 64, 1001}) {
    std::vector<float> hann(n, 1.0f), hamming(n, 1.0f), bartlett(n, 1.0f);
    nspsWinHann(hann.data(), n);
    nspsWinHamming(hamming.data(), n);
    nspsWinBartlett(bartlett.data(), n);
    for (int k = 0; k < n; ++k) {
      const double c = std::cos(2.0 * M_PI * k / (n - 1));
      EXPECT_NEAR(hann[k], 0.5 * (1 - c), 1e-6) << n << " " << k;
      EXPECT_NEAR(hamming[k], 0.54 - 0.46 * c, 1e-6) << n << " " << k;
      const int kk = k <= (n - 1) / 2 ? k : n - 1 - k;
      EXPECT_NEAR(bartlett[k], 2.0 * kk / (n - 1), 1e-6) << n << " " << k;
      EXPECT_EQ(hann[k], hann[n - 1 - k]);
    }
  }
  std::vector<float> two(2, 1.0f);
  nspsWinHann(two.data(), 2);
  ASSERT_EQ(errors_.Count(), 1u);
  EXPECT_EQ(errors_.Last().context, "Bad number of items");
  EXPECT_EQ(two, (std::vector<float>{1, 1}));
  nspsWinBartlett(nullptr, 5);
  EXPECT_EQ(errors_.Last().context, "Null pointer to buffer");
}

// Primitives of every family that take a count: 0 reports status -5 and leaves the output alone.
TEST_F(VectorTest, ZeroCountLeavesOutputUntouched) {
  std::vector<float> out(8, 3.0f), in(8, 1.0f);
  float* d = out.data();
  const float* s = in.data();
  int index = 42;
  short shorts[4] = {5, 5, 5, 5};
  NSPRandUniState rs;
  nspsRandUniInit(1, 0, 1, &rs);
  const std::vector<std::pair<std::string, std::function<void()>>> calls = {
      {"nspsbSet", [&] { nspsbSet(1, d, 0); }},
      {"nspsbMpy3", [&] { nspsbMpy3(s, s, d, 0); }},
      {"nspcbMpy2", [&] { nspcbMpy2(s, d, 0); }},
      {"nspsbSqrt1", [&] { nspsbSqrt1(d, 0); }},
      {"nspsbThresh2", [&] { nspsbThresh2(s, d, 0, 0, 0); }},
      {"nspsMaxExt", [&] { nspsMaxExt(s, 0, &index); }},
      {"nspsbrMag", [&] { nspsbrMag(s, s, d, 0); }},
      {"nspsWinHamming", [&] { nspsWinHamming(d, 0); }},
      {"nspsbFloatToInt", [&] { nspsbFloatToInt(s, shorts, 0, 16, NSP_ROUND); }},
      {"nspsbIntToFloat", [&] { nspsbIntToFloat(shorts, d, 0, 16, 0); }},
      {"nspsbRandUni", [&] { nspsbRandUni(&rs, d, 0); }},
  };
  for (const auto& [name, call] : calls) {
    errors_.Clear();
    call();
    ASSERT_EQ(errors_.Count(), 1u) << name;
    EXPECT_EQ(errors_.Last().status, NSP_STS_BAD_ARG) << name;
    EXPECT_EQ(errors_.Last().func, name);
    EXPECT_EQ(GetPrimitiveErrorStatus(), NSP_STS_BAD_ARG) << name;
    EXPECT_EQ(out, std::vector<float>(8, 3.0f)) << name;
  }
  EXPECT_EQ(index, 42);
  for (short v : shorts) EXPECT_EQ(v, 5);
}

TEST_F(VectorTest, NullPointersNameTheArgument) {
  float v[2] = {1, 2};
  nspsbCopy(nullptr, v, 2);
  EXPECT_EQ(errors_.Last().context, "src==0");
  nspsbCopy(v, nullptr, 2);
  EXPECT_EQ(errors_.Last().context, "dst==0");
  nspsbAdd3(v, nullptr, v, 2);
  EXPECT_EQ(errors_.Last().context, "srcB==0");
  nspsbZero(v, -3);
  EXPECT_EQ(errors_.Last().context, "n<=0");
  EXPECT_EQ(errors_.Count(), 4u);
  EXPECT_EQ(v[0], 1.0f);
}

}  // namespace
