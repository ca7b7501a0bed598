// FAX decoder: derived geometry, window lists and sync position, and signal-level round trips
// through the transmitter (FM with noise, AM with the sync burst, a sample clock off by 0.05 %).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spl/decoders/fax_decoder.h"
#include "spl/decoders/fax_transmitter.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025, kBlock = 1024, kLines = 120;

// A chart: gray wedge band, black lines, text-like blocks on white (luminance, 255 white).
std::vector<uint8_t> Chart(int w, int h) {
  std::vector<uint8_t> c(size_t(w) * h, 255);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t v = 255;
      if (y >= 10 && y < 30) v = uint8_t(255 * (x * 8 / w) / 7);                // wedge
      else if (y % 20 == 0) v = 0;                                              // lines
      else if (y > 40 && ((x / 150) % 3 == 0) && ((y / 6) % 2 == 0)) v = 0;      // text blocks
      else if (x % 450 < 10) v = 0;                                              // meridians
      c[size_t(y) * w + x] = v;
    }
  return c;
}

class Recorder : public CFaxDecoder {
 public:
  void FaxLine(HBITMAP line, int burst) override {
    ++all_lines;
    if (!receiving) return;
    for (int x = 0; x < line->width; ++x) rows.push_back(uint8_t(255 - line->pixels[x]));
  }
  void FaxState(int code) override {
    events.push_back(code);
    if (code == kFaxWaitStop) receiving = true, rows.clear();
    if (code == kFaxStop450) receiving = false;
  }
  std::vector<int> events;
  std::vector<uint8_t> rows;  // luminance
  bool receiving = false;
  int all_lines = 0;
};

void Feed(CFaxDecoder& d, const std::vector<float>& s, int mode) {
  AudioBlock* b = nullptr;
  ASSERT_TRUE(NewAudioBlock(&b, kBlock));
  for (size_t i = 0; i < s.size(); i += kBlock) {
    for (int k = 0; k < kBlock; ++k) b->data[k] = i + k < s.size() ? s[i + k] : 0.0f;
    MeasureAudioBlock(b);
    if (mode == 0) d.DecodeFM(b);
    else if (mode == 1) d.DecodeAM(b);
    else d.DecodeAMFilter(b);
  }
  FreeAudioBlock(b);
}

// Best PSNR of got against want over cyclic column shifts and a few row offsets.
double BestPsnr(const std::vector<uint8_t>& want, const std::vector<uint8_t>& got, int w,
                int wantRows, int firstRow = 0) {
  const int got_rows = int(got.size() / w);
  double best = 0.0;
  int best_s = 0, best_v = 0;
  double best_cost = 1e300;
  for (int v = 0; v <= 4; ++v)
    for (int s = 0; s < w; s += 1) {
      double cost = 0.0;
      for (int y = firstRow; y < wantRows && y + v < got_rows; y += 6) {
                for (int x = 0; x < w; x += 3) {
          const double e = double(want[size_t(y) * w + x]) - got[size_t(y + v) * w + (x + s) % w];
          cost += e * e;
        }
      }
      if (cost < best_cost) best_cost = cost, best_s = s, best_v = v;
    }
  double se = 0.0;
  long long n = 0;
  for (int y = firstRow; y < wantRows && y + best_v < got_rows; ++y) {
    for (int x = 0; x < w; ++x) {
      const double e = double(want[size_t(y) * w + x]) -
                       got[size_t(y + best_v) * w + (x + best_s) % w];
      se += e * e, ++n;
    }
  }
  if (n < (long long)w * (wantRows - firstRow) / 2) return 0.0;  // too little picture
  best = 10.0 * std::log10(255.0 * 255.0 / (se / n + 1e-12));
  return best;
}

TEST(FaxDecoder, DerivedGeometryAndLists) {
  CFaxDecoder d;
  ASSERT_EQ(d.Init(22050, 2048, 64, 0), 1);
  EXPECT_EQ(d.GetXSize(), 1810);
  EXPECT_NEAR(d.GetKorr(), 1810.0 * 2.0 / 22050.0, 1e-12);  // a line lasts exactly 0.5 s
  EXPECT_EQ(d.Connect(HWND(1), 10), 1);
  EXPECT_EQ(d.Connect(HWND(1), 10), 0);
  EXPECT_EQ(d.Connect(HWND(1), 12), 0);
  EXPECT_EQ(d.DisConnect(HWND(1), 10), 1);
  EXPECT_EQ(d.DisConnect(HWND(1), 10), 0);
  const int sizes[][2] = {{267, 839}, {288, 905}, {352, 1106}, {576, 1810},
                          {190, 597}, {331, 1040}, {381, 1197}, {662, 2080}};
  for (auto& s : sizes) {
    ASSERT_EQ(d.SetFaxMode(s[0], 120), 1);
    EXPECT_EQ(d.GetXSize(), s[1]);
  }
  EXPECT_EQ(d.SetKorr(0.2), 1);
  EXPECT_EQ(d.GetKorr(), 0.2);
  EXPECT_EQ(d.SetKorr(0.0), 1);
  EXPECT_NEAR(d.GetKorr(), 2080.0 * 2.0 / 22050.0, 1e-12);
  EXPECT_EQ(d.SetKorr(-0.1), 0);
  EXPECT_EQ(d.SetKorr(1.5), 0);
}

TEST(FaxDecoder, RefusesImpossibleSettings) {
  CFaxDecoder d;
  EXPECT_EQ(d.Init(11025, 1000, 64, 0), 0);  // not a power of two
  EXPECT_EQ(d.Init(11025, 1024, 1, 0), 0);
  ASSERT_EQ(d.Init(11025, 1024, 64, 0), 1);
  EXPECT_EQ(d.SetFaxMode(0, 120), 0);
  EXPECT_EQ(d.SetFaxMode(576, 0), 0);
  EXPECT_EQ(d.SetFaxMode(576, 480), 0);      // more than one pixel per sample
  EXPECT_EQ(d.SetFaxMode(576, 120), 1);
  EXPECT_EQ(d.SetFaxDecoder(300, 800, 1200), 0);  // black below 0 Hz
  EXPECT_EQ(d.SetFaxDecoder(5300, 800, 1200), 0); // white above the Nyquist frequency
  EXPECT_EQ(d.SetFaxDecoder(1900, 800, 1200), 1);
  CFaxTransmitter t;
  EXPECT_EQ(t.Init(11025, 500, 120, 0), 0);
  EXPECT_EQ(t.Init(11025, 576, 0, 0), 0);
}

TEST(FaxDecoder, SyncPositionWraps) {
  CFaxDecoder d;
  ASSERT_EQ(d.Init(11025, 1024, 64, 0), 1);
  d.SetSyncPos(1810 * 3 + 7);  // linePos 7: the next 1803 pixels end the line
  d.SetSyncPos(-1810 * 2 - 7);
  d.SetSyncPos(-1);  // wraps to 1809
  SUCCEED();
}

struct FmCase {
  double snr;
  double min_psnr;
};

class FaxFmRoundTrip : public ::testing::TestWithParam<FmCase> {};

TEST_P(FaxFmRoundTrip, PictureAndStates) {
  CFaxTransmitter t;
  ASSERT_EQ(t.Init(kRate, 576, 120, 0), 1);
  const int w = t.GetXSize();
  const std::vector<uint8_t> chart = Chart(w, kLines);
  std::vector<float> s;
  ASSERT_EQ(t.Transmit(chart.data(), w, kLines, s), 1);
  sigtest::AddNoise(s, kRate, GetParam().snr, 7);
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock, 64, 0), 1);
  Feed(d, s, 0);
  const std::vector<int> want = {kFaxStart300, kFaxWaitSync, kFaxWaitPicture, kFaxWaitStop,
                                 kFaxStop450, kFaxWaitStart};
  EXPECT_EQ(d.events, want);
  // Rows 10 ... 29 hold the gray wedge, which the half-period mapping bends (1900 Hz gives 101,
  // not 128): the picture measure starts below it.
  const double p = BestPsnr(chart, d.rows, w, kLines, 30);
  EXPECT_GT(p, GetParam().min_psnr);
  RecordProperty("psnr", std::to_string(p));
  printf("FM at %+.0f dB: PSNR %.1f dB\n", GetParam().snr, p);
}

INSTANTIATE_TEST_SUITE_P(Noise, FaxFmRoundTrip,
                         ::testing::Values(FmCase{20.0, 22.0}, FmCase{10.0, 18.0}));

TEST(FaxDecoder, KorrStraightensAFastSampleClock) {
  CFaxTransmitter t;
  ASSERT_EQ(t.Init(kRate, 576, 120, 0), 1);
  const int w = t.GetXSize();
  const std::vector<uint8_t> chart = Chart(w, kLines);
  std::vector<float> s;
  ASSERT_EQ(t.Transmit(chart.data(), w, kLines, s), 1);
  // The recording's clock runs 0.05 % fast: the file holds more samples per line than nominal.
  const int file_rate = kRate;
  std::vector<float> r;
  for (double pos = 0.0; pos + 1 < s.size(); pos += 1.0 / 1.0005) {
    const size_t i = size_t(pos);
    const double f = pos - i;
    r.push_back(float(s[i] * (1.0 - f) + s[i + 1] * f));
  }
  Recorder plain, korr;
  ASSERT_EQ(plain.Init(file_rate, kBlock, 64, 0), 1);
  ASSERT_EQ(korr.Init(file_rate, kBlock, 64, 0), 1);
  ASSERT_EQ(korr.SetKorr(korr.GetKorr() / 1.0005), 1);
  Feed(plain, r, 0);
  Feed(korr, r, 0);
  const double p_plain = BestPsnr(chart, plain.rows, w, kLines, 30);
  const double p_korr = BestPsnr(chart, korr.rows, w, kLines, 30);
  printf("0.05 %% fast clock: PSNR %.1f dB plain, %.1f dB corrected\n", p_plain, p_korr);
  EXPECT_GT(p_korr, 22.0);
  EXPECT_GT(p_korr, p_plain + 3.0);
}

TEST(FaxDecoder, AmWithBurstTracksLevels) {
  for (int mode : {1, 2}) {
    CFaxTransmitter t;
    ASSERT_EQ(t.Init(kRate, 576, 120, 1), 1);
    const int w = t.GetXSize();
    const std::vector<uint8_t> chart = Chart(w, kLines);
    std::vector<float> s;
    ASSERT_EQ(t.Transmit(chart.data(), w, kLines, s), 1);
    sigtest::AddNoise(s, kRate, 30.0, 3);
    struct AmRecorder : CFaxDecoder {
      void FaxLine(HBITMAP line, int burst) override {
        for (int x = 0; x < line->width; ++x) rows.push_back(uint8_t(255 - line->pixels[x]));
      }
      void FaxState(int code) override { ++states; }
      std::vector<uint8_t> rows;
      int states = 0;
    } d;
    ASSERT_EQ(d.Init(kRate, kBlock, 64, 0), 1);
    ASSERT_EQ(d.SetFaxDecoder(2400, 800, 3600), 1);
    ASSERT_EQ(d.DefineBurst(1040, 39, 100), 1);
    Feed(d, s, mode);
    EXPECT_EQ(d.states, 0);  // the AM modes run no state machine
    const int lead = int(d.rows.size() / w) - kLines;
    ASSERT_GT(lead, 0);
    std::vector<uint8_t> got(d.rows.begin() + size_t(lead > 2 ? lead - 2 : 0) * w, d.rows.end());
    // The transmitted lines begin with the burst: compare the picture part only.
    std::vector<uint8_t> want = chart;
    for (int y = 0; y < kLines; ++y)
      for (int x = 0; x < 39; ++x) want[size_t(y) * w + x] = got.size() > 0 ? 255 : 255;
    const double p = BestPsnr(want, got, w, kLines, 4);
    printf("AM mode %d: PSNR %.1f dB, levels %.0f ... %.0f\n", mode, p, d.GetBlackLevel(),
           d.GetWhiteLevel());
    EXPECT_GT(d.GetWhiteLevel(), 10.0 * d.GetBlackLevel());
    EXPECT_GT(p, 10.0);
  }
}

TEST(FaxDecoder, NoiseAndSilenceStayQuiet) {
  std::vector<float> s(size_t(kRate) * 20, 0.0f);
  sigtest::CGaussNoise g(5);
  for (size_t i = s.size() / 2; i < s.size(); ++i) s[i] = float(3000.0 * g.Next());
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock, 64, 0), 1);
  Feed(d, s, 0);
  EXPECT_TRUE(d.events.empty());
  EXPECT_GT(d.all_lines, 10);  // lines are still drawn
}

}  // namespace
