// Twiddle and bit-reversal tables of the FFTs, built on first use for each order and kept for
// the life of the process; safe to look up from several threads at once.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace nsp_fft {

// Tables of the complex transform of N = 2^order points: decimation-in-frequency radix-4
// stages of length L = N, N/4, ... while L >= 16 (L >= 32 for odd orders), then one final
// pass over groups of `finalLen` (1, 2, 4 or 8) points that also undoes the bit reversal.
struct ComplexTables {
  int order = 0;
  int stages = 0;
  int finalLen = 1;
  // Per stage s (m = L/4 values each): w1 re, w1 im, w2 re, w2 im, w3 re, w3 im, where
  // wq = W_L^(q j) = e^(-j 2 pi q j / L), j < m. stageOffset[s] indexes twiddles.
  std::vector<float> twiddles;
  std::vector<size_t> stageOffset;
  // groupOrder[r] = bit reversal of r over order - log2(finalLen) bits.
  std::vector<uint32_t> groupOrder;
};

// Split twiddles of the real transform of N = 2^order points: W_N^k, k = 0 .. N/4.
struct RealTables {
  int order = 0;
  std::vector<float> re;
  std::vector<float> im;
};

// The tables for order, built when missing; null when they cannot be allocated.
const ComplexTables* GetComplexTables(int order);
const RealTables* GetRealTables(int order);
// Releases every table built so far; no transform may be running.
void FreeTables();

}  // namespace nsp_fft
