// Helpers of the RTTY signal tests and benchmarks: text rendered by CRttyTransmitter, decoded
// by a CRttyDecoder set up as the station sets it up, and the character error rate between them.
#pragma once
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "spl/decoders/rtty_config.h"
#include "spl/decoders/rtty_decoder.h"
#include "spl/decoders/rtty_transmitter.h"

namespace rttysig {

constexpr double kKeyUpSeconds = 0.02;

struct Link {
  int rate = 11025;
  int mode = kRttyAsync;
  float tx_baud = 50.0f;  // the transmitter's rate (45.45 for "45 Bd")
  double rx_baud = 50;    // what the decoder is told
  int mark = 1275;        // tone of binary 1
  int space = 1700;
  bool invert = false;    // the decoder's polarity switch on top of the tone order
  int receiver = kRttyReceiverMatched;
  int auto_tune = 0;
  int tune_range = kRttyDefaultTuneRangeHz;
  int quality = kRttyDefaultQuality;  // the matched receiver's squelch
};

// The transmitter's audio for text (preamble first), followed by tail_s seconds of idle, scaled
// to level x full scale. Empty when the transmitter refuses the settings or a character.
inline std::vector<float> Render(const Link& l, const std::string& text, double tail_s = 1.0,
                                 float level = 0.1f) {
  std::vector<float> out;
  CRttyTransmitter tx;
  const int block = RttyBlockSize(l.rate);
  tx.SetMode(l.mode);
  tx.SetBaud(l.tx_baud);
  tx.SetFreq(l.mark, l.space);
  if (!tx.Init(l.rate, block)) return out;
  for (char c : text) {
    if (c == '\n') {
      if (!tx.Transmit('\r') || !tx.Transmit('\n')) return {};
    } else if (!tx.Transmit(static_cast<unsigned char>(c))) {
      return {};
    }
  }
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, block)) return out;
  // SITOR-B's RX copies follow two characters behind the DX queue.
  const double lag_s = l.mode == kRttySitorB ? 6.0 * 7.0 / l.tx_baud : 0.0;
  const size_t tail = size_t((tail_s + lag_s) * l.rate);
  // Idle lines refill their queue with one character at a time (sync, SITOR-B).
  constexpr int kIdleElements = 16;
  size_t after = 0;
  bool idle = false;
  while (after < tail) {
    idle = idle || tx.GetBitCount() <= kIdleElements;
    tx.CreateAudio(b);
    for (int i = 0; i < b->count; ++i) out.push_back(b->data[i] * level);
    if (idle) after += size_t(b->count);
  }
  FreeAudioBlock(b);
  // A transmitter keys up over a few milliseconds; a hard start would ring in both filters.
  const size_t ramp = std::min(out.size(), size_t(kKeyUpSeconds * l.rate));
  for (size_t i = 0; i < ramp; ++i)
    out[i] *= float(0.5 - 0.5 * std::cos(M_PI * double(i) / double(ramp)));
  return out;
}

// Collects the decoder's characters as text (13 becomes a line break).
class CCollector : public CRttyDecoder {
 public:
  void Char(int ch) override { text += ch == 13 ? '\n' : char(ch); }
  void BuZeChanged(int letters) override { shifts.push_back(letters); }
  std::string text;
  std::vector<int> shifts;
};

inline int Configure(CRttyDecoder& d, const Link& l) {
  const int inverted = (l.mark > l.space) != l.invert ? 1 : 0;
  d.SetAutoTune(l.auto_tune);
  d.SetTuneRange(l.tune_range);
  d.SetQualityThreshold(l.quality);
  return ConfigureRttyDecoder(d, l.rate, RttyBlockSize(l.rate), RttyTaps(l.rate), l.mark,
                              l.space, l.mode, l.rx_baud, inverted, l.receiver);
}

// Feeds the samples in blocks of `block` (the decoder's block size when 0).
inline void Feed(CRttyDecoder& d, const std::vector<float>& s, int block = 0) {
  if (block <= 0) block = d.GetBlockSize();
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, block)) return;
  for (size_t at = 0; at < s.size(); at += size_t(block)) {
    const int n = int(std::min(s.size() - at, size_t(block)));
    std::copy(s.begin() + long(at), s.begin() + long(at) + n, b->data);
    b->count = n;
    MeasureAudioBlock(b);
    d.Decode(b);
  }
  FreeAudioBlock(b);
}

inline std::string DecodeText(const Link& l, const std::vector<float>& s, int block = 0) {
  CCollector d;
  if (!Configure(d, l)) return "<refused>";
  Feed(d, s, block);
  return d.text;
}

// Edit distance (insertions, deletions, substitutions) between what was sent and received.
inline int EditDistance(const std::string& a, const std::string& b) {
  std::vector<int> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = int(j);
  for (size_t i = 1; i <= a.size(); ++i) {
    int diag = row[0];
    row[0] = int(i);
    for (size_t j = 1; j <= b.size(); ++j) {
      const int up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diag = up;
    }
  }
  return row[b.size()];
}

inline double CharErrorRate(const std::string& sent, const std::string& got) {
  return sent.empty() ? 0.0 : double(EditDistance(sent, got)) / double(sent.size());
}

}  // namespace rttysig
