// The QPSK31 symbol-phase values of the earlier, Costas-loop receiver: the symbol-phase offset
// and the last real-axis phase of its symbol mapper. CPSK31Decoder no longer reads or writes
// them (its receiver keeps all state in the instance); they stay for callers that still reset
// them before a stream.
#pragma once

struct Qpsk31SymbolState {
  int phase_offset = 0;     // samples
  int last_real_phase = 0;  // degrees, 0 or 180
};

Qpsk31SymbolState& GetQpsk31SymbolState();
// Back to the start values (a new stream; the tests start from here).
void ResetQpsk31SymbolState();
