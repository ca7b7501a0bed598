#include "spl/primitives/nsperror.h"

#include <atomic>
#include <cstdio>

namespace {

// The process-wide error state; primitives run on sound and decoder threads alike.
std::atomic<int> g_status{NSP_STS_OK};
std::atomic<int> g_mode{NSP_ERR_MODE_LEAF};
std::atomic<NSPErrorHandler> g_handler{DefaultPrimitiveErrorHandler};
std::atomic<NSPErrorReporter> g_reporter{nullptr};
constexpr size_t kMessageSize = 512;

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
  g_handler.load()(status, func, context, file, line);
}

NSPErrorHandler SetPrimitiveErrorHandler(NSPErrorHandler handler) {
  return g_handler.exchange(handler ? handler : DefaultPrimitiveErrorHandler);
}

NSPErrorReporter SetPrimitiveErrorReporter(NSPErrorReporter reporter) {
  return g_reporter.exchange(reporter);
}

void DefaultPrimitiveErrorHandler(int status, const char* func, const char* context,
                                  const char* file, int line) {
  const int mode = g_mode.load();
  const NSPErrorReporter reporter = g_reporter.load();
  if (mode == NSP_ERR_MODE_SILENT || !reporter) return;
  char message[kMessageSize];
  std::snprintf(message, sizeof message, "%s: %s (%s, status %d) at %s:%d", func ? func : "?",
                context ? context : "", PrimitiveStatusText(status), status, file ? file : "?",
                line);
  reporter(message, mode == NSP_ERR_MODE_LEAF ? 1 : 0);
}

const char* PrimitiveStatusText(int status) {
  for (const StatusText& row : kStatusTexts)
    if (row.status == status) return row.text;
  return kUnknownStatus;
}

int GetPrimitiveErrorStatus() { return g_status; }
void ClearPrimitiveErrorStatus() { g_status = NSP_STS_OK; }
int GetPrimitiveErrorMode() { return g_mode; }
int SetPrimitiveErrorMode(int mode) { return g_mode.exchange(mode); }
