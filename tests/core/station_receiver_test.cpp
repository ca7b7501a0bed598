// The station core's receiver setters on receiver types with rules of their own: type 22
// tunes only in its own modes (on the simulated receiver), and type 24 is reached through
// hamlib's rigctld at the "host:port" given as the station's port.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/common/station_fixture.h"
#include "tests/radio/rigctld_daemon.h"

namespace {

using rigctld_test::CRigctldDaemon;
using namespace stationtest;

class CPaneUi : public CStationUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void StatusPane(int pane, const std::string& text) override { panes[pane] = text; }
  std::vector<std::string> messages;
  std::map<int, std::string> panes;
};

class StationReceiver : public StationTest<CPaneUi> {
 protected:
  // Starts with receiver type on port.
  int Start(int type, const std::string& port) {
    return StationTest::Start(port, [type](CSettingsRecord& r) { r.SetInt(kCfgReceiverType, type); });
  }
  int Mode() const { return core_.Settings().GetInt(kCfgMode); }
};

TEST_F(StationReceiver, Type22SwitchesToItsFirstModeInsteadOfRefusingTheFrequency) {
  ASSERT_EQ(Start(22, "sim:22"), 1) << Said();
  // The stored tuning is USB, which type 22 lacks: it came up in AM, its first mode.
  EXPECT_EQ(Mode(), kModeAM);
  EXPECT_EQ(ui_.panes[kPaneMode], "AM  ");
  core_.SetMode(kModeFM);
  core_.SetMode(kModeUSB);  // not its own: AM again, and shown
  EXPECT_EQ(Mode(), kModeAM);
  EXPECT_EQ(ui_.panes[kPaneMode], "AM  ");
  core_.SetMode(kModeWFM);
  core_.SetFrequency(98500.0);  // its own mode stays
  EXPECT_EQ(Mode(), kModeWFM);
  EXPECT_DOUBLE_EQ(core_.Settings().GetDouble(kCfgFrequency), 98500.0);
  // Disconnected, the setters store what they are given.
  core_.ReceiverOff();
  core_.SetMode(kModeUSB);
  EXPECT_EQ(Mode(), kModeUSB);
}

TEST_F(StationReceiver, Type24DrivesRigctldAtTheGivenAddress) {
  if (CRigctldDaemon::Program().empty())
    GTEST_SKIP() << "rigctld (Debian package libhamlib-utils) is not installed";
  CRigctldDaemon daemon;
  const int port = daemon.Start();
  ASSERT_NE(port, 0) << "rigctld did not start listening";
  ASSERT_EQ(Start(24, "localhost:" + std::to_string(port)), 1)
      << Said();
  EXPECT_EQ(core_.Radio().PortDevice(), "localhost:" + std::to_string(port));
  // Connected, the station applied its stored tuning: 4581.513 kHz USB.
  EXPECT_EQ(daemon.AskOne("f"), "4581513");
  EXPECT_EQ(daemon.Mode(), "USB");

  core_.SetFrequency(7055.5);
  EXPECT_EQ(daemon.AskOne("f"), "7055500");
  core_.SetMode(kModeLSB);
  core_.SetIfWidth(3);
  EXPECT_EQ(daemon.Ask("m", 2), (std::vector<std::string>{"LSB", "3000"}));
  core_.SetVolume(255);  // the receiver's own volume and squelch, not the station's
  EXPECT_EQ(daemon.AskOne("l AF"), "1.000000");
  core_.SetSquelch(0);
  EXPECT_EQ(daemon.AskOne("l SQL"), "0.000000");
  core_.SetAttenuator(1);
  EXPECT_EQ(daemon.AskOne("l ATT"), "10");
  core_.SetAgc(0);
  EXPECT_EQ(daemon.AskOne("l AGC"), "0");
  core_.SetNoiseBlanker(1);
  EXPECT_EQ(daemon.AskOne("u NB"), "1");
  EXPECT_TRUE(ui_.messages.empty()) << ui_.messages[0];
}

TEST_F(StationReceiver, Type24WithNothingListeningSaysSo) {
  const int closed = rigctld_test::PickFreePort();
  const std::string address = "localhost:" + std::to_string(closed);
  EXPECT_EQ(Start(24, address), 0);
  ASSERT_FALSE(ui_.messages.empty());
  EXPECT_NE(ui_.messages.back().find("The receiver cannot be reached over the port " + address),
            std::string::npos)
      << ui_.messages.back();
  EXPECT_NE(ui_.messages.back().find("Connection refused"), std::string::npos)
      << ui_.messages.back();
}

}  // namespace
