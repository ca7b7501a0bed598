// kestrel frqlist: the starter list imported into a new base folder and exported again byte
// for byte, the list sorted, a row shown and applied, and a bad file that adds nothing.
// kestrel records: a timer list built from rows of the list, toggled and thinned, and list
// files that must be refused and left alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/safe_file.h"
#include "app/lists/frq_record.h"
#include "tests/common/signal_test_util.h"

namespace {

const std::string kStarter = std::string(KESTREL_DATA_DIR) + "/frqlist.csv";

std::string Text(const std::string& path) {
  std::vector<uint8_t> b;
  ReadWholeFile(path, b);
  return std::string(b.begin(), b.end());
}

TEST(FrqlistTool, ImportExportListShowApply) {
  sigtest::TempDir dir;
  const std::string base = " --base " + dir.path() + " ";
  // Nothing to list before the file exists.
  EXPECT_NE(sigtest::RunTool("frqlist" + base + "list").status, 0);

  sigtest::ToolResult r = sigtest::RunTool("frqlist" + base + "import " + kStarter);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("rows imported"), std::string::npos) << r.out;
  // In the station's data folder, where the station itself looks.
  std::vector<uint8_t> db;
  EXPECT_TRUE(ReadWholeFile(dir.File("data/FrqData.mdb"), db));
  r = sigtest::RunTool("frqlist" + base + "export " + dir.File("out.csv"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Text(dir.File("out.csv")), Text(kStarter));

  // Sorted by frequency the lowest station comes first: MSF on 60 kHz.
  r = sigtest::RunTool("frqlist" + base + "list --sort \"Frequency (KHz)\"", false);
  ASSERT_EQ(r.status, 0);
  const size_t first = r.out.find('\n') + 1;
  EXPECT_NE(r.out.substr(first, r.out.find('\n', first) - first).find("60.000"), std::string::npos) << r.out;
  EXPECT_EQ(sigtest::RunTool("frqlist" + base + "list --sort Name", false).status, 0);
  EXPECT_NE(sigtest::RunTool("frqlist" + base + "list --sort Steps").status, 0);

  // Row 1 is the first of the file: NAVTEX on 518 kHz, tuned 1.7 kHz below in USB.
  r = sigtest::RunTool("frqlist" + base + "show 1", false);
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("NAVTEX = SITOR B 100 Baud inv."), std::string::npos) << r.out;
  r = sigtest::RunTool("frqlist" + base + "apply 1", false);
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("dial 516.300 kHz, mode USB"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("(code 18, NAVTEX)"), std::string::npos) << r.out;
  EXPECT_NE(sigtest::RunTool("frqlist" + base + "show 999").status, 0);

  // A bad value: named by line and column, nothing added.
  std::string bad = Text(kStarter);
  const size_t line3 = bad.find("\r\n", bad.find("\r\n") + 2) + 2;
  bad.replace(line3, bad.find(',', line3) - line3, "-5.000");
  ASSERT_TRUE(WriteFileReplacing(dir.File("bad.csv"), bad.data(), bad.size()));
  r = sigtest::RunTool("frqlist" + base + "import " + dir.File("bad.csv"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("line 3, column 1 (RX-FRQ (KHz))"), std::string::npos) << r.out;
  r = sigtest::RunTool("frqlist" + base + "export " + dir.File("again.csv"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Text(dir.File("again.csv")), Text(kStarter));
}

TEST(RecordsTool, TimerListFromTheFrequencyList) {
  sigtest::TempDir dir;
  const std::string base = " --base " + dir.path() + " ";
  ASSERT_EQ(sigtest::RunTool("frqlist" + base + "import " + kStarter).status, 0);
  const std::string tim = dir.File("default.tim");
  // Row 1 (NAVTEX 518 kHz) from 23:00 to 01:00 the next day, then row 5 before it.
  sigtest::ToolResult r = sigtest::RunTool("records" + base + "add " + tim + " 1 --start 23:00 --stop 25:00");
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(sigtest::RunTool("records" + base + "add " + tim + " 5 --at 1").status, 0);
  std::vector<CFrqRecord> list;
  ASSERT_TRUE(ReadFrqRecordFile(tim, list));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].rxFrq, 7880.0);
  EXPECT_EQ(list[1].rxFrq, 518.0);
  EXPECT_EQ(uint32_t(list[1].flags), 0x80000000u);
  EXPECT_EQ(list[1].extension[0], 23 * 60);
  EXPECT_EQ(list[1].extension[1], 25 * 60);
  r = sigtest::RunTool("records show " + tim, false);
  ASSERT_EQ(r.status, 0);
  const size_t second = r.out.find("\n002  x ");
  ASSERT_NE(second, std::string::npos) << r.out;
  const std::string line = r.out.substr(second + 1, r.out.find('\n', second + 1) - second - 1);
  const size_t start = line.find("  23:00"), stop = line.find("+ 01:00"), kHz = line.find("518.000");
  EXPECT_TRUE(start != std::string::npos && start < stop && stop < kHz && kHz != std::string::npos) << line;

  ASSERT_EQ(sigtest::RunTool("records toggle " + tim + " 2").status, 0);
  ASSERT_TRUE(ReadFrqRecordFile(tim, list));
  EXPECT_EQ(list[1].flags, 0);
  ASSERT_EQ(sigtest::RunTool("records delete " + tim + " 1").status, 0);
  ASSERT_TRUE(ReadFrqRecordFile(tim, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].rxFrq, 518.0);
  EXPECT_NE(sigtest::RunTool("records delete " + tim + " 2").status, 0);
  EXPECT_NE(sigtest::RunTool("records" + base + "add " + tim + " 1 --start 10:00 --stop 09:00").status, 0);

  // Refused and left as they are: a size that is no whole number of records, an entry with
  // a country past the table, a timer window past the next day.
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(tim, bytes));
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  ASSERT_TRUE(WriteFileReplacing(dir.File("odd.scl"), longer.data(), longer.size()));
  r = sigtest::RunTool("records toggle " + dir.File("odd.scl") + " 1");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("429 bytes"), std::string::npos) << r.out;
  CFrqRecord bad = list[0];
  bad.country = 300;
  ASSERT_TRUE(WriteFrqRecordFile(dir.File("bad.sbl"), {list[0], bad}));
  r = sigtest::RunTool("records delete " + dir.File("bad.sbl") + " 1");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("entry 2: Country: 300 is out of range"), std::string::npos) << r.out;
  std::vector<CFrqRecord> kept;
  ASSERT_TRUE(ReadFrqRecordFile(dir.File("bad.sbl"), kept));
  EXPECT_EQ(kept.size(), 2u);
  bad = list[0];
  bad.extension[1] = 2 * 1440;
  ASSERT_TRUE(WriteFrqRecordFile(dir.File("late.tim"), {bad}));
  r = sigtest::RunTool("records show " + dir.File("late.tim"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("timer window"), std::string::npos) << r.out;
}

}  // namespace
