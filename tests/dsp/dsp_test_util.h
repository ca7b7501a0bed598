// Helpers of the filter and oscillator tests: blocks from vectors and tone measurements.
#pragma once
#include <cmath>
#include <vector>

#include "spl/audio/audio_block.h"

namespace dsptest {

// An audio block that frees itself.
class Block {
 public:
  explicit Block(int n) { NewAudioBlock(&b_, n); }
  explicit Block(const std::vector<float>& v) : Block(int(v.size())) {
    for (size_t i = 0; i < v.size(); ++i) b_->data[i] = v[i];
    MeasureAudioBlock(b_);
  }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  ~Block() { FreeAudioBlock(b_); }
  AudioBlock* get() const { return b_; }
  AudioBlock* operator->() const { return b_; }
  std::vector<float> vec() const { return std::vector<float>(b_->data, b_->data + b_->count); }

 private:
  AudioBlock* b_ = nullptr;
};

inline std::vector<float> Cosine(int n, double f, int rate, double amplitude = 1.0, int from = 0) {
  std::vector<float> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[size_t(i)] = float(amplitude * std::cos(2 * M_PI * f * (i + from) / rate));
  return v;
}

// Amplitude of the component at f (least squares over the whole vector).
inline double ToneAmplitude(const std::vector<float>& v, double f, int rate, size_t skip = 0) {
  double c = 0, s = 0;
  for (size_t i = skip; i < v.size(); ++i) {
    c += v[i] * std::cos(2 * M_PI * f * double(i) / rate);
    s += v[i] * std::sin(2 * M_PI * f * double(i) / rate);
  }
  const double n = double(v.size() - skip);
  return 2.0 * std::sqrt(c * c + s * s) / n;
}

inline double Rms(const std::vector<float>& v, size_t skip = 0) {
  double sum = 0;
  for (size_t i = skip; i < v.size(); ++i) sum += double(v[i]) * v[i];
  return std::sqrt(sum / double(v.size() - skip));
}

}  // namespace dsptest
