// An independent PSK31 signal generator for the decoder tests and the error-rate bench, written
// apart from the library's transmitters: its own Varicode table (the characters of the test
// texts), its own rate-1/2 K=5 convolutional coder, raised-cosine symbol pulses two symbols
// long, and a channel with carrier offset, linear drift and two-path fading.
#pragma once
#include <cmath>
#include <complex>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/common/signal_test_util.h"

namespace pskgen {

constexpr int kRate = 11025;
constexpr double kBaud = 31.25;
constexpr double kAmplitude = 16000.0;

// Varicode of the characters the tests send; anything else is left out.
inline const std::map<char, std::string>& Code() {
  static const std::map<char, std::string> table = {
      {' ', "1"},          {'A', "1111101"},   {'B', "11101011"},  {'C', "10101101"},
      {'D', "10110101"},   {'E', "1110111"},   {'F', "11011011"},  {'G', "11111101"},
      {'H', "101010101"},  {'I', "1111111"},   {'J', "111111101"}, {'K', "101111101"},
      {'L', "11010111"},   {'M', "10111011"},  {'N', "11011101"},  {'O', "10101011"},
      {'P', "11010101"},   {'Q', "111011101"}, {'R', "10101111"},  {'S', "1101111"},
      {'T', "1101101"},    {'U', "101010111"}, {'V', "110110101"}, {'W', "101011101"},
      {'X', "101110101"},  {'Y', "101111011"}, {'Z', "1010101101"}, {'a', "1011"},
      {'b', "1011111"},    {'c', "101111"},    {'d', "101101"},    {'e', "11"},
      {'f', "111101"},     {'g', "1011011"},   {'h', "101011"},    {'i', "1101"},
      {'j', "111101011"},  {'k', "10111111"},  {'l', "11011"},     {'m', "111011"},
      {'n', "1111"},       {'o', "111"},       {'p', "111111"},    {'q', "110111111"},
      {'r', "10101"},      {'s', "10111"},     {'t', "101"},       {'u', "110111"},
      {'v', "1111011"},    {'w', "1101011"},   {'x', "11011111"},  {'y', "1011101"},
      {'z', "111010101"},  {'0', "10110111"},  {'1', "10111101"},  {'2', "11101101"},
      {'3', "11111111"},   {'4', "101110111"}, {'5', "101011011"}, {'6', "101101011"},
      {'7', "110101101"},  {'8', "110101011"}, {'9', "110110111"}, {'.', "1010111"},
      {',', "1110101"},    {'/', "110101111"}, {'-', "110101"},    {'=', "1010101"},
      {'?', "1010101111"}, {'\n', "11101"}};
  return table;
}

// Bits of the text: each character's code and two 0 bits, with idle 0 bits before and after.
inline std::vector<int> TextBits(const std::string& text, int lead_bits, int tail_bits) {
  std::vector<int> bits(size_t(lead_bits), 0);
  for (char c : text) {
    auto it = Code().find(c);
    if (it == Code().end()) continue;
    for (char b : it->second) bits.push_back(b == '1');
    bits.push_back(0);
    bits.push_back(0);
  }
  bits.insert(bits.end(), size_t(tail_bits), 0);
  return bits;
}

// BPSK31 phasors: a 0 bit reverses the phase, a 1 bit keeps it.
inline std::vector<std::complex<double>> BpskSymbols(const std::vector<int>& bits) {
  std::vector<std::complex<double>> out;
  double sign = 1.0;
  for (int b : bits) {
    if (!b) sign = -sign;
    out.push_back({sign, 0.0});
  }
  return out;
}

// QPSK31 phasors: each bit enters a five-bit shift register; the complemented register gives
// two parities (generators 0x19 and 0x17), 2 x first + second quarter turns of phase advance.
inline std::vector<std::complex<double>> QpskSymbols(const std::vector<int>& bits,
                                                     bool reverse = false) {
  auto parity = [](unsigned v) {
    int p = 0;
    for (; v; v >>= 1) p ^= int(v & 1);
    return p;
  };
  std::vector<std::complex<double>> out;
  unsigned reg = 0;
  int quarter = 0;
  for (int b : bits) {
    reg = ((reg << 1) | unsigned(b)) & 31u;
    const unsigned w = ~reg & 31u;
    int turn = 2 * parity(w & 0x19u) + parity(w & 0x17u);
    if (reverse) turn = (4 - turn) % 4;
    quarter = (quarter + turn) % 4;
    out.push_back(std::polar(1.0, quarter * M_PI / 2.0));
  }
  return out;
}

struct Channel {
  double carrier = 1000.0;   // Hz at the start
  double drift = 0.0;        // Hz per second
  double delay_ms = 0.0;     // second path (0: none)
  double doppler_hz = 0.0;   // two-sigma Doppler spread of each path's fading
  uint64_t seed = 7;
};

// A path gain fading slowly: a sum of sinusoids with Gaussian-distributed Doppler shifts and
// random phases, mean power 1.
class CFadingGain {
 public:
  CFadingGain(double spread, uint64_t seed) {
    sigtest::CGaussNoise g(seed);
    for (int i = 0; i < kWaves; ++i) {
      freq_[i] = 0.5 * spread * g.Next();
      phase_[i] = 2.0 * M_PI * (0.5 + 0.5 * std::erf(g.Next() / std::sqrt(2.0)));
    }
  }
  std::complex<double> At(double t) const {
    std::complex<double> sum{};
    for (int i = 0; i < kWaves; ++i) sum += std::polar(1.0, 2.0 * M_PI * freq_[i] * t + phase_[i]);
    return sum / std::sqrt(double(kWaves));
  }

 private:
  static constexpr int kWaves = 16;
  double freq_[kWaves];
  double phase_[kWaves];
};

// Audio of the phasors: each a raised-cosine pulse two symbols long centred on its symbol, on a
// carrier moved by the channel; with a delay, two independently fading paths of equal power.
inline std::vector<float> Render(const std::vector<std::complex<double>>& symbols,
                                 const Channel& ch) {
  const double T = kRate / kBaud;
  const size_t n = size_t(double(symbols.size()) * T);
  auto baseband = [&](double t) {  // t in samples
    const double k = std::floor(t / T);
    std::complex<double> v{};
    for (int j = 0; j < 2; ++j) {
      const long i = long(k) + j;
      if (i < 0 || i >= long(symbols.size())) continue;
      const double x = (t - double(i) * T) / T;  // -1 ... 1 around the centre
      if (std::abs(x) < 1.0) v += symbols[size_t(i)] * 0.5 * (1.0 + std::cos(M_PI * x));
    }
    return v;
  };
  const bool fading = ch.delay_ms > 0.0;
  CFadingGain g1(ch.doppler_hz, ch.seed), g2(ch.doppler_hz, ch.seed + 1000);
  const double delay = ch.delay_ms * 1e-3 * kRate;
  std::vector<float> out(n);
  double phase = 0.0;
  for (size_t s = 0; s < n; ++s) {
    const double t = double(s), seconds = t / kRate;
    const double f = ch.carrier + ch.drift * seconds;
    std::complex<double> v = baseband(t);
    if (fading) {
      const double back = 2.0 * M_PI * f * delay / kRate;  // carrier phase of the later path
      v = (g1.At(seconds) * v + g2.At(seconds) * baseband(t - delay) * std::polar(1.0, -back)) /
          std::sqrt(2.0);
    }
    out[s] = float(kAmplitude * (v * std::polar(1.0, phase)).real());
    phase = std::remainder(phase + 2.0 * M_PI * f / kRate, 2.0 * M_PI);
  }
  return out;
}

// Idle, text, idle: 1 s before (32 symbols), 1.5 s after.
inline std::vector<float> Bpsk(const std::string& text, const Channel& ch, int lead = 32,
                               int tail = 48) {
  return Render(BpskSymbols(TextBits(text, lead, tail)), ch);
}
inline std::vector<float> Qpsk(const std::string& text, const Channel& ch, int lead = 32,
                               int tail = 48, bool reverse = false) {
  return Render(QpskSymbols(TextBits(text, lead, tail), reverse), ch);
}

}  // namespace pskgen
