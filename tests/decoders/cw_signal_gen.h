// Morse test signals made without the library's transmitter: a hand keyer with random element
// and gap lengths, Farnsworth spacing, raised-cosine key edges and a random tone phase, an
// optional two-path fading channel (two paths with slowly wandering complex gains); plus the
// library transmitter rendered at the same level, a collecting decoder, and the character
// error rate of a decoded text.
#pragma once
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/decoders/cw_decoder.h"
#include "spl/decoders/cw_transmitter.h"
#include "tests/decoders/cw_psk_signals.h"

namespace cwsig {

constexpr int kRate = 11025;
constexpr int kBlock = 1024;
constexpr int kTaps = 128;
constexpr int kBandwidth = 30;
constexpr double kAmplitude = 16000.0;
constexpr double kPi = 3.141592653589793;

// Mean square of the unfaded key-down carrier: the reference of every SNR here.
inline double CarrierPower() { return kAmplitude * kAmplitude / 2.0; }

// Small self-contained generator (splitmix64), so the signals do not depend on the library.
class CRandom {
 public:
  explicit CRandom(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {}
  uint64_t Bits() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  double Uniform() { return double(Bits() >> 11) * (1.0 / 9007199254740992.0); }  // [0, 1)
  double Gauss() {
    const double u = std::max(1e-300, Uniform()), v = Uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * kPi * v);
  }

 private:
  uint64_t state_;
};

// International Morse code of letters, digits and a few signs, written out for the tests.
inline const char* Code(char c) { return cwpsk::TestMorse(c); }

struct Keying {
  double wpm = 20.0;            // character speed
  double overall_wpm = 0.0;     // Farnsworth: slower overall speed, 0 = none
  double jitter = 0.0;          // each element and gap times 1 + uniform(-jitter, +jitter)
  double tone = 1200.0;
  double rise_ms = 5.0;         // raised-cosine edges, centred on the nominal key instants
  double lead_s = 0.5, tail_s = 0.5;
  uint64_t seed = 1;            // jitter and tone phase
};

struct Fading {
  bool on = false;
  double delay_ms = 1.0;   // second path behind the first
  double spread_hz = 0.5;  // Doppler spread of each path (twice the standard deviation)
  uint64_t seed = 7;
};

// Key-down intervals (seconds) of the text: upper-case letters, digits, signs and spaces.
inline std::vector<std::pair<double, double>> KeyIntervals(const std::string& text,
                                                           const Keying& k, double* end_s) {
  CRandom rnd(k.seed * 2 + 1);
  const double unit = 1.2 / k.wpm;
  double letter_gap = 3.0 * unit, word_gap = 7.0 * unit;
  if (k.overall_wpm > 0.0 && k.overall_wpm < k.wpm) {
    // The extra time of a word at the overall speed, shared 3 : 7 by letter and word gaps.
    const double extra = (60.0 * k.wpm - 37.2 * k.overall_wpm) / (k.overall_wpm * k.wpm);
    letter_gap = 3.0 * extra / 19.0;
    word_gap = 7.0 * extra / 19.0;
  }
  auto vary = [&](double s) { return s * (1.0 + k.jitter * (2.0 * rnd.Uniform() - 1.0)); };
  std::vector<std::pair<double, double>> on;
  double t = k.lead_s;
  bool first = true;
  for (size_t i = 0; i < text.size(); ++i) {
    const char* code = Code(text[i]);
    if (!code) continue;
    if (!first) t += vary(i > 0 && text[i - 1] == ' ' ? word_gap : letter_gap);
    first = false;
    for (const char* p = code; *p; ++p) {
      if (p != code) t += vary(unit);
      const double len = vary(*p == '-' ? 3.0 * unit : unit);
      on.push_back({t, t + len});
      t += len;
    }
  }
  *end_s = t + k.tail_s;
  return on;
}

// Key envelope (0 ... 1) at time t from the sorted intervals, index advanced monotonically.
inline double Envelope(const std::vector<std::pair<double, double>>& on, double rise, double t,
                       size_t& at) {
  while (at < on.size() && on[at].second + rise < t) ++at;
  double env = 0.0;
  for (size_t j = at; j < on.size() && on[j].first - rise <= t; ++j) {
    auto edge = [&](double x) {  // 0 before -rise, 1 after +rise
      if (x <= -rise) return 0.0;
      if (x >= rise) return 1.0;
      return 0.5 - 0.5 * std::cos(kPi * (x + rise) / (2.0 * rise));
    };
    env = std::max(env, std::min(edge(t - on[j].first), edge(on[j].second - t)));
  }
  return env;
}

// One path's complex gain: a sum of slowly turning phasors, Gaussian Doppler spectrum, mean
// power `power`.
class CPathGain {
 public:
  CPathGain(double spread_hz, double power, uint64_t seed) {
    CRandom r(seed);
    for (int n = 0; n < kPhasors; ++n) {
      freq_[n] = 0.5 * spread_hz * r.Gauss();
      phase_[n] = 2.0 * kPi * r.Uniform();
    }
    scale_ = std::sqrt(power / kPhasors);
  }
  std::complex<double> At(double t) const {
    std::complex<double> g = 0.0;
    for (int n = 0; n < kPhasors; ++n) g += std::polar(1.0, 2.0 * kPi * freq_[n] * t + phase_[n]);
    return g * scale_;
  }

 private:
  static constexpr int kPhasors = 24;
  double freq_[kPhasors];
  double phase_[kPhasors];
  double scale_;
};

// The keyed tone at kRate (or `rate`), optionally through the two-path fading channel.
inline std::vector<float> KeyText(const std::string& text, const Keying& k,
                                  const Fading& f = Fading(), int rate = kRate) {
  double end_s = 0.0;
  const auto on = KeyIntervals(text, k, &end_s);
  CRandom rnd(k.seed * 2 + 2);
  const double phi = 2.0 * kPi * rnd.Uniform();
  const double rise = 0.5 * k.rise_ms * 1e-3;
  const double w = 2.0 * kPi * k.tone;
  std::vector<float> s(size_t(end_s * rate));
  const CPathGain g1(f.spread_hz, 0.5, f.seed * 3 + 1), g2(f.spread_hz, 0.5, f.seed * 3 + 2);
  const double tau = f.delay_ms * 1e-3;
  size_t at1 = 0, at2 = 0;
  std::complex<double> a1 = 1.0, a2 = 0.0;
  constexpr size_t kGainStep = 16;  // the gains change over seconds
  for (size_t n = 0; n < s.size(); ++n) {
    const double t = double(n) / rate;
    const std::complex<double> carrier = std::polar(1.0, w * t + phi);
    std::complex<double> env = Envelope(on, rise, t, at1);
    if (f.on) {
      if (n % kGainStep == 0) a1 = g1.At(t), a2 = g2.At(t) * std::polar(1.0, -w * tau);
      // The delayed path: its envelope and carrier phase lag by tau.
      env = a1 * env + a2 * Envelope(on, rise, t - tau, at2);
    }
    s[n] = float(kAmplitude * (env * carrier).real());
  }
  return s;
}

// The library transmitter's rendering of the text at kAmplitude key-down, with lead and tail.
inline std::vector<float> TransmitText(const std::string& text, int wpm, int tone = 1200,
                                       double lead_s = 0.5, double tail_s = 0.5) {
  CCwTransmitter tx;
  std::vector<float> s;
  if (!tx.Init(kRate, kBlock) || !tx.SetMode(tone, wpm)) return s;
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, kBlock)) return s;
  auto render = [&]() {
    tx.CreateAudio(b);
    s.insert(s.end(), b->data, b->data + b->count);
  };
  while (s.size() < size_t(lead_s * kRate)) render();
  for (char c : text) tx.Transmit(c);
  while (tx.GetBitCount() > 0) render();
  const size_t end = s.size() + size_t(tail_s * kRate);
  while (s.size() < end) render();
  FreeAudioBlock(b);
  // Its shaping filter passes the tone below full scale: the key-down peak becomes kAmplitude.
  float peak = 1.0f;
  for (float v : s) peak = std::max(peak, std::fabs(v));
  for (float& v : s) v = float(v * (kAmplitude / peak));
  return s;
}

// White Gaussian noise for the SNR in a 3 kHz bandwidth, referred to CarrierPower().
inline void AddNoise(std::vector<float>& s, double snr_db, uint64_t seed, int rate = kRate) {
  const double in_band = CarrierPower() / std::pow(10.0, snr_db / 10.0);
  const double sigma = std::sqrt(in_band * (rate / 2.0) / 3000.0);
  CRandom r(seed * 7919 + 13);
  for (float& v : s) v = float(v + sigma * r.Gauss());
}

class CCollecting : public CCwDecoder {
 public:
  void Char(int ch) override { text += char(ch); }
  std::string text;
};

struct DecodeSetup {
  int tone = 1200;
  int wpm_hint = 0;
  int quality = -1;  // -1: the decoder's default
  bool flush = true;
  int block = kBlock;  // blocks fed
};

inline void Feed(CCwDecoder& d, const std::vector<float>& s, int block = kBlock) {
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, block)) return;
  for (size_t i = 0; i < s.size(); i += size_t(block)) {
    b->count = int(std::min(s.size() - i, size_t(block)));
    std::copy(s.begin() + long(i), s.begin() + long(i) + b->count, b->data);
    MeasureAudioBlock(b);
    d.Decode(b);
  }
  FreeAudioBlock(b);
}

inline std::string Decode(const std::vector<float>& s, const DecodeSetup& o = DecodeSetup()) {
  CCollecting d;
  d.SetSpeedHint(o.wpm_hint);
  d.SetFilter(o.tone, kBandwidth);
  if (o.quality >= 0) d.SetQualityThreshold(o.quality);
  if (!d.Init(kRate, kBlock, kTaps, 0)) return "(init failed)";
  Feed(d, s, o.block);
  if (o.flush) d.Flush();
  return d.text;
}

// The character error rate of the CW and PSK31 tests.
using cwpsk::CharErrorRate;

}  // namespace cwsig
