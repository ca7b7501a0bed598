#include "spl/decoders/psk31_symbol_state.h"

Qpsk31SymbolState& GetQpsk31SymbolState() {
  static Qpsk31SymbolState state;
  return state;
}

void ResetQpsk31SymbolState() { GetQpsk31SymbolState() = Qpsk31SymbolState{}; }
