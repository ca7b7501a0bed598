#include "spl/decoders/rtty_transmitter.h"

#include "spl/decoders/rtty_decoder.h"
#include "spl/decoders/teleprinter_codes.h"

namespace {
constexpr float kAmplitude = 32767.0f;
constexpr int kPreambleLtrs = 3;      // Baudot: three LTRS before any text
constexpr int kPreamblePairs = 4;     // SITOR-B: RQ/alpha pairs
constexpr int kRxLag = 2;             // SITOR-B: RX copies run two characters behind
constexpr int kSitorBits = 7;
constexpr int kBaudotBits = 5;
constexpr int kSitorCycle = 2 * kSitorBits;  // a DX and an RX character
constexpr int kControlLtrs = 1, kControlFigs = 2;
constexpr unsigned char kMark = 0, kSpace = 1;

bool IsLetter(int ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); }
}  // namespace

int CRttyTransmitter::Init(int sampleRate, int blockSize) {
  ready_ = false;
  dx_.clear();
  rx_.clear();
  rate_ = sampleRate;
  block_ = blockSize;
  if (rate_ <= 0 || block_ <= 0 || !(baud_ > 0.0f) || rate_ / baud_ < kRttyMinSamplesPerBit)
    return 0;
  for (int tone : {mark_, space_})
    if (tone <= 0 || tone >= rate_ / 2.0) return 0;
  if (!tone_.Init(rate_, block_)) return 0;
  clock_ = 0.0f;
  sitor_pos_ = 0;
  period_ = 1.0f / float(rate_);
  tone_.SetZSync(0);
  tone_.SetFreq(float(mark_));
  tone_.SetAmpl(kAmplitude);
  tone_.SetZSync(1);
  ready_ = true;
  if (mode_ < 0) return 1;
  if (mode_ == kRttySitorB) {
    element_ = 1.0f / baud_;
    // Phasing: alpha in the DX positions and RQ in the RX positions, which is how the decoder
    // tells the two apart; the RX queue starts two characters longer, so that each RX copy
    // follows its DX copy five positions later.
    for (int i = 0; i < kPreamblePairs; ++i) {
      QueueSitor(dx_, kSitorAlpha);
      QueueSitor(rx_, kSitorRq);
    }
    for (int i = 0; i < kRxLag; ++i) QueueSitor(rx_, kSitorRq);
    // The phasing leaves the receiver's shift undefined: the first character sends its own.
    shift_ = -1;
  } else {
    element_ = 0.5f / baud_;
    for (int i = 0; i < kPreambleLtrs; ++i) QueueBaudot(kBaudotLtrs);
    shift_ = 1;
  }
  return 1;
}

int CRttyTransmitter::SetMode(int mode) {
  mode_ = mode;
  return Init(rate_, block_);
}

int CRttyTransmitter::SetBaud(float baud) {
  baud_ = baud;
  return Init(rate_, block_);
}

int CRttyTransmitter::SetFreq(int mark, int space) {
  mark_ = mark;
  space_ = space;
  return Init(rate_, block_);
}

int CRttyTransmitter::SetStopBits(float stopBits) {
  stop_bits_ = stopBits;
  return Init(rate_, block_);
}

void CRttyTransmitter::QueueBaudot(int code) {
  dx_.push_back(kSpace);  // start bit, two half-bit elements
  dx_.push_back(kSpace);
  for (int bit = kBaudotBits - 1; bit >= 0; --bit) {
    const unsigned char e = (code >> bit) & 1 ? kMark : kSpace;
    dx_.push_back(e);
    dx_.push_back(e);
  }
  const int stop = int(2.0f * stop_bits_);
  for (int i = 0; i < stop; ++i) dx_.push_back(kMark);
}

void CRttyTransmitter::QueueSitor(std::deque<unsigned char>& queue, int code) {
  for (int bit = kSitorBits - 1; bit >= 0; --bit) queue.push_back((code >> bit) & 1 ? kMark : kSpace);
}

int CRttyTransmitter::Transmit(int ch) {
  if (!ready_ || mode_ < 0 || ch < 0 || ch > 127) return 0;
  // An explicit shift character puts the line into its own shift, and nothing else is sent.
  const int explicit_shift = ch == kControlLtrs ? 1 : ch == kControlFigs ? 0 : -1;
  if (mode_ == kRttySitorB) {
    const SitorSend s = SitorSendCode(ch);
    if (s.code < 0) return 0;
    if (explicit_shift >= 0) {
      shift_ = explicit_shift;
    } else if (s.letters != shift_) {
      shift_ = s.letters;
      const int code = shift_ ? kSitorLtrs : kSitorFigs;
      QueueSitor(dx_, code);
      QueueSitor(rx_, code);
    }
    QueueSitor(dx_, s.code);
    QueueSitor(rx_, s.code);
    return 1;
  }
  const int code = BaudotSendCode(ch);
  if (code < 0) return 0;
  const int letter = IsLetter(ch) ? 1 : 0;
  if (explicit_shift >= 0) {
    shift_ = explicit_shift;
  } else if (letter != shift_) {
    shift_ = letter;
    QueueBaudot(shift_ ? kBaudotLtrs : kBaudotFigs);
  }
  QueueBaudot(code);
  return 1;
}

int CRttyTransmitter::NextElement() {
  switch (mode_) {
    case kRttyAsync: {
      if (dx_.empty()) return kMark;
      break;
    }
    case kRttySync: {
      if (dx_.empty()) QueueBaudot(shift_ == 0 ? kBaudotFigs : kBaudotLtrs);
      break;
    }
    case kRttySitorB: {
      const int pos = sitor_pos_;
      sitor_pos_ = (sitor_pos_ + 1) % kSitorCycle;
      if (pos >= kSitorBits) {
        if (rx_.empty()) return kMark;
        const int e = rx_.front();
        rx_.pop_front();
        return e;
      }
      if (dx_.empty()) {
        QueueSitor(dx_, kSitorAlpha);
        QueueSitor(rx_, kSitorBeta);
      }
      break;
    }
    default: return kMark;
  }
  const int e = dx_.front();
  dx_.pop_front();
  return e;
}

unsigned long CRttyTransmitter::CreateAudio(AudioBlock* out) {
  if (!ready_ || !out) return 0;
  for (int i = 0; i < out->count; ++i) {
    tone_.Generate(out, i);
    clock_ += period_;
    if (clock_ >= element_) {
      clock_ -= element_;
      tone_.SetFreq(float(NextElement() == kSpace ? space_ : mark_));
    }
  }
  return counter_++;
}
