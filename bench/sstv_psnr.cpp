// SSTV picture quality against SNR: luminance PSNR (Y = 0.299 R + 0.587 G + 0.114 B against the
// picture sent, at the best alignment within +-3 pixels and lines) of Martin 1, Scottie 1,
// Wraase SC2-180 and Robot 72 in white noise (SNR in 3 kHz, signal power A^2 / 2), for two
// pictures made here (photo-like and a chart of gratings, bars and steps) and two sources
// (CSstvTransmitter, and a generator of this file written from the published mode timings).
// Beside the station's decoder (set up as `kestrel decode sstv` sets it up) a reference
// demodulator that knows the exact timing shows the ceiling: analytic signal by FFT of the whole
// recording, instantaneous frequency, every pixel the mean over its exact span. Also: the
// slant correction at +-1000 ppm, and how often the VIS is found deep in noise.
// Its own main: prints Markdown tables for bench/README.md.
//   sstv_psnr [quick | TEXT]   quick: fewer points for a first look; TEXT: only the modes
//   whose name contains it (same seeds as the full run, so the figures agree).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

// The test helpers name the tool binary, which this program never runs.
#ifndef KESTREL_TOOL
#define KESTREL_TOOL "kestrel"
#endif
#include "spl/audio/audio_block.h"
#include "spl/decoders/sstv_decoder.h"
#include "spl/decoders/sstv_transmitter.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025;
constexpr int kBlock = 1024;  // the tool's block at the station rate
constexpr int kTaps = 64;
constexpr int kWidth = 320;
constexpr double kAmplitude = 8000.0;  // 16-bit units: room for the noise at -6 dB
constexpr double kSignalPower = kAmplitude * kAmplitude / 2.0;
constexpr double kLeadSeconds = 1.0;  // noise before the transmission
constexpr double kTailSeconds = 1.5;  // and after it
constexpr int kMaxShift = 3;          // alignment searched, pixels and lines
constexpr double kBlackHz = 1500.0, kWhiteHz = 2300.0, kSyncHz = 1200.0, kLeaderHz = 1900.0;
constexpr double kVisOneHz = 1100.0, kVisZeroHz = 1300.0;
constexpr double kPpm = 1000.0;  // the clock-error rows
// What we want: luminance PSNR at these SNRs, and the clock error costing at most this much.
struct PsnrGoal {
  double snr_db, psnr_db;
};
constexpr PsnrGoal kGoals[] = {{20.0, 27.0}, {5.0, 22.0}, {0.0, 15.0}};
constexpr double kClockGoalDb = 1.0;

// ---------------------------------------------------------------------------------------------
// The own generator's mode table, from the published mode descriptions (milliseconds).

enum Carries { kEnd = 0, kTone, kRed, kGreen, kBlue, kLuma, kRDiff, kBDiff };

struct Element {
  int what;  // a tone or the scan of one component
  double ms;
  double hz;   // tones
  int pixels;  // scans
};

constexpr int kMaxElements = 12;

struct Mode {
  int mode;  // the decoder's and transmitter's number
  const char* name;
  int vis;
  int lines;
  Element prefix;  // sent once before line 0 (what kEnd: none)
  Element line[kMaxElements];
};

const Mode kModes[] = {
    {kSstvMartin1, "Martin 1", 44, 256, {kEnd, 0, 0, 0},
     {{kTone, 4.862, kSyncHz, 0}, {kTone, 0.572, kBlackHz, 0}, {kGreen, 146.432, 0, kWidth},
      {kTone, 0.572, kBlackHz, 0}, {kBlue, 146.432, 0, kWidth}, {kTone, 0.572, kBlackHz, 0},
      {kRed, 146.432, 0, kWidth}, {kTone, 0.572, kBlackHz, 0}}},
    {kSstvScottie1, "Scottie 1", 60, 256, {kTone, 9.0, kSyncHz, 0},
     {{kTone, 1.5, kBlackHz, 0}, {kGreen, 138.24, 0, kWidth}, {kTone, 1.5, kBlackHz, 0},
      {kBlue, 138.24, 0, kWidth}, {kTone, 9.0, kSyncHz, 0}, {kTone, 1.5, kBlackHz, 0},
      {kRed, 138.24, 0, kWidth}}},
    {kSstvSc2180, "SC2-180", 55, 256, {kEnd, 0, 0, 0},
     {{kTone, 5.5225, kSyncHz, 0}, {kTone, 0.5, kBlackHz, 0}, {kRed, 235.0, 0, kWidth},
      {kGreen, 235.0, 0, kWidth}, {kBlue, 235.0, 0, kWidth}}},
    {kSstvRobot72, "Robot 72", 12, 240, {kEnd, 0, 0, 0},
     {{kTone, 9.0, kSyncHz, 0}, {kTone, 3.0, kBlackHz, 0}, {kLuma, 138.0, 0, kWidth},
      {kTone, 4.5, kBlackHz, 0}, {kTone, 1.5, kLeaderHz, 0}, {kRDiff, 69.0, 0, kWidth / 2},
      {kTone, 4.5, kWhiteHz, 0}, {kTone, 1.5, kLeaderHz, 0}, {kBDiff, 69.0, 0, kWidth / 2}}},
};

// Leader, break, leader, start bit, 7 code bits from the lowest, even parity, stop bit.
struct HeadTone {
  double ms, hz;
};
constexpr HeadTone kHead[] = {{300.0, kLeaderHz}, {10.0, kSyncHz}, {300.0, kLeaderHz},
                              {30.0, kSyncHz}};
constexpr double kBitMs = 30.0;

double HeaderMs() {
  double ms = 0.0;
  for (const HeadTone& t : kHead) ms += t.ms;
  return ms + 9 * kBitMs;  // 7 code bits, parity, stop
}
double PrefixMs(const Mode& m) { return m.prefix.what == kEnd ? 0.0 : m.prefix.ms; }
double LineMs(const Mode& m) {
  double ms = 0.0;
  for (const Element& e : m.line) ms += e.ms;
  return ms;
}

using Rgb = std::vector<uint8_t>;  // kWidth x lines, rows top first, red green blue

uint8_t Byte(double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

// BT.601 studio range as published for Robot equipment: bytes from RGB bytes, and back.
void ToYuv(const double* rgb, double* yuv) {
  const double r = rgb[0], g = rgb[1], b = rgb[2];
  yuv[0] = 16.0 + (65.738 * r + 129.057 * g + 25.064 * b) / 256.0;
  yuv[1] = 128.0 + (112.439 * r - 94.154 * g - 18.285 * b) / 256.0;  // R-Y
  yuv[2] = 128.0 + (-37.945 * r - 74.494 * g + 112.439 * b) / 256.0;  // B-Y
}
void FromYuv(double y, double v, double u, double* rgb) {
  const double e = 1.164383 * (y - 16.0);
  rgb[0] = e + 1.596027 * (v - 128.0);
  rgb[1] = e - 0.812968 * (v - 128.0) - 0.391762 * (u - 128.0);
  rgb[2] = e + 2.017232 * (u - 128.0);
}

// Out-of-range RGB moved toward its grey of the same luminance until it fits.
void KeepLuma(double* rgb) {
  const double y = std::clamp(0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2], 0.0, 255.0);
  double keep = 1.0;
  for (int c = 0; c < 3; ++c) {
    const double d = rgb[c] - y;
    if (rgb[c] > 255.0) keep = std::min(keep, (255.0 - y) / d);
    if (rgb[c] < 0.0) keep = std::min(keep, -y / d);
  }
  for (int c = 0; c < 3; ++c) rgb[c] = y + keep * (rgb[c] - y);
}

struct Segment {
  double end_s;  // sender time
  double hz;
};

// Every tone of the transmission of `pic` in mode m, in order.
std::vector<Segment> Segments(const Mode& m, const Rgb& pic) {
  std::vector<Segment> seg;
  double t = 0.0;
  auto add = [&](double ms, double hz) {
    t += ms / 1000.0;
    seg.push_back({t, hz});
  };
  for (const HeadTone& h : kHead) add(h.ms, h.hz);
  int ones = 0;
  for (int b = 0; b < 7; ++b) {
    const int bit = (m.vis >> b) & 1;
    ones += bit;
    add(kBitMs, bit ? kVisOneHz : kVisZeroHz);
  }
  add(kBitMs, ones % 2 ? kVisOneHz : kVisZeroHz);
  add(kBitMs, kSyncHz);
  if (m.prefix.what == kTone) add(m.prefix.ms, m.prefix.hz);
  // Line and element starts from the start of the picture, never summed over the picture.
  const double lines_at = (HeaderMs() + PrefixMs(m)) / 1000.0;
  for (int y = 0; y < m.lines; ++y) {
    double at = lines_at + y * LineMs(m) / 1000.0;
    for (const Element& e : m.line) {
      if (e.what == kEnd) break;
      if (e.what == kTone) {
        at += e.ms / 1000.0;
        seg.push_back({at, e.hz});
        continue;
      }
      for (int j = 0; j < e.pixels; ++j) {
        double v;
        const int span = kWidth / e.pixels;  // source pixels a value stands for
        double rgb[3] = {0, 0, 0};
        for (int k = 0; k < span; ++k)
          for (int c = 0; c < 3; ++c) rgb[c] += pic[(size_t(y) * kWidth + j * span + k) * 3 + c];
        for (double& c : rgb) c /= span;
        double yuv[3];
        ToYuv(rgb, yuv);
        switch (e.what) {
          case kRed: v = rgb[0]; break;
          case kGreen: v = rgb[1]; break;
          case kBlue: v = rgb[2]; break;
          case kLuma: v = Byte(yuv[0]); break;  // a frame store holds bytes
          case kRDiff: v = Byte(yuv[1]); break;
          default: v = Byte(yuv[2]); break;
        }
        seg.push_back({at + (j + 1) * e.ms / e.pixels / 1000.0, kBlackHz + 800.0 * v / 255.0});
      }
      at += e.ms / 1000.0;
    }
  }
  return seg;
}

// Phase-continuous tone along the segments; sample n at sender time n (1 + ppm / 1e6) / rate,
// so a fast sender clock makes every element shorter and every tone higher.
std::vector<float> OwnGenerator(const Mode& m, const Rgb& pic, double ppm) {
  const std::vector<Segment> seg = Segments(m, pic);
  const double step = (1.0 + ppm * 1e-6) / kRate;
  std::vector<float> s;
  s.reserve(size_t(seg.back().end_s / step) + 1);
  double phase = 0.0, t = 0.0;  // cycles at sender time t
  size_t k = 0;
  for (long long n = 0;; ++n) {
    const double tn = double(n) * step;
    if (tn >= seg.back().end_s) break;
    while (seg[k].end_s <= tn) {
      phase += seg[k].hz * (seg[k].end_s - t);
      t = seg[k].end_s;
      ++k;
    }
    phase += seg[k].hz * (tn - t);
    t = tn;
    phase -= std::floor(phase);
    s.push_back(float(kAmplitude * std::sin(2.0 * M_PI * phase)));
  }
  return s;
}

std::vector<float> FromTransmitter(const Mode& m, const Rgb& pic, double ppm) {
  CSstvTransmitter tx;
  std::vector<float> s;
  if (!tx.Init(m.mode, kRate, ppm, kAmplitude) || !tx.SetPicture(pic.data(), kWidth, m.lines) ||
      !tx.Transmit(s))
    s.clear();
  return s;
}

// ---------------------------------------------------------------------------------------------
// Pictures.

double Smooth(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

void Blend(double* p, const double* c, double a) {
  for (int k = 0; k < 3; ++k) p[k] = p[k] * (1.0 - a) + c[k] * a;
}

// A landscape: sky graded to the horizon, a soft sun with its glow, rolling hills, a lake that
// mirrors the sky, a tree, and a face-like oval in the foreground.
Rgb Photo(int lines) {
  Rgb pic(size_t(kWidth) * lines * 3);
  for (int y = 0; y < lines; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const double u = (x + 0.5) / kWidth, v = (y + 0.5) / lines;
      const double px = 1.0 / kWidth;  // soft edges over about two pixels
      const double horizon = 0.55 + 0.05 * std::sin(2.0 * M_PI * 1.3 * u + 0.4) +
                             0.02 * std::sin(2.0 * M_PI * 4.1 * u);
      double p[3];
      const double sky_t = std::clamp(v / horizon, 0.0, 1.0);
      const double sky[3] = {40 + 170 * sky_t, 80 + 140 * sky_t, 170 + 70 * sky_t};
      std::copy(sky, sky + 3, p);
      const double sun_d = std::hypot((u - 0.75) * 1.333, v - 0.2);
      const double glow[3] = {255, 240, 200}, sun[3] = {255, 235, 150};
      Blend(p, glow, 0.5 * std::exp(-sun_d * sun_d / 0.02));
      Blend(p, sun, 1.0 - Smooth(0.07, 0.07 + 3 * px, sun_d));
      const double ground = Smooth(horizon - px, horizon + 2 * px, v);
      const double g = (v - horizon) / (1.0 - horizon);
      const double grass[3] = {70 + 30 * std::sin(9 * u + 3 * v), 140 - 60 * g + 15 * std::sin(23 * u),
                               50 - 20 * g};
      Blend(p, grass, ground);
      const double lake_d = std::hypot((u - 0.32) / 0.22, (v - 0.8) / 0.08);
      const double water[3] = {60 + 0.4 * sky[0], 90 + 0.3 * sky[1], 150 + 0.3 * sky[2] * (1 - g)};
      Blend(p, water, 1.0 - Smooth(1.0 - 0.08, 1.0 + 0.08, lake_d));
      const double trunk = (1.0 - Smooth(0.012, 0.012 + 2 * px, std::fabs(u - 0.58))) *
                           Smooth(0.38, 0.40, v) * (1.0 - Smooth(0.62, 0.64, v));
      const double brown[3] = {110, 75, 40};
      Blend(p, brown, trunk);
      const double crown_d = std::hypot((u - 0.58) * 1.333, v - 0.36);
      const double leaves[3] = {40 + 40 * v, 100 + 50 * std::sin(40 * u * v), 45};
      Blend(p, leaves, 1.0 - Smooth(0.11, 0.11 + 4 * px, crown_d));
      // The face: skin shaded from the left, dark eyes, a reddish mouth.
      const double fx = (u - 0.16) / 0.09, fy = (v - 0.66) / 0.16;
      const double face_d = std::hypot(fx, fy);
      const double skin[3] = {235 - 50 * fx, 190 - 50 * fx, 160 - 40 * fx};
      Blend(p, skin, 1.0 - Smooth(0.95, 1.05, face_d));
      const double eye[3] = {50, 40, 35}, mouth[3] = {190, 80, 80};
      for (double ex : {-0.38, 0.38})
        Blend(p, eye, (1.0 - Smooth(0.12, 0.2, std::hypot(fx - ex, (fy + 0.25) * 1.5))) *
                          (face_d < 1.0));
      Blend(p, mouth, (1.0 - Smooth(0.15, 0.25, std::hypot(fx / 2.5, (fy - 0.45) * 1.5))) *
                          (face_d < 1.0));
      for (int c = 0; c < 3; ++c) pic[(size_t(y) * kWidth + x) * 3 + c] = Byte(p[c]);
    }
  return pic;
}

// Quarters from the top: colour bars, eleven gray steps, vertical black and white gratings of
// 2, 4 and 8 pixel periods (thirds of the width), horizontal ones of 2, 4 and 8 lines.
Rgb Chart(int lines) {
  constexpr uint8_t kBars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                   {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
  constexpr int kPeriods[3] = {2, 4, 8};
  constexpr int kSteps = 11;
  Rgb pic(size_t(kWidth) * lines * 3);
  for (int y = 0; y < lines; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &pic[(size_t(y) * kWidth + x) * 3];
      const int band = y * 4 / lines;
      const int period = kPeriods[x * 3 / kWidth];
      if (band == 0) {
        std::memcpy(p, kBars[x * 8 / kWidth], 3);
      } else if (band == 1) {
        p[0] = p[1] = p[2] = uint8_t(255 * (x * kSteps / kWidth) / (kSteps - 1));
      } else if (band == 2) {
        p[0] = p[1] = p[2] = (x % period) < period / 2 ? 0 : 255;
      } else {
        p[0] = p[1] = p[2] = (y % period) < period / 2 ? 0 : 255;
      }
    }
  return pic;
}

// ---------------------------------------------------------------------------------------------
// Luminance PSNR at the best alignment.

double Luma(const uint8_t* p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; }

struct Score {
  double psnr = 0.0;  // the whole picture
  double top = 0.0;   // its upper half (the chart's bars and gray steps), same alignment
  int dx = 0, dy = 0;
  std::vector<double> by_band;  // the reference: the PSNR of every band width tried
};

double PsnrOf(double mse) { return 10.0 * std::log10(255.0 * 255.0 / std::max(mse, 1e-6)); }

// got: the same layout as sent; got(x + dx, y + dy) against sent(x, y), coordinates outside the
// picture taken from its edge.
Score LumaPsnr(const Rgb& sent, const Rgb& got, int lines) {
  Score best;
  if (got.size() != sent.size()) return best;
  std::vector<double> a(size_t(kWidth) * lines), b(a.size());
  for (size_t i = 0; i < a.size(); ++i) a[i] = Luma(&sent[3 * i]), b[i] = Luma(&got[3 * i]);
  double best_mse = 1e300;
  for (int dy = -kMaxShift; dy <= kMaxShift; ++dy)
    for (int dx = -kMaxShift; dx <= kMaxShift; ++dx) {
      double se = 0.0, se_top = 0.0;
      for (int y = 0; y < lines; ++y) {
        const int gy = std::clamp(y + dy, 0, lines - 1);
        for (int x = 0; x < kWidth; ++x) {
          const int gx = std::clamp(x + dx, 0, kWidth - 1);
          const double e = a[size_t(y) * kWidth + x] - b[size_t(gy) * kWidth + gx];
          se += e * e;
        }
        if (y == lines / 2 - 1) se_top = se;
      }
      const double mse = se / (double(kWidth) * lines);
      if (mse < best_mse) {
        best_mse = mse, best.dx = dx, best.dy = dy;
        best.top = PsnrOf(se_top / (double(kWidth) * (lines / 2)));
      }
    }
  best.psnr = PsnrOf(best_mse);
  return best;
}

// ---------------------------------------------------------------------------------------------
// The station's decoder, set up as the tool sets it up.

class CCapture : public CSstvDecoder {
 public:
  // The first picture, taken when receiving stops (as the tool saves it).
  void StateChange(unsigned long state) override {
    if ((reported_ & kSstvReceiving) && !(state & kSstvReceiving) && !taken) Take();
    reported_ = state;
  }
  void Take() {
    HBITMAP pic = GetPicture();
    const int lines = GetYSize();
    picture.assign(size_t(kWidth) * lines * 3, 0);
    for (int y = 0; y < lines && pic; ++y) {
      const int row = pic->height > 0 ? lines - 1 - y : y;
      for (int x = 0; x < kWidth; ++x)
        for (int c = 0; c < 3; ++c)
          picture[(size_t(y) * kWidth + x) * 3 + c] = pic->pixels[size_t(row) * pic->bpl + 3 * x + 2 - c];
    }
    mode = GetMode();
    vis = GetLastVIS();
    ppm = GetClockPpm();
    taken = true;
  }
  Rgb picture;
  int mode = -1, vis = -1;
  double ppm = 0.0;
  bool taken = false;

 private:
  unsigned long reported_ = 0;
};

void SetUpAsTool(CSstvDecoder& d) {
  d.SetFilter(1000, 2500, kTaps, 0);
  d.Init(kRate, kBlock);
  d.SetColourMatrix(kSstvMatrixOfMode);
  d.SetAutoSlant(1);
  d.SetToneVis(1);
}

void FeedBlocks(CSstvDecoder& d, const std::vector<float>& s) {
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, kBlock)) return;
  for (size_t i = 0; i < s.size(); i += kBlock) {
    for (int k = 0; k < kBlock; ++k) b->data[k] = i + k < s.size() ? s[i + k] : 0.0f;
    MeasureAudioBlock(b);
    d.Decode(b);
  }
  // One block of silence brings the end out of the band-pass, as in the tool.
  if (d.GetState() & kSstvReceiving) {
    std::fill(b->data, b->data + kBlock, 0.0f);
    MeasureAudioBlock(b);
    d.Decode(b);
  }
  FreeAudioBlock(b);
}

struct Decoded {
  Rgb picture;
  int mode = -1, vis = -1;
  double ppm = 0.0;
};

Decoded Ours(const std::vector<float>& s) {
  CCapture d;
  SetUpAsTool(d);
  FeedBlocks(d, s);
  if (!d.taken && d.GetYSize() > 0) d.Take();
  return {d.picture, d.mode, d.vis, d.ppm};
}

// ---------------------------------------------------------------------------------------------
// The reference demodulator: knows where every pixel lies.

using Cx = std::complex<double>;

void Fft(std::vector<Cx>& a, bool inverse) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double ang = 2.0 * M_PI / double(len) * (inverse ? 1.0 : -1.0);
    std::vector<Cx> w(len / 2);
    for (size_t k = 0; k < len / 2; ++k) w[k] = std::polar(1.0, ang * double(k));
    for (size_t i = 0; i < n; i += len)
      for (size_t k = 0; k < len / 2; ++k) {
        const Cx u = a[i + k], v = a[i + k + len / 2] * w[k];
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
      }
  }
  if (inverse)
    for (Cx& v : a) v /= double(n);
}

constexpr double kEdgeHz = 100.0;  // raised-cosine band edges

// Running sum of the instantaneous frequency (Hz x samples) of the band lo ... hi: the mean
// frequency over any span is the difference of two interpolated sums over its length. The
// frequency of each sample step is held to the band, so that a noise click counts no further.
std::vector<double> FrequencySum(const std::vector<Cx>& spectrum, double lo, double hi) {
  const size_t n = spectrum.size();
  std::vector<Cx> z(n, 0.0);
  for (size_t k = 1; k < n / 2; ++k) {
    const double f = double(k) * kRate / double(n);
    double g = 0.0;
    if (f >= lo && f <= hi) g = 1.0;
    else if (f > lo - kEdgeHz && f < lo) g = 0.5 - 0.5 * std::cos(M_PI * (f - lo + kEdgeHz) / kEdgeHz);
    else if (f > hi && f < hi + kEdgeHz) g = 0.5 + 0.5 * std::cos(M_PI * (f - hi) / kEdgeHz);
    z[k] = 2.0 * g * spectrum[k];
  }
  Fft(z, true);
  std::vector<double> sum(n, 0.0);
  for (size_t i = 0; i + 1 < n; ++i) {
    const double f = std::arg(z[i + 1] * std::conj(z[i])) * kRate / (2.0 * M_PI);
    sum[i + 1] = sum[i] + std::clamp(f, lo, hi);
  }
  return sum;
}

double MeanHz(const std::vector<double>& sum, double t0, double t1) {
  auto at = [&](double t) {
    t = std::clamp(t, 0.0, double(sum.size() - 1) - 1e-9);
    const size_t i = size_t(t);
    const double w = t - double(i);
    return sum[i] * (1.0 - w) + sum[i + 1] * w;
  };
  return (at(t1) - at(t0)) / (t1 - t0);
}

// The picture read along the exact timing: the transmission starts at sample `start` of the
// recording, with the sender's clock ppm fast.
// How Robot 72's Y, R-Y and B-Y become the picture: RGB held to 0 ... 255 (as sent), the luminance
// of Y alone (grey), or RGB brought into range by less colour at the same luminance.
enum YuvToPicture { kClampRgb = 0, kLumaOnly, kKeepLuma };

Rgb ReferencePicture(const Mode& m, const std::vector<double>& sum, double start, double ppm,
                     YuvToPicture how = kClampRgb) {
  const double scale = 1.0 + ppm * 1e-6;
  const double per_ms = kRate / 1000.0 / scale;
  const double first = start + (HeaderMs() + PrefixMs(m)) * per_ms;
  Rgb pic(size_t(kWidth) * m.lines * 3);
  std::vector<double> value[8];
  for (auto& v : value) v.assign(kWidth, 0.0);
  for (int y = 0; y < m.lines; ++y) {
    double at = first + y * LineMs(m) * per_ms;
    for (const Element& e : m.line) {
      if (e.what == kEnd) break;
      if (e.what != kTone)
        for (int j = 0; j < e.pixels; ++j) {
          const double t0 = at + j * e.ms / e.pixels * per_ms;
          const double t1 = at + (j + 1) * e.ms / e.pixels * per_ms;
          value[e.what][j] = (MeanHz(sum, t0, t1) / scale - kBlackHz) * 255.0 / 800.0;
        }
      at += e.ms * per_ms;
    }
    for (int x = 0; x < kWidth; ++x) {
      double rgb[3];
      if (m.mode == kSstvRobot72) {
        if (how == kLumaOnly) {
          rgb[0] = rgb[1] = rgb[2] = 1.164383 * (value[kLuma][x] - 16.0);
        } else {
          FromYuv(value[kLuma][x], value[kRDiff][x / 2], value[kBDiff][x / 2], rgb);
          if (how == kKeepLuma) KeepLuma(rgb);
        }
      } else {
        rgb[0] = value[kRed][x], rgb[1] = value[kGreen][x], rgb[2] = value[kBlue][x];
      }
      for (int c = 0; c < 3; ++c) pic[(size_t(y) * kWidth + x) * 3 + c] = Byte(rgb[c]);
    }
  }
  return pic;
}

// Band margins outside 1500 ... 2300 Hz tried by the reference; the best PSNR is kept.
constexpr double kMargins[] = {0.0, 100.0, 300.0, 600.0};

// The best of the band widths, by the whole picture's PSNR.
Score Reference(const Mode& m, const Rgb& sent, const std::vector<float>& s, double start,
                double ppm, bool quick, YuvToPicture how = kClampRgb) {
  size_t n = 1;
  while (n < s.size()) n <<= 1;
  std::vector<Cx> spectrum(n, 0.0);
  for (size_t i = 0; i < s.size(); ++i) spectrum[i] = s[i];
  Fft(spectrum, false);
  Score best;
  best.psnr = -1.0;
  std::vector<double> bands;
  for (double margin : kMargins) {
    if (quick && margin != kMargins[2]) continue;
    const std::vector<double> sum = FrequencySum(spectrum, kBlackHz - margin, kWhiteHz + margin);
    const Score sc = LumaPsnr(sent, ReferencePicture(m, sum, start, ppm, how), m.lines);
    bands.push_back(sc.psnr);
    if (sc.psnr > best.psnr) best = sc;
  }
  best.by_band = bands;
  return best;
}

// ---------------------------------------------------------------------------------------------

enum Source { kTransmitter = 0, kOwn = 1 };
const char* kSourceNames[] = {"CSstvTransmitter", "own generator"};

std::vector<float> Clean(const Mode& m, const Rgb& pic, int source, double ppm) {
  return source == kTransmitter ? FromTransmitter(m, pic, ppm) : OwnGenerator(m, pic, ppm);
}

// Noise before and after the transmission too; the transmission starts at sample `lead`.
std::vector<float> Recording(const std::vector<float>& clean, double snr, uint64_t seed) {
  const size_t lead = size_t(kLeadSeconds * kRate);
  std::vector<float> s(lead, 0.0f);
  s.insert(s.end(), clean.begin(), clean.end());
  s.resize(s.size() + size_t(kTailSeconds * kRate), 0.0f);
  sigtest::AddNoise(s, kRate, snr, seed, kSignalPower);
  return s;
}

struct Goal {
  std::string what;
  bool met;
};

struct Cell {
  Score ours, ref;
  bool vis = false;  // the VIS was found and the mode taken
};

std::string Fmt(double v) {
  char b[32];
  snprintf(b, sizeof b, "%.1f", v);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && strcmp(argv[1], "quick") == 0;
  const std::string only = argc > 1 && !quick ? argv[1] : "";
  auto lower = [](std::string t) {
    for (char& c : t) c = char(std::tolower(static_cast<unsigned char>(c)));
    return t;
  };
  auto wanted = [&](const Mode& m) {
    return only.empty() || lower(m.name).find(lower(only)) != std::string::npos;
  };
  const std::vector<double> snrs = quick ? std::vector<double>{20, 5, 0}
                                         : std::vector<double>{30, 20, 10, 5, 0};
  const double lead = double(size_t(kLeadSeconds * kRate));
  std::vector<Goal> goals;
  auto goal = [&](const std::string& what, double got, double need, bool ok = true) {
    goals.push_back({what + ": " + Fmt(got) + " (goal " + Fmt(need) + ")", ok && got >= need});
  };
  struct Picture {
    const char* name;
    Rgb (*make)(int);
  } pictures[] = {{"photo-like landscape", Photo}, {"chart of gratings, bars and gray steps", Chart}};
  auto need_at = [](double snr) {
    for (const PsnrGoal& g : kGoals)
      if (g.snr_db == snr) return g.psnr_db;
    return -1.0;
  };

  printf("Luminance PSNR (dB) against SNR in 3 kHz (white noise), best alignment within +-%d "
         "pixels and lines. ours: the station's decoder as `kestrel decode sstv` sets it up "
         "(automatic VIS; \"no VIS\" where it missed it); ref: demodulator with the exact "
         "timing.%s\n",
         kMaxShift, quick ? " Quick run." : "");
  // cells[picture][mode][source][snr]
  std::vector<Cell> cells[2][4][2];
  for (int pi = 0; pi < 2; ++pi)
    for (int mi = 0; mi < 4; ++mi) {
      const Mode& m = kModes[mi];
      if (!wanted(m)) continue;
      const Rgb sent = pictures[pi].make(m.lines);
      for (int src = 0; src < 2; ++src) {
        const std::vector<float> clean = Clean(m, sent, src, 0.0);
        for (double snr : snrs) {
          const uint64_t seed = 1000 + 100 * pi + 20 * mi + 10 * src + uint64_t(snr + 10);
          const std::vector<float> s = Recording(clean, snr, seed);
          const Decoded d = Ours(s);
          Cell c;
          c.vis = d.mode == m.mode && d.vis == m.vis;
          if (c.vis) c.ours = LumaPsnr(sent, d.picture, m.lines);
          c.ref = Reference(m, sent, s, lead, 0.0, quick);
          cells[pi][mi][src].push_back(c);
        }
      }
    }
  const char* titles[3] = {"photo-like landscape", "chart of gratings, bars and gray steps, whole",
                           "the chart's upper half: colour bars and gray steps"};
  for (int t = 0; t < 3; ++t) {
    const int pi = t == 0 ? 0 : 1;
    printf("\n#### %s\n\n| mode | source |", titles[t]);
    for (double snr : snrs) printf(" %+.0f dB ours | ref |", snr);
    printf("\n|---|---|");
    for (size_t i = 0; i < snrs.size(); ++i) printf("---:|---:|");
    printf("\n");
    for (int mi = 0; mi < 4; ++mi)
      for (int src = 0; src < 2; ++src) {
        const std::vector<Cell>& row = cells[pi][mi][src];
        if (row.empty()) continue;
        printf("| %s | %s |", kModes[mi].name, kSourceNames[src]);
        for (size_t i = 0; i < row.size(); ++i) {
          const Cell& c = row[i];
          const double ours = t == 2 ? c.ours.top : c.ours.psnr;
          const double ref = t == 2 ? c.ref.top : c.ref.psnr;
          printf(" %s | %.1f |", c.vis ? Fmt(ours).c_str() : "no VIS", ref);
          // The whole chart is held down by gratings finer than the channel passes (see ref).
          if (t != 1 && need_at(snrs[i]) > 0)
            goal(std::string(titles[t]) + ", " + kModes[mi].name + ", " + kSourceNames[src] +
                     ", " + Fmt(snrs[i]) + " dB",
                 ours, need_at(snrs[i]), c.vis);
        }
        printf("\n");
      }
  }

  // What the band width costs and gains the reference (the photo, CSstvTransmitter).
  if (!quick) {
    printf("\n#### Reference on the photo by the band it keeps (CSstvTransmitter): 1500 ... 2300 Hz "
           "widened by the margin each side, raised-cosine edges %.0f Hz wide beyond it\n\n"
           "| mode | margin |", kEdgeHz);
    for (double snr : snrs) printf(" %+.0f dB |", snr);
    printf("\n|---|---:|");
    for (size_t i = 0; i < snrs.size(); ++i) printf("---:|");
    printf("\n");
    for (int mi = 0; mi < 4; ++mi) {
      const std::vector<Cell>& row = cells[0][mi][kTransmitter];
      if (row.empty()) continue;
      for (size_t b = 0; b < std::size(kMargins); ++b) {
        printf("| %s | %.0f Hz |", kModes[mi].name, kMargins[b]);
        for (const Cell& c : row) printf(" %.1f |", c.ref.by_band[b]);
        printf("\n");
      }
    }
  }

  // Clock error: the sender's clock 0.1 % fast and slow at +20 dB, automatic slant on.
  printf("\n#### Clock error at +20 dB (automatic slant on)\n\n"
         "| picture | mode | source | nominal ours | ref | +%.0f ppm ours | ref | line period "
         "found | -%.0f ppm ours | ref | line period found | worst drop, ours |\n"
         "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n",
         kPpm, kPpm);
  for (int pi = 0; pi < 2; ++pi) {
    const Picture& p = pictures[pi];
    for (int mi = 0; mi < 4; ++mi) {
      const Mode& m = kModes[mi];
      if (!wanted(m)) continue;
      const Rgb sent = p.make(m.lines);
      for (int src = 0; src < 2; ++src) {
        if (quick && src == kOwn) continue;
        const uint64_t seed = 1000 + 100 * pi + 20 * mi + 10 * src + 30;  // the +20 dB seed
        const std::vector<float> s0 = Recording(Clean(m, sent, src, 0.0), 20.0, seed);
        const Decoded nominal = Ours(s0);
        const double base = LumaPsnr(sent, nominal.picture, m.lines).psnr;
        printf("| %s | %s | %s | %.1f | %.1f |", p.name, m.name, kSourceNames[src], base,
               Reference(m, sent, s0, lead, 0.0, quick).psnr);
        double worst = 0.0;
        for (double ppm : {kPpm, -kPpm}) {
          const std::vector<float> s = Recording(Clean(m, sent, src, ppm), 20.0, seed);
          const Decoded d = Ours(s);
          const double psnr = d.mode == m.mode ? LumaPsnr(sent, d.picture, m.lines).psnr : 0.0;
          worst = std::max(worst, base - psnr);
          printf(" %.1f | %.1f | %+.0f ppm |", psnr, Reference(m, sent, s, lead, ppm, quick).psnr,
                 d.ppm);
        }
        printf(" %.1f |\n", worst);
        fflush(stdout);
        goals.push_back({std::string(p.name) + ", " + m.name + ", " + kSourceNames[src] +
                             ", +-1000 ppm: " + Fmt(worst) + " dB below nominal (goal " +
                             Fmt(kClockGoalDb) + ")",
                         worst <= kClockGoalDb});
      }
    }
  }

  // Robot 72's luminance in the reference, three ways from the same Y, R-Y and B-Y.
  if (wanted(kModes[3])) {
    const Mode& m = kModes[3];
    printf("\n#### Robot 72 reference: luminance from Y alone, through RGB held to 0 ... 255, "
           "and through RGB brought into range at the same luminance (CSstvTransmitter, 300 Hz margin)\n\n"
           "| picture | conversion |");
    for (double snr : snrs) printf(" %+.0f dB |", snr);
    printf("\n|---|---|");
    for (size_t i = 0; i < snrs.size(); ++i) printf("---:|");
    printf("\n");
    const char* how_names[] = {"RGB held to 0 ... 255", "Y alone", "same luminance"};
    for (int pi = 0; pi < 2; ++pi) {
      const Rgb sent = pictures[pi].make(m.lines);
      const std::vector<float> clean = Clean(m, sent, kTransmitter, 0.0);
      std::vector<std::vector<double>> got(3);
      for (double snr : snrs) {
        const std::vector<float> s =
            Recording(clean, snr, 1000 + 100 * pi + 20 * 3 + uint64_t(snr + 10));
        for (int how = 0; how < 3; ++how)
          got[how].push_back(
              Reference(m, sent, s, lead, 0.0, true, YuvToPicture(how)).psnr);
      }
      for (int how = 0; how < 3; ++how) {
        printf("| %s | %s |", pictures[pi].name, how_names[how]);
        for (double v : got[how]) printf(" %.1f |", v);
        printf("\n");
      }
      fflush(stdout);
    }
  }

  // VIS: a picture's first seconds in noise; found when the code is right and the decoder
  // receives in the mode it announces.
  const int seeds = quick ? 3 : 10;
  const double vis_snrs[] = {0.0, -3.0, -6.0};
  printf("\n#### VIS found and mode right (of %d noise seeds)\n\n| mode | source |", seeds);
  for (double snr : vis_snrs) printf(" %+.0f dB |", snr);
  printf("\n|---|---|---:|---:|---:|\n");
  const Rgb photo256 = Photo(256), photo240 = Photo(240);
  for (int mi = 0; mi < 4; ++mi) {
    const Mode& m = kModes[mi];
    if (!wanted(m)) continue;
    for (int src = 0; src < 2; ++src) {
      std::vector<float> clean = Clean(m, m.lines == 240 ? photo240 : photo256, src, 0.0);
      clean.resize(size_t((HeaderMs() / 1000.0 + 2.0) * kRate));
      printf("| %s | %s |", m.name, kSourceNames[src]);
      for (double snr : vis_snrs) {
        int found = 0;
        for (int k = 0; k < seeds; ++k) {
          CSstvDecoder d;
          SetUpAsTool(d);
          FeedBlocks(d, Recording(clean, snr, 5000 + 100 * mi + 50 * src + 10 * k + uint64_t(-snr)));
          found += d.GetLastVIS() == m.vis && d.GetMode() == m.mode &&
                   (d.GetState() & kSstvReceiving);
        }
        printf(" %d/%d |", found, seeds);
        if (snr == 0.0)
          goals.push_back({std::string("VIS at 0 dB, ") + m.name + ", " + kSourceNames[src] + ": " +
                               std::to_string(found) + " of " + std::to_string(seeds),
                           found == seeds});
      }
      printf("\n");
      fflush(stdout);
    }
  }

  int met = 0;
  for (const Goal& g : goals) met += g.met;
  printf("\nGoals met: %d of %zu.\n", met, goals.size());
  for (const Goal& g : goals)
    if (!g.met) printf("- not met: %s\n", g.what.c_str());
  return 0;
}
