// Fast Fourier transforms of N = 2^order points (order 0..31). Forward: X[k] = sum x[m]
// e^(-j 2 pi k m / N), unscaled; inverse: scaled by 1/N unless NSP_NO_SCALE. Twiddle tables are
// built on first use for each order and kept for the life of the process.
#pragma once

constexpr int NSP_FORWARD = 1;
constexpr int NSP_INVERSE = 2;
constexpr int NSP_INIT = 4;      // only build the tables for this order
constexpr int NSP_FREE = 8;      // release the tables (all orders)
constexpr int NSP_NO_SCALE = 16; // inverse without the 1/N

// In-place complex FFT on separate real and imaginary arrays of N floats; natural order out.
void nspcrFft(float* re, float* im, int order, int flags);
// Forward FFT of N real samples into the CCS layout: bins 0..N/2 as (re, im), N + 2 floats.
void nspsRealFftNip(const float* src, float* dst, int order, int flags);
// Inverse FFT from the CCS layout (N + 2 floats) into N real samples.
void nspsCcsFftNip(const float* src, float* dst, int order, int flags);
