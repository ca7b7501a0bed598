// The station core under its timer schedule: an applied entry keeps the receiver from a
// user's selection but never from the schedule's own next entry, and each entry's end saves
// the text received in its window and the recording.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/core/page_windows.h"
#include "app/core/station_core.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/rtty_transmitter.h"
#include "spl/platform/message_loop.h"

namespace fs = std::filesystem;

namespace {

// 2026-03-14 00:00:00 UTC.
constexpr time_t kBase = 1773446400;
time_t At(int hours, int minutes) { return kBase + hours * 3600 + minutes * 60; }

class CTimerUi : public CStationUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ProductSaved(StationProduct kind, const std::string& path) override { saved.push_back(path); }
  std::vector<std::string> messages, saved;
};

class StationTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kestrel-timer-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    base_ = tmpl;
    loop_.SetOrphanHandler(DiscardAudioMessage);
    core_.SetClock([this] { return now_; });
    ASSERT_EQ(core_.Init(base_, &ui_, &pages_), 1);
    StationOptions o;
    o.port = "sim:12";
    o.audioIn = "null";
    o.audioOut = "null";
    o.synopStore = KESTREL_SYNOP_STORE;
    ASSERT_EQ(core_.Start(o), 1);
  }
  void TearDown() override {
    core_.Shutdown();
    loop_.Pump();
    fs::remove_all(base_);
  }
  // RTTY at the station's default set-up (50 Bd, 1275/1700 Hz) through the block hub.
  void FeedRtty(const std::string& text) {
    CRttyTransmitter tx;
    tx.SetMode(kRttyAsync);
    tx.SetBaud(50.0f);
    tx.SetFreq(1275, 1700);
    ASSERT_EQ(tx.Init(11025, 1024), 1);
    for (char c : text) tx.Transmit(c);
    for (int idle = 0; idle < 12;) {
      AudioBlock* b = nullptr;
      ASSERT_EQ(NewAudioBlock(&b, 1024), 1);
      if (tx.GetBitCount() == 0) ++idle;
      tx.CreateAudio(b);
      b->tick = GetTickCount() - 150;
      core_.ProcessBlock(b);
      FreeAudioBlock(b);
    }
  }
  TimerCheck CheckAt(time_t t) {
    now_ = t;
    return core_.CheckTimer();
  }
  std::vector<fs::path> Files(const std::string& folder) {
    std::vector<fs::path> out;
    if (fs::is_directory(base_ + "/" + folder))
      for (auto& e : fs::directory_iterator(base_ + "/" + folder))
        if (e.path().filename().string()[0] != '.') out.push_back(e.path());
    return out;
  }

  std::string base_;
  time_t now_ = At(9, 0);
  CMessageLoop loop_;
  CLoopPageHost pages_{loop_};
  CTimerUi ui_;
  CStationCore core_;
};

}  // namespace

TEST_F(StationTimerTest, AnAppliedEntryRefusesTheUserButNotTheNextEntry) {
  CFrqRecord rtty = core_.RecordFromSettings(4583.0);
  rtty.flags = int32_t(kTimerEntryEnabled);
  rtty.extension[0] = 600;
  rtty.extension[1] = 620;
  CFrqRecord cw = FrqTemplate();
  cw.rxFrq = 7020.0;
  cw.decoder = 14336;
  cw.cwCenter = 800;
  cw.flags = int32_t(kTimerEntryEnabled);
  cw.extension[0] = 620;
  cw.extension[1] = 640;
  const std::string list = base_ + "/default.tim";
  ASSERT_EQ(WriteFrqRecordFile(list, {rtty, cw}), 1);
  ASSERT_EQ(core_.StartTimer(list), 1);

  EXPECT_EQ(CheckAt(At(10, 0)).applied, 0);
  const double dial = core_.Settings().GetDouble(kCfgFrequency);
  EXPECT_NEAR(dial, FrqDialFrequency(rtty), 1e-9);
  // The user's choice waits for the window's end.
  CFrqRecord other = FrqTemplate();
  other.rxFrq = 14070.5;
  EXPECT_EQ(core_.SelectRecord(other), 0);
  EXPECT_DOUBLE_EQ(core_.Settings().GetDouble(kCfgFrequency), dial);
  ASSERT_FALSE(ui_.messages.empty());
  EXPECT_NE(ui_.messages.back().find("in progress"), std::string::npos);

  // Text with no ZCZC ... NNNN frame is kept all the same, and saved when the window ends.
  ASSERT_EQ(core_.StartRecording(), 1);
  FeedRtty("\r\nWEATHER ROUTINE 1200 UTC WIND WEST 5 SEA MODERATE\r\n");
  EXPECT_TRUE(Files("text").empty());
  const TimerCheck turn = CheckAt(At(10, 20));
  EXPECT_EQ(turn.finished, 0);
  // The schedule's own apply follows at once, although an entry was applied until now.
  EXPECT_EQ(turn.applied, 1);
  EXPECT_EQ(core_.Decoder(), kDecoderCw);
  EXPECT_DOUBLE_EQ(core_.Settings().GetDouble(kCfgFrequency), 7019.2);
  const auto texts = Files("text");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(Files("audio").size(), 1u) << "the recording ends with its window";
  EXPECT_EQ(core_.Recording(), 0);

  EXPECT_EQ(CheckAt(At(10, 40)).finished, 1);
  EXPECT_EQ(core_.SelectRecord(other), 1);
  EXPECT_DOUBLE_EQ(core_.Settings().GetDouble(kCfgFrequency), 14070.5);
}

TEST_F(StationTimerTest, AListThatCannotBeReadLeavesTheTimerStopped) {
  EXPECT_EQ(core_.StartTimer(base_ + "/missing.tim"), 0);
  EXPECT_EQ(core_.Timer().Running(), 0);
  ASSERT_FALSE(ui_.messages.empty());
  EXPECT_EQ(CheckAt(At(10, 0)).applied, -1);
}
