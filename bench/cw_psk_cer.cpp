// Character error rate of the CW (20 WPM), BPSK31 and QPSK31 decoders against the SNR in a
// 3 kHz bandwidth: text keyed or modulated, fixed-seed noise added, decoded, compared.
// Its own main: prints a Markdown table for bench/README.md.
#define KESTREL_TOOL "kestrel"
#include <cstdio>

#include "tests/decoders/cw_psk_signals.h"

using namespace cwpsk;

namespace {
const std::string kText =
    "CQ CQ DE KESTREL TEST THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ";
constexpr double kSnrs[] = {10.0, 3.0, 0.0, -3.0, -6.0, -9.0};
constexpr int kRuns = 4;  // seeds per point

double Cw(double snr, uint64_t seed) {
  KeyerOptions o;
  o.wpm = 20;
  std::string sent;
  for (int i = 0; i < 3; ++i) sent += kText;
  std::vector<float> s = KeyMorse("VVV " + sent, o);
  sigtest::AddNoise(s, kRate, snr, seed, CarrierPower());
  return CharErrorRate(sent.substr(0, sent.size() - 1), DecodeCw(s));
}

double Psk(bool bpsk, double snr, uint64_t seed) {
  std::string sent;
  for (int i = 0; i < 3; ++i) sent += kText;
  std::vector<float> s = bpsk ? RenderBpsk(sent, 1000) : RenderQpsk(sent, 1000);
  sigtest::AddNoise(s, kRate, snr, seed);
  return CharErrorRate(sent, DecodePsk(s, bpsk));
}
}  // namespace

int main() {
  printf("| SNR (3 kHz) | CW 20 WPM | BPSK31 | QPSK31 |\n|---:|---:|---:|---:|\n");
  for (double snr : kSnrs) {
    double cw = 0, b = 0, q = 0;
    for (int r = 0; r < kRuns; ++r) {
      cw += Cw(snr, 100 + r);
      b += Psk(true, snr, 200 + r);
      q += Psk(false, snr, 300 + r);
    }
    printf("| %+.0f dB | %.1f %% | %.1f %% | %.1f %% |\n", snr, 100 * cw / kRuns, 100 * b / kRuns,
           100 * q / kRuns);
  }
  return 0;
}
