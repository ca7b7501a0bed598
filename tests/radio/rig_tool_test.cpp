// The kestrel rig command against a simulated receiver on a pty.
#include "tests/common/signal_test_util.h"
#include "tests/radio/radio_test_util.h"

namespace {


sigtest::ToolResult Tool(const std::string& args) { return sigtest::RunTool(args); }

TEST(RigTool, TypesListsTheTable) {
  auto run = Tool("rig types");
  ASSERT_EQ(run.status, 0) << run.out;
  int lines = 0;
  for (char c : run.out) lines += c == '\n';
  EXPECT_EQ(lines, 1 + 24);
  EXPECT_NE(run.out.find("ICOM PCR1000"), std::string::npos);
  EXPECT_NE(run.out.find("0xFF08B LSB USB CW AM FM WFM; att,ifw,vol,sql,agc,nb"),
            std::string::npos);
  EXPECT_NE(run.out.find("9600 7E1"), std::string::npos);
  EXPECT_NE(run.out.find("rigctld (hamlib) over TCP"), std::string::npos);
}

TEST(RigTool, TunesASimulatedReceiver) {
  CSimReceiver sim;
  ASSERT_EQ(sim.Init(3), 1);
  auto run = Tool("rig --type 3 --port " + sim.DevicePath() + " --mode am --frq 7055.125");
  EXPECT_EQ(run.status, 0) << run.out;
  ASSERT_EQ(sim.WaitReceived(14, kWaitMs), 1);
  auto got = sim.Received();
  EXPECT_EQ(std::string(got.begin(), got.end()), "MU4\rFU0705513\r");
  EXPECT_EQ(sim.State().mode, kModeAM);
  EXPECT_TRUE(sim.Faults().empty());
  // A value the receiver type does not have: nothing sent, exit status 1.
  sim.Clear();
  run = Tool("rig --type 3 --port " + sim.DevicePath() + " --mode WFM");
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("refuses mode WFM"), std::string::npos) << run.out;
}

TEST(RigTool, BadInputNamesTheCause) {
  auto run = Tool("rig --type 3 --port /dev/kestrel-no-such-port --frq 7000");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("kestrel: /dev/kestrel-no-such-port: No such file or directory"),
            std::string::npos)
      << run.out;
  CSimReceiver sim;
  ASSERT_EQ(sim.Init(3), 1);
  CRadio holder;
  holder.SetReceiver(3);
  ASSERT_EQ(holder.Init(sim.DevicePath(), 0), 1);
  run = Tool("rig --type 3 --port " + sim.DevicePath() + " --frq 7000");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find(sim.DevicePath() + ": Device or resource busy"), std::string::npos)
      << run.out;
  for (const char* bad : {"--type 25 --port COM1", "--type 3 --port COM1 --mode XYZ", "--type 3"})
    EXPECT_EQ(Tool(std::string("rig ") + bad).status, 2) << bad;
}

}  // namespace
