#include "spl/dsp/equalizer_modul.h"

#include <algorithm>

namespace {
constexpr int kAreaInset = 2;      // the curve area inside the drawing rectangle
constexpr int kGainTop = 4;        // pixels above gain 1.0
constexpr int kGainSpan = 8;       // area height minus the span of gains 0 ... 1
constexpr int kReadoutRedraws = 20;
constexpr float kEraseGain = 1.0f;
}  // namespace

int CEqualizerModul::Init(int sampleRate, int N) {
  if (sampleRate != rate_ || N != n_ || !eq_.GetN()) {
    if (!eq_.Init(sampleRate, N, smoothing_)) return 0;
    rate_ = sampleRate;
    n_ = N;
  } else if (!eq_.SetFilter(smoothing_)) {
    return 0;
  }
  if (zoom_width_ == 0 || !Zoom(zoom_start_, zoom_width_)) Zoom(0, rate_ / 2);
  return 1;
}

int CEqualizerModul::SetFilter(int smoothing) {
  const int value = smoothing < 2 ? 1 : smoothing;
  if (eq_.GetN() && !eq_.SetFilter(value)) return 0;
  smoothing_ = value;
  return 1;
}

int CEqualizerModul::Zoom(int start, int width) {
  const int nyquist = rate_ / 2;
  if (start < 0 || start >= nyquist) return 0;
  width = std::min(width, nyquist - start);
  if (width < 1) return 0;
  zoom_start_ = start;
  zoom_width_ = width;
  return 1;
}

void CEqualizerModul::Equalize(AudioBlock* block) {
  if (power_) eq_.Equalize(block);
}

void CEqualizerModul::SetDrawingSize(int width, int height) {
  area_width_ = std::max(width - 2 * kAreaInset, 1);
  area_height_ = std::max(height - 2 * kAreaInset, kGainSpan + 1);
}

int CEqualizerModul::FrequencyAt(int x) const {
  return int((long long)zoom_width_ * (x - kAreaInset) / area_width_) + zoom_start_;
}

float CEqualizerModul::GainAt(int y) const {
  const float g = 1.0f - float(y - kGainTop) / float(area_height_ - kGainSpan);
  return g >= 1.0f ? 1.0f : (g < 0.0f ? 0.0f : g);
}

int CEqualizerModul::ColumnOf(int hz) const {
  return zoom_width_ > 0 ? kAreaInset + int((long long)(hz - zoom_start_) * area_width_ / zoom_width_) : kAreaInset;
}

int CEqualizerModul::RowOf(float gain) const {
  return kGainTop + int((1.0f - gain) * float(area_height_ - kGainSpan) + 0.5f);
}

void CEqualizerModul::LButtonDown(int x, int y) {
  mode_ = Mode::kDrawing;
  last_hz_ = FrequencyAt(x);
  eq_.SetRange(last_hz_, last_hz_, GainAt(y));
}

void CEqualizerModul::RButtonDown(int x, int) {
  mode_ = Mode::kErasing;
  last_hz_ = FrequencyAt(x);
  eq_.SetRange(last_hz_, last_hz_, kEraseGain);
}

void CEqualizerModul::MouseMove(int x, int y) {
  const int f = FrequencyAt(x);
  readout_hz_ = f;
  readout_redraws_ = kReadoutRedraws;
  if (mode_ == Mode::kIdle) return;
  eq_.SetRange(last_hz_, f, mode_ == Mode::kDrawing ? GainAt(y) : kEraseGain);
  last_hz_ = f;
}

void CEqualizerModul::ButtonUp() { mode_ = Mode::kIdle; }

int CEqualizerModul::Apply(const EqualizerCurve& curve) {
  SetFilter(curve.smoothing);
  eq_.SetPoti(curve.gains.data(), int(std::min<size_t>(curve.gains.size(), size_t(n_))));
  if (!Zoom(curve.zoomStart, curve.zoomWidth)) Zoom(0, rate_ / 2);
  return 1;
}

int CEqualizerModul::LoadCurve(const std::string& path, std::string* error) {
  EqualizerCurve curve;
  const int ok = LoadEqualizerCurve(path, rate_, n_, curve, error);
  Apply(curve);  // on failure this is the default curve
  return ok;
}

int CEqualizerModul::SaveCurve(const std::string& path) const {
  EqualizerCurve curve = DefaultEqualizerCurve(rate_, n_);
  curve.zoomStart = zoom_start_;
  curve.zoomWidth = zoom_width_;
  curve.smoothing = smoothing_;
  int count = 0;
  const float* gains = eq_.GetPoti(count);
  if (gains) curve.gains.assign(gains, gains + count);
  return SaveEqualizerCurve(path, curve);
}
