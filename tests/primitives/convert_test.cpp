#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "error_recorder.h"
#include "spl/primitives/nspcvrts.h"

namespace {

// Element i of an array of 8- or 16-bit integers.
long long Element(const void* p, int i, int bits, bool is_unsigned) {
  if (bits == 8) return is_unsigned ? static_cast<const uint8_t*>(p)[i] : static_cast<const int8_t*>(p)[i];
  return is_unsigned ? static_cast<const uint16_t*>(p)[i] : static_cast<const int16_t*>(p)[i];
}

class ConvertTest : public ::testing::Test {
 protected:
  ErrorRecorder errors_;
};

TEST_F(ConvertTest, RoundToNearestSendsHalvesToEven) {
  const float src[] = {2.5f, -2.5f, 3.5f, 40000.0f, 0.49999997f, -0.5f, 1.5f, -32768.5f};
  int16_t dst[8];
  for (int16_t& v : dst) v = 1234;
  nspsbFloatToInt(src, dst, 8, 16, NSP_ROUND);
  // 40000 is out of range and not clipped: not written.
  EXPECT_EQ(std::vector<int16_t>(dst, dst + 8), (std::vector<int16_t>{2, -2, 4, 1234, 0, 0, 2, -32768}));
  EXPECT_EQ(errors_.Count(), 0u);  // no overflow report unless asked for
}

TEST_F(ConvertTest, RangeLimitsPerSize) {
  struct Case {
    int bits, flags;
    float lowestIn, firstOut, below;  // lowest accepted, first rejected above, rejected below
  };
  const Case cases[] = {
      {16, NSP_ROUND, -32768.5f, 32767.5f, -32769.0f},
      {8, NSP_ROUND, -128.5f, 127.5f, -129.0f},
      {8, NSP_ROUND | NSP_UNSIGNED, -0.5f, 255.5f, -0.75f},
      {16, NSP_ROUND | NSP_UNSIGNED, -0.5f, 65535.5f, -0.75f},
  };
  for (const Case& c : cases) {
    const float src[3] = {c.lowestIn, c.firstOut, c.below};
    uint8_t out[12];
    std::memset(out, 0xA5, sizeof out);
    nspsbFloatToInt(src, out, 3, c.bits, c.flags);
    const int size = c.bits / 8;
    EXPECT_NE(out[0] == 0xA5 && out[size - 1] == 0xA5, true) << c.bits << " lowest not written";
    for (int b = size; b < 3 * size; ++b) EXPECT_EQ(out[b], 0xA5) << c.bits << " byte " << b;
    // With clip the rejected values become the limits.
    int32_t clipped[3] = {0, 0, 0};
    nspsbFloatToInt(src, clipped, 3, c.bits, c.flags | NSP_CLIP);
    const bool is_unsigned = c.flags & NSP_UNSIGNED;
    const long long lo = is_unsigned ? 0 : -(1LL << (c.bits - 1));
    const long long hi = is_unsigned ? (1LL << c.bits) - 1 : (1LL << (c.bits - 1)) - 1;
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(Element(clipped, i, c.bits, is_unsigned), i == 1 ? hi : lo) << c.bits << " " << i;
  }
  EXPECT_EQ(errors_.Count(), 0u);
}

TEST_F(ConvertTest, RoundingModes) {
  const float src[] = {2.7f, -2.7f, 2.2f, -2.2f, 3.0f};
  struct Case {
    int flag;
    int32_t want[5];
  };
  const Case cases[] = {{NSP_ROUND, {3, -3, 2, -2, 3}},
                        {NSP_TRUNC, {2, -2, 2, -2, 3}},
                        {NSP_FLOOR, {2, -3, 2, -3, 3}},
                        {NSP_CEIL, {3, -2, 3, -2, 3}}};
  for (const Case& c : cases) {
    int32_t out[5];
    nspsbFloatToInt(src, out, 5, 32, c.flag);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], c.want[i]) << c.flag << " " << i;
  }
  // Truncation accepts values up to (not including) the next integer past the limit.
  const float edge[] = {32767.9f, -32768.9f, 32768.0f};
  int16_t out[3] = {1, 1, 1};
  nspsbFloatToInt(edge, out, 3, 16, NSP_TRUNC);
  EXPECT_EQ(std::vector<int16_t>(out, out + 3), (std::vector<int16_t>{32767, -32768, 1}));
}

TEST_F(ConvertTest, NanIsNeverWrittenAsANumber) {
  const float src[] = {std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity()};
  int16_t out[2] = {9, 9};
  nspsbFloatToInt(src, out, 2, 16, NSP_ROUND);
  EXPECT_EQ(out[0], 9);
  EXPECT_EQ(out[1], 9);
  nspsbFloatToInt(src, out, 2, 16, NSP_ROUND | NSP_CLIP);
  EXPECT_EQ(out[1], 32767);
}

TEST_F(ConvertTest, OverflowIsReportedOnlyOnRequest) {
  const float src[] = {1.0f, 1e6f, -1e6f};
  int16_t out[3];
  nspsbFloatToInt(src, out, 3, 16, NSP_ROUND | NSP_CLIP | NSP_OVERFLOW);
  ASSERT_EQ(errors_.Count(), 1u);
  EXPECT_EQ(errors_.Last().context, "A float exceeds an integer");
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 32767);
  EXPECT_EQ(out[2], -32768);
}

TEST_F(ConvertTest, BadFlagsAndSizes) {
  const float src[2] = {1, 2};
  int16_t out[2] = {7, 7};
  for (int flags : {0, NSP_ROUND | NSP_TRUNC, NSP_CLIP, NSP_FLOOR | NSP_CEIL, NSP_ROUND | 1}) {
    errors_.Clear();
    nspsbFloatToInt(src, out, 2, 16, flags);
    ASSERT_EQ(errors_.Count(), 1u) << flags;
    EXPECT_EQ(errors_.Last().context, "Invalid conversion flag");
  }
  for (int bits : {0, 7, 12, 24, 64}) {
    errors_.Clear();
    nspsbFloatToInt(src, out, 2, bits, NSP_ROUND);
    ASSERT_EQ(errors_.Count(), 1u) << bits;
    EXPECT_EQ(errors_.Last().context, "Invalid size of an integer");
    errors_.Clear();
    float f[2] = {5, 5};
    nspsbIntToFloat(out, f, 2, bits, 0);
    ASSERT_EQ(errors_.Count(), 1u);
    EXPECT_EQ(errors_.Last().context, "Invalid size of an integer");
    EXPECT_EQ(f[0], 5.0f);
  }
  errors_.Clear();
  float f[2] = {5, 5};
  nspsbIntToFloat(out, f, 2, 16, NSP_ROUND);
  EXPECT_EQ(errors_.Last().context, "Invalid conversion flag");
  EXPECT_EQ(out[0], 7);
  EXPECT_EQ(f[0], 5.0f);
}

TEST_F(ConvertTest, IntToFloatKeepsValues) {
  const uint8_t bytes[] = {200, 0, 255, 128};
  float f[4];
  nspsbIntToFloat(bytes, f, 4, 8, NSP_UNSIGNED);
  EXPECT_EQ(f[0], 200.0f);
  EXPECT_EQ(f[2], 255.0f);
  nspsbIntToFloat(bytes, f, 4, 8, 0);
  EXPECT_EQ(f[0], -56.0f);
  EXPECT_EQ(f[3], -128.0f);
  const int16_t shorts[] = {-32768, 32767, -1, 0};
  nspsbIntToFloat(shorts, f, 4, 16, 0);
  EXPECT_EQ(f[0], -32768.0f);
  EXPECT_EQ(f[1], 32767.0f);
  nspsbIntToFloat(shorts, f, 4, 16, NSP_UNSIGNED);
  EXPECT_EQ(f[0], 32768.0f);
  EXPECT_EQ(f[2], 65535.0f);
  const int32_t ints[] = {-2000000000, 16777217, 5, -5};
  nspsbIntToFloat(ints, f, 4, 32, 0);
  EXPECT_EQ(f[0], -2000000000.0f);
  EXPECT_EQ(f[1], 16777216.0f);
  const uint32_t uints[] = {4000000000u, 1, 2, 3};
  nspsbIntToFloat(uints, f, 4, 32, NSP_UNSIGNED);
  EXPECT_EQ(f[0], 4000000000.0f);
  EXPECT_EQ(errors_.Count(), 0u);
}

TEST_F(ConvertTest, RoundTripOfAudioSamples) {
  std::vector<int16_t> in(65536), out(65536);
  for (int i = 0; i < 65536; ++i) in[i] = static_cast<int16_t>(i - 32768);
  std::vector<float> f(65536);
  nspsbIntToFloat(in.data(), f.data(), 65536, 16, 0);
  nspsbFloatToInt(f.data(), out.data(), 65536, 16, NSP_ROUND);
  EXPECT_EQ(in, out);
}

}  // namespace
