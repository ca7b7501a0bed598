// FAX decoder: derived geometry and window lists, and signal-level round trips
// through the transmitter (FM with noise, AM with the sync burst, a sample clock off by 0.05 %).
#include <gtest/gtest.h>

#include <algorithm>
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

// PSNR of the received rows against the chart. The received rows are taken as one pixel
// stream: a line start that is not the chart's column 0 carries the end of one chart row into
// the next received row, so only a shift of the whole stream lines them up. Columns below
// firstCol (the AM burst) are left out; the offset is searched coarsely, then refined.
double StreamPsnr(const std::vector<uint8_t>& want, const std::vector<uint8_t>& got, int w,
                  int wantRows, int firstRow = 0, int firstCol = 0) {
  const long long size = (long long)got.size();
  // Mean squared error at offset o over every dy-th row and dx-th column that got holds.
  auto mse = [&](long long o, int dy, int dx) {
    double c = 0.0;
    long long n = 0, all = 0;
    for (int y = firstRow; y < wantRows; y += dy)
      for (int x = firstCol; x < w; x += dx) {
        ++all;
        const long long at = o + (long long)y * w + x;
        if (at >= size) continue;
        const double e = double(want[size_t(y) * w + x]) - got[size_t(at)];
        c += e * e, ++n;
      }
    return n * 10 >= all * 9 ? c / n : 1e300;  // nine tenths of the chart at least
  };
  long long best = -1;
  double best_mse = 1e300;
  for (long long o = 0; o < 8LL * w && o < size; ++o) {
    const double m = mse(o, 6, 6);
    if (m < best_mse) best_mse = m, best = o;
  }
  if (best < 0) return 0.0;  // too little picture
  const long long around = best;
  best_mse = 1e300;
  for (long long o = around > 6 ? around - 6 : 0; o <= around + 6; ++o)
    best_mse = std::min(best_mse, mse(o, 1, 1));
  return 10.0 * std::log10(255.0 * 255.0 / (best_mse + 1e-12));
}

TEST(FaxDecoder, DerivedGeometryAndLists) {
  CFaxDecoder d;
  ASSERT_EQ(d.Init(22050, 2048, 64, 0), 1);
  EXPECT_EQ(d.GetXSize(), 1810);
  EXPECT_NEAR(d.GetKorr(), 1810.0 * 2.0 / 22050.0, 1e-12);  // a line lasts exactly 0.5 s
  EXPECT_EQ(d.Connect(HWND(1), 10), 1);
  EXPECT_EQ(d.Connect(HWND(1), 12), 0);
  // A line holds the drum's circumference: the index of cooperation times pi.
  for (int ioc : {190, 267, 288, 331, 352, 381, 576, 662}) {
    ASSERT_EQ(d.SetFaxMode(ioc, 120), 1);
    EXPECT_EQ(d.GetXSize(), std::lround(ioc * M_PI)) << ioc;
  }
  EXPECT_EQ(d.SetKorr(0.0), 1);  // back to the nominal pace
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
  const double p = StreamPsnr(chart, d.rows, w, kLines, 30);
  EXPECT_GT(p, GetParam().min_psnr);
}

INSTANTIATE_TEST_SUITE_P(Noise, FaxFmRoundTrip,
                         ::testing::Values(FmCase{20.0, 25.0}, FmCase{10.0, 18.0}));

TEST(FaxDecoder, KorrStraightensAFastSampleClock) {
  CFaxTransmitter t;
  ASSERT_EQ(t.Init(kRate, 576, 120, 0), 1);
  const int w = t.GetXSize();
  const std::vector<uint8_t> chart = Chart(w, kLines);
  std::vector<float> s;
  ASSERT_EQ(t.Transmit(chart.data(), w, kLines, s), 1);
  // The recording's clock runs 0.05 % fast: the file holds more samples per line than nominal.
  std::vector<float> r;
  for (double pos = 0.0; pos + 1 < s.size(); pos += 1.0 / 1.0005) {
    const size_t i = size_t(pos);
    const double f = pos - i;
    r.push_back(float(s[i] * (1.0 - f) + s[i + 1] * f));
  }
  Recorder plain, korr;
  ASSERT_EQ(plain.Init(kRate, kBlock, 64, 0), 1);
  ASSERT_EQ(korr.Init(kRate, kBlock, 64, 0), 1);
  ASSERT_EQ(korr.SetKorr(korr.GetKorr() / 1.0005), 1);
  Feed(plain, r, 0);
  Feed(korr, r, 0);
  const double p_plain = StreamPsnr(chart, plain.rows, w, kLines, 30);
  const double p_korr = StreamPsnr(chart, korr.rows, w, kLines, 30);
  EXPECT_GT(p_korr, 22.0);
  EXPECT_GT(p_korr, p_plain + 3.0);
}

struct AmCase {
  int mode;  // 1 carrier peaks behind the loop, 2 envelope
  double snr;
  double min_psnr;
};

class FaxAmRoundTrip : public ::testing::TestWithParam<AmCase> {};

// The burst is keyed black/white at 1040 Hz; the demodulated burst is nearly a sine whose peaks
// overshoot both levels. Levels taken from its extremes once turned the chart's white to gray
// (about 14 dB); the picture part has to come out at its own levels.
TEST_P(FaxAmRoundTrip, LevelsFromTheBurst) {
  const AmCase c = GetParam();
  CFaxTransmitter t;
  ASSERT_EQ(t.Init(kRate, 576, 120, 1), 1);
  const int w = t.GetXSize();
  const std::vector<uint8_t> chart = Chart(w, kLines);
  std::vector<float> s;
  ASSERT_EQ(t.Transmit(chart.data(), w, kLines, s), 1);
  sigtest::AddNoise(s, kRate, c.snr, 3);
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
  Feed(d, s, c.mode);
  EXPECT_EQ(d.states, 0);  // the AM modes run no state machine
  const int lead = int(d.rows.size() / w) - kLines;
  ASSERT_GT(lead, 0);
  std::vector<uint8_t> got(d.rows.begin() + size_t(lead > 2 ? lead - 2 : 0) * w, d.rows.end());
  // The transmitted lines begin with the burst instead of the chart's first 39 columns.
  const double p = StreamPsnr(chart, got, w, kLines, 4, 39);
  EXPECT_GT(d.GetWhiteLevel(), 2.0 * d.GetBlackLevel());
  EXPECT_GT(d.GetBlackLevel(), 0.0);
  EXPECT_GT(p, c.min_psnr);
}

INSTANTIATE_TEST_SUITE_P(Demodulators, FaxAmRoundTrip,
                         ::testing::Values(AmCase{1, 30.0, 20.0}, AmCase{2, 30.0, 18.0},
                                           AmCase{1, 20.0, 16.0}, AmCase{2, 20.0, 16.0}));

// The quadrature AM path moves its pixel grid onto the sent one by the burst fit, wherever the
// sent pixels begin between the samples; a grid left where it started (about 21 dB here)
// averages the chart's edges over two sent pixels.
TEST(FaxDecoder, AmPixelGridFollowsTheBurst) {
  CFaxTransmitter t;
  ASSERT_EQ(t.Init(kRate, 576, 120, 1), 1);
  const int w = t.GetXSize();
  const std::vector<uint8_t> chart = Chart(w, kLines);
  std::vector<float> sent;
  ASSERT_EQ(t.Transmit(chart.data(), w, kLines, sent), 1);
  for (int delay = 0; delay < 3; ++delay) {  // about a third of a pixel a sample
    std::vector<float> s(size_t(delay), 0.0f);
    s.insert(s.end(), sent.begin(), sent.end());
    sigtest::AddNoise(s, kRate, 30.0, 5);
    struct AmRecorder : CFaxDecoder {
      void FaxLine(HBITMAP line, int) override {
        for (int x = 0; x < line->width; ++x) rows.push_back(uint8_t(255 - line->pixels[x]));
      }
      std::vector<uint8_t> rows;
    } d;
    ASSERT_EQ(d.Init(kRate, kBlock, 64, 0), 1);
    ASSERT_EQ(d.SetFaxDecoder(2400, 800, 3600), 1);
    ASSERT_EQ(d.DefineBurst(1040, 39, 100), 1);
    d.SetAmQuadrature(1);
    Feed(d, s, 2);
    const int lead = int(d.rows.size() / w) - kLines;
    ASSERT_GT(lead, 0);
    std::vector<uint8_t> got(d.rows.begin() + size_t(lead > 2 ? lead - 2 : 0) * w, d.rows.end());
    EXPECT_GT(StreamPsnr(chart, got, w, kLines, 4, 39), 28.0) << "delay " << delay;
  }
}

// The start tone tells the module: 300 Hz for IOC 576, 675 Hz for IOC 288. The decoder set to
// the module must hear its own start tone and the 450 Hz stop tone at every drum speed (at IOC
// 288 the pixel rate once sampled the 675 Hz tone too irregularly to find it).
TEST(FaxDecoder, StartAndStopTonesAtEveryModuleAndDrumSpeed) {
  const struct {
    int ioc, start_event;
  } modules[] = {{576, kFaxStart300}, {288, kFaxStart675}};
  for (const auto& m : modules)
    for (int rpm : {60, 90, 120, 240}) {
      CFaxTransmitter t;
      ASSERT_EQ(t.Init(kRate, m.ioc, rpm, 0), 1);
      // Tones of eight lines: five consecutive lines make a tone, which a 5 s tone at 60 lines
      // a minute gives only just.
      const double line_s = 60.0 / rpm;
      ASSERT_EQ(t.SetTimes(8 * line_s, 8 * line_s, 8 * line_s), 1);
      const int w = t.GetXSize();
      std::vector<uint8_t> picture(size_t(w) * 4, 255);
      std::vector<float> s;
      ASSERT_EQ(t.Transmit(picture.data(), w, 4, s), 1);
      Recorder d;
      ASSERT_EQ(d.Init(kRate, kBlock, 64, 0), 1);
      ASSERT_EQ(d.SetFaxMode(m.ioc, rpm), 1);
      Feed(d, s, 0);
      const std::vector<int> want = {m.start_event, kFaxWaitSync, kFaxWaitPicture, kFaxWaitStop,
                                     kFaxStop450,   kFaxWaitStart};
      EXPECT_EQ(d.events, want) << "IOC " << m.ioc << ", " << rpm << " lines a minute";
    }
}

// The column of a dark bar in a received row (the mean of its dark pixels), -1 without one.
double BarColumn(const std::vector<uint8_t>& rows, int w, int y) {
  double sum = 0.0;
  int n = 0;
  for (int x = 0; x < w; ++x)
    if (rows[size_t(y) * w + x] < 128) sum += x, ++n;
  return n > 0 && n < w / 10 ? sum / n : -1.0;
}

// Lines of xSize pixels arrive rpm/60 times a second, so the pixel clock advances xSize*rpm/60
// pixels a second. A clock of ioc*pi*rpm/60 (a fraction of a pixel less per line) slants a
// vertical bar across the chart by (xSize - ioc*pi) pixels a line.
TEST(FaxDecoder, LinesKeepTheirPitchOverALongChart) {
  constexpr int kLong = 300;
  CFaxTransmitter t;
  ASSERT_EQ(t.Init(kRate, 576, 120, 0), 1);
  ASSERT_EQ(t.SetTimes(5.0, 10.0, 5.0), 1);
  const int w = t.GetXSize();
  std::vector<uint8_t> chart(size_t(w) * kLong, 255);
  for (int y = 0; y < kLong; ++y)
    for (int x = 900; x < 912; ++x) chart[size_t(y) * w + x] = 0;
  std::vector<float> s;
  ASSERT_EQ(t.Transmit(chart.data(), w, kLong, s), 1);
  Recorder nominal, from_ioc;
  ASSERT_EQ(nominal.Init(kRate, kBlock, 64, 0), 1);
  ASSERT_EQ(from_ioc.Init(kRate, kBlock, 64, 0), 1);
  ASSERT_EQ(from_ioc.SetKorr(576 * M_PI * 120 / 60.0 / kRate), 1);
  Feed(nominal, s, 0);
  Feed(from_ioc, s, 0);
  auto drift = [&](const Recorder& r) {
    const int rows = int(r.rows.size() / w);
    EXPECT_GT(rows, kLong - 20);
    const double top = BarColumn(r.rows, w, 2), bottom = BarColumn(r.rows, w, rows - 10);  // the last rows are stop tone
    EXPECT_GE(top, 0.0);
    EXPECT_GE(bottom, 0.0);
    double d = bottom - top;  // columns wrap
    if (d > w / 2) d -= w;
    if (d < -w / 2) d += w;
    return std::fabs(d);
  };
  const double per_line = w - 576 * M_PI;
  EXPECT_LE(drift(nominal), 2.0);
  EXPECT_GT(drift(from_ioc), 0.8 * per_line * (kLong - 30));
}

// The line bitmap is the decoder's own 8-bit picture of one row whose palette shows value i as
// gray 255 - i, and its pixels follow the direction setting.
TEST(FaxDecoder, LineBitmapAndDirection) {
  struct Check : CFaxDecoder {
    void FaxLine(HBITMAP line, int burst) override {
      ++lines;
      ok = ok && Bits(line) == 8 && Width(line) == GetXSize() && Height(line) == 1 &&
           Colors(line) == 256 && line->palette[0].rgbRed == 255 &&
           line->palette[255].rgbBlue == 0 && line->palette[100].rgbGreen == 155 && burst == 0;
      last.assign(AdrH(line), AdrH(line) + GetXSize());
    }
    int lines = 0;
    bool ok = true;
    std::vector<uint8_t> last;
  };
  // Half a line of white, half of black, line after line.
  std::vector<float> s;
  const double line_s = 0.5;
  double phase = 0.0;
  for (int i = 0; i < int(kRate * line_s * 12); ++i) {
    const double in_line = std::fmod(i / (kRate * line_s), 1.0);
    phase += 2.0 * M_PI * (in_line < 0.5 ? 2300.0 : 1500.0) / kRate;
    s.push_back(float(10000.0 * std::sin(phase)));
  }
  for (int direction : {0, 1}) {
    Check d;
    ASSERT_EQ(d.Init(kRate, kBlock, 64, 0), 1);
    EXPECT_EQ(d.Error(), 0);
    d.SetDirection(direction);
    Feed(d, s, 0);
    EXPECT_GE(d.lines, 10);
    EXPECT_TRUE(d.ok);
    // The white half starts each line (after the filter's delay of a few pixels).
    const int w = d.GetXSize();
    const int first = direction == 0 ? 100 : w - 101, second = direction == 0 ? w - 101 : 100;
    EXPECT_LT(d.last[size_t(first)], 20) << direction;
    EXPECT_GT(d.last[size_t(second)], 235) << direction;
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
