// A station core for the tests that drive one: a base folder of its own, the message loop that
// carries its page windows, a start on the simulated receiver with the null sound devices, and
// the RTTY audio of a text at the station's default set-up fed through its block hub.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/core/page_windows.h"
#include "app/core/station_core.h"
#include "spl/audio/sound_device.h"
#include "spl/decoders/rtty_transmitter.h"
#include "spl/platform/message_loop.h"

namespace stationtest {

namespace fs = std::filesystem;

// The station's default RTTY set-up: 50 Bd, 1275/1700 Hz at 11025 Hz in blocks of 1024.
constexpr int kRate = 11025, kBlock = 1024;
constexpr float kBaud = 50.0f;
constexpr int kMark = 1275, kSpace = 1700;
// Old enough that the station decodes a block without drawing it.
constexpr DWORD kStaleMs = 150;

// Options (StationOptions or the program's KstlOptions) for the simulated receiver on port
// and the null sound devices.
template <class Options>
Options NullDeviceOptions(const std::string& port = "sim:12") {
  Options o;
  o.port = port;
  o.audioIn = "null";
  o.audioOut = "null";
  o.synopStore = KESTREL_SYNOP_STORE;
  return o;
}

// A folder under /tmp, removed with everything in it when the object goes.
class CTempBase {
 public:
  CTempBase() {
    char tmpl[] = "/tmp/kestrel-station-XXXXXX";
    if (mkdtemp(tmpl))
      path = tmpl;
    else
      ADD_FAILURE() << "no temporary folder";
  }
  ~CTempBase() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
  // The files of a folder below the base, without temporaries (names starting with '.').
  std::vector<fs::path> Files(const std::string& folder) const {
    std::vector<fs::path> out;
    if (fs::is_directory(path + "/" + folder))
      for (auto& e : fs::directory_iterator(path + "/" + folder))
        if (e.path().filename().string()[0] != '.') out.push_back(e.path());
    return out;
  }
  std::string path;
};

// What a transmitter with its text queued renders, in blocks, until `idle` blocks after the text.
template <class Transmitter>
std::vector<AudioBlock*> RenderBlocks(Transmitter& tx, int block, int idle) {
  std::vector<AudioBlock*> blocks;
  for (int after = 0; after < idle;) {
    AudioBlock* b = nullptr;
    EXPECT_EQ(NewAudioBlock(&b, block), 1);
    if (tx.GetBitCount() == 0) ++after;
    tx.CreateAudio(b);
    blocks.push_back(b);
  }
  return blocks;
}

// The RTTY audio of text (a '\n' sent as CR LF), in blocks, with twelve idle blocks after it.
inline std::vector<AudioBlock*> RttyBlocks(const std::string& text, int block = kBlock,
                                           float baud = kBaud, int mark = kMark, int space = kSpace) {
  CRttyTransmitter tx;
  tx.SetMode(kRttyAsync);
  tx.SetBaud(baud);
  tx.SetFreq(mark, space);
  EXPECT_EQ(tx.Init(kRate, block), 1);
  for (char c : text) c == '\n' ? (tx.Transmit('\r'), tx.Transmit('\n')) : tx.Transmit(c);
  return RenderBlocks(tx, block, 12);
}

// Feeds blocks through the core's block hub, each as old as ageMs, and frees them.
inline void Feed(CStationCore& core, std::vector<AudioBlock*>& blocks, DWORD ageMs = kStaleMs) {
  for (AudioBlock* b : blocks) {
    b->tick = GetTickCount() - ageMs;
    core.ProcessBlock(b);
    FreeAudioBlock(b);
  }
  blocks.clear();
}

inline void FeedRtty(CStationCore& core, const std::string& text, DWORD ageMs = kStaleMs) {
  auto blocks = RttyBlocks(text);
  Feed(core, blocks, ageMs);
}

// A station core on a base folder of its own; shut down and its folder removed when it goes.
// Whatever CStationUi it is given must outlive it.
class CTestStation {
 public:
  CTestStation() { loop.SetOrphanHandler(DiscardAudioMessage); }
  ~CTestStation() {
    core.Shutdown();
    loop.Pump();
  }
  int Init(CStationUi* ui = nullptr) { return !base.path.empty() && core.Init(base.path, ui, &pages); }
  // Init and Start on port; the settings file written first when edit is given.
  int Start(CStationUi* ui, const std::string& port = "sim:12",
            const std::function<void(CSettingsRecord&)>& edit = nullptr) {
    return StartCore(core, ui, port, edit);
  }
  // The same for another core on this base folder (a second start).
  int StartCore(CStationCore& other, CStationUi* ui, const std::string& port = "sim:12",
                const std::function<void(CSettingsRecord&)>& edit = nullptr) {
    if (edit) {
      CSettingsRecord r;
      edit(r);
      std::string why;
      if (!r.Save(base.path + "/KSTLCONFIG.CFG", &why)) return 0;
    }
    if (base.path.empty() || !other.Init(base.path, ui, &pages)) return 0;
    return other.Start(NullDeviceOptions<StationOptions>(port));
  }

  CTempBase base;
  CMessageLoop loop;
  CLoopPageHost pages{loop};
  CStationCore core;
};

// A fixture whose tests own a station; Ui, the core's user interface, outlives the core.
template <class Ui = CStationUi>
class StationTest : public ::testing::Test {
 protected:
  int Start(const std::string& port = "sim:12",
            const std::function<void(CSettingsRecord&)>& edit = nullptr) {
    return station_.Start(&ui_, port, edit);
  }
  std::vector<fs::path> Files(const std::string& folder) const { return station_.base.Files(folder); }
  // The first message shown, for a failure's text.
  std::string Said() const { return ui_.messages.empty() ? "" : ui_.messages.front(); }

  Ui ui_;
  CTestStation station_;
  CStationCore& core_ = station_.core;
  const std::string& base_ = station_.base.path;
};

}  // namespace stationtest
