#include "spl/primitives/nsperror.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The process-wide error state; unguarded, like every caller expects.
int g_status = NSP_STS_OK;
int g_mode = NSP_ERR_MODE_LEAF;
NSPErrorHandler g_handler = DefaultPrimitiveErrorHandler;

struct StatusText {
  int status;
  const char* text;
};
constexpr StatusText kStatusTexts[] = {
    {NSP_STS_OK, "No Error"},
    {NSP_STS_BACKTRACE, "Backtrace"},
    {NSP_STS_ERROR, "Unknown error or status code"},
    {NSP_STS_INTERNAL, "Internal error (bad state)"},
    {NSP_STS_NO_MEMORY, "Out of memory"},
    {NSP_STS_BAD_ARG, "Bad argument"},
    {NSP_STS_BAD_FUNC, "Unsupported function"},
    {NSP_STS_NO_CONVERGENCE, "Iteration convergence failed"},
    {NSP_STS_AUTOTRACE, "Autotrace call"},
};
constexpr const char* kUnknownStatus = "Unknown error or status code";

}  // namespace

void ReportPrimitiveError(int status, const char* func, const char* context, const char* file,
                          int line) {
  // Trace statuses pass through the handler without replacing the recorded error.
  if (status != NSP_STS_BACKTRACE && status != NSP_STS_AUTOTRACE) g_status = status;
  if (status == NSP_STS_OK) return;
  g_handler(status, func, context, file, line);
}

NSPErrorHandler SetPrimitiveErrorHandler(NSPErrorHandler handler) {
  NSPErrorHandler previous = g_handler;
  g_handler = handler ? handler : DefaultPrimitiveErrorHandler;
  return previous;
}

void DefaultPrimitiveErrorHandler(int status, const char* func, const char* context,
                                  const char* file, int line) {
  if (g_mode == NSP_ERR_MODE_SILENT) return;
  std::fprintf(stderr, "%s: %s (%s, status %d) at %s:%d\n", func ? func : "?",
               context ? context : "", PrimitiveStatusText(status), status, file ? file : "?",
               line);
  if (g_mode == NSP_ERR_MODE_LEAF) std::exit(1);
}

const char* PrimitiveStatusText(int status) {
  for (const StatusText& row : kStatusTexts)
    if (row.status == status) return row.text;
  return kUnknownStatus;
}

int GetPrimitiveErrorStatus() { return g_status; }
void ClearPrimitiveErrorStatus() { g_status = NSP_STS_OK; }
int GetPrimitiveErrorMode() { return g_mode; }
int SetPrimitiveErrorMode(int mode) {
  int previous = g_mode;
  g_mode = mode;
  return previous;
}
