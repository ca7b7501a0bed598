// kestrel scan --channels: a channel list of frequency records scanned on a simulated
// receiver, checked entries only, in list order at their dial frequencies; files that are no
// channel lists (a scanner report among them) refused with the reason.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/lists/frq_list_file.h"
#include "spl/radio/scanner.h"
#include "spl/radio/sim_receiver.h"
#include "tests/common/signal_test_util.h"

namespace {

using sigtest::RunTool;

bool Has(const std::string& out, const std::string& what) { return out.find(what) != std::string::npos; }

// An audio record at kHz: in USB with no decoder the dial is the station's frequency.
CFrqRecord Channel(double kHz, bool checked = true) {
  CFrqRecord r = FrqTemplate();
  r.rxFrq = kHz;
  r.txFrq = kHz;
  r.decoder = 0;
  r.flags = checked ? int32_t(kListEntryChecked) : 0;
  return r;
}

TEST(ChannelScanTool, ChecksEntriesAreScannedInListOrderAndHeldOnSignals) {
  CSimReceiver sim;
  ASSERT_EQ(sim.Init(12), 1);
  sim.SetBand({{7005.0, 170, 0.4}, {7017.0, 120, 0.4}}, 30, 8);
  sigtest::TempDir dir;
  const std::string list = dir.File("default.scl");
  // 7010 is left unchecked; 7017 comes before 7005 in the list.
  ASSERT_EQ(WriteFrqRecordFile(list, {Channel(7000.0), Channel(7017.0), Channel(7010.0, false), Channel(7005.0)}), 1);
  const std::string report = dir.File("reports.scl");
  auto r = RunTool("scan --type 12 --port " + sim.DevicePath() + " --channels " + list +
                   " --rsql 160 --fast --hold 300 --report " + report);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "scan: 3 channels from 7000.000 kHz")) << r.out;
  EXPECT_TRUE(Has(r.out, "column    1      7017.000 kHz")) << r.out;
  EXPECT_TRUE(Has(r.out, "column    2      7005.000 kHz")) << r.out;
  EXPECT_FALSE(Has(r.out, "7010.000")) << r.out;
  EXPECT_TRUE(Has(r.out, "hold      7017.000 kHz")) << r.out;
  EXPECT_TRUE(Has(r.out, "hold      7005.000 kHz")) << r.out;
  CScanner s;
  ASSERT_EQ(s.LoadData(report.c_str()), 1);
  EXPECT_EQ(s.GetXSize(), 3);

  // The report shares the extension but is no channel list.
  r = RunTool("scan --type 12 --port " + sim.DevicePath() + " --channels " + report + " --fast");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "reports.scl")) << r.out;
  // Nor may a report replace the list it scans.
  r = RunTool("scan --type 12 --port " + sim.DevicePath() + " --channels " + list + " --fast --report " + list);
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "would replace the channel list")) << r.out;
  std::vector<CFrqRecord> again;
  EXPECT_EQ(ReadFrqListFile(list, 0, again, nullptr), 1);
  EXPECT_EQ(again.size(), 4u);
}

TEST(ChannelScanTool, ListsThatCannotBeScannedAreRefused) {
  sigtest::TempDir dir;
  std::ofstream(dir.File("text.scl")) << "7000\n7005\n";
  auto r = RunTool("scan --type 12 --port /dev/null --channels " + dir.File("text.scl"));
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "text.scl")) << r.out;
  ASSERT_EQ(WriteFrqRecordFile(dir.File("off.scl"), {Channel(7000.0, false)}), 1);
  r = RunTool("scan --type 12 --port /dev/null --channels " + dir.File("off.scl"));
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "no checked channel")) << r.out;
  ASSERT_EQ(WriteFrqRecordFile(dir.File("one.scl"), {Channel(7000.0)}), 1);
  r = RunTool("scan --type 12 --port /dev/null --channels " + dir.File("one.scl") + " --from 7000");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.out, "exclude each other")) << r.out;
}

}  // namespace
