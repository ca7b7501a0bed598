// kestrel transmit sstv: wave files of the built-in chart and of a BMP picture, their length
// at other rates and with a clock error, the tones of known pixels, and the refusals.
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
  // Line 20: the first bar is white, the last black; Y in the studio range 16 ... 235.
  const double line = kHeaderMs + 20 * 300.0 + 12.0;
  EXPECT_NEAR(FrequencyAt(s, rate, line + 2, line + 15), ValueHz(235), 3);
  EXPECT_NEAR(FrequencyAt(s, rate, line + 123, line + 136), ValueHz(16), 3);
  // Row 230 is on the gray ramp: the middle of its Y scan is mid-gray.
  const double ramp = kHeaderMs + 230 * 300.0 + 12.0;
  EXPECT_NEAR(FrequencyAt(s, rate, ramp + 66, ramp + 72), ValueHz(16 + 219 * 0.5), 12);
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
  // Line 100: green, blue, red scans after sync and porch.
  const double g = kHeaderMs + 100 * 446.446 + 4.862 + 0.572;
  const double scan = 146.432 + 0.572;
  EXPECT_NEAR(FrequencyAt(s, rate, (g + 5) / k, (g + 140) / k), ValueHz(40) * k, 2);
  EXPECT_NEAR(FrequencyAt(s, rate, (g + scan + 5) / k, (g + scan + 140) / k), ValueHz(120) * k, 2);
  EXPECT_NEAR(FrequencyAt(s, rate, (g + 2 * scan + 5) / k, (g + 2 * scan + 140) / k),
              ValueHz(200) * k, 2);
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
      {"--chart -o " + wav, "--mode and -o are needed"},
      {"--mode martin1 -o " + wav, "one of --picture and --chart"},
      {"--mode martin1 --chart --picture " + text + " -o " + wav, "one of --picture and --chart"},
      {"--mode martin1 --chart --rate 3000 -o " + wav, "transmit sstv:"},
      {"--mode martin1 --chart --clock-ppm 20000 -o " + wav, "transmit sstv:"},
      {"--mode robot72 --chart --ycc 2020 -o " + wav, "--ycc is 601 or 709"},
      {"--mode robot72 --picture " + dir.File("missing.bmp") + " -o " + wav, "missing.bmp:"},
      {"--mode robot72 --picture " + text + " -o " + wav, "not.bmp:"},
      {"--mode robot72 --chart -o " + dir.File("no/such/dir.wav"), "dir.wav"},
      {"--mode robot72 --chart --bogus 1 -o " + wav, "transmit sstv:"},
  };
  for (const Case& c : cases) {
    auto r = RunTool("transmit sstv " + c.args);
    EXPECT_EQ(r.status, 2) << c.args << ": " << r.out;
    EXPECT_NE(r.out.find("kestrel: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << ": " << r.out;
  }
  auto help = RunTool("transmit sstv --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("martin1|scottie1|sc2-180|robot72"), std::string::npos);
}

// The demo's SSTV step: the chart received through the live audio loop and saved as JPEG.
TEST(SstvTxTool, DemoReceivesTheChart) {
  sigtest::TempDir dir;
  auto r = RunTool("demo --seconds 1 --out " + dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("(VIS 12), saved as " + dir.File("sstv_robot72.jpg")), std::string::npos)
      << r.out;
  CDibSection dib;
  HBITMAP h = dib.LoadFile(dir.File("sstv_robot72.jpg").c_str());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(dib.Width(h), 320);
  EXPECT_EQ(std::abs(dib.Height(h)), 240);
  // The yellow bar (second of eight) and the blue one (seventh), half way down the bars.
  const COLORREF yellow = dib.PixelColor(h, 60, 90), blue = dib.PixelColor(h, 260, 90);
  EXPECT_GT(GetRValue(yellow), 170);
  EXPECT_GT(GetGValue(yellow), 170);
  EXPECT_LT(GetBValue(yellow), 100);
  EXPECT_LT(GetRValue(blue), 100);
  EXPECT_GT(GetBValue(blue), 170);
  DeleteObject(h);
}

}  // namespace
