// SSTV decoder: mode geometry, tone levels, VIS and vertical-sync starts, guarded indices, and
// signal-level round trips through the SSTV transmitter (every mode, noise, a fast sample
// clock with its slant correction, pictures cut short, noise only, Robot 72 colour matrices,
// the SNR measure and Robot 72 in deep noise).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "spl/decoders/sstv_decoder.h"
#include "spl/decoders/sstv_transmitter.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025, kBlock = 1024;
constexpr double kAmplitude = 16000.0;

struct Tone {
  double hz, ms;
};

// Phase-continuous tones with an exact time base (segment edges fall between samples).
std::vector<float> Tones(const std::vector<Tone>& tones, int rate = kRate) {
  std::vector<float> s;
  double phase = 0.0, end = 0.0;
  size_t n = 0;
  for (const Tone& t : tones) {
    end += t.ms / 1000.0;
    for (; double(n) / rate < end; ++n) {
      s.push_back(float(kAmplitude * std::sin(2.0 * M_PI * phase)));
      phase += t.hz / rate;
      phase -= std::floor(phase);
    }
  }
  return s;
}

// A VIS header: leader, break, leader, start bit, seven code bits from bit 0 (1100 Hz for 1,
// 1300 Hz for 0), even parity, stop bit. flip inverts one code bit after the parity is made.
std::vector<Tone> Vis(int code, int flip = -1) {
  std::vector<Tone> t = {{1900, 300}, {1200, 10}, {1900, 300}, {1200, 30}};
  int ones = 0;
  for (int b = 0; b < 7; ++b) ones += (code >> b) & 1;
  const int word = (code & 127) | ((ones & 1) << 7);
  for (int b = 0; b < 8; ++b) {
    const int bit = ((word >> b) & 1) ^ (b == flip ? 1 : 0);
    t.push_back({bit ? 1100.0 : 1300.0, 30});
  }
  t.push_back({1200, 30});
  return t;
}

void Append(std::vector<Tone>& a, const std::vector<Tone>& b) { a.insert(a.end(), b.begin(), b.end()); }

class Recorder : public CSstvDecoder {
 public:
  void ShowSSTV(int line) override {
    if (line < 0) ++redraws;
    else lines.push_back(line);
  }
  void StateChange(unsigned long state) override { states.push_back(state); }
  std::vector<int> lines;
  std::vector<unsigned long> states;
  int redraws = 0;
};

// Feeds the samples in blocks of kBlock, the last one padded with silence; `after` sees each
// block (as the decoder left it) and where it started.
void Feed(CSstvDecoder& d, const std::vector<float>& s, size_t from = 0, size_t to = SIZE_MAX,
          const std::function<void(const AudioBlock*, size_t)>& after = nullptr) {
  to = std::min(to, s.size());
  AudioBlock* b = nullptr;
  ASSERT_TRUE(NewAudioBlock(&b, kBlock));
  for (size_t i = from; i < to; i += kBlock) {
    for (int k = 0; k < kBlock; ++k) b->data[k] = i + k < to ? s[i + k] : 0.0f;
    MeasureAudioBlock(b);
    d.Decode(b);
    if (after) after(b, i);
  }
  FreeAudioBlock(b);
}

// A test chart, rows top first, red green blue: colour bars, a gray wedge, some detail
// (checks and vertical bars sixteen pixels wide) and colour stripes one to four lines high, so
// that colours taken from the wrong line or shifted along it show.
constexpr uint8_t kBars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                 {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};

std::vector<uint8_t> Chart(int lines) {
  std::vector<uint8_t> c(size_t(kSstvWidth) * lines * 3);
  for (int y = 0; y < lines; ++y)
    for (int x = 0; x < kSstvWidth; ++x) {
      uint8_t* p = &c[(size_t(y) * kSstvWidth + x) * 3];
      const int band = y * 8 / lines;  // eighths of the height
      if (band < 3) {
        std::memcpy(p, kBars[x * 8 / kSstvWidth], 3);
      } else if (band < 5) {
        p[0] = p[1] = p[2] = uint8_t(255 * (x * 10 / kSstvWidth) / 9);
      } else if (band == 5) {
        const int v = x < kSstvWidth / 2 ? (((x / 16) + (y / 16)) % 2) * 255 : (x % 32 < 16) * 255;
        p[0] = p[1] = p[2] = uint8_t(v);
      } else {
        const int h = 1 + (x * 4 / kSstvWidth);  // stripe height 1 ... 4 lines
        const int k = (y / h) % 3;
        p[0] = k == 0 ? 230 : 30, p[1] = k == 1 ? 230 : 30, p[2] = k == 2 ? 230 : 30;
      }
    }
  return c;
}

// PSNR of the decoder's picture rows [from, to) (all when to < 0) against the chart, over the
// three colours.
double Psnr(CSstvDecoder& d, const std::vector<uint8_t>& want, int from = 0, int to = -1) {
  HBITMAP pic = d.GetPicture();
  const int lines = d.GetYSize();
  if (to < 0) to = lines;
  double se = 0.0;
  for (int y = from; y < to; ++y)
    for (int x = 0; x < kSstvWidth; ++x)
      for (int c = 0; c < 3; ++c) {
        const double e = double(pic->pixels[size_t(lines - 1 - y) * pic->bpl + 3 * x + 2 - c]) -
                         want[(size_t(y) * kSstvWidth + x) * 3 + c];
        se += e * e;
      }
  return 10.0 * std::log10(255.0 * 255.0 / (se / (double(to - from) * kSstvWidth * 3) + 1e-9));
}

// The transmitter as it is set up after Init (Robot 72 in the published 601 studio range),
// or with another Robot colour matrix.
std::vector<float> Transmission(int mode, const std::vector<uint8_t>& chart, int lines,
                                double ppm = 0.0, int matrix = -1) {
  CSstvTransmitter tx;
  std::vector<float> s;
  EXPECT_TRUE(tx.Init(mode, kRate, ppm, kAmplitude));
  if (matrix >= 0) {
    EXPECT_TRUE(tx.SetColorMatrix(matrix));
  }
  EXPECT_TRUE(tx.SetPicture(chart.data(), kSstvWidth, lines));
  EXPECT_TRUE(tx.Transmit(s));
  return s;
}

// Seconds of white noise of the given standard deviation.
std::vector<float> Noise(int seconds, double sigma, uint64_t seed) {
  std::vector<float> s(size_t(kRate) * seconds);
  sigtest::CGaussNoise g(seed);
  for (float& v : s) v = float(sigma * g.Next());
  return s;
}

// Half a second of silence before, one after.
std::vector<float> Padded(const std::vector<float>& s) {
  std::vector<float> out(kRate / 2, 0.0f);
  out.insert(out.end(), s.begin(), s.end());
  out.insert(out.end(), size_t(kRate), 0.0f);
  return out;
}

TEST(SstvGeometry, ModeTableAndDerivedValues) {
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  EXPECT_EQ(d.GetMode(), kSstvMartin1);
  EXPECT_EQ(d.GetPositionsPerLine(), 971);
  EXPECT_EQ(d.GetSyncPositions(), 11);
  // The published line period (446.446 ms) sets the pace, not the truncated 446 ms.
  EXPECT_NEAR(d.GetCurrentTiming(), 971.0 / (0.446446 * kRate), 1e-9);
  const struct {
    int mode, p, s, lines;
    double line_ms;
  } want[] = {{kSstvScottie1, 980, 20, 256, 428.22},
              {kSstvSc2180, 967, 7, 256, 711.0225},
              {kSstvRobot72, 692, 26, 240, 300.0}};
  for (const auto& w : want) {
    ASSERT_EQ(d.SetMode(w.mode, 0.0), 1);
    EXPECT_EQ(d.GetPositionsPerLine(), w.p) << w.mode;
    EXPECT_EQ(d.GetSyncPositions(), w.s) << w.mode;
    EXPECT_EQ(d.GetYSize(), w.lines) << w.mode;
    EXPECT_NEAR(d.GetCurrentTiming(), w.p / (w.line_ms / 1000.0 * kRate), 1e-9) << w.mode;
    EXPECT_DOUBLE_EQ(d.GetTiming(w.mode), d.GetCurrentTiming());
    EXPECT_EQ(d.Height(d.GetPicture()), w.lines);
  }
  // Each table row is found by its number and its VIS code.
  for (int i = 0; i < kSstvModeCount; ++i) {
    const SstvMode* m = SstvModeAt(i);
    EXPECT_EQ(SstvModeByNumber(m->mode), m);
    EXPECT_EQ(SstvModeByVis(m->vis), m);
    double end = 0.0;
    for (const SstvScan& s : m->scans) end = std::max(end, s.start_ms + s.length_ms);
    EXPECT_LE(end, m->line_ms + 1e-9) << m->name;
  }
  EXPECT_EQ(SstvModeByVis(0), nullptr);
  EXPECT_EQ(SstvModeByNumber(1), nullptr);
}

TEST(SstvGeometry, UnknownModeNumbersKeepTheGeometryAndBadOnesAreRefused) {
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  ASSERT_EQ(d.SetMode(kSstvRobot72, 0.0), 1);
  ASSERT_EQ(d.SetMode(1, 0.0), 1);
  EXPECT_EQ(d.GetMode(), 1);
  EXPECT_EQ(d.GetYSize(), 240);
  EXPECT_EQ(d.GetPositionsPerLine(), 692);
  EXPECT_DOUBLE_EQ(d.GetTiming(1), d.NominalTiming(kSstvRobot72));
  // Out of the timing table, or a timing that is no slant correction: refused, nothing changes.
  for (int bad : {-1, 9, 1000000}) EXPECT_EQ(d.SetMode(bad, 0.0), 0) << bad;
  EXPECT_EQ(d.SetMode(kSstvMartin1, -0.1), 0);
  EXPECT_EQ(d.SetMode(kSstvMartin1, 1.5), 0);
  EXPECT_EQ(d.GetMode(), 1);
  EXPECT_EQ(d.GetYSize(), 240);
  EXPECT_DOUBLE_EQ(d.GetTiming(-1), 0.0);
  EXPECT_DOUBLE_EQ(d.GetTiming(9), 0.0);
}

TEST(SstvGeometry, TimingTableAndSlantCorrection) {
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  const double nominal = d.GetCurrentTiming();
  EXPECT_DOUBLE_EQ(d.GetTiming(kSstvMartin1), nominal);
  EXPECT_DOUBLE_EQ(d.GetTiming(kSstvScottie1), 0.0);
  // Another mode's entry does not touch the running timing.
  d.SetTiming(kSstvScottie1, 0.2);
  EXPECT_DOUBLE_EQ(d.GetTiming(kSstvScottie1), 0.2);
  EXPECT_DOUBLE_EQ(d.GetCurrentTiming(), nominal);
  d.SetTiming(kSstvMartin1, nominal * 1.001);
  EXPECT_DOUBLE_EQ(d.GetCurrentTiming(), nominal * 1.001);
  // 0.0 restores the nominal pace; nonsense is ignored.
  d.SetTiming(kSstvMartin1, 0.0);
  EXPECT_DOUBLE_EQ(d.GetCurrentTiming(), nominal);
  d.SetTiming(kSstvMartin1, -1.0);
  d.SetTiming(kSstvMartin1, 3.0);
  d.SetTiming(42, 0.1);
  EXPECT_DOUBLE_EQ(d.GetCurrentTiming(), nominal);
  // The stored entry is what SetMode uses when the mode comes back.
  ASSERT_EQ(d.SetMode(kSstvScottie1, d.GetTiming(kSstvScottie1)), 1);
  EXPECT_DOUBLE_EQ(d.GetCurrentTiming(), 0.2);
}

TEST(SstvGeometry, ConnectionListsAndSyncOffset) {
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  EXPECT_EQ(d.Connect(HWND(1), 12), 1);
  EXPECT_EQ(d.Connect(HWND(1), 12), 0);
  EXPECT_EQ(d.Connect(HWND(1), 11), 0);
  d.SetSync(3);
  EXPECT_EQ(d.GetLineOffset(), 3);
  d.SetSync(-5);
  EXPECT_EQ(d.GetLineOffset(), 0);
  EXPECT_EQ(d.redraws, 2);
  // Never beyond one line period, so that no line is read past the store.
  d.SetSync(2000000000);
  EXPECT_EQ(d.GetLineOffset(), 970);
  d.SetSync(-2000000000);
  EXPECT_EQ(d.GetLineOffset(), 0);
  EXPECT_EQ(d.Init(kRate, 8), 0);
  EXPECT_EQ(d.Init(3000, kBlock), 0);
  EXPECT_EQ(d.Init(kRate, kBlock), 1);
  EXPECT_EQ(d.SetFilter(2500, 1000, 64, 0), 0);
  EXPECT_EQ(d.SetFilter(1000, 2500, 64, 0), 1);
}

// Level and brightness of steady tones, written while receiving.
int StoredBrightness(double hz) {
  Recorder d;
  EXPECT_EQ(d.Init(kRate, kBlock), 1);
  d.SetAVIS(0);
  d.Run(1);
  Feed(d, Tones({{hz, 400}}));
  const uint8_t* raw = d.GetRawStore();
  const int n = d.GetWritePosition();
  EXPECT_GT(n, 500);
  int sum = 0, count = 0;
  for (int i = n / 2; i < n; ++i) sum += raw[i], ++count;
  EXPECT_EQ(d.GetLevel(), 255 - raw[n - 1]);
  return (sum + count / 2) / count;
}

TEST(SstvLevels, BrightnessIsLinearInFrequency) {
  EXPECT_GE(StoredBrightness(2300), 254);
  EXPECT_LE(StoredBrightness(1500), 1);
  EXPECT_EQ(StoredBrightness(2500), 255);  // beyond white clamps
  EXPECT_EQ(StoredBrightness(1400), 0);    // below black clamps
  // 1900 Hz is the middle of the scale (level 128, brightness 127), not 101 / 154 as a scale
  // linear in the half period would make it.
  EXPECT_NEAR(StoredBrightness(1900), 127, 1);
  EXPECT_NEAR(StoredBrightness(1700), 64, 1);
  EXPECT_NEAR(StoredBrightness(2100), 191, 1);
}

TEST(SstvLevels, OddInputNeverLeavesTheScale) {
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  d.Run(1);
  // All-negative chunks, a huge negative spike beside a small positive peak, digital silence.
  std::vector<float> s(kBlock * 8, -1000.0f);
  for (size_t i = kBlock; i < 2 * kBlock; ++i) s[i] = (i % 7 == 0) ? -30000.0f : 10.0f;
  for (size_t i = 3 * kBlock; i < 4 * kBlock; ++i) s[i] = 0.0f;
  for (size_t i = 4 * kBlock; i < s.size(); ++i) s[i] = float(20000.0 * std::sin(i * 0.9));
  Feed(d, s, 0, SIZE_MAX, [&](const AudioBlock*, size_t) {
    EXPECT_GE(d.GetLevel(), 0);
    EXPECT_LE(d.GetLevel(), 255);
  });
  // A short block is refused, not read past its end.
  AudioBlock* b = nullptr;
  ASSERT_TRUE(NewAudioBlock(&b, kBlock));
  b->count = kBlock / 2;
  d.Decode(b);
  FreeAudioBlock(b);
}

TEST(SstvVis, FlippedBitsAndUnknownCodesAreRejected) {
  for (int flip = 0; flip < 8; ++flip) {
    Recorder d;
    ASSERT_EQ(d.Init(kRate, kBlock), 1);
    ASSERT_EQ(d.SetMode(kSstvScottie1, 0.0), 1);
    std::vector<Tone> t = {{0, 50}};
    Append(t, Vis(44, flip));
    t.push_back({1500, 200});
    Feed(d, Tones(t));
    EXPECT_EQ(d.GetState(), 0u) << flip;
    EXPECT_EQ(d.GetMode(), kSstvScottie1) << flip;
    EXPECT_EQ(d.GetLastVIS(), 0) << flip;
  }
  // A code of no known mode (even parity) is read but starts nothing.
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  std::vector<Tone> t = {{0, 50}};
  Append(t, Vis(99));
  t.push_back({1500, 200});
  Feed(d, Tones(t));
  EXPECT_EQ(d.GetLastVIS(), 99);
  EXPECT_EQ(d.GetState(), 0u);
  EXPECT_EQ(d.GetMode(), kSstvMartin1);
  // With automatic VIS off the code of a known mode does not switch either (the start bit's
  // 30 ms of 1200 Hz start a picture in the mode set).
  Recorder v;
  ASSERT_EQ(v.Init(kRate, kBlock), 1);
  v.SetAVIS(0);
  ASSERT_EQ(v.SetMode(kSstvScottie1, 0.0), 1);
  t = {{0, 50}};
  Append(t, Vis(44));
  Feed(v, Tones(t));
  EXPECT_EQ(v.GetMode(), kSstvScottie1);
  EXPECT_EQ(v.GetState(), kSstvReceiving | kSstvSearching);
}

TEST(SstvVis, VerticalSyncStartsAPictureWithVisOff) {
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  d.SetAVIS(0);
  Feed(d, Tones({{1900, 200}, {1200, 20}, {1900, 200}}));
  EXPECT_EQ(d.GetState(), 0u);  // 20 ms of sync is a line sync, not a picture start
  Feed(d, Tones({{1900, 200}, {1200, 32}, {1900, 100}}));
  EXPECT_EQ(d.GetState(), kSstvReceiving | kSstvSearching);
  // Stopped by Run(0) without a report.
  const size_t reports = d.states.size();
  d.Run(0);
  EXPECT_EQ(d.GetState(), 0u);
  EXPECT_EQ(d.states.size(), reports);
}

// Every mode's code selects its mode and starts a picture: clean (seed 0) and every time at 10 dB.
TEST(SstvVis, EveryModeCodeSelectsItsModeCleanAndAtTenDb) {
  int wrong = 0, total = 0;
  for (int i = 0; i < kSstvModeCount; ++i) {
    const SstvMode* m = SstvModeAt(i);
    for (int seed = 0; seed <= 12; ++seed) {
      std::vector<Tone> t = {{1500, 200}};
      Append(t, Vis(m->vis));
      t.push_back({1500, 300});
      std::vector<float> s = Tones(t);
      if (seed) sigtest::AddNoise(s, kRate, 10.0, uint64_t(seed * 31 + i));
      Recorder d;
      ASSERT_EQ(d.Init(kRate, kBlock), 1);
      if (m->mode == kSstvMartin1) {
        ASSERT_EQ(d.SetMode(kSstvSc2180, 0.0), 1);
      }
      Feed(d, s);
      ++total;
      if (d.GetMode() != m->mode || !(d.GetState() & kSstvReceiving)) ++wrong;
      if (seed == 0) {
        EXPECT_EQ(d.GetLastVIS(), m->vis) << m->name;
        EXPECT_EQ(d.GetState(), kSstvReceiving | kSstvSearching) << m->name;
        ASSERT_FALSE(d.states.empty());
        EXPECT_EQ(d.states.back(), kSstvReceiving | kSstvSearching);
      }
    }
  }
  EXPECT_EQ(wrong, 0) << "of " << total;
}

TEST(SstvVis, NoiseAloneStartsNothing) {
  const std::vector<float> s = Noise(60, 5000.0, 7);
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  Feed(d, s);
  EXPECT_EQ(d.GetState(), 0u);
  EXPECT_TRUE(d.lines.empty());
}

// Round trips through the transmitter.

struct RoundTrip {
  double psnr = 0.0;
  int mode = -1;
  int lines_shown = 0;
  unsigned long state = 0;
};

RoundTrip Receive(int mode, double snr, uint64_t seed, double ppm = 0.0, double timing = 0.0) {
  const SstvMode* m = SstvModeByNumber(mode);
  const std::vector<uint8_t> chart = Chart(m->lines);
  std::vector<float> s = Padded(Transmission(mode, chart, m->lines, ppm));
  if (snr < 90.0) sigtest::AddNoise(s, kRate, snr, seed, kAmplitude * kAmplitude / 2.0);
  Recorder d;
  EXPECT_EQ(d.Init(kRate, kBlock), 1);
  if (timing != 0.0) d.SetTiming(mode, timing);
  Feed(d, s);
  RoundTrip r;
  r.mode = d.GetMode();
  r.psnr = Psnr(d, chart);
  r.lines_shown = int(d.lines.size());
  r.state = d.GetState();
  return r;
}

TEST(SstvRoundTrip, EveryModeCleanAndWithNoise) {
  const struct {
    double snr, min_psnr;
    uint64_t seed;
  } levels[] = {{99.0, 24.0, 1}, {20.0, 22.0, 11}, {10.0, 16.0, 21}};
  for (int i = 0; i < kSstvModeCount; ++i)
    for (const auto& l : levels) {
      const SstvMode* m = SstvModeAt(i);
      SCOPED_TRACE(std::string(m->name) + " at " + std::to_string(int(l.snr)) + " dB");
      const RoundTrip r = Receive(m->mode, l.snr, l.seed + (l.snr < 90.0 ? i : 0));
      EXPECT_EQ(r.mode, m->mode);
      EXPECT_GT(r.psnr, l.min_psnr);
      if (l.snr > 90.0) {
        EXPECT_GE(r.lines_shown, m->lines - 6);
        EXPECT_EQ(r.state, 0u);  // the picture ended
      }
    }
}

TEST(SstvRoundTrip, FastSampleClockComesOutStraightAfterSlantCorrection) {
  // The sender's clock 0.1 % fast: every line 0.1 % shorter.
  const double ppm = 1000.0;
  for (int mode : {kSstvMartin1, kSstvRobot72}) {
    Recorder probe;
    ASSERT_EQ(probe.Init(kRate, kBlock), 1);
    const double nominal = probe.NominalTiming(mode);
    const RoundTrip slanted = Receive(mode, 30.0, 5, ppm);
    const RoundTrip straight = Receive(mode, 30.0, 5, ppm, nominal * (1.0 + ppm / 1e6));
    EXPECT_LT(slanted.psnr, 18.0) << mode;
    EXPECT_GT(straight.psnr, 22.0) << mode;
  }
}

TEST(SstvRoundTrip, PictureStoppingHalfWayKeepsWhatCame) {
  const std::vector<uint8_t> chart = Chart(256);
  const std::vector<float> s = Padded(Transmission(kSstvMartin1, chart, 256));
  const size_t half = s.size() / 2;
  // The input ends inside a line: what came is there, the rest stays black.
  Recorder cut;
  ASSERT_EQ(cut.Init(kRate, kBlock), 1);
  Feed(cut, s, 0, half + 777);
  EXPECT_EQ(cut.GetState(), kSstvReceiving);
  const int got = cut.GetLineCount();
  EXPECT_GT(got, 110);
  EXPECT_LT(got, 140);
  EXPECT_GT(Psnr(cut, chart, 0, got - 1), 24.0);
  HBITMAP pic = cut.GetPicture();
  int lit = 0;
  for (int y = got + 2; y < 256; ++y)
    for (int i = 0; i < 3 * kSstvWidth; ++i) lit += pic->pixels[size_t(255 - y) * pic->bpl + i] > 0;
  EXPECT_EQ(lit, 0);
  // The sender stops and noise follows: the picture runs to its end on noise, then the
  // decoder waits again without writing past its store.
  std::vector<float> rest(s.begin(), s.begin() + long(half));
  const std::vector<float> noise = Noise(80, 3000.0, 3);
  rest.insert(rest.end(), noise.begin(), noise.end());
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  Feed(d, rest);
  EXPECT_EQ(d.GetState(), 0u);
  EXPECT_GT(Psnr(d, chart, 0, got - 2), 24.0);
  ASSERT_FALSE(d.lines.empty());
  EXPECT_EQ(d.lines.back(), 255);
}

TEST(SstvRoundTrip, StoreIsNeverWrittenPastItsEnd) {
  // The fastest pace there is: every sample owes a position; tones that change often.
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  d.SetAVIS(0);
  d.SetTiming(kSstvMartin1, 0.999);
  d.Run(1);
  std::vector<Tone> t;
  for (int i = 0; i < 3000; ++i) t.push_back({i % 3 == 0 ? 1200.0 : 1500.0 + (i * 37) % 800, 10});
  int stopped = 0;
  bool was = d.GetState() & kSstvReceiving;
  Feed(d, Tones(t), 0, SIZE_MAX, [&](const AudioBlock*, size_t) {
    ASSERT_LE(d.GetWritePosition(), d.GetRawSize());
    const bool now = d.GetState() & kSstvReceiving;
    stopped += was && !now;
    was = now;
  });
  EXPECT_GE(stopped, 1);
  EXPECT_EQ(d.lines.empty() ? 0 : d.lines.back(), 255);
}

TEST(SstvRoundTrip, SyncsAtTheLineWrapAverageToTheWrap) {
  // Started by hand just where a line period begins: with noise the syncs register on both
  // sides of the wrap (positions near P and near 0). Their mean is the wrap, not mid-line.
  const std::vector<uint8_t> chart = Chart(256);
  std::vector<float> s = Transmission(kSstvMartin1, chart, 256);
  sigtest::AddNoise(s, kRate, 15.0, 9, kAmplitude * kAmplitude / 2.0);
  const size_t line0 = size_t(std::lround(CSstvTransmitter::HeaderMs() / 1000.0 * kRate));
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  d.SetAVIS(0);
  d.Run(1);
  // The band-pass delays the signal by half its 64 taps: the store's first position then holds
  // the sample 32 before the first one fed.
  Feed(d, s, line0 + 32 + 1);
  const int off = d.GetLineOffset();
  EXPECT_TRUE(off <= 3) << off;
  EXPECT_GT(Psnr(d, chart), 20.0);
}

TEST(SstvMixSync, CleanSyncToneJoinsTheCallersAudio) {
  const std::vector<uint8_t> chart = Chart(256);
  const std::vector<float> s = Transmission(kSstvMartin1, chart, 256);
  Recorder d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  ASSERT_EQ(d.MixSync(1), 1);
  int mixed = 0;
  Feed(d, s, 0, 400 * kBlock, [&](const AudioBlock* b, size_t i) {
    // A block with the tone mixed in is the half sum: it no longer equals the input.
    bool changed = false;
    for (int k = 0; k < kBlock && !changed; ++k) changed = std::fabs(b->data[k] - s[i + k]) > 1.0f;
    if (changed) {
      ++mixed;
      EXPECT_LE(b->peak, 0.5f * (kAmplitude + 0.2f * kAmplitude) + 1.0f);
    }
  });
  // Syncs come every line; the countdown runs out P / 2 crossings after each.
  EXPECT_GT(mixed, 80);
  EXPECT_LT(mixed, 300);
  EXPECT_NEAR(d.GetSyncFrequency(), 1200, 20);
  // Without mix-sync the caller's block stays as it was.
  Recorder plain;
  ASSERT_EQ(plain.Init(kRate, kBlock), 1);
  AudioBlock* b = nullptr;
  ASSERT_TRUE(NewAudioBlock(&b, kBlock));
  std::memcpy(b->data, &s[size_t(kRate) * 5], sizeof(float) * kBlock);
  MeasureAudioBlock(b);
  plain.Decode(b);
  EXPECT_EQ(std::memcmp(b->data, &s[size_t(kRate) * 5], sizeof(float) * kBlock), 0);
  FreeAudioBlock(b);
}

// An owner that changes the set-up from inside the callbacks, as the station does when the
// user picks another mode while a picture comes in.
class Meddler : public Recorder {
 public:
  void ShowSSTV(int line) override {
    Recorder::ShowSSTV(line);
    if (line == 20) SetMode(kSstvRobot72, 0.0);
    if (line == 60) Init(kRate, kBlock);
    if (line == 100) Run(0);
  }
  void StateChange(unsigned long state) override {
    Recorder::StateChange(state);
    if (state == kSstvReceiving && ++syncs == 1) SetSync(5);
  }
  int syncs = 0;
};

TEST(SstvRoundTrip, CallbacksMayChangeTheSetUp) {
  const std::vector<uint8_t> chart = Chart(256);
  std::vector<float> s = Padded(Transmission(kSstvMartin1, chart, 256));
  const std::vector<float> noise = Noise(60, 3000.0, 11);
  s.insert(s.end(), noise.begin(), noise.end());
  Meddler d;
  ASSERT_EQ(d.Init(kRate, kBlock), 1);
  Feed(d, s);
  EXPECT_EQ(d.GetMode(), kSstvRobot72);
  EXPECT_LE(d.GetWritePosition(), d.GetRawSize());
  EXPECT_GE(d.syncs, 1);
  ASSERT_NE(d.GetPicture(), nullptr);
}

// Colour bars in Robot 72: the bar centres' mean colours, in red, green, blue.
struct BarColours {
  int rgb[8][3] = {};
};

BarColours ReceiveBars(int sent_matrix, int decoder_matrix, double snr) {
  const int lines = SstvModeByNumber(kSstvRobot72)->lines;
  std::vector<uint8_t> chart(size_t(kSstvWidth) * lines * 3);
  for (size_t p = 0; p < chart.size() / 3; ++p)
    std::memcpy(&chart[3 * p], kBars[(p % kSstvWidth) * 8 / kSstvWidth], 3);
  std::vector<float> s = Padded(Transmission(kSstvRobot72, chart, lines, 0.0, sent_matrix));
  if (snr < 90.0) sigtest::AddNoise(s, kRate, snr, 21, kAmplitude * kAmplitude / 2.0);
  Recorder d;
  EXPECT_EQ(d.Init(kRate, kBlock), 1);
  EXPECT_EQ(d.SetColourMatrix(decoder_matrix), 1);
  Feed(d, s);
  EXPECT_EQ(d.GetMode(), kSstvRobot72);
  HBITMAP pic = d.GetPicture();
  // The median of each channel over the bar's middle: clamping at 0 and 255 would move a
  // mean of noisy saturated values inwards.
  BarColours got;
  constexpr int kBarWidth = kSstvWidth / 8, kMargin = 12;
  for (int bar = 0; bar < 8; ++bar) {
    std::vector<int> v[3];
    for (int y = 20; y < lines - 20; y += 4)
      for (int x = bar * kBarWidth + kMargin; x < (bar + 1) * kBarWidth - kMargin; ++x) {
        const uint8_t* px = pic->pixels + size_t(lines - 1 - y) * pic->bpl + 3 * x;
        for (int c = 0; c < 3; ++c) v[c].push_back(px[2 - c]);
      }
    for (int c = 0; c < 3; ++c) {
      std::nth_element(v[c].begin(), v[c].begin() + v[c].size() / 2, v[c].end());
      got.rgb[bar][c] = v[c][v[c].size() / 2];
    }
  }
  return got;
}

// The largest difference of any bar's channel from the bars sent.
int WorstBarError(const BarColours& got) {
  int worst = 0;
  for (int bar = 0; bar < 8; ++bar)
    for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(got.rgb[bar][c] - kBars[bar][c]));
  return worst;
}

// Robot equipment, and the transmitter as it starts, send the BT.601 studio-range equations;
// the decoder takes them by default. The full-range 709 ones stay selectable on both sides, and
// the matrices differ enough that a mismatch shows in the bars.
TEST(SstvColour, Robot72BarsInEitherMatrix) {
  for (double snr : {99.0, 20.0}) {
    const int worst = WorstBarError(ReceiveBars(-1, kSstvMatrixOfMode, snr));
    EXPECT_LE(worst, 4) << "601 default, snr " << snr;
  }
  EXPECT_LE(WorstBarError(ReceiveBars(kSstvYcc709Full, kSstvMatrix709Full, 99.0)), 4);
  EXPECT_LE(WorstBarError(ReceiveBars(kSstvYcc601Studio, kSstvMatrix601Studio, 99.0)), 4);
  EXPECT_GT(WorstBarError(ReceiveBars(-1, kSstvMatrix709Full, 99.0)), 20);

  CSstvDecoder d;
  EXPECT_EQ(d.SetColourMatrix(kSstvMatrixCount), 0);
  EXPECT_EQ(d.SetColourMatrix(-2), 0);
}

}  // namespace

namespace {

// A smooth picture (colour gradients, a soft disc): what noise does to it shows plainly.
std::vector<uint8_t> Gradients(int lines) {
  std::vector<uint8_t> c(size_t(kSstvWidth) * lines * 3);
  for (int y = 0; y < lines; ++y)
    for (int x = 0; x < kSstvWidth; ++x) {
      const double u = double(x) / kSstvWidth, v = double(y) / lines;
      const double disc = std::hypot(u - 0.6, v - 0.5) < 0.25 ? 1.0 : 0.0;
      uint8_t* p = &c[(size_t(y) * kSstvWidth + x) * 3];
      p[0] = uint8_t(disc > 0.0 ? 220.0 : 40.0 + 170.0 * u);
      p[1] = uint8_t(60 + 150 * v);
      p[2] = uint8_t(200 - 150 * u * v);
    }
  return c;
}

// Luminance PSNR of the decoder's picture against the one sent (exact alignment).
double LumaPsnr(CSstvDecoder& d, const std::vector<uint8_t>& want) {
  HBITMAP pic = d.GetPicture();
  const int lines = d.GetYSize();
  const double w[3] = {0.299, 0.587, 0.114};
  double se = 0.0;
  for (int y = 0; y < lines; ++y)
    for (int x = 0; x < kSstvWidth; ++x) {
      double e = 0.0;
      for (int c = 0; c < 3; ++c)
        e += w[c] * (double(pic->pixels[size_t(lines - 1 - y) * pic->bpl + 3 * x + 2 - c]) -
                     want[(size_t(y) * kSstvWidth + x) * 3 + c]);
      se += e * e;
    }
  return 10.0 * std::log10(255.0 * 255.0 / (se / (double(lines) * kSstvWidth) + 1e-9));
}

}  // namespace

// The decoder measures the SNR over the VIS header from the moments of its samples, and below
// kSstvNarrowBelowDb takes the picture from the narrower band; noise alone, without a VIS, leaves
// the measure unset.
TEST(SstvNoise, HeaderSnrFollowsTheNoise) {
  const std::vector<uint8_t> chart = Chart(256);
  const std::vector<float> clean = Padded(Transmission(kSstvMartin1, chart, 256));
  const size_t some_lines = size_t(5 * kRate);
  for (double snr : {35.0, 30.0, 20.0, 10.0, 5.0, 0.0}) {
    SCOPED_TRACE(snr);
    std::vector<float> s = clean;
    sigtest::AddNoise(s, kRate, snr, 77, kAmplitude * kAmplitude / 2.0);
    Recorder d;
    ASSERT_EQ(d.Init(kRate, kBlock), 1);
    EXPECT_EQ(d.GetSnrDb(), kSstvSnrUnknown);
    d.SetToneVis(1);
    Feed(d, s, 0, some_lines);
    ASSERT_EQ(d.GetState() & kSstvReceiving, kSstvReceiving);
    EXPECT_NEAR(d.GetSnrDb(), snr, 1.0);
    EXPECT_EQ(d.NarrowPictureBand(), snr < kSstvNarrowBelowDb);
  }
  Recorder quiet;
  ASSERT_EQ(quiet.Init(kRate, kBlock), 1);
  Feed(quiet, clean, 0, some_lines);
  EXPECT_GT(quiet.GetSnrDb(), 40.0);
  EXPECT_FALSE(quiet.NarrowPictureBand());
  Recorder noise;
  ASSERT_EQ(noise.Init(kRate, kBlock), 1);
  Feed(noise, Noise(5, 3000.0, 78));
  EXPECT_EQ(noise.GetSnrDb(), kSstvSnrUnknown);
  EXPECT_FALSE(noise.NarrowPictureBand());
}

// Robot 72 sends its luminance once, in a third of the line (the RGB modes send it in all three
// scans), so noise shows most in it: at +5 and 0 dB the narrow picture band keeps it usable.
TEST(SstvRoundTrip, Robot72LuminanceAtFiveAndZeroDb) {
  const int lines = SstvModeByNumber(kSstvRobot72)->lines;
  const std::vector<uint8_t> pic = Gradients(lines);
  const std::vector<float> clean = Padded(Transmission(kSstvRobot72, pic, lines));
  const struct {
    double snr, min_psnr;
  } levels[] = {{5.0, 23.0}, {0.0, 17.5}};
  for (const auto& l : levels) {
    SCOPED_TRACE(l.snr);
    std::vector<float> s = clean;
    sigtest::AddNoise(s, kRate, l.snr, 31, kAmplitude * kAmplitude / 2.0);
    CSstvDecoder d;
    ASSERT_EQ(d.Init(kRate, kBlock), 1);
    d.SetToneVis(1);
    d.SetAutoSlant(1);
    Feed(d, s);
    ASSERT_EQ(d.GetMode(), kSstvRobot72);
    EXPECT_GT(LumaPsnr(d, pic), l.min_psnr);
  }
}

namespace {

// The station's set-up: tone VIS and automatic slant.
CSstvDecoder* ReceiveAsStation(CSstvDecoder& d, const std::vector<float>& s) {
  EXPECT_EQ(d.Init(kRate, kBlock), 1);
  d.SetToneVis(1);
  d.SetAutoSlant(1);
  Feed(d, s);
  return &d;
}

std::vector<float> Noisy(int mode, const std::vector<uint8_t>& pic, double ppm, double snr,
                         uint64_t seed) {
  std::vector<float> s = Padded(Transmission(mode, pic, SstvModeByNumber(mode)->lines, ppm));
  sigtest::AddNoise(s, kRate, snr, seed, kAmplitude * kAmplitude / 2.0);
  return s;
}

}  // namespace

// A sender's clock 0.1 % off, found by the slant correction, leaves the picture as it comes at
// the right clock: every pixel is read over its own span wherever the slant puts it among the
// store's positions, and the tones, off by as much as the clock, are taken back to the
// published ones.
TEST(SstvRoundTrip, ClockErrorCostsLittleAfterSlantCorrection) {
  for (int mode : {kSstvMartin1, kSstvSc2180}) {
    const int lines = SstvModeByNumber(mode)->lines;
    const std::vector<uint8_t> pic = Gradients(lines);
    CSstvDecoder nominal;
    ReceiveAsStation(nominal, Noisy(mode, pic, 0.0, 20.0, 41));
    ASSERT_EQ(nominal.GetMode(), mode);
    const double base = LumaPsnr(nominal, pic);
    EXPECT_GT(base, 30.0) << mode;
    for (double ppm : {1000.0, -1000.0}) {
      CSstvDecoder d;
      ReceiveAsStation(d, Noisy(mode, pic, ppm, 20.0, 41));
      ASSERT_EQ(d.GetMode(), mode);
      EXPECT_NEAR(d.GetClockPpm(), -ppm, 10.0) << mode;
      EXPECT_NEAR(LumaPsnr(d, pic), base, 0.25) << mode << " at " << ppm << " ppm";
    }
  }
}

// Columns one pixel wide, black and white in turn, come through a picture at +20 dB in SC2-180
// (whose pixels are the longest) in their places: the median that takes out noise keeps a
// pixel that stands far from its neighbours in a picture this clean.
TEST(SstvRoundTrip, OnePixelColumnsSurviveAtTwentyDb) {
  const int lines = SstvModeByNumber(kSstvSc2180)->lines;
  std::vector<uint8_t> pic(size_t(kSstvWidth) * lines * 3);
  for (int y = 0; y < lines; ++y)
    for (int x = 0; x < kSstvWidth; ++x)
      for (int c = 0; c < 3; ++c) pic[(size_t(y) * kSstvWidth + x) * 3 + c] = x % 2 ? 255 : 0;
  CSstvDecoder d;
  ReceiveAsStation(d, Noisy(kSstvSc2180, pic, 0.0, 20.0, 43));
  ASSERT_EQ(d.GetMode(), kSstvSc2180);
  HBITMAP got = d.GetPicture();
  // The received green against the sent columns, both about mid-gray: +1 for all of the
  // contrast in place, 0 for none, -1 for the columns swapped.
  double sum = 0.0;
  int n = 0;
  for (int y = 8; y < lines - 8; ++y)
    for (int x = 8; x < kSstvWidth - 8; ++x, ++n)
      sum += (got->pixels[size_t(lines - 1 - y) * got->bpl + 3 * x + 1] - 127.5) *
             ((x % 2 ? 255 : 0) - 127.5) / (127.5 * 127.5);
  EXPECT_GT(sum / n, 0.15);
}
