// The BPSK31 keying state of a CPSK31Transmitter: the sign of the shaping sine, the current and
// previous bit, the phase within the symbol and the carrier polarity. Each transmitter holds its
// own, so transmitters can render side by side.
#pragma once
#include <cstdint>

struct Psk31KeyingState {
  int shaping_sign = -1;    // sign of the shaping sine at its last change
  uint8_t current_bit = 0;
  uint8_t previous_bit = 0;
  float symbol_phase = 0.0f;  // radians since the symbol began, pi/2 at mid-symbol
  float polarity = 1.0f;      // +1 or -1, flipped after every 0 bit
};
