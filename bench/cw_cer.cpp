// Character error rate of the CW decoder against the SNR in a 3 kHz bandwidth (referred to the
// key-down carrier): hand-keyed text at 15 ... 35 WPM with +-15 % element jitter and no speed
// given, the library transmitter, Farnsworth spacing, two-path fading, and what noise alone
// prints; multimon-ng's Morse decoder on the same signals when it is installed; and the ceiling:
// what a receiver told the exact span of every element and gap could copy from the same signals.
// Its own main: prints Markdown tables for bench/README.md.
//   cw_cer [noise | fading [RUNS] | WPM [RUNS [-v]]]   noise: only what noise alone prints;
//   fading: only the fading column, with RUNS seeds (the first 8 those of the full table); WPM:
//   only ours and the ceiling at that speed (the first 4 runs use the seeds of the full table);
//   -v: also prints what ours decoded where it erred.
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The test helpers name the tool binary, which this program never runs.
#ifndef KESTREL_TOOL
#define KESTREL_TOOL "kestrel"
#endif
#include "tests/common/signal_test_util.h"
#include "tests/decoders/cw_signal_gen.h"

using namespace cwsig;

namespace {

// Starts and ends with characters the decoder must not lose.
const std::string kText =
    "CQ CQ DE KESTREL TEST THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 73";
constexpr int kRuns = 4;  // seeds per point
constexpr int kMultimonRate = 22050;

// multimon-ng's text for the samples (resampled by sox to its rate), or "" without the tools.
std::string Multimon(const sigtest::TempDir& dir, std::vector<float> s) {
  float peak = 1.0f;
  for (float v : s) peak = std::max(peak, std::fabs(v));
  for (float& v : s) v *= 30000.0f / peak;  // no clipping at any SNR
  const std::string wav = dir.File("cw.wav"), raw = dir.File("cw.raw");
  if (!sigtest::WriteMonoWav(wav, kRate, s)) return "";
  const std::string conv = "sox " + wav + " -t raw -e signed-integer -b 16 -c 1 -r " +
                           std::to_string(kMultimonRate) + " " + raw + " 2>/dev/null";
  if (system(conv.c_str()) != 0) return "";
  const std::string got =
      sigtest::RunCommand("multimon-ng -q -t raw -a MORSE_CW " + raw + " 2>/dev/null").out;
  // Its lines start with the demodulator's name; keep the text only.
  std::string text;
  size_t pos = 0;
  while (pos < got.size()) {
    size_t nl = got.find('\n', pos);
    if (nl == std::string::npos) nl = got.size();
    std::string line = got.substr(pos, nl - pos);
    const std::string tag = "MORSE_CW: ";
    if (line.compare(0, tag.size(), tag) == 0) line = line.substr(tag.size());
    text += line;
    pos = nl + 1;
  }
  return text;
}

// One key-down or key-up span of the sent keying, with its length in units as sent.
struct Span {
  double from, to;  // seconds
  int units;        // 1 or 3 (marks), 1, 3 or 7 (gaps)
  bool mark;
};

// The spans from the first element to the last, walked as KeyIntervals keys them.
std::vector<Span> Spans(const std::string& text, const Keying& k) {
  double end_s = 0.0;
  const auto on = KeyIntervals(text, k, &end_s);
  std::vector<Span> spans;
  size_t at = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char* code = Code(text[i]);
    if (!code) continue;
    for (const char* p = code; *p && at < on.size(); ++p, ++at) {
      if (at > 0) {
        const int gap = p != code ? 1 : (i > 0 && text[i - 1] == ' ' ? 7 : 3);
        spans.push_back({on[at - 1].second, on[at].first, gap, false});
      }
      spans.push_back({on[at].first, on[at].second, *p == '-' ? 3 : 1, true});
    }
  }
  return spans;
}

// Natural logarithm of the modified Bessel function I0, without overflow.
double LogI0(double x) {
  constexpr double kLargeArgument = 50.0;
  if (x < kLargeArgument) return std::log(std::cyl_bessel_i(0.0, x));
  return x - 0.5 * std::log(2.0 * kPi * x) + std::log1p(1.0 / (8.0 * x));
}

// The ceiling: told the tone, the key-down level, the noise level and the span of every element
// and gap, it decides each span key-down or key-up by the likelihood of its noncoherent
// matched-filter output (equal odds), joins neighbouring spans of the same decision, calls a
// key-down run of two units or more a dash and a key-up run a letter end from two units, a word
// end from five, and reads the characters. Only the noise limits it.
std::string Ceiling(const std::vector<float>& s, const Keying& k, double snr_db) {
  const double w = 2.0 * kPi * k.tone / kRate;
  const double in_band = CarrierPower() / std::pow(10.0, snr_db / 10.0);
  const double variance = in_band * (kRate / 2.0) / 3000.0;  // per sample, as AddNoise
  std::vector<Span> spans = Spans(kText, k);
  std::vector<bool> down;
  for (const Span& sp : spans) {
    const size_t a = size_t(std::ceil(sp.from * kRate));
    const size_t b = std::min(s.size(), size_t(std::ceil(sp.to * kRate)));
    std::complex<double> r = 0.0;
    for (size_t n = a; n < b; ++n) r += double(s[n]) * std::polar(1.0, -w * double(n));
    const double count = double(b > a ? b - a : 1);
    const double level = 0.5 * kAmplitude * count;  // |r| of key-down without noise
    const double spread = count * variance;          // E|r|^2 of noise alone
    down.push_back(LogI0(2.0 * level * std::abs(r) / spread) > level * level / spread);
  }
  std::string out, code;
  auto letter = [&]() {
    if (code.empty()) return;
    char got = '*';  // a pattern of no character still costs one
    for (int c = 32; c < 127; ++c)
      if (Code(char(c)) && code == Code(char(c))) got = char(c);
    out += got;
    code.clear();
  };
  for (size_t i = 0; i < spans.size();) {
    int units = 0;
    size_t j = i;
    for (; j < spans.size() && down[j] == down[i]; ++j) units += spans[j].units;
    if (down[i]) {
      code += units < 2 ? '.' : '-';
    } else if (units >= 2) {
      letter();
      if (units >= 5) out += ' ';
    }
    i = j;
  }
  letter();
  return out;
}

struct Rates {
  double ours = 0.0, ceiling = 0.0;
};

bool g_verbose = false;  // prints what ours decoded where it erred

Rates Keyed(double wpm, double snr, int run, int quality = -1, double jitter = 0.15,
            bool ceiling = false) {
  Keying k;
  k.wpm = wpm;
  k.jitter = jitter;
  k.seed = uint64_t(1000 + run * 17 + int(wpm));
  std::vector<float> s = KeyText(kText, k);
  AddNoise(s, snr, uint64_t(5000 + run * 31 + int(wpm) * 7 + int(snr * 10 + 500)));
  DecodeSetup d;
  d.quality = quality;
  Rates r;
  const std::string got = Decode(s, d);
  r.ours = CharErrorRate(kText, got);
  if (g_verbose && r.ours > 0.0) printf("run %d, %+g dB: %s\n", run, snr, got.c_str());
  if (ceiling) r.ceiling = CharErrorRate(kText, Ceiling(s, k, snr));
  return r;
}

constexpr int kSnrs[] = {10, 6, 3, 0, -2, -3, -4, -5, -6, -7, -8, -9, -12};
constexpr int kFadingSnrs[] = {10, 6, 3, 0, -3, -6};

// CER of run `run` through two-path fading (1 ms, 0.5 Hz Doppler spread) at 20 WPM.
double Faded(int snr, int run) {
  Keying f;
  f.wpm = 20;
  f.jitter = 0.15;
  f.seed = uint64_t(400 + run);
  Fading ch;
  ch.on = true;
  ch.seed = uint64_t(60 + run);
  std::vector<float> g = KeyText(kText, f, ch);
  AddNoise(g, snr, uint64_t(1900 + run * 3 + snr + 50));
  return CharErrorRate(kText, Decode(g));
}

// The tables of bench/README.md: CER against SNR, Farnsworth and fading.
void Tables() {
  const bool have_multimon = system("multimon-ng -h >/dev/null 2>&1") == 0 ||
                             system("command -v multimon-ng >/dev/null 2>&1") == 0;
  const bool have_sox = system("command -v sox >/dev/null 2>&1") == 0;
  sigtest::TempDir dir;

  printf("CER against SNR (3 kHz), %zu characters x %d runs a point, +-15 %% jitter, no speed "
         "given\n\n",
         kText.size(), kRuns);
  printf("| SNR | 15 WPM | 15 WPM ceiling | 20 WPM | 25 WPM | 35 WPM | 35 WPM ceiling |"
         " 20 WPM squelch off | transmitter 20 WPM | multimon-ng 20 WPM |\n"
         "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (int snr : kSnrs) {
    double c15 = 0, g15 = 0, c20 = 0, c25 = 0, c35 = 0, g35 = 0, off = 0, tx = 0, mm = 0;
    for (int r = 0; r < kRuns; ++r) {
      const Rates r15 = Keyed(15, snr, r, -1, 0.15, true);
      c15 += r15.ours;
      g15 += r15.ceiling;
      c20 += Keyed(20, snr, r).ours;
      c25 += Keyed(25, snr, r).ours;
      const Rates r35 = Keyed(35, snr, r, -1, 0.15, true);
      c35 += r35.ours;
      g35 += r35.ceiling;
      off += Keyed(20, snr, r, 0).ours;
      std::vector<float> t = TransmitText(kText, 20);
      AddNoise(t, snr, uint64_t(7000 + r * 13 + snr + 100));
      tx += CharErrorRate(kText, Decode(t));
      if (have_multimon && have_sox) {
        Keying k;
        k.wpm = 20;
        k.jitter = 0.15;
        k.seed = uint64_t(1000 + r * 17 + 20);
        std::vector<float> s = KeyText(kText, k);
        AddNoise(s, snr, uint64_t(5000 + r * 31 + 20 * 7 + int(snr * 10 + 500)));
        mm += CharErrorRate(kText, Multimon(dir, s));
      }
    }
    char mms[32] = "n/a";
    if (have_multimon && have_sox) snprintf(mms, sizeof mms, "%.1f %%", 100 * mm / kRuns);
    printf("| %+d dB | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %.1f %% "
           "| %s |\n", snr, 100 * c15 / kRuns, 100 * g15 / kRuns, 100 * c20 / kRuns,
           100 * c25 / kRuns, 100 * c35 / kRuns, 100 * g35 / kRuns, 100 * off / kRuns,
           100 * tx / kRuns, mms);
    fflush(stdout);
  }

  printf("\nFarnsworth spacing (characters 18 WPM, overall 10 WPM, +-10 %% jitter) and two-path "
         "fading (1 ms, 0.5 Hz Doppler spread, 20 WPM, +-15 %% jitter), %d runs a point\n\n",
         2 * kRuns);
  printf("| SNR | Farnsworth 18/10 CER | Farnsworth: letters split by a space | fading CER |\n"
         "|---:|---:|---:|---:|\n");
  for (int snr : kFadingSnrs) {
    double fw = 0, fade = 0;
    int split = 0, words = 0;
    for (int r = 0; r < 2 * kRuns; ++r) {
      Keying k;
      k.wpm = 18;
      k.overall_wpm = 10;
      k.jitter = 0.10;
      k.seed = uint64_t(300 + r);
      std::vector<float> s = KeyText(kText, k);
      AddNoise(s, snr, uint64_t(900 + r * 3 + snr + 50));
      const std::string out = Decode(s);
      fw += CharErrorRate(kText, out);
      // Spaces printed beyond the sent ones: letters of one word torn apart.
      int sent_spaces = 0, got_spaces = 0;
      for (char c : kText) sent_spaces += c == ' ';
      for (char c : out) got_spaces += c == ' ';
      split += std::max(0, got_spaces - sent_spaces - 1);  // the closing space is expected
      words += sent_spaces + 1;
      fade += Faded(snr, r);
    }
    printf("| %+d dB | %.1f %% | %d of %d words | %.1f %% |\n", snr, 100 * fw / (2 * kRuns),
           split, words, 100 * fade / (2 * kRuns));
    fflush(stdout);
  }

}

// What noise alone prints, with the squelch at its default and off.
void NoiseAlone() {
  printf("\nNoise alone, 60 s, characters printed (5 seeds each)\n\n");
  printf("| quality threshold | characters per minute, each seed |\n|---|---|\n");
  for (int q : {-1, 0}) {
    std::string counts;
    for (int r = 0; r < 5; ++r) {
      std::vector<float> s(size_t(60 * kRate), 0.0f);
      AddNoise(s, 0.0, uint64_t(4242 + r));
      DecodeSetup d;
      d.quality = q;
      const std::string out = Decode(s, d);
      int n = 0;
      for (char c : out) n += c != ' ';
      counts += (r ? ", " : "") + std::to_string(n);
    }
    printf("| %s | %s |\n", q < 0 ? "default" : "0 (off)", counts.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool noise_only = argc > 1 && std::string(argv[1]) == "noise";
  if (argc > 1 && std::string(argv[1]) == "fading") {
    // The fading column alone with more runs (the first 8 are those of the table).
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 2 * kRuns;
    printf("two-path fading, 20 WPM, %zu characters x %d runs a point\n\n| SNR | fading CER |\n"
           "|---:|---:|\n", kText.size(), runs);
    for (int snr : kFadingSnrs) {
      double fade = 0;
      for (int r = 0; r < runs; ++r) fade += Faded(snr, r);
      printf("| %+d dB | %.1f %% |\n", snr, 100 * fade / runs);
      fflush(stdout);
    }
    return 0;
  }
  if (argc > 1 && !noise_only) {
    // One speed: ours beside the ceiling, for a closer look with more runs.
    const double wpm = atof(argv[1]);
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : kRuns;
    g_verbose = argc > 3 && std::string(argv[3]) == "-v";
    if (wpm < 5 || wpm > 60) {
      fprintf(stderr, "usage: cw_cer [noise | fading [RUNS] | WPM [RUNS [-v]]]\n");
      return 2;
    }
    printf("%g WPM, %zu characters x %d runs a point\n\n| SNR | ours | ceiling |\n"
           "|---:|---:|---:|\n", wpm, kText.size(), runs);
    for (int snr : kSnrs) {
      Rates sum;
      for (int r = 0; r < runs; ++r) {
        const Rates x = Keyed(wpm, snr, r, -1, 0.15, true);
        sum.ours += x.ours;
        sum.ceiling += x.ceiling;
      }
      printf("| %+d dB | %.1f %% | %.1f %% |\n", snr, 100 * sum.ours / runs,
             100 * sum.ceiling / runs);
      fflush(stdout);
    }
    return 0;
  }
  if (!noise_only) Tables();
  NoiseAlone();
  return 0;
}
