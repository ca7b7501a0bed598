// The station core on the simulated receiver and the ALSA null capture: the block hub's
// stages, decoder groups, receiver setters, frequency records and shutdown saving.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "spl/decoders/cw_transmitter.h"
#include "tests/common/station_fixture.h"

namespace {

using namespace stationtest;

class CRecordingUi : public CStationUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void StatusPane(int pane, const std::string& text) override { panes[pane] = text; }
  void ReceivedChar(int ch) override { text += char(ch); }
  void PendingText(const std::string& t) override { pending = t; }
  void Display(int kind, const AudioBlock* block, int wParam) override {
    ++displays;
    waterfall += kind == kDisplayTimeSpectrum && wParam == 0;  // the input's own lines
  }
  void DecoderQuality(int q, const std::string& t) override {
    best_quality = std::max(best_quality, q), tuning = t;
  }
  std::vector<std::string> messages;
  int best_quality = -1;
  std::string tuning;
  std::map<int, std::string> panes;
  std::string text, pending;
  int displays = 0, waterfall = 0;
};

using StationCoreTest = StationTest<CRecordingUi>;

const char* kMessage = "ZCZC AB12\nGALE WARNING FORTIES CROMARTY SOUTHWEST 8\nNNNN\n";

bool Copied(const CRecordingUi& ui) { return ui.text.find("GALE WARNING FORTIES") != std::string::npos; }

}  // namespace

TEST_F(StationCoreTest, FirstStartUsesTheDefaultsAndWritesBothFilesOnExit) {
  ASSERT_EQ(Start(), 1) << Said();
  // The simulated band's weather station sits at the default tuning: its decoder is chosen.
  EXPECT_EQ(ui_.panes[kPaneDecoder], "SYNOP");
  EXPECT_EQ(ui_.panes[kPaneFrequency], "4581.513");
  EXPECT_EQ(ui_.panes[kPaneState], "WAIT_ZCZC");
  EXPECT_EQ(core_.GroupActive(kGroupText), 1);
  EXPECT_EQ(core_.Settings().GetPath(kCfgFaxFolder), base_ + "/fax");
  core_.Shutdown();
  EXPECT_EQ(fs::file_size(base_ + "/KSTLCONFIG.CFG"), uintmax_t(kSettingsRecordSize));
  EXPECT_TRUE(fs::exists(base_ + "/KSTLAUDIOFORM.CFG"));
  CProfileFile ini;
  ASSERT_EQ(ini.Load(base_ + "/KSTL.INI"), 1);
  EXPECT_EQ(ini.GetInt("RADIO", "receiver", 0), 12);
  EXPECT_EQ(ini.GetString("RADIO", "recname", ""), "ICOM PCR 1000");
}

TEST_F(StationCoreTest, StaleBlocksAreDecodedButNotDrawnFreshOnesAreDrawn) {
  ASSERT_EQ(Start(), 1);
  FeedRtty(core_, kMessage);
  EXPECT_EQ(ui_.displays, 0);
  EXPECT_TRUE(Copied(ui_)) << ui_.text;
  FeedRtty(core_, "RYRY", 0);
  EXPECT_GT(ui_.displays, 0);
  // The message went into the text folder, once.
  EXPECT_EQ(Files("text").size(), 1u);
}

TEST_F(StationCoreTest, FractionalBaudOffTuneSignalsAreFoundAndTheQualityShown) {
  ASSERT_EQ(Start(), 1);
  core_.SetRttyBaud(45.45);
  EXPECT_EQ(core_.Settings().GetInt(kCfgRttyBaud), 45);  // the file's whole-number field
  EXPECT_DOUBLE_EQ(core_.RttyBaud(), 45.45);
  core_.Settings().SetInt(kCfgRttyTone1, 1275);
  core_.Settings().SetInt(kCfgRttyTone2, 1445);
  ASSERT_EQ(core_.SelectDecoder(kDecoderRtty), 1);
  // 120 Hz above the set tones: the decoder finds the pair and says where.
  auto blocks = RttyBlocks("RYRYRY " + std::string(kMessage), kBlock, 45.45f, 1395, 1565);
  Feed(core_, blocks, 0);
  EXPECT_TRUE(Copied(ui_)) << ui_.text;
  EXPECT_GE(ui_.best_quality, kRttyDefaultQuality);
  EXPECT_NEAR(atoi(ui_.tuning.c_str()), 1395, 5) << ui_.tuning;
  // A whole-number rate from elsewhere (a frequency record) replaces the fractional one.
  core_.Settings().SetInt(kCfgRttyBaud, 50);
  EXPECT_DOUBLE_EQ(core_.RttyBaud(), 50.0);
}

TEST_F(StationCoreTest, ShutdownInTheMiddleOfAMessageSavesIt) {
  ASSERT_EQ(Start(), 1);
  FeedRtty(core_, "ZCZC CD34\nTHIS MESSAGE NEVER SEES ITS END BECAUSE THE STATION STOPS\n");
  EXPECT_TRUE(Files("text").empty());
  core_.Shutdown();
  const auto files = Files("text");
  ASSERT_EQ(files.size(), 1u);
  std::ifstream in(files[0]);
  std::string rtf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(rtf.find("NEVER SEES ITS END"), std::string::npos);
}

TEST_F(StationCoreTest, SwitchingGroupsDisconnectsTheOldGroupWithinTheGroupOnlyReconfigures) {
  ASSERT_EQ(Start(), 1);
  const HWND text = core_.PageWindow(kGroupText);
  ASSERT_EQ(core_.SelectDecoder(kDecoderBpsk31), 1);
  EXPECT_EQ(core_.GroupActive(kGroupText), 1);
  EXPECT_EQ(Connect(text, 0), 0) << "the text page stays connected within the group";
  ASSERT_EQ(core_.SelectDecoder(kDecoderFax), 1);
  EXPECT_EQ(core_.GroupActive(kGroupText), 0);
  EXPECT_EQ(core_.GroupActive(kGroupFax), 1);
  EXPECT_EQ(ui_.panes[kPaneState], "FAX_WAIT_START");
  // The text page is off capture: connecting it again succeeds (and is undone).
  EXPECT_EQ(Connect(text, 0), 1);
  DisConnect(text, 0);
  ASSERT_EQ(core_.SelectDecoder(kDecoderSstv), 1);
  EXPECT_EQ(core_.GroupActive(kGroupFax), 0);
  EXPECT_EQ(core_.SelectDecoder(12345), 0);
}

TEST_F(StationCoreTest, CwShowsTheWordItIsReadingAndItsWaterfallAndPrintsItWhenLeavingCw) {
  ASSERT_EQ(Start(), 1);
  ASSERT_EQ(core_.SelectDecoder(kDecoderCw), 1);
  CCwTransmitter tx;
  ASSERT_EQ(tx.Init(kRate, kBlock), 1);
  ASSERT_EQ(tx.SetMode(core_.Settings().GetInt(kCfgCwCenter), 12), 1);
  for (char c : std::string("CQ DE TEST")) tx.Transmit(c);
  // The last letter and a little more than a letter gap, not a word gap.
  std::vector<AudioBlock*> blocks = RenderBlocks(tx, kBlock, 2);
  const size_t fed = blocks.size();
  Feed(core_, blocks, 0);
  EXPECT_EQ(ui_.text, "CQ DE ");
  EXPECT_EQ(ui_.pending, "TEST");
  EXPECT_EQ(size_t(ui_.waterfall), fed) << "the waterfall runs for CW too";
  ASSERT_EQ(core_.SelectDecoder(kDecoderRtty), 1);
  EXPECT_EQ(ui_.text, "CQ DE TEST ");
  EXPECT_EQ(ui_.pending, "");
}

TEST_F(StationCoreTest, OtherBlockSizesDecodeAndImpossibleOnesAreRefused) {
  ASSERT_EQ(Start("sim:12", [](CSettingsRecord& r) { r.SetInt(kCfgBlockSize, 2048); }), 1);
  auto blocks = RttyBlocks(kMessage, 2048);
  Feed(core_, blocks);
  EXPECT_TRUE(Copied(ui_)) << ui_.text;
  ASSERT_EQ(core_.SelectDecoder(kDecoderFax), 1);
  auto fax_blocks = RttyBlocks("RY", 2048);
  Feed(core_, fax_blocks);  // the FAX block is twice the block size: no overflow
  core_.Shutdown();

  CStationCore other;
  CRecordingUi ui;
  EXPECT_EQ(station_.StartCore(other, &ui, "sim", [](CSettingsRecord& r) { r.SetInt(kCfgBlockSize, 1000); }), 0);
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_NE(ui.messages[0].find("1000 samples per block"), std::string::npos) << ui.messages[0];
}

TEST_F(StationCoreTest, SquelchClosedWithMonitorGivesTheDecoderSilence) {
  ASSERT_EQ(Start("sim:12",
                  [](CSettingsRecord& r) {
                    r.SetInt(kCfgSquelchThreshold, 256);
                    r.SetInt(kCfgMonitor, 1);
                  }),
            1);
  FeedRtty(core_, kMessage);
  EXPECT_EQ(ui_.text.find("GALE"), std::string::npos);
}

TEST_F(StationCoreTest, SettersStoreWhileDisconnectedAndFallBackWithoutReceiverControls) {
  ASSERT_EQ(Start(), 1);
  core_.SetMode(0x1000);
  EXPECT_EQ(ui_.panes[kPaneMode], "FM  ");
  core_.SetMode(0x3);  // not one mode: the pane keeps its text
  EXPECT_EQ(ui_.panes[kPaneMode], "FM  ");
  core_.ReceiverOff();
  core_.SetFrequency(7055.125);
  EXPECT_EQ(core_.Settings().GetDouble(kCfgFrequency), 7055.125);
  EXPECT_EQ(ui_.panes[kPaneFrequency], "7055.125");
}

TEST_F(StationCoreTest, ApplyingRecordsTunesTheDialAndSelectsTheDecoder) {
  ASSERT_EQ(Start(), 1);
  CFrqRecord cw = FrqTemplate();
  cw.rxFrq = 7020.0;
  cw.modulation = 0;  // LSB
  cw.decoder = 14336;
  cw.cwCenter = 800;
  ASSERT_EQ(core_.ApplyRecord(cw), 1);
  EXPECT_DOUBLE_EQ(core_.Settings().GetDouble(kCfgFrequency), 7020.8);
  EXPECT_EQ(core_.Decoder(), kDecoderCw);
  EXPECT_EQ(ui_.panes[kPaneMode], "LSB ");

  CFrqRecord fax = FrqTemplate();
  fax.rxFrq = 7880.0;
  fax.decoder = 8192 + 576;
  fax.faxIoc = 576;
  fax.faxLpm = 120;
  fax.faxCenter = 1900;
  fax.faxShift = 800;
  fax.faxFilterWidth = 1200;
  fax.faxBurst1 = fax.faxBurst2 = 0;
  ASSERT_EQ(core_.ApplyRecord(fax), 1);
  EXPECT_EQ(core_.Settings().GetInt(kCfgFaxBurst1), 832);
  EXPECT_EQ(core_.Settings().GetInt(kCfgFaxBurst2), 39);
  EXPECT_DOUBLE_EQ(core_.Settings().GetDouble(kCfgFrequency), 7878.1);
  EXPECT_EQ(core_.GroupActive(kGroupFax), 1);

  CFrqRecord scan = FrqTemplate();
  scan.rxFrq = 100.0;
  scan.decoder = 0;
  scan.startFrq = scan.stopFrq = 0.0;
  scan.scanSteps = 1000;
  ASSERT_EQ(core_.ApplyRecord(scan), 1);
  EXPECT_DOUBLE_EQ(core_.Settings().GetDouble(kCfgScanStart), 100.0);
  EXPECT_DOUBLE_EQ(core_.Settings().GetDouble(kCfgScanStop), 150.0);
  EXPECT_EQ(core_.Decoder(), kDecoderAudio);
}

TEST_F(StationCoreTest, ARecordOfTheCurrentTuningGivesTheSameDialBack) {
  ASSERT_EQ(Start(), 1);
  const CFrqRecord r = core_.RecordFromSettings(0.0);
  EXPECT_NEAR(r.rxFrq, 4581.513 + 1.4875, 1e-9);
  EXPECT_NEAR(FrqDialFrequency(r), 4581.513, 1e-9);
}

TEST_F(StationCoreTest, AWrongSizedSettingsFileIsKeptAsBadAndTheDefaultsUsed) {
  std::ofstream(base_ + "/KSTLCONFIG.CFG", std::ios::binary) << std::string(1200, 'x');
  ASSERT_EQ(Start(), 1);
  EXPECT_TRUE(fs::exists(base_ + "/KSTLCONFIG.CFG.bad"));
  EXPECT_EQ(core_.Settings().GetInt(kCfgSampleRate), 11025);
  ASSERT_FALSE(ui_.messages.empty());
}

TEST_F(StationCoreTest, ARecordingUnderWayWhenTheStationStopsIsKept) {
  ASSERT_EQ(Start(), 1);
  ASSERT_EQ(core_.StartRecording(), 1);
  auto blocks = RttyBlocks("RYRYRY");
  const size_t n = blocks.size();
  Feed(core_, blocks);
  EXPECT_TRUE(Files("audio").empty()) << "a recording gets its name when it ends";
  core_.Shutdown();
  const auto files = Files("audio");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename().string().rfind("AUDIO_", 0), 0u);
  CWavePlayer player;
  ASSERT_EQ(player.Open(files[0].c_str(), kBlock), 1) << player.LastError();
  EXPECT_EQ(player.DataSize(), int(n * kBlock * 2));  // 16-bit PCM, every block
}
