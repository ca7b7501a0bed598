// kestrel sat with both models: decayed satellites reported instead of positions and passes,
// dates of pass ends on another day, impossible times refused, geodetic output with SGP4.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/common/signal_test_util.h"
#include "tests/sat/sat_test_util.h"

namespace {

using sattest::WithCheck;
using sigtest::RunTool;
const std::string kTle = std::string(KESTREL_TEST_DATA) + "/sat/elements.tle";

bool Has(const std::string& out, const std::string& what) {
  return out.find(what) != std::string::npos;
}

TEST(SatToolModels, GeodeticWithSgp4GeocentricWithKepler) {
  const std::string args = "sat predict --tle " + kTle +
                           " --observer 49.6,11.0 --height 300 --time 2026-12-02T11:55:35 --sat 25544";
  auto sgp4 = RunTool(args);
  ASSERT_EQ(sgp4.status, 0) << sgp4.out;
  EXPECT_TRUE(Has(sgp4.out, "geodetic  height   417.")) << sgp4.out;
  auto kepler = RunTool(args + " --model kepler");
  ASSERT_EQ(kepler.status, 0) << kepler.out;
  EXPECT_FALSE(Has(kepler.out, "geodetic")) << kepler.out;
  EXPECT_EQ(RunTool(args + " --model sgp8").status, 2);
}

TEST(SatToolModels, DecayedSatellitesAreReportedNotPlaced) {
  // The ISS set with a drag term fifty times its own: down within three weeks.
  sigtest::TempDir dir;
  const std::string file = dir.File("down.tle");
  FILE* f = fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fprintf(f, "FALLING\n%s\n%s\n",
          WithCheck("1 25544U 98067A   26335.51782528  .00012745  00000-0  11000-1 0  999").c_str(),
          WithCheck("2 25544  51.6393 211.8837 0006872  98.4407 261.7404 15.5013531248721").c_str());
  fclose(f);
  // Positions and passes both say so (the library's decay itself is tested there).
  auto late = RunTool("sat predict --tle " + file + " --observer JN59OP --time 2027-01-15T00:00:00");
  ASSERT_EQ(late.status, 0) << late.out;
  EXPECT_TRUE(Has(late.out, "decayed")) << late.out;
  EXPECT_FALSE(Has(late.out, "height")) << late.out;
  auto passes = RunTool("sat passes --tle " + file + " --observer JN59OP --time 2027-01-15T00:00:00");
  ASSERT_EQ(passes.status, 0) << passes.out;
  EXPECT_TRUE(Has(passes.out, "decayed at 2027-01-15 00:00:00 UTC, no passes, skipped")) << passes.out;
}

TEST(SatToolModels, PassEndsOnAnotherDayCarryTheirDate) {
  // At a minimum elevation of -90 degrees the whole span is one pass: it starts on the
  // 2nd and ends on the 3rd.
  auto r = RunTool("sat passes --tle " + kTle +
                   " --observer JN59OP --min-el -90 --time 2026-12-02T12:00:00 --hours 24 --sat 25544");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "start 2026-12-02 12:00:00  end 2026-12-03 12:00:00")) << r.out;
  // A pass within one day shows times only.
  r = RunTool("sat passes --tle " + kTle +
              " --observer JN59OP --time 2026-12-02T20:00:00 --hours 3 --sat 33591");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "start 2026-12-02 20:1")) << r.out;
  EXPECT_TRUE(Has(r.out, "  end 20:")) << r.out;
}

TEST(SatToolModels, ImpossibleTimesAreRefused) {
  const std::string base = "sat predict --tle " + kTle + " --observer JN59 --time ";
  auto r = RunTool(base + "2026-02-30T10:00:00");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "there is no date 2026-02-30")) << r.out;
  r = RunTool(base + "2026-02-03T25:00");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "not a time of day")) << r.out;
  for (const char* when : {"2026-04-31T10:00", "2025-02-29T10:00", "2026-12-02T10:60"})
    EXPECT_EQ(RunTool(base + when).status, 2) << when;
  EXPECT_EQ(RunTool(base + "2028-02-29T10:00").status, 0);  // a leap day
}

}  // namespace
