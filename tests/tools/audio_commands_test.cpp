// The tool's audio-loop commands run end to end without a sound card.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct Result {
  int status;
  std::string out;
};

Result Tool(const std::string& args) {
  std::string cmd = std::string(KESTREL_TOOL) + " " + args + " 2>&1";
  Result r{-1, ""};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) r.out += buf;
  int rc = pclose(p);
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return r;
}

std::string TempDir() {
  char tmpl[] = "/tmp/kestrel-tooltest-XXXXXX";
  return mkdtemp(tmpl);
}

TEST(AudioCommands, DemoCarriesEveryBlockOfTheSweepThroughTheLoop) {
  std::string dir = TempDir();
  Result r = Tool("demo --seconds 1 --out " + dir);
  ASSERT_EQ(r.status, 0) << r.out;
  // 1 s at 11025 Hz: ten full blocks and a short last one, every full one played.
  EXPECT_NE(r.out.find("11 blocks (11025 samples) captured, peak -6.0 dBFS, 10 played"),
            std::string::npos)
      << r.out;
  // The NAVTEX warning comes back through the loop, noise and all.
  EXPECT_NE(r.out.find("ZCZC EA03\nGALE WARNING GERMAN BIGHT\nSW 8 VEERING NW 9 LATER. SEA ROUGH.\nNNNN"),
            std::string::npos)
      << r.out;
}

TEST(AudioCommands, RecordThenPlayEveryCodec) {
  std::string dir = TempDir();
  ASSERT_EQ(Tool("demo --seconds 1 --out " + dir).status, 0);
  for (const char* codec : {"pcm", "alaw", "ulaw", "ima-adpcm"}) {
    std::string out = dir + "/rec-" + codec + ".wav";
    Result rec = Tool("record --codec " + std::string(codec) + " --device wavfast:" + dir +
                     "/sweep.wav -o " + out);
    ASSERT_EQ(rec.status, 0) << rec.out;
    EXPECT_NE(rec.out.find("11025 samples recorded"), std::string::npos) << rec.out;
    Result play = Tool("play --device null " + out);
    ASSERT_EQ(play.status, 0) << play.out;
    EXPECT_NE(play.out.find("played on null"), std::string::npos) << play.out;
  }
}

TEST(AudioCommands, BadInputIsNamedWithStatus2) {
  Result r = Tool("record -o /tmp/never.wav --device no_such_pcm --seconds 1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("kestrel: no_such_pcm: InitAudio error"), std::string::npos) << r.out;
  r = Tool("play /nonexistent.wav");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("kestrel: /nonexistent.wav:"), std::string::npos) << r.out;
  r = Tool("record -o /tmp/x.wav --codec mp3");
  EXPECT_EQ(r.status, 2);
  r = Tool("demo --seconds -1");
  EXPECT_EQ(r.status, 2);
  for (const char* c : {"demo", "record", "play"}) EXPECT_EQ(Tool(std::string(c) + " --help").status, 0);
}

}  // namespace
