// kestrel sat, locator and scan: outputs against the library, the scan of a simulated band,
// and bad input refused with a message.
#include <gtest/gtest.h>

#include <string>

#include "spl/radio/scanner.h"
#include "spl/radio/sim_receiver.h"
#include "tests/common/signal_test_util.h"

namespace {

using sigtest::RunTool;
const std::string kTle = std::string(KESTREL_TEST_DATA) + "/sat/elements.tle";

bool Has(const std::string& out, const std::string& what) {
  return out.find(what) != std::string::npos;
}

TEST(SatTool, PredictAndPasses) {
  auto r = RunTool("sat predict --tle " + kTle +
                   " --observer 49.6,11.0 --height 300 --time 2026-12-02T11:55:35 --sat 25544");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "ISS (ZARYA)")) << r.out;
  EXPECT_TRUE(Has(r.out, "visible")) << r.out;
  EXPECT_TRUE(Has(r.out, "height   4")) << r.out;
  r = RunTool("sat passes --tle " + kTle +
              " --observer JN59OP --time 2026-12-02T00:00:00 --hours 24 --sat \"iss (zarya)\"");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "pass(es)")) << r.out;
  EXPECT_TRUE(Has(r.out, "start 2026-12-02")) << r.out;
  r = RunTool("sat predict --tle " + kTle + " --observer JN59OP --time 2026-12-02T10:00:00");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "NOAA 19") && Has(r.out, "MOLNIYA 1-93") && Has(r.out, "SO-50"));
}

TEST(SatTool, BadInput) {
  const std::string tle = "--tle " + kTle;
  for (const std::string& bad : {std::string("--tle /nonexistent.tle --observer JN59"),
                                 tle + " --observer XX99",
                                 tle + " --observer JN59 --time yesterday",
                                 tle + " --observer JN59 --sat NOSUCH"})
    EXPECT_EQ(RunTool("sat predict " + bad).status, 2) << bad;
  EXPECT_EQ(RunTool("sat orbit --tle " + kTle + " --observer JN59").status, 2);
  sigtest::TempDir dir;
  FILE* f = fopen(dir.File("bad.tle").c_str(), "w");
  fputs("BAD\n1 25544U short line\n2 25544 short\n", f);
  fclose(f);
  auto r = RunTool("sat predict --tle " + dir.File("bad.tle") + " --observer JN59");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "no valid element sets")) << r.out;
}

TEST(LocatorTool, BothDirections) {
  auto r = RunTool("locator JN59OP");
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(Has(r.out, "south-west corner 49.6333 N 11.1667 E")) << r.out;
  r = RunTool("locator 49.633,11.217");
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(Has(r.out, "JN59OP")) << r.out;
  EXPECT_EQ(RunTool("locator ZZ").status, 2);
  EXPECT_EQ(RunTool("locator").status, 2);
}

TEST(ScanTool, FindsTheCarriersOfASimulatedBand) {
  CSimReceiver sim;
  ASSERT_EQ(sim.Init(12), 1);
  sim.SetBand({{7005.0, 170, 0.4}, {7017.0, 120, 0.4}}, 30, 8);
  sigtest::TempDir dir;
  auto r = RunTool("scan --type 12 --port " + sim.DevicePath() +
                   " --from 7000 --to 7020 --step 1000 --rsql 160 --fast --record 500 --out " +
                   dir.File("s.wav") + " --report " + dir.File("r.scl"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "signals: 7005.000 7017.000 kHz")) << r.out;
  EXPECT_TRUE(Has(r.out, "step  line 0  column   20      7020.000 kHz")) << r.out;
  EXPECT_TRUE(Has(r.out, "hold      7005.000 kHz")) << r.out;
  CScanner s;
  ASSERT_EQ(s.LoadData(dir.File("r.scl").c_str()), 1);
  EXPECT_EQ(s.GetXSize(), 21);
  ScanEntry e;
  s.GetEntry(5, 0, e);
  EXPECT_EQ(e.smeter, 170 - 62);
  auto info = RunTool("wav info " + dir.File("s.wav"));
  EXPECT_EQ(info.status, 0) << info.out;
  EXPECT_TRUE(Has(info.out, "12288 samples")) << info.out;  // two events of 6 blocks
}

TEST(ScanTool, RefusesBadRanges) {
  auto r = RunTool("scan --type 12 --port /dev/null --from 7000 --to 7010 --step 0");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "kestrel: scan: --step must be above 0 Hz")) << r.out;
  r = RunTool("scan --type 12 --port /dev/null --from 7010 --to 7000 --step 1000");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "runs backwards")) << r.out;
  r = RunTool("scan --type 12 --port /dev/null --from 7000 --to 7010 --step 1000 --record 100");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "--record needs --out")) << r.out;
  CSimReceiver sim;
  ASSERT_EQ(sim.Init(12), 1);
  r = RunTool("scan --type 12 --port " + sim.DevicePath() +
              " --from 0.5 --to 2000000 --step 1 --fast");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "cannot be scanned")) << r.out;
}

}  // namespace
