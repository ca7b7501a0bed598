// The Hilbert transformer and the frequency shifter.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spl/dsp/frq_shift.h"
#include "spl/dsp/hilbert.h"
#include "tests/dsp/dsp_test_util.h"

namespace {

using dsptest::Block;

constexpr int kRate = 11025;
constexpr int kN = 1024;

TEST(Hilbert, BinCosineComesOutAsMinusSineHalfABlockLate) {
  CHilbert h;
  ASSERT_EQ(h.Init(kRate, kN), 1);
  const double f = 40.0 * kRate / (2 * kN);  // bin 40 of the 2n-point transform
  for (int blk = 0; blk < 3; ++blk) {
    Block b(dsptest::Cosine(kN, f, kRate, 1000.0, blk * kN));
    h.Shift(b.get());
    if (blk == 0) continue;  // the window still holds zeros
    for (int i = 0; i < kN; ++i) {
      const double t = blk * kN + i - kN / 2;
      EXPECT_NEAR(b->data[i], -1000.0 * std::sin(2 * M_PI * f * t / kRate), 0.5) << blk << " " << i;
    }
  }
}

TEST(Hilbert, RefusesBlockSizesTheTransformCannotTake) {
  CHilbert h;
  EXPECT_EQ(h.Init(kRate, 1000), 0);
  EXPECT_EQ(h.Init(kRate, 1), 0);
  EXPECT_EQ(h.Init(0, 1024), 0);
  Block b(kN);
  h.Shift(b.get());  // not initialised: nothing happens
  ASSERT_EQ(h.Init(kRate, 256), 1);
}

TEST(FrqShift, ToneAtFInComesOutAtTheShiftMinusFIn) {
  CFrqShift s;
  const float shift = 3000.0f;
  ASSERT_EQ(s.Init(shift, kRate, kN), 1);
  const double f_in = 1900.0;
  std::vector<float> out;
  for (int blk = 0; blk < 8; ++blk) {
    Block b(dsptest::Cosine(kN, f_in, kRate, 1000.0, blk * kN));
    s.Shift(b.get());
    if (blk >= 2) out.insert(out.end(), b->data, b->data + kN);
  }
  const double wanted = dsptest::ToneAmplitude(out, shift - f_in, kRate);
  const double image = dsptest::ToneAmplitude(out, shift + f_in, kRate);
  EXPECT_NEAR(wanted, 1000.0, 60.0);
  EXPECT_LT(image, 0.05 * wanted);  // single sideband: the other image is suppressed
}

}  // namespace
