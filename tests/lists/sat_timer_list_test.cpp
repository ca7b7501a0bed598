// The satellite pass generator against the pass search it builds on: windows around midnight
// counted from the day the list is made on, passes already over left out, unchecked and
// unknown satellites skipped, and the generated list run by the timer schedule at the pass.
#include "app/lists/sat_timer_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/lists/frq_list_file.h"
#include "app/lists/time_scanner.h"
#include "spl/sat/sat_passes.h"

namespace {

constexpr time_t kDay = 86400;
const std::string kTle = std::string(KESTREL_TEST_DATA) + "/sat/elements.tle";
// 2026-12-01 00:00 UTC, near the element sets' epoch.
constexpr time_t kFirstDay = 1796083200;

time_t DayOf(time_t t) { return t - t % kDay; }

CFrqRecord SatEntry(int satId, const char* name, bool checked = true) {
  CFrqRecord r = FrqTemplate();
  r.rxFrq = 137100.0;
  r.satId = satId;
  SetFrqText(r.name, sizeof r.name, name);
  r.flags = checked ? int32_t(kListEntryChecked) : 0;
  return r;
}

class SatTimerListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(track_.ReadNASA(kTle.c_str(), sats_), 1);
    ASSERT_FALSE(sats_.empty());
    // An observer at 40 N 75 W, who sees a pass of the polar orbiter across a midnight.
    obs_ = Observer{-40 * 60, -75 * 60, 0, 0};
    for (const SatElem& s : sats_)
      if (s.number == kNoaa19) noaa_ = &s;
    ASSERT_NE(noaa_, nullptr);
  }
  // The first pass of any satellite of the file that is visible at a midnight (UTC) and for
  // at least `after` seconds past it; sat_ becomes that satellite. (The polar orbiter keeps
  // to the same local times every day, so the others are needed.)
  SatPass MidnightPass(double after) {
    for (const SatElem& s : sats_) {
      std::vector<SatPass> passes;
      FindPasses(track_, s, obs_, double(kFirstDay), 24.0 * 10, passes);
      for (const SatPass& p : passes) {
        const double midnight = double(DayOf(time_t(p.start)) + kDay);
        if (p.end > midnight + after && p.start < midnight - 60 && p.end - p.start < 3 * 3600.0) {
          sat_ = s.number;
          return p;
        }
      }
    }
    ADD_FAILURE() << "no pass across midnight in ten days";
    return SatPass{};
  }
  std::vector<CFrqRecord> Make(const std::vector<CFrqRecord>& basis, time_t now, int span,
                               SatTimerStats* stats = nullptr) {
    std::vector<CFrqRecord> out;
    std::string why;
    EXPECT_EQ(MakeSatTimerList(track_, sats_, basis, obs_, now, span, out, stats, &why), 1) << why;
    return out;
  }

  static constexpr int kNoaa19 = 33591;
  CTrackSat track_;
  std::vector<SatElem> sats_;
  Observer obs_{};
  const SatElem* noaa_ = nullptr;
  int sat_ = 0;
};

TEST_F(SatTimerListTest, APassAcrossMidnightEndsAtMinute1440OrLater) {
  const SatPass p = MidnightPass(120);
  const time_t day = DayOf(time_t(p.start));
  // Made in the evening, a quarter of an hour before the pass.
  const time_t now = time_t(p.start) - 15 * 60;
  ASSERT_EQ(DayOf(now), day);
  const auto list = Make({SatEntry(sat_, "SAT")}, now, 60);
  ASSERT_FALSE(list.empty());
  const CFrqRecord& r = list[0];
  EXPECT_EQ(r.extension[0], int(std::floor((p.start - double(day)) / 60.0)));
  EXPECT_EQ(r.extension[1], int(std::floor((p.end - double(day)) / 60.0)) + 1);
  EXPECT_LT(r.extension[0], 1440);
  EXPECT_GE(r.extension[1], 1441);
  EXPECT_EQ(uint32_t(r.flags), kListEntryChecked);
}

TEST_F(SatTimerListTest, JustAfterMidnightAPassUnderWaySinceYesterdayStartsAtMinuteZero) {
  const SatPass p = MidnightPass(120);
  const time_t midnight = DayOf(time_t(p.start)) + kDay;
  const time_t now = midnight + 60;
  const auto list = Make({SatEntry(sat_, "SAT")}, now, 120);
  ASSERT_FALSE(list.empty());
  // Counted from today's midnight: not today's 23:xx, which would run it a day late.
  EXPECT_EQ(list[0].extension[0], 0);
  EXPECT_EQ(list[0].extension[1], int(std::floor((p.end - double(midnight)) / 60.0)) + 1);
  for (const CFrqRecord& r : list) {
    EXPECT_LE(r.extension[0], r.extension[1]);
    // Nothing written is over already, and every window lies in the look-ahead.
    EXPECT_GT(midnight + r.extension[1] * 60, now);
    EXPECT_LT(r.extension[0], 1 + 120 + 1);
  }
}

TEST_F(SatTimerListTest, PassesOverAlreadyAreLeftOutAndTheRestFollowTheSearch) {
  const time_t now = kFirstDay + 3 * kDay + 5 * 3600 + 17 * 60;
  std::vector<SatPass> passes;
  FindPasses(track_, *noaa_, obs_, double(now) - 3600.0, 12.0 + 2.0, passes);
  std::vector<SatPass> expected;
  for (const SatPass& p : passes)
    if (p.end >= double(now) && p.start < double(now) + 12 * 3600.0) expected.push_back(p);
  ASSERT_GE(expected.size(), 2u);
  const auto list = Make({SatEntry(kNoaa19, "NOAA 19")}, now, 12 * 60);
  ASSERT_EQ(list.size(), expected.size());
  const time_t day = DayOf(now);
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i].extension[0], int(std::floor((expected[i].start - double(day)) / 60.0))) << i;
    EXPECT_EQ(list[i].extension[1], int(std::floor((expected[i].end - double(day)) / 60.0)) + 1) << i;
  }
}

TEST_F(SatTimerListTest, UncheckedAndUnknownSatellitesGiveNoEntries) {
  const time_t now = kFirstDay + 2 * kDay;
  SatTimerStats stats;
  const auto list = Make({SatEntry(kNoaa19, "off", false), SatEntry(99999, "unknown"), SatEntry(-1, "none"),
                          SatEntry(25544, "ISS")},
                         now, 24 * 60, &stats);
  EXPECT_EQ(stats.satellites, 1);
  EXPECT_EQ(stats.unknown, 2);
  ASSERT_FALSE(list.empty());
  for (const CFrqRecord& r : list) EXPECT_STREQ(r.name, "ISS");
  for (size_t i = 1; i < list.size(); ++i) EXPECT_LE(list[i - 1].extension[0], list[i].extension[0]);
  std::vector<CFrqRecord> untouched{SatEntry(1, "x")};
  std::string why;
  EXPECT_EQ(MakeSatTimerList(track_, sats_, {}, obs_, now, 0, untouched, nullptr, &why), 0);
  EXPECT_EQ(untouched.size(), 1u);
}

// The schedule started on the day the list was made applies the entry during the pass, also
// when the pass crosses midnight.
class CCountingStation : public CTimerTarget {
 public:
  explicit CCountingStation(const time_t& now) : now_(now) {}
  int ApplyTimerRecord(const CFrqRecord&) override { return applied = now_, 1; }
  void CloseTimerProducts() override { closed = now_; }
  time_t applied = 0, closed = 0;

 private:
  const time_t& now_;
};

TEST_F(SatTimerListTest, TheTimerRunsTheGeneratedListDuringThePass) {
  const SatPass p = MidnightPass(120);
  time_t now = time_t(p.start) - 15 * 60;
  const auto list = Make({SatEntry(sat_, "SAT")}, now, 60);
  ASSERT_FALSE(list.empty());
  char dir[] = "/tmp/sat-timer-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/sat.tim";
  ASSERT_EQ(WriteFrqRecordFile(path, list), 1);
  CCountingStation station(now);
  CTimeScanner timer;
  ASSERT_EQ(timer.Init(path, &station, [&now] { return now; }), 1);
  ASSERT_EQ(timer.Start(), 1);
  for (; now < time_t(p.end) + 300; now += 4) timer.Check();
  EXPECT_GE(station.applied, time_t(p.start) - 60);
  EXPECT_LE(station.applied, time_t(p.start) + 4);
  EXPECT_GE(station.closed, time_t(p.end));
  EXPECT_LE(station.closed, time_t(p.end) + 64);
  unlink(path.c_str());
  rmdir(dir);
}

}  // namespace
