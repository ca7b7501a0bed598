// Signals for the CW and PSK31 tests and the error-rate bench: an independent Morse keyer with
// hand-keying jitter and Farnsworth spacing, transmitter renderers, decoders that collect their
// characters, and the character error rate of a decoded text against what was sent.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "spl/audio/audio_block.h"
#include "spl/decoders/cw_decoder.h"
#include "spl/decoders/psk31_decoder.h"
#include "spl/decoders/psk31_keying_state.h"
#include "spl/decoders/psk31_transmitter.h"
#include "spl/decoders/qpsk31_modulator.h"
#include "spl/decoders/viterbi_coder_qpsk.h"
#include "tests/common/signal_test_util.h"

namespace cwpsk {

constexpr int kRate = 11025;
constexpr int kBlock = 1024;
constexpr double kAmplitude = 16000.0;

// The Morse code written out once more, independently of the library's table.
inline const char* TestMorse(char c) {
  static const char* const letters[26] = {
      ".-",   "-...", "-.-.", "-..",  ".",   "..-.", "--.",  "....", "..",
      ".---", "-.-",  ".-..", "--",   "-.",  "---",  ".--.", "--.-", ".-.",
      "...",  "-",    "..-",  "...-", ".--", "-..-", "-.--", "--.."};
  static const char* const digits[10] = {"-----", ".----", "..---", "...--", "....-",
                                         ".....", "-....", "--...", "---..", "----."};
  if (c >= 'A' && c <= 'Z') return letters[c - 'A'];
  if (c >= '0' && c <= '9') return digits[c - '0'];
  switch (c) {
    case '.': return ".-.-.-";
    case ',': return "--..--";
    case '?': return "..--..";
    case '/': return "-..-.";
    case '=': return "-...-";
    default: return nullptr;
  }
}

struct KeyerOptions {
  double wpm = 20.0;
  double jitter = 0.0;        // each element and gap scaled by 1 + uniform(-jitter, +jitter)
  double char_gap_units = 3.0;  // Farnsworth spacing stretches these two
  double word_gap_units = 7.0;
  double tone = 1200.0;
  double rise_ms = 4.0;        // raised-cosine edges
  uint64_t seed = 1;
};

// Key-down / key-up tone of the text (upper case, digits, a few signs and spaces), with
// lead-in and tail of silence.
inline std::vector<float> KeyMorse(const std::string& text, const KeyerOptions& o,
                                   double lead_s = 0.5, double tail_s = 1.5) {
  const double unit = 1.2 / o.wpm * kRate;
  sigtest::CGaussNoise rnd(o.seed);
  auto jittered = [&](double units) {
    // A uniform value from two Gaussian draws would do less well than this plain one.
    const double u = 0.5 * (1.0 + std::erf(rnd.Next() / std::sqrt(2.0)));  // uniform (0, 1)
    return units * unit * (1.0 + o.jitter * (2.0 * u - 1.0));
  };
  std::vector<std::pair<bool, double>> periods;  // key down?, samples
  periods.push_back({false, lead_s * kRate});
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ') continue;
    const char* code = TestMorse(c);
    if (!code) continue;
    for (const char* p = code; *p; ++p) {
      periods.push_back({true, jittered(*p == '-' ? 3.0 : 1.0)});
      if (p[1]) periods.push_back({false, jittered(1.0)});
    }
    const bool word_end = i + 1 < text.size() && text[i + 1] == ' ';
    if (i + 1 < text.size())
      periods.push_back({false, jittered(word_end ? o.word_gap_units : o.char_gap_units)});
  }
  periods.push_back({false, tail_s * kRate});
  double total = 0.0;
  for (auto& p : periods) total += p.second;
  std::vector<float> s(size_t(total) + 1, 0.0f);
  const double rise = o.rise_ms * 1e-3 * kRate;
  double t = 0.0;
  for (auto& p : periods) {
    const size_t a = size_t(t), b = std::min(s.size(), size_t(t + p.second));
    if (p.first)
      for (size_t k = a; k < b; ++k) {
        const double x = double(k) - t, y = t + p.second - double(k);
        double env = 1.0;
        if (x < rise) env = 0.5 - 0.5 * std::cos(M_PI * x / rise);
        if (y < rise) env = std::min(env, 0.5 - 0.5 * std::cos(M_PI * y / rise));
        s[k] = float(kAmplitude * env * std::sin(2.0 * M_PI * o.tone * double(k) / kRate));
      }
    t += p.second;
  }
  return s;
}

// Mean square of the key-down (or steady) carrier: the reference of the SNR.
inline double CarrierPower() { return kAmplitude * kAmplitude / 2.0; }

class CCollectingCw : public CCwDecoder {
 public:
  void Char(int ch) override { text += char(ch); }
  std::string text;
};

class CCollectingPsk : public CPSK31Decoder {
 public:
  void Char(int ch) override { text += char(ch); }
  std::string text;
};

// Feeds the samples in blocks of kBlock (the last one padded with silence).
template <class Decoder>
void Feed(Decoder& d, const std::vector<float>& s, int block = kBlock) {
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, block)) return;
  for (size_t i = 0; i < s.size(); i += size_t(block)) {
    const size_t n = std::min(s.size() - i, size_t(block));
    std::fill(b->data, b->data + block, 0.0f);
    std::copy(s.begin() + long(i), s.begin() + long(i + n), b->data);
    MeasureAudioBlock(b);
    d.Decode(b);
  }
  FreeAudioBlock(b);
}

inline std::string DecodePsk(const std::vector<float>& s, bool bpsk, int carrier = 1000,
                             bool reverse = false) {
  CCollectingPsk d;
  d.Init(carrier, kRate, kBlock, 128);
  d.SetBPSKModeActive(bpsk ? 1 : 0);
  d.SetReverseMode(reverse ? 1 : 0);
  Feed(d, s);
  return d.text;
}

// BPSK31 of the text between lead_s seconds of idle and tail_s of idle.
inline std::vector<float> RenderBpsk(const std::string& text, int carrier, double lead_s = 1.0,
                                     double tail_s = 1.0) {
  CPSK31Transmitter tx;
  std::vector<float> s;
  if (!tx.Init(carrier, kRate, kBlock)) return s;
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, kBlock)) return s;
  auto render = [&]() {
    tx.CreateAudio(b);
    s.insert(s.end(), b->data, b->data + b->count);
  };
  while (s.size() < size_t(lead_s * kRate)) render();
  for (unsigned char c : text) tx.Transmit(c);
  while (tx.GetBitCount() > 0) render();
  const size_t end = s.size() + size_t(tail_s * kRate);
  while (s.size() < end) render();
  FreeAudioBlock(b);
  for (float& v : s) v = float(v * (kAmplitude / 32767.0));
  return s;
}

inline std::vector<float> RenderQpsk(const std::string& text, int carrier, double lead_s = 1.0,
                                     double tail_s = 1.5, bool reverse = false) {
  CViterbiCoderQPSK coder;
  coder.SetReverseMode(reverse ? 1 : 0);
  CQpsk31Modulator mod;
  std::vector<float> s;
  if (!mod.Init(carrier, kRate)) return s;
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, kBlock)) return s;
  auto render = [&]() {
    mod.CreateAudio(b, coder);
    s.insert(s.end(), b->data, b->data + b->count);
  };
  while (s.size() < size_t(lead_s * kRate)) render();
  size_t next = 0;
  while (next < text.size() || coder.GetTextLength() > 0) {
    while (next < text.size() && coder.GetTextLength() < kQpskTextBuffer - 2) {
      const char one[2] = {text[next++], 0};
      coder.AppendText(one);
    }
    render();
  }
  const size_t end = s.size() + size_t(tail_s * kRate);
  while (s.size() < end) render();
  FreeAudioBlock(b);
  for (float& v : s) v = float(v * (kAmplitude / 32767.0));
  return s;
}

// Levenshtein distance of sent against the best-matching stretch of the decoded text (the
// decoder may print a few characters of lead-in noise before and after), over sent's length.
inline double CharErrorRate(const std::string& sent, const std::string& decoded) {
  const size_t n = sent.size(), m = decoded.size();
  if (n == 0) return 0.0;
  std::vector<size_t> prev(m + 1, 0), cur(m + 1);  // free start anywhere in decoded
  for (size_t i = 1; i <= n; ++i) {
    cur[0] = i;
    for (size_t j = 1; j <= m; ++j) {
      const size_t sub = prev[j - 1] + (sent[i - 1] == decoded[j - 1] ? 0 : 1);
      cur[j] = std::min({sub, prev[j] + 1, cur[j - 1] + 1});
    }
    std::swap(prev, cur);
  }
  return double(*std::min_element(prev.begin(), prev.end())) / double(n);  // free end
}

}  // namespace cwpsk
