// The delay line is kept as one linear working area: the last L-1 inputs followed by room for
// a chunk of new input, so each output is a contiguous dot product with the reversed taps and
// a run of outputs can be computed side by side (vectorised across outputs, not across taps).
#include "spl/primitives/nspfir.h"

#include <cstring>
#include <new>

#include "spl/primitives/nspcheck.h"
#include "spl/primitives/nspsimd.h"

namespace {

constexpr int kChunk = 512;      // inputs appended to the working area per pass
constexpr int kOutputRun = 16;   // outputs accumulated together

bool StateBad(const char* func, const NSPFirState* state) {
  if (state == nullptr) {
    NSP_BAD_ARG(func, "Null state pointer");
    return true;
  }
  if (state->self != state) {
    NSP_BAD_ARG(func, "Must have been initialized");
    return true;
  }
  return false;
}

void LoadTaps(NSPFirState* state, const float* taps) {
  const int L = state->tapsLen;
  for (int j = 0; j < L; ++j) state->taps[j] = taps[L - 1 - j];
}

void LoadDlyl(NSPFirState* state, const float* dlyl) {
  if (state->dlylLen == 0) return;
  if (dlyl)
    std::memcpy(state->dlyl, dlyl, sizeof(float) * state->dlylLen);
  else
    std::memset(state->dlyl, 0, sizeof(float) * state->dlylLen);
}

void Release(NSPFirState* state) {
  delete[] state->taps;
  delete[] state->dlyl;
  state->taps = nullptr;
  state->dlyl = nullptr;
  state->tapsLen = 0;
  state->dlylLen = 0;
  state->self = nullptr;
}

// dst[i] = sum_j taps[j] * line[i + j] for i < count.
NSP_VECTOR_CLONES void DotRuns(const float* __restrict taps, int L, const float* __restrict line,
             float* __restrict dst, int count) {
  int i = 0;
  for (; i + kOutputRun <= count; i += kOutputRun) {
    float acc[kOutputRun] = {};
    const float* x = line + i;
    for (int j = 0; j < L; ++j) {
      const float h = taps[j];
      for (int t = 0; t < kOutputRun; ++t) acc[t] += h * x[j + t];
    }
    for (int t = 0; t < kOutputRun; ++t) dst[i + t] = acc[t];
  }
  for (; i < count; ++i) {
    float acc = 0.0f;
    const float* x = line + i;
    for (int j = 0; j < L; ++j) acc += taps[j] * x[j];
    dst[i] = acc;
  }
}

}  // namespace

int nspsFirInit(const float* taps, int tapsLen, const float* dlyl, NSPFirState* state) {
  const char* func = "nspsFirInit";
  if (state == nullptr) {
    NSP_BAD_ARG(func, "Null pointer to state structure");
    return NSP_STS_BAD_ARG;
  }
  if (tapsLen < 1) {
    NSP_BAD_ARG(func, "len<=0");
    return NSP_STS_BAD_ARG;
  }
  if (taps == nullptr) {
    NSP_BAD_ARG(func, "taps==0");
    return NSP_STS_BAD_ARG;
  }
  if (state->self == state) Release(state);  // a second Init replaces the first one's areas
  state->taps = new (std::nothrow) float[tapsLen];
  state->dlyl = new (std::nothrow) float[tapsLen - 1 + kChunk];
  if (state->taps == nullptr || state->dlyl == nullptr) {
    delete[] state->taps;
    delete[] state->dlyl;
    state->taps = state->dlyl = nullptr;
    state->self = nullptr;
    ReportPrimitiveError(NSP_STS_NO_MEMORY, func, "Allocation failure", __FILE__, __LINE__);
    return NSP_STS_NO_MEMORY;
  }
  state->tapsLen = tapsLen;
  state->dlylLen = tapsLen - 1;
  state->upFactor = 1;
  state->downFactor = 1;
  LoadTaps(state, taps);
  LoadDlyl(state, dlyl);
  state->self = state;
  return NSP_STS_OK;
}

void nspsbFir(NSPFirState* state, const float* src, float* dst, int n) {
  const char* func = "nspsbFir";
  if (StateBad(func, state)) return;
  NSP_CHECK_N(n, func);
  NSP_CHECK_PTR(src, func);
  NSP_CHECK_PTR(dst, func);
  const int keep = state->dlylLen;
  float* line = state->dlyl;
  for (int done = 0; done < n;) {
    const int count = n - done < kChunk ? n - done : kChunk;
    std::memcpy(line + keep, src + done, sizeof(float) * count);
    DotRuns(state->taps, state->tapsLen, line, dst + done, count);
    std::memmove(line, line + count, sizeof(float) * keep);
    done += count;
  }
}

void nspFirnspFree(NSPFirState* state) {
  if (StateBad("nspFirnspFree", state)) return;
  Release(state);
}

void nspsFirSetTaps(const float* taps, NSPFirState* state) {
  const char* func = "nspsFirSetTaps";
  if (StateBad(func, state)) return;
  NSP_CHECK_PTR(taps, func);
  LoadTaps(state, taps);
}

void nspsFirSetDlyl(const float* dlyl, NSPFirState* state) {
  if (StateBad("nspsFirSetDlyl", state)) return;
  LoadDlyl(state, dlyl);
}

void nspsFirGetDlyl(const NSPFirState* state, float* dlyl) {
  const char* func = "nspsFirGetDlyl";
  if (StateBad(func, state)) return;
  NSP_CHECK_PTR(dlyl, func);
  if (state->dlylLen) std::memcpy(dlyl, state->dlyl, sizeof(float) * state->dlylLen);
}
