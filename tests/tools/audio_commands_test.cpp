// The tool's audio-loop commands run end to end without a sound card: the demo (audio loop,
// SSTV chart, scan), recording and playing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"

namespace {

using sigtest::RunTool;

// One run of the demo for all its steps: the audio loop, the SSTV chart through it, the scan.
TEST(AudioCommands, DemoCarriesEveryBlockOfTheSweepThroughTheLoop) {
  sigtest::TempDir dir;
  auto r = RunTool("demo --seconds 1 --out " + dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  // 1 s at 11025 Hz: ten full blocks and a short last one, every full one played.
  EXPECT_NE(r.out.find("11 blocks (11025 samples) captured, peak -6.0 dBFS, 10 played"),
            std::string::npos)
      << r.out;
  // The NAVTEX warning comes back through the loop, noise and all.
  EXPECT_NE(r.out.find("ZCZC EA03\nGALE WARNING GERMAN BIGHT\nSW 8 VEERING NW 9 LATER. SEA ROUGH.\nNNNN"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("demo: scan of 32 steps, signals: 7005.000 7017.000 7024.000 kHz"),
            std::string::npos)
      << r.out;
  // The chart received through the live audio loop and saved as JPEG: the yellow bar (second
  // of eight), half way down the bars.
  EXPECT_NE(r.out.find("(VIS 12), saved as " + dir.File("sstv_robot72.jpg")), std::string::npos)
      << r.out;
  CDibSection dib;
  HBITMAP h = dib.LoadFile(dir.File("sstv_robot72.jpg").c_str());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(std::abs(dib.Height(h)), 240);
  const COLORREF yellow = dib.PixelColor(h, 60, 90);
  EXPECT_GT(GetRValue(yellow), 170);
  EXPECT_GT(GetGValue(yellow), 170);
  EXPECT_LT(GetBValue(yellow), 100);
  DeleteObject(h);
}

// The codecs in detail are the recorder's own tests; here one goes through the tool.
TEST(AudioCommands, RecordThenPlayACodecFile) {
  sigtest::TempDir dir;
  ASSERT_TRUE(sigtest::WriteMonoWav(dir.File("in.wav"), 11025, std::vector<float>(5000, 1000.0f)));
  const std::string out = dir.File("rec.wav");
  auto rec = RunTool("record --codec ima-adpcm --device wavfast:" + dir.File("in.wav") + " -o " + out);
  ASSERT_EQ(rec.status, 0) << rec.out;
  EXPECT_NE(rec.out.find("5000 samples recorded"), std::string::npos) << rec.out;
  auto play = RunTool("play --device null " + out);
  ASSERT_EQ(play.status, 0) << play.out;
  EXPECT_NE(play.out.find("played on null"), std::string::npos) << play.out;
}

TEST(AudioCommands, BadInputIsNamedWithStatus2) {
  auto r = RunTool("record -o /tmp/never.wav --device no_such_pcm --seconds 1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("kestrel: no_such_pcm: InitAudio error"), std::string::npos) << r.out;
  r = RunTool("play /nonexistent.wav");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("kestrel: /nonexistent.wav:"), std::string::npos) << r.out;
  EXPECT_EQ(RunTool("record -o /tmp/x.wav --codec mp3").status, 2);
}

}  // namespace
