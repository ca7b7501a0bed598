// kestrel timer and kestrel sat timerlist: a timer list run on the simulated band under the
// audio-driven clock, each entry applied at its start and finished at its stop with what it
// received saved; the pass generator's list around midnight; bad lists refused.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/sim_station.h"
#include "app/lists/frq_list_file.h"
#include "spl/sat/sat_passes.h"
#include "tests/common/signal_test_util.h"

namespace fs = std::filesystem;
using sigtest::RunTool;

namespace {

const std::string kBand = std::string(KESTREL_DATA_DIR) + "/simband.txt";
const std::string kTle = std::string(KESTREL_TEST_DATA) + "/sat/elements.tle";

CFrqRecord BandEntry(double kHz, int start, int stop) {
  CFrqRecord r = FrqTemplate();
  EXPECT_EQ(FindSimStationRecord(kBand, kHz, r), 1);
  r.flags = int32_t(kListEntryChecked);
  r.extension[0] = start;
  r.extension[1] = stop;
  return r;
}

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The texts of every file in folder, joined.
std::string FolderText(const std::string& folder) {
  std::string all;
  if (fs::is_directory(folder))
    for (auto& e : fs::directory_iterator(folder)) all += ReadText(e.path());
  return all;
}

size_t LineWith(const std::string& out, const std::string& a, const std::string& b) {
  size_t at = 0;
  while ((at = out.find(a, at)) != std::string::npos) {
    const size_t end = out.find('\n', at);
    if (out.substr(at, end - at).find(b) != std::string::npos) return at;
    ++at;
  }
  return std::string::npos;
}

TEST(TimerTool, TwoEntriesOverSimulatedMinutesAreAppliedFinishedAndSaved) {
  sigtest::TempDir dir;
  const std::string list = dir.File("hour.tim");
  // NAVTEX from 10:00 to 10:05, the RTTY weather station from 10:05 to 10:10, then nothing
  // (each sends a message about once a minute).
  ASSERT_EQ(WriteFrqRecordFile(list, {BandEntry(518.0, 600, 605), BandEntry(4583.0005, 605, 610)}), 1);
  const auto r = RunTool("timer run " + list + " --clock 2026-12-07T10:00 --minutes 15 --base " + dir.File("T"), false);
  ASSERT_EQ(r.status, 0) << r.out;
  const size_t on1 = LineWith(r.out, "2026-12-07 10:00:00  applied entry 1", "518.000 kHz");
  const size_t off1 = LineWith(r.out, "2026-12-07 10:05:00  finished entry 1", "518.000 kHz");
  const size_t on2 = LineWith(r.out, "2026-12-07 10:05:00  applied entry 2", "4583.00");
  const size_t off2 = LineWith(r.out, "2026-12-07 10:10:00  finished entry 2", "4583.00");
  ASSERT_NE(on1, std::string::npos) << r.out;
  ASSERT_NE(off1, std::string::npos) << r.out;
  ASSERT_NE(on2, std::string::npos) << r.out;
  ASSERT_NE(off2, std::string::npos) << r.out;
  EXPECT_TRUE(on1 < off1 && off1 < on2 && on2 < off2) << r.out;
  // Each window saved what it received, and nothing was running at the end.
  EXPECT_EQ(LineWith(r.out, "finished entry 1", "(0 products"), std::string::npos) << r.out;
  EXPECT_EQ(LineWith(r.out, "finished entry 2", "(0 products"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("ended with the run"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2026-12-07 10:15:00  end of run"), std::string::npos) << r.out;
  const std::string texts = FolderText(dir.File("T/text"));
  EXPECT_NE(texts.find("DOVER STRAIT"), std::string::npos) << r.out << texts;
  EXPECT_NE(texts.find("SMDL01"), std::string::npos) << r.out << texts;
  // Products are named by the schedule's clock, not the machine's.
  bool named = false;
  for (auto& e : fs::directory_iterator(dir.File("T/text")))
    named = named || e.path().filename().string().find("2026-12-07") != std::string::npos;
  EXPECT_TRUE(named);
}

TEST(TimerTool, ListsThatAreNoTimerListsAreRefused) {
  sigtest::TempDir dir;
  const std::string list = dir.File("bad.tim");
  ASSERT_EQ(WriteFrqRecordFile(list, {BandEntry(518.0, 620, 600)}), 1);
  auto r = RunTool("timer run " + list + " --clock 2026-12-07T10:00 --minutes 1 --base " + dir.File("T"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("entry 1: timer window 620..600"), std::string::npos) << r.out;
  std::ofstream(dir.File("short.tim")) << "not a list";
  r = RunTool("timer run " + dir.File("short.tim") + " --clock 2026-12-07T10:00 --minutes 1 --base " + dir.File("T"));
  EXPECT_EQ(r.status, 2);
  r = RunTool("timer run " + list + " --clock 10:00 --minutes 1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("YYYY-MM-DDTHH:MM"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir.File("T/KSTLCONFIG.CFG")));
}

// Writes a satellite basis list with one checked entry for satellite satId and one unchecked.
std::string BasisList(const sigtest::TempDir& dir, int satId) {
  CFrqRecord r = FrqTemplate();
  r.rxFrq = 137100.0;
  r.satId = satId;
  SetFrqText(r.name, sizeof r.name, "SAT APT");
  r.flags = int32_t(kListEntryChecked);
  CFrqRecord off = r;
  off.flags = 0;
  SetFrqText(off.name, sizeof off.name, "unchecked");
  const std::string path = dir.File("default.sbl");
  EXPECT_EQ(WriteFrqRecordFile(path, {r, off}), 1);
  return path;
}

TEST(SatTimerListTool, APassUnderWayAtMidnightStartsTheNewDaysList) {
  // A pass, seen from 40 N 75 W, that is under way at a midnight.
  CTrackSat track;
  std::vector<SatElem> sats;
  ASSERT_EQ(track.ReadNASA(kTle.c_str(), sats), 1);
  const Observer obs{-40 * 60, -75 * 60, 0, 0};
  double midnight = 0, end = 0;
  int sat = 0;
  for (const SatElem& s : sats) {
    std::vector<SatPass> passes;
    FindPasses(track, s, obs, 1796083200.0, 24.0 * 10, passes);
    for (const SatPass& p : passes) {
      const double m = std::floor(p.start / 86400.0) * 86400.0 + 86400.0;
      if (p.end > m + 120 && p.start < m - 60 && p.end - p.start < 3 * 3600.0 && !sat) {
        midnight = m;
        end = p.end;
        sat = s.number;
      }
    }
  }
  ASSERT_GT(midnight, 0.0);
  const time_t at = time_t(midnight) + 60;
  struct tm u;
  gmtime_r(&at, &u);
  char when[32];
  strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &u);
  sigtest::TempDir dir;
  const std::string out = dir.File("sat.tim");
  const auto r = RunTool("sat timerlist --sbl " + BasisList(dir, sat) + " --tle " + kTle +
                         " --observer 40,-75 --min-el 0 --time " + when + " --hours 2 -o " + out);
  ASSERT_EQ(r.status, 0) << r.out;
  std::vector<CFrqRecord> list;
  std::string why;
  ASSERT_EQ(ReadFrqListFile(out, 1, list, &why), 1) << why;
  ASSERT_FALSE(list.empty());
  // Today's minute 0, not yesterday's 23:xx taken for today's.
  EXPECT_EQ(list[0].extension[0], 0) << r.out;
  EXPECT_EQ(list[0].extension[1], int(std::floor((end - midnight) / 60.0)) + 1) << r.out;
  for (const CFrqRecord& e : list) EXPECT_STREQ(e.name, "SAT APT");
  EXPECT_NE(r.out.find("  00:00"), std::string::npos) << r.out;
  // Refused: no basis list, and a span the list's two days cannot hold.
  EXPECT_EQ(RunTool("sat timerlist --tle " + kTle + " --observer 40,-75 -o " + out).status, 2);
  EXPECT_EQ(RunTool("sat timerlist --sbl " + BasisList(dir, sat) + " --tle " + kTle + " --observer 40,-75 --hours 30 -o " +
                    out).status,
            2);
}

}  // namespace
