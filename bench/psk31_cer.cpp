// Character error rate of the PSK31 decoder (BPSK31 and QPSK31) against the SNR in a 3 kHz
// bandwidth (mean signal power, white Gaussian noise, fixed seeds): signals from the library's
// transmitters and from the independent test generator, on the set tone, off it, drifting and
// through two-path fading, and what noise alone prints. Its own main: prints Markdown tables
// for bench/README.md.
//   psk31_cer [quick] [SECTION ...]   quick: half the seeds; SECTIONs (snr, offsets, drift,
//   squelch, ours, fading, noise): only those tables or rows, and with "bpsk" or "qpsk" only
//   that mode in the 1 % rows ("-" for the other).
#define KESTREL_TOOL "kestrel"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "tests/decoders/cw_psk_signals.h"
#include "tests/decoders/psk31_signal_gen.h"

using namespace cwpsk;

namespace {

const std::string kText =
    "CQ CQ DE KESTREL TEST THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ";
constexpr double kLeadSeconds = 2.0;  // idle before the text: the receiver finds the carrier
constexpr int kLeadSymbols = 64;
constexpr double kSnrs[] = {0, -1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11, -12};
constexpr double kOffsetSnrs[] = {-6, -7, -8, -9, -10, -11, -12, -13, -14};
constexpr int kOffsets[] = {-15, -10, -5, 5, 10, 15};
constexpr double kCerTarget = 0.01;
int g_runs = 4;  // seeds per point

std::string Sent() {
  std::string s;
  for (int i = 0; i < 3; ++i) s += kText;
  return s;
}

std::string Decode(const std::vector<float>& s, bool bpsk, int threshold) {
  CCollectingPsk d;
  d.Init(1000, kRate, kBlock, 128);
  d.SetBPSKModeActive(bpsk ? 1 : 0);
  if (threshold >= 0) d.SetQualityThreshold(threshold);
  Feed(d, s);
  return d.text;
}

// A signal maker: mode, text -> audio.
using Maker = std::function<std::vector<float>(bool bpsk, const std::string& text)>;

double Cer(const Maker& make, bool bpsk, double snr, uint64_t seed, int threshold = -1,
           const std::string& text = Sent()) {
  std::vector<float> s = make(bpsk, text);
  sigtest::AddNoise(s, kRate, snr, seed);
  return CharErrorRate(text, Decode(s, bpsk, threshold));
}

// Mean over runs x the seeds; a short text takes proportionally more runs.
double MeanCer(const Maker& make, bool bpsk, double snr, uint64_t seed0, int threshold = -1,
               const std::string& text = Sent()) {
  const int runs = g_runs * int(Sent().size() / text.size());
  double sum = 0.0;
  for (int r = 0; r < runs; ++r) sum += Cer(make, bpsk, snr, seed0 + uint64_t(r), threshold, text);
  return sum / runs;
}

Maker Ours(int carrier = 1000) {
  return [carrier](bool bpsk, const std::string& text) {
    return bpsk ? RenderBpsk(text, carrier, kLeadSeconds, 1.0)
                : RenderQpsk(text, carrier, kLeadSeconds, 1.5);
  };
}

Maker Generated(const pskgen::Channel& ch) {
  return [ch](bool bpsk, const std::string& text) {
    return bpsk ? pskgen::Bpsk(text, ch, kLeadSymbols) : pskgen::Qpsk(text, ch, kLeadSymbols);
  };
}

// SNR where the CER rises through 1 %, interpolated on the grid (from the strong end).
std::string OnePercentPoint(const Maker& make, bool bpsk, uint64_t seed0, int threshold = -1,
                            const std::string& text = Sent()) {
  double last_snr = 0.0, last_cer = 0.0;
  bool first = true;
  for (double snr : kOffsetSnrs) {
    const double cer = MeanCer(make, bpsk, snr, seed0, threshold, text);
    if (cer > kCerTarget) {
      if (first) return "above " + std::to_string(int(snr)) + " dB";
      const double at = last_snr + (snr - last_snr) * (kCerTarget - last_cer) / (cer - last_cer);
      char buf[32];
      snprintf(buf, sizeof buf, "%+.1f dB", at);
      return buf;
    }
    first = false;
    last_snr = snr;
    last_cer = cer;
  }
  return "below " + std::to_string(int(kOffsetSnrs[std::size(kOffsetSnrs) - 1])) + " dB";
}

// Characters printed from a minute of noise alone.
long NoiseCharacters(bool bpsk, uint64_t seed, int threshold) {
  std::vector<float> s(size_t(60 * kRate), 0.0f);
  sigtest::AddNoise(s, kRate, 0.0, seed, CarrierPower());
  return long(Decode(s, bpsk, threshold).size());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> only;
  bool want_bpsk = true, want_qpsk = true;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "quick") == 0)
      g_runs = 2;
    else if (strcmp(argv[i], "bpsk") == 0)
      want_qpsk = false;
    else if (strcmp(argv[i], "qpsk") == 0)
      want_bpsk = false;
    else
      only.push_back(argv[i]);
  }
  const auto section = [&only](const char* name) {
    return only.empty() || std::find(only.begin(), only.end(), name) != only.end();
  };
  // A 1 % point for each wanted mode.
  const auto points = [&](const Maker& make, uint64_t bseed, uint64_t qseed, int threshold,
                          const std::string& text) {
    const std::string b = want_bpsk ? OnePercentPoint(make, true, bseed, threshold, text) : "-";
    const std::string q = want_qpsk ? OnePercentPoint(make, false, qseed, threshold, text) : "-";
    return "| " + b + " | " + q + " |";
  };
  const pskgen::Channel on_tone;
  if (section("snr")) {
    printf("CER against SNR (3 kHz), on the set tone, %d runs of %zu characters per point:\n\n",
           g_runs, Sent().size());
    printf("| SNR | BPSK31 (ours) | BPSK31 (generator) | QPSK31 (ours) | QPSK31 (generator) |\n");
    printf("|---:|---:|---:|---:|---:|\n");
    for (double snr : kSnrs) {
      printf("| %+.0f dB | %.1f %% | %.1f %% | %.1f %% | %.1f %% |\n", snr,
             100 * MeanCer(Ours(), true, snr, 200),
             100 * MeanCer(Generated(on_tone), true, snr, 400),
             100 * MeanCer(Ours(), false, snr, 300),
             100 * MeanCer(Generated(on_tone), false, snr, 500));
      fflush(stdout);
    }
  }
  printf("\nSNR of 1 %% CER (generator signals; set tone 1000 Hz):\n\n");
  printf("| carrier | BPSK31 | QPSK31 |\n|---|---:|---:|\n");
  if (section("offsets")) {
    printf("| on the tone %s\n", points(Generated(on_tone), 600, 700, -1, Sent()).c_str());
    fflush(stdout);
    for (int off : kOffsets) {
      pskgen::Channel ch;
      ch.carrier = 1000.0 + off;
      printf("| %+d Hz %s\n", off, points(Generated(ch), 600, 700, -1, Sent()).c_str());
      fflush(stdout);
    }
  }
  // Drifting signals carry the text once (about 30 s with the idle), from 15 Hz off the tone
  // to 15 Hz off on the other side, three times as many runs.
  for (double drift : {1.0, -1.0}) {
    if (!section("drift")) break;
    pskgen::Channel ch;
    ch.carrier = 1000.0 - 15.0 * drift;
    ch.drift = drift;
    printf("| drift %+.0f Hz/s from %.0f Hz %s\n", drift, ch.carrier,
           points(Generated(ch), 600, 700, -1, kText).c_str());
    fflush(stdout);
  }
  if (section("squelch"))
    printf("| on the tone, squelch off %s\n",
           points(Generated(on_tone), 600, 700, 0, Sent()).c_str());
  if (section("ours"))
    printf("| our transmitters, on the tone %s\n", points(Ours(), 200, 300, -1, Sent()).c_str());
  fflush(stdout);
  if (section("fading")) {
    printf("\nTwo-path fading (paths 1 ms apart, 0.5 Hz Doppler spread each), +6 dB:\n\n");
    printf("| fading seed | BPSK31 | QPSK31 |\n|---|---:|---:|\n");
    double fb = 0, fq = 0;
    for (int r = 0; r < g_runs; ++r) {
      pskgen::Channel ch;
      ch.delay_ms = 1.0;
      ch.doppler_hz = 0.5;
      ch.seed = 11 + uint64_t(r);
      const double b = Cer(Generated(ch), true, 6.0, 800 + uint64_t(r));
      const double q = Cer(Generated(ch), false, 6.0, 900 + uint64_t(r));
      fb += b;
      fq += q;
      printf("| %d | %.1f %% | %.1f %% |\n", r + 1, 100 * b, 100 * q);
      fflush(stdout);
    }
    printf("| mean | %.1f %% | %.1f %% |\n", 100 * fb / g_runs, 100 * fq / g_runs);
  }
  if (section("noise")) {
    printf("\nCharacters printed from 60 s of noise alone:\n\n");
    printf("| seed | BPSK31 default squelch | QPSK31 default squelch | BPSK31 squelch off | "
           "QPSK31 squelch off |\n|---|---:|---:|---:|---:|\n");
    for (int r = 0; r < g_runs; ++r)
      printf("| %d | %ld | %ld | %ld | %ld |\n", r + 1,
             NoiseCharacters(true, 1000 + uint64_t(r), -1),
             NoiseCharacters(false, 1100 + uint64_t(r), -1),
             NoiseCharacters(true, 1000 + uint64_t(r), 0),
             NoiseCharacters(false, 1100 + uint64_t(r), 0));
  }
  return 0;
}
