#include "spl/dsp/pll_state.h"

PllProcessState& GetPllProcessState() {
  static PllProcessState state;
  return state;
}

void ResetPllProcessState() { GetPllProcessState() = PllProcessState{}; }
