// Character error rate of the RTTY decoder against SNR (3 kHz bandwidth) for 50 Bd / 425 Hz
// Baudot and for SITOR-B, beside minimodem's on the same wave files when it is installed.
#include <cstdio>
#include <cstdlib>
#include <string>

// The test helpers name the tool binary, which the benchmarks never run.
#ifndef KESTREL_TOOL
#define KESTREL_TOOL "kestrel"
#endif
#include "tests/common/rtty_signal.h"
#include "tests/common/signal_test_util.h"

namespace {

const char* kText =
    "ZCZC FA01 GALE WARNING 123 SOUTH WESTERLY 8 TO 9 VEERING NORTH WESTERLY LATER "
    "SEA STATE ROUGH OR VERY ROUGH VISIBILITY MODERATE OR POOR NNNN ";
constexpr double kSnrs[] = {10, 3, 0, -3, -6};
constexpr int kRepeats = 3;

std::string Run(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  return out;
}

}  // namespace

int main() {
  const bool have_minimodem = system("minimodem --version >/dev/null 2>&1") == 0;
  sigtest::TempDir dir;
  struct Row {
    const char* name;
    rttysig::Link link;
    std::string minimodem;
  } rows[] = {
      {"RTTY 50 Bd 425 Hz", {11025, kRttyAsync, 50, 50, 1275, 1700},
       "minimodem --rx --baudot -q --mark 1275 --space 1700 -f %s 50"},
      {"SITOR-B 100 Bd 170 Hz", {11025, kRttySitorB, 100, 100, 1275, 1445}, ""},
  };
  std::string text;
  for (int i = 0; i < kRepeats; ++i) text += kText;
  printf("| mode | SNR (dB) | CER ours | CER minimodem |\n|---|---:|---:|---:|\n");
  for (const Row& r : rows) {
    const std::vector<float> clean = rttysig::Render(r.link, text);
    uint64_t seed = 11;
    for (double snr : kSnrs) {
      std::vector<float> s = clean;
      sigtest::AddNoise(s, r.link.rate, snr, seed++);
      const double ours = rttysig::CharErrorRate(text, rttysig::DecodeText(r.link, s));
      std::string mm = "n/a";
      if (have_minimodem && !r.minimodem.empty()) {
        const std::string wav = dir.File("x.wav");
        sigtest::WriteMonoWav(wav, r.link.rate, s);
        char cmd[512];
        snprintf(cmd, sizeof cmd, r.minimodem.c_str(), wav.c_str());
        std::string got = Run(std::string(cmd) + " 2>/dev/null");
        // minimodem prints carriage returns and line feeds of its own; the text has none.
        std::string line;
        for (char c : got) if (c != '\r' && c != '\n') line += c;
        char b[32];
        snprintf(b, sizeof b, "%.3f", rttysig::CharErrorRate(text, line));
        mm = b;
      }
      printf("| %s | %+.0f | %.3f | %s |\n", r.name, snr, ours, mm.c_str());
    }
  }
  return 0;
}
