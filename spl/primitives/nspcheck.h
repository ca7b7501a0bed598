// Argument checks shared by the primitives: each reports a bad argument (status -5) under the
// primitive's name and makes the primitive return before it touches its output.
#pragma once
#include "spl/primitives/nsperror.h"

#define NSP_BAD_ARG(func, text) ReportPrimitiveError(NSP_STS_BAD_ARG, func, text, __FILE__, __LINE__)

// Returns from the calling function (with the optional value) when cond holds.
#define NSP_CHECK(cond, func, text, ...) \
  do {                                   \
    if (cond) {                          \
      NSP_BAD_ARG(func, text);           \
      return __VA_ARGS__;                \
    }                                    \
  } while (0)

#define NSP_CHECK_N(n, func, ...) NSP_CHECK((n) < 1, func, "n<=0", __VA_ARGS__)
#define NSP_CHECK_PTR(p, func, ...) NSP_CHECK((p) == nullptr, func, #p "==0", __VA_ARGS__)
