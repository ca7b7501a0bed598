// The station core under its timer schedule: an applied entry keeps the receiver from a
// user's selection but never from the schedule's own next entry, and each entry's end saves
// the text received in its window and the recording.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/station_fixture.h"

namespace {

using namespace stationtest;

// 2026-03-14 00:00:00 UTC.
constexpr time_t kBase = 1773446400;
time_t At(int hours, int minutes) { return kBase + hours * 3600 + minutes * 60; }

class CTimerUi : public CStationUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

class StationTimerTest : public StationTest<CTimerUi> {
 protected:
  void SetUp() override {
    core_.SetClock([this] { return now_; });
    ASSERT_EQ(Start(), 1);
  }
  TimerCheck CheckAt(time_t t) {
    now_ = t;
    return core_.CheckTimer();
  }

  time_t now_ = At(9, 0);
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
  FeedRtty(core_, "\r\nWEATHER ROUTINE 1200 UTC WIND WEST 5 SEA MODERATE\r\n");
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
