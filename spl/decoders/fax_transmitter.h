// CFaxTransmitter: makes the audio of a facsimile transmission from a gray picture, following
// the radiofax conventions: IOC x pi pixels per line, black 1500 Hz and white 2300 Hz, start
// tone (300 Hz for IOC 576, 675 Hz for IOC 288), phasing lines (black with a white pulse of 5 %
// at the line start), the picture, stop tone 450 Hz. The AM variant modulates the amplitude of
// a 2400 Hz subcarrier and begins every line with a 1040 Hz sync burst of 39 pixels.
#pragma once
#include <cstdint>
#include <vector>

class CFaxTransmitter {
 public:
  // rate 4000 ... 192000 Hz; ioc 576 or 288; rpm 30 ... 480; am 0 (FM) or 1. 1 or 0.
  int Init(int rate, int ioc, int rpm, int am);
  // Lengths of the start tone, phasing and stop tone in seconds (defaults 5, 30, 5); in AM the
  // phasing time carries lines of burst and white. 0 for negative values.
  int SetTimes(double startSeconds, double phasingSeconds, double stopSeconds);
  int GetXSize() const { return x_size_; }
  // Appends the transmission of a picture (luminance 0 black ... 255 white, rows top first,
  // width pixels each, resampled to the line) to out, amplitude 16000. 1 or 0.
  int Transmit(const uint8_t* luminance, int width, int height, std::vector<float>& out);

 private:
  void Emit(double darkness, std::vector<float>& out);  // one sample; 0 white ... 1 black
  int rate_ = 0, ioc_ = 576, rpm_ = 120, am_ = 0, x_size_ = 0, start_tone_ = 300;
  double start_s_ = 5.0, phasing_s_ = 30.0, stop_s_ = 5.0;
  double phase_ = 0.0;
};
