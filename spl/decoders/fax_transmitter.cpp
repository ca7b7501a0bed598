#include "spl/decoders/fax_transmitter.h"

#include <cmath>

namespace {

constexpr double kBlackHz = 1500.0, kWhiteHz = 2300.0;
constexpr double kCarrierHz = 2400.0;
constexpr double kAmplitude = 16000.0;
constexpr double kBlackAmplitude = 0.1;  // AM: share of full amplitude sent for black
constexpr double kPulseShare = 0.05;     // phasing pulse, share of a line
constexpr double kStopHz = 450.0;
constexpr double kBurstHz = 1040.0;      // at the pixel rate
constexpr int kBurstPixels = 39;

struct StartTone {
  int ioc, hz;
};
constexpr StartTone kStartTones[] = {{576, 300}, {288, 675}};

}  // namespace

int CFaxTransmitter::Init(int rate, int ioc, int rpm, int am) {
  int tone = 0;
  for (const StartTone& s : kStartTones)
    if (s.ioc == ioc) tone = s.hz;
  if (rate < 4000 || rate > 192000 || !tone || rpm < 30 || rpm > 480 || (am != 0 && am != 1))
    return 0;
  rate_ = rate, ioc_ = ioc, rpm_ = rpm, am_ = am, start_tone_ = tone;
  x_size_ = int(ioc * M_PI + 0.5);
  phase_ = 0.0;
  return 1;
}

int CFaxTransmitter::SetTimes(double startSeconds, double phasingSeconds, double stopSeconds) {
  if (!(startSeconds >= 0.0 && phasingSeconds >= 0.0 && stopSeconds >= 0.0)) return 0;
  start_s_ = startSeconds, phasing_s_ = phasingSeconds, stop_s_ = stopSeconds;
  return 1;
}

void CFaxTransmitter::Emit(double darkness, std::vector<float>& out) {
  if (am_) {
    phase_ += 2.0 * M_PI * kCarrierHz / rate_;
    const double a = 1.0 - (1.0 - kBlackAmplitude) * darkness;
    out.push_back(float(kAmplitude * a * std::sin(phase_)));
  } else {
    phase_ += 2.0 * M_PI * (kWhiteHz - (kWhiteHz - kBlackHz) * darkness) / rate_;
    out.push_back(float(kAmplitude * std::sin(phase_)));
  }
  if (phase_ > 2.0 * M_PI) phase_ -= 2.0 * M_PI;
}

int CFaxTransmitter::Transmit(const uint8_t* luminance, int width, int height,
                              std::vector<float>& out) {
  if (!rate_ || !luminance || width < 1 || height < 1) return 0;
  const double line_s = 60.0 / rpm_;
  const double pixel_rate = x_size_ / line_s;
  // The tones alternate black and white; FM only (AM satellites send none).
  auto tone = [&](double hz, double seconds) {
    const long long n = (long long)(seconds * rate_);
    for (long long i = 0; i < n; ++i) Emit(std::fmod(double(i) * hz / rate_, 1.0) < 0.5 ? 1.0 : 0.0, out);
  };
  // Lines: pixel(j, x) gives the darkness of pixel x of line j.
  auto lines = [&](int count, auto pixel) {
    const long long n = (long long)(count * line_s * rate_ + 0.5);
    for (long long i = 0; i < n; ++i) {
      const double p = double(i) / rate_ * pixel_rate;
      const long long e = (long long)p;
      Emit(pixel(int(e / x_size_), int(e % x_size_)), out);
    }
  };
  auto burst = [&](int x) { return std::fmod(x * kBurstHz / pixel_rate, 1.0) < 0.5 ? 0.0 : 1.0; };
  const int phasing_lines = int(phasing_s_ / line_s + 0.5);
  const int pulse = int(kPulseShare * x_size_);
  if (!am_) {
    tone(start_tone_, start_s_);
    lines(phasing_lines, [&](int, int x) { return x < pulse ? 0.0 : 1.0; });
  } else {
    lines(phasing_lines, [&](int, int x) { return x < kBurstPixels ? burst(x) : 0.0; });
  }
  lines(height, [&](int j, int x) {
    if (am_ && x < kBurstPixels) return burst(x);
    const int sx = int((long long)x * width / x_size_);
    return 1.0 - luminance[(long long)j * width + sx] / 255.0;
  });
  if (!am_) tone(kStopHz, stop_s_);
  return 1;
}
