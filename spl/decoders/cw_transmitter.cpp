#include "spl/decoders/cw_transmitter.h"

#include <algorithm>
#include <cmath>

#include "spl/decoders/morse_code.h"

namespace {
constexpr double kReferenceRate = 11025.0;
constexpr int kShapingOrder = 64;           // at 11025 Hz, in proportion at other rates
constexpr float kShapingHalfWidth = 50.0f;  // Hz either side of the tone
constexpr float kAmplitude = 32767.0f;
constexpr float kUnitsPerSecondAtOneWpm = 0.8333333f;  // 50 units a word
constexpr int kMinRate = 1000, kMaxRate = 384000;
constexpr int kMinWpm = 1, kMaxWpm = 200;
// Units: a dot is one on, a dash three; one off follows each element, two more close the
// character, a space adds four (seven after a character) and every further space seven.
constexpr int kDashUnits = 3;
constexpr int kCharacterGapUnits = 2;
constexpr int kWordGapUnits = 4;
constexpr int kRepeatedSpaceUnits = 3;
}  // namespace

CCwTransmitter::~CCwTransmitter() { Release(); }

void CCwTransmitter::Release() {
  FreeAudioBlock(work_);
  work_ = nullptr;
  ready_ = false;
}

int CCwTransmitter::Init(int sampleRate, int blockSize) {
  if (sampleRate < kMinRate || sampleRate > kMaxRate || blockSize < 1 ||
      tone_ - kShapingHalfWidth <= 0.0f || 2.0f * (tone_ + kShapingHalfWidth) >= float(sampleRate))
    return 0;
  queue_.clear();
  Release();
  rate_ = sampleRate;
  block_ = blockSize;
  if (!tone_gen_.Init(rate_, block_)) return 0;
  tone_gen_.SetZSync(0);
  tone_gen_.SetFreq(float(tone_));
  tone_gen_.SetAmpl(kAmplitude);
  tone_gen_.SetZSync(1);
  const int order = std::max(2, int(std::lround(kShapingOrder * (rate_ / kReferenceRate))));
  if (!shaping_.Init(rate_, block_, order) ||
      !shaping_.CreateBP(tone_ - kShapingHalfWidth, tone_ + kShapingHalfWidth, 0))
    return 0;
  if (!NewAudioBlock(&work_, block_)) return 0;
  unit_clock_ = 0.0f;
  key_state_ = 0;
  last_char_ = 0;
  samples_per_unit_ = float(rate_) / (float(speed_) * kUnitsPerSecondAtOneWpm);
  ready_ = true;
  return 1;
}

int CCwTransmitter::SetMode(int tone, int wpm) {
  if (wpm < kMinWpm || wpm > kMaxWpm || tone - kShapingHalfWidth <= 0.0f ||
      2.0f * (tone + kShapingHalfWidth) >= float(rate_))
    return 0;
  tone_ = tone;
  speed_ = wpm;
  return Init(rate_, block_);
}

void CCwTransmitter::Queue(int key, int units) {
  for (int i = 0; i < units; ++i) queue_.push_back(static_cast<unsigned char>(key));
}

int CCwTransmitter::Transmit(int ch) {
  if (ch == ' ') {
    if (last_char_ == ' ') Queue(0, kRepeatedSpaceUnits);
    Queue(0, kWordGapUnits);
    last_char_ = ch;
    return 1;
  }
  const char* elements = MorseElementsOf(ch);
  if (!elements) return 0;
  for (const char* p = elements; *p; ++p) {
    Queue(1, *p == '-' ? kDashUnits : 1);
    Queue(0, 1);
  }
  Queue(0, kCharacterGapUnits);
  last_char_ = ch;
  return 1;
}

unsigned long CCwTransmitter::CreateAudio(AudioBlock* out) {
  if (!ready_ || !out || out->count > block_) return 0;
  work_->count = out->count;
  for (int i = 0; i < out->count; ++i) {
    if (key_state_)
      tone_gen_.Generate(work_, i);
    else
      work_->data[i] = 0.0f;
    unit_clock_ += 1.0f;
    if (unit_clock_ >= samples_per_unit_) {
      unit_clock_ -= samples_per_unit_;
      key_state_ = 0;
      if (!queue_.empty()) {
        key_state_ = queue_.front();
        queue_.pop_front();
      }
    }
  }
  shaping_.Filter(work_, out, 0);
  return block_counter_++;
}
