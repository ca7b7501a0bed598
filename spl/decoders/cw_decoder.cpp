#include "spl/decoders/cw_decoder.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "spl/audio/block_steps.h"
#include "spl/decoders/decoder_windows.h"
#include "spl/decoders/morse_code.h"

namespace {

// The sample counts below are those of the station's 11025 Hz; other rates scale them.
constexpr double kReferenceRate = 11025.0;
constexpr int kHysteresisSamples = 100;  // about 9 ms on the other side of the threshold
constexpr int kStartDot = 500;
constexpr int kStartDash = 1500;
constexpr float kEnvelopeCutoff = 20.0f;  // Hz
constexpr float kThresholdFollow = 0.9090909f;  // 1 / 1.1
constexpr float kThresholdDecay = 0.99502486f;  // 1 / 1.005
constexpr float kHalf = 0.5f;
// Gap rules in dots: more than 2 closes a character, more than 5 a word, a silence of more
// than 8 decodes the pending character.
constexpr int kCharGapDots = 2;
constexpr int kWordGapDots = 5;
constexpr int kSilenceDots = 8;
constexpr int kDashDots = 2;  // a mark longer than two dots is a dash
constexpr int kMinRate = 1000, kMaxRate = 384000;
constexpr int kMinOrder = 2, kMaxOrder = 4096;
constexpr int kMinBandwidth = 2;
constexpr int kMinWpm = 5, kMaxWpm = 60;
constexpr double kUnitSecondsAtOneWpm = 1.2;  // "PARIS": 50 units a word
// A mark longer than four units at the slowest speed is no element: it enters the estimates
// only that long, so a steady carrier cannot push them beyond any later keying.
constexpr double kLongestMarkUnits = 4.0;

int Scaled(int samples, int rate) {
  return std::max(1, int(std::lround(samples * (rate / kReferenceRate))));
}

bool ValidFilter(int rate, int tone, int bandwidth) {
  const int half = bandwidth / 2;
  return bandwidth >= kMinBandwidth && tone - half > 0 && 2 * (tone + half) < rate &&
         2 * kEnvelopeCutoff < rate;
}

}  // namespace

CCwDecoder::~CCwDecoder() { Release(); }

void CCwDecoder::Release() {
  FreeAudioBlock(band_);
  FreeAudioBlock(envelope_);
  FreeAudioBlock(staging_);
  band_ = envelope_ = staging_ = nullptr;
}

int CCwDecoder::Init(int sampleRate, int blockSize, int taps, int windowFlags) {
  if (sampleRate < kMinRate || sampleRate > kMaxRate || blockSize < 1 || taps < kMinOrder ||
      taps > kMaxOrder || !ValidFilter(sampleRate, tone_, bandwidth_))
    return 0;
  Release();
  rate_ = sampleRate;
  block_ = blockSize;
  taps_ = taps;
  window_ = windowFlags;
  key_state_ = 0;
  hysteresis_ = 0;
  mark_ = gap_ = 0;
  hysteresis_limit_ = Scaled(kHysteresisSamples, rate_);
  if (speed_hint_ > 0) {
    dot_ = std::max(1, int(std::lround(rate_ * kUnitSecondsAtOneWpm / speed_hint_)));
    dash_ = 3 * dot_;
  } else {
    dash_ = Scaled(kStartDash, rate_);
    dot_ = Scaled(kStartDot, rate_);
  }
  length_limit_ = int(std::lround(kLongestMarkUnits * rate_ * kUnitSecondsAtOneWpm / kMinWpm));
  threshold_ = half_mean_ = 0.0f;
  register_ = 0;  // matches no table entry: the first look-up prints nothing
  if (!NewAudioBlock(&band_, block_) || !NewAudioBlock(&envelope_, block_) ||
      !NewAudioBlock(&staging_, block_))
    return 0;
  if (!band_pass_.Init(rate_, block_, taps_) || !low_pass_.Init(rate_, block_, taps_)) return 0;
  const int half = bandwidth_ / 2;
  const unsigned long window = static_cast<unsigned long>(windowFlags);
  if (!band_pass_.CreateBP(float(tone_ - half), float(tone_ + half), window)) return 0;
  if (!low_pass_.CreateTP(kEnvelopeCutoff, window)) return 0;
  return 1;
}

int CCwDecoder::SetFilter(int tone, int bandwidth) {
  if (!ValidFilter(rate_, tone, bandwidth)) return 0;
  tone_ = tone;
  bandwidth_ = bandwidth;
  return Init(rate_, block_, taps_, window_);
}

int CCwDecoder::SetSpeedHint(int wpm) {
  if (wpm != 0 && (wpm < kMinWpm || wpm > kMaxWpm)) return 0;
  speed_hint_ = wpm;
  return 1;
}

int CCwDecoder::Connect(HWND wnd, int channel) { return windows_.Connect(wnd, channel); }

int CCwDecoder::DisConnect(HWND wnd, int channel) { return windows_.DisConnect(wnd, channel); }

void CCwDecoder::Decode(const AudioBlock* in) {
  if (!in || !band_ || in->count <= 0) return;
  FeedInSteps(in, block_, staging_, [this](const AudioBlock* step) { DecodeStep(step); });
}

void CCwDecoder::DecodeStep(const AudioBlock* in) {
  // The work blocks take the length of this step, so a short block leaves no stale samples.
  band_->count = envelope_->count = in->count;
  band_pass_.Filter(in, band_, 0);
  windows_.Post(band_, kCwBandPassChannel);
  for (int i = 0; i < band_->count; ++i) band_->data[i] = std::fabs(band_->data[i]);
  low_pass_.Filter(band_, envelope_, 1);
  double sum = 0.0;
  for (int i = 0; i < envelope_->count; ++i) sum += envelope_->data[i];
  half_mean_ = kHalf * float(sum / envelope_->count);
  if (half_mean_ > threshold_ * kThresholdFollow)
    threshold_ = half_mean_;
  else
    threshold_ *= kThresholdDecay;
  RunKeying(envelope_);
  windows_.Post(envelope_, kCwEnvelopeChannel);
}

void CCwDecoder::RunKeying(const AudioBlock* envelope) {
  const float threshold = threshold_;
  for (int i = 0; i < envelope->count; ++i) {
    const bool above = envelope->data[i] >= threshold;
    if (key_state_ == 0) {
      if (above) {
        if (mark_ < INT_MAX) ++mark_;
      } else if (++hysteresis_ >= hysteresis_limit_) {
        EndMark();
      }
    } else if (!above) {
      if (gap_ < INT_MAX) ++gap_;
      if (int64_t(gap_) > int64_t(kSilenceDots) * dot_ && register_ != kMorseEmptyRegister) {
        LookUp();
        Char(' ');
        register_ = kMorseEmptyRegister;
      }
    } else if (--hysteresis_ <= 0) {
      key_state_ = 0;
      mark_ = 0;
    }
  }
}

void CCwDecoder::EndMark() {
  const int m = std::min(mark_, length_limit_);
  const int g = gap_;
  // Integer divisions truncating toward zero; the bounded mark keeps the sums in range.
  if (m > kDashDots * dot_) dash_ = (m + 2 * dash_) / 3;
  const int t = (2 * dash_) / 3;
  if (m < t) dot_ = (m + 2 * dot_) / 3;
  if (g < t) dot_ = (g + 2 * dot_) / 3;
  dot_ = std::max(dot_, 1);
  // A silence of more than eight dots has closed the word already: no second space.
  const bool pending = register_ != kMorseEmptyRegister;
  if (pending && int64_t(g) > int64_t(kWordGapDots) * dot_) {
    LookUp();
    Char(' ');
    register_ = kMorseEmptyRegister;
  } else if (pending && int64_t(g) > int64_t(kCharGapDots) * dot_) {
    LookUp();
    register_ = kMorseEmptyRegister;
  }
  register_ = (register_ << 8) | (m > kDashDots * dot_ ? kMorseDash : kMorseDot);
  key_state_ = 1;
  gap_ = 1;
}

void CCwDecoder::LookUp() {
  const char* text = MorseLookup(register_);
  if (!text) return;
  for (const char* p = text; *p; ++p) Char(static_cast<unsigned char>(*p));
}
