// Luminance PSNR of received weather-fax pictures against the SNR (white noise, 3 kHz
// bandwidth): FM at IOC 576 and 288, AM with its sync burst, and a sender whose clock is
// 0.05 % off. Two pictures of our own (a photo-like one and a chart of fine gratings), each sent
// by CFaxTransmitter and by a generator written here (exact phase over every sample, own
// start, phasing and stop signals), decoded by `kestrel decode fax` as a user runs it, and
// beside it by a plain reference demodulator that knows where every pixel lies (the ceiling).
// One FM and one AM row decode with --no-denoise, to show what the tool's noise filter gains.
//   fax_psnr [quick | MODE]   quick: the +20 dB column only; MODE: only the modes whose name
//   contains it ("AM", "288"), with the seeds of the full run
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "spl/decoders/fax_transmitter.h"
#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025;
constexpr double kAmplitude = 16000.0;
constexpr int kRows = 160;  // 80 s of picture at 120 lines a minute
constexpr int kLpm = 120;
constexpr double kStartSeconds = 5.0, kPhasingSeconds = 20.0, kStopSeconds = 5.0;
constexpr double kQuietSeconds = 2.0;  // noise alone before and after
constexpr double kBlackHz = 1500.0, kWhiteHz = 2300.0, kCenterHz = 1900.0;
constexpr double kCarrierHz = 2400.0, kBlackShare = 0.1;  // AM: black keeps a tenth
constexpr double kBurstHz = 1040.0;
constexpr int kBurstPixels = 39;
constexpr double kPulseShare = 0.05;  // phasing: a white pulse at the line start
constexpr double kSnrs[] = {30, 20, 15, 10, 5};
// Low-pass half widths the reference tries (Hz); it keeps the best, being the ceiling.
constexpr double kRefBands[] = {700, 1000, 1300, 1700, 2200};
constexpr int kRefHalfTaps = 80;

int XSize(int ioc) { return int(ioc * M_PI + 0.5); }

// A photo-like picture: a sky gradient, soft hills, soft-edged discs and a gentle texture.
std::vector<uint8_t> PhotoPicture(int w, int h) {
  std::vector<uint8_t> p(size_t(w) * h);
  const struct { double x, y, r, v; } discs[] = {
      {0.2, 0.3, 0.12, 240}, {0.55, 0.45, 0.2, 40}, {0.8, 0.25, 0.08, 200}, {0.4, 0.8, 0.1, 90}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double u = double(x) / w, v = double(y) / h;
      const double hill = 0.6 + 0.1 * std::sin(6.0 * u) + 0.05 * std::sin(17.0 * u + 1.0);
      const double ground = 1.0 / (1.0 + std::exp(-(v - hill) * 40.0));  // soft horizon
      double lum = (1.0 - ground) * (230.0 - 120.0 * v) + ground * (70.0 + 50.0 * u);
      lum += 12.0 * std::sin(40.0 * u + 9.0 * v) * std::sin(23.0 * v);
      for (const auto& d : discs) {
        const double r = std::hypot((u - d.x) * w / h * 0.25, v - d.y) / d.r;
        const double a = 1.0 / (1.0 + std::exp((r - 1.0) * 12.0));
        lum = (1.0 - a) * lum + a * d.v;
      }
      p[size_t(y) * w + x] = uint8_t(std::clamp(lum, 0.0, 255.0) + 0.5);
    }
  return p;
}

// A chart: vertical gratings of 2, 3, 4, 5 and 7 pixel periods in bands of irregular width,
// horizontal gratings of 2 and 4 rows, gray steps, and thin black curves on white (isobars).
// Band edges are irregular so that no pattern repeats along the line (a comb of harmonics on a
// start or stop tone would be heard as one).
std::vector<uint8_t> GratingPicture(int w, int h) {
  std::vector<uint8_t> p(size_t(w) * h, 255);
  const int periods[] = {2, 3, 4, 5, 7};
  const double edges[] = {0.03, 0.17, 0.29, 0.44, 0.53, 0.66};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double u = double(x) / w, v = double(y) / h;
      uint8_t val = 255;
      if (v < 0.3) {
        for (int b = 0; b < 5; ++b)
          if (u >= edges[b] && u < edges[b + 1]) val = x % periods[b] < periods[b] / 2 ? 0 : 255;
        if (u >= 0.72 && u < 0.81) val = (y / 1) % 2 ? 0 : 255;
        if (u >= 0.84 && u < 0.95) val = (y / 2) % 2 ? 0 : 255;
      } else if (v < 0.45) {
        val = uint8_t(std::min(255, int(u * 9.0) * 32));
      } else {
        for (int k = 0; k < 6; ++k) {
          const double cy = 0.5 + k * 0.085 + 0.04 * std::sin(7.0 * u + k);
          if (std::fabs(v - cy) * h < 1.0) val = 0;
        }
        if (x % 301 < 2 || (x + 150) % 377 < 1) val = 0;
      }
      p[size_t(y) * w + x] = val;
    }
  return p;
}

// --- the generator written here --------------------------------------------------------------

// Keys a frequency (FM) or an amplitude (AM) that is constant over each pixel; each sample
// takes the exact integral of the phase over its span and, in AM, the mean amplitude.
class CFaxGenerator {
 public:
  CFaxGenerator(int ioc, bool am, double clockPpm)
      : x_size_(XSize(ioc)), am_(am),
        pixel_rate_(XSize(ioc) * kLpm / 60.0 * (1.0 + clockPpm * 1e-6)) {}

  // The whole transmission of kRows rows of lum, x_size wide; *pictureAt: the sample time at
  // which the first picture pixel begins.
  std::vector<float> Make(const std::vector<uint8_t>& lum, int startToneHz, double* pictureAt) {
    std::vector<float> s;
    Quiet(s);
    if (!am_) AlternatingTone(s, startToneHz, kStartSeconds);
    const int phasing_lines = int(kPhasingSeconds * kLpm / 60.0);
    const int pulse = int(kPulseShare * x_size_);
    Pixels(s, size_t(phasing_lines) * x_size_, [&](long long e) {
      const int x = int(e % x_size_);
      if (am_) return x < kBurstPixels ? Burst(x) : 0.0;
      return x < pulse ? 0.0 : 1.0;
    });
    *pictureAt = t_;
    Pixels(s, size_t(kRows) * x_size_, [&](long long e) {
      const int x = int(e % x_size_);
      if (am_ && x < kBurstPixels) return Burst(x);
      return 1.0 - lum[size_t(e)] / 255.0;
    });
    if (!am_) AlternatingTone(s, 450.0, kStopSeconds);
    Quiet(s);
    return s;
  }
  double PixelRate() const { return pixel_rate_; }

 private:
  double Burst(int x) const {
    return std::fmod(x * kBurstHz / (x_size_ * kLpm / 60.0), 1.0) < 0.5 ? 0.0 : 1.0;
  }
  double Hz(double dark) const { return kWhiteHz - (kWhiteHz - kBlackHz) * dark; }
  double Gain(double dark) const { return 1.0 - (1.0 - kBlackShare) * dark; }

  void Quiet(std::vector<float>& s) {
    const size_t n = size_t(kQuietSeconds * kRate);
    s.insert(s.end(), n, 0.0f);
    t_ += double(n);
  }
  // Black and white alternating `hz` times a second, in samples of constant darkness.
  void AlternatingTone(std::vector<float>& s, double hz, double seconds) {
    const double period = kRate / hz, end = t_ + seconds * kRate;
    while (t_ + 1.0 <= end) {
      const double from = t_, to = t_ + 1.0;
      double ph = 0.0, at = from;
      while (at < to) {  // split at the half-period edges
        const double half = period / 2.0;
        double k = std::floor(at / half);
        if ((k + 1.0) * half <= at + 1e-9) k += 1.0;  // at an edge, rounded below it
        const double next = std::min(to, (k + 1.0) * half);
        ph += (next - at) * Hz(int(k) % 2 ? 0.0 : 1.0);
        at = next;
      }
      Emit(s, ph, 1.0);
      t_ = to;
    }
  }
  // `count` pixels from the current time on; pixel e lasts 1 / pixel_rate seconds.
  template <class Dark>
  void Pixels(std::vector<float>& s, size_t count, Dark dark) {
    const double spp = kRate / pixel_rate_, start = t_, end = t_ + double(count) * spp;
    while (t_ + 1.0 <= end + 1e-9) {
      const double from = t_, to = t_ + 1.0;
      double ph = 0.0, gain = 0.0, at = from;
      while (at < to - 1e-12) {
        // Past the last pixel (the rest of the final sample) it stays as it was.
        long long e = (long long)std::floor((at - start) / spp);
        if (start + double(e + 1) * spp <= at + 1e-9) ++e;  // at an edge, rounded below it
        const double next = std::min(to, start + double(e + 1) * spp);
        const double d = dark(std::clamp<long long>(e, 0, (long long)count - 1));
        ph += (next - at) * Hz(d);
        gain += (next - at) * Gain(d);
        at = next;
      }
      Emit(s, ph, am_ ? gain : 1.0);
      t_ = to;
    }
  }
  void Emit(std::vector<float>& s, double hzSamples, double gain) {
    // FM: the phase advances by the frequency integrated over the sample; AM: the carrier.
    phase_ += 2.0 * M_PI * (am_ ? kCarrierHz : hzSamples) / kRate;
    phase_ = std::fmod(phase_, 2.0 * M_PI);
    s.push_back(float(kAmplitude * gain * std::sin(phase_)));
  }

  int x_size_;
  bool am_;
  double pixel_rate_;
  double t_ = 0.0, phase_ = 0.0;
};

// --- the reference demodulator ---------------------------------------------------------------

// Samples [from, to) mixed to the band centre and low-passed by a zero-phase windowed sinc of
// half width `band`.
std::vector<std::complex<float>> Baseband(const std::vector<float>& s, size_t from, size_t to,
                                          double centre, double band) {
  const long long n = (long long)s.size();
  std::vector<float> re(s.size()), im(s.size());
  for (long long i = std::max(0LL, (long long)from - kRefHalfTaps);
       i < std::min(n, (long long)to + kRefHalfTaps); ++i) {
    const double a = -2.0 * M_PI * centre * double(i) / kRate;
    re[size_t(i)] = float(s[size_t(i)] * std::cos(a));
    im[size_t(i)] = float(s[size_t(i)] * std::sin(a));
  }
  std::vector<float> h(2 * kRefHalfTaps + 1);
  double sum = 0.0;
  for (int k = -kRefHalfTaps; k <= kRefHalfTaps; ++k) {
    const double x = 2.0 * band * k / kRate;
    const double sinc = k == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
    const double win = 0.42 + 0.5 * std::cos(M_PI * k / (kRefHalfTaps + 1)) +
                       0.08 * std::cos(2.0 * M_PI * k / (kRefHalfTaps + 1));
    h[size_t(k + kRefHalfTaps)] = float(sinc * win);
    sum += sinc * win;
  }
  for (float& v : h) v = float(v / sum);
  std::vector<std::complex<float>> out(s.size());
  for (long long i = (long long)from; i < std::min(n, (long long)to); ++i) {
    if (i < kRefHalfTaps || i + kRefHalfTaps >= n) continue;
    float a = 0.0f, b = 0.0f;
    const float* pr = &re[size_t(i - kRefHalfTaps)];
    const float* pi = &im[size_t(i - kRefHalfTaps)];
    for (int k = 0; k <= 2 * kRefHalfTaps; ++k) a += h[size_t(k)] * pr[k], b += h[size_t(k)] * pi[k];
    out[size_t(i)] = {a, b};
  }
  return out;
}

// Every picture pixel as the mean over its exact span of the instantaneous frequency (FM) or
// the envelope (AM), mapped to luminance; rows top first.
std::vector<uint8_t> Reference(const std::vector<float>& s, bool am, int xSize, double pictureAt,
                               double pixelRate, double band) {
  const double spp = kRate / pixelRate;
  const size_t from = size_t(std::max(1.0, pictureAt - 2.0));
  const size_t to = std::min(s.size(), size_t(pictureAt + spp * xSize * kRows + 4.0));
  const std::vector<std::complex<float>> z =
      Baseband(s, from - 1, to, am ? kCarrierHz : kCenterHz, band);
  // Sample i stands for the span [i, i + 1): its phase step from the sample before (FM) or its
  // envelope (AM), as both senders key each sample from the time at its start.
  std::vector<double> q(z.size(), 0.0);
  for (size_t i = from; i < to; ++i)
    q[i] = am ? 2.0 * std::abs(z[i])
              : kCenterHz + std::arg(z[i] * std::conj(z[i - 1])) * kRate / (2.0 * M_PI);
  std::vector<uint8_t> lum(size_t(xSize) * kRows);
  for (size_t e = 0; e < lum.size(); ++e) {
    const double a = pictureAt + double(e) * spp, b = a + spp;
    double acc = 0.0, wsum = 0.0;
    for (long long i = (long long)std::floor(a); i < (long long)std::ceil(b); ++i) {
      const double w = std::min(b, double(i + 1)) - std::max(a, double(i));
      if (w <= 0.0 || i < 1 || i >= (long long)q.size()) continue;
      acc += w * q[size_t(i)], wsum += w;
    }
    const double v = wsum > 0.0 ? acc / wsum : 0.0;
    const double dark = am ? (1.0 - v / kAmplitude) / (1.0 - kBlackShare)
                           : (kWhiteHz - v) / (kWhiteHz - kBlackHz);
    lum[e] = uint8_t(std::clamp(255.0 * (1.0 - dark), 0.0, 255.0) + 0.5);
  }
  return lum;
}

// --- comparing -------------------------------------------------------------------------------

double PsnrOf(double mse) { return 10.0 * std::log10(255.0 * 255.0 / (mse + 1e-12)); }

// The received rows as one pixel stream against the picture: the line start need not be the
// picture's column 0, so the stream's best offset is searched, coarsely and then exactly.
// Columns below firstCol (the AM burst) and the first and last rows (start and stop) are left out;
// up to maxRowsBefore rows may come before the picture (AM keeps the phasing lines).
double StreamPsnr(const std::vector<uint8_t>& want, const std::vector<uint8_t>& got, int w,
                  int firstCol, int maxRowsBefore, int searchRows = 8) {
  constexpr int kEdgeRows = 2;
  const long long size = (long long)got.size();
  auto mse = [&](long long o, int d) {
    double c = 0.0;
    long long n = 0, all = 0;
    for (int y = kEdgeRows; y < kRows - kEdgeRows; y += d)
      for (int x = firstCol; x < w; x += d) {
        ++all;
        const long long at = o + (long long)y * w + x;
        if (at < 0 || at >= size) continue;
        const double e = double(want[size_t(y) * w + x]) - got[size_t(at)];
        c += e * e, ++n;
      }
    return n * 10 >= all * 9 ? c / double(n) : 1e300;
  };
  long long best = 0;
  double best_mse = 1e300;
  for (long long o = -searchRows * (long long)w; o <= (searchRows + maxRowsBefore) * (long long)w;
       o += 2) {
    const double m = mse(o, 9);
    if (m < best_mse) best_mse = m, best = o;
  }
  for (long long o = best - 8; o <= best + 8; ++o) best_mse = std::min(best_mse, mse(o, 1));
  return PsnrOf(best_mse);
}

// The luminance of the largest picture the tool wrote into dir (rows top first).
std::vector<uint8_t> LargestPicture(const std::string& dir, int& w) {
  std::vector<uint8_t> best;
  w = 0;
  for (const auto& f : std::filesystem::directory_iterator(dir)) {
    CDibSection dib;
    HBITMAP b = dib.LoadFile(f.path().c_str());
    if (!b) continue;
    const int bw = dib.Width(b), bh = std::abs(dib.Height(b));
    if (size_t(bw) * bh > best.size()) {
      best.clear();
      for (int y = 0; y < bh; ++y)
        for (int x = 0; x < bw; ++x) best.push_back(uint8_t(GetGValue(dib.PixelColor(b, x, y))));
      w = bw;
    }
    DeleteObject(b);
  }
  return best;
}

struct Mode {
  const char* name;
  int ioc;
  bool am;
  const char* options;  // for decode fax
  bool generatorOnly = false;
};

struct Result {
  double ours = 0.0, ceiling = 0.0;
};

// One transmission through noise: the tool's picture and the reference's, against the sent one.
Result Measure(const Mode& m, const std::vector<uint8_t>& lum, bool ownGenerator, double snr,
               double clockPpm, uint64_t seed) {
  const int w = XSize(m.ioc);
  std::vector<float> s;
  double picture_at = 0.0, pixel_rate = w * kLpm / 60.0;
  if (ownGenerator) {
    CFaxGenerator g(m.ioc, m.am, clockPpm);
    s = g.Make(lum, m.ioc == 288 ? 675 : 300, &picture_at);
    pixel_rate = g.PixelRate();
  } else {
    CFaxTransmitter t;
    t.Init(kRate, m.ioc, kLpm, m.am);
    t.SetTimes(kStartSeconds, kPhasingSeconds, kStopSeconds);
    s.assign(size_t(kQuietSeconds * kRate), 0.0f);
    std::vector<float> tx;
    t.Transmit(lum.data(), w, kRows, tx);
    // The transmitter's phasing is whole samples long, as is its start tone.
    const double line_s = 60.0 / kLpm;
    picture_at = double(s.size()) + (m.am ? 0.0 : double((long long)(kStartSeconds * kRate))) +
                 double((long long)(int(kPhasingSeconds / line_s + 0.5) * line_s * kRate + 0.5));
    s.insert(s.end(), tx.begin(), tx.end());
    s.insert(s.end(), size_t(kQuietSeconds * kRate), 0.0f);
  }
  // FM keeps its power; AM's is the mean over the whole transmission.
  const double power = m.am ? -1.0 : kAmplitude * kAmplitude / 2.0;
  sigtest::AddNoise(s, kRate, snr, seed, power);
  Result r;
  const int first_col = m.am ? kBurstPixels + 1 : 0;
  for (double band : kRefBands) {
    const std::vector<uint8_t> ref = Reference(s, m.am, w, picture_at, pixel_rate, band);
    // Its pixels stand where they were sent: only a few pixels either way are searched.
    r.ceiling = std::max(r.ceiling, StreamPsnr(lum, ref, w, first_col, 0, 0));
  }
  sigtest::TempDir dir;
  const std::string wav = dir.File("fax.wav"), out = dir.path() + "/out";
  std::filesystem::create_directory(out);
  if (!sigtest::WriteMonoWav(wav, kRate, s)) return r;
  const sigtest::ToolResult t =
      sigtest::RunTool(std::string("decode fax ") + m.options + " --out " + out + " " + wav);
  int got_w = 0;
  const std::vector<uint8_t> got = LargestPicture(out, got_w);
  const int rows_before = m.am ? int((kPhasingSeconds + kQuietSeconds) * kLpm / 60.0) : 0;
  if (t.status == 0 && got_w == w) r.ours = StreamPsnr(lum, got, w, first_col, rows_before);
  return r;
}

std::string Cell(double v) {
  char b[32];
  snprintf(b, sizeof b, "%.1f", v);
  return v > 0.0 ? b : "-";
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && strcmp(argv[1], "quick") == 0;
  const char* only = argc > 1 && !quick ? argv[1] : nullptr;
  const Mode modes[] = {{"FM IOC 576", 576, false, ""},
                        {"FM IOC 576, denoise off", 576, false, "--no-denoise", true},
                        {"FM IOC 288", 288, false, "--ioc 288"},
                        {"AM IOC 576 (carrier peaks)", 576, true, "--am"},
                        {"AM IOC 576 (envelope)", 576, true, "--am-envelope"},
                        {"AM IOC 576 (envelope), denoise off", 576, true,
                         "--am-envelope --no-denoise", true}};
  struct PictureKind {
    const char* name;
    std::vector<uint8_t> (*make)(int, int);
  };
  const PictureKind pictures[] = {{"photo-like picture", PhotoPicture},
                                  {"grating chart", GratingPicture}};
  std::vector<double> snrs(std::begin(kSnrs), std::end(kSnrs));
  if (quick) snrs = {20};
  for (const PictureKind& pk : pictures) {
    printf("\n%s, luminance PSNR (dB): ours (`kestrel decode fax`) / reference ceiling\n\n", pk.name);
    printf("| mode | sent by |");
    for (double snr : snrs) printf(" %+.0f dB |", snr);
    printf("\n|---|---|");
    for (size_t i = 0; i < snrs.size(); ++i) printf("---:|");
    printf("\n");
    for (const Mode& m : modes)
      for (int own = 0; own < 2; ++own) {
        if ((only && !strstr(m.name, only)) || (m.generatorOnly && !own)) continue;
        const std::vector<uint8_t> lum = pk.make(XSize(m.ioc), kRows);
        printf("| %s | %s |", m.name, own ? "generator" : "transmitter");
        for (size_t i = 0; i < snrs.size(); ++i) {
          const Result r = Measure(m, lum, own, snrs[i], 0.0, 11 + i);
          printf(" %s / %s |", Cell(r.ours).c_str(), Cell(r.ceiling).c_str());
          fflush(stdout);
        }
        printf("\n");
      }
  }
  // A sender's clock 0.05 % off, straightened by the tool's automatic slant, against the same
  // picture sent on time.
  printf("\nClock error, +20 dB, FM IOC 576, generator, ours (dB): on time / -500 ppm / +500 ppm\n\n");
  printf("| picture | on time | -500 ppm | +500 ppm |\n|---|---:|---:|---:|\n");
  for (const PictureKind& pk : pictures) {
    const std::vector<uint8_t> lum = pk.make(XSize(576), kRows);
    printf("| %s |", pk.name);
    for (double ppm : {0.0, -500.0, 500.0})
      printf(" %s |", Cell(Measure(modes[0], lum, true, 20.0, ppm, 7).ours).c_str());
    printf("\n");
  }
  return 0;
}
