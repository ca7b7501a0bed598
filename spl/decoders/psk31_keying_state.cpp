#include "spl/decoders/psk31_keying_state.h"

Psk31KeyingState& GetPsk31KeyingState() {
  static Psk31KeyingState state;
  return state;
}

void ResetPsk31KeyingState() { GetPsk31KeyingState() = Psk31KeyingState{}; }
