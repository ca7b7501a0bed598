// kestrel decode / transmit cw, bpsk31, qpsk31: round trips through wave files at several
// rates, and the refusals of impossible parameters (exit status 2) and empty signals (1).
#include <gtest/gtest.h>

#include "tests/common/signal_test_util.h"

namespace {

using sigtest::RunTool;

TEST(CwPskTool, RoundTrips) {
  sigtest::TempDir dir;
  const std::string wav = dir.File("t.wav");
  struct Case {
    const char* mode;
    const char* tx;
    const char* rx;
    const char* text;
  } cases[] = {
      {"cw", "--wpm 25 --tone 800", "--tone 800 --wpm 25", "VVV CQ DE KESTREL 73"},
      {"cw", "--rate 48000", "", "VVV PARIS PARIS"},
      {"bpsk31", "--tone 1500", "--tone 1500", "hello from kestrel"},
      {"bpsk31", "--rate 8000", "", "eight kilohertz"},
      {"qpsk31", "", "", "quadrature phase"},
      {"qpsk31", "--reverse --rate 22050", "--reverse", "other sideband"},
  };
  for (const Case& c : cases) {
    auto t = RunTool(std::string("transmit ") + c.mode + " " + c.tx + " --text '" + c.text +
                     "' -o " + wav);
    ASSERT_EQ(t.status, 0) << t.out;
    auto r = RunTool(std::string("decode ") + c.mode + " " + c.rx + " " + wav, false);
    EXPECT_EQ(r.status, 0) << c.mode;
    // CW finds the speed on the "VVV" in front: compare what follows it.
    const std::string want = std::string(c.text).substr(c.mode[0] == 'c' ? 4 : 0);
    EXPECT_NE(r.out.find(want), std::string::npos) << c.mode << " " << c.tx << ": " << r.out;
  }
}

TEST(CwPskTool, RefusesImpossibleParameters) {
  sigtest::TempDir dir;
  const std::string wav = dir.File("t.wav");
  ASSERT_EQ(RunTool("transmit cw --text 'E' -o " + wav).status, 0);
  const char* bad[] = {
      "decode cw --tone 9000 ",        "decode cw --wpm 100 ",      "decode qpsk31 --tone abc ",
      "decode bpsk31 --reverse ",      "transmit cw --text '#' -o ", "transmit bpsk31 --rate 100 --text a -o ",
  };
  for (const char* b : bad) {
    auto r = RunTool(std::string(b) + wav);
    EXPECT_EQ(r.status, 2) << b << r.out;
    EXPECT_EQ(r.out.rfind("kestrel: ", 0), 0u) << b << r.out;
  }
  EXPECT_EQ(RunTool("decode cw " + dir.File("missing.wav")).status, 2);
  EXPECT_EQ(RunTool("transmit cw --text E").status, 2);
}

TEST(CwPskTool, SilenceDecodesToNothing) {
  sigtest::TempDir dir;
  const std::string wav = dir.File("quiet.wav");
  ASSERT_TRUE(sigtest::WriteMonoWav(wav, 11025, std::vector<float>(11025 * 5, 0.0f)));
  for (const char* mode : {"cw", "bpsk31", "qpsk31"}) {
    auto r = RunTool(std::string("decode ") + mode + " " + wav, false);
    EXPECT_EQ(r.status, 1) << mode;
    EXPECT_EQ(r.out, "") << mode;
  }
}

}  // namespace
