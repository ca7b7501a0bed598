// The daily timer schedule under a clock the test sets: windows, overlaps, disabled entries,
// checks at irregular and late moments, jumps of the clock, midnight and the daily repeat, and
// the products closed at each window's end.
#include "app/lists/time_scanner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr time_t kDay = 86400;
// 2026-03-14 00:00:00 UTC.
constexpr time_t kBase = 1773446400;

time_t At(int hours, int minutes, int seconds = 0, int day = 0) {
  return kBase + day * kDay + hours * 3600 + minutes * 60 + seconds;
}

CFrqRecord Entry(const char* name, double kHz, int start, int stop, bool enabled = true) {
  CFrqRecord r = FrqTemplate();
  r.rxFrq = kHz;
  r.txFrq = kHz;
  SetFrqText(r.name, sizeof r.name, name);
  r.flags = enabled ? int32_t(kTimerEntryEnabled) : 0;
  r.extension[0] = start;
  r.extension[1] = stop;
  return r;
}

// Records what the schedule asks of the station, with the clock's time.
class CFakeStation : public CTimerTarget {
 public:
  explicit CFakeStation(const time_t& now) : now_(now) {}
  int ApplyTimerRecord(const CFrqRecord& record) override {
    events.push_back("apply " + std::string(record.name));
    applied_at.push_back(now_);
    open = record.name;
    return refuse ? 0 : 1;
  }
  void CloseTimerProducts() override {
    events.push_back("close " + open);
    closed_at.push_back(now_);
    open.clear();
  }
  std::vector<std::string> events;
  std::vector<time_t> applied_at, closed_at;
  std::string open;
  bool refuse = false;

 private:
  const time_t& now_;
};

class TimeScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/time-scanner-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    path_ = dir_ + "/default.tim";
  }
  void TearDown() override {
    unlink(path_.c_str());
    rmdir(dir_.c_str());
  }
  void Write(const std::vector<CFrqRecord>& list) { ASSERT_EQ(WriteFrqRecordFile(path_, list), 1); }
  int Start(time_t at) {
    now_ = at;
    if (!timer_.Init(path_, &station_, [this] { return now_; })) return 0;
    return timer_.Start();
  }
  TimerCheck CheckAt(time_t at) {
    now_ = at;
    return timer_.Check();
  }
  // Checks every step seconds from..to (inclusive of from).
  void Run(time_t from, time_t to, int step) {
    for (time_t t = from; t < to; t += step) CheckAt(t);
  }

  std::string dir_, path_;
  time_t now_ = 0;
  CFakeStation station_{now_};
  CTimeScanner timer_;
};

TEST_F(TimeScannerTest, EachEntryIsAppliedAtItsStartAndClosedAtItsStop) {
  Write({Entry("A", 518.0, 600, 620), Entry("B", 4583.0, 620, 640)});
  ASSERT_EQ(Start(At(9, 50)), 1);
  EXPECT_EQ(timer_.DayBase(), kBase);
  Run(At(9, 50), At(11, 0), 4);
  ASSERT_EQ(station_.events, (std::vector<std::string>{"apply A", "close A", "apply B", "close B"}));
  EXPECT_EQ(station_.applied_at[0], At(10, 0));
  EXPECT_EQ(station_.closed_at[0], At(10, 20));
  // Back to back: B is applied in the check that closes A.
  EXPECT_EQ(station_.applied_at[1], At(10, 20));
  EXPECT_EQ(station_.closed_at[1], At(10, 40));
  EXPECT_EQ(timer_.ActiveIndex(), -1);
}

TEST_F(TimeScannerTest, DisabledPastAndOverlappingEntriesFollowTheListOrder) {
  Write({Entry("off", 100.0, 0, 1439, false), Entry("over", 518.0, 60, 120),
         Entry("first", 200.0, 600, 630), Entry("second", 300.0, 610, 640),
         Entry("late", 400.0, 615, 625)});
  ASSERT_EQ(Start(At(9, 0)), 1);
  Run(At(9, 0), At(12, 0), 2);
  // "second" takes over when "first" ends, while its window still holds; "late" never gets
  // its turn, the disabled entry and the one over before the start none at all.
  EXPECT_EQ(station_.events, (std::vector<std::string>{"apply first", "close first", "apply second", "close second"}));
  EXPECT_EQ(station_.applied_at[1], At(10, 30));
}

TEST_F(TimeScannerTest, ChecksAtIrregularLateMomentsStillApplyAndFinish) {
  Write({Entry("A", 518.0, 600, 620)});
  ASSERT_EQ(Start(At(9, 59)), 1);
  // A one-second timer that drifts: every check falls on an odd second, never on one that
  // divides by four, and the first after the start comes 3 s late.
  EXPECT_EQ(CheckAt(At(9, 59, 59)).applied, -1);
  const TimerCheck on = CheckAt(At(10, 0, 3));
  EXPECT_EQ(on.applied, 0);
  EXPECT_EQ(timer_.EntryApplied(), 1);
  for (time_t t = At(10, 0, 5); t < At(10, 20); t += 7) EXPECT_EQ(CheckAt(t).finished, -1);
  const TimerCheck off = CheckAt(At(10, 20, 3));
  EXPECT_EQ(off.finished, 0);
  EXPECT_EQ(station_.events, (std::vector<std::string>{"apply A", "close A"}));
}

TEST_F(TimeScannerTest, AJumpOverWholeWindowsFinishesWhatWasApplied) {
  Write({Entry("A", 518.0, 600, 620), Entry("B", 4583.0, 620, 640), Entry("C", 7880.0, 645, 660)});
  ASSERT_EQ(Start(At(10, 5)), 1);
  EXPECT_EQ(CheckAt(At(10, 5)).applied, 0);
  // The clock jumps past A's end and all of B's window into C's.
  const TimerCheck jump = CheckAt(At(10, 50));
  EXPECT_EQ(jump.finished, 0);
  EXPECT_EQ(jump.applied, 2);
  // And over C's end to a time when nothing runs.
  EXPECT_EQ(CheckAt(At(13, 0)).finished, 2);
  EXPECT_EQ(station_.events, (std::vector<std::string>{"apply A", "close A", "apply C", "close C"}));
}

TEST_F(TimeScannerTest, AWindowAcrossMidnightStaysActiveAndTheListRepeatsDaily) {
  Write({Entry("night", 518.0, 1380, 1500), Entry("noon", 4583.0, 720, 730)});
  ASSERT_EQ(Start(At(22, 0)), 1);
  EXPECT_EQ(TimerMinuteText(1500), "+ 01:00");
  EXPECT_EQ(TimerMinuteText(1380), "  23:00");
  Run(At(22, 0), At(0, 59, 0, 1), 30);
  EXPECT_EQ(station_.events, (std::vector<std::string>{"apply night"}));
  EXPECT_EQ(timer_.DayBase(), kBase);  // not read again while the window is open
  const TimerCheck end = CheckAt(At(1, 0, 1, 1));
  EXPECT_EQ(end.finished, 0);
  EXPECT_TRUE(end.reloaded);
  EXPECT_EQ(timer_.DayBase(), kBase + kDay);
  // The new day: noon, then the night window again.
  Run(At(1, 0, 1, 1), At(23, 10, 0, 1), 30);
  EXPECT_EQ(station_.events,
            (std::vector<std::string>{"apply night", "close night", "apply noon", "close noon", "apply night"}));
  EXPECT_EQ(station_.applied_at[1], At(12, 0, 1, 1));
  EXPECT_EQ(station_.applied_at[2], At(23, 0, 1, 1));
}

TEST_F(TimeScannerTest, StartedAfterMidnightYesterdaysNightWindowStillHolds) {
  Write({Entry("night", 518.0, 1380, 1500)});
  ASSERT_EQ(Start(At(0, 30, 0, 1)), 1);
  EXPECT_EQ(CheckAt(At(0, 30, 0, 1)).applied, 0);
  EXPECT_EQ(CheckAt(At(1, 0, 0, 1)).finished, 0);
  EXPECT_EQ(CheckAt(At(22, 59, 59, 1)).applied, -1);
  EXPECT_EQ(CheckAt(At(23, 0, 0, 1)).applied, 0);
}

TEST_F(TimeScannerTest, TheNewDayReadsTheListAgain) {
  Write({Entry("A", 518.0, 600, 610)});
  ASSERT_EQ(Start(At(9, 0)), 1);
  Run(At(9, 0), At(11, 0), 60);
  Write({Entry("B", 4583.0, 600, 610)});
  Run(At(11, 0), At(11, 0, 0, 1), 600);
  EXPECT_EQ(station_.events, (std::vector<std::string>{"apply A", "close A", "apply B", "close B"}));
}

TEST_F(TimeScannerTest, StopClosesTheProductsOfAnAppliedEntry) {
  Write({Entry("A", 518.0, 600, 620)});
  ASSERT_EQ(Start(At(10, 1)), 1);
  CheckAt(At(10, 1));
  timer_.Stop();
  EXPECT_EQ(station_.events, (std::vector<std::string>{"apply A", "close A"}));
  EXPECT_EQ(timer_.Running(), 0);
  EXPECT_EQ(CheckAt(At(10, 2)).applied, -1);
}

TEST_F(TimeScannerTest, AFailedApplyIsReportedOnceAndItsWindowStillEnds) {
  Write({Entry("A", 518.0, 600, 620)});
  station_.refuse = true;
  ASSERT_EQ(Start(At(10, 0)), 1);
  EXPECT_EQ(CheckAt(At(10, 0)).failed, 0);
  EXPECT_EQ(CheckAt(At(10, 1)).failed, -1);
  EXPECT_EQ(CheckAt(At(10, 20)).finished, 0);
  EXPECT_EQ(station_.events.size(), 2u);
}

TEST_F(TimeScannerTest, TheStatusLineNamesWindowFrequencyNameAndDecoder) {
  CFrqRecord r = Entry("DDH3", 10100.8, 390, 435);
  r.decoder = 8768;
  Write({r});
  ASSERT_EQ(Start(At(6, 40)), 1);
  EXPECT_EQ(timer_.StatusText(), "");
  CheckAt(At(6, 40));
  EXPECT_EQ(timer_.StatusText(), " 06:30-07:15 - 10100.800 - DDH3 - W-FAX IOC 576");
}

TEST_F(TimeScannerTest, FilesThatAreNoTimerListsAreRefusedAndNothingRuns) {
  // A window ending before it starts.
  Write({Entry("A", 518.0, 620, 600)});
  EXPECT_EQ(Start(At(10, 0)), 0);
  EXPECT_NE(timer_.Error().find("entry 1: timer window 620..600"), std::string::npos) << timer_.Error();
  EXPECT_EQ(timer_.Running(), 0);
  // A file that is no whole number of records.
  FILE* f = fopen(path_.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const char junk[500] = {};
  fwrite(junk, 1, sizeof junk, f);
  fclose(f);
  EXPECT_EQ(Start(At(10, 0)), 0);
  EXPECT_FALSE(timer_.Error().empty());
  // A missing file.
  unlink(path_.c_str());
  EXPECT_EQ(Start(At(10, 0)), 0);
  EXPECT_EQ(CheckAt(At(10, 1)).applied, -1);
  EXPECT_TRUE(station_.events.empty());
}

}  // namespace
