// Single-rate block FIR filter: dst[i] = sum_k h[k] x[i-k], continuous across blocks.
#pragma once

// Filter state, made by nspsFirInit and released by nspFirnspFree. Treat as opaque.
struct NSPFirState {
  int tapsLen = 0;         // L
  float* taps = nullptr;   // the taps in reverse order: taps[j] = h[L-1-j]
  int dlylLen = 0;         // L - 1 past inputs are kept
  float* dlyl = nullptr;   // working line: the L-1 past inputs, then room for a chunk of input
  int upFactor = 1;        // interpolation and decimation factors (always 1)
  int downFactor = 1;
  const NSPFirState* self = nullptr;  // equals the record's address while the state is valid
};

// Prepares state for the L = tapsLen taps h[0..L-1]. dlyl: null (zero history) or the L-1 past
// inputs, oldest first (dlyl[L-2] is the input just before the first sample filtered next).
// Returns NSP_STS_OK, or the reported status (-5 bad argument, -4 "Allocation failure").
int nspsFirInit(const float* taps, int tapsLen, const float* dlyl, NSPFirState* state);
// Filters n samples from src into dst (no overlap). Samples before src[0] come from the delay
// line; afterwards it holds the last L-1 inputs.
void nspsbFir(NSPFirState* state, const float* src, float* dst, int n);
// Releases the state's memory and marks it invalid.
void nspFirnspFree(NSPFirState* state);
// Loads L new taps h[0..L-1] into a valid state (the tap count stays).
void nspsFirSetTaps(const float* taps, NSPFirState* state);
// Loads L-1 past inputs (same layout as in nspsFirInit) into a valid state; null clears them.
void nspsFirSetDlyl(const float* dlyl, NSPFirState* state);
// Copies the L-1 past inputs, oldest first, into dlyl.
void nspsFirGetDlyl(const NSPFirState* state, float* dlyl);
