// The process-wide state of the phase-locked loops: the phase-frequency detector with its
// remembered inputs, the PLL loop filter and the Costas loop variables. Shared by every CPLL,
// so only one loop may run at a time (the station runs one decoder of each kind).
#pragma once

#include "spl/dsp/iir.h"

struct PllProcessState {
  // Phase-frequency detector: state -1, 0, +1 and the previous inputs.
  int detector = 0;
  int last_input = 0;
  int last_reference = 0;
  // Loop filter of DoPLL / DoPLL2.
  CIIR loop_filter{0.99995};
  // Costas loop.
  CIIR in_phase_filter{0.7};
  double i_arm = 0.0, q_arm = 0.0, error = 0.0;
  double peak_pos = 0.0, peak_neg = 0.0;
  double error_pos = 0.1, error_neg = -0.1;
  float last_phase = 0.0f;
};

// The one instance, created on first use.
PllProcessState& GetPllProcessState();
// Back to the start values (for a new stream; the tests use it to start from a known state).
void ResetPllProcessState();
