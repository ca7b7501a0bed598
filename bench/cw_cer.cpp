// Character error rate of the CW decoder against the SNR in a 3 kHz bandwidth (referred to the
// key-down carrier): hand-keyed text at 15 ... 35 WPM with +-15 % element jitter and no speed
// given, the library transmitter, Farnsworth spacing, two-path fading, and what noise alone
// prints; multimon-ng's Morse decoder on the same signals when it is installed.
// Its own main: prints Markdown tables for bench/README.md.
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

double Keyed(double wpm, double snr, int run, int quality = -1, double jitter = 0.15) {
  Keying k;
  k.wpm = wpm;
  k.jitter = jitter;
  k.seed = uint64_t(1000 + run * 17 + int(wpm));
  std::vector<float> s = KeyText(kText, k);
  AddNoise(s, snr, uint64_t(5000 + run * 31 + int(wpm) * 7 + int(snr * 10 + 500)));
  DecodeSetup d;
  d.quality = quality;
  return CharErrorRate(kText, Decode(s, d));
}

}  // namespace

int main() {
  const bool have_multimon = system("multimon-ng -h >/dev/null 2>&1") == 0 ||
                             system("command -v multimon-ng >/dev/null 2>&1") == 0;
  const bool have_sox = system("command -v sox >/dev/null 2>&1") == 0;
  sigtest::TempDir dir;

  printf("CER against SNR (3 kHz), %zu characters x %d runs a point, +-15 %% jitter, no speed "
         "given\n\n",
         kText.size(), kRuns);
  printf("| SNR | 15 WPM | 20 WPM | 25 WPM | 35 WPM | 20 WPM squelch off | transmitter 20 WPM |"
         " multimon-ng 20 WPM |\n|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (int snr : {10, 6, 3, 0, -2, -3, -4, -5, -6, -7, -8, -9, -12}) {
    double c15 = 0, c20 = 0, c25 = 0, c35 = 0, off = 0, tx = 0, mm = 0;
    for (int r = 0; r < kRuns; ++r) {
      c15 += Keyed(15, snr, r);
      c20 += Keyed(20, snr, r);
      c25 += Keyed(25, snr, r);
      c35 += Keyed(35, snr, r);
      off += Keyed(20, snr, r, 0);
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
    printf("| %+d dB | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %s |\n", snr,
           100 * c15 / kRuns, 100 * c20 / kRuns, 100 * c25 / kRuns, 100 * c35 / kRuns,
           100 * off / kRuns, 100 * tx / kRuns, mms);
    fflush(stdout);
  }

  printf("\nFarnsworth spacing (characters 18 WPM, overall 10 WPM, +-10 %% jitter) and two-path "
         "fading (1 ms, 0.5 Hz Doppler spread, 20 WPM, +-15 %% jitter), %d runs a point\n\n",
         2 * kRuns);
  printf("| SNR | Farnsworth 18/10 CER | Farnsworth: letters split by a space | fading CER |\n"
         "|---:|---:|---:|---:|\n");
  for (int snr : {10, 6, 3, 0, -3, -6}) {
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
      Keying f;
      f.wpm = 20;
      f.jitter = 0.15;
      f.seed = uint64_t(400 + r);
      Fading ch;
      ch.on = true;
      ch.seed = uint64_t(60 + r);
      std::vector<float> g = KeyText(kText, f, ch);
      AddNoise(g, snr, uint64_t(1900 + r * 3 + snr + 50));
      fade += CharErrorRate(kText, Decode(g));
    }
    printf("| %+d dB | %.1f %% | %d of %d words | %.1f %% |\n", snr, 100 * fw / (2 * kRuns),
           split, words, 100 * fade / (2 * kRuns));
    fflush(stdout);
  }

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
  return 0;
}
