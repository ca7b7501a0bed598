// FIR design and block filtering.
#include "spl/dsp/filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spl/primitives/nspwin.h"
#include "tests/dsp/dsp_test_util.h"

namespace {

using dsptest::Block;

constexpr int kRate = 11025;

std::vector<float> Taps(const CFilter& f) {
  return std::vector<float>(f.GetCoeff(), f.GetCoeff() + f.GetTaps() + 1);
}

TEST(Filter, QuarterRateLowPassOfOrderTwoHasTheClosedFormTaps) {
  CFilter f;
  ASSERT_EQ(f.Init(kRate, 1024, 2), 1);
  const float fc = kRate / 4.0f;
  ASSERT_EQ(f.CreateTP(fc, 0), 1);
  const std::vector<float> h = Taps(f);
  EXPECT_NEAR(h[0], 0.2800, 5e-5);
  EXPECT_NEAR(h[1], 0.4399, 5e-5);
  EXPECT_NEAR(h[2], 0.2800, 5e-5);
  EXPECT_NEAR(f.GetFSum(), 2 * fc * (1 + 4 / M_PI), 0.05);
  EXPECT_NEAR(f.GetSkalFak(), 1.0, 1e-6);  // normalised, no window
}

TEST(Filter, BandPassIsTheDifferenceOfTwoLowPassesAndBandStopItsComplement) {
  const int order = 64;
  CFilter bp, lo, hi;
  for (CFilter* f : {&bp, &lo, &hi}) ASSERT_EQ(f->Init(kRate, 1024, order), 1);
  ASSERT_EQ(bp.CreateBP(1000, 1500, 0), 1);
  ASSERT_EQ(lo.CreateTP(1000, 0), 1);
  ASSERT_EQ(hi.CreateTP(1500, 0), 1);
  for (int i = 0; i <= order; ++i) {
    const double raw_bp = bp.GetCoeff()[i] * bp.GetFSum();
    const double raw = hi.GetCoeff()[i] * hi.GetFSum() - lo.GetCoeff()[i] * lo.GetFSum();
    EXPECT_NEAR(raw_bp, raw, 1e-3 * hi.GetFSum()) << i;
  }
  // Band-stop 1000 ... 1500: high-pass at 1500 plus low-pass at 1000 = delta minus the band-pass.
  CFilter bs;
  ASSERT_EQ(bs.Init(kRate, 1024, order), 1);
  ASSERT_EQ(bs.CreateBS(1000, 1500, 0), 1);
  for (int i = 0; i <= order; ++i) {
    const double delta = i == order / 2 ? kRate : 0.0;
    EXPECT_NEAR(bs.GetCoeff()[i] * bs.GetFSum(), delta - bp.GetCoeff()[i] * bp.GetFSum(), 1e-2) << i;
  }
}

TEST(Filter, WindowBitsMultiplyInOrderAfterNormalising) {
  CFilter plain, windowed;
  ASSERT_EQ(plain.Init(kRate, 256, 32), 1);
  ASSERT_EQ(windowed.Init(kRate, 256, 32), 1);
  ASSERT_EQ(plain.CreateTP(800, 0), 1);
  ASSERT_EQ(windowed.CreateTP(800, kFilterWindowHamming | kFilterWindowHann), 1);
  std::vector<float> expect = Taps(plain);
  nspsWinHamming(expect.data(), int(expect.size()));
  nspsWinHann(expect.data(), int(expect.size()));
  for (size_t i = 0; i < expect.size(); ++i) EXPECT_NEAR(windowed.GetCoeff()[i], expect[i], 1e-7);
  EXPECT_EQ(windowed.GetFSum(), plain.GetFSum());  // the scale is found before windowing
  EXPECT_LT(windowed.GetSkalFak(), 1.0f);
}

TEST(Filter, BandPassPassesItsBandAndStopsTheOtherTone) {
  for (double tone : {1275.0, 1700.0}) {
    CFilter g;
    ASSERT_EQ(g.Init(kRate, 1024, 128), 1);
    ASSERT_EQ(g.CreateBP(1250, 1300, kFilterWindowHann), 1);
    Block in(dsptest::Cosine(8192, tone, kRate, 1000.0)), out(8192);
    g.Filter(in.get(), out.get(), 1);
    const double gain = dsptest::ToneAmplitude(out.vec(), tone, kRate, 256) / 1000.0;
    if (tone == 1275.0)
      EXPECT_GT(gain, 0.3) << "pass band";
    else
      EXPECT_LT(gain, 0.003) << "425 Hz away";
  }
}

TEST(Filter, BlocksOfAnySizeFormOneSignal) {
  const std::vector<float> x = dsptest::Cosine(3000, 700, kRate, 5000.0);
  CFilter whole, pieces;
  for (CFilter* f : {&whole, &pieces}) {
    ASSERT_EQ(f->Init(kRate, 1024, 64), 1);
    ASSERT_EQ(f->CreateTP(900, kFilterWindowHamming), 1);
  }
  Block in(x), out(3000);
  whole.Filter(in.get(), out.get(), 0);
  std::vector<float> joined;
  size_t at = 0;
  for (int n : {1, 7, 1024, 500, 1468}) {
    Block a(std::vector<float>(x.begin() + long(at), x.begin() + long(at) + n)), b(n);
    pieces.Filter(a.get(), b.get(), 0);
    const std::vector<float> v = b.vec();
    joined.insert(joined.end(), v.begin(), v.end());
    at += size_t(n);
  }
  ASSERT_EQ(joined.size(), x.size());
  for (size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(joined[i], out->data[i], 1e-2) << i;
}

TEST(Filter, RefusedDesignsKeepTheFilterThatWasThere) {
  CFilter f;
  Block in(dsptest::Cosine(512, 300, kRate, 100.0)), out(512);
  EXPECT_EQ(f.CreateTP(500, 0), 0);  // no Init yet
  f.Filter(in.get(), out.get(), 0);  // no filter: nothing happens, nothing breaks
  ASSERT_EQ(f.Init(kRate, 512, 1), 1);
  EXPECT_EQ(f.CreateTP(500, 0), 0);  // order below 2
  EXPECT_EQ(f.Init(0, 512, 16), 0);
  EXPECT_EQ(f.Init(kRate, 512, -1), 0);
  ASSERT_EQ(f.Init(kRate, 512, 16), 1);
  ASSERT_EQ(f.CreateTP(500, 0), 1);
  const std::vector<float> taps(17, 0.0f);
  ASSERT_EQ(f.AddCoeff(taps.data()), 1);  // adding nothing renormalises to the same taps
  EXPECT_NEAR(f.GetSkalFak(), 1.0, 1e-6);
}

}  // namespace
