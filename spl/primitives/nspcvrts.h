// Conversions between float vectors and 8/16/32-bit integer vectors, without scaling.
#pragma once

// Rounding modes (exactly one) and options of nspsbFloatToInt; NSP_UNSIGNED also for
// nspsbIntToFloat.
constexpr int NSP_ROUND = 128;     // to nearest, halves to even
constexpr int NSP_TRUNC = 256;     // towards zero
constexpr int NSP_FLOOR = 512;     // towards minus infinity
constexpr int NSP_CEIL = 1024;     // towards plus infinity
constexpr int NSP_UNSIGNED = 2048;
constexpr int NSP_CLIP = 4096;     // out-of-range values become the nearest limit
constexpr int NSP_OVERFLOW = 8192; // report out-of-range values ("A float exceeds an integer")

// dst is an array of n integers of `bits` (8, 16, 32) bits, signed or unsigned. Out-of-range
// values are left unwritten unless NSP_CLIP is given.
void nspsbFloatToInt(const float* src, void* dst, int n, int bits, int flags);
// src is an array of n integers of `bits` bits; flags 0 (signed) or NSP_UNSIGNED.
void nspsbIntToFloat(const void* src, float* dst, int n, int bits, int flags);
