// kestrel equalize and kestrel squelch over wave files.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025;

std::vector<float> Tone(int n, double f, double amplitude) {
  std::vector<float> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[size_t(i)] = float(amplitude * std::sin(2 * M_PI * f * i / kRate));
  return v;
}

TEST(EqualizeTool, CutsTheRangeAndKeepsTheRestInStep) {
  sigtest::TempDir dir;
  const int n = 5 * kRate + 333;  // the last block is short
  std::vector<float> keep = Tone(n, 1000.0, 8000.0), cut = Tone(n, 2000.0, 8000.0), mix(keep);
  for (size_t i = 0; i < mix.size(); ++i) mix[i] += cut[i];
  ASSERT_TRUE(sigtest::WriteMonoWav(dir.File("in.wav"), kRate, mix));
  sigtest::ToolResult r = sigtest::RunTool("equalize " + dir.File("in.wav") + " " +
                                           dir.File("out.wav") + " --range 1800-2200:0 --save " +
                                           dir.File("c.equ"));
  ASSERT_EQ(r.status, 0) << r.out;
  const std::vector<float> out = sigtest::ReadMonoWav(dir.File("out.wav"));
  ASSERT_EQ(out.size(), mix.size());
  // Aligned with the input: what is left is the 1000 Hz tone, sample for sample, apart from the
  // small seams that block-wise fast convolution leaves (about -22 dB here).
  double err = 0, ref = 0;
  for (size_t i = 4096; i + 4096 < out.size(); ++i) {
    err += (out[i] - keep[i]) * (out[i] - keep[i]);
    ref += keep[i] * keep[i];
  }
  EXPECT_LT(10 * std::log10(err / ref), -20.0);

  // The saved curve does the same.
  r = sigtest::RunTool("equalize " + dir.File("in.wav") + " " + dir.File("out2.wav") + " --curve " +
                       dir.File("c.equ"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(sigtest::ReadMonoWav(dir.File("out2.wav")), out);

  r = sigtest::RunTool("equalize " + dir.File("in.wav") + " " + dir.File("x.wav") + " --range 0-9000:0");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("lies outside 0 ... 5512 Hz"), std::string::npos) << r.out;
  r = sigtest::RunTool("equalize " + dir.File("in.wav") + " " + dir.File("x.wav") + " --range 300:0");
  EXPECT_EQ(r.status, 2);
  r = sigtest::RunTool("equalize " + dir.File("in.wav") + " " + dir.File("x.wav") + " --curve " +
                       dir.File("none.equ"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("cannot open"), std::string::npos) << r.out;
}

TEST(SquelchTool, ToneBlocksRiseAboveNoiseBlocks) {
  sigtest::TempDir dir;
  std::vector<float> s(2048, 0.0f);
  sigtest::AddNoise(s, kRate, 0.0, 3, 1e6);
  const std::vector<float> tone = Tone(2048, 1500.0, 8000.0);
  s.insert(s.end(), tone.begin(), tone.end());
  ASSERT_TRUE(sigtest::WriteMonoWav(dir.File("s.wav"), kRate, s));
  sigtest::ToolResult r = sigtest::RunTool("squelch " + dir.File("s.wav"));
  ASSERT_EQ(r.status, 0) << r.out;
  std::vector<int> levels;
  for (size_t at = r.out.find('\n'); at != std::string::npos && at + 1 < r.out.size();
       at = r.out.find('\n', at + 1)) {
    double t = 0, m = 0;
    int level = 0;
    if (sscanf(r.out.c_str() + at + 1, "%lf %lf %d", &t, &m, &level) == 3) levels.push_back(level);
  }
  ASSERT_EQ(levels.size(), 4u) << r.out;
  EXPECT_LT(levels[0], 160);
  EXPECT_LT(levels[1], 160);
  EXPECT_GT(levels[2], 220);
  EXPECT_GT(levels[3], 220);
  EXPECT_EQ(sigtest::RunTool("squelch " + dir.File("s.wav") + " --block 1000").status, 2);
}

}  // namespace
