// kestrel station: the whole station without a display, from wave files made by our
// transmitters (with noise) and from the simulated band; the products in the base folder and
// the settings files written at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/profile_file.h"
#include "app/views/picture_capture.h"
#include "spl/dsp/block_resampler.h"
#include "spl/image/dib_section.h"
#include "spl/platform/rich_text.h"
#include "tests/common/rtty_signal.h"
#include "tests/common/signal_test_util.h"

namespace fs = std::filesystem;
using sigtest::RunTool;

namespace {

class StationTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kestrel-station-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::vector<fs::path> Files(const std::string& folder) const {
    std::vector<fs::path> out;
    if (fs::is_directory(dir_ + "/" + folder))
      for (auto& e : fs::directory_iterator(dir_ + "/" + folder)) out.push_back(e.path());
    return out;
  }
  std::string Station(const std::string& args) const {
    return "station --base " + dir_ + "/T --port sim --audio-out null " + args;
  }
  std::string dir_;
};

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const char* kNavtex =
    "ZCZC EA41\nNAVAREA I WARNING 123.\nNORTH SEA. DRILLING RIG ENSCO 72 ESTABLISHED\n"
    "55-12.3N 002-34.5E. WIDE BERTH REQUESTED.\nNNNN\n";

}  // namespace

TEST_F(StationTool, NavtexFileThroughNoiseLeavesOneMessage) {
  rttysig::Link link;
  link.mode = kRttySitorB;
  link.tx_baud = 100.0f;
  link.rx_baud = 100;
  link.mark = 1785;  // NAVTEX: the higher tone is binary 1
  link.space = 1615;
  std::vector<float> s = rttysig::Render(link, kNavtex, 2.0);
  ASSERT_FALSE(s.empty());
  sigtest::AddNoise(s, 11025, 10.0, 7);
  const std::string wav = dir_ + "/navtex.wav";
  ASSERT_TRUE(sigtest::WriteMonoWav(wav, 11025, s));

  const auto r = RunTool(Station("--audio-in wavfast:" + wav + " --decoder 18 --until-end"), false);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("DRILLING RIG ENSCO 72"), std::string::npos) << r.out;
  const auto texts = Files("T/text");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].filename().string().rfind("RTTY_", 0), 0u);
  EXPECT_EQ(texts[0].extension(), ".RTF");

  const std::string cfg = ReadText(dir_ + "/T/KSTLCONFIG.CFG");
  ASSERT_EQ(cfg.size(), 3477u);
  int32_t code = 0;
  memcpy(&code, cfg.data() + 3081, 4);
  EXPECT_EQ(code, 18);
  CProfileFile ini;
  ASSERT_EQ(ini.Load(dir_ + "/T/KSTL.INI"), 1);
  EXPECT_TRUE(ini.Has("RADIO", "receiver"));

  // The saved message is the whole warning (how other programs read our RTF is the writer's
  // own test).
  std::vector<RichRun> runs;
  ASSERT_EQ(ReadRtf(ReadText(texts[0]), runs), 1);
  const std::string text = RichPlainText(runs);
  for (const char* line : {"ZCZC EA41", "NAVAREA I WARNING 123.", "55-12.3N 002-34.5E. WIDE BERTH REQUESTED.", "NNNN"})
    EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
}

TEST_F(StationTool, FaxFileGivesABmpAndItsPreviewInTheFaxFolder) {
  // A 300-line picture: white with a black block on the left half of its middle third.
  CDibSection dib;
  HBITMAP pic = dib.Create(600, 300, 24);
  ASSERT_NE(pic, nullptr);
  const int bpl = dib.BPL(pic);
  memset(dib.AdrH(pic), 0xFF, size_t(bpl) * 300);
  for (int y = 100; y < 200; ++y)
    memset(dib.AdrH(pic) + size_t(y) * bpl, 0, 300 * 3);
  const std::string in = dir_ + "/chart.bmp", wav = dir_ + "/fax.wav";
  ASSERT_TRUE(dib.SaveFile(in.c_str(), pic));
  DeleteObject(pic);
  ASSERT_EQ(RunTool("transmit fax --picture " + in + " -o " + wav).status, 0);
  std::vector<float> s = sigtest::ReadMonoWav(wav);
  sigtest::AddNoise(s, 11025, 20.0, 3);
  ASSERT_TRUE(sigtest::WriteMonoWav(wav, 11025, s));

  // Also from a card at 48 kHz with its own block size: the station resamples to the decoder's
  // rate.
  std::vector<float> s48;
  CBlockResampler resampler;
  ASSERT_EQ(resampler.Init(11025, 48000, 1024), 1);
  const auto keep = [&s48](AudioBlock* b) { s48.insert(s48.end(), b->data, b->data + b->count); };
  resampler.Push(s.data(), int(s.size()), keep);
  resampler.Flush(keep);
  const std::string wav48 = dir_ + "/fax48.wav";
  ASSERT_TRUE(sigtest::WriteMonoWav(wav48, 48000, s48));
  const std::string cfg48 = dir_ + "/T48/KSTLCONFIG.CFG";
  fs::create_directory(dir_ + "/T48");
  ASSERT_EQ(RunTool("settings set " + cfg48 + " audio.rate 48000").status, 0);
  ASSERT_EQ(RunTool("settings set " + cfg48 + " audio.block 4096").status, 0);

  for (const char* base : {"T", "T48"}) {
    SCOPED_TRACE(base);
    const std::string in_wav = base[1] ? wav48 : wav;
    const auto r = RunTool("station --base " + dir_ + "/" + base +
                           " --port sim --audio-out null --audio-in wavfast:" + in_wav +
                           " --decoder 4096 --until-end");
    ASSERT_EQ(r.status, 0) << r.out;
    auto faxes = Files(std::string(base) + "/fax");
    std::sort(faxes.begin(), faxes.end());  // the preview (.BMM) first
    ASSERT_EQ(faxes.size(), 2u) << r.out;
    EXPECT_EQ(FaxPreviewName(faxes[1].string()), faxes[0].string());
    HBITMAP got = dib.LoadFile(faxes[1].c_str());
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(dib.Width(got), 1810);
    const int h = std::abs(dib.Height(got));
    EXPECT_GT(h, 800);  // 300 lines at 600 px scale to about 905 at 1810 px
    // The black block is dark and the white rest light (rows top first in GetPixel terms).
    auto gray = [&](int x, int y) { return int(dib.PixelColor(got, x, y) & 0xFF); };
    EXPECT_LT(gray(400, h / 2), 80);
    EXPECT_GT(gray(1400, h / 2), 170);
    DeleteObject(got);
  }
}

TEST_F(StationTool, SstvFileGivesAJpegInTheSstvFolder) {
  const std::string wav = dir_ + "/sstv.wav";
  ASSERT_EQ(RunTool("transmit sstv --mode robot72 --chart --ycc 709 -o " + wav).status, 0);
  std::vector<float> s = sigtest::ReadMonoWav(wav);
  sigtest::AddNoise(s, 11025, 20.0, 5);
  ASSERT_TRUE(sigtest::WriteMonoWav(wav, 11025, s));
  const auto r = RunTool(Station("--audio-in wavfast:" + wav + " --decoder 8192 --until-end"));
  ASSERT_EQ(r.status, 0) << r.out;
  const auto pictures = Files("T/sstv");
  ASSERT_EQ(pictures.size(), 1u) << r.out;
  CDibSection dib;
  HBITMAP got = dib.LoadFile(pictures[0].c_str());
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(dib.Width(got), 320);
  // The second bar is yellow: red and green high, blue low (0x00BBGGRR).
  const unsigned c = dib.PixelColor(got, 60, 60);
  EXPECT_GT(int(c & 0xFF), 170);
  EXPECT_GT(int((c >> 8) & 0xFF), 170);
  EXPECT_LT(int((c >> 16) & 0xFF), 90);
  DeleteObject(got);
}

TEST_F(StationTool, SimulatedBandNavtexStationIsDecodedAndSaved) {
  // simfast runs as fast as the machine allows: slow builds (sanitizers) need the longer run.
  const auto r = RunTool(Station("--audio-in simfast --frq 518 --seconds 10"), false);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("DOVER STRAIT"), std::string::npos) << r.out;
  const auto texts = Files("T/text");
  ASSERT_FALSE(texts.empty());
  EXPECT_NE(ReadText(texts[0]).find("DOVER STRAIT"), std::string::npos);
}

TEST_F(StationTool, BadInputIsRefusedWithItsReason) {
  auto r = RunTool("station --base " + dir_ + "/T --audio-in null");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("--port and --audio-in are needed"), std::string::npos) << r.out;
  r = RunTool(Station("--audio-in null --decoder 7"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("no decoder has the code 7"), std::string::npos) << r.out;
  r = RunTool("station --base " + dir_ + "/T --port /dev/null-no-such --audio-in sim --seconds 1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("--port sim"), std::string::npos) << r.out;
  r = RunTool(Station("--audio-in wav:" + dir_ + "/missing.wav --seconds 1"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("InitAudio error"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ + "/T/KSTLCONFIG.CFG")) << "a failed start writes no settings";
}
