#include "spl/decoders/cw_decoder.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "spl/audio/block_steps.h"
#include "spl/decoders/cw_segment.h"
#include "spl/decoders/decoder_windows.h"
#include "spl/decoders/morse_code.h"

namespace {

constexpr int kMinRate = 1000, kMaxRate = 384000;
constexpr int kMinOrder = 2, kMaxOrder = 4096;
constexpr int kMinBandwidth = 2;
constexpr int kMinWpm = 5, kMaxWpm = 60;
constexpr int kStartWpm = 25;  // without a hint: the middle of the usual speeds
constexpr double kUnitSecondsAtOneWpm = 1.2;  // "PARIS": 50 units a word
constexpr double kTicksPerSecond = 1000.0;    // the envelope is followed about every millisecond
constexpr double kTwoPi = 6.283185307179586;
// The tone is followed inside the band-pass: each mark that stands this far above the noise
// for at least a boxcar moves the mixer by this share of the offset measured over it.
constexpr double kTrackAboveDb = 10.0;
constexpr double kTrackShare = 0.5;

// Detector: the complex average over this many units; one unit would be the matched filter of
// a dot, less keeps the dips between shortened hand-keyed elements deep enough.
constexpr double kBoxcarUnits = 0.6;
constexpr int kMinBoxcar = 2;
// Levels: the peak rises within half a unit, sinks within two units of key-down (one for a
// strong signal: fading) and toward the floor within 1.5 s of key-up (long gaps keep the
// threshold); the floor follows settled key-up within two units when it rises, within half a
// unit when it falls or jumps.
constexpr double kPeakRiseUnits = 0.5;
constexpr double kPeakFallUnits = 2.0;
constexpr double kPeakFallStrongUnits = 1.0;  // with the peak kFadingRatio above the floor
constexpr double kPeakGapSeconds = 1.5;
constexpr double kFloorUnits = 2.0;
constexpr double kFloorFallUnits = 0.5;
constexpr double kFloorJump = 4.0;
constexpr double kFloorStaleSeconds = 2.0;  // then it follows the envelope whatever the state
// Decision: threshold halfway between floor and peak, a tenth of the span either side.
constexpr double kThresholdSpan = 0.5;
constexpr double kHysteresisSpan = 0.1;
// With the peak this far above the floor the signal is strong: key-up envelope above
// kFadedSpan of the way up is a mark sunk below the threshold in a fade, and the peak follows
// it down.
constexpr double kFadingRatio = 14.0;  // 23 dB
constexpr double kFadedSpan = 0.2;
// A change of state needs this share of a unit on the other side of the threshold.
constexpr double kDebounceUnits = 0.3;
constexpr int kMinDebounce = 2;
constexpr double kDashUnits = 2.0;         // a mark longer than two units is a dash
constexpr double kLongestMarkUnits = 7.0;  // longer marks are no element (a carrier, a tune-up)
// Characters are decided a word at a time (letter gaps too: noise in one joins two characters
// for the threshold, a sunk element splits one), a word this long (units) at most; the ticks
// kept reach for it and one more character. Each word is looked at again over its whole length,
// along the tone's phase, in bins of this share of a unit (the phase taken from this many units
// either side): its elements are the runs of key-down and key-up that best explain the levels
// (cw_segment.h). The first time each gap costs this much (key-down level times units) so noise
// alone does not split an element; the second time, with the key-down level measured under the
// runs found (one bin in from their ends, the key edges) and the noise from the key-up bins
// (when there are this many), by their likelihood. The detector dates a change of state this
// share of the boxcar late.
constexpr double kLongestSpanUnits = 30.0;
constexpr double kKeptUnits = 90.0;
constexpr double kSegmentBinUnits = 0.125;
constexpr double kPhaseReachUnits = 1.5;
constexpr double kSegmentGapCost = 0.1;
constexpr int kLevelPasses = 2;
constexpr int kLevelEdgeBins = 1;
constexpr int kMinNoiseBins = 8;
constexpr double kDetectorDelay = 0.5;
// A bin's key-down level comes at first from the upper half of the bins this close (seconds),
// then from the key-down bins this close (units) when there are at least this many, else from
// the whole word.
constexpr double kFadeReachSeconds = 0.3;
constexpr double kLevelReachUnits = 3.0;
constexpr int kMinLevelBins = 4;
// The longest key-up run inside a word: a letter gap of stretched spacing, or a word gap that a
// noise blip broke for the threshold (times the word gap). Such a run is a word gap when it is
// this much longer than the learnt boundary (a sunk dot beside a letter gap is not).
constexpr double kLongestGapUnits = 5.0;
constexpr double kLongestGapWords = 2.0;
constexpr double kInnerWordGap = 1.3;
constexpr uint64_t kSpaceRegister = 0;  // a word gap found inside a word
// The runs found are a little shorter than keyed (their key edges are soft): a dash from here.
constexpr double kSegmentDashUnits = 1.85;
constexpr double kSegmentBelowDb = 24.0;  // words stronger are left to the threshold
// Characters of up to this many elements pass the squelch on their level along the tone when
// it is higher than the detector's: a dot hardly fills the detector, which measures it low.
constexpr int kToneLevelElements = 3;

// Quality: decibels of a mark's level above the noise floor, three points a decibel.
constexpr double kQualityPerDb = 3.0;
constexpr int kMaxQuality = 100;
constexpr double kQualitySmoothing = 0.25;  // share of each new mark in the reported quality
// Marks this far above the floor stand out of the noise: they teach the timing. Noise alone
// makes marks of about 10 dB, seldom more than 14.
constexpr double kStrongMarkDb = 13.0;
constexpr double kTeachBelowDb = 6.0;  // ... unless far below the recent marks
// Below this recent level the marks are taken for noise and held back.
constexpr double kAbsentDb = 12.0;
// Marks are held back until this many of the latest kConfirmWindow are strong, so the first
// characters of a transmission are read with the sender's own timing; a key-up of
// kReleaseGapSeconds (longer than any word gap) releases them too. Marks kPruneBelowDb below
// the released ones' median are noise in front of the transmission.
constexpr int kConfidentMarks = 6;
constexpr int kConfirmWindow = 8;
constexpr double kPruneBelowDb = 6.0;
constexpr double kPruneFarBelowDb = 12.0;  // ... and never further than this below it
// At least this many strong marks, and three quarters of all, make a released transmission.
constexpr int kMinReleasedStrong = 2;
constexpr int kStrongShareNum = 3, kStrongShareDen = 4;
constexpr double kReleaseGapSeconds = 2.0;
// Above this the floor is mostly rounding (digital silence): marks count as this far above it.
constexpr double kMaxMarkDb = 40.0;
// After this much key-up the next transmission may come at another speed.
constexpr double kIdleSeconds = 3.0;
constexpr size_t kMaxHeld = 512;
constexpr float kFloorGuard = 1e-12f;

bool ValidFilter(int rate, int tone, int bandwidth) {
  const int half = bandwidth / 2;
  return bandwidth >= kMinBandwidth && tone - half > 0 && 2 * (tone + half) < rate;
}

// levels: sorted, not empty.
double UpperHalfMean(const std::vector<float>& levels) {
  double sum = 0.0;
  for (size_t k = levels.size() / 2; k < levels.size(); ++k) sum += levels[k];
  return sum / double(levels.size() - levels.size() / 2);
}

double UnitTicks(double wpm, double tick_rate) { return kUnitSecondsAtOneWpm / wpm * tick_rate; }

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
  tick_samples_ = std::max(1, int(std::lround(rate_ / kTicksPerSecond)));
  tick_rate_ = double(rate_) / tick_samples_;
  const double max_unit = UnitTicks(kMinWpm, tick_rate_);
  timing_.Reset(UnitTicks(kMaxWpm, tick_rate_), max_unit,
                UnitTicks(speed_hint_ > 0 ? speed_hint_ : kStartWpm, tick_rate_));
  const size_t ring = size_t(std::ceil(kBoxcarUnits * max_unit)) + 2;
  ring_i_.assign(ring, 0.0);
  ring_q_.assign(ring, 0.0);
  ring_pos_ = 0;
  // The longest word and one more character, the debounce after it and the detector's delay.
  raw_.assign(size_t(std::ceil(kKeptUnits * max_unit)) + ring, 0.0f);
  raw_pos_ = 0;
  tick_count_ = 0;
  boxcar_ = 0;
  sum_i_ = sum_q_ = 0.0;
  SetBoxcar();
  phase_ = 0.0;
  phase_step_ = kTwoPi * tone_ / rate_;
  prev_i_ = prev_q_ = 0.0;
  turn_sum_ = 0.0;
  turn_ticks_ = 0;
  acc_i_ = acc_q_ = 0.0;
  tick_fill_ = 0;
  envelope_value_ = 0.0f;
  peak_ = floor_ = 0.0;
  ring_e_.assign(ring, 0.0f);
  ring_e_pos_ = 0;
  warm_up_ = 0;
  floor_age_ = 0;
  threshold_ = 0.0f;
  key_state_ = 1;
  run_ = pending_ = 0;
  pending_sum_ = mark_sum_ = 0.0;
  mark_level_db_ = 0.0;
  held_.clear();
  holding_ = true;
  resumed_ = false;
  last_mark_strong_ = false;
  register_ = kMorseEmptyRegister;
  elements_ = 0;
  char_db_sum_ = 0.0;
  span_chars_.clear();
  span_elements_ = 0;
  span_db_sum_ = 0.0;
  word_open_ = false;
  if (!shown_.empty()) {
    shown_.clear();
    Pending("");
  }
  if (!NewAudioBlock(&band_, block_) || !NewAudioBlock(&envelope_, block_) ||
      !NewAudioBlock(&staging_, block_))
    return 0;
  if (!band_pass_.Init(rate_, block_, taps_)) return 0;
  const int half = bandwidth_ / 2;
  const unsigned long window = static_cast<unsigned long>(windowFlags);
  if (!band_pass_.CreateBP(float(tone_ - half), float(tone_ + half), window)) return 0;
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

int CCwDecoder::SetQualityThreshold(int q) {
  if (q < 0 || q > kMaxQuality) return 0;
  quality_threshold_ = q;
  return 1;
}

int CCwDecoder::GetQuality() const {
  return std::clamp(int(std::lround(mark_level_db_ * kQualityPerDb)), 0, kMaxQuality);
}

int CCwDecoder::GetDotEstimate() const {
  return std::max(1, int(std::lround(timing_.Unit() * tick_samples_)));
}

int CCwDecoder::GetDashEstimate() const {
  return std::max(1, int(std::lround(3.0 * timing_.Unit() * tick_samples_)));
}

int CCwDecoder::Connect(HWND wnd, int channel) { return windows_.Connect(wnd, channel); }

int CCwDecoder::DisConnect(HWND wnd, int channel) { return windows_.DisConnect(wnd, channel); }

void CCwDecoder::Decode(const AudioBlock* in) {
  if (!in || !band_ || in->count <= 0) return;
  FeedInSteps(in, block_, staging_, [this](const AudioBlock* step) { DecodeStep(step, true); });
}

void CCwDecoder::DecodeStep(const AudioBlock* in, bool post) {
  // The work blocks take the length of this step, so a short block leaves no stale samples.
  band_->count = envelope_->count = in->count;
  band_pass_.Filter(in, band_, 0);
  if (post) windows_.Post(band_, kCwBandPassChannel);
  for (int k = 0; k < band_->count; ++k) {
    const double x = band_->data[k];
    acc_i_ += x * std::cos(phase_);
    acc_q_ -= x * std::sin(phase_);
    phase_ += phase_step_;
    if (phase_ >= kTwoPi) phase_ -= kTwoPi;
    if (++tick_fill_ >= tick_samples_) {
      Tick(acc_i_ / tick_samples_, acc_q_ / tick_samples_);
      acc_i_ = acc_q_ = 0.0;
      tick_fill_ = 0;
    }
    envelope_->data[k] = envelope_value_;
  }
  MeasureAudioBlock(envelope_);
  if (post) windows_.Post(envelope_, kCwEnvelopeChannel);
}

void CCwDecoder::SetBoxcar() {
  const int size = int(ring_i_.size());
  const int want =
      std::clamp(int(std::lround(kBoxcarUnits * timing_.Unit())), kMinBoxcar, size - 1);
  if (want == boxcar_) return;
  boxcar_ = want;
  RebuildSums();
}

void CCwDecoder::RebuildSums() {
  const int size = int(ring_i_.size());
  sum_i_ = sum_q_ = 0.0;
  for (int k = 1; k <= boxcar_; ++k) {
    const int at = (ring_pos_ - k + size) % size;
    sum_i_ += ring_i_[size_t(at)];
    sum_q_ += ring_q_[size_t(at)];
  }
}

void CCwDecoder::Tick(double i, double q) {
  const int size = int(ring_i_.size());
  const size_t leaving = size_t((ring_pos_ - boxcar_ + size) % size);
  sum_i_ += i - ring_i_[leaving];
  sum_q_ += q - ring_q_[leaving];
  ring_i_[size_t(ring_pos_)] = i;
  ring_q_[size_t(ring_pos_)] = q;
  raw_[size_t(raw_pos_)] = std::complex<float>(float(i), float(q));
  raw_pos_ = (raw_pos_ + 1) % int(raw_.size());
  ++tick_count_;
  if (++ring_pos_ == size) {
    ring_pos_ = 0;
    // The running sums are rebuilt once a round so rounding errors cannot pile up.
    RebuildSums();
  }
  const double e = std::hypot(sum_i_, sum_q_) / boxcar_;
  envelope_value_ = float(e);
  FollowTone(e);

  const double unit = timing_.Unit();
  const bool strong = peak_ > kFadingRatio * floor_;
  if (e > peak_)
    peak_ += (e - peak_) / std::max(1.0, kPeakRiseUnits * unit);
  else if (key_state_ == 0 || (strong && e > floor_ + kFadedSpan * (peak_ - floor_)))
    // Also marks fading below the threshold; a strong signal is followed faster.
    peak_ += (e - peak_) / ((strong ? kPeakFallStrongUnits : kPeakFallUnits) * unit);
  else
    peak_ += (floor_ - peak_) / (kPeakGapSeconds * tick_rate_);
  // The floor learns from key-up only a boxcar away from both ends of the gap: the envelope of
  // the marks either side reaches that far.
  ring_e_[size_t(ring_e_pos_)] = float(e);
  ring_e_pos_ = (ring_e_pos_ + 1) % int(ring_e_.size());
  const double settled = ring_e_[size_t((ring_e_pos_ + int(ring_e_.size()) - 1 - boxcar_) %
                                        int(ring_e_.size()))];
  if (warm_up_ >= 0) {
    // Once the boxcar is full, its first values set floor and peak before any decision.
    if (++warm_up_ > boxcar_) {
      floor_ += (e - floor_) / (warm_up_ - boxcar_);
      peak_ = floor_;
    }
    if (warm_up_ >= 2 * boxcar_) warm_up_ = -1;
    return;
  }
  if (key_state_ == 1 && run_ - pending_ > 2 * boxcar_) {
    // Down fast; up fast only after a jump (noise out of digital silence), else slowly.
    if (settled < floor_ || settled > kFloorJump * floor_)
      floor_ += (settled - floor_) / std::max(1.0, kFloorFallUnits * unit);
    else
      floor_ += (settled - floor_) / (kFloorUnits * unit);
    floor_age_ = 0;
  } else if (++floor_age_ > kFloorStaleSeconds * tick_rate_) {
    // No clean key-up for long (noise rising out of digital silence keeps the key down).
    floor_ += (e - floor_) / (kFloorStaleSeconds * tick_rate_);
  }
  const double span = std::max(0.0, peak_ - floor_);
  threshold_ = float(floor_ + kThresholdSpan * span);

  if (run_ < INT_MAX / 2) ++run_;
  if (key_state_ == 0) mark_sum_ += e;
  const bool across = key_state_ == 0 ? e < threshold_ - kHysteresisSpan * span
                                      : e > threshold_ + kHysteresisSpan * span;
  if (across) {
    ++pending_;
    pending_sum_ += e;
  } else {
    pending_ = 0;
    pending_sum_ = 0.0;
  }
  const int debounce = std::max(kMinDebounce, int(std::lround(kDebounceUnits * unit)));
  if (pending_ >= debounce) {
    // The new state began where the envelope first crossed.
    const int ended = std::max(1, run_ - pending_);
    if (key_state_ == 0) {
      key_state_ = 1;
      RetuneAfterMark();
      EndPeriod(ended, pending_);
    } else {
      key_state_ = 0;
      EndPeriod(ended, pending_);
      mark_sum_ = pending_sum_;
    }
    run_ = pending_;
    pending_ = 0;
    pending_sum_ = 0.0;
  } else if (key_state_ == 1) {
    CheckOpenGap();
  }
}

void CCwDecoder::FollowTone(double e) {
  if (key_state_ == 0 && warm_up_ < 0 && QualityDb(e) > kTrackAboveDb) {
    // The boxcar's phasor turns by the tone's offset from the mixer each tick.
    turn_sum_ += std::atan2(sum_q_ * prev_i_ - sum_i_ * prev_q_, sum_i_ * prev_i_ + sum_q_ * prev_q_);
    ++turn_ticks_;
  }
  prev_i_ = sum_i_;
  prev_q_ = sum_q_;
}

void CCwDecoder::RetuneAfterMark() {
  if (turn_ticks_ >= boxcar_) {
    const double half = kTwoPi * 0.5 * bandwidth_ / rate_;
    const double nominal = kTwoPi * tone_ / rate_;
    const double offset = turn_sum_ / turn_ticks_ / tick_samples_;
    phase_step_ = std::clamp(phase_step_ + kTrackShare * offset, nominal - half, nominal + half);
  }
  turn_sum_ = 0.0;
  turn_ticks_ = 0;
}

double CCwDecoder::GetTrackedTone() const { return phase_step_ * rate_ / kTwoPi; }

double CCwDecoder::QualityDb(double level) const {
  return 20.0 * std::log10(std::max(double(kFloorGuard), level) /
                           std::max(double(kFloorGuard), floor_));
}

void CCwDecoder::EndPeriod(int ticks, int back) {
  // key_state_ is already the new state: a mark ended when it is key up now.
  Event e{key_state_ == 1, ticks, 0.0f, 0, 0};
  if (e.mark) {
    e.quality_db = float(std::min(kMaxMarkDb, QualityDb((mark_sum_ - pending_sum_) / ticks)));
    mark_level_db_ += kQualitySmoothing * (e.quality_db - mark_level_db_);
    // Where the mark lies among the ticks: the detector dates it about half a boxcar late.
    e.last = tick_count_ - 1 - back - int64_t(kDetectorDelay * boxcar_);
    e.first = e.last - ticks + 1;
  }
  if (!holding_) {
    Pass(e);
    // Marks sunk to the noise: what follows waits until a transmission stands out again.
    if (e.mark && mark_level_db_ < kAbsentDb) holding_ = resumed_ = true;
    return;
  }
  if (held_.size() >= kMaxHeld) held_.erase(held_.begin(), held_.begin() + long(kMaxHeld / 2));
  held_.push_back(e);
  if (!e.mark) return;
  // Released when most of the latest marks stand well above the noise.
  int marks = 0, strong = 0;
  for (auto it = held_.rbegin(); it != held_.rend() && marks < kConfirmWindow; ++it)
    if (it->mark) {
      ++marks;
      strong += it->quality_db >= kStrongMarkDb;
    }
  if (strong >= kConfidentMarks) ReleaseHeld();
}

void CCwDecoder::Pass(const Event& e) {
  const double unit = timing_.Unit();
  if (e.mark) {
    // Marks near the level of the transmission teach the timing, noise blips do not.
    last_mark_strong_ = e.quality_db >= mark_level_db_ - kTeachBelowDb &&
                        e.quality_db >= kStrongMarkDb && e.ticks <= kLongestMarkUnits * unit;
    if (last_mark_strong_) {
      timing_.AddMark(e.ticks);
      timing_.Update();
      SetBoxcar();
    }
  } else if (last_mark_strong_) {
    timing_.AddGap(e.ticks);
  }
  Handle(e);
}

bool CCwDecoder::SegmentWord(std::vector<uint64_t>* regs, double* tone_db) {
  const double unit = timing_.Unit();
  const int64_t ticks = word_last_ - word_first_ + 1;
  const int size = int(raw_.size());
  if (ticks < 2 || word_first_ < 0 || tick_count_ - word_first_ >= size) return false;
  span_.resize(size_t(ticks));
  for (int64_t t = 0; t < ticks; ++t) span_[size_t(t)] = raw_[size_t((word_first_ + t) % size)];
  const int bins = std::max(1, int(std::lround(double(ticks) / (kSegmentBinUnits * unit))));
  if (bins > ticks) return false;
  const int reach = std::max(1, int(std::lround(kPhaseReachUnits / kSegmentBinUnits)));
  CwMarkLevels(span_.data(), int(ticks), bins, reach, &levels_);
  const int bins_n = int(levels_.size());
  CwSegmentSetup setup;
  setup.bin_units = double(ticks) / bins / unit;
  setup.longest_gap = std::max(kLongestGapUnits, kLongestGapWords * timing_.WordGap() / unit);
  setup.letter_gap = timing_.LetterGap() / unit;
  setup.dash_units = kSegmentDashUnits;
  setup.lead = setup.trail = true;
  // The key-down level: first the mean of the upper half of the bins, each bin's own from the
  // bins near it in time (fades last longer than characters at any speed), so a character in a
  // fade is measured against itself and its neighbours, not against the rest of its word.
  std::vector<float> sorted = levels_;
  std::sort(sorted.begin(), sorted.end());
  double level = UpperHalfMean(sorted);
  const int fade_reach =
      std::max(1, int(std::lround(kFadeReachSeconds * tick_rate_ / unit / setup.bin_units)));
  local_.resize(levels_.size());
  for (int b = 0; b < bins_n; ++b) {
    sorted.assign(levels_.begin() + std::max(0, b - fade_reach),
                  levels_.begin() + std::min(bins_n - 1, b + fade_reach) + 1);
    std::sort(sorted.begin(), sorted.end());
    const double near = UpperHalfMean(sorted);
    local_[size_t(b)] = float(near > 0.0 ? near : level);
  }
  // Then the key-down level under the runs found with it, and the noise from the key-up bins;
  // with both the runs are chosen again by their likelihood.
  for (int pass = 0; pass < kLevelPasses; ++pass) {
    int lead = 0;
    setup.gap_cost = kSegmentGapCost * level;
    if (level <= 0.0 || !CwSegmentMark(levels_, local_, setup, &runs_, &lead)) return false;
    // Key-down bins, one in from the ends of their runs (the key edges).
    down_.assign(levels_.size(), 0);
    double sum = 0.0;
    int n = 0, at = lead;
    for (size_t k = 0; k < runs_.size(); ++k) {
      const int edge = runs_[k] > 2 * kLevelEdgeBins ? kLevelEdgeBins : 0;
      if (k % 2 == 0)
        for (int b = at + edge; b < at + runs_[k] - edge; ++b) {
          sum += levels_[size_t(b)], ++n;
          down_[size_t(b)] = 1;
        }
      at += runs_[k];
    }
    level = sum / std::max(1, n);
    // Each bin's key-down level from the key-down bins near it: a fade within a character
    // must not turn its weaker elements into gaps.
    const int reach = std::max(1, int(std::lround(kLevelReachUnits / setup.bin_units)));
    for (int b = 0; b < bins_n; ++b) {
      double near = 0.0;
      int count = 0;
      for (int j = std::max(0, b - reach); j <= std::min(bins_n - 1, b + reach); ++j)
        if (down_[size_t(j)]) near += levels_[size_t(j)], ++count;
      local_[size_t(b)] = float(count >= kMinLevelBins && near > 0.0 ? near / count : level);
    }
    // Key-up bins with no key-down bin beside them average to zero: their spread is the noise.
    double squares = 0.0;
    int count = 0;
    for (int b = std::max(1, lead); b + 1 < bins_n; ++b)
      if (!down_[size_t(b - 1)] && !down_[size_t(b)] && !down_[size_t(b + 1)])
        squares += double(levels_[size_t(b)]) * levels_[size_t(b)], ++count;
    setup.noise = count >= kMinNoiseBins ? squares / count : 0.0;
  }
  // A key-up run as long as a letter gap ends a character, one well beyond the word gap a word.
  regs->clear();
  uint64_t r = kMorseEmptyRegister;
  int elements = 0;
  for (size_t k = 0; k < runs_.size(); ++k) {
    const double units = runs_[k] * setup.bin_units;
    if (k % 2 == 0) {
      if (++elements > kMorseRegisterElements) return false;
      r = (r << 8) | (units > kSegmentDashUnits ? kMorseDash : kMorseDot);
    } else if (units * unit >= timing_.LetterGap()) {
      regs->push_back(r);
      if (units * unit >= kInnerWordGap * timing_.WordGap()) regs->push_back(kSpaceRegister);
      r = kMorseEmptyRegister;
      elements = 0;
    }
  }
  regs->push_back(r);
  // Only short characters: with more elements the runs chosen from noise stand out further.
  *tone_db = int(runs_.size() + 1) / 2 <= kToneLevelElements ? QualityDb(level) : 0.0;
  return true;
}

void CCwDecoder::ReleaseHeld() {
  const bool resumed = resumed_;
  holding_ = false;
  resumed_ = false;
  if (held_.empty()) return;
  // The gap that began the hold ends what was passed before it, with the timing it was read with.
  if (resumed && !held_[0].mark) Handle(held_[0]);
  size_t start = 0;
  float floor_db = 0.0f;  // marks below it in front of the transmission are noise
  if (quality_threshold_ > 0) {
    // The transmission starts after the last mark that is well below its marks' typical level:
    // noise before it must not join its first character. That level comes from the latest
    // marks, which released the hold: after a long wait the held noise marks, some of them
    // strong, far outnumber the transmission's.
    std::vector<float> levels;
    int latest = 0;
    for (auto it = held_.rbegin(); it != held_.rend() && latest < kConfirmWindow; ++it) {
      if (!it->mark) continue;
      ++latest;
      if (it->quality_db >= kStrongMarkDb) levels.push_back(it->quality_db);
    }
    // Noise alone: nothing is released, and a wait for a transmission goes on (inside one, its
    // marks are passed on again as they come).
    if (levels.empty()) {
      held_.clear();
      holding_ = !resumed;
      return;
    }
    std::nth_element(levels.begin(), levels.begin() + long(levels.size() / 2), levels.end());
    const float median = levels[levels.size() / 2];
    // Inside a transmission (its marks sank for a while) weak marks are its own, not noise.
    if (!resumed)
      floor_db = std::min(median - float(kPruneBelowDb),
                          std::max(float(kStrongMarkDb), median - float(kPruneFarBelowDb)));
    start = held_.size();
    int marks = 0, strong = 0;
    for (size_t k = held_.size(); k-- > 0;) {
      if (!held_[k].mark) continue;
      if (held_[k].quality_db < floor_db) break;
      start = k;
      ++marks;
      strong += held_[k].quality_db >= kStrongMarkDb;
    }
    // What is left must look like keying, not like a few blips of noise.
    if (strong < kMinReleasedStrong || strong * kStrongShareDen < marks * kStrongShareNum) {
      held_.clear();
      holding_ = !resumed;
      return;
    }
    if (start > 0 && !resumed) {  // elements gathered from noise before do not belong to it
      register_ = kMorseEmptyRegister;
      elements_ = 0;
      char_db_sum_ = 0.0;
      span_chars_.clear();
      span_elements_ = 0;
      span_db_sum_ = 0.0;
    }
  }
  // The timing is learnt afresh from what is released.
  LearnTiming(held_, start);
  // The held marks were measured while the detector's levels were still rising out of the noise
  // and its boxcar was made for another speed: the first elements run together or take noise
  // in. Read again with the speed and the levels now known, they come out as sent.
  size_t last = held_.size();
  while (last > start && !held_[last - 1].mark) --last;
  if (last > start && Redetect(held_[start].first - int64_t(timing_.LetterGap()),
                               held_[last - 1].last + 1, &redone_)) {
    size_t first = 0;
    while (first < redone_.size() &&
           (!redone_[first].mark || redone_[first].quality_db < floor_db))
      ++first;
    if (first < redone_.size()) {
      held_.assign(redone_.begin() + long(first), redone_.end());
      start = 0;
      LearnTiming(held_, start);
    }
  }
  for (size_t k = start; k < held_.size(); ++k) Handle(held_[k]);
  held_.clear();
}

void CCwDecoder::LearnTiming(const std::vector<Event>& events, size_t start) {
  timing_.Forget();
  bool after_mark = false;
  for (size_t k = start; k < events.size(); ++k) {
    const Event& e = events[k];
    if (e.mark) {
      after_mark = e.ticks <= kLongestMarkUnits * timing_.Unit();
      if (after_mark) timing_.AddMark(e.ticks);
    } else if (after_mark) {
      timing_.AddGap(e.ticks);
    }
  }
  timing_.Update();
  SetBoxcar();
  last_mark_strong_ = after_mark;
}

bool CCwDecoder::Redetect(int64_t from, int64_t to, std::vector<Event>* out) {
  out->clear();
  const int size = int(raw_.size()), b = boxcar_, half = boxcar_ / 2;
  // The boxcar is centred on each tick, so the periods need no dating back.
  from = std::max(from, std::max(int64_t(half), tick_count_ - size + half + 1));
  to = std::min(to, tick_count_ - b + half + 1);  // the last window ends at the newest tick
  const double span = peak_ - floor_;
  if (to - from < 2 * b || !(span > 0.0)) return false;
  const double th = floor_ + kThresholdSpan * span, hysteresis = kHysteresisSpan * span;
  const int debounce = std::max(kMinDebounce, int(std::lround(kDebounceUnits * timing_.Unit())));
  std::complex<double> sum = 0.0;
  for (int64_t t = from - half; t < from - half + b; ++t)
    sum += std::complex<double>(raw_[size_t(t % size)]);
  bool down = false;
  int64_t begun = from, pend_from = 0;
  int pending = 0;
  double mark_sum = 0.0, pend_sum = 0.0;
  auto close = [&](int64_t end, double level_sum) {
    const int ticks = int(end - begun);
    Event e{down, ticks, 0.0f, begun, end - 1};
    if (down)
      e.quality_db = float(std::min(kMaxMarkDb, QualityDb(level_sum / std::max(1, ticks))));
    out->push_back(e);
  };
  for (int64_t t = from; t < to; ++t) {
    const double e = std::abs(sum) / b;
    if (t + 1 < to)
      sum += std::complex<double>(raw_[size_t((t - half + b) % size)]) -
             std::complex<double>(raw_[size_t((t - half) % size)]);
    if (down) mark_sum += e;
    if (down ? e < th - hysteresis : e > th + hysteresis) {
      if (pending++ == 0) pend_from = t, pend_sum = 0.0;
      pend_sum += e;
    } else {
      pending = 0;
    }
    if (pending >= debounce) {
      close(pend_from, mark_sum - pend_sum);
      down = !down;
      begun = pend_from;
      mark_sum = down ? pend_sum : 0.0;
      pending = 0;
    }
  }
  if (down) close(to, mark_sum);
  return true;
}

void CCwDecoder::Handle(const Event& e) {
  const double unit = timing_.Unit();
  if (e.mark) {
    if (e.ticks > kLongestMarkUnits * unit) {
      // No element: the character it interrupts goes, the word before it is printed.
      span_elements_ -= elements_;
      span_db_sum_ -= char_db_sum_;
      if (!span_chars_.empty()) word_last_ = span_chars_.back().last;
      register_ = kMorseEmptyRegister;
      elements_ = 0;
      char_db_sum_ = 0.0;
      EmitWord();
      return;
    }
    register_ = (register_ << 8) | (e.ticks > kDashUnits * unit ? kMorseDash : kMorseDot);
    if (span_elements_ == 0) word_first_ = e.first;
    word_min_db_ =
        span_elements_ == 0 ? e.quality_db : std::min(word_min_db_, double(e.quality_db));
    word_last_ = e.last;
    ++elements_;
    ++span_elements_;
    char_db_sum_ += e.quality_db;
    span_db_sum_ += e.quality_db;
    return;
  }
  EndGap(e.ticks);
}

void CCwDecoder::CheckOpenGap() {
  const int gap = run_ - pending_;
  if (holding_) {
    if (!held_.empty() && gap >= kReleaseGapSeconds * tick_rate_) ReleaseHeld();
    if (holding_) return;
  }
  EndGap(gap);
  if (gap >= kIdleSeconds * tick_rate_) {
    holding_ = true;
    resumed_ = false;
    timing_.Forget();
  }
}

void CCwDecoder::EndGap(double ticks) {
  if (ticks >= timing_.LetterGap()) CloseCharacter();
  if (ticks >= timing_.WordGap()) {
    EmitWord();
    EmitSpace();
  }
}

void CCwDecoder::CloseCharacter() {
  if (elements_ == 0) return;
  span_chars_.push_back({register_, char_db_sum_ / elements_, word_last_});
  register_ = kMorseEmptyRegister;
  elements_ = 0;
  char_db_sum_ = 0.0;
  ShowPending();
  if (word_last_ - word_first_ >= kLongestSpanUnits * timing_.Unit()) EmitWord();
}

void CCwDecoder::EmitWord() {
  CloseCharacter();
  if (span_chars_.empty()) {
    ShowPending();  // the characters it showed were dropped
    return;
  }
  const double db = span_db_sum_ / span_elements_;
  // The characters decided over the whole word where it can be looked at again, else those of
  // the threshold. A strong signal goes wrong only in fades, which the threshold follows
  // closer; more characters than the threshold found means noise in a letter gap only when
  // that noise made a weak mark.
  double tone_db = 0.0;
  bool segmented = db < kSegmentBelowDb && SegmentWord(&regs_, &tone_db);
  size_t found = 0;
  for (uint64_t r : regs_) found += r != kSpaceRegister;
  if (found > span_chars_.size() && word_min_db_ >= kStrongMarkDb) segmented = false;
  if (segmented) {
    // The level along the tone only for what the threshold also took for that many
    // characters: noise it could not read, parted into short characters, stands out by choice.
    if (Passes(found <= span_chars_.size() ? std::max(db, tone_db) : db))
      for (uint64_t r : regs_) Print(r);
  } else {
    for (const SpanChar& c : span_chars_)
      if (Passes(c.db)) Print(c.reg);
  }
  span_chars_.clear();
  span_elements_ = 0;
  span_db_sum_ = 0.0;
  ShowPending();
}

void CCwDecoder::ShowPending() {
  std::string text;
  for (const SpanChar& c : span_chars_) {
    const char* t = Passes(c.db) ? MorseLookup(c.reg) : nullptr;
    if (t) text += t;
  }
  if (text == shown_) return;
  shown_ = text;
  Pending(shown_.c_str());
}

bool CCwDecoder::Passes(double level_db) const {
  const int quality = std::clamp(int(std::lround(level_db * kQualityPerDb)), 0, kMaxQuality);
  return quality_threshold_ == 0 || quality >= quality_threshold_;
}

void CCwDecoder::Print(uint64_t reg) {
  if (reg == kSpaceRegister) {
    EmitSpace();
    return;
  }
  const char* text = MorseLookup(reg);
  if (!text) return;
  for (const char* p = text; *p; ++p) Char(static_cast<unsigned char>(*p));
  word_open_ = true;
}

void CCwDecoder::EmitSpace() {
  if (!word_open_) return;
  word_open_ = false;
  Char(' ');
}

void CCwDecoder::Flush() {
  if (!band_) return;
  // Silence through the band-pass and the detector ends the last mark where it really ended.
  const int ticks = boxcar_ + 2 * std::max(kMinDebounce, int(std::lround(kDebounceUnits *
                                                                         timing_.Unit()))) + 2;
  long drain = long(taps_) + long(ticks) * tick_samples_;
  while (drain > 0) {
    staging_->count = int(std::min<long>(drain, block_));
    std::fill(staging_->data, staging_->data + staging_->count, 0.0f);
    DecodeStep(staging_, false);  // no audio for the windows
    drain -= staging_->count;
  }
  if (key_state_ == 0) {
    pending_sum_ = 0.0;
    key_state_ = 1;
    EndPeriod(std::max(1, run_), 0);
    run_ = pending_ = 0;
  }
  if (holding_) ReleaseHeld();
  EmitWord();
  EmitSpace();
  holding_ = true;
  resumed_ = false;
  timing_.Forget();
}
