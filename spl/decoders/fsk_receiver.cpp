#include "spl/decoders/fsk_receiver.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kMinSamplesPerBit = 8;
constexpr double kPrimeBits = 4.0;
// Time constant of the tone levels, in bits: fades of 0.5 Hz Doppler spread change a tone's
// level by tens of dB within a few characters; at 4 bits the levels lag and more bits are
// lost in fading, at 1 bit the white-noise copy suffers.
constexpr double kRefBits = 2.0;
constexpr int kLevelBits = 4;             // bits of each tone before its level is trusted
constexpr double kTiny = 1e-30;
constexpr int kRenormalize = 4096;        // samples between rotator renormalisations
constexpr double kKeepBits = 64.0;        // soft history kept (SITOR-B needs 42 bits)
constexpr int kKeepCodeBits = 160;
// Baudot frame geometry in bits from the end of the start bit.
constexpr int kBaudotDataBits = 5;
constexpr double kStopAt = 6.0;           // end of the first stop bit
constexpr double kNextHunt = 6.25;        // the next start bit cannot end before 7 bits
constexpr double kNextEarliest = 6.75;
constexpr double kSearchBefore = 0.25, kSearchAfter = 1.25;
constexpr double kRetry = 0.25;
// The character clock: periods from 1 to 2 stop bits, where the next frame is looked for
// (+- bits) and how far one frame moves the clock and its period.
constexpr double kMinPeriod = 6.9, kMaxPeriod = 8.1;
constexpr double kLockWindow = 0.5;
constexpr double kLockGain = 0.1;
constexpr double kPeriodGain = 0.05;
constexpr int kMaxMisses = 1;
// The clock starts as if fitted to this many frames: two noisy frames alone would let it
// follow noise too readily (and the squelch open on noise alone).
constexpr int kLockPrior = 6;
// Baudot quality: tone ratio at bit centres; noise alone gives about 3 (4.8 dB).
constexpr double kToneAlpha = 1.0 / 32.0;  // per bit
constexpr double kNoiseRatioDb = 4.8;
constexpr double kQualityPerDb = 9.0;
// A frame whose stronger tones are not this much above its weaker ones is taken for noise.
// Kept low: such frames do not count towards the quality either, and noise alone (whose
// frames, placed where the soft values lean most, give about 3) would otherwise be judged on
// its most tone-like frames only and open the squelch now and then.
constexpr double kFrameMinRatio = 2.0;
// When a signal stops, the long-term quality, full of it, would keep the squelch open on the
// noise after it for some thirty characters. So once the stronger tone of the latest frames
// has fallen this far below its long-term level, the quality over those frames alone counts
// where it is lower, and a frame whose own tones stand less than kSignalFrameRatio apart
// (noise gives about 3) is not printed. A steady weak signal is judged on the long term alone.
constexpr double kLevelDrop = 4.0;
constexpr int kRecentFrames = 3;
constexpr double kSignalFrameRatio = 4.0;
// A frame this much stronger or weaker than the frame before it: a signal starting (or coming
// out of a deep fade), or stopping. The quality is measured afresh from there, starting from
// that of noise over kQualityPriorBits; where it starts, a clock kept on the noise before is
// dropped and the frame looked for afresh, so the first characters are not read out of step.
constexpr double kOnsetRatio = 100.0;
constexpr int kFrameBits = kBaudotDataBits + 2;  // start, data and the first stop bit
constexpr int kQualityPriorBits = 2 * kFrameBits;
// SITOR-B.
constexpr int kSitorBits = 7;
constexpr int kSitorRepeat = 35;          // an RX copy follows its DX copy 35 bits later
constexpr int kSitorOnes = 4;
constexpr double kClockDecay = 1.0 / 32.0;  // per bit
constexpr double kCorrAlpha = 1.0 / 4.0;    // per DX/RX cycle
constexpr int kMinCorr = 4 * 2 * kSitorBits;  // bits compared before the quality counts
constexpr double kAlignHysteresis = 0.5;
constexpr double kValidAlpha = 1.0 / 8.0;      // per DX/RX cycle
constexpr double kValidHysteresis = 0.2;       // in shares of valid words (two positions)
constexpr double kAgreeAlpha = 1.0 / 8.0;  // per character
// Quality per share of agreeing characters: noise agrees about once in 500 characters, so two
// agreements close together are already a signal.
constexpr double kAgreeScale = 200.0;
constexpr double kMinContrast = 0.2;       // in mean squares of the soft values, per bit
// The phasing and idle signals (alpha, beta, RQ) of the 4-of-7 code.
constexpr int kSitorAlphaCode = 0x78, kSitorBetaCode = 0x66, kSitorRqCode = 0x33;  // in mean squares of the soft values
constexpr double kPowerAlpha = 1.0 / 64.0;  // per bit
constexpr float kSoftClip = 2.0f;
// A character waits for this many bits after its RX copy, so that its alignment is judged with
// the characters that follow it as well (the first ones after the phasing need that).
constexpr int kLookahead = 4 * 2 * kSitorBits;  // four DX/RX cycles

float Clip(float v) { return std::clamp(v, -kSoftClip, kSoftClip); }
int64_t Mod(int64_t a, int64_t m) { return ((a % m) + m) % m; }
}  // namespace

int CFskReceiver::Init(int rate, double baud, double one, double zero, int framing) {
  if (rate <= 0 || !(baud > 0.0) || rate / baud < kMinSamplesPerBit) return 0;
  if (framing != kFskFrameBaudot && framing != kFskFrameSitor) return 0;
  for (double f : {one, zero})
    if (!(f > 0.0) || f >= rate / 2.0) return 0;
  rate_ = rate;
  baud_ = baud;
  framing_ = framing;
  spb_ = rate / baud;
  len_ = std::max(1, int(std::lround(spb_)));
  ring1_.assign(size_t(len_), {});
  ring0_.assign(size_t(len_), {});
  ring_at_ = 0;
  sum1_ = sum0_ = {};
  rot1_ = rot0_ = {1.0, 0.0};
  SetTones(one, zero);
  ref1_ = ref0_ = 0.0;
  seen1_ = seen0_ = 0;
  v_.clear();
  e1_.clear();
  e0_.clear();
  base_ = next_ = 0;
  hunt_ = earliest_ = 0;
  locked_ = have_last_ = false;
  misses_ = lock_frames_ = 0;
  last_start_ = period_ = 0.0;
  strong_ = weak_ = 0.0;
  tone_count_ = 0;
  recent_.clear();
  last_strong_ = 0.0;
  std::fill(std::begin(clock_), std::end(clock_), 0.0);
  phase_ = 0.5;
  last_when_ = 0.0;
  bit_index_ = clock_bit_ = 0;
  bits_.clear();
  bit_tones_.clear();
  bits_base_ = 0;
  char_level_ = 0.0;
  char_level_count_ = 0;
  std::fill(std::begin(corr_), std::end(corr_), 0.0);
  corr_count_ = 0;
  corr_next_ = 0;
  std::fill(std::begin(valid_), std::end(valid_), 0.0);
  valid_count_ = 0;
  valid_next_ = 0;
  align_ = 0;
  ordered_ = false;
  ordered_align_ = 0;
  next_char_ = 0;
  power_ = 1.0;
  agree_ = 0.0;
  agree_count_ = 0;
  quality_ = 0;
  codes_.clear();
  // A signal keyed from the very first sample confuses the first frames; a few bits of silence
  // in front cost nothing.
  const std::vector<float> quiet(size_t(kPrimeBits * spb_), 0.0f);
  Process(quiet.data(), int(quiet.size()));
  codes_.clear();
  return 1;
}

void CFskReceiver::SetTones(double one, double zero) {
  // Bits taken before a real move of the tones are not worth printing: SITOR-B starts its
  // alignment afresh from the next bit.
  if (rate_ > 0 && std::fabs(one - one_hz_) > 0.5 * baud_) {
    // The tone levels of the old tones say nothing about the new ones.
    seen1_ = seen0_ = 0;
    corr_count_ = 0;
    next_char_ = bits_base_ + int64_t(bits_.size());
  }
  one_hz_ = one;
  zero_hz_ = zero;
  if (rate_ <= 0) return;
  step1_ = std::polar(1.0, -2.0 * M_PI * one / rate_);
  step0_ = std::polar(1.0, -2.0 * M_PI * zero / rate_);
}

void CFskReceiver::Process(const float* x, int n) {
  if (rate_ <= 0 || !x) return;
  const double a = 1.0 / (kRefBits * spb_);
  for (int i = 0; i < n; ++i) {
    const std::complex<double> c1 = double(x[i]) * rot1_, c0 = double(x[i]) * rot0_;
    rot1_ *= step1_;
    rot0_ *= step0_;
    sum1_ += c1 - ring1_[size_t(ring_at_)];
    sum0_ += c0 - ring0_[size_t(ring_at_)];
    ring1_[size_t(ring_at_)] = c1;
    ring0_[size_t(ring_at_)] = c0;
    if (++ring_at_ == len_) ring_at_ = 0;
    const double e1 = std::norm(sum1_), e0 = std::norm(sum0_);
    // Each tone's level is followed while it is the stronger. Until each tone has been the
    // stronger for a few bits, its level is unknown and the tones are compared as they are (a
    // long idle mark before the first start bit would otherwise misjudge the space level, and
    // after a bit or two of a tone its level is mostly the rising edges of the filter's
    // output, far too low: the first characters were spoilt).
    if (e1 > e0) {
      ref1_ += std::max(a, 1.0 / double(++seen1_)) * (e1 - ref1_);
    } else if (e0 > e1) {
      ref0_ += std::max(a, 1.0 / double(++seen0_)) * (e0 - ref0_);
    }
    double v = e1 - e0;
    if (seen1_ >= kLevelBits * len_ && seen0_ >= kLevelBits * len_) {
      // Each tone's amplitude r is weighed against its own level A as Ar - A^2/2, the
      // log-likelihood of a keyed tone in noise well above it (up to a common factor). Tones
      // of equal level are compared as they are, so levels that lag a fade of both tones do
      // not bias the decisions; a tone faded alone is judged on whether the other one is on
      // against half its level. (A threshold of half the difference of the tone energies
      // leans towards the tone that was the stronger while both fade, and costs more in
      // white noise.)
      const double a1 = std::sqrt(ref1_), a0 = std::sqrt(ref0_);
      v = (a1 * std::sqrt(e1) - 0.5 * ref1_) - (a0 * std::sqrt(e0) - 0.5 * ref0_);
    }
    v /= 0.5 * (ref1_ + ref0_) + kTiny;
    v_.push_back(float(v));
    e1_.push_back(float(e1));
    e0_.push_back(float(e0));
    if (framing_ == kFskFrameSitor) ClockSitor(next_, float(v));
    ++next_;
    if ((next_ % kRenormalize) == 0) {
      rot1_ /= std::abs(rot1_);
      rot0_ /= std::abs(rot0_);
    }
  }
  if (framing_ == kFskFrameBaudot) FrameBaudot();
  Trim();
}

void CFskReceiver::Trim() {
  const size_t keep = size_t(kKeepBits * spb_);
  if (v_.size() > 2 * keep) {
    const size_t drop = v_.size() - keep;
    v_.erase(v_.begin(), v_.begin() + long(drop));
    e1_.erase(e1_.begin(), e1_.begin() + long(drop));
    e0_.erase(e0_.begin(), e0_.begin() + long(drop));
    base_ += int64_t(drop);
  }
  if (bits_.size() > size_t(2 * kKeepCodeBits)) {
    const size_t drop = bits_.size() - size_t(kKeepCodeBits);
    bits_.erase(bits_.begin(), bits_.begin() + long(drop));
    bit_tones_.erase(bit_tones_.begin(), bit_tones_.begin() + long(drop));
    bits_base_ += int64_t(drop);
  }
}

namespace {

int ToneQuality(double strong, double weak) {
  const double db = 10.0 * std::log10((strong + kTiny) / (weak + kTiny));
  return int(std::clamp(std::lround((db - kNoiseRatioDb) * kQualityPerDb), 0L, 100L));
}

}  // namespace

void CFskReceiver::UpdateToneQuality(int64_t frame, double strong, double weak) {
  for (int k = 0; k < kFrameBits; ++k) {
    const size_t i = size_t(frame + int64_t(std::lround(k * spb_)) - base_);
    const double alpha = std::max(kToneAlpha, 1.0 / double(++tone_count_));
    strong_ += alpha * (std::max(e1_[i], e0_[i]) - strong_);
    weak_ += alpha * (std::min(e1_[i], e0_[i]) - weak_);
  }
  if (recent_.size() == size_t(kRecentFrames)) recent_.erase(recent_.begin());
  recent_.push_back({strong, weak});
  double recent_strong = 0.0, recent_weak = 0.0;
  for (const auto& [s, w] : recent_) recent_strong += s, recent_weak += w;
  quality_ = ToneQuality(strong_, weak_);
  if (Fallen(recent_strong / double(recent_.size())))
    quality_ = std::min(quality_, ToneQuality(recent_strong, recent_weak));
}

bool CFskReceiver::Fallen(double frame_strong) const {
  return frame_strong * kLevelDrop < strong_ * kFrameBits;
}

// A Baudot character is placed where start bit, the five data bits and the stop bit together
// are the most distinct, searched around the first sample that leans to the start tone. While
// characters follow each other without a pause, the character clock they keep is trusted more
// than one noisy frame: the next frame is looked for where the clock puts it, and the clock
// moves only by a fraction of what a frame measures.
void CFskReceiver::FrameBaudot() {
  const int64_t end = next_;
  auto at = [&](int64_t s, double bits) { return s + int64_t(std::lround(bits * spb_)); };
  auto best_in = [&](int64_t lo, int64_t hi) {
    int64_t best = lo;
    double best_score = -1e30;
    for (int64_t s = lo; s <= hi; ++s) {
      double score = -V(s) + V(at(s, kStopAt));
      for (int k = 1; k <= kBaudotDataBits; ++k) score += std::fabs(V(at(s, k)));
      if (score > best_score) best_score = score, best = s;
    }
    return best;
  };
  auto formed = [&](int64_t s) { return V(s) < 0.0f && V(at(s, kStopAt)) > 0.0f; };
  for (;;) {
    int64_t frame = -1;
    if (locked_) {
      const double predicted = last_start_ + period_;
      const int64_t lo = std::max(int64_t(std::lround(predicted - kLockWindow * spb_)), base_);
      const int64_t hi = int64_t(std::lround(predicted + kLockWindow * spb_));
      if (at(hi, kStopAt) >= end) return;
      const int64_t best = best_in(lo, hi);
      if (formed(best)) {
        // The clock is a straight line fitted to the frames since the lock (least squares
        // with growing memory, then fixed gains): one gap between two noisy frames is too
        // rough a period for the fixed gains alone, the clock would slip before it settled.
        const double k = double(++lock_frames_);
        const double gain = std::max(kLockGain, 2.0 * (2.0 * k - 1.0) / (k * (k + 1.0)));
        const double period_gain = std::max(kPeriodGain, 6.0 / (k * (k + 1.0)));
        const double error = double(best) - predicted;
        frame = int64_t(std::lround(predicted + gain * error));
        period_ = std::clamp(period_ + period_gain * error, kMinPeriod * spb_, kMaxPeriod * spb_);
        if (!formed(frame)) frame = best;
        last_start_ = predicted + gain * error;
      } else {
        // A start or stop bit spoilt by noise, or a pause (all of it mark). Once in a row the
        // clock carries the character over; a pause, or a second miss, sends the search afresh.
        const int64_t p = int64_t(std::lround(predicted));
        bool pause = true;
        for (int k = 0; k <= kBaudotDataBits; ++k) pause = pause && V(at(p, k)) > 0.0f;
        if (!pause && misses_ < kMaxMisses) {
          ++misses_;
          frame = p;
          last_start_ = predicted;
        } else {
          locked_ = false;
          hunt_ = std::max(hunt_, at(int64_t(std::lround(last_start_)), kNextHunt));
        }
      }
      if (frame >= 0 && formed(frame)) misses_ = 0;
    }
    if (frame < 0) {
      int64_t n = std::max(hunt_, base_);
      while (n < end && V(n) >= 0.0f) ++n;
      hunt_ = n;
      if (n >= end) return;
      const int64_t lo = std::max({at(n, -kSearchBefore), earliest_, base_});
      const int64_t hi = at(n, kSearchAfter);
      if (at(hi, kStopAt) >= end) return;  // wait for the rest of the frame
      const int64_t best = best_in(lo, hi);
      if (!formed(best)) {
        hunt_ = std::max(n + 1, at(n, kRetry));
        have_last_ = false;
        continue;
      }
      frame = best;
      // Two formed frames a plausible character length apart start the character clock.
      const double gap = double(best) - last_start_;
      if (have_last_ && gap > kMinPeriod * spb_ && gap < kMaxPeriod * spb_) {
        locked_ = true;
        period_ = gap;
        lock_frames_ = kLockPrior;
      }
      last_start_ = double(best);
    }
    have_last_ = true;
    // A frame found in noise alone (a deep fade, a pause) is hardly louder in one tone than
    // in the other: it is dropped, as a frame with a bad stop bit is.
    double strong = 0.0, weak = 0.0;
    for (int k = 0; k <= kBaudotDataBits + 1; ++k) {
      const size_t i = size_t(at(frame, k) - base_);
      strong += std::max(e1_[i], e0_[i]);
      weak += std::min(e1_[i], e0_[i]);
    }
    // A jump in level either way: the quality is measured afresh, on the new signal or on
    // the noise after the old one, starting from "noise" so that one tone-like frame of noise
    // does not open the squelch.
    const bool onset = last_strong_ > 0.0 && strong > kOnsetRatio * last_strong_;
    if (onset || strong * kOnsetRatio < last_strong_) {
      strong_ = weak_ = weak / kFrameBits;
      tone_count_ = kQualityPriorBits;
      recent_.clear();
    }
    last_strong_ = strong;
    if (onset && locked_) {
      locked_ = have_last_ = false;
      hunt_ = std::max(base_, at(frame, -kSearchAfter));
      earliest_ = hunt_;
      continue;
    }
    hunt_ = at(frame, kNextHunt);
    earliest_ = at(frame, kNextEarliest);
    if (strong < kFrameMinRatio * weak) continue;
    int code = 0;
    for (int k = 1; k <= kBaudotDataBits; ++k) code = (code << 1) | (V(at(frame, k)) > 0.0f);
    UpdateToneQuality(frame, strong, weak);
    codes_.push_back({code, Fallen(strong) && strong < kSignalFrameRatio * weak ? 0 : quality_});
  }
}

// The bit clock: how strongly the soft value leans either way, collected per phase of the bit
// period; the matched filter's output is most distinct where its sum spans exactly one bit.
void CFskReceiver::ClockSitor(int64_t n, float v) {
  const double t = double(n) / spb_;
  const int64_t period = int64_t(std::floor(t));
  if (period != clock_bit_) {
    for (double& c : clock_) c *= 1.0 - kClockDecay;
    clock_bit_ = period;
  }
  const int bin = std::min(kClockBins - 1, int((t - double(period)) * kClockBins));
  clock_[bin] += std::fabs(v);
  for (;;) {
    // The unwrapped phase may cross a whole bit; the next bit is always about one bit after
    // the last one taken, never skipped or taken twice.
    double t_bit = (double(bit_index_) + phase_) * spb_;
    if (bit_index_ > 0) {
      while (t_bit - last_when_ > 1.5 * spb_) phase_ -= 1.0, t_bit -= spb_;
      while (t_bit - last_when_ < 0.5 * spb_) phase_ += 1.0, t_bit += spb_;
    }
    const int64_t when = int64_t(std::llround(t_bit));
    if (when > n) break;
    bits_.push_back(when >= base_ ? V(when) : 0.0f);
    const float e1 = when >= base_ ? e1_[size_t(when - base_)] : 0.0f;
    const float e0 = when >= base_ ? e0_[size_t(when - base_)] : 0.0f;
    bit_tones_.push_back({std::max(e1, e0), std::min(e1, e0)});
    last_when_ = t_bit;
    ++bit_index_;
    EmitSitor();  // bit by bit, so that the copy does not depend on the block size
    // Phase of the strongest bin, refined between its neighbours, then unwrapped so that the
    // sampling instant never jumps by a whole bit.
    const int b = int(std::max_element(std::begin(clock_), std::end(clock_)) - std::begin(clock_));
    const double l = clock_[(b + kClockBins - 1) % kClockBins], c = clock_[b],
                 r = clock_[(b + 1) % kClockBins];
    const double den = l - 2.0 * c + r;
    const double d = den < 0.0 ? std::clamp(0.5 * (l - r) / den, -0.5, 0.5) : 0.0;
    const double found = (b + 0.5 + d) / kClockBins;
    phase_ = found + std::round(phase_ - found);
  }
}

// How clearly one copy decides: the gap between its fourth and fifth largest soft values.
double CFskReceiver::Margin(int64_t k) const {
  float v[kSitorBits];
  for (int i = 0; i < kSitorBits; ++i) v[i] = Clip(bits_[size_t(k + i - bits_base_)]);
  std::sort(v, v + kSitorBits, [](float a, float b) { return a > b; });
  return double(v[kSitorOnes - 1]) - double(v[kSitorOnes]);
}

// DX and RX copies are told apart by the signal itself: bits 35 apart are equal wherever the
// earlier one lies in a DX position, whichever phasing signals the station sends.
void CFskReceiver::EmitSitor() {
  const int64_t bits_end = bits_base_ + int64_t(bits_.size());
  auto bit = [&](int64_t j) { return Clip(bits_[size_t(j - bits_base_)]); };
  // Correlations of the bits that arrived since the last call.
  static_assert(kSitorRepeat % kSitorCycle != 0, "the repeat must cross DX/RX positions");
  for (int64_t j = std::max(corr_next_, bits_base_ + kSitorRepeat); j < bits_end; ++j) {
    const double p = double(bit(j - kSitorRepeat)) * double(bit(j));
    power_ += kPowerAlpha * (double(bit(j)) * double(bit(j)) - power_);
    const int cls = int(Mod(j - kSitorRepeat, kSitorCycle));
    const double alpha = std::max(kCorrAlpha, 1.0 / double(corr_count_ / kSitorCycle + 1));
    corr_[cls] += alpha * (p - corr_[cls]);
    ++corr_count_;
  }
  corr_next_ = std::max(corr_next_, bits_end);
  // How often the word starting at each bit of the cycle has four 1-bits. Only where the
  // characters really start is nearly every word valid; this places them also during the
  // phasing, where the copies do not repeat and the correlation cannot tell the bits apart.
  for (int64_t j = std::max(valid_next_, bits_base_ + kSitorBits - 1); j < bits_end; ++j) {
    int ones = 0;
    for (int i = 0; i < kSitorBits; ++i) ones += bit(j - i) > 0.0f;
    const int cls = int(Mod(j - (kSitorBits - 1), kSitorCycle));
    const double alpha = std::max(kValidAlpha, 1.0 / double(++valid_count_ / kSitorCycle + 1));
    valid_[cls] += alpha * ((ones == kSitorOnes ? 1.0 : 0.0) - valid_[cls]);
  }
  valid_next_ = std::max(valid_next_, bits_end);
  auto corr_sum = [&](int o) {
    double sum = 0.0;
    for (int i = 0; i < kSitorBits; ++i) sum += corr_[(o + i) % kSitorCycle];
    return sum;
  };
  // Looked at once per DX/RX cycle, whatever the block size. The character phase (one of
  // seven) is kept unless another is clearly more often valid; of its two positions in the
  // cycle, DX is where the copies 35 bits apart are more alike, again with some hysteresis.
  if (Mod(bits_end, kSitorCycle) == 0) {
    auto phase_score = [&](int p) { return valid_[p] + valid_[p + kSitorBits]; };
    int phase = 0;
    for (int p = 1; p < kSitorBits; ++p)
      if (phase_score(p) > phase_score(phase)) phase = p;
    if (phase_score(phase) < phase_score(align_ % kSitorBits) + kValidHysteresis)
      phase = align_ % kSitorBits;
    int held = align_ % kSitorBits == phase ? align_ : phase;
    const int other = (held + kSitorBits) % kSitorCycle;
    if (corr_sum(other) > corr_sum(held) + kAlignHysteresis * power_) held = other;
    align_ = held;
  }
  int best = align_;
  const double held_sum = corr_sum(best);
  // The DX/RX order is trusted once the copies are clearly more alike in this alignment than
  // in the one with DX and RX exchanged (never during the phasing, where both look alike).
  double other_sum = 0.0;
  for (int i = 0; i < kSitorBits; ++i) other_sum += corr_[(best + kSitorBits + i) % kSitorCycle];
  // Once trusted, the order stays trusted while the copies do not favour the exchanged one
  // (the idle signals after a message are less alike than text).
  const double contrast = held_sum - other_sum;
  if (align_ != ordered_align_) ordered_ = false;
  if (contrast > kMinContrast * kSitorBits * power_) ordered_ = true;
  if (contrast < 0.0) ordered_ = false;
  ordered_align_ = align_;
  const bool ordered = ordered_;
  for (;;) {
    const int64_t from = std::max(next_char_ - (kSitorBits - 1), bits_base_);
    const int64_t k = from + Mod(best - from, kSitorCycle);
    if (k + kSitorRepeat + kSitorBits + kLookahead > bits_end) return;
    float sum[kSitorBits];
    int dx = 0, rx = 0;
    for (int i = 0; i < kSitorBits; ++i) {
      const float a = bit(k + i), b = bit(k + kSitorRepeat + i);
      sum[i] = a + b;
      dx = (dx << 1) | (a > 0.0f);
      rx = (rx << 1) | (b > 0.0f);
    }
    // Every word of four 1-bits is a valid code: the likeliest is the four largest sums. Two
    // valid copies that differ (the idle alpha and beta, or one copy hit hard) are not mixed:
    // the copy with the clearer decision stands.
    const bool dx_valid = __builtin_popcount(unsigned(dx)) == kSitorOnes;
    const bool rx_valid = __builtin_popcount(unsigned(rx)) == kSitorOnes;
    // The tones of each copy: one copy far weaker than the other (the end of a transmission,
    // where one copy is noise, or a fade) does not mix into the stronger one.
    double strong_dx = 0.0, strong_rx = 0.0, weak = 0.0;
    for (int i = 0; i < kSitorBits; ++i) {
      const auto& a = bit_tones_[size_t(k + i - bits_base_)];
      const auto& b = bit_tones_[size_t(k + kSitorRepeat + i - bits_base_)];
      strong_dx += a.first;
      strong_rx += b.first;
      weak += a.second + b.second;
    }
    const double strong = strong_dx + strong_rx;
    int code = 0;
    if (dx_valid && strong_rx * kLevelDrop < strong_dx) {
      code = dx;
    } else if (rx_valid && strong_dx * kLevelDrop < strong_rx) {
      code = rx;
    } else if (dx_valid && rx_valid && dx != rx) {
      code = Margin(k) >= Margin(k + kSitorRepeat) ? dx : rx;
    } else {
      int order[kSitorBits];
      for (int i = 0; i < kSitorBits; ++i) order[i] = i;
      std::sort(order, order + kSitorBits, [&](int x, int y) { return sum[x] > sum[y]; });
      for (int i = 0; i < kSitorOnes; ++i) code |= 1 << (kSitorBits - 1 - order[i]);
    }
    // The copies agree, or both are phasing or idle signals (which differ between DX and RX).
    auto is_signal = [](int c) {
      return c == kSitorAlphaCode || c == kSitorBetaCode || c == kSitorRqCode;
    };
    const bool agree = dx_valid && rx_valid && (dx == rx || (is_signal(dx) && is_signal(rx)));
    const double alpha = std::max(kAgreeAlpha, 1.0 / double(++agree_count_));
    agree_ += alpha * ((agree ? 1.0 : 0.0) - agree_);
    quality_ = corr_count_ < kMinCorr ? 0 : int(std::min(100L, std::lround(kAgreeScale * agree_)));
    // The agreement falls slowly when a transmission stops: as for Baudot, a character whose
    // stronger tone has fallen well below the recent characters' and whose tones stand no
    // further apart than noise's is not printed.
    const bool noise = char_level_count_ > 0 && strong * kLevelDrop < char_level_ &&
                       strong < kSignalFrameRatio * weak;
    char_level_ += std::max(kAgreeAlpha, 1.0 / double(++char_level_count_)) * (strong - char_level_);
    codes_.push_back({code, ordered && !noise ? quality_ : 0});
    next_char_ = k + kSitorCycle;
  }
}
