// kestrel mixer without a card behind the device: a clear refusal, never a crash.
#include <gtest/gtest.h>

#include "tests/common/signal_test_util.h"

TEST(MixerTool, NamesTheDeviceWithoutAMixerAndRefusesBadUse) {
  sigtest::ToolResult r = sigtest::RunTool("mixer show --device hw:97");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("kestrel: hw:97: no mixer for \"hw:97\""), std::string::npos) << r.out;
  EXPECT_EQ(sigtest::RunTool("mixer frob").status, 2);
  EXPECT_EQ(sigtest::RunTool("mixer save").status, 2);
  r = sigtest::RunTool("mixer restore /nonexistent/state.txt");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("cannot open"), std::string::npos) << r.out;
}
