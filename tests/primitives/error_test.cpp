#include <gtest/gtest.h>

#include <string>

#include "error_recorder.h"
#include "spl/primitives/nsp.h"

namespace {

// Codes outside the table get the text of an unknown code, not a neighbour's.
TEST(PrimitiveErrors, StatusTexts) {
  EXPECT_STREQ(PrimitiveStatusText(-5), "Bad argument");
  EXPECT_STREQ(PrimitiveStatusText(-9), PrimitiveStatusText(-2));
  EXPECT_STREQ(PrimitiveStatusText(1), PrimitiveStatusText(-2));
}

TEST(PrimitiveErrors, ReportRecordsAndCallsTheHandler) {
  ErrorRecorder errors;
  ClearPrimitiveErrorStatus();
  ReportPrimitiveError(NSP_STS_OK, "f", "c", "file", 1);
  EXPECT_EQ(errors.Count(), 0u);
  ReportPrimitiveError(NSP_STS_NO_MEMORY, "f", "c", "file", 2);
  EXPECT_EQ(GetPrimitiveErrorStatus(), NSP_STS_NO_MEMORY);
  ASSERT_EQ(errors.Count(), 1u);
  EXPECT_EQ(errors.Last().func, "f");
  // Trace statuses reach the handler but leave the recorded status alone.
  ReportPrimitiveError(NSP_STS_BACKTRACE, "g", "c", "file", 3);
  ReportPrimitiveError(NSP_STS_AUTOTRACE, "g", "c", "file", 4);
  EXPECT_EQ(errors.Count(), 3u);
  EXPECT_EQ(GetPrimitiveErrorStatus(), NSP_STS_NO_MEMORY);
  ReportPrimitiveError(NSP_STS_OK, "f", "c", "file", 5);
  EXPECT_EQ(GetPrimitiveErrorStatus(), NSP_STS_OK);
}

void OtherHandler(int, const char*, const char*, const char*, int) {}

TEST(PrimitiveErrors, SetHandlerReturnsPreviousAndNullRestoresDefault) {
  NSPErrorHandler first = SetPrimitiveErrorHandler(OtherHandler);
  EXPECT_EQ(first, &DefaultPrimitiveErrorHandler);
  EXPECT_EQ(SetPrimitiveErrorHandler(nullptr), &OtherHandler);
  EXPECT_EQ(SetPrimitiveErrorHandler(nullptr), &DefaultPrimitiveErrorHandler);
}

std::string g_reported;
int g_fatal = -1;
void Reporter(const char* message, int fatal) {
  g_reported = message;
  g_fatal = fatal;
}

TEST(PrimitiveErrors, DefaultHandlerReportsThroughTheReporterAndReturns) {
  ASSERT_EQ(GetPrimitiveErrorMode(), NSP_ERR_MODE_LEAF);
  float v[1] = {3};
  nspsbZero(v, 0);  // no reporter: only recorded, and the process goes on
  EXPECT_EQ(GetPrimitiveErrorStatus(), NSP_STS_BAD_ARG);
  EXPECT_EQ(SetPrimitiveErrorReporter(Reporter), nullptr);
  nspsbZero(v, 0);
  EXPECT_NE(g_reported.find("nspsbZero: n<=0 (Bad argument, status -5)"), std::string::npos)
      << g_reported;
  EXPECT_EQ(g_fatal, 1);
  const int previous = SetPrimitiveErrorMode(NSP_ERR_MODE_PARENT);
  nspsbZero(v, 0);
  EXPECT_EQ(g_fatal, 0);
  SetPrimitiveErrorMode(previous);
  EXPECT_EQ(SetPrimitiveErrorReporter(nullptr), &Reporter);
  EXPECT_EQ(v[0], 3.0f);
}

TEST(PrimitiveErrors, OtherModesReturnFromTheDefaultHandler) {
  const int previous = SetPrimitiveErrorMode(NSP_ERR_MODE_SILENT);
  float v[1] = {3};
  nspsbZero(v, 0);  // would end the process in mode 0
  EXPECT_EQ(v[0], 3.0f);
  EXPECT_EQ(GetPrimitiveErrorStatus(), NSP_STS_BAD_ARG);
  SetPrimitiveErrorMode(previous);
}

}  // namespace
