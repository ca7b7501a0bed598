#include "spl/decoders/rtty_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "spl/decoders/teleprinter_codes.h"

namespace {
constexpr int kBufferBlocks = 4;       // the analysis buffer holds this many blocks
constexpr int kKeptBlocks = 3;         // and keeps at most this many between blocks
constexpr int kSyncMaxLock = 5;
constexpr int kSitorMaxLock = 16;
constexpr int kRetryFraction = 8;      // a failed frame is retried 1/8 bit later
constexpr int kFirstChannel = kRttyMarkChannel;
constexpr int kChannelCount = 3;
constexpr uint8_t kLineFeed = 10;
constexpr int kNewLine = 13;  // what Char receives for a line feed
}  // namespace

CRttyDecoder::CRttyDecoder() = default;

CRttyDecoder::~CRttyDecoder() { Release(); }

void CRttyDecoder::Release() {
  free(buffer_);
  buffer_ = nullptr;
  for (AudioBlock** b : {&mark_block_, &space_block_, &diff_block_, &demod_block_, &in_block_}) {
    FreeAudioBlock(*b);
    *b = nullptr;
  }
  count_ = 0;
}

int CRttyDecoder::FrameFits() const {
  if (baud_ <= 0 || rate_ <= 0 || rate_ / baud_ < kRttyMinSamplesPerBit) return 0;
  // The longest character (synchronous Baudot with its stop bits) must fit in what is kept.
  const double bits = std::max(double(kBitsPerFrame), kBitsPerFrame - 1.0 + double(stop_bits_));
  return bits * rate_ / baud_ < double(kKeptBlocks) * block_ ? 1 : 0;
}

int CRttyDecoder::SettingsWork() const {
  if (rate_ <= 0 || block_ <= 0 || taps_ < 2 || bandwidth_ < 0) return 0;
  const double nyquist = rate_ / 2.0;
  const int half = bandwidth_ / 2;
  for (int tone : {mark_, space_})
    if (tone - half <= 0 || tone + half >= nyquist) return 0;
  if (lowpass_ <= 0 || lowpass_ >= nyquist) return 0;
  return FrameFits();
}

int CRttyDecoder::Init(int sampleRate, int blockSize, int taps) {
  Release();
  rate_ = sampleRate;
  block_ = blockSize;
  taps_ = taps;
  if (!SettingsWork()) return 0;
  buffer_ = static_cast<float*>(calloc(size_t(kBufferBlocks) * size_t(block_), sizeof(float)));
  if (!buffer_) return 0;
  for (AudioBlock** b : {&mark_block_, &space_block_, &diff_block_, &demod_block_, &in_block_})
    if (!NewAudioBlock(b, block_)) return 0;
  const int half = bandwidth_ / 2;
  if (!mark_filter_.Init(rate_, block_, taps_) ||
      !mark_filter_.CreateBP(float(mark_ - half), float(mark_ + half), window_))
    return 0;
  if (!space_filter_.Init(rate_, block_, taps_) ||
      !space_filter_.CreateBP(float(space_ - half), float(space_ + half), window_))
    return 0;
  if (!lowpass_filter_.Init(rate_, block_, taps_) ||
      !lowpass_filter_.CreateTP(float(lowpass_), window_))
    return 0;
  count_ = 0;
  lock_ = 0;
  shift_ = 1;  // a signal tuned in mid-stream is far more often in letters
  rx_dirty_ = true;
  rx_ready_ = false;
  return 1;
}

int CRttyDecoder::SetFilter(int space, int mark, int bandwidth, int lowpass,
                            unsigned long windowFlags) {
  space_ = space;
  mark_ = mark;
  bandwidth_ = bandwidth;
  lowpass_ = lowpass;
  window_ = windowFlags;
  return Init(rate_, block_, taps_);
}

int CRttyDecoder::Connect(HWND wnd, int channel) {
  const int i = channel - kFirstChannel;
  if (i < 0 || i >= kChannelCount) return 0;
  CWindowList& list = windows_[i];
  if (std::find(list.begin(), list.end(), wnd) != list.end()) return 0;
  list.push_back(wnd);
  return 1;
}

int CRttyDecoder::DisConnect(HWND wnd, int channel) {
  const int i = channel - kFirstChannel;
  if (i < 0 || i >= kChannelCount) return 0;
  CWindowList& list = windows_[i];
  auto it = std::find(list.begin(), list.end(), wnd);
  if (it == list.end()) return 0;
  list.erase(it);
  return 1;
}

void CRttyDecoder::Char(int) {}
void CRttyDecoder::BuZeChanged(int) {}

void CRttyDecoder::Decode(const AudioBlock* in) {
  if (!in || !buffer_ || in->count <= 0) return;
  if (in->count <= block_) {
    DecodePiece(in, in->count);
    return;
  }
  for (int off = 0; off < in->count; off += block_) {
    const int n = std::min(block_, in->count - off);
    memcpy(in_block_->data, in->data + off, size_t(n) * sizeof(float));
    in_block_->count = n;
    DecodePiece(in_block_, n);
  }
  in_block_->count = block_;
}

void CRttyDecoder::DecodePiece(const AudioBlock* src, int n) {
  for (AudioBlock* b : {mark_block_, space_block_, diff_block_, demod_block_}) b->count = n;
  mark_filter_.Filter(src, mark_block_, 1);
  space_filter_.Filter(src, space_block_, 1);
  PostAudioBlock(windows_[kRttyMarkChannel - kFirstChannel], mark_block_, kRttyMarkChannel);
  PostAudioBlock(windows_[kRttySpaceChannel - kFirstChannel], space_block_, kRttySpaceChannel);
  // Envelope difference: positive while the mark tone is the stronger.
  for (int i = 0; i < n; ++i)
    diff_block_->data[i] = std::fabs(mark_block_->data[i]) - std::fabs(space_block_->data[i]);
  lowpass_filter_.Filter(diff_block_, demod_block_, 1);
  if (receiver_ == kRttyReceiverMatched) {
    DecodeMatched(src, n);
  } else if (mode_ >= kRttyAsync && mode_ <= kRttySitorB && FrameFits()) {
    const float sign = invert_ == 0 ? -1.0f : 1.0f;
    float* dst = buffer_ + count_;
    for (int i = 0; i < n; ++i) dst[i] = demod_block_->data[i] * sign;
    count_ += n;
    Frame();
  }
  PostAudioBlock(windows_[kRttyDemodChannel - kFirstChannel], demod_block_, kRttyDemodChannel);
}

void CRttyDecoder::Frame() {
  int p = 0;
  switch (mode_) {
    case kRttyAsync: p = FrameAsync(); break;
    case kRttySync: p = FrameSync(); break;
    default: p = FrameSitor(); break;
  }
  Consume(p);
}

void CRttyDecoder::Consume(int p) {
  p = std::clamp(p, 0, count_);
  const int kept = kKeptBlocks * block_;
  if (count_ - p > kept) p = count_ - kept;
  if (p > 0) memmove(buffer_, buffer_ + p, size_t(count_ - p) * sizeof(float));
  count_ -= p;
}

int CRttyDecoder::Bit(int q, int spb) const {
  double sum = 0.0;
  for (int i = q; i < q + spb; ++i) sum += buffer_[i];
  return sum > 0.0 ? 1 : 0;
}

int CRttyDecoder::Sample(int p, int spb) const {
  int v = 0;
  for (int k = 0; k < kBitsPerFrame; ++k) v = (v << 1) | Bit(p + k * spb, spb);
  return v;
}

int CRttyDecoder::Hunt(int p) const {
  while (p < count_ && buffer_[p] >= 0.0f) ++p;
  return p;
}

int CRttyDecoder::TimingCorrection(int p, int v, int spb) const {
  const int h = spb / 2;
  int n = 0, early = 0, late = 0;
  for (int k = 1; k < kBitsPerFrame; ++k) {
    const int before = (v >> (kBitsPerFrame - k)) & 1;
    const int after = (v >> (kBitsPerFrame - 1 - k)) & 1;
    if (before == after) continue;
    const int b = p + k * spb;
    for (int j = 1; j <= h; ++j) {
      const float s = buffer_[b - j];
      if (after ? s < 0.0f : s > 0.0f) break;
      ++early;
    }
    for (int j = 0; j < h; ++j) {
      const float s = buffer_[b + j];
      if (before ? s < 0.0f : s > 0.0f) break;
      ++late;
    }
    ++n;
  }
  return n == 0 ? 0 : late / n - early / n;
}

int CRttyDecoder::FrameAsync() {
  const int spb = SamplesPerBit();
  const int len = int(kBitsPerFrame * rate_ / baud_);
  int p = 0;
  for (;;) {
    p = Hunt(p);
    if (p + len >= count_) break;
    const int s = p;
    const int v = Sample(s, spb);
    p = s + kBitsPerFrame * spb;
    if (v & 1) {
      DecodeBaudot(v);
      lock_ = 1;
    } else {
      lock_ = 0;
      p = s + spb / kRetryFraction;
    }
  }
  return p;
}

int CRttyDecoder::FrameSync() {
  const int spb = SamplesPerBit();
  // Never shorter than the seven sampled bits, whatever the stop-bit setting.
  const int len = std::max(int((kBitsPerFrame + double(stop_bits_) - 1.0) * rate_ / baud_),
                           kBitsPerFrame * spb);
  int p = 0;
  for (;;) {
    if (lock_ <= 0) {
      p = Hunt(p);
      lock_ = 0;
    }
    if (p + len >= count_) break;
    const int v = Sample(p, spb);
    const bool formed = (v & 1) && !(v & (1 << (kBitsPerFrame - 1)));
    if (!formed && lock_ <= 0) {
      p += spb;
      continue;
    }
    if (formed && DecodeBaudot(v)) {
      p += len + TimingCorrection(p, v, spb);
      if (lock_ < kSyncMaxLock) ++lock_;
      continue;
    }
    --lock_;
    if (lock_ > 0) {
      DecodeBaudot(v);  // printed in spite of the error: the clock is still trusted
      p += len;
    } else {
      p += spb;
    }
  }
  return p;
}

int CRttyDecoder::FrameSitor() {
  const int spb = SamplesPerBit();
  const int len = int(kBitsPerFrame * rate_ / baud_);
  int p = 0;
  while (p + len < count_) {
    const int v = Sample(p, spb);
    if (DecodeSitor(v)) {
      p += len + TimingCorrection(p, v, spb);
      if (lock_ < kSitorMaxLock) ++lock_;
    } else if (--lock_ <= 0) {
      lock_ = 0;
      p += std::max(1, spb / kRetryFraction);
    } else {
      p += len;  // keep the clock and skip the character
    }
  }
  return p;
}

int CRttyDecoder::DecodeBaudot(int v) {
  const int code = (v >> 1) & (kBaudotCodes - 1);
  const int before = shift_;
  if (code == kBaudotFigs) {
    shift_ = 0;
  } else if (code == kBaudotLtrs) {
    shift_ = 1;
  } else {
    const uint8_t ch = shift_ ? kBaudotLetters[code] : kBaudotFigures[code];
    if (ch == kBaudotInvalid) return 0;
    if (ch == kLineFeed)
      Char(kNewLine);
    else if (ch != kNewLine)  // carriage return: the line feed makes the new line
      Char(ch);
  }
  if (shift_ != before) BuZeChanged(shift_);
  return 1;
}

int CRttyDecoder::DecodeSitor(int v) {
  for (int i = 0; i + 1 < kSitorHistory; ++i) history_[i] = history_[i + 1];
  SitorEntry& now = history_[kSitorHistory - 1];
  const SitorEntry& dx_copy = history_[0];  // the same character, five positions earlier
  // The shift in force two positions back, where the RX copy's own shift change shows.
  const int half = history_[3].letters;
  now.code = uint8_t(v);
  now.ch = SitorChar(v, half);
  now.dx = v == kSitorRq ? 0 : v == kSitorAlpha ? 1 : !history_[4].dx;
  const int valid = now.ch != 0;
  if (now.dx) return valid;
  // The DX copy is read in the RX position's shift: it was looked up when the shift change
  // ahead of it had not yet arrived in its RX copy.
  const int code = valid ? now.code : dx_copy.code;
  const uint8_t ch = valid ? now.ch : SitorChar(dx_copy.code, half);
  if (ch == 0) return 0;
  switch (code) {
    case kSitorRq:
    case kSitorBeta:
    case kSitorAlpha:
    case kSitorCr: break;
    case kSitorLf: Char(kNewLine); break;
    case kSitorFigs:
      shift_ = 0;
      now.letters = 0;
      break;
    case kSitorLtrs:
      shift_ = 1;
      now.letters = 1;
      break;
    default: Char(ch); break;
  }
  return valid;
}

int CRttyDecoder::SetUpMatched() {
  rx_dirty_ = false;
  rx_ready_ = false;
  if (!buffer_ || mode_ < kRttyAsync || mode_ > kRttySitorB) return 0;
  // The tone of binary 1: the lower (mark filter) tone unless inverted.
  const double one = invert_ ? mark_ : space_, zero = invert_ ? space_ : mark_;
  const int framing = mode_ == kRttySitorB ? kFskFrameSitor : kFskFrameBaudot;
  if (!rx_.Init(rate_, baud_, one, zero, framing)) return 0;
  if (auto_tune_ &&
      !tuner_.Init(rate_, baud_, std::abs(space_ - mark_), std::min(mark_, space_), tune_range_))
    return 0;
  rx_ready_ = true;
  return 1;
}

void CRttyDecoder::DecodeMatched(const AudioBlock* src, int n) {
  if (rx_dirty_) SetUpMatched();
  if (!rx_ready_) return;
  if (auto_tune_ && tuner_.Process(src->data, n)) {
    const double low = tuner_.Low(), high = low + std::abs(space_ - mark_);
    // Binary 1 stays with the same end of the pair.
    const bool one_low = (invert_ != 0) == (mark_ < space_);
    rx_.SetTones(one_low ? low : high, one_low ? high : low);
  }
  rx_.Process(src->data, n);
  for (const FskCode& c : rx_.Codes()) {
    if (quality_threshold_ > 0 && c.quality < quality_threshold_) {
      Squelched();
      continue;
    }
    lock_ = 1;
    if (mode_ == kRttySitorB)
      SitorCode(c.code);
    else
      DecodeBaudot((c.code << 1) | 1);  // the framing's layout: start, five bits, stop
  }
  rx_.Codes().clear();
}

// While the squelch holds, nothing prints and the shift returns to letters for the next signal.
void CRttyDecoder::Squelched() {
  lock_ = 0;
  if (shift_ == 1) return;
  shift_ = 1;
  BuZeChanged(shift_);
}

void CRttyDecoder::SitorCode(int code) {
  const int before = shift_;
  switch (code) {
    case kSitorRq:
    case kSitorBeta:
    case kSitorAlpha:
    case kSitorCr: break;
    case kSitorLf: Char(kNewLine); break;
    case kSitorFigs: shift_ = 0; break;
    case kSitorLtrs: shift_ = 1; break;
    default: {
      const uint8_t ch = SitorChar(code, shift_);
      if (ch != 0) Char(ch);
      break;
    }
  }
  if (shift_ != before) BuZeChanged(shift_);
}

int CRttyDecoder::GetQuality() const {
  return receiver_ == kRttyReceiverMatched && rx_ready_ ? rx_.Quality() : 0;
}

int CRttyDecoder::GetTunedMark() const {
  if (receiver_ != kRttyReceiverMatched || !rx_ready_) return mark_;
  return int(std::lround(std::min(rx_.One(), rx_.Zero())));
}

int CRttyDecoder::GetTunedSpace() const {
  if (receiver_ != kRttyReceiverMatched || !rx_ready_) return space_;
  return int(std::lround(std::max(rx_.One(), rx_.Zero())));
}
