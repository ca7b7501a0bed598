// Vector-width selection for the hot loops of the FFTs and the FIR filter: on x86-64 Linux
// each marked function is compiled twice, for the baseline and for AVX2/FMA processors, and
// the loader picks the variant the processor supports. Elsewhere the mark is empty.
#pragma once

// Under ThreadSanitizer the loader would run the instrumented variant picker before the
// sanitizer's runtime is up, and crash; there one variant is enough.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define NSP_SINGLE_VARIANT 1
#endif
#endif

#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(NSP_SINGLE_VARIANT)
#define NSP_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define NSP_VECTOR_CLONES
#endif
