// Vector-width selection for the hot loops of the FFTs and the FIR filter: on x86-64 Linux
// each marked function is compiled twice, for the baseline and for AVX2/FMA processors, and
// the loader picks the variant the processor supports. Elsewhere the mark is empty.
#pragma once

#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__))
#define NSP_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define NSP_VECTOR_CLONES
#endif
