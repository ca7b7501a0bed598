// kestrel decode sstv: pictures from a wave file saved as JPEGs named by their UTC start time,
// the mode read from the VIS or set, pictures cut short saved as far as they came, and clear
// errors for bad arguments and files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <utime.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "spl/decoders/sstv_transmitter.h"
#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025;
constexpr double kAmplitude = 12000.0;

// Eight colour bars over the whole picture, red green blue rows top first.
constexpr int kBars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                             {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
std::vector<uint8_t> Bars(int lines) {
  std::vector<uint8_t> c(size_t(320) * lines * 3);
  for (int y = 0; y < lines; ++y)
    for (int x = 0; x < 320; ++x)
      for (int k = 0; k < 3; ++k) c[(size_t(y) * 320 + x) * 3 + k] = uint8_t(kBars[x / 40][k]);
  return c;
}

// The transmitter as it starts (Robot 72 in the 601 studio range).
void AppendTransmission(std::vector<float>& s, int mode) {
  CSstvTransmitter tx;
  ASSERT_TRUE(tx.Init(mode, kRate, 0.0, kAmplitude));
  const int lines = tx.GetLines();
  const std::vector<uint8_t> bars = Bars(lines);
  ASSERT_TRUE(tx.SetPicture(bars.data(), 320, lines));
  ASSERT_TRUE(tx.Transmit(s));
}

void AppendNoise(std::vector<float>& s, double seconds, uint64_t seed) {
  sigtest::CGaussNoise g(seed);
  for (long i = 0; i < long(seconds * kRate); ++i) s.push_back(float(300.0 * g.Next()));
}

// Writes the samples and dates the file so that the recording began at `start` (UTC).
std::string WriteRecording(const sigtest::TempDir& dir, const std::string& name,
                           const std::vector<float>& s, time_t start) {
  const std::string path = dir.File(name);
  EXPECT_TRUE(sigtest::WriteMonoWav(path, kRate, s));
  struct utimbuf t;
  t.actime = t.modtime = start + time_t(s.size() / kRate);
  EXPECT_EQ(utime(path.c_str(), &t), 0);
  return path;
}

time_t Utc(int y, int mo, int d, int h, int mi, int s) {
  struct tm t = {};
  t.tm_year = y - 1900, t.tm_mon = mo - 1, t.tm_mday = d;
  t.tm_hour = h, t.tm_min = mi, t.tm_sec = s;
  return timegm(&t);
}

std::vector<std::string> Files(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The mean colour of the middle of bar `bar` in the saved picture, 0x00BBGGRR per channel.
void BarColour(const std::string& jpeg, int bar, int rgb[3]) {
  CDibSection dib;
  HBITMAP pic = dib.LoadJpeg(jpeg.c_str());
  ASSERT_NE(pic, nullptr) << jpeg;
  long sum[3] = {};
  int n = 0;
  for (int y = 20; y < 200; y += 10)
    for (int x = bar * 40 + 12; x < bar * 40 + 28; ++x, ++n) {
      const COLORREF c = dib.PixelColor(pic, x, y);
      sum[0] += GetRValue(c), sum[1] += GetGValue(c), sum[2] += GetBValue(c);
    }
  for (int k = 0; k < 3; ++k) rgb[k] = int(sum[k] / n);
  DeleteObject(pic);
}

TEST(SstvTool, TwoPicturesByTheirVisNamedByStartTime) {
  sigtest::TempDir dir;
  std::vector<float> s;
  AppendNoise(s, 2.0, 1);
  AppendTransmission(s, kSstvTxMartin1);
  AppendNoise(s, 70.0, 2);  // the second one starts in the next minutes
  AppendTransmission(s, kSstvTxRobot72);
  AppendNoise(s, 1.0, 3);
  sigtest::AddNoise(s, kRate, 40.0, 4, kAmplitude * kAmplitude / 2.0);
  const std::string wav = WriteRecording(dir, "two.wav", s, Utc(2026, 3, 4, 5, 6, 0));
  const std::string out = dir.File("pictures");
  auto r = sigtest::RunTool("decode sstv --out " + out + " " + wav, false);
  ASSERT_EQ(r.status, 0) << r.out;
  // Martin 1 starts at 05:06:02, Robot 72 about 3 minutes later.
  EXPECT_NE(r.out.find(out + "/SSTV_2026-03-04_05-06.JPG Martin 1 (VIS 44)\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(out + "/SSTV_2026-03-04_05-09.JPG Robot 72 (VIS 12)\n"), std::string::npos)
      << r.out;
  ASSERT_EQ(Files(out),
            (std::vector<std::string>{"SSTV_2026-03-04_05-06.JPG", "SSTV_2026-03-04_05-09.JPG"}));
  for (const char* name : {"/SSTV_2026-03-04_05-06.JPG", "/SSTV_2026-03-04_05-09.JPG"})
    for (int bar = 0; bar < 8; ++bar) {
      int got[3];
      BarColour(out + name, bar, got);
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], kBars[bar][k], 40) << name << " " << bar;
    }

  // Decoding again does not overwrite: "_2" before the extension.
  r = sigtest::RunTool("decode sstv --out " + out + " " + wav, false);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("SSTV_2026-03-04_05-06_2.JPG Martin 1"), std::string::npos) << r.out;
  EXPECT_EQ(Files(out).size(), 4u);

  // On a full disk (files stop growing at 2000 bytes, less than a picture) nothing is left,
  // no empty or cut file, and the reason is told once for both pictures.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const rlimit full{2000, old.rlim_max};
  setrlimit(RLIMIT_FSIZE, &full);
  signal(SIGXFSZ, SIG_IGN);
  r = sigtest::RunTool("decode sstv --out " + out + " " + wav);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(Files(out).size(), 4u);
  const std::string reason = strerror(EFBIG);
  const size_t said = r.out.find(reason);
  EXPECT_NE(said, std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(reason, said + 1), std::string::npos) << r.out;
}

TEST(SstvTool, FixedModeAndStateReports) {
  sigtest::TempDir dir;
  std::vector<float> s;
  AppendNoise(s, 1.0, 5);
  AppendTransmission(s, kSstvTxScottie1);
  AppendNoise(s, 1.0, 6);
  const std::string wav = WriteRecording(dir, "s.wav", s, Utc(2026, 12, 31, 23, 59, 50));
  auto r = sigtest::RunTool("decode sstv --mode scottie1 --out " + dir.path() + " " + wav);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("SSTV_2026-12-31_23-59.JPG Scottie 1 (mode set)"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("kestrel: decode sstv: "), std::string::npos);
  EXPECT_NE(r.out.find("receiving, searching the line syncs"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("receiving, in sync"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("waiting for a picture"), std::string::npos) << r.out;
}

TEST(SstvTool, WaveEndingInsideALineSavesThePartialPicture) {
  sigtest::TempDir dir;
  std::vector<float> s;
  AppendNoise(s, 0.5, 7);
  AppendTransmission(s, kSstvTxMartin1);
  s.resize(s.size() * 2 / 5 + 333);  // stops inside line 95 or so, mid-block
  const std::string wav = WriteRecording(dir, "cut.wav", s, Utc(2026, 1, 2, 3, 4, 5));
  auto r = sigtest::RunTool("decode sstv --out " + dir.path() + " " + wav, false);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("SSTV_2026-01-02_03-04.JPG Martin 1 (VIS 44), "), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(" of 256 lines\n"), std::string::npos) << r.out;
  int got[3];
  BarColour(dir.File("SSTV_2026-01-02_03-04.JPG"), 1, got);  // rows 20 ... 190: part is black
  EXPECT_GT(got[0], 60);
  EXPECT_LT(got[2], 60);
}

// Robot 72 as the transmitter sends it by default (601 studio range, as Robot equipment does):
// the default decoding gives the bars back; --ycc 709 reads them with the full-range equations,
// white comes out gray.
TEST(SstvTool, Robot72ColourMatrixChoice) {
  sigtest::TempDir dir;
  std::vector<float> s;
  AppendNoise(s, 0.5, 9);
  AppendTransmission(s, kSstvTxRobot72);
  AppendNoise(s, 0.5, 10);
  const std::string wav = WriteRecording(dir, "r.wav", s, Utc(2026, 5, 6, 7, 8, 0));
  int worst[2] = {};
  const char* options[2] = {"", "--ycc 709"};
  for (int run = 0; run < 2; ++run) {
    const std::string out = dir.File(std::to_string(run));
    auto r = sigtest::RunTool("decode sstv " + std::string(options[run]) + " --out " + out +
                              " " + wav, false);
    ASSERT_EQ(r.status, 0) << r.out;
    for (int bar = 0; bar < 8; ++bar) {
      int got[3];
      BarColour(out + "/SSTV_2026-05-06_07-08.JPG", bar, got);
      for (int k = 0; k < 3; ++k)
        worst[run] = std::max(worst[run], std::abs(got[k] - kBars[bar][k]));
    }
  }
  EXPECT_LE(worst[0], 12);  // JPEG included
  EXPECT_GT(worst[1], 15);
}

TEST(SstvTool, NoiseOnlyAndBadInput) {
  sigtest::TempDir dir;
  std::vector<float> s;
  AppendNoise(s, 20.0, 8);
  for (float& v : s) v *= 20.0f;
  const std::string wav = WriteRecording(dir, "noise.wav", s, Utc(2026, 1, 1, 0, 0, 0));
  const std::string out = dir.File("out");
  auto r = sigtest::RunTool("decode sstv --out " + out + " " + wav);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("no SSTV picture found"), std::string::npos) << r.out;
  EXPECT_TRUE(Files(out).empty());

  // One of each kind: an impossible option, a missing argument, a missing file, a rate too low.
  ASSERT_TRUE(sigtest::WriteMonoWav(dir.File("slow.wav"), 4000, std::vector<float>(4000, 0.0f)));
  const struct {
    std::string args, says;
  } bad[] = {
      {"--mode martin2 --out " + out + " " + wav, "kestrel: decode sstv: unknown mode 'martin2'"},
      {"--ycc 2020 --out " + out + " " + wav, "--ycc is 601 or 709, not 2020"},
      {wav, "--out DIR and one wave file wanted"},
      {"--out " + out + " " + dir.File("missing.wav"), "kestrel: " + dir.File("missing.wav") + ": "},
      {"--out " + out + " " + dir.File("slow.wav"), "4000 Hz sampling is too low"},
  };
  for (const auto& b : bad) {
    r = sigtest::RunTool("decode sstv " + b.args);
    EXPECT_EQ(r.status, 2) << b.args;
    EXPECT_NE(r.out.find(b.says), std::string::npos) << r.out;
  }
}

}  // namespace
