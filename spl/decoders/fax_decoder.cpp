#include "spl/decoders/fax_decoder.h"

#include <cmath>
#include <cstring>

#include "spl/audio/op_amp.h"
#include "spl/decoders/decoder_windows.h"
#include "spl/dsp/pll_state.h"

namespace {

constexpr int kGrayLevels = 256;         // line bitmap palette: value i shows gray 255 - i
constexpr int kChunk = 128;              // FM normalisation chunk (samples)
constexpr double kQuadratureCutoffPeriods = 4.0;  // low-pass length in periods of its cut-off
constexpr double kQuadratureCutoffShare = 1.0;    // low-pass cut-off, of the band-pass width
// The quadrature AM path's arms: the envelope needs little more than the burst (1040 Hz at
// IOC 576); the band's full width let through three times the noise (photo +1.5 dB at +20 dB).
constexpr double kAmArmCutoff = 1300.0;  // Hz
// Start and stop tones (300, 675, 450 Hz of black/white modulation) are looked for in the
// demodulated signal at the audio rate, band-passed and decimated to a rate independent of the
// module: the pixel values are taken only at carrier crossings, and at the pixel rate of IOC 288
// that irregular sampling moves a 675 Hz tone to about 450 Hz.
constexpr float kToneLow = 200.0f, kToneHigh = 800.0f;
constexpr double kToneMinRate = 2700.0;     // Hz, four times the highest tone
// The tone band-pass is also the decimation's low-pass: above 1000 Hz it passes nearly nothing.
constexpr double kToneFilterSeconds = 0.012;  // band-pass length: a transition of about 170 Hz
constexpr double kToneWindowSeconds = 0.35;   // analysed stretch: bins of about 3 Hz
constexpr int kToneBins = 2;                  // a windowed tone's bins beside its peak
constexpr double kToneShare = 0.5;            // of the band's power, for a tone
constexpr float kEnvelopeCutoff = 3000.0f;
constexpr float kEnvelopeShift = 10400.0f;
constexpr double kPllGain = 100.0;
constexpr int kPllHistory = 1024;
constexpr int kBurstTaps = 128;
constexpr int kBurstDelay = 128;         // group delay of the burst band-pass plus low-pass
// The quadrature AM path's burst fit: pixels it may lie off the found place and the correlation
// it needs to count.
constexpr int kBurstFitShift = 6;
constexpr int kBurstTemplateMargin = 8;  // pixels of white either side of the burst template
constexpr int kBurstTemplatePhases = 8;  // places of the pixel grid a template is made for
constexpr double kBurstFitMinR = 0.6;
constexpr double kGridGain = 0.5;  // share of the found pixel-grid offset corrected a line
constexpr int kTonesToStart = 5;         // consecutive tone lines that make an event
constexpr int kSyncLinesNeeded = 3;
constexpr int kMaxPhasingLines = 50;
constexpr double kMinSine = 0.1;         // AM: samples far from a carrier peak are not weighted up

int IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

double ClampedAsin(double v) { return std::asin(v < -1.0 ? -1.0 : v > 1.0 ? 1.0 : v); }

bool Matches(int f, int target) { return target - target / 50 < f && f < target + target / 50; }

}  // namespace

const char* FaxStateName(int code) {
  static const char* const kNames[] = {"FAX_WAIT_START", "FAX_STARTF_300", "FAX_STARTF_675",
                                       "FAX_STOPF_450",  "FAX_WAIT_SYNC",  "FAX_WAIT_PICTURE",
                                       "FAX_WAIT_STOP"};
  return code >= 1 && code <= 7 ? kNames[code - 1] : nullptr;
}

CFaxDecoder::CFaxDecoder() { ComputeDerived(); }

CFaxDecoder::~CFaxDecoder() { Release(); }

void CFaxDecoder::Release() {
  ready_ = 0;
  burst_ready_ = 0;
  if (line_bitmap_) DeleteObject(line_bitmap_);
  line_bitmap_ = nullptr;
  line_pixels_ = nullptr;
  for (AudioBlock** b : {&band_, &reference_, &line_, &output_, &tone_imag_, &tone_history_,
                         &spectrum_, &burst_filtered_, &burst_envelope_, &tone_in_,
                         &tone_out_, &mixed_i_, &mixed_q_, &base_i_, &base_q_}) {
    FreeAudioBlock(*b);
    *b = nullptr;
  }
}

void CFaxDecoder::ComputeDerived() {
  half_black_ = sample_rate_ / (center_ - shift_ / 2.0) * 0.5;
  half_white_ = sample_rate_ / (center_ + shift_ / 2.0) * 0.5;
  gray_scale_ = 256.0 / (half_black_ - half_white_);
  x_size_ = int(ioc_ * M_PI + 0.5);
  // A line of xSize pixels lasts exactly 60 / rpm seconds.
  pixel_step_ = double(x_size_) * rpm_ / 60.0 / sample_rate_;
  quarter_ = (sample_rate_ / center_) / 4;
  tone_decimation_ = int(sample_rate_ / kToneMinRate);
  if (tone_decimation_ < 1) tone_decimation_ = 1;
  tone_rate_ = double(sample_rate_) / tone_decimation_;
  fft_order_ = 1;
  while ((1 << fft_order_) < tone_rate_ * kToneWindowSeconds) ++fft_order_;
  n_fft_ = 1 << fft_order_;
}

int CFaxDecoder::Init(int sampleRate, int blockSize, int filterTaps, int filterWindow) {
  if (decoding_) {
    sample_rate_ = sampleRate, block_size_ = blockSize;
    filter_taps_ = filterTaps, filter_window_ = filterWindow;
    reinit_pending_ = 1;
    return 1;
  }
  Release();
  ResetPllProcessState();  // shared by the process: never start from another loop's state
  sample_rate_ = sampleRate, block_size_ = blockSize;
  filter_taps_ = filterTaps, filter_window_ = filterWindow;
  const double nyquist = sampleRate / 2.0;
  if (sampleRate < 1000 || sampleRate > 192000 || !IsPowerOfTwo(blockSize) || blockSize < kChunk ||
      blockSize > 65536 || filterTaps < 2 || filterTaps > 4096 || ioc_ < 1 || ioc_ > 2000 ||
      rpm_ < 1 || rpm_ > 1000 || shift_ < 1 || width_ < 2 || center_ - shift_ / 2.0 <= 0.0 ||
      center_ + shift_ / 2.0 >= nyquist || center_ - width_ / 2 < 0 ||
      center_ + width_ / 2 > nyquist)
    return 0;
  ComputeDerived();
  if (pixel_step_ >= 1.0 || x_size_ < 2) return 0;
  if (!band_pass_.Init(sampleRate, blockSize, filterTaps) ||
      !band_pass_.CreateBP(float(center_ - width_ / 2), float(center_ + width_ / 2),
                           unsigned(filterWindow)))
    return 0;
  if (!envelope_low_pass_.Init(sampleRate, blockSize, filterTaps) ||
      !envelope_low_pass_.CreateTP(kEnvelopeCutoff, unsigned(filterWindow)))
    return 0;
  if (!shifter_.Init(kEnvelopeShift, sampleRate, blockSize)) return 0;
  if (!tone_band_pass_.Init(sampleRate, blockSize, int(sampleRate * kToneFilterSeconds)) ||
      !tone_band_pass_.CreateBP(kToneLow, kToneHigh, kFilterWindowHann))
    return 0;
  if (!NewAudioBlock(&band_, blockSize) || !NewAudioBlock(&reference_, blockSize) ||
      !NewAudioBlock(&line_, x_size_) || !NewAudioBlock(&output_, blockSize) ||
      !NewAudioBlock(&tone_imag_, n_fft_) || !NewAudioBlock(&tone_history_, n_fft_) ||
      !NewAudioBlock(&spectrum_, n_fft_) || !NewAudioBlock(&burst_filtered_, x_size_) ||
      !NewAudioBlock(&burst_envelope_, x_size_) || !NewAudioBlock(&tone_in_, blockSize) ||
      !NewAudioBlock(&tone_out_, blockSize))
    return 0;
  COpAmp op;
  for (AudioBlock* b : {band_, reference_, line_, output_, tone_imag_, tone_history_, spectrum_,
                        burst_filtered_, burst_envelope_, tone_in_, tone_out_})
    op.Set(b, 0.0f);
  tone_fill_ = tone_done_ = 0;
  tone_phase_ = 1;
  if (!pll_.Init(sampleRate, center_, kPllGain, kPllHistory)) return 0;
  // Quadrature FM: a mixer at the centre, then a Hann-windowed low-pass on either arm, about
  // four periods of its cut-off long, that keeps what the band-pass let through and takes out
  // the mixer's image at twice the centre.
  const double cutoff = width_ * kQuadratureCutoffShare;
  const int taps = std::max(3, int(kQuadratureCutoffPeriods * sampleRate / cutoff) | 1);
  for (CFilter* f : {&quadrature_i_, &quadrature_q_})
    if (!f->Init(sampleRate, blockSize, taps - 1) ||
        !f->CreateTP(float(cutoff), kFilterWindowHann))
      return 0;
  const int am_taps = std::max(3, int(kQuadratureCutoffPeriods * sampleRate / kAmArmCutoff) | 1);
  for (CFilter* f : {&am_arm_i_, &am_arm_q_})
    if (!f->Init(sampleRate, blockSize, am_taps - 1) ||
        !f->CreateTP(float(kAmArmCutoff), kFilterWindowHann))
      return 0;
  if (!NewAudioBlock(&mixed_i_, blockSize) || !NewAudioBlock(&mixed_q_, blockSize) ||
      !NewAudioBlock(&base_i_, blockSize) || !NewAudioBlock(&base_q_, blockSize))
    return 0;
  mix_ = 1.0;
  mix_step_ = std::polar(1.0, -2.0 * M_PI * center_ / sampleRate);
  last_z_ = 0.0;
  pixel_level_ = 0.0;
  pixel_samples_ = 0;
  line_bitmap_ = Create(x_size_, 1, 8);
  if (!line_bitmap_) return 0;
  RGBQUAD gray[kGrayLevels];
  for (int i = 0; i < kGrayLevels; ++i) {
    const uint8_t g = uint8_t(kGrayLevels - 1 - i);
    gray[i] = RGBQUAD{g, g, g, 0};
  }
  if (SetPalette(line_bitmap_, gray, kGrayLevels) != kGrayLevels) return 0;
  line_pixels_ = AdrH(line_bitmap_);
  if (!line_pixels_) return 0;
  black_level_ = 0.0, white_level_ = 255.0;
  levels_found_ = false;
  grid_shift_ = 0.0;
  sync_hits_ = sync_sum_ = phasing_lines_ = tone300_ = tone450_ = tone675_ = 0;
  line_pos_ = 0;
  state_ = kFaxWaitStart;
  ready_ = 1;
  return 1;
}

int CFaxDecoder::SetFaxDecoder(int centerFreq, int shift, int width) {
  center_ = centerFreq, shift_ = shift, width_ = width;
  return Init(sample_rate_, block_size_, filter_taps_, filter_window_);
}

int CFaxDecoder::SetFaxMode(int ioc, int rpm) {
  ioc_ = ioc, rpm_ = rpm;
  return Init(sample_rate_, block_size_, filter_taps_, filter_window_);
}

void CFaxDecoder::SetFaxParam(int syncPercent, int syncPolarity) {
  sync_percent_ = syncPercent, sync_polarity_ = syncPolarity;
}

int CFaxDecoder::SetKorr(double step) {
  if (step == 0.0) return Init(sample_rate_, block_size_, filter_taps_, filter_window_);
  if (!(step > 0.0 && step < 1.0)) return 0;
  pixel_step_ = step;
  return 1;
}

void CFaxDecoder::SetSyncPos(int delta) {
  if (x_size_ < 1) return;
  long long pos = line_pos_ + (direction_ != 0 ? -(long long)delta : (long long)delta);
  pos %= x_size_;
  if (pos < 0) pos += x_size_;
  line_pos_ = int(pos);
}

void CFaxDecoder::ExpectPhasing() {
  if (ready_) Enter(kFaxWaitSync);
}

int CFaxDecoder::DefineBurst(int freq, int len, int percent) {
  burst_freq_ = freq, burst_len_ = len, burst_percent_ = percent;
  burst_ready_ = 0;
  const int burst_rate = (rpm_ * x_size_) / 60;
  if (!ready_ || len < 1 || len > x_size_ || percent < 1 || freq <= 10 ||
      freq + 10 >= burst_rate / 2)
    return 0;
  if (!burst_band_pass_.Init(burst_rate, x_size_, kBurstTaps) ||
      !burst_band_pass_.CreateBP(float(freq - 10), float(freq + 10), kFilterWindowHann) ||
      !burst_low_pass_.Init(burst_rate, x_size_, kBurstTaps) ||
      !burst_low_pass_.CreateTP(5.0f, kFilterWindowHann))
    return 0;
  MakeBurstTemplate();
  burst_ready_ = 1;
  return 1;
}

void CFaxDecoder::MakeBurstTemplate() {
  // The burst's darkness keyed sample by sample as it is sent (white around it), through the
  // band-pass (as its equivalent at zero frequency) and the arms' low-pass, both without
  // delay, then averaged over every pixel as the quadrature AM path does; once for each of a
  // few places of the pixel grid between the sent pixels.
  const double spp = 1.0 / pixel_step_;
  const double per_pixel = double(burst_freq_) / ((rpm_ * x_size_) / 60);
  const int pixels = burst_len_ + 2 * kBurstTemplateMargin;
  const int n = int(pixels * spp) + 1;
  const auto smooth = [](std::vector<double>& v, const float* h, int order, double centre_hz,
                         double rate) {
    std::vector<double> k(size_t(order + 1));
    double sum = 0.0;
    for (int j = 0; j <= order; ++j)
      sum += k[size_t(j)] = h[j] * std::cos(2.0 * M_PI * centre_hz * (j - order / 2) / rate);
    std::vector<double> out(v.size(), 0.0);
    for (int i = 0; i < int(v.size()); ++i)
      for (int j = 0; j <= order; ++j) {
        const int at = i + j - order / 2;
        if (at >= 0 && at < int(v.size())) out[size_t(i)] += k[size_t(j)] / sum * v[size_t(at)];
      }
    v.swap(out);
  };
  burst_templates_.assign(kBurstTemplatePhases, std::vector<double>(size_t(pixels), 0.0));
  for (int phase = 0; phase < kBurstTemplatePhases; ++phase) {
    const double offset = spp * phase / kBurstTemplatePhases;  // sent grid behind the received
    std::vector<double> x(size_t(n), 0.0);
    for (int i = 0; i < n; ++i) {
      const int p = int(std::floor((i - offset) / spp)) - kBurstTemplateMargin;
      x[size_t(i)] = p >= 0 && p < burst_len_ && std::fmod(p * per_pixel, 1.0) >= 0.5 ? 1.0 : 0.0;
    }
    smooth(x, band_pass_.GetCoeff(), band_pass_.GetTaps(), center_, sample_rate_);
    smooth(x, am_arm_i_.GetCoeff(), am_arm_i_.GetTaps(), 0.0, sample_rate_);
    std::vector<double>& t = burst_templates_[size_t(phase)];
    std::vector<int> count(size_t(pixels), 0);
    for (int i = 0; i < n; ++i) {
      const int p = int(i / spp);
      if (p < pixels) t[size_t(p)] += x[size_t(i)], ++count[size_t(p)];
    }
    for (int p = 0; p < pixels; ++p)
      if (count[size_t(p)]) t[size_t(p)] /= count[size_t(p)];
  }
}

CWindowList* CFaxDecoder::ListOf(int kind) {
  switch (kind) {
    case kFaxInputChannel: return &input_windows_;
    case kFaxLineChannel: return &line_windows_;
    case kFaxOutputChannel: return &output_windows_;
    default: return nullptr;
  }
}

int CFaxDecoder::Connect(HWND window, int kind) {
  CWindowList* l = ListOf(kind);
  return l ? ConnectDecoderWindow(*l, window) : 0;
}

int CFaxDecoder::DisConnect(HWND window, int kind) {
  CWindowList* l = ListOf(kind);
  return l ? DisConnectDecoderWindow(*l, window) : 0;
}

void CFaxDecoder::BeginDecode() { decoding_ = 1; }

void CFaxDecoder::EndDecode() {
  decoding_ = 0;
  if (reinit_pending_) {
    reinit_pending_ = 0;
    Init(sample_rate_, block_size_, filter_taps_, filter_window_);
  }
}

bool CFaxDecoder::PutPixel(int byte, float value) {
  const int at = direction_ == 0 ? line_pos_ : x_size_ - 1 - line_pos_;
  line_pixels_[at] = uint8_t(byte);
  line_->data[at] = value;
  return ++line_pos_ >= x_size_;
}

double CFaxDecoder::Level(double amplitude) const {
  double range = white_level_ - black_level_;
  if (std::fabs(range) < 1e-9) range = range < 0.0 ? -1e-9 : 1e-9;
  const double level = (amplitude - black_level_) * 255.0 / range;
  return level < 0.0 ? 0.0 : level > 255.0 ? 255.0 : level;
}

void CFaxDecoder::SetFmQuadrature(int on) { fm_quadrature_ = on != 0; }
void CFaxDecoder::SetAmQuadrature(int on) {
  am_quadrature_ = on != 0;
  levels_found_ = false;
  grid_shift_ = 0.0;
}

void CFaxDecoder::MixToBase(const float* x, CFilter& lowI, CFilter& lowQ) {
  for (int i = 0; i < block_size_; ++i) {
    mixed_i_->data[i] = float(x[i] * mix_.real());
    mixed_q_->data[i] = float(x[i] * mix_.imag());
    mix_ *= mix_step_;
  }
  mix_ /= std::abs(mix_);  // once a block: back on the unit circle
  lowI.Filter(mixed_i_, base_i_, 0);
  lowQ.Filter(mixed_q_, base_q_, 0);
}

int CFaxDecoder::QuadratureLevel(int i) {
  const std::complex<double> z(base_i_->data[i], base_q_->data[i]);
  const double step = std::arg(std::complex<double>(z) * std::conj(last_z_));
  last_z_ = z;
  const double hz = center_ + step * sample_rate_ / (2.0 * M_PI);
  // Black (the lower tone) is 255.
  const double black = center_ - shift_ / 2.0;
  const double v = (black + shift_ - hz) * 256.0 / shift_;
  return v < 0.0 ? 0 : v > 255.0 ? 255 : int(v);
}

void CFaxDecoder::DecodeFM(const AudioBlock* block) {
  if (!ready_ || !block || block->count < block_size_) return;
  BeginDecode();
  band_pass_.Filter(block, band_, 1);
  PostAudioBlock(input_windows_, band_, kFaxInputChannel);
  float* x = band_->data;
  if (fm_quadrature_) {
    MixToBase(x, quadrature_i_, quadrature_q_);
    for (int i = 0; i < block_size_; ++i) {
      const int level = QuadratureLevel(i);
      pixel_level_ += level;
      ++pixel_samples_;
      for (fm_clock_ += pixel_step_; fm_clock_ >= 1.0; fm_clock_ -= 1.0) ++fm_owed_;
      if (fm_owed_ > 0) {
        // The pixel is the mean over the samples it took.
        fm_value_ = int(pixel_level_ / pixel_samples_ + 0.5);
        pixel_level_ = 0.0;
        pixel_samples_ = 0;
      }
      for (; fm_owed_ > 0; --fm_owed_) {
        if (!PutPixel(fm_value_, float(fm_value_))) continue;
        FeedTones(i);
        EndLineFM(block->tick);
      }
      // The tones are looked for in the signal itself: pixels at a slow drum would alias them.
      output_->data[i] = float(level);
    }
    FeedTones(block_size_);
    tone_done_ = 0;
    MeasureAudioBlock(output_);
    output_->tick = block->tick;
    PostAudioBlock(output_windows_, output_, kFaxOutputChannel);
    EndDecode();
    return;
  }
  for (int i = 0; i < block_size_; ++i) {
    if (i % kChunk == 0) {
      const int n = block_size_ - i < kChunk ? block_size_ - i : kChunk;
      float peak = 0.0f, mag = 0.0f;
      for (int k = i; k < i + n; ++k) {
        if (x[k] > peak) peak = x[k];
        if (std::fabs(x[k]) > mag) mag = std::fabs(x[k]);
      }
      // A chunk without a positive sample is scaled by its magnitude (keeping its sign) and
      // digital silence stays silent, so no crossing comes from an undefined value.
      const float scale = peak > 0.0f ? 1.0f / peak : mag > 0.0f ? 1.0f / mag : 0.0f;
      for (int k = i; k < i + n; ++k) x[k] *= scale;
    }
    const double c = x[i], p = fm_prev_;
    if ((p > 0.0) != (c > 0.0)) {
      const double ac = std::fabs(ClampedAsin(c)), ap = std::fabs(ClampedAsin(p));
      const double t = ap + ac > 0.0 ? i - ac / (ap + ac) : double(i);
      const double v = (t - fm_last_cross_ - half_white_) * gray_scale_ + 0.5;
      fm_value_ = v < 0.0 ? 0 : v > 255.0 ? 255 : int(v);
      for (; fm_owed_ > 0; --fm_owed_) {
        if (!PutPixel(fm_value_, float(fm_value_))) continue;
        FeedTones(i);  // the tone decision sees the signal up to this sample
        EndLineFM(block->tick);
      }
      fm_last_cross_ = t;
    }
    fm_prev_ = c;
    for (fm_clock_ += pixel_step_; fm_clock_ >= 1.0; fm_clock_ -= 1.0) ++fm_owed_;
    output_->data[i] = float(fm_value_);
  }
  FeedTones(block_size_);
  tone_done_ = 0;
  fm_last_cross_ -= block_size_;
  MeasureAudioBlock(output_);
  output_->tick = block->tick;
  PostAudioBlock(output_windows_, output_, kFaxOutputChannel);
  EndDecode();
}

void CFaxDecoder::EndLineFM(uint32_t tick) {
  MeasureAudioBlock(line_);
  line_->tick = tick;
  PostAudioBlock(line_windows_, line_, kFaxLineChannel);
  line_pos_ = 0;
  CheckLine();
  FaxLine(line_bitmap_, 0);
}

void CFaxDecoder::EndLineAM(double& clock) {
  MeasureAudioBlock(line_);
  PostAudioBlock(line_windows_, line_, kFaxLineChannel);
  line_pos_ = 0;
  const int b = FindBurst();
  FaxLine(line_bitmap_, b);
  clock -= grid_shift_;  // set by the quadrature AM path's burst fit only
  grid_shift_ = 0.0;
  if (b != 0) {
    const double s = direction_ != 0 ? auto_sync_ : -auto_sync_;
    clock += b < x_size_ / 2 ? s : -s;
  }
}

void CFaxDecoder::DecodeAM(const AudioBlock* block) {
  if (!ready_ || !block || block->count < block_size_) return;
  BeginDecode();
  quadrature_line_ = false;
  band_pass_.Filter(block, band_, 1);
  pll_.DoPLL(band_, reference_);
  PostAudioBlock(input_windows_, band_, kFaxInputChannel);
  for (int i = 0; i < block_size_; ++i) {
    const double r = reference_->data[i];
    if ((am_prev_ref_ > 0.0) != (r > 0.0)) {
      const double ar = std::fabs(ClampedAsin(r)), ap = std::fabs(ClampedAsin(am_prev_ref_));
      const double t = ap + ar > 0.0 ? i - ar / (ap + ar) : double(i);
      am_half_ = t - am_last_cross_;
      if (am_half_ < 0.0) am_half_ += block_size_;
      am_last_cross_ = t;
      am_sample_at_ = i + quarter_;
      if (am_sample_at_ >= block_size_) am_sample_at_ -= block_size_;
    }
    if (i == am_sample_at_) {
      double d = i - am_last_cross_;
      if (d < 0.0) d += block_size_;
      const double s = am_half_ > 0.0 ? std::sin(M_PI * d / am_half_) : 0.0;
      // Far from the peak (or before the loop has timed a half period) the division would
      // blow a small sample up; such samples are left out.
      if (s >= kMinSine) {
        am_sum_ += std::fabs(band_->data[i]) / s;
        ++am_count_;
      }
      if (am_owed_ > 0) {
        if (am_count_ > 1) am_sum_ /= am_count_;
        const int byte = 255 - int(Level(am_sum_));
        for (; am_owed_ > 0; --am_owed_)
          if (PutPixel(byte, float(am_sum_))) EndLineAM(am_clock_);
        am_sum_ = 0.0, am_count_ = 0;
      }
    }
    am_prev_ref_ = r;
    for (am_clock_ += pixel_step_; am_clock_ >= 1.0; am_clock_ -= 1.0) ++am_owed_;
    output_->data[i] = float(am_sum_);
  }
  am_last_cross_ -= block_size_;
  MeasureAudioBlock(output_);
  output_->tick = block->tick;
  PostAudioBlock(output_windows_, output_, kFaxOutputChannel);
  EndDecode();
}

void CFaxDecoder::DecodeAMFilter(const AudioBlock* block) {
  if (!ready_ || !block || block->count < block_size_) return;
  BeginDecode();
  band_pass_.Filter(block, band_, 1);
  PostAudioBlock(input_windows_, band_, kFaxInputChannel);
  quadrature_line_ = am_quadrature_;
  if (am_quadrature_) {
    MixToBase(band_->data, am_arm_i_, am_arm_q_);
    for (int i = 0; i < block_size_; ++i) {
      // The carrier's amplitude: twice the magnitude of the mixed-down band (a real tone
      // puts half its amplitude on either side of zero).
      const double e = 2.0 * std::hypot(base_i_->data[i], base_q_->data[i]);
      pixel_level_ += e;
      ++pixel_samples_;
      for (env_clock_ += pixel_step_; env_clock_ >= 1.0; env_clock_ -= 1.0) {
        // The pixel is the mean over the samples it took.
        if (pixel_samples_ > 0) am_sum_ = pixel_level_ / pixel_samples_;
        pixel_level_ = 0.0;
        pixel_samples_ = 0;
        if (PutPixel(255 - int(Level(am_sum_)), float(am_sum_))) EndLineAM(env_clock_);
      }
      output_->data[i] = float(e);
    }
    MeasureAudioBlock(output_);
    output_->tick = block->tick;
    PostAudioBlock(output_windows_, output_, kFaxOutputChannel);
    EndDecode();
    return;
  }
  shifter_.Shift(band_);
  // Square-law detection: a rectified carrier holds every even harmonic, and at audio rates
  // the higher ones fold back below the low-pass edge as a ripple of some 15 % on the
  // envelope; the square holds only the envelope and twice the carrier, which the low-pass
  // removes. The root of twice the low-passed square is the carrier's amplitude again.
  const float* shifted = band_->data;
  float* power = reference_->data;
  for (int i = 0; i < block_size_; ++i) power[i] = shifted[i] * shifted[i];
  envelope_low_pass_.Filter(reference_, band_, 0);
  for (int i = 0; i < block_size_; ++i) {
    const float p2 = 2.0f * band_->data[i];
    band_->data[i] = p2 > 0.0f ? std::sqrt(p2) : 0.0f;
  }
  for (int i = 0; i < block_size_; ++i) {
    const double e = band_->data[i];
    env_clock_ += pixel_step_;
    while (env_clock_ >= 1.0) {
      const bool done = PutPixel(255 - int(Level(e)), float(e));
      if (done) EndLineAM(env_clock_);
      env_clock_ -= 1.0;
    }
    output_->data[i] = float(e);
  }
  MeasureAudioBlock(output_);
  output_->tick = block->tick;
  PostAudioBlock(output_windows_, output_, kFaxOutputChannel);
  EndDecode();
}

void CFaxDecoder::FeedTones(int upto) {
  const int n = upto - tone_done_;
  if (n <= 0) return;
  std::memcpy(tone_in_->data, output_->data + tone_done_, sizeof(float) * n);
  tone_in_->count = tone_out_->count = n;
  tone_band_pass_.Filter(tone_in_, tone_out_, 0);
  tone_in_->count = tone_out_->count = block_size_;
  float* h = tone_history_->data;
  for (int k = 0; k < n; ++k) {
    if (--tone_phase_ > 0) continue;
    tone_phase_ = tone_decimation_;
    h[tone_fill_] = tone_out_->data[k];
    tone_fill_ = (tone_fill_ + 1) % n_fft_;
  }
  tone_done_ = upto;
}

int CFaxDecoder::ToneFrequency() {
  // Oldest value first, under a Hann window: a tone's power then stays within two bins of
  // its peak.
  const float* h = tone_history_->data;
  for (int j = 0; j < n_fft_; ++j)
    spectrum_->data[j] =
        h[(tone_fill_ + j) % n_fft_] * float(0.5 - 0.5 * std::cos(2.0 * M_PI * j / n_fft_));
  COpAmp op;
  op.Set(tone_imag_, 0.0f);
  op.FFT(spectrum_, tone_imag_, fft_order_, 1, 0);
  float* power = spectrum_->data;  // the first half of the spectrum is overwritten in place
  double total = 0.0;
  int k = 0;
  for (int j = 0; j < n_fft_ / 2; ++j) {
    const float re = spectrum_->data[j], im = tone_imag_->data[j];
    power[j] = re * re + im * im;
    total += power[j];
    if (power[j] > power[k]) k = j;
  }
  // A modulation tone holds most of the band's power; picture content (a chart repeats its
  // lines, so it has lines in its spectrum too) spreads it.
  double near = 0.0;
  for (int j = k - kToneBins; j <= k + kToneBins; ++j)
    if (j >= 0 && j < n_fft_ / 2) near += power[j];
  if (total <= 0.0 || near < kToneShare * total) return 0;
  return int(k * tone_rate_ / n_fft_ + 0.5);
}

void CFaxDecoder::CheckLine() {
  const int old = state_;
  int f = -1;
  if (state_ == kFaxWaitStart || state_ == kFaxWaitStop) f = ToneFrequency();
  switch (state_) {
    case kFaxWaitStart:
      StartToneRule(f);
      break;
    case kFaxWaitSync: {
      ++phasing_lines_;
      const int s = CheckSync();
      if (s != 0) {
        ++sync_hits_;
        sync_sum_ += s;
      } else {
        sync_hits_ = sync_sum_ = 0;
      }
      if (sync_hits_ >= kSyncLinesNeeded || phasing_lines_ > kMaxPhasingLines)
        Enter(kFaxWaitPicture);
      break;
    }
    case kFaxWaitPicture:
      if (CheckSync() == 0 && --sync_hits_ <= 0) Enter(kFaxWaitStop);
      break;
    case kFaxWaitStop:
      if (Matches(f, 450)) {
        if (++tone450_ >= kTonesToStart) {
          FaxState(kFaxStop450);
          Enter(kFaxWaitStart);
        }
      } else {
        tone450_ = 0;
        StartToneRule(f);
      }
      break;
  }
  if (state_ != old) FaxState(state_);
}

void CFaxDecoder::StartToneRule(int f) {
  tone300_ = Matches(f, 300) ? tone300_ + 1 : 0;
  tone675_ = Matches(f, 675) ? tone675_ + 1 : 0;
  if (tone300_ >= kTonesToStart) {
    FaxState(kFaxStart300);
    Enter(kFaxWaitSync);
  }
  if (tone675_ >= kTonesToStart) {
    FaxState(kFaxStart675);
    Enter(kFaxWaitSync);
  }
}

void CFaxDecoder::Enter(int state) {
  state_ = state;
  switch (state) {
    case kFaxWaitStart:
      tone300_ = tone675_ = 0;
      break;
    case kFaxWaitSync:
      sync_hits_ = sync_sum_ = phasing_lines_ = 0;
      break;
    case kFaxWaitPicture:
      line_pos_ -= sync_sum_ / (sync_hits_ > 1 ? sync_hits_ : 1);
      line_pos_ %= x_size_;
      if (line_pos_ < 0) line_pos_ += x_size_;
      sync_hits_ = 2;
      break;
    case kFaxWaitStop:
      tone300_ = tone450_ = tone675_ = 0;
      break;
  }
}

int CFaxDecoder::CheckSync() {
  const int w = (sync_percent_ * x_size_) / 100, tol = x_size_ / 100;
  int above = 0, below = 0, mark = 0;
  for (int i = 0; i < x_size_; ++i) {
    if (line_->data[i] > sync_threshold_) {
      ++above;
    } else {
      ++below;
    }
    if (below == w / 2) mark = i;
  }
  const int count = sync_polarity_ == 0 ? below : above;
  if (!(w - tol < count && count < w + tol)) return 0;
  return mark != 0 ? mark : 1;
}

void CFaxDecoder::BurstLevels(const float* v) {
  // The burst as it comes through the filters (MakeBurstTemplate), fitted to the received
  // values at the shift that matches best: the fit's line gives white (no darkness) and black
  // outright, where the extremes or the fundamental would take the filters' overshoot or loss
  // for the levels.
  double best_r = 0.0, white = 0.0, black = 0.0;
  int best_phase = 0;
  for (int phase = 0; phase < kBurstTemplatePhases; ++phase) {
    const std::vector<double>& t = burst_templates_[size_t(phase)];
    for (int shift = -kBurstFitShift; shift <= kBurstFitShift; ++shift) {
      double sd = 0.0, sv = 0.0, sdd = 0.0, sdv = 0.0, svv = 0.0;
      for (int i = 0; i < burst_len_; ++i) {
        const double d = t[size_t(kBurstTemplateMargin + i + shift)];
        sd += d, sv += v[i], sdd += d * d, sdv += d * v[i], svv += double(v[i]) * v[i];
      }
      const double n = burst_len_, cdd = sdd - sd * sd / n, cdv = sdv - sd * sv / n;
      const double cvv = svv - sv * sv / n;
      if (cdd <= 0.0 || cvv <= 0.0) continue;
      const double r = -cdv / std::sqrt(cdd * cvv);  // darkness lowers the amplitude
      if (r <= best_r) continue;
      best_r = r;
      best_phase = phase;
      const double slope = cdv / cdd;
      white = (sv - slope * sd) / n;
      black = white + slope;
    }
  }
  if (best_r < kBurstFitMinR || white <= black) return;
  // The best template's phase tells where the sent pixels begin between ours; our grid moves
  // towards theirs at the line's end (a pixel straddling two sent ones blurs edges), a part
  // at a time so that one noisy fit does not shake the line.
  const int phase = best_phase <= kBurstTemplatePhases / 2 ? best_phase
                                                            : best_phase - kBurstTemplatePhases;
  grid_shift_ = kGridGain * phase / kBurstTemplatePhases;
  const double hi = white * burst_percent_ * 0.01, lo = std::max(0.0, black);
  if (!levels_found_) {
    black_level_ = lo, white_level_ = hi;
    levels_found_ = true;
    return;
  }
  black_level_ += auto_bright_ * (lo - black_level_);
  white_level_ += auto_bright_ * (hi - white_level_);
}

int CFaxDecoder::FindBurst() {
  if (line_->count != x_size_) return -1;
  if (!burst_ready_) return 0;
  burst_band_pass_.Filter(line_, burst_filtered_, 0);
  COpAmp op;
  op.Rectify(burst_filtered_, 1, 0);
  burst_low_pass_.Filter(burst_filtered_, burst_envelope_, 0);
  int k = 0;
  for (int i = 1; i < x_size_; ++i)
    if (burst_envelope_->data[i] > burst_envelope_->data[k]) k = i;
  int pos = k - kBurstDelay - burst_len_ / 2;
  if (pos < 0) pos += x_size_;
  if (pos < 0) return pos;
  if (pos >= x_size_ - burst_len_) return pos;
  // The burst is keyed black/white, but the demodulated line carries little more than its
  // fundamental: the carrier's sidebands of the harmonics lie outside the input band-pass (or
  // fold below 0 Hz), and the carrier is sampled only twice a period. The fundamental's peaks
  // overshoot black and white by 4/pi of the swing, so levels taken from the extremes would
  // stretch the contrast (white comes out gray). The mean and the fundamental's amplitude give
  // the keyed levels.
  const float* v = line_->data + pos;
  if (am_quadrature_ && quadrature_line_) {
    BurstLevels(v);
    return pos;
  }
  double mean = 0.0;
  for (int i = 0; i < burst_len_; ++i) mean += v[i];
  mean /= burst_len_;
  const double w = 2.0 * M_PI * burst_freq_ / ((rpm_ * x_size_) / 60);
  double in_phase = 0.0, quadrature = 0.0;
  for (int i = 0; i < burst_len_; ++i) {
    in_phase += (v[i] - mean) * std::cos(w * i);
    quadrature += (v[i] - mean) * std::sin(w * i);
  }
  const double fundamental = 2.0 * std::hypot(in_phase, quadrature) / burst_len_;
  const double half_swing = fundamental * M_PI / 4.0;
  const double lo = std::fabs(mean - half_swing);
  const double hi = std::fabs(mean + half_swing) * burst_percent_ * 0.01;
  if (std::fabs(black_level_ - lo) < 0.05 * black_level_ &&
      std::fabs(white_level_ - hi) < 0.05 * white_level_)
    auto_bright_ -= 0.01;
  else if (std::fabs(black_level_ - lo) > 0.1 * black_level_ &&
           std::fabs(white_level_ - hi) > 0.2 * white_level_)
    auto_bright_ += 0.001;
  auto_bright_ = auto_bright_ < 0.0 ? 0.0 : auto_bright_ > 0.1 ? 0.1 : auto_bright_;
  black_level_ = (1.0 - auto_bright_) * black_level_ + auto_bright_ * lo;
  white_level_ = (1.0 - auto_bright_) * white_level_ + auto_bright_ * hi;
  return pos;
}
