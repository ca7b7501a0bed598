#include "spl/decoders/qpsk_code.h"

#include <bit>

uint8_t QpskWindowSymbol(uint32_t window) {
  const uint32_t w = window & (kQpskWindows - 1);
  return uint8_t(2 * (std::popcount(w & kQpskPolyHigh) & 1) + (std::popcount(w & kQpskPolyLow) & 1));
}

uint8_t QpskExpectedSymbol(int state, int bit) {
  // The state's bits 0 ... 3 are the window's bits 4 ... 1, the new bit is bit 0.
  uint32_t w = uint32_t(bit & 1);
  for (int i = 0; i < kQpskWindowBits - 1; ++i)
    if (state & (1 << i)) w |= 1u << (kQpskWindowBits - 1 - i);
  return QpskWindowSymbol(~w);
}
