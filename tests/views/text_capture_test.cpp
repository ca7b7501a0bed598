// The message capture: the frame "ZCZC" ... "NNNN" and its edge cases, the characters kept,
// SYNOP translations, the saved files and their names, and the compact names of file lists.
#include "app/views/text_capture.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/safe_file.h"

namespace {

namespace fs = std::filesystem;

// 2024-03-05 10:20:30 UTC.
constexpr time_t kMorning = 1709634030;
// A message body long enough to be saved.
constexpr char kBody[] = "ZCZC EA42\r\nNAVAREA ONE 123/24 GALE WARNING\r\nNNNN";

class RecordingSink : public CTextCaptureSink {
 public:
  void CaptureState(int code) override { states.push_back(code); }
  void SaveLamp(int on) override { lamps.push_back(on); }
  void MessageSaved(const std::string& path) override { saved.push_back(path); }
  void SaveFailed(const std::string& why) override { failed.push_back(why); }
  std::vector<int> states, lamps;
  std::vector<std::string> saved, failed;
};

class TextCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "kestrel-capture-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    folder_ = tmpl;
    SetTimeZone("UTC0");
    capture_.SetClock([this] { return now_; });
    ASSERT_EQ(capture_.Init(folder_, &sink_), 1);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
    SetTimeZone(nullptr);
  }
  static void SetTimeZone(const char* tz) {
    if (tz)
      setenv("TZ", tz, 1);
    else
      unsetenv("TZ");
    tzset();
  }
  void Feed(const std::string& text) {
    for (char c : text) capture_.Char(uint8_t(c));
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<RichRun> SavedRuns(const std::string& path) const {
    std::vector<uint8_t> bytes;
    std::vector<RichRun> runs;
    EXPECT_EQ(ReadWholeFile(path, bytes), 1);
    EXPECT_EQ(ReadRtf(std::string(bytes.begin(), bytes.end()), runs), 1);
    return runs;
  }
  std::string SavedText(const std::string& path) const { return RichPlainText(SavedRuns(path)); }

  std::string folder_;
  time_t now_ = kMorning;
  RecordingSink sink_;
  CTextCapture capture_;
};

TEST_F(TextCaptureTest, CompleteMessageIsSaved) {
  Feed("noise before ");
  EXPECT_EQ(capture_.Capturing(), 0);
  Feed("ZCZC");
  EXPECT_EQ(capture_.Capturing(), 1);
  EXPECT_EQ(capture_.CaptureStart(), kMorning);
  EXPECT_EQ(RichPlainText(capture_.CaptureText()), "ZCZC");
  now_ += 90;  // the name is of the start
  Feed(std::string(kBody).substr(4));
  EXPECT_EQ(capture_.Capturing(), 0);
  EXPECT_TRUE(capture_.CaptureText().empty());
  ASSERT_EQ(sink_.saved.size(), 1u);
  EXPECT_EQ(sink_.saved[0], folder_ + "/RTTY_2024-03-05_10-20.RTF");
  EXPECT_EQ(capture_.LastSaved(), sink_.saved[0]);
  EXPECT_EQ(SavedText(sink_.saved[0]), "ZCZC EA42\nNAVAREA ONE 123/24 GALE WARNING\nNNNN");
  EXPECT_EQ(sink_.states, (std::vector<int>{kStateWaitNnnn, kStateWaitZczc}));
  EXPECT_EQ(sink_.lamps, (std::vector<int>{1, 0}));
  EXPECT_TRUE(sink_.failed.empty());
  // Characters after the end belong to no message.
  Feed("more");
  EXPECT_EQ(Files().size(), 1u);
}

TEST_F(TextCaptureTest, SavedWithTheReceiveFont) {
  RichFont font;
  font.face = "Lucida Console";
  font.halfPoints = 26;
  capture_.SetFont(font);
  Feed(kBody);
  ASSERT_EQ(sink_.saved.size(), 1u);
  std::vector<uint8_t> bytes;
  ASSERT_EQ(ReadWholeFile(sink_.saved[0], bytes), 1);
  const std::string rtf(bytes.begin(), bytes.end());
  EXPECT_NE(rtf.find("\\fcharset0 Lucida Console;"), std::string::npos);
  EXPECT_NE(rtf.find("\\fs26"), std::string::npos);
}

TEST_F(TextCaptureTest, ZczcInsideMessageSavesFirstOpensSecond) {
  Feed("ZCZC FIRST MESSAGE WITHOUT AN END MARK ");
  now_ += 60;
  Feed("ZCZC");
  ASSERT_EQ(sink_.saved.size(), 1u);
  EXPECT_EQ(SavedText(sink_.saved[0]), "ZCZC FIRST MESSAGE WITHOUT AN END MARK ");
  EXPECT_EQ(capture_.Capturing(), 1);
  EXPECT_EQ(capture_.CaptureStart(), kMorning + 60);
  EXPECT_EQ(RichPlainText(capture_.CaptureText()), "ZCZC");
  Feed(" SECOND MESSAGE, ALSO LONG ENOUGH NNNN");
  ASSERT_EQ(sink_.saved.size(), 2u);
  EXPECT_EQ(sink_.saved[1], folder_ + "/RTTY_2024-03-05_10-21.RTF");
  EXPECT_EQ(SavedText(sink_.saved[1]), "ZCZC SECOND MESSAGE, ALSO LONG ENOUGH NNNN");
}

TEST_F(TextCaptureTest, FrameMarksMustBeFourConsecutiveCharacters) {
  Feed("NNNN NNNN");
  EXPECT_TRUE(sink_.states.empty()) << "an end mark without a message changes nothing";
  EXPECT_EQ(capture_.EndCapture(), 0);
  Feed("ZCZ\nC ZCZ\rC ZC ZC Z\x07" "CZC ZCZ\bC");
  EXPECT_EQ(capture_.Capturing(), 0);
  // After the first three characters of a frame, Init starts the detector afresh.
  Feed("ZCZ");
  ASSERT_EQ(capture_.Init(folder_, &sink_), 1);
  Feed("C");
  EXPECT_EQ(capture_.Capturing(), 0);
  Feed("ZCZC");
  EXPECT_EQ(capture_.Capturing(), 1);
  // The same for the end mark.
  Feed("NNN\nN NN NN");
  EXPECT_EQ(capture_.Capturing(), 1);
  EXPECT_TRUE(Files().empty());
}

TEST_F(TextCaptureTest, ShortMessagesAndAutosaveOffCloseWithoutSaving) {
  // 33 characters from the Z on are saved, 32 are not.
  const std::string shortest = "ZCZC " + std::string(24, 'X') + "NNNN";
  ASSERT_EQ(shortest.size(), size_t(kMinMessageChars));
  Feed(shortest.substr(0, 4) + shortest.substr(5));
  EXPECT_EQ(capture_.Capturing(), 0);
  EXPECT_EQ(sink_.lamps.back(), 0);
  EXPECT_TRUE(Files().empty());
  capture_.SetAutosave(0);
  Feed(kBody);
  EXPECT_EQ(capture_.Capturing(), 0);
  EXPECT_TRUE(Files().empty());
  capture_.SetAutosave(1);
  Feed(shortest);
  EXPECT_EQ(Files().size(), 1u);
}

TEST_F(TextCaptureTest, SameMinuteGetsNumberedNames) {
  Feed(kBody);
  now_ += 20;
  Feed(kBody);
  now_ += 5;
  Feed(kBody);
  EXPECT_EQ(Files(), (std::vector<std::string>{"RTTY_2024-03-05_10-20.RTF",
                                              "RTTY_2024-03-05_10-20_2.RTF",
                                              "RTTY_2024-03-05_10-20_3.RTF"}));
}

TEST_F(TextCaptureTest, NamedByLocalStartAcrossMidnight) {
  // UTC 04:59:30 on 1 January is 23:59:30 on 31 December in New York (UTC-5 in winter).
  SetTimeZone("EST5EDT,M3.2.0,M11.1.0");
  now_ = 1704085170;
  Feed("ZCZC");
  now_ += 120;
  Feed(std::string(kBody).substr(4));
  ASSERT_EQ(sink_.saved.size(), 1u);
  EXPECT_EQ(sink_.saved[0], folder_ + "/RTTY_2023-12-31_23-59.RTF");
}

TEST_F(TextCaptureTest, UnwritableFolderReportsAndCloses) {
  // A folder below a plain file cannot be made, not even by root.
  const std::string file = folder_ + "/plain";
  std::string actual;
  ASSERT_EQ(WriteNewFile(file, "x", 1, actual), 1);
  capture_.SetTextFolder(file + "/text");
  Feed(kBody);
  EXPECT_EQ(capture_.Capturing(), 0);
  EXPECT_EQ(sink_.states.back(), kStateWaitZczc);
  EXPECT_TRUE(sink_.saved.empty());
  ASSERT_EQ(sink_.failed.size(), 1u);
  EXPECT_EQ(capture_.LastError(), sink_.failed[0]);
  EXPECT_NE(sink_.failed[0].find(file), std::string::npos) << sink_.failed[0];
  EXPECT_EQ(capture_.LastSaved(), "");
  // A missing folder that can be made is made.
  capture_.SetTextFolder(folder_ + "/new/text");
  Feed(kBody);
  ASSERT_EQ(sink_.saved.size(), 1u);
  EXPECT_EQ(sink_.saved[0], folder_ + "/new/text/RTTY_2024-03-05_10-20.RTF");
  EXPECT_EQ(capture_.LastError(), "");
}

TEST_F(TextCaptureTest, CharactersKeptInTheMessage) {
  const char received[] = "ZCZC A\r\nB\nC\r\rD\n\rE\tF\x07\x1b\x00G\b\bH\xe9\x80\xff";
  Feed(std::string(received, sizeof received - 1));
  capture_.Char(-1);
  capture_.Char(256);
  capture_.Char('\b');
  EXPECT_EQ(RichPlainText(capture_.CaptureText()), "ZCZC A\nB\nC\n\nD\n\nE\tH\xe9\x80");
  EXPECT_EQ(capture_.CaptureChars(), 20u);
  // Backspaces past the start of the message remove nothing more.
  Feed(std::string(40, '\b'));
  EXPECT_TRUE(capture_.CaptureText().empty());
  EXPECT_EQ(capture_.Capturing(), 1);
  Feed("ZCZC \xe9t\xe9 on 8 March, WINDS N 10 KT, SEA 3 M NNNN");
  ASSERT_EQ(sink_.saved.size(), 1u);
  EXPECT_EQ(SavedText(sink_.saved[0]), "ZCZC \xe9t\xe9 on 8 March, WINDS N 10 KT, SEA 3 M NNNN");
}

TEST_F(TextCaptureTest, SynopTranslationInItsOwnColourAndNothingKeptOutsideAMessage) {
  capture_.AppendTranslation("report before any message");
  EXPECT_TRUE(capture_.CaptureText().empty());
  capture_.SetColour(0x0000FF);
  Feed("ZCZC SMDL01\r\nAAXX 05121 10384 ");
  capture_.AppendTranslation("Berlin:\r\nwind NNNN 10 kt");
  Feed("more NNNN");
  ASSERT_EQ(sink_.saved.size(), 1u);
  const std::vector<RichRun> runs = SavedRuns(sink_.saved[0]);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].text, "ZCZC SMDL01\nAAXX 05121 10384 \n\n");
  EXPECT_EQ(runs[0].colour, 0x0000FFu);
  EXPECT_EQ(runs[1].text, "Berlin:\nwind NNNN 10 kt");
  EXPECT_EQ(runs[1].colour, kSynopColour);
  EXPECT_EQ(runs[2].text, "more NNNN");
  EXPECT_EQ(runs[2].colour, 0x0000FFu);
}

TEST_F(TextCaptureTest, TimerStartsAndEndsCaptures) {
  capture_.StartCapture();
  EXPECT_EQ(capture_.Capturing(), 1);
  Feed("a timed recording without frame marks");
  EXPECT_EQ(capture_.EndCapture(), 1);
  EXPECT_EQ(SavedText(capture_.LastSaved()), "a timed recording without frame marks");
  EXPECT_EQ(capture_.EndCapture(), 0);

  // While an entry runs, a new capture opens as soon as one ends.
  capture_.SetTimerActive(1);
  Feed(kBody);
  EXPECT_EQ(sink_.saved.size(), 2u);
  EXPECT_EQ(capture_.Capturing(), 1);
  EXPECT_EQ(sink_.states.back(), kStateWaitNnnn);
  EXPECT_EQ(sink_.lamps.back(), 1);
  EXPECT_TRUE(capture_.CaptureText().empty());
  Feed(" after the end mark, still recorded for the timer");
  now_ += 3600;
  capture_.SetTimerActive(0);
  EXPECT_EQ(capture_.EndCapture(), 1);
  EXPECT_EQ(capture_.Capturing(), 0);
  EXPECT_EQ(SavedText(capture_.LastSaved()), " after the end mark, still recorded for the timer");
  // StartCapture while open ends the open one first.
  capture_.StartCapture();
  Feed("short");
  capture_.StartCapture();
  EXPECT_EQ(capture_.Capturing(), 1);
  EXPECT_TRUE(capture_.CaptureText().empty());
}

TEST_F(TextCaptureTest, InitNeedsAFolderAndResets) {
  Feed("ZCZC open");
  EXPECT_EQ(capture_.Init("", &sink_), 0);
  EXPECT_EQ(capture_.Capturing(), 1);  // left as it was
  EXPECT_EQ(capture_.Init(folder_, nullptr), 1);
  EXPECT_EQ(capture_.Capturing(), 0);
  EXPECT_EQ(capture_.CaptureStart(), 0);
  Feed(kBody);  // no sink: still saved
  EXPECT_EQ(Files().size(), 1u);
}

TEST(CompactFileName, DatedProductsAndOtherNamesUnchanged) {
  EXPECT_EQ(CompactFileName("RTTY_1999-12-17_11-01.RTF"), "991217 11:01.RTF");
  EXPECT_EQ(CompactFileName("SCANN_2001-01-02_03-04.SCL"), "010102 03:04.SCL");
  // A second product of the same minute keeps its number.
  EXPECT_EQ(CompactFileName("RTTY_1999-12-17_11-01_2.RTF"), "991217 11:01_2.RTF");
  for (const char* name :
       {"", "RTTY_", "notes.rtf", "rtty_1999-12-17_11-01.RTF", "RTTY_1999-12-17_11-0.RTF",
        "RTTY_1999-12-17_11-011.RTF", "RTTY_1999-12-17 11-01.RTF", "RTTY_1999/12/17_11-01.RTF",
        "SYNOP_1999-12-17_11-01.RTF", "RTTY_19a9-12-17_11-01.RTF", "SCAN_TEMP.WAV"})
    EXPECT_EQ(CompactFileName(name), name);
}

}  // namespace
