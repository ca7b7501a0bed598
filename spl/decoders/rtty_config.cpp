#include "spl/decoders/rtty_config.h"

#include <cmath>
#include <cstdlib>

namespace {
constexpr int kNarrowBandwidth = 30, kMediumBandwidth = 50, kWideBandwidth = 80;
constexpr unsigned long kNarrowWindow = 0;
constexpr unsigned long kWideWindow = kFilterWindowHann;
constexpr int kReferenceBlock = 1024;
constexpr int kMinBlock = 64;

struct ShiftSetup {
  int taps_factor, bandwidth;
  unsigned long window;
};

ShiftSetup SetupForShift(int shift) {
  if (shift < kRttyNarrowShiftHz) return {2, kNarrowBandwidth, kNarrowWindow};
  if (shift < kRttyWideShiftHz) return {1, kMediumBandwidth, kWideWindow};
  return {1, kWideBandwidth, kWideWindow};
}
}  // namespace

const char* RttySettingsError(int rate, int block, int tone1, int tone2, double baud) {
  if (rate <= 0) return "the sample rate must be positive";
  if (block <= 0) return "the block size must be positive";
  if (!(baud > 0.0)) return "the baud rate must be positive";
  if (rate / baud < kRttyMinSamplesPerBit) return "baud rate too high for the sample rate (fewer than 8 samples per bit)";
  if (tone1 <= 0 || tone2 <= 0) return "tones must be above 0 Hz";
  if (tone1 == tone2) return "mark and space must differ";
  const int half = SetupForShift(std::abs(tone1 - tone2)).bandwidth / 2;
  if (std::max(tone1, tone2) + half >= rate / 2.0) return "tone above the Nyquist frequency";
  if (std::min(tone1, tone2) - half <= 0) return "tone too close to 0 Hz";
  if (kRttyLowPassHz >= rate / 2.0) return "sample rate too low";
  // Synchronous Baudot's 7.5 bits must fit in the three blocks the decoder keeps.
  if (7.5 * rate / baud >= 3.0 * block) return "baud rate too low for the block size";
  return nullptr;
}

int ConfigureRttyDecoder(CRttyDecoder& decoder, int rate, int block, int taps, int tone1,
                         int tone2, int mode, double baud, int inverted, int receiver) {
  const ShiftSetup s = SetupForShift(std::abs(tone1 - tone2));
  decoder.SetBaud(baud);
  decoder.SetReceiver(receiver);
  decoder.SetInvert(inverted ? 0 : 1);
  decoder.SetMode(mode);
  // The first Init stores rate, block and filter length; SetFilter designs for the new tones.
  decoder.Init(rate, block, taps * s.taps_factor);
  return decoder.SetFilter(std::max(tone1, tone2), std::min(tone1, tone2), s.bandwidth,
                           kRttyLowPassHz, s.window);
}

int RttyBlockSize(int rate) {
  if (rate <= 0) return kReferenceBlock;
  const double want = double(kReferenceBlock) * rate / kRttyReferenceRate;
  int block = kMinBlock;
  while (block * 2 <= want * std::sqrt(2.0)) block *= 2;  // nearest power of two
  return block;
}

int RttyTaps(int rate) {
  if (rate <= 0) return kRttyDefaultTaps;
  return std::max(2, int(std::lround(double(kRttyDefaultTaps) * rate / kRttyReferenceRate)));
}
