// kestrel transmit sstv: wave files of the built-in chart and of a BMP picture, their length
// at other rates and with a clock error, a tone of a known pixel, and the refusals. The tones
// of every line element are the transmitter's own tests.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <vector>

#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"

namespace {

using sigtest::RunTool;

constexpr double kHeaderMs = 910.0;

double FrequencyAt(const std::vector<float>& s, int rate, double from_ms, double to_ms) {
  std::vector<double> c;
  const size_t a = size_t(from_ms * rate / 1000.0), b = size_t(to_ms * rate / 1000.0);
  for (size_t i = a + 1; i < b && i < s.size(); ++i)
    if ((s[i - 1] < 0.0f) != (s[i] < 0.0f))
      c.push_back(double(i - 1) + double(s[i - 1]) / (double(s[i - 1]) - double(s[i])));
  if (c.size() < 3) return 0.0;
  return double(c.size() - 1) / (2.0 * (c.back() - c.front())) * rate;
}

double ValueHz(double v) { return 1500.0 + v * 800.0 / 255.0; }

TEST(SstvTxTool, ChartInRobot72) {
  sigtest::TempDir dir;
  const std::string wav = dir.File("r72.wav");
  auto t = RunTool("transmit sstv --mode robot72 --chart -o " + wav);
  ASSERT_EQ(t.status, 0) << t.out;
  EXPECT_NE(t.out.find("Robot 72 (VIS 12), 240 lines"), std::string::npos) << t.out;
  int rate = 0;
  const std::vector<float> s = sigtest::ReadMonoWav(wav, &rate);
  EXPECT_EQ(rate, 11025);
  EXPECT_NEAR(double(s.size()), (kHeaderMs + 240 * 300.0) * 11.025, 1.0);
  // Line 20: the first bar is white, Y at the top of the studio range 16 ... 235.
  const double line = kHeaderMs + 20 * 300.0 + 12.0;
  EXPECT_NEAR(FrequencyAt(s, rate, line + 2, line + 15), ValueHz(235), 3);
}

TEST(SstvTxTool, BmpPictureAtAnotherRateWithClockError) {
  sigtest::TempDir dir;
  const std::string bmp = dir.File("p.bmp"), wav = dir.File("m1.wav");
  CDibSection dib;
  HBITMAP h = dib.Create(100, 80, 24, RGB(200, 40, 120));  // any size, scaled to 320 x 256
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(dib.SaveFile(bmp.c_str(), h), 1);
  DeleteObject(h);
  auto t = RunTool("transmit sstv --mode martin1 --picture " + bmp +
                   " --rate 22050 --clock-ppm 1000 -o " + wav);
  ASSERT_EQ(t.status, 0) << t.out;
  int rate = 0;
  const std::vector<float> s = sigtest::ReadMonoWav(wav, &rate);
  EXPECT_EQ(rate, 22050);
  const double k = 1.001;  // the sender's clock runs fast: everything shorter by this
  EXPECT_NEAR(double(s.size()), (kHeaderMs + 256 * 446.446) / k * 22.05, 1.0);
  // Line 100: the red scan, third after sync, porch, green and blue.
  const double red = kHeaderMs + 100 * 446.446 + 4.862 + 3 * 0.572 + 2 * 146.432;
  EXPECT_NEAR(FrequencyAt(s, rate, (red + 5) / k, (red + 140) / k), ValueHz(200) * k, 2);
}

TEST(SstvTxTool, Refusals) {
  sigtest::TempDir dir;
  const std::string wav = dir.File("x.wav"), text = dir.File("not.bmp");
  std::ofstream(text) << "not a picture\n";
  struct Case {
    std::string args, message;
  } cases[] = {
      {"--mode martin2 --chart -o " + wav, "transmit sstv: unknown mode martin2"},
      {"--mode martin1 --chart", "--mode and -o are needed"},
      {"--mode martin1 --chart --picture " + text + " -o " + wav, "one of --picture and --chart"},
      {"--mode martin1 --chart --clock-ppm 20000 -o " + wav, "transmit sstv:"},
      {"--mode robot72 --picture " + text + " -o " + wav, "not.bmp:"},
      {"--mode robot72 --chart -o " + dir.File("no/such/dir.wav"), "dir.wav"},
  };
  for (const Case& c : cases) {
    auto r = RunTool("transmit sstv " + c.args);
    EXPECT_EQ(r.status, 2) << c.args << ": " << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << ": " << r.out;
  }
}

}  // namespace
