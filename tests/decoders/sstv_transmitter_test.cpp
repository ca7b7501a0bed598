// SSTV generator: the signal measured from the outside. A flat picture is compared sample by
// sample with the published frequency plan (header, VIS code, every element of every line, also
// with a clock error); zero crossings give the frequencies of scaled pictures, and the Robot 72
// colour values are checked against the published equations. The reference timings below are
// written from the mode descriptions, not from the generator's table.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "spl/decoders/sstv_chart.h"
#include "spl/decoders/sstv_transmitter.h"
#include "spl/image/dib_section.h"

namespace {

constexpr int kRate = 11025;
constexpr double kHeaderMs = 300 + 10 + 300 + 30 + 8 * 30 + 30;  // leader .. stop bit

// What the reference layout expects in a segment: a tone, or the scan of one component.
enum Want { kHz, kR, kG, kB, kY, kRy, kBy };
struct Seg {
  double ms;
  Want want;
  double hz;  // kHz only
};

struct ModeRef {
  const char* name;
  int mode;
  int vis;
  int lines;
  double prefix_ms;  // sent once before line 0
  double line_ms;    // as published
  std::vector<Seg> line;
};

std::vector<ModeRef> Modes() {
  return {
      {"martin1", kSstvTxMartin1, 44, 256, 0.0, 446.446,
       {{4.862, kHz, 1200}, {0.572, kHz, 1500}, {146.432, kG, 0}, {0.572, kHz, 1500},
        {146.432, kB, 0}, {0.572, kHz, 1500}, {146.432, kR, 0}, {0.572, kHz, 1500}}},
      {"scottie1", kSstvTxScottie1, 60, 256, 9.0, 428.22,
       {{1.5, kHz, 1500}, {138.24, kG, 0}, {1.5, kHz, 1500}, {138.24, kB, 0}, {9.0, kHz, 1200},
        {1.5, kHz, 1500}, {138.24, kR, 0}}},
      {"sc2-180", kSstvTxSc2_180, 55, 256, 0.0, 711.0225,
       {{5.5225, kHz, 1200}, {0.5, kHz, 1500}, {235, kR, 0}, {235, kG, 0}, {235, kB, 0}}},
      {"robot72", kSstvTxRobot72, 12, 240, 0.0, 300.0,
       {{9, kHz, 1200}, {3, kHz, 1500}, {138, kY, 0}, {4.5, kHz, 1500}, {1.5, kHz, 1900},
        {69, kRy, 0}, {4.5, kHz, 2300}, {1.5, kHz, 1900}, {69, kBy, 0}}},
  };
}

// Zero crossings, in samples, by linear interpolation between the two samples around them.
std::vector<double> Crossings(const std::vector<float>& s) {
  std::vector<double> c;
  for (size_t i = 1; i < s.size(); ++i)
    if ((s[i - 1] < 0.0f) != (s[i] < 0.0f))
      c.push_back(double(i - 1) + double(s[i - 1]) / (double(s[i - 1]) - double(s[i])));
  return c;
}

// Mean frequency between two times (ms) from the crossings inside: half periods over time.
double FrequencyAt(const std::vector<double>& c, int rate, double from_ms, double to_ms) {
  const double a = from_ms * rate / 1000.0, b = to_ms * rate / 1000.0;
  auto lo = std::lower_bound(c.begin(), c.end(), a);
  auto hi = std::upper_bound(c.begin(), c.end(), b);
  if (hi - lo < 3) return 0.0;
  const double first = *lo, last = *(hi - 1);
  return double(hi - lo - 1) / (2.0 * (last - first)) * rate;
}

double ValueHz(double v) { return 1500.0 + v * 800.0 / 255.0; }

// The published Robot colour equations (601 studio range).
int PublishedY(double r, double g, double b) {
  return int(std::lround(16.0 + 0.003906 * (65.738 * r + 129.057 * g + 25.064 * b)));
}
int PublishedRy(double r, double g, double b) {
  return int(std::lround(128.0 + 0.003906 * (112.439 * r - 94.154 * g - 18.285 * b)));
}
int PublishedBy(double r, double g, double b) {
  return int(std::lround(128.0 + 0.003906 * (-37.945 * r - 74.494 * g + 112.439 * b)));
}

double ExpectedHz(const Seg& s, double r, double g, double b) {
  switch (s.want) {
    case kHz: return s.hz;
    case kR: return ValueHz(r);
    case kG: return ValueHz(g);
    case kB: return ValueHz(b);
    case kY: return ValueHz(PublishedY(r, g, b));
    case kRy: return ValueHz(PublishedRy(r, g, b));
    case kBy: return ValueHz(PublishedBy(r, g, b));
  }
  return 0.0;
}

std::vector<float> Flat(const ModeRef& m, uint8_t r, uint8_t g, uint8_t b, int rate = kRate,
                        double ppm = 0.0) {
  CSstvTransmitter tx;
  EXPECT_EQ(tx.Init(m.mode, rate, ppm), 1);
  const std::vector<uint8_t> px = {r, g, b};
  EXPECT_EQ(tx.SetPicture(px.data(), 1, 1), 1);
  std::vector<float> s;
  EXPECT_EQ(tx.Transmit(s), 1);
  // The transmitter's own account of what it sends.
  EXPECT_EQ((long long)s.size(), tx.GetTotalSamples()) << m.name;
  EXPECT_EQ(tx.GetVis(), m.vis);
  if (ppm == 0.0) {
    EXPECT_NEAR(tx.GetDurationMs(), kHeaderMs + m.prefix_ms + m.lines * m.line_ms, 1e-6) << m.name;
    EXPECT_NEAR(tx.GetLineMs(), m.line_ms, 1e-9) << m.name;
  }
  return s;
}

// The signal of a flat picture as it must be: A sin(2 pi phi(t_n)), phi the integral of the
// published frequency plan, t_n = n (1 + ppm / 1e6) / rate the sender's time of sample n.
// Every sample of the transmission is compared, so an element that starts a fraction of a
// sample early or late anywhere in the picture shows.
TEST(SstvTransmitter, FlatPictureMatchesThePublishedPlanSampleBySample) {
  const uint8_t r = 90, g = 160, b = 220;
  for (const ModeRef& m : Modes())
    for (auto [ppm, rate] : {std::pair{0.0, 11025}, {300.0, 48000}, {-2000.0, 11025}}) {
        struct Piece {
          double ms, hz;
        };
        std::vector<Piece> plan = {{300, 1900}, {10, 1200}, {300, 1900}, {30, 1200}};
        int ones = 0;
        for (int bit = 0; bit < 7; ++bit) {
          const int v = (m.vis >> bit) & 1;
          ones += v;
          plan.push_back({30, v ? 1100.0 : 1300.0});
        }
        plan.push_back({30, ones % 2 ? 1100.0 : 1300.0});
        plan.push_back({30, 1200});
        if (m.prefix_ms > 0) plan.push_back({m.prefix_ms, 1200});
        for (int line = 0; line < m.lines; ++line)
          for (const Seg& s : m.line) plan.push_back({s.ms, ExpectedHz(s, r, g, b)});

        const std::vector<float> sig = Flat(m, r, g, b, rate, ppm);
        const double amplitude = 16000.0, step = (1.0 + ppm * 1e-6) / rate;
        size_t piece = 0;
        double piece_start = 0.0, cycles = 0.0;  // sender seconds, cycles at the piece start
        double worst = 0.0;
        for (size_t n = 0; n < sig.size(); ++n) {
          const double t = double(n) * step;
          while (piece + 1 < plan.size() && piece_start + plan[piece].ms / 1000.0 <= t) {
            cycles += plan[piece].hz * plan[piece].ms / 1000.0;
            cycles -= std::floor(cycles);
            piece_start += plan[piece].ms / 1000.0;
            ++piece;
          }
          const double phi = cycles + plan[piece].hz * (t - piece_start);
          worst = std::max(worst, std::fabs(sig[n] - amplitude * std::sin(2.0 * M_PI * phi)));
        }
        EXPECT_EQ(piece, plan.size() - 1) << m.name;
        EXPECT_LT(worst, 0.5) << m.name << " " << ppm << " ppm at " << rate;
        EXPECT_NEAR(double(sig.size()),
                    (kHeaderMs + m.prefix_ms + m.lines * m.line_ms) / 1000.0 / step, 1.0);
    }
}

TEST(SstvTransmitter, ToneIsPhaseContinuousAtTheGivenAmplitude) {
  // A chart changes frequency at every bar, a worst case for jumps at element edges.
  std::vector<uint8_t> chart;
  ASSERT_EQ(MakeSstvChart(320, 256, chart), 1);
  for (const ModeRef& m : Modes())
    for (double amplitude : {16000.0, 1000.0}) {
      CSstvTransmitter tx;
      ASSERT_EQ(tx.Init(m.mode, kRate, 0.0, amplitude), 1);
      ASSERT_EQ(tx.SetPicture(chart.data(), 320, 256), 1);
      std::vector<float> s;
      ASSERT_EQ(tx.Transmit(s), 1);
      // A sine of at most 2300 Hz moves by at most 2 A sin(pi f / rate) per sample; a phase
      // jump anywhere would exceed it.
      const double step = 2.0 * amplitude * std::sin(M_PI * 2300.0 / kRate) * 1.001;
      double peak = 0.0, worst = 0.0;
      for (size_t i = 0; i < s.size(); ++i) {
        peak = std::max(peak, double(std::fabs(s[i])));
        if (i) worst = std::max(worst, double(std::fabs(s[i] - s[i - 1])));
      }
      EXPECT_LE(worst, step) << m.name;
      EXPECT_LE(peak, amplitude * 1.0001) << m.name;
      EXPECT_GE(peak, amplitude * 0.99) << m.name;
    }
}

TEST(SstvTransmitter, BlocksOfAnySizeGiveTheSameSignal) {
  const ModeRef m = Modes()[3];
  std::vector<uint8_t> chart;
  ASSERT_EQ(MakeSstvChart(320, 240, chart), 1);
  CSstvTransmitter tx;
  ASSERT_EQ(tx.Init(m.mode), 1);
  ASSERT_EQ(tx.SetPicture(chart.data(), 320, 240), 1);
  std::vector<float> whole;
  ASSERT_EQ(tx.Transmit(whole), 1);
  EXPECT_EQ(tx.Generate(whole.data(), 10), 0);  // finished
  tx.Rewind();
  std::vector<float> pieces, buf(1023);
  int sizes[] = {1, 7, 1023, 512, 333};
  for (int i = 0, n; (n = tx.Generate(buf.data(), sizes[i % 5])) > 0; ++i)
    pieces.insert(pieces.end(), buf.begin(), buf.begin() + n);
  ASSERT_EQ(pieces.size(), whole.size());
  for (size_t i = 0; i < whole.size(); ++i) ASSERT_EQ(pieces[i], whole[i]) << i;
}

TEST(SstvTransmitter, PicturesOfOtherSizesAreScaledToTheLine) {
  // 640 x 128: left half red, right half blue, lower half of the rows green.
  const int w = 640, h = 128;
  std::vector<uint8_t> px(size_t(w) * h * 3, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[(size_t(y) * w + x) * 3];
      if (y >= h / 2) p[1] = 255;
      else if (x < w / 2) p[0] = 255;
      else p[2] = 255;
    }
  const ModeRef m = Modes()[2];  // SC2-180: red, green, blue scans of 235 ms
  CSstvTransmitter tx;
  ASSERT_EQ(tx.Init(m.mode), 1);
  ASSERT_EQ(tx.SetPicture(px.data(), w, h), 1);
  std::vector<float> s;
  ASSERT_EQ(tx.Transmit(s), 1);
  const std::vector<double> c = Crossings(s);
  auto at = [&](int line, int scan, double from, double to) {  // share of the scan
    const double t = kHeaderMs + line * m.line_ms + 6.0225 + scan * 235.0;
    return FrequencyAt(c, kRate, t + from * 235.0, t + to * 235.0);
  };
  EXPECT_NEAR(at(10, 0, 0.05, 0.45), 2300, 2);   // red on the left
  EXPECT_NEAR(at(10, 0, 0.55, 0.95), 1500, 2);
  EXPECT_NEAR(at(10, 2, 0.05, 0.45), 1500, 2);   // blue on the right
  EXPECT_NEAR(at(10, 2, 0.55, 0.95), 2300, 2);
  EXPECT_NEAR(at(200, 1, 0.05, 0.95), 2300, 2);  // green below
  EXPECT_NEAR(at(200, 0, 0.05, 0.95), 1500, 2);

  // The bitmap path reads the same picture (bottom-up rows, blue-green-red bytes).
  CDibSection dib;
  HBITMAP bmp = dib.Create(w, h, 24, 0);
  ASSERT_NE(bmp, nullptr);
  unsigned char* base = dib.AdrH(bmp);
  const int bpl = dib.BPL(bmp);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &px[(size_t(y) * w + x) * 3];
      unsigned char* q = base + size_t(h - 1 - y) * bpl + x * 3;
      q[0] = p[2], q[1] = p[1], q[2] = p[0];
    }
  CSstvTransmitter tb;
  ASSERT_EQ(tb.Init(m.mode), 1);
  ASSERT_EQ(tb.SetPicture(bmp), 1);
  std::vector<float> sb;
  ASSERT_EQ(tb.Transmit(sb), 1);
  DeleteObject(bmp);
  EXPECT_EQ(sb, s);
}

TEST(SstvTransmitter, Robot72ColourDifferencesAtHalfResolution) {
  // Left half white, right half red: Y follows per pixel, R-Y per pixel pair.
  std::vector<uint8_t> px(320 * 240 * 3, 0);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) {
      uint8_t* p = &px[(size_t(y) * 320 + x) * 3];
      p[0] = 255;
      p[1] = p[2] = x < 160 ? 255 : 0;
    }
  CSstvTransmitter tx;
  ASSERT_EQ(tx.Init(kSstvTxRobot72), 1);
  ASSERT_EQ(tx.SetPicture(px.data(), 320, 240), 1);
  std::vector<float> s;
  ASSERT_EQ(tx.Transmit(s), 1);
  const std::vector<double> c = Crossings(s);
  const double line = kHeaderMs + 100 * 300.0;
  EXPECT_NEAR(FrequencyAt(c, kRate, line + 14, line + 80), ValueHz(PublishedY(255, 255, 255)), 2);
  EXPECT_NEAR(FrequencyAt(c, kRate, line + 82, line + 148), ValueHz(PublishedY(255, 0, 0)), 2);
  EXPECT_NEAR(FrequencyAt(c, kRate, line + 157, line + 190), ValueHz(PublishedRy(255, 255, 255)), 3);
  EXPECT_NEAR(FrequencyAt(c, kRate, line + 191, line + 224), ValueHz(PublishedRy(255, 0, 0)), 3);
  EXPECT_NEAR(FrequencyAt(c, kRate, line + 232, line + 265), ValueHz(PublishedBy(255, 255, 255)), 3);
  EXPECT_NEAR(FrequencyAt(c, kRate, line + 266, line + 299), ValueHz(PublishedBy(255, 0, 0)), 3);

  // The full-range 709 matrix: white is 255, the colour differences of red those that
  // red = Y + 1.5748 (R-Y - 128) gives back.
  ASSERT_EQ(tx.SetColorMatrix(kSstvYcc709Full), 1);
  ASSERT_EQ(tx.SetPicture(px.data(), 320, 240), 1);
  s.clear();
  ASSERT_EQ(tx.Transmit(s), 1);
  const std::vector<double> c709 = Crossings(s);
  EXPECT_NEAR(FrequencyAt(c709, kRate, line + 14, line + 80), 2300, 2);
  const double y = 0.2126 * 255;
  EXPECT_NEAR(FrequencyAt(c709, kRate, line + 82, line + 148), ValueHz(std::round(y)), 2);
  EXPECT_NEAR(FrequencyAt(c709, kRate, line + 191, line + 224),
              ValueHz(std::min(255.0, std::round(128 + (255 - y) / 1.5748))), 3);
  EXPECT_NEAR(FrequencyAt(c709, kRate, line + 266, line + 299),
              ValueHz(std::round(128 + (0 - y) / 1.8556)), 3);
}

TEST(SstvTransmitter, RefusesBadSettingsAndKeepsTheOldOnes) {
  CSstvTransmitter tx;
  std::vector<float> s;
  float buf[8];
  const uint8_t px[3] = {1, 2, 3};
  EXPECT_EQ(tx.SetPicture(px, 1, 1), 0);  // before Init
  EXPECT_EQ(tx.Generate(buf, 8), 0);
  EXPECT_EQ(tx.Transmit(s), 0);
  EXPECT_EQ(tx.Init(1), 0);  // not one of the four modes
  EXPECT_EQ(tx.Init(kSstvTxMartin1, 3999), 0);
  EXPECT_EQ(tx.Init(kSstvTxMartin1, kRate, NAN), 0);
  EXPECT_EQ(tx.Init(kSstvTxMartin1, kRate, 0.0, 40000.0), 0);
  ASSERT_EQ(tx.Init(kSstvTxScottie1, 8000), 1);
  EXPECT_EQ(tx.Init(kSstvTxMartin1, 100), 0);
  EXPECT_EQ(tx.GetMode(), kSstvTxScottie1);
  EXPECT_EQ(tx.GetRate(), 8000);
  EXPECT_EQ(tx.SetColorMatrix(2), 0);
  EXPECT_EQ(tx.SetPicture(nullptr, 1, 1), 0);
  EXPECT_EQ(tx.SetPicture(px, 0, 1), 0);
  EXPECT_EQ(tx.SetPicture(HBITMAP(nullptr)), 0);
  EXPECT_EQ(tx.Generate(buf, 8), 0);  // still no picture
  ASSERT_EQ(tx.SetPicture(px, 1, 1), 1);
  EXPECT_EQ(tx.Generate(nullptr, 8), 0);
  EXPECT_EQ(tx.Generate(buf, 0), 0);
  EXPECT_EQ(tx.Generate(buf, 8), 8);
  EXPECT_EQ(tx.GetSamplesDone(), 8);
}

TEST(SstvTransmitter, ModeNamesAndChart) {
  for (const ModeRef& m : Modes()) {
    EXPECT_EQ(CSstvTransmitter::ModeFromName(m.name), m.mode);
    EXPECT_STREQ(CSstvTransmitter::ModeName(m.mode), m.name);
  }
  EXPECT_EQ(CSstvTransmitter::ModeFromName("martin2"), -1);
  EXPECT_EQ(CSstvTransmitter::ModeFromName(nullptr), -1);
  EXPECT_EQ(CSstvTransmitter::ModeName(3), nullptr);

  std::vector<uint8_t> chart;
  EXPECT_EQ(MakeSstvChart(7, 100, chart), 0);
  EXPECT_EQ(MakeSstvChart(320, 3, chart), 0);
  ASSERT_EQ(MakeSstvChart(320, 256, chart), 1);
  EXPECT_EQ(chart.size(), 320u * 256 * 3);
}

}  // namespace
