// The simulated band: its station list, what the station's own decoders copy at each tuning,
// where the tones land (USB, LSB, retuned), the common clock, and the capture device.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/core/sim_band.h"
#include "app/core/sim_band_source.h"
#include "spl/audio/audio_block.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/rtty_config.h"
#include "spl/platform/message_loop.h"
#include "spl/radio/radio.h"
#include "spl/radio/receiver_table.h"

namespace {

constexpr int kRate = kRttyReferenceRate;
constexpr int kBlock = 1024;
constexpr double kNavtexDial = 516.3;      // USB, the NAVTEX station at 518 kHz
constexpr double kWeatherDial = 4581.513;  // USB, the weather station's usual dial

struct Dial {
  double kHz = 0.0;
  int mode = kModeUSB;
  CSimBand::Tuning Tuning() {
    return [this](double& k, int& m) { k = kHz, m = mode; };
  }
};

class CCopy : public CRttyDecoder {
 public:
  void Char(int ch) override { text += ch == 13 ? '\n' : char(ch); }
  std::string text;
};

std::vector<SimStation> DefaultList() {
  std::vector<SimStation> list;
  std::string why;
  EXPECT_EQ(LoadSimStations(DefaultSimStationsPath(), list, &why), 1) << why;
  return list;
}

// seconds of the band, block by block as a card delivers it.
std::vector<int16_t> Listen(CSimBand& band, double seconds) {
  std::vector<int16_t> s(size_t(seconds * kRate));
  for (size_t i = 0; i < s.size(); i += kBlock)
    band.Generate(s.data() + i, int(std::min<size_t>(kBlock, s.size() - i)));
  return s;
}

// What the RTTY decoder set up as the station sets it up copies from the samples.
std::string Copy(const std::vector<int16_t>& s, int tone1, int tone2, int mode, int baud,
                 int inverted) {
  CCopy d;
  EXPECT_EQ(ConfigureRttyDecoder(d, kRate, kBlock, kRttyDefaultTaps, tone1, tone2, mode, baud,
                                 inverted), 1);
  for (size_t i = 0; i + kBlock <= s.size(); i += kBlock) {
    AudioBlock* b = nullptr;
    if (!AudioBlockFromMono16(s.data() + i, kBlock, &b)) return d.text;
    d.Decode(b);
    FreeAudioBlock(b);
  }
  return d.text;
}

std::string CopyNavtex(const std::vector<int16_t>& s, int inverted = 1) {
  return Copy(s, kNavtexLowTone, kNavtexHighTone, kRttySitorB, kNavtexBaud, inverted);
}
std::string CopyWeather(const std::vector<int16_t>& s) {
  return Copy(s, 1275, 1700, kRttyAsync, 50, 0);
}

// Power of the samples [from, from + n) at hz (Goertzel), per sample.
double PowerAt(const std::vector<int16_t>& s, size_t from, size_t n, double hz) {
  const double c = 2.0 * std::cos(2.0 * M_PI * hz / kRate);
  double s1 = 0.0, s2 = 0.0;
  for (size_t i = from; i < from + n; ++i) {
    const double s0 = s[i] + c * s1 - s2;
    s2 = s1, s1 = s0;
  }
  return (s1 * s1 + s2 * s2 - c * s1 * s2) / double(n) / double(n);
}

// A CW station alone: long dashes with equal gaps, so the tone is on half of the time.
SimStation CwStation(double kHz) {
  SimStation s;
  s.kHz = kHz, s.kind = "cw", s.tone = 800, s.wpm = 20, s.levelDb = 25, s.pauseSeconds = 1;
  s.text = "TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT";
  return s;
}

std::string WriteList(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

}  // namespace

// ---- The station list ----

TEST(SimBandListTest, DefaultListHoldsEveryKindOnItsFrequency) {
  const std::vector<SimStation> list = DefaultList();
  auto find = [&](const char* kind) -> const SimStation* {
    for (const SimStation& s : list)
      if (s.kind == kind) return &s;
    return nullptr;
  };
  for (const char* kind : {"sitor", "rtty", "cw", "bpsk31", "fax", "sstv"})
    ASSERT_NE(find(kind), nullptr) << kind;
  EXPECT_DOUBLE_EQ(find("sitor")->kHz, 518.0);
  EXPECT_EQ(find("sitor")->mark, kNavtexHighTone);
  EXPECT_EQ(find("sitor")->space, kNavtexLowTone);
  EXPECT_NEAR(find("rtty")->kHz, 4583.0, 0.001);
  EXPECT_NE(find("rtty")->text.find("\nAAXX "), std::string::npos);
  EXPECT_GT(find("sitor")->text.size(), 33u);
  for (const SimStation& s : list) EXPECT_GT(s.line, 0);
}

TEST(SimBandListTest, BadLinesAreRefusedWithTheirLineNumber) {
  const std::string good = "# comment\n\n7023 cw tone=800 wpm=20 | VVV\n";
  const char* bad[] = {
      "7023 morse tone=800 | VVV",          // unknown kind
      "70x3 cw tone=800 | VVV",             // frequency
      "7023 cw tone=800 speed=20 | VVV",    // unknown key
      "7023 cw tone=80o | VVV",             // bad number
      "7023 cw wpm=200 | VVV",              // out of range
      "7023 cw | VVV \\q",                  // escape
      "7023 cw",                            // text missing
      "4583 rtty mark=1275 space=1700 | {}",  // not in the Baudot tables
      "4583 rtty mark=1275 space=9000 | RY",  // tone beyond half the rate
      "7880 fax lines=5",
      "14230 sstv mode=robot99",
  };
  for (const char* line : bad) {
    const std::string path = WriteList("simband_bad.txt", good + line + "\n");
    std::vector<SimStation> out(1);
    std::string why;
    EXPECT_EQ(LoadSimStations(path, out, &why), 0) << line;
    EXPECT_NE(why.find(path + ":4: "), std::string::npos) << why;
    EXPECT_EQ(out.size(), 1u);  // unchanged
  }
  std::vector<SimStation> out;
  std::string why;
  EXPECT_EQ(LoadSimStations(testing::TempDir() + "no_such_list.txt", out, &why), 0);
  EXPECT_NE(why.find("no_such_list.txt: "), std::string::npos);
}

TEST(SimBandListTest, TextEscapesAndSettingsAreRead) {
  const std::string path = WriteList(
      "simband_ok.txt",
      "  14070.5 bpsk31 tone=1000 level=-3.5 pause=7 start=2 | A\\nB\\\\C  \n"
      "14230 sstv mode=robot72\n");
  std::vector<SimStation> out;
  std::string why;
  ASSERT_EQ(LoadSimStations(path, out, &why), 1) << why;
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].text, "A\nB\\C");
  EXPECT_DOUBLE_EQ(out[0].levelDb, -3.5);
  EXPECT_DOUBLE_EQ(out[0].pauseSeconds, 7.0);
  EXPECT_DOUBLE_EQ(out[0].startSeconds, 2.0);
  EXPECT_EQ(out[1].mode, "robot72");
  EXPECT_EQ(out[1].line, 2);
}

TEST(SimBandListTest, CarriersFollowTheStationsAndTheirLevels) {
  std::vector<SimStation> list = {CwStation(7023.0), CwStation(7030.0)};
  list[1].levelDb = 5;
  const std::vector<SimCarrier> c = SimBandCarriers(list);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_DOUBLE_EQ(c[0].kHz, 7023.0);
  EXPECT_GT(c[0].level, c[1].level);
  EXPECT_GT(c[1].level, 0);
  EXPECT_LE(c[0].level, 255);
  EXPECT_GT(c[0].halfWidthKHz, 0.0);
}

// ---- What the decoders copy ----

TEST(SimBandCopyTest, NavtexIsCopiedAtTheUsbDial) {
  Dial dial{kNavtexDial, kModeUSB};
  CSimBand band;
  ASSERT_EQ(band.Init(DefaultList(), kRate, dial.Tuning()), 1) << band.Error();
  const std::string text = CopyNavtex(Listen(band, 35.0));
  EXPECT_NE(text.find("ZCZC AA01"), std::string::npos) << text;
  EXPECT_NE(text.find("DOVER STRAIT"), std::string::npos) << text;
  EXPECT_NE(text.find("NNNN"), std::string::npos) << text;
}

TEST(SimBandCopyTest, WeatherBulletinIsCopiedWithTheDefaultSettings) {
  Dial dial{kWeatherDial, kModeUSB};
  CSimBand band;
  ASSERT_EQ(band.Init(DefaultList(), kRate, dial.Tuning()), 1) << band.Error();
  const std::string text = CopyWeather(Listen(band, 48.0));  // starts 4 s in, 41 s long
  EXPECT_NE(text.find("ZCZC"), std::string::npos) << text;
  EXPECT_NE(text.find("AAXX 10061"), std::string::npos) << text;
  EXPECT_NE(text.find("10384 41458 81205"), std::string::npos) << text;
  EXPECT_NE(text.find("NNNN"), std::string::npos) << text;
}

TEST(SimBandCopyTest, ThreeKilohertzAwayThereIsOnlyNoise) {
  // Below the one station and above the other: each side of a dial once.
  Dial navtex{kNavtexDial - 3.0, kModeUSB}, weather{kWeatherDial + 3.0, kModeUSB};
  CSimBand a, b;
  ASSERT_EQ(a.Init(DefaultList(), kRate, navtex.Tuning()), 1);
  ASSERT_EQ(b.Init(DefaultList(), kRate, weather.Tuning()), 1);
  EXPECT_EQ(CopyNavtex(Listen(a, 30.0)).find("ZCZC"), std::string::npos);
  EXPECT_EQ(CopyWeather(Listen(b, 30.0)).find("ZCZC"), std::string::npos);
}

TEST(SimBandCopyTest, LsbMirrorsTheTones) {
  // In LSB at 518 + 1.7 the centre is again 1700 Hz, but the higher RF tone is now the lower
  // audio tone: only the decoder with the opposite polarity copies.
  Dial dial{518.0 + 1.7, kModeLSB};
  CSimBand band;
  ASSERT_EQ(band.Init(DefaultList(), kRate, dial.Tuning()), 1);
  const std::vector<int16_t> s = Listen(band, 35.0);
  EXPECT_NE(CopyNavtex(s, 0).find("ZCZC AA01"), std::string::npos);
  EXPECT_EQ(CopyNavtex(s, 1).find("ZCZC AA01"), std::string::npos);
}

TEST(SimBandCopyTest, StationsKeepSendingWhileNobodyListens) {
  // Tuned in only after the bulletin's first lines went out: the end is copied, the start not,
  // and the next bulletin has not begun.
  Dial dial{10000.0, kModeUSB};
  CSimBand band;
  ASSERT_EQ(band.Init(DefaultList(), kRate, dial.Tuning()), 1);
  std::vector<int16_t> s = Listen(band, 15.0);
  dial.kHz = kWeatherDial;
  const std::string text = CopyWeather(Listen(band, 30.0));
  EXPECT_EQ(band.SamplesDone(), int64_t(45.0 * kRate));
  EXPECT_EQ(text.find("ZCZC"), std::string::npos) << text;
  EXPECT_EQ(text.find("AAXX"), std::string::npos) << text;
  EXPECT_NE(text.find("NNNN"), std::string::npos) << text;
}

// ---- Where the tones land ----

TEST(SimBandToneTest, ToneFollowsDialSidebandAndRetuning) {
  Dial dial{6999.0, kModeUSB};  // the 800 Hz tone at 7000 kHz: heard at 1000 Hz
  CSimBand band;
  ASSERT_EQ(band.Init({CwStation(7000.0)}, kRate, dial.Tuning()), 1) << band.Error();
  std::vector<int16_t> s = Listen(band, 3.0);
  dial.kHz = 6999.6;  // 400 Hz
  std::vector<int16_t> t = Listen(band, 3.0);
  dial = {7000.7, kModeLSB};  // 700 Hz
  std::vector<int16_t> u = Listen(band, 3.0);
  dial = {7000.7, kModeUSB};  // the station is below the dial: not heard
  std::vector<int16_t> v = Listen(band, 3.0);
  const size_t n = 2 * kRate, from = kRate / 2;  // past the change and the filter's start
  auto p = [&](const std::vector<int16_t>& x, double hz) { return PowerAt(x, from, n, hz); };
  EXPECT_GT(p(s, 1000.0), 100.0 * p(s, 400.0));
  EXPECT_GT(p(s, 1000.0), 100.0 * p(s, 700.0));
  EXPECT_GT(p(t, 400.0), 100.0 * p(t, 1000.0));
  EXPECT_GT(p(u, 700.0), 100.0 * p(u, 1000.0));
  for (double hz : {400.0, 700.0, 1000.0}) EXPECT_LT(100.0 * p(v, hz), p(s, 1000.0)) << hz;
}

TEST(SimBandToneTest, SameSeedSameBandAndBadRateRefused) {
  Dial dial{6999.0, kModeUSB};
  CSimBand a, b, c;
  ASSERT_EQ(a.Init({CwStation(7000.0)}, kRate, dial.Tuning(), 7), 1);
  ASSERT_EQ(b.Init({CwStation(7000.0)}, kRate, dial.Tuning(), 7), 1);
  ASSERT_EQ(c.Init({CwStation(7000.0)}, kRate, dial.Tuning(), 8), 1);
  const std::vector<int16_t> sa = Listen(a, 1.0), sb = Listen(b, 1.0), sc = Listen(c, 1.0);
  EXPECT_EQ(sa, sb);
  EXPECT_NE(sa, sc);
  EXPECT_EQ(a.Init({CwStation(7000.0)}, 4000, dial.Tuning()), 0);
  EXPECT_FALSE(a.Error().empty());
  EXPECT_EQ(a.SampleRate(), kRate);  // kept
  SimStation broken = CwStation(7000.0);
  broken.kind = "olivia";
  EXPECT_EQ(a.Init({broken}, kRate, dial.Tuning()), 0);
}

// ---- The capture device ----

namespace {

class Sink : public CHeadlessWindow {
 public:
  using CHeadlessWindow::CHeadlessWindow;
  ~Sink() override {
    for (AudioBlock* b : blocks) FreeAudioBlock(b);
  }
  void WindowProc(UINT m, WPARAM w, LPARAM l) override {
    if (m == WM_AUDIOBLOCK) blocks.push_back(reinterpret_cast<AudioBlock*>(l));
  }
  std::vector<AudioBlock*> blocks;
};

}  // namespace

namespace {

// Captures "simfast" into a window on a headless loop until `total` blocks have come (bounded
// only so that a broken device cannot hang a test); onBlock sees each block as it arrives, with
// the count so far. The blocks' samples, in order.
std::vector<std::vector<int16_t>> CaptureFast(
    size_t total, const std::function<void(const AudioBlock&, size_t)>& onBlock = {}) {
  std::vector<std::vector<int16_t>> got;
  CMessageLoop loop;
  loop.SetOrphanHandler(DiscardAudioMessage);
  CRadio radio;
  Sink w(loop);
  if (!InitAudio(&radio, 1, kRate, kBlock, 8, kSimBandFastDevice)) {
    ADD_FAILURE() << AudioErrorText();
    return got;
  }
  EXPECT_EQ(Connect(w.Handle(), 0), 1);
  const DWORD start = GetTickCount();
  while (w.blocks.size() < total && GetTickCount() - start < 20000) {
    MSG msg;
    if (!loop.GetMessage(msg, 20)) continue;
    const size_t before = w.blocks.size();
    loop.DispatchMessage(msg);
    if (w.blocks.size() != before && onBlock) onBlock(*w.blocks.back(), w.blocks.size());
  }
  InitAudio(&radio, 0, kRate, kBlock, 8);
  loop.Pump();
  for (const AudioBlock* b : w.blocks) {
    got.emplace_back();
    for (int i = 0; i < b->count; ++i) got.back().push_back(int16_t(b->data[i]));
  }
  return got;
}

}  // namespace

TEST(SimBandSourceTest, SimfastDeliversTheBandToAWindow) {
  Dial dial{6999.0, kModeUSB};
  ASSERT_EQ(RegisterSimBandSource({CwStation(7000.0)}, dial.Tuning()), 1);
  {
    const std::vector<std::vector<int16_t>> blocks = CaptureFast(32);
    ASSERT_GE(blocks.size(), 32u);
    std::vector<int16_t> s;
    for (const std::vector<int16_t>& b : blocks) {
      ASSERT_EQ(int(b.size()), kBlock);
      s.insert(s.end(), b.begin(), b.end());
    }
    EXPECT_GT(PowerAt(s, kRate / 2, 2 * kRate, 1000.0), 100.0 * PowerAt(s, kRate / 2, 2 * kRate, 400.0));
  }
  UnregisterSimBandSource();
  CRadio radio;
  EXPECT_EQ(InitAudio(&radio, 1, kRate, kBlock, 8, kSimBandFastDevice), nullptr);
  InitAudio(&radio, 0, kRate, kBlock, 8);
}

TEST(SimBandSourceTest, ASlowListenerHearsARetuningWhereItAskedForIt) {
  // The tuning moves from the 1000 Hz tone to 400 Hz after the listener's 20th block.
  std::atomic<double> kHz{6999.0};
  auto pace = std::make_shared<CSimBandPace>();
  ASSERT_EQ(RegisterSimBandSource({CwStation(7000.0)},
                                  [&](double& k, int& m) { k = kHz.load(), m = kModeUSB; }, pace),
            1);
  const size_t retune = 20, total = 60;
  const std::vector<std::vector<int16_t>> blocks =
      CaptureFast(total, [&](const AudioBlock& b, size_t count) {
        pace->Consumed(b.count);
        // A listener slower than the band: unheld, the band would be hundreds of blocks ahead.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (count == retune) kHz = 6999.6;
      });
  ASSERT_GE(blocks.size(), total);
  std::vector<int16_t> s;
  for (const std::vector<int16_t>& b : blocks) s.insert(s.end(), b.begin(), b.end());
  // From the blocks made before the listener asked (and the one being made) on: the new tone.
  const size_t from = (retune + kSimPaceBuffers + 2) * kBlock, n = s.size() - from;
  EXPECT_GT(PowerAt(s, from, n, 400.0), 100.0 * PowerAt(s, from, n, 1000.0));
  UnregisterSimBandSource();
}
