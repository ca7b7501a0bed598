// Error reporting of the numeric primitives: status codes, the process-wide handler that every
// primitive calls on misuse, the last status and the error mode.
#pragma once

// Status codes carried by ReportPrimitiveError and returned by nspsFirInit.
constexpr int NSP_STS_OK = 0;
constexpr int NSP_STS_BACKTRACE = -1;
constexpr int NSP_STS_ERROR = -2;
constexpr int NSP_STS_INTERNAL = -3;
constexpr int NSP_STS_NO_MEMORY = -4;
constexpr int NSP_STS_BAD_ARG = -5;
constexpr int NSP_STS_BAD_FUNC = -6;
constexpr int NSP_STS_NO_CONVERGENCE = -7;
constexpr int NSP_STS_AUTOTRACE = -8;

// Error modes: in mode 0 (the initial one) the default handler reports an error as fatal, in
// mode 1 as a warning, in mode 2 not at all.
constexpr int NSP_ERR_MODE_LEAF = 0;
constexpr int NSP_ERR_MODE_PARENT = 1;
constexpr int NSP_ERR_MODE_SILENT = 2;

// A handler receives what the reporting primitive passed: status, primitive name, what was
// wrong ("n<=0", "dst==0" ...), source file and line.
using NSPErrorHandler = void (*)(int status, const char* func, const char* context,
                                 const char* file, int line);

// Where the default handler sends its one-line message ("func: context (text, status N) at
// file:line"); fatal is 1 in error mode 0. The program decides whether to print or end; the
// library does neither. Called on the thread that met the error.
using NSPErrorReporter = void (*)(const char* message, int fatal);

// Records status (except backtrace and autotrace), returns at once for status 0, otherwise calls
// the current handler with the same arguments.
void ReportPrimitiveError(int status, const char* func, const char* context, const char* file,
                          int line);
// Installs handler (null: the default one) and returns the previous handler.
NSPErrorHandler SetPrimitiveErrorHandler(NSPErrorHandler handler);
// Installs the default handler's reporter (null: none, errors are only recorded) and returns
// the previous one.
NSPErrorReporter SetPrimitiveErrorReporter(NSPErrorReporter reporter);
// The default handler: passes the error to the reporter, unless the mode is silent.
void DefaultPrimitiveErrorHandler(int status, const char* func, const char* context,
                                  const char* file, int line);
// Text of a status code; unknown codes give "Unknown error or status code".
const char* PrimitiveStatusText(int status);

// The last recorded status; ClearPrimitiveErrorStatus sets it back to 0.
int GetPrimitiveErrorStatus();
void ClearPrimitiveErrorStatus();
// Error mode (NSP_ERR_MODE_...); returns the previous mode.
int GetPrimitiveErrorMode();
int SetPrimitiveErrorMode(int mode);
