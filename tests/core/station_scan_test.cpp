// The station's scanner over the block hub: a range scan holds on the one frequency that
// carries a signal, records the hold and goes on when it ends; a channel scan tunes the
// checked channels of a list as applying them would; the report is kept and read back, and a
// channel list offered as a report is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/lists/frq_list_file.h"
#include "tests/common/station_fixture.h"

namespace {

using namespace stationtest;

class CScanUi : public CStationUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ScanTuned(float kHz) override { tuned.push_back(kHz); }
  void ScanHold(const ScanEvent& event, int on) override { (on ? holds : releases).push_back(event.kHz); }
  void ScanLineFinished(int line) override { finished.push_back(line); }
  std::vector<std::string> messages;
  std::vector<float> tuned, holds, releases;
  std::vector<int> finished;
};

class StationScanTest : public StationTest<CScanUi> {
 protected:
  void SetUp() override {
    ASSERT_EQ(Start(), 1);
    CSettingsRecord& s = core_.Settings();
    s.SetInt(kCfgScanEventSource, 0);  // a signal is what the audio squelch hears
    s.SetInt(kCfgScanStopOnSignal, 1);
    s.SetInt(kCfgScanDwellMs, 100);    // one block of 1024 samples at 11025 Hz
    s.SetInt(kCfgScanRecordTime, 0);   // hold while the signal lasts
  }
  // One captured block: a warbling tone when the receiver sits on signalKHz, else silence.
  void Step(float signalKHz) {
    AudioBlock* b = nullptr;
    ASSERT_EQ(NewAudioBlock(&b, 1024), 1);
    const bool on = !ui_.tuned.empty() && std::fabs(ui_.tuned.back() - signalKHz) < 0.01f;
    for (int i = 0; i < 1024; ++i, ++phase_)
      b->data[i] = on ? float(8000 * std::sin(phase_ * (0.5 + 0.2 * std::sin(phase_ * 0.003)))) : 0.0f;
    b->tick = GetTickCount();
    core_.ProcessBlock(b);
    FreeAudioBlock(b);
  }

  long phase_ = 0;
};

}  // namespace

TEST_F(StationScanTest, ARangeScanHoldsOnTheSignalRecordsItAndGoesOn) {
  CSettingsRecord& s = core_.Settings();
  s.SetDouble(kCfgScanStart, 7000.0);
  s.SetDouble(kCfgScanStop, 7004.0);
  s.SetInt(kCfgScanStep, 1000);
  s.SetInt(kCfgScanRecordOnSignal, 1);
  ASSERT_EQ(core_.StartRangeScan(), 1) << (ui_.messages.empty() ? "" : ui_.messages.back());
  EXPECT_EQ(core_.Decoder(), kDecoderAudio);
  EXPECT_EQ(s.GetInt(kCfgScanning), 1);
  // The signal at 7002 lasts 20 blocks while the scan sits on it.
  int held = 0;
  for (int i = 0; i < 40; ++i) {
    Step(held < 20 ? 7002.0f : -1.0f);
    if (core_.ScanHolding()) ++held;
  }
  ASSERT_EQ(ui_.holds.size(), 1u);
  EXPECT_FLOAT_EQ(ui_.holds[0], 7002.0f);
  ASSERT_EQ(ui_.releases.size(), 1u);
  EXPECT_GE(held, 20);
  // It went on afterwards and started over at the range's start.
  EXPECT_NE(std::find(ui_.tuned.begin(), ui_.tuned.end(), 7004.0f), ui_.tuned.end());
  EXPECT_FALSE(ui_.finished.empty());
  ASSERT_EQ(core_.ScanEvents().size(), 1u);
  EXPECT_GE(core_.ScanEvents()[0].blocks, 20);
  const fs::path recording = core_.Settings().GetPath(kCfgDataFolder) + "/" + kScanRecordingName;
  EXPECT_EQ(core_.PlayScanEvent(0), 1);
  core_.StopScan();
  EXPECT_EQ(s.GetInt(kCfgScanning), 0);
  core_.Shutdown();
  // The hold's audio is in the recording: 16-bit samples behind a 44-byte header.
  EXPECT_GE(fs::file_size(recording), 44u + 20u * 1024u * 2u);
}

TEST_F(StationScanTest, AChannelScanTunesTheCheckedChannelsAsApplyingThemWould) {
  CFrqRecord fax = FrqTemplate();
  fax.rxFrq = 7880.0;
  fax.decoder = FrqDecoderValue(kDecoderFax, 576, 0);
  fax.faxCenter = 1900;
  fax.modulation = 1;  // USB
  fax.flags = int32_t(kListEntryChecked);
  CFrqRecord skipped = FrqTemplate();
  skipped.rxFrq = 5000.0;
  CFrqRecord am = FrqTemplate();
  am.rxFrq = 6000.0;
  am.modulation = 7;  // AM
  am.flags = int32_t(kListEntryChecked);
  const std::string list = base_ + "/channels.scl";
  ASSERT_EQ(WriteFrqRecordFile(list, {fax, skipped, am}), 1);
  ASSERT_EQ(core_.StartChannelScan(list), 1) << (ui_.messages.empty() ? "" : ui_.messages.back());
  for (int i = 0; i < 5; ++i) Step(-1.0f);
  ASSERT_GE(ui_.tuned.size(), 4u);
  EXPECT_NEAR(ui_.tuned[0], 7878.1f, 0.001f);  // the FAX centre below the station in USB
  EXPECT_NEAR(ui_.tuned[1], 6000.0f, 0.001f);
  EXPECT_NEAR(ui_.tuned[2], 7878.1f, 0.001f);
  EXPECT_EQ(core_.Scanner().GetXSize(), 2);

  // The report is kept, and read back whole.
  core_.StopScan();
  const std::string report = base_ + "/scann/report.scl";
  ASSERT_EQ(core_.SaveScanReport(report), 1);
  const int lines = core_.Scanner().GetYSize();
  ASSERT_EQ(core_.LoadScanReport(report), 1);
  EXPECT_EQ(core_.Scanner().GetXSize(), 2);
  EXPECT_EQ(core_.Scanner().GetYSize(), lines);
  // A channel list shares the extension but is no report: refused, and said so.
  EXPECT_EQ(core_.LoadScanReport(list), 0);
  EXPECT_NE(ui_.messages.back().find("not a scanner report"), std::string::npos) << ui_.messages.back();
  EXPECT_EQ(core_.Scanner().GetYSize(), 0);
  // A list without a checked channel starts nothing.
  ASSERT_EQ(WriteFrqRecordFile(list, {skipped}), 1);
  EXPECT_EQ(core_.StartChannelScan(list), 0);
  EXPECT_EQ(core_.Scanning(), 0);
}
