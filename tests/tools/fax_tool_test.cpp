// kestrel transmit fax / decode fax: a chart sent, noise added, received back into BMP files
// named by the picture's UTC start; the states on standard error, cut-off recordings, module
// switching by the 675 Hz start tone, every module and drum speed, the AM demodulators, a full
// disk and refused input.
#include <sys/resource.h>
#include <sys/stat.h>
#include <utime.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "spl/dsp/block_resampler.h"
#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025;
constexpr int kChartW = 905, kChartH = 60;  // sent at 576 it becomes 1810 x 120

// A weather-chart-like picture: meridians, parallels, a gray band and text. Columns are spaced
// irregularly: a regular pattern across the line has a comb of harmonics at the pixel rate, and
// one of them on 300 Hz for five lines reads as a start tone (as it would on the air).
std::vector<uint8_t> ChartLuminance(int w, int h) {
  constexpr int kMeridians[] = {0, 137, 301, 422, 598, 689, 833};
  constexpr int kText[][2] = {{40, 70}, {95, 118}, {160, 230}, {350, 371}, {640, 700}, {760, 790}};
  std::vector<uint8_t> c(size_t(w) * h, 255);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t v = 255;
      for (int m : kMeridians) v = x >= m && x < m + 4 ? 0 : v;
      if (y == 7 || y == 23 || y == 44) v = 0;
      if (y > 25 && y < 40 && x > 300 && x < 600) v = 128;
      if (y > 46 && (y / 3) % 2 == 0)
        for (auto& t : kText) v = x >= t[0] && x < t[1] ? 0 : v;
      c[size_t(y) * w + x] = v;
    }
  return c;
}

// Saves the luminance as an 8-bit gray BMP.
bool SaveGray(const std::string& path, const std::vector<uint8_t>& lum, int w, int h) {
  CDibSection dib;
  HBITMAP b = dib.Create(w, h, 8);
  if (!b) return false;
  RGBQUAD gray[256];
  for (int i = 0; i < 256; ++i) gray[i] = RGBQUAD{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  dib.SetPalette(b, gray, 256);
  for (int y = 0; y < h; ++y)
    std::copy(lum.begin() + size_t(y) * w, lum.begin() + size_t(y + 1) * w,
              dib.AdrH(b) + size_t(h - 1 - y) * dib.BPL(b));
  const bool ok = dib.SaveFile(path.c_str(), b) == 1;
  DeleteObject(b);
  return ok;
}

// The luminance of a saved picture (rows top first) through its palette.
std::vector<uint8_t> LoadLuminance(const std::string& path, int& w, int& h) {
  CDibSection dib;
  HBITMAP b = dib.LoadFile(path.c_str());
  std::vector<uint8_t> lum;
  w = h = 0;
  if (!b) return lum;
  w = dib.Width(b), h = std::abs(dib.Height(b));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) lum.push_back(uint8_t(GetGValue(dib.PixelColor(b, x, y))));
  DeleteObject(b);
  return lum;
}

// PSNR of a received picture against the chart sent, both at the line width w; the received
// rows form one pixel stream (the line start found by the phasing need not be column 0), so the
// best offset of the stream into the chart is searched, coarsely and then at full resolution.
double StreamPsnr(const std::vector<uint8_t>& want, int wantRows, const std::vector<uint8_t>& got,
                  int w, int firstCol = 0) {
  const long long size = (long long)got.size();
  auto mse = [&](long long o, int d) {
    double c = 0.0;
    long long n = 0, all = 0;
    for (int y = 0; y < wantRows; y += d)
      for (int x = firstCol; x < w; x += d) {
        ++all;
        const long long at = o + (long long)y * w + x;
        if (at < 0 || at >= size) continue;
        const double e = double(want[size_t(y) * w + x]) - got[size_t(at)];
        c += e * e, ++n;
      }
    return n * 10 >= all * 9 ? c / n : 1e300;
  };
  long long best = 0;
  double best_mse = 1e300;
  for (long long o = -8LL * w; o < 8LL * w; ++o) {
    const double m = mse(o, 6);
    if (m < best_mse) best_mse = m, best = o;
  }
  const long long around = best;
  for (long long o = around - 5; o <= around + 5; ++o) best_mse = std::min(best_mse, mse(o, 1));
  return 10.0 * std::log10(255.0 * 255.0 / (best_mse + 1e-12));
}

// The chart as it is sent: resampled to xSize by the nearest column and row (the tool scales
// a 2:1 enlargement exactly this way up to rounding at the pixel edges).
std::vector<uint8_t> Enlarged(const std::vector<uint8_t>& c, int w, int h, int W, int H) {
  std::vector<uint8_t> e(size_t(W) * H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) e[size_t(y) * W + x] = c[size_t(y * h / H) * w + x * w / W];
  return e;
}

// The written picture files named on standard output.
std::vector<std::string> Pictures(const std::string& out) {
  std::vector<std::string> files;
  std::istringstream lines(out);
  for (std::string l; std::getline(lines, l);)
    if (l.find("FAX_") != std::string::npos && l.size() > 4 && l.substr(l.size() - 4) == ".BMP")
      files.push_back(l);
  return files;
}

void SetModified(const std::string& path, time_t t) {
  struct utimbuf u {t, t};
  utime(path.c_str(), &u);
}

// While it lives, files the tools write stop growing at `bytes`, as on a disk that fills up
// (the write fails with EFBIG instead of ENOSPC; the signal for it is ignored).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    const rlimit low{bytes, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &low);
    signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, SIG_DFL);
  }

 private:
  rlimit old_{};
};

class FaxTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    chart_ = ChartLuminance(kChartW, kChartH);
    picture_ = dir_.path() + "/chart.bmp";
    ASSERT_TRUE(SaveGray(picture_, chart_, kChartW, kChartH));
    out_ = dir_.path() + "/out";
    std::filesystem::create_directory(out_);
  }
  // Sends the chart into a wave file and reads the samples back.
  std::vector<float> Send(const std::string& options, const std::string& wav) {
    auto r = sigtest::RunTool("transmit fax " + options + " --picture " + picture_ + " -o " + wav);
    EXPECT_EQ(r.status, 0) << r.out;
    int rate = 0;
    std::vector<float> s = sigtest::ReadMonoWav(wav, &rate);
    EXPECT_FALSE(s.empty());
    EXPECT_EQ(rate, kRate);
    return s;
  }
  // s taken from rate `from` to rate `to` by the library's resampler.
  static std::vector<float> Resampled(const std::vector<float>& s, double from, int to) {
    std::vector<float> out;
    CBlockResampler resampler;
    EXPECT_EQ(resampler.Init(from, to, 1024), 1);
    const auto keep = [&out](AudioBlock* b) { out.insert(out.end(), b->data, b->data + b->count); };
    resampler.Push(s.data(), int(s.size()), keep);
    resampler.Flush(keep);
    return out;
  }
  // s written to wav at rate and decoded with options into a fresh out_: the one picture's
  // PSNR against the chart as sent (0.0 unless there is exactly one); *said gets the output.
  double ReceivedPsnr(const std::vector<float>& s, int rate, const std::string& wav,
                      const std::string& options, std::string* said = nullptr) {
    std::filesystem::remove_all(out_);
    std::filesystem::create_directory(out_);
    EXPECT_TRUE(sigtest::WriteMonoWav(wav, rate, s));
    const auto r = sigtest::RunTool("decode fax " + options + " --out " + out_ + " " + wav);
    EXPECT_EQ(r.status, 0) << r.out;
    if (said) *said = r.out;
    const std::vector<std::string> files = Pictures(r.out);
    if (files.size() != 1u) return 0.0;
    int w = 0, h = 0;
    const std::vector<uint8_t> got = LoadLuminance(files[0], w, h);
    const std::vector<uint8_t> want = Enlarged(chart_, kChartW, kChartH, 1810, 2 * kChartH);
    return StreamPsnr(want, std::min(h, 2 * kChartH) - 4, got, w);
  }
  sigtest::TempDir dir_;
  std::vector<uint8_t> chart_;
  std::string picture_, out_;
};

TEST_F(FaxTool, ChartThroughNoiseIntoANamedPicture) {
  const std::string wav = dir_.path() + "/fax.wav";
  std::vector<float> s = Send("", wav);
  ASSERT_GT(s.size(), size_t(kRate) * 90);
  sigtest::AddNoise(s, kRate, 20.0, 11);
  ASSERT_TRUE(sigtest::WriteMonoWav(wav, kRate, s));
  // Recorded from 2025-03-04 08:15:00 UTC: the picture begins after the 5 s start tone and
  // 30 s of phasing, at 08:15:35.
  const double seconds = double(s.size()) / kRate;
  SetModified(wav, time_t(1741076100) + time_t(seconds + 0.5));
  auto r = sigtest::RunTool("decode fax --out " + out_ + " " + wav, false);
  ASSERT_EQ(r.status, 0) << r.out;
  const std::vector<std::string> files = Pictures(r.out);
  ASSERT_EQ(files.size(), 1u) << r.out;
  EXPECT_EQ(files[0], out_ + "/FAX_2025-03-04_08-15.BMP");
  int w = 0, h = 0;
  const std::vector<uint8_t> got = LoadLuminance(files[0], w, h);
  EXPECT_EQ(w, 1810);
  EXPECT_NEAR(h, 2 * kChartH, 3);  // the stop tone's lines are not part of the picture
  const std::vector<uint8_t> want = Enlarged(chart_, kChartW, kChartH, 1810, 2 * kChartH);
  const double p = StreamPsnr(want, 2 * kChartH, got, w);
  printf("decode fax at +20 dB: PSNR %.1f dB\n", p);
  EXPECT_GT(p, 27.0);

  // A second reception of the same minute keeps the first file.
  r = sigtest::RunTool("decode fax --out " + out_ + " " + wav, false);
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(Pictures(r.out).size(), 1u);
  EXPECT_EQ(Pictures(r.out)[0], out_ + "/FAX_2025-03-04_08-15_2.BMP");
}

// A disk too small for the picture keeps its first lines as a shorter readable picture, the
// lines the full one has, and nothing half written.
TEST_F(FaxTool, FullDiskKeepsTheFirstLines) {
  const std::string wav = dir_.path() + "/fax.wav";
  Send("--lpm 240", wav);
  auto r = sigtest::RunTool("decode fax --out " + out_ + " " + wav, false);
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(Pictures(r.out).size(), 1u) << r.out;
  int w = 0, h = 0;
  const std::vector<uint8_t> whole = LoadLuminance(Pictures(r.out)[0], w, h);
  ASSERT_EQ(w, 1810);
  const std::string small = dir_.path() + "/small";
  std::filesystem::create_directory(small);
  constexpr int kLimit = 100000, kHeader = 1078, kRowBytes = 1812;
  {
    FileSizeLimit disk(kLimit);
    r = sigtest::RunTool("decode fax --out " + small + " " + wav);
  }
  EXPECT_EQ(r.status, 1) << r.out;
  const std::vector<std::string> files = Pictures(r.out);
  ASSERT_EQ(files.size(), 1u) << r.out;
  const int fit = (kLimit - kHeader) / kRowBytes;
  EXPECT_NE(r.out.find(files[0] + ": " + std::to_string(fit) + " of " + std::to_string(h) +
                       " lines kept ("),
            std::string::npos)
      << r.out;
  int sw = 0, sh = 0;
  const std::vector<uint8_t> part = LoadLuminance(files[0], sw, sh);
  EXPECT_EQ(sw, w);
  ASSERT_EQ(sh, fit);
  EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin()));
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(small)) ++entries, (void)e;
  EXPECT_EQ(entries, 1);

  // A disk without room leaves nothing, and says why once.
  {
    FileSizeLimit disk(0);
    r = sigtest::RunTool("decode fax --out " + small + " " + wav);
  }
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(Pictures(r.out).empty()) << r.out;
  const std::string reason = strerror(EFBIG);
  const size_t said = r.out.find(reason);
  EXPECT_NE(said, std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(reason, said + 1), std::string::npos) << r.out;
  entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(small)) ++entries, (void)e;
  EXPECT_EQ(entries, 1);
}

TEST_F(FaxTool, StatesOnStandardErrorInOrder) {
  const std::string wav = dir_.path() + "/fax.wav";
  Send("--lpm 240", wav);
  auto r = sigtest::RunTool("decode fax --lpm 240 --out " + out_ + " " + wav);
  ASSERT_EQ(r.status, 0) << r.out;
  size_t at = 0;
  for (const char* state : {"start tone 300 Hz", "phasing", "phasing found, line start aligned",
                            "receiving", "stop tone 450 Hz", "waiting for the start tone"}) {
    const size_t found = r.out.find(state, at);
    ASSERT_NE(found, std::string::npos) << state << "\n" << r.out;
    at = found + 1;
  }
  EXPECT_EQ(Pictures(r.out).size(), 1u);
}

TEST_F(FaxTool, RecordingCutOffMidPictureStillSaves) {
  const std::string wav = dir_.path() + "/fax.wav";
  std::vector<float> s = Send("", wav);
  // Start tone, phasing and 40 of the 120 lines; the cut leaves a short last block.
  s.resize(size_t((35.0 + 20.0) * kRate) + 77);
  ASSERT_TRUE(sigtest::WriteMonoWav(wav, kRate, s));
  auto r = sigtest::RunTool("decode fax --out " + out_ + " " + wav);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("stop tone"), std::string::npos);
  const std::vector<std::string> files = Pictures(r.out);
  ASSERT_EQ(files.size(), 1u) << r.out;
  int w = 0, h = 0;
  const std::vector<uint8_t> got = LoadLuminance(files[0], w, h);
  EXPECT_EQ(w, 1810);
  EXPECT_NEAR(h, 40, 3);
  const std::vector<uint8_t> want = Enlarged(chart_, kChartW, kChartH, 1810, 2 * kChartH);
  EXPECT_GT(StreamPsnr(want, h - 4, got, w), 22.0);
}

// A 675 Hz start tone announces IOC 288: the station switches and its picture has 905 columns.
TEST_F(FaxTool, StartTone675SwitchesToIoc288) {
  const std::string wav = dir_.path() + "/fax.wav";
  Send("--ioc 288", wav);
  auto r = sigtest::RunTool("decode fax --out " + out_ + " " + wav);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("start tone 675 Hz"), std::string::npos) << r.out;
  const std::vector<std::string> files = Pictures(r.out);
  ASSERT_EQ(files.size(), 1u) << r.out;
  int w = 0, h = 0;
  const std::vector<uint8_t> got = LoadLuminance(files[0], w, h);
  EXPECT_EQ(w, 905);
  EXPECT_NEAR(h, kChartH, 3);
  EXPECT_GT(StreamPsnr(chart_, kChartH, got, w), 22.0);
}

TEST_F(FaxTool, AmDemodulatorsReceiveTheWholeFile) {
  const std::string wav = dir_.path() + "/am.wav";
  std::vector<float> s = Send("--am", wav);
  sigtest::AddNoise(s, kRate, 30.0, 5);
  ASSERT_TRUE(sigtest::WriteMonoWav(wav, kRate, s));
  for (const char* mode : {"--am", "--am-envelope"}) {
    auto r = sigtest::RunTool(std::string("decode fax ") + mode + " --out " + out_ + " " + wav,
                              false);
    ASSERT_EQ(r.status, 0) << mode << r.out;
    const std::vector<std::string> files = Pictures(r.out);
    ASSERT_EQ(files.size(), 1u) << r.out;
    int w = 0, h = 0;
    const std::vector<uint8_t> got = LoadLuminance(files[0], w, h);
    EXPECT_EQ(w, 1810);
    // 30 s of burst lines, then the picture; the file is the picture.
    EXPECT_NEAR(h, 60 + 2 * kChartH, 3);
    const std::vector<uint8_t> want = Enlarged(chart_, kChartW, kChartH, 1810, 2 * kChartH);
    const std::vector<uint8_t> tail(got.end() - std::min(got.size(), size_t(w) * (2 * kChartH + 6)),
                                    got.end());
    const double p = StreamPsnr(want, 2 * kChartH, tail, w, 40);  // past the burst
    printf("decode fax %s at +30 dB: PSNR %.1f dB\n", mode, p);
    // The envelope's quadrature path takes its levels from a fit of the burst (33 dB measured).
    EXPECT_GT(p, std::string(mode) == "--am" ? 22.0 : 30.0) << mode;
  }
}

// What a received picture of a black block on white shows: rows crossed by the block (a dark
// run of about the block's width), rows that are white apart from the AM burst at the line
// start, and the first column of the block.
struct BlockSeen {
  int block_rows = 0, white_rows = 0, first_column = -1;
};

BlockSeen SeeBlock(const std::vector<uint8_t>& lum, int w, int h, int block_width) {
  constexpr int kBurstColumns = 50, kDark = 128;
  BlockSeen seen;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = &lum[size_t(y) * w];
    int run = 0, longest = 0, longest_end = 0, dark = 0;
    for (int x = 0; x < w; ++x) {
      run = row[x] < kDark ? run + 1 : 0;
      if (run > longest) longest = run, longest_end = x;
      if (x >= kBurstColumns && row[x] < kDark) ++dark;
    }
    if (std::abs(longest - block_width) * 10 < block_width) {
      ++seen.block_rows;
      if (seen.first_column < 0) seen.first_column = longest_end + 1 - longest;
    } else if (dark * 50 < w) {
      ++seen.white_rows;
    }
  }
  return seen;
}

// Every module at every drum speed through the tool, FM with the module given and left to the
// start tone, and AM (the two demodulators by turns): the picture has the module's width, about
// the lines sent, and the block where it was sent. The tones last six lines: a tone is
// recognised on five consecutive lines, which a 5 s tone at 60 lines a minute gives only just.
// The carrier-peak AM demodulator leaves streaks while its levels settle: only the block is
// asked of it.
TEST_F(FaxTool, EveryModuleAndDrumSpeed) {
  constexpr int kW = 600, kH = 6, kPhasingLines = 6, kToneLines = 6;
  std::vector<uint8_t> block(size_t(kW) * kH, 255);
  for (int y = 2; y < 5; ++y)  // the middle half of the rows, the middle third of the columns
    for (int x = 200; x < 400; ++x) block[size_t(y) * kW + x] = 0;
  const std::string picture = dir_.path() + "/block.bmp";
  ASSERT_TRUE(SaveGray(picture, block, kW, kH));
  const std::string wav = dir_.path() + "/m.wav";
  for (int ioc : {576, 288})
    for (int lpm : {60, 90, 120, 240})
      for (bool am : {false, true}) {
        const std::string given = "--ioc " + std::to_string(ioc);
        const std::string lines = " --lpm " + std::to_string(lpm);
        const std::string phasing = std::to_string(kPhasingLines * 60.0 / lpm);
        const std::string tone = std::to_string(kToneLines * 60.0 / lpm);
        auto r = sigtest::RunTool("transmit fax " + std::string(am ? "--am " : "") + given +
                                  lines + " --phasing " + phasing + " --start-tone " + tone +
                                  " --stop-tone " + tone + " --picture " + picture + " -o " + wav);
        ASSERT_EQ(r.status, 0) << r.out;
        const int w = ioc == 576 ? 1810 : 905, rows = w * kH / kW;
        const bool carrier_peaks = am && (lpm == 90 || lpm == 240);
        const std::vector<std::string> decodes =
            !am ? std::vector<std::string>{given, ""}
                : std::vector<std::string>{(carrier_peaks ? "--am " : "--am-envelope ") + given};
        for (const std::string& options : decodes) {
          std::filesystem::remove_all(out_);
          std::filesystem::create_directory(out_);
          r = sigtest::RunTool("decode fax " + options + lines + " --out " + out_ + " " + wav,
                               false);
          const std::string what = "IOC " + std::to_string(ioc) + lines + " [" + options + "]";
          ASSERT_EQ(r.status, 0) << what << r.out;
          const std::vector<std::string> files = Pictures(r.out);
          ASSERT_EQ(files.size(), 1u) << what << r.out;
          int pw = 0, ph = 0;
          const std::vector<uint8_t> got = LoadLuminance(files[0], pw, ph);
          EXPECT_EQ(pw, w) << what;
          // AM pictures begin with the phasing lines of burst and white.
          EXPECT_NEAR(ph, rows + (am ? kPhasingLines : 0), 2) << what;
          const BlockSeen seen = SeeBlock(got, pw, ph, w / 3);
          EXPECT_NEAR(seen.block_rows, rows / 2, 2) << what;
          if (!carrier_peaks) {
            EXPECT_GE(seen.block_rows + seen.white_rows, ph - 3) << what;
          }
          EXPECT_NEAR(seen.first_column, w / 3, w / 20) << what;
        }
      }
}

// A sender's clock 0.05 % fast or slow: a first pass finds the line period, the second decodes
// at the pixel clock it gives, close to the nominal chart; --no-slant keeps the slant.
TEST_F(FaxTool, ClockErrorStraightened) {
  const std::string wav = dir_.path() + "/fax.wav";
  const std::vector<float> sent = Send("", wav);
  auto received = [&](double ppm, const std::string& options, std::string* said) {
    // Resampled from a rate that much off: every line that much shorter (fast) or longer.
    std::vector<float> s = Resampled(sent, kRate * (1.0 + ppm / 1e6), kRate);
    sigtest::AddNoise(s, kRate, 30.0, 12);
    return ReceivedPsnr(s, kRate, wav, options, said);
  };
  const double nominal = received(0.0, "", nullptr);
  for (double ppm : {500.0, -500.0}) {
    SCOPED_TRACE(ppm);
    std::string said;
    // Where the pixel grid falls against the sent pixels now moves by parts of a pixel: up to
    // a dB or two on a chart this sharp.
    EXPECT_GT(received(ppm, "", &said), nominal - 2.0) << said;
    const size_t at = said.find("line period ");
    ASSERT_NE(at, std::string::npos) << said;
    EXPECT_NEAR(std::stod(said.substr(at + 12)), -ppm, 30.0) << said;
    EXPECT_LT(received(ppm, "--no-slant", nullptr), nominal - 5.0);
  }
}

// Files at any common rate are resampled to the rate the decoder times its lines at: every rate
// gives the picture 11025 Hz gives, within a dB.
TEST_F(FaxTool, EveryRateGivesThe11025Picture) {
  const std::string wav = dir_.path() + "/fax.wav";
  const std::vector<float> sent = Send("", wav);
  auto received = [&](int rate) {
    std::vector<float> s = Resampled(sent, kRate, rate);
    sigtest::AddNoise(s, rate, 25.0, 14);
    return ReceivedPsnr(s, rate, wav, "");
  };
  const double nominal = received(kRate);
  EXPECT_GT(nominal, 20.0);
  for (int rate : {8000, 22050, 32000, 44100, 48000}) {
    SCOPED_TRACE(rate);
    EXPECT_NEAR(received(rate), nominal, 1.0);
  }
}

// A noisy chart is filtered before it is saved, closer to the chart sent, and the noise is told;
// --no-denoise saves it as demodulated, as does the default a clean one.
TEST_F(FaxTool, NoisyChartFilteredUnlessNoDenoise) {
  const std::string wav = dir_.path() + "/fax.wav";
  const std::vector<float> sent = Send("", wav);
  const std::vector<uint8_t> want = Enlarged(chart_, kChartW, kChartH, 1810, 2 * kChartH);
  // The picture received at snr dB with options, and what was said.
  const auto received = [&](double snr, const std::string& options, std::string& said) {
    std::vector<float> s = sent;
    sigtest::AddNoise(s, kRate, snr, 13);
    std::filesystem::remove_all(out_);
    std::filesystem::create_directory(out_);
    EXPECT_TRUE(sigtest::WriteMonoWav(wav, kRate, s));
    const auto r = sigtest::RunTool("decode fax " + options + " --out " + out_ + " " + wav);
    EXPECT_EQ(r.status, 0) << r.out;
    said = r.out;
    const std::vector<std::string> files = Pictures(r.out);
    int w = 0, h = 0;
    return files.size() == 1u ? LoadLuminance(files[0], w, h) : std::vector<uint8_t>();
  };
  std::string said, said_off;
  const std::vector<uint8_t> filtered = received(8.0, "", said);
  const std::vector<uint8_t> plain = received(8.0, "--no-denoise", said_off);
  ASSERT_EQ(filtered.size(), plain.size());
  ASSERT_FALSE(plain.empty());
  const double gain = StreamPsnr(want, 2 * kChartH - 4, filtered, 1810) -
                      StreamPsnr(want, 2 * kChartH - 4, plain, 1810);
  EXPECT_GT(gain, 2.0);
  const size_t at = said.find(" levels, filtered");
  ASSERT_NE(at, std::string::npos) << said;
  EXPECT_EQ(said_off.find("filtered"), std::string::npos) << said_off;
  // At +30 dB the picture is clean: the same bytes either way.
  EXPECT_EQ(received(30.0, "", said), received(30.0, "--no-denoise", said_off));
  EXPECT_EQ(said.find("filtered"), std::string::npos) << said;
}

TEST_F(FaxTool, RefusesBadInput) {
  const std::string wav = dir_.path() + "/fax.wav";
  Send("--lpm 240", wav);
  const std::string text = dir_.path() + "/note.txt";
  FILE* f = fopen(text.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs("not a picture\n", f);
  fclose(f);
  const std::string out = " --out " + out_ + " ";
  // One of each kind: a missing file, no wave file, an impossible value, options that exclude
  // each other, a missing or unusable output, no picture to send.
  for (const std::string& bad :
       {"decode fax" + out + dir_.path() + "/missing.wav", "decode fax" + out + text,
        "decode fax --ioc 300" + out + wav, "decode fax --am --am-envelope" + out + wav,
        "decode fax " + wav, "decode fax --out " + dir_.path() + "/nowhere " + wav,
        "transmit fax --picture " + text + " -o x.wav",
        "transmit fax --phasing -1 --picture " + picture_ + " -o x.wav",
        "transmit fax --picture " + picture_}) {
    auto r = sigtest::RunTool(bad);
    EXPECT_EQ(r.status, 2) << bad << "\n" << r.out;
    const char* subject =
        bad.rfind("transmit", 0) == 0 ? "kestrel: transmit fax: " : "kestrel: decode fax: ";
    EXPECT_NE(r.out.find(subject), std::string::npos) << bad << "\n" << r.out;
  }
  // Noise alone holds no picture: nothing written, and the run says so.
  std::vector<float> noise(size_t(kRate) * 10);
  sigtest::CGaussNoise g(3);
  for (float& v : noise) v = float(3000.0 * g.Next());
  ASSERT_TRUE(sigtest::WriteMonoWav(wav, kRate, noise));
  auto r = sigtest::RunTool("decode fax" + out + wav);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(Pictures(r.out).empty());
}

}  // namespace
