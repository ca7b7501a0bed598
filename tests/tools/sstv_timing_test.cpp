// SSTV timing as cards and senders have it: files and sound cards at any common rate (the tool
// and the station resample to the rate the decoder times its lines at, so every rate gives the
// picture 11025 Hz gives), and a sender's clock 0.1 % off (the line syncs straighten it).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "spl/image/dib_section.h"
#include "tests/common/signal_test_util.h"

namespace {

namespace fs = std::filesystem;

// The only picture in a folder, as 0.299/0.587/0.114 luminance; empty if there is not one.
std::vector<double> PictureIn(const std::string& dir) {
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path().string());
  std::vector<double> lum;
  if (files.size() != 1) return lum;
  CDibSection dib;
  HBITMAP b = dib.LoadFile(files[0].c_str());
  if (!b) return lum;
  for (int y = 0; y < std::abs(dib.Height(b)); ++y)
    for (int x = 0; x < dib.Width(b); ++x) {
      const unsigned c = dib.PixelColor(b, x, y);
      lum.push_back(0.299 * GetRValue(c) + 0.587 * GetGValue(c) + 0.114 * GetBValue(c));
    }
  DeleteObject(b);
  return lum;
}

double Psnr(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size() || a.empty()) return 0.0;
  double e = 0.0;
  for (size_t i = 0; i < a.size(); ++i) e += (a[i] - b[i]) * (a[i] - b[i]);
  return 10.0 * std::log10(255.0 * 255.0 / std::max(e / double(a.size()), 1e-9));
}

class SstvTiming : public ::testing::Test {
 protected:
  // Robot 72 colour bars sent at `rate` (transmit options added), received by the tool
  // (decode options added) into a folder of their own; *said gets what the tool printed.
  std::vector<double> ToolPicture(int rate, const std::string& send = "",
                                  const std::string& receive = "", std::string* said = nullptr,
                                  const std::string& mode = "robot72") {
    const std::string name = std::to_string(++runs_);
    const std::string wav = dir_.File(name + ".wav"), out = dir_.File(name);
    fs::create_directory(out);
    EXPECT_EQ(sigtest::RunTool("transmit sstv --mode " + mode + " --chart --rate " +
                               std::to_string(rate) + " " + send + " -o " + wav).status, 0);
    const auto r = sigtest::RunTool("decode sstv " + receive + " --out " + out + " " + wav);
    EXPECT_EQ(r.status, 0) << r.out;
    if (said) *said = r.out;
    return PictureIn(out);
  }
  int runs_ = 0;
  sigtest::TempDir dir_;
};

TEST_F(SstvTiming, SstvToolGivesThe11025PictureAtEveryRate) {
  for (const char* mode : {"martin1", "scottie1", "sc2-180", "robot72"}) {
    SCOPED_TRACE(mode);
    const std::vector<double> reference = ToolPicture(11025, "", "", nullptr, mode);
    ASSERT_GE(reference.size(), size_t(320 * 240));
    for (int rate : {8000, 22050, 32000, 44100, 48000}) {
      SCOPED_TRACE(rate);
      EXPECT_GT(Psnr(ToolPicture(rate, "", "", nullptr, mode), reference), 40.0);
    }
  }
}

// A sender 0.1 % fast or slow: the line syncs give the line period, the picture comes out as
// straight as a nominal one, and the period found is told. --no-slant keeps the slant.
TEST_F(SstvTiming, ClockErrorStraightenedAndTold) {
  const std::vector<double> reference = ToolPicture(11025);
  for (const char* ppm : {"1000", "-1000"}) {
    SCOPED_TRACE(ppm);
    std::string said;
    EXPECT_GT(Psnr(ToolPicture(11025, std::string("--clock-ppm ") + ppm, "", &said), reference),
              32.0);
    // Lines shorter by a fast sender's clock are found shorter.
    const std::string want = ppm[0] == '-' ? "line period +" : "line period -";
    const size_t at = said.find(want);
    ASSERT_NE(at, std::string::npos) << said;
    EXPECT_NEAR(std::stod(said.substr(at + 13)), 1000.0, 20.0) << said;
    EXPECT_LT(Psnr(ToolPicture(11025, std::string("--clock-ppm ") + ppm, "--no-slant"), reference),
              20.0);
  }
}

// The station's card at 44.1 kHz (and its own block size) gives the same picture.
TEST_F(SstvTiming, SstvStationAtACardRateOf44100) {
  const std::vector<double> reference = ToolPicture(11025);
  const std::string base = dir_.File("T"), wav = dir_.File("r72_44100.wav");
  fs::create_directory(base);
  ASSERT_EQ(sigtest::RunTool("transmit sstv --mode robot72 --chart --rate 44100 -o " + wav).status,
            0);
  const std::string cfg = base + "/KSTLCONFIG.CFG";
  ASSERT_EQ(sigtest::RunTool("settings set " + cfg + " audio.rate 44100").status, 0);
  ASSERT_EQ(sigtest::RunTool("settings set " + cfg + " audio.block 4096").status, 0);
  const auto r = sigtest::RunTool("station --base " + base + " --port sim --audio-out null " +
                                  "--audio-in wavfast:" + wav + " --decoder 8192 --until-end");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_GT(Psnr(PictureIn(base + "/sstv"), reference), 40.0) << r.out;
}

}  // namespace
