// A frequency-shift keyer of the tests' own, written apart from CRttyTransmitter so that the
// decoder is not only checked against the transmitter it mirrors: phase-continuous keying with a
// random start phase, bit edges at the exact (fractional) baud rate, Baudot text with its own
// ITA2 letters and figures, SITOR-B with DX/RX interleaving and either phasing order, and a
// two-path fading channel.
#pragma once
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "spl/decoders/teleprinter_codes.h"

namespace fsksig {

// One keyed element: the level (1 = tone of binary 1) and its length in bits.
struct Element {
  int level;
  double bits;
};

struct Keyer {
  int rate = 11025;
  double baud = 50.0;
  double one_hz = 1275.0, zero_hz = 1700.0;
  double amplitude = 0.1;
  uint64_t seed = 1;  // start phase
};

// Analytic (complex) keyed signal; the real part is what a receiver hears.
inline std::vector<std::complex<double>> KeyAnalytic(const Keyer& k, const std::vector<Element>& e) {
  std::mt19937_64 rng(k.seed);
  double phase = std::uniform_real_distribution<double>(0.0, 2.0 * M_PI)(rng);
  std::vector<std::complex<double>> out;
  double end_s = 0.0;
  size_t i = 0;
  for (const Element& el : e) {
    end_s += el.bits / k.baud;
    const double f = el.level ? k.one_hz : k.zero_hz;
    for (; double(i) / k.rate < end_s; ++i) {
      out.push_back(std::polar(k.amplitude, phase));
      phase = std::fmod(phase + 2.0 * M_PI * f / k.rate, 2.0 * M_PI);
    }
  }
  return out;
}

inline std::vector<float> Real(const std::vector<std::complex<double>>& a) {
  std::vector<float> s(a.size());
  for (size_t i = 0; i < a.size(); ++i) s[i] = float(a[i].real());
  return s;
}

inline std::vector<float> Key(const Keyer& k, const std::vector<Element>& e) {
  return Real(KeyAnalytic(k, e));
}

// ITA2, first sent bit written first.
struct Ita2 {
  char ch;
  const char* bits;
};
constexpr Ita2 kLetters[] = {
    {'A', "11000"}, {'B', "10011"}, {'C', "01110"}, {'D', "10010"}, {'E', "10000"},
    {'F', "10110"}, {'G', "01011"}, {'H', "00101"}, {'I', "01100"}, {'J', "11010"},
    {'K', "11110"}, {'L', "01001"}, {'M', "00111"}, {'N', "00110"}, {'O', "00011"},
    {'P', "01101"}, {'Q', "11101"}, {'R', "01010"}, {'S', "10100"}, {'T', "00001"},
    {'U', "11100"}, {'V', "01111"}, {'W', "11001"}, {'X', "10111"}, {'Y', "10101"},
    {'Z', "10001"}};
constexpr Ita2 kFigures[] = {
    {'1', "11101"}, {'2', "11001"}, {'3', "10000"}, {'4', "01010"}, {'5', "00001"},
    {'6', "10101"}, {'7', "11100"}, {'8', "01100"}, {'9', "00011"}, {'0', "01101"},
    {'-', "11000"}, {'?', "10011"}, {':', "01110"}, {'(', "11110"}, {')', "01001"},
    {'.', "00111"}, {',', "00110"}, {'/', "10111"}};
constexpr const char* kSpace = "00100";
constexpr const char* kCr = "00010";
constexpr const char* kLf = "01000";
constexpr const char* kFigs = "11011";
constexpr const char* kLtrs = "11111";

// Baudot elements: lead_bits of idle first, a LTRS unless start_in_letters is false (the text
// then starts in whatever shift the receiver is in), stop_bits after each character, a line
// break as CR LF, tail_bits of idle after. Characters outside the tables are left out.
inline std::vector<Element> Baudot(const std::string& text, double stop_bits = 1.5,
                                   double lead_bits = 10.0, double tail_bits = 30.0,
                                   bool send_ltrs = true) {
  std::vector<Element> e{{1, lead_bits}};
  auto put = [&](const char* bits) {
    e.push_back({0, 1.0});
    for (int i = 0; i < 5; ++i) e.push_back({bits[i] == '1', 1.0});
    e.push_back({1, stop_bits});
  };
  int shift = send_ltrs ? 1 : -1;  // 1 letters, 0 figures, -1 unknown (taken as letters)
  if (send_ltrs) put(kLtrs);
  for (char c : text) {
    if (c == ' ') { put(kSpace); continue; }
    if (c == '\n') { put(kCr); put(kLf); continue; }
    const char* bits = nullptr;
    int want = 1;
    for (const Ita2& r : kLetters) if (r.ch == c) bits = r.bits;
    if (!bits) {
      want = 0;
      for (const Ita2& r : kFigures) if (r.ch == c) bits = r.bits;
    }
    if (!bits) continue;
    if (want != (shift < 0 ? 1 : shift)) put(want ? kLtrs : kFigs);
    shift = want;
    put(bits);
  }
  e.push_back({1, tail_bits});
  return e;
}

// SITOR-B: phasing pairs (DX alpha, RX RQ, or RQ first when rq_in_dx), the text (shift
// characters as needed, codes from the shared 4-of-7 table), then idle (DX alpha, RX beta).
// Each character's RX copy follows its DX copy five positions (35 bits) later.
inline std::vector<Element> Sitor(const std::string& text, int phasing_pairs = 8,
                                  bool rq_in_dx = false, int idle_pairs = 8) {
  const int dx_phase = rq_in_dx ? kSitorRq : kSitorAlpha;
  const int rx_phase = rq_in_dx ? kSitorAlpha : kSitorRq;
  std::vector<int> dx;          // DX characters
  std::vector<bool> is_phase;   // whether a DX slot holds phasing (no RX copy)
  for (int i = 0; i < phasing_pairs; ++i) dx.push_back(dx_phase), is_phase.push_back(true);
  int shift = -1;
  auto add = [&](int code) { dx.push_back(code), is_phase.push_back(false); };
  for (char c : text) {
    const int ch = c == '\n' ? -1 : static_cast<unsigned char>(c);
    if (ch < 0) { add(kSitorCr); add(kSitorLf); continue; }
    const SitorSend s = SitorSendCode(ch);
    if (s.code < 0) continue;
    if (c != ' ' && s.letters != shift) add(s.letters ? kSitorLtrs : kSitorFigs), shift = s.letters;
    add(s.code);
  }
  for (int i = 0; i < idle_pairs; ++i) add(kSitorAlpha);
  std::vector<Element> e{{1, 3.0}};
  for (size_t j = 0; j < dx.size(); ++j) {
    // RX slot j repeats DX slot j-2 (35 bits after it); phasing slots have no copy.
    int rx = rx_phase;
    if (j >= 2 && !is_phase[j - 2]) rx = dx[j - 2] == kSitorAlpha ? kSitorBeta : dx[j - 2];
    for (int code : {dx[j], rx})
      for (int b = 6; b >= 0; --b) e.push_back({(code >> b) & 1, 1.0});
  }
  e.push_back({1, 10.0});
  return e;
}

// Two equal paths delay_s apart, each with its own complex Gaussian fading of the given Doppler
// spread (Hz, twice the standard deviation of the Doppler spectrum); mean power is kept.
inline std::vector<float> TwoPathFading(const std::vector<std::complex<double>>& a, int rate,
                                        double delay_s, double spread_hz, uint64_t seed) {
  constexpr int kSines = 24;
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> doppler(0.0, spread_hz / 2.0);
  std::uniform_real_distribution<double> ph(0.0, 2.0 * M_PI);
  struct Path {
    double f[kSines], p[kSines];
  } path[2];
  for (Path& q : path)
    for (int i = 0; i < kSines; ++i) q.f[i] = doppler(rng), q.p[i] = ph(rng);
  const size_t d = size_t(std::lround(delay_s * rate));
  std::vector<float> out(a.size());
  for (size_t n = 0; n < a.size(); ++n) {
    const double t = double(n) / rate;
    std::complex<double> y;
    for (int k = 0; k < 2; ++k) {
      std::complex<double> g;
      for (int i = 0; i < kSines; ++i) g += std::polar(1.0, 2.0 * M_PI * path[k].f[i] * t + path[k].p[i]);
      g /= std::sqrt(2.0 * kSines);  // each path half the power
      const size_t at = k == 0 ? n : (n >= d ? n - d : a.size());
      if (at < a.size()) y += g * a[at];
    }
    out[n] = float(y.real());
  }
  return out;
}

}  // namespace fsksig
