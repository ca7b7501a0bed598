// The rate-1/2, constraint-length-5 convolutional code of QPSK31 (generator polynomials 0x19
// and 0x17), shared by the QPSK31 coder and its Viterbi decoder.
#pragma once
#include <cstdint>

constexpr int kQpskWindowBits = 5;                       // constraint length
constexpr int kQpskWindows = 1 << kQpskWindowBits;       // 32 five-bit windows
constexpr int kQpskStates = 1 << (kQpskWindowBits - 1);  // 16 trellis states
constexpr uint32_t kQpskPolyHigh = 0x19;                 // gives the symbol's bit 1
constexpr uint32_t kQpskPolyLow = 0x17;                  // gives the symbol's bit 0

// Symbol (0 ... 3) of a five-bit window, newest bit in bit 0, oldest in bit 4:
// 2 x parity(window & 0x19) + parity(window & 0x17).
uint8_t QpskWindowSymbol(uint32_t window);

// The symbol the encoder sends when `bit` follows the trellis state s (bit 3 the newest earlier
// bit, bit 0 the oldest; the encoder works on the complemented window).
uint8_t QpskExpectedSymbol(int state, int bit);
