// Character error rate of the RTTY decoder against SNR (white noise, 3 kHz bandwidth): Baudot
// at 45.45, 50 and 75 Bd with 170 to 850 Hz shift at 8000, 11025 and 48000 Hz, SITOR-B and
// NAVTEX at 100 Bd, two-path fading, and noise alone; the matched receiver (with its default
// squelch), the plain receiver for one row, and minimodem on the same wave files when it is
// installed. Signals come from the tests' own keyer (random start phase, exact fractional baud)
// and, for some rows, from CRttyTransmitter. "1 % at" interpolates where the error rate
// crosses 1 % (log scale between the measured points). For two rows a "ceiling" line: what a
// receiver told the exact span of every bit could copy from the same noisy signals.
//   rtty_cer [quick | fading | ROWS [-v]]   quick: fewer rows, for a first look; fading: the
//   fading table alone; ROWS: only the rows
//   whose "name rate" contains this text (the same seeds as in the full run, so the figures
//   agree); -v: also prints what ours decoded where it erred.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// The test helpers name the tool binary, which the benchmarks never run.
#ifndef KESTREL_TOOL
#define KESTREL_TOOL "kestrel"
#endif
#include "tests/common/fsk_signal.h"
#include "tests/common/rtty_signal.h"
#include "tests/common/signal_test_util.h"

namespace {

const char* kMessage =
    "ZCZC WA42 GALE WARNING 0615 UTC SW 8 TO 9 VEERING NW LATER SEA ROUGH 1015 HPA FALLING "
    "VIS MODERATE OR POOR IN RAIN 52.3N 004.1E NNNN ";
constexpr int kRepeats = 3;
constexpr double kSnrs[] = {3, 0, -3, -4.5, -6, -7.5, -9};
constexpr double kLevel = 1000.0;  // 16-bit scale: room for the noise at -9 dB in 48 kHz
constexpr double kNoiseSeconds = 60.0;
constexpr int kFadingSeeds = 8;              // fading realisations per point
constexpr uint64_t kFadingSeedBase = 10000;

enum Source { kOwnKeyer, kTransmitter };

struct Row {
  const char* name;
  int rate;
  double baud;
  int one, zero;  // tones of binary 1 and 0
  int mode;
  Source source;
  int receiver;
  bool minimodem;
  bool fading;
};

std::string Flat(const std::string& s) {
  std::string line;
  for (char c : s)
    if (c != '\r' && c != '\n') line += c;
  return line;
}

std::string MinimodemCommand(const Row& r, const std::string& wav) {
  char cmd[512];
  // minimodem's own carrier search is left off: the tones are given exactly.
  snprintf(cmd, sizeof cmd,
           "minimodem --rx --baudot -q --stopbits 1.5 --mark %d --space %d -f %s %g 2>/dev/null",
           r.one, r.zero, wav.c_str(), r.baud);
  return cmd;
}

rttysig::Link LinkOf(const Row& r) {
  rttysig::Link l;
  l.rate = r.rate;
  l.mode = r.mode;
  l.tx_baud = float(r.baud);
  l.rx_baud = r.baud;
  l.mark = r.one;
  l.space = r.zero;
  l.receiver = r.receiver;
  return l;
}

// The clean signal and, for the fading rows, its analytic form.
std::vector<std::complex<double>> Analytic(const Row& r, const std::string& text, uint64_t seed) {
  fsksig::Keyer k;
  k.rate = r.rate;
  k.baud = r.baud;
  k.one_hz = r.one;
  k.zero_hz = r.zero;
  k.amplitude = kLevel;
  k.seed = seed;
  return fsksig::KeyAnalytic(k, r.mode == kRttySitorB ? fsksig::Sitor(text) : fsksig::Baudot(text));
}

double OnePercentPoint(const std::vector<double>& cer) {
  const double target = 0.01;
  for (size_t i = 0; i + 1 < cer.size(); ++i) {
    if (cer[i] <= target && cer[i + 1] > target) {
      const double a = std::log10(std::max(cer[i], 1e-4)), b = std::log10(cer[i + 1]);
      const double t = (std::log10(target) - a) / (b - a);
      return kSnrs[i] + t * (kSnrs[i + 1] - kSnrs[i]);
    }
  }
  if (!cer.empty() && cer.back() <= target) return -100.0;  // below the lowest SNR measured
  return 100.0;
}

// Rows that also print the ceiling.
bool WithCeiling(const Row& r) {
  return r.source == kOwnKeyer && r.mode == kRttyAsync && r.rate == 11025 &&
         (strcmp(r.name, "50 Bd 425 Hz") == 0 || strcmp(r.name, "75 Bd 170 Hz") == 0);
}

// The ceiling: told both tones and the sample span of every bit (walked as KeyAnalytic keys
// them), it decides each data bit by the larger noncoherent matched-filter energy
// |sum x exp(-j w n)| of the two tones over the bit (start and stop bits are known), and reads
// the Baudot text from those bits with its own letters / figures shift (or, known_shift, with
// the shift of the sent text, so that a lost shift character spoils only itself). Only the
// noise limits it.
std::string Ceiling(const Row& r, const std::string& text, const std::vector<float>& s,
                    bool known_shift) {
  const std::vector<fsksig::Element> e = fsksig::Baudot(text);
  std::vector<size_t> edge{0};  // first sample of each element, then the end
  double end_s = 0.0;
  size_t i = 0;
  for (const fsksig::Element& el : e) {
    end_s += el.bits / r.baud;
    while (double(i) / r.rate < end_s) ++i;
    edge.push_back(i);
  }
  auto energy = [&](size_t k, double hz) {
    const double w = 2.0 * M_PI * hz / r.rate;
    std::complex<double> sum = 0.0;
    for (size_t n = edge[k]; n < edge[k + 1] && n < s.size(); ++n)
      sum += double(s[n]) * std::polar(1.0, -w * double(n));
    return std::norm(sum);
  };
  constexpr size_t kCharElements = 7;  // start, five data bits, stop
  std::string out;
  bool figures = false;
  // Element 0 is the idle lead-in, the last the tail.
  for (size_t c = 1; c + kCharElements < e.size(); c += kCharElements) {
    char bits[6] = {}, sent[6] = {};
    for (size_t b = 0; b < 5; ++b) {
      bits[b] = energy(c + 1 + b, r.one) > energy(c + 1 + b, r.zero) ? '1' : '0';
      sent[b] = e[c + 1 + b].level ? '1' : '0';
    }
    const char* shift = known_shift ? sent : bits;
    if (strcmp(shift, fsksig::kLtrs) == 0 || strcmp(shift, fsksig::kFigs) == 0) {
      figures = strcmp(shift, fsksig::kFigs) == 0;
      if (known_shift) continue;  // a shift character prints nothing, whatever was decided
    }
    if (strcmp(bits, fsksig::kLtrs) == 0 || strcmp(bits, fsksig::kFigs) == 0) continue;
    if (strcmp(bits, fsksig::kSpace) == 0) out += ' ';
    else if (figures) {
      for (const fsksig::Ita2& t : fsksig::kFigures) if (strcmp(bits, t.bits) == 0) out += t.ch;
    } else {
      for (const fsksig::Ita2& t : fsksig::kLetters) if (strcmp(bits, t.bits) == 0) out += t.ch;
    }
  }
  return out;
}

std::string Point(double db) {
  char b[32];
  if (db <= -100.0) snprintf(b, sizeof b, "< %+.1f", kSnrs[std::size(kSnrs) - 1]);
  else if (db >= 100.0) snprintf(b, sizeof b, "> %+.1f", kSnrs[0]);
  else snprintf(b, sizeof b, "%+.1f", db);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && strcmp(argv[1], "quick") == 0;
  // "fading": the fading table alone (all its rows).
  const bool fading_only = argc > 1 && strcmp(argv[1], "fading") == 0;
  const std::string only = argc > 1 && !quick && !fading_only ? argv[1] : "";
  const bool verbose = argc > 2 && strcmp(argv[2], "-v") == 0;
  auto wanted = [&](const Row& r) {
    if (fading_only) return false;
    return only.empty() || (std::string(r.name) + " " + std::to_string(r.rate)).find(only) !=
                               std::string::npos;
  };
  const bool have_minimodem = system("minimodem --version >/dev/null 2>&1") == 0;
  sigtest::TempDir dir;
  const int M = kRttyReceiverMatched, P = kRttyReceiverPlain;
  std::vector<Row> rows = {
      {"45.45 Bd 170 Hz", 11025, 45.45, 1275, 1445, kRttyAsync, kOwnKeyer, M, true, false},
      {"50 Bd 425 Hz", 11025, 50, 1275, 1700, kRttyAsync, kOwnKeyer, M, true, false},
      {"75 Bd 170 Hz", 11025, 75, 1275, 1445, kRttyAsync, kOwnKeyer, M, true, false},
      {"SITOR-B 100 Bd 170 Hz", 11025, 100, 1275, 1445, kRttySitorB, kOwnKeyer, M, false, false},
  };
  if (!quick) {
    rows = {};
    for (int rate : {8000, 11025, 48000}) {
      rows.push_back({"45.45 Bd 170 Hz", rate, 45.45, 1275, 1445, kRttyAsync, kOwnKeyer, M, true, false});
      rows.push_back({"50 Bd 425 Hz", rate, 50, 1275, 1700, kRttyAsync, kOwnKeyer, M, true, false});
      rows.push_back({"50 Bd 450 Hz", rate, 50, 1275, 1725, kRttyAsync, kOwnKeyer, M, true, false});
      rows.push_back({"50 Bd 850 Hz", rate, 50, 1275, 2125, kRttyAsync, kOwnKeyer, M, true, false});
      rows.push_back({"75 Bd 170 Hz", rate, 75, 1275, 1445, kRttyAsync, kOwnKeyer, M, true, false});
    }
    rows.push_back({"50 Bd 425 Hz, transmitter", 11025, 50, 1275, 1700, kRttyAsync, kTransmitter, M, true, false});
    rows.push_back({"45.45 Bd 170 Hz, transmitter", 11025, 45.45, 1275, 1445, kRttyAsync, kTransmitter, M, true, false});
    rows.push_back({"50 Bd 425 Hz, plain receiver", 11025, 50, 1275, 1700, kRttyAsync, kOwnKeyer, P, false, false});
    rows.push_back({"SITOR-B 100 Bd 170 Hz", 11025, 100, 1275, 1445, kRttySitorB, kOwnKeyer, M, false, false});
    rows.push_back({"SITOR-B 100 Bd 170 Hz", 48000, 100, 1275, 1445, kRttySitorB, kOwnKeyer, M, false, false});
    rows.push_back({"NAVTEX 100 Bd", 8000, 100, kNavtexHighTone, kNavtexLowTone, kRttySitorB, kOwnKeyer, M, false, false});
    rows.push_back({"SITOR-B, transmitter", 11025, 100, 1275, 1445, kRttySitorB, kTransmitter, M, false, false});
    rows.push_back({"SITOR-B, plain receiver", 11025, 100, 1275, 1445, kRttySitorB, kOwnKeyer, P, false, false});
  }
  std::string text;
  for (int i = 0; i < kRepeats; ++i) text += kMessage;

  printf("Character error rate against SNR in 3 kHz (white noise); %zu characters per point.\n\n",
         text.size());
  printf("| mode | rate | decoder |");
  for (double s : kSnrs) printf(" %+.1f |", s);
  printf(" 1 %% at |\n|---|---:|---|");
  for (size_t i = 0; i <= std::size(kSnrs); ++i) printf("---:|");
  printf("\n");
  uint64_t seed = 100;
  for (const Row& r : rows) {
    if (!wanted(r)) {
      seed += std::size(kSnrs);
      continue;
    }
    const rttysig::Link link = LinkOf(r);
    std::vector<float> clean;
    if (r.source == kTransmitter) {
      clean = rttysig::Render(link, text, 1.0, float(kLevel / 32767.0));  // a fraction of full scale
    } else {
      clean = fsksig::Real(Analytic(r, text, seed));
    }
    const double power = sigtest::MeanSquare(clean);
    std::vector<double> ours, theirs, ceiling, known;
    const bool mm = have_minimodem && r.minimodem;
    for (double snr : kSnrs) {
      std::vector<float> s = clean;
      sigtest::AddNoise(s, r.rate, snr, ++seed, power);
      FILE* pipe = nullptr;
      if (mm) {
        const std::string wav = dir.File("x.wav");
        sigtest::WriteMonoWav(wav, r.rate, s);
        pipe = popen(MinimodemCommand(r, wav).c_str(), "r");  // runs while we decode
      }
      const std::string got = Flat(rttysig::DecodeText(link, s));
      ours.push_back(rttysig::CharErrorRate(text, got));
      if (WithCeiling(r)) {
        ceiling.push_back(rttysig::CharErrorRate(text, Ceiling(r, text, s, false)));
        known.push_back(rttysig::CharErrorRate(text, Ceiling(r, text, s, true)));
      }
      if (verbose && ours.back() > 0.0)
        printf("seed %llu, %+.1f dB:\n%s\n", (unsigned long long)seed, snr, got.c_str());
      if (pipe) {
        std::string heard;
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) heard.append(buf, n);
        pclose(pipe);
        theirs.push_back(rttysig::CharErrorRate(text, Flat(heard)));
      }
    }
    auto line = [&](const char* who, const std::vector<double>& cer) {
      printf("| %s | %d | %s |", r.name, r.rate, who);
      for (double c : cer) printf(" %.3f |", c);
      printf(" %s |\n", Point(OnePercentPoint(cer)).c_str());
    };
    line(r.receiver == M ? "ours" : "ours (plain)", ours);
    if (mm) line("minimodem", theirs);
    if (WithCeiling(r)) {
      line("ceiling", ceiling);
      line("ceiling, shift known", known);
    }
    fflush(stdout);
  }

  // Two-path fading: paths 1 ms apart, 0.5 Hz Doppler spread, at +6 dB and a few other SNRs.
  // One fading realisation of a minute is too few (a single deep fade on a figures shift moves
  // a point by percents), so each point is the mean of several, with the lowest and highest.
  // Their seeds are their own, so the rows after this table keep theirs.
  const double kFadingSnrs[] = {12, 9, 6, 3};
  printf("\nTwo-path fading (1 ms, 0.5 Hz Doppler spread), character error rate, mean (lowest "
         "... highest) of %d fading realisations:\n\n", kFadingSeeds);
  printf("| mode | rate | decoder |");
  for (double s : kFadingSnrs) printf(" %+.0f dB |", s);
  printf("\n|---|---:|---|---:|---:|---:|---:|\n");
  const Row fading_rows[] = {
      {"50 Bd 425 Hz", 11025, 50, 1275, 1700, kRttyAsync, kOwnKeyer, M, true, true},
      {"45.45 Bd 170 Hz", 11025, 45.45, 1275, 1445, kRttyAsync, kOwnKeyer, M, true, true},
      {"50 Bd 850 Hz", 11025, 50, 1275, 2125, kRttyAsync, kOwnKeyer, M, true, true},
      {"SITOR-B 100 Bd 170 Hz", 11025, 100, 1275, 1445, kRttySitorB, kOwnKeyer, M, false, true},
  };
  uint64_t fading_seed = kFadingSeedBase;
  for (const Row& r : fading_rows) {
    seed += 3 * std::size(kFadingSnrs);
    if ((quick && r.mode == kRttySitorB) || !(wanted(r) || fading_only)) {
      fading_seed += 3 * kFadingSeeds * std::size(kFadingSnrs);
      continue;
    }
    std::vector<std::vector<double>> ours, open, theirs;
    const bool mm = have_minimodem && r.minimodem;
    for (double snr : kFadingSnrs) {
      ours.emplace_back();
      open.emplace_back();
      theirs.emplace_back();
      for (int k = 0; k < kFadingSeeds; ++k) {
        const auto a = Analytic(r, text, ++fading_seed);
        const double power = sigtest::MeanSquare(fsksig::Real(a));
        std::vector<float> s = fsksig::TwoPathFading(a, r.rate, 0.001, 0.5, ++fading_seed);
        sigtest::AddNoise(s, r.rate, snr, ++fading_seed, power);
        rttysig::Link l = LinkOf(r);
        const std::string got = Flat(rttysig::DecodeText(l, s));
        ours.back().push_back(rttysig::CharErrorRate(text, got));
        if (verbose && ours.back().back() > 0.0)
          printf("seed %llu, %+.0f dB:\n%s\n", (unsigned long long)fading_seed, snr, got.c_str());
        l.quality = 0;
        open.back().push_back(rttysig::CharErrorRate(text, Flat(rttysig::DecodeText(l, s))));
        if (mm) {
          const std::string wav = dir.File("f.wav");
          sigtest::WriteMonoWav(wav, r.rate, s);
          theirs.back().push_back(
              rttysig::CharErrorRate(text, Flat(sigtest::RunCommand(MinimodemCommand(r, wav)).out)));
        }
      }
    }
    auto line = [&](const char* who, const std::vector<std::vector<double>>& cer) {
      printf("| %s | %d | %s |", r.name, r.rate, who);
      for (const std::vector<double>& c : cer) {
        double sum = 0.0;
        for (double x : c) sum += x;
        printf(" %.3f (%.3f ... %.3f) |", sum / double(c.size()), *std::min_element(c.begin(), c.end()),
               *std::max_element(c.begin(), c.end()));
      }
      printf("\n");
    };
    line("ours", ours);
    line("ours, squelch off", open);
    if (mm) line("minimodem", theirs);
    fflush(stdout);
  }

  // Noise alone: characters printed in a minute, with the squelch at its default and off.
  printf("\nNoise alone for %.0f s, characters printed:\n\n", kNoiseSeconds);
  printf("| mode | rate | ours, default squelch | ours, squelch off | minimodem |\n");
  printf("|---|---:|---:|---:|---:|\n");
  const Row noise_rows[] = {
      {"45.45 Bd 170 Hz", 11025, 45.45, 1275, 1445, kRttyAsync, kOwnKeyer, M, true, false},
      {"50 Bd 425 Hz", 8000, 50, 1275, 1700, kRttyAsync, kOwnKeyer, M, true, false},
      {"75 Bd 170 Hz", 48000, 75, 1275, 1445, kRttyAsync, kOwnKeyer, M, true, false},
      {"SITOR-B 100 Bd 170 Hz", 11025, 100, 1275, 1445, kRttySitorB, kOwnKeyer, M, false, false},
  };
  for (const Row& r : noise_rows) {
    if ((quick && r.rate == 48000) || !wanted(r)) {
      ++seed;
      continue;
    }
    std::vector<float> s(size_t(kNoiseSeconds * r.rate), 0.0f);
    sigtest::AddNoise(s, r.rate, 0.0, ++seed, kLevel * kLevel / 2.0);
    rttysig::Link l = LinkOf(r);
    const size_t on = rttysig::DecodeText(l, s).size();
    l.quality = 0;
    const size_t off = rttysig::DecodeText(l, s).size();
    std::string mm = "n/a";
    if (have_minimodem && r.minimodem) {
      const std::string wav = dir.File("n.wav");
      sigtest::WriteMonoWav(wav, r.rate, s);
      mm = std::to_string(Flat(sigtest::RunCommand(MinimodemCommand(r, wav)).out).size());
    }
    printf("| %s | %d | %zu | %zu | %s |\n", r.name, r.rate, on, off, mm.c_str());
    fflush(stdout);
  }
  return 0;
}
