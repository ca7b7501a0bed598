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

// Error modes: in mode 0 (the initial one) the default handler ends the process.
constexpr int NSP_ERR_MODE_LEAF = 0;
constexpr int NSP_ERR_MODE_PARENT = 1;
constexpr int NSP_ERR_MODE_SILENT = 2;

// A handler receives what the reporting primitive passed: status, primitive name, what was
// wrong ("n<=0", "dst==0" ...), source file and line.
using NSPErrorHandler = void (*)(int status, const char* func, const char* context,
                                 const char* file, int line);

// Records status (except backtrace and autotrace), returns at once for status 0, otherwise calls
// the current handler with the same arguments.
void ReportPrimitiveError(int status, const char* func, const char* context, const char* file,
                          int line);
// Installs handler (null: the default one) and returns the previous handler.
NSPErrorHandler SetPrimitiveErrorHandler(NSPErrorHandler handler);
// The default handler: prints the error to stderr and, in error mode 0, ends the process with
// exit code 1.
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
