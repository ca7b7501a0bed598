// The QPSK31 symbol-phase state that every CPSK31Decoder shares: the symbol-phase offset handed
// to the Costas loop and the last real-axis phase seen by the symbol mapper. Process-wide, so
// only one QPSK31 decoder may run at a time (the station runs one).
#pragma once

struct Qpsk31SymbolState {
  int phase_offset = 0;     // samples
  int last_real_phase = 0;  // degrees, 0 or 180
};

Qpsk31SymbolState& GetQpsk31SymbolState();
// Back to the start values (a new stream; the tests start from here).
void ResetQpsk31SymbolState();
