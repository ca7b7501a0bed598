// The capture / playback message protocol, run on ALSA's "null" PCM (no card needed).
#include <gtest/gtest.h>

#include <vector>

#include "spl/audio/sound_device.h"
#include "spl/platform/message_loop.h"
#include "spl/radio/radio.h"

namespace {

constexpr int kRate = 11025;
constexpr int kBlock = 1024;
constexpr const char* kNull = "null";

struct Got {
  int channel;
  AudioBlock* block;
};

class Sink : public CHeadlessWindow {
 public:
  using CHeadlessWindow::CHeadlessWindow;
  ~Sink() override {
    for (Got& g : blocks) FreeAudioBlock(g.block);
  }
  void WindowProc(UINT m, WPARAM w, LPARAM l) override {
    if (m == WM_AUDIOBLOCK) blocks.push_back({int(w), reinterpret_cast<AudioBlock*>(l)});
    if (m == WM_AUDIOPLAYED) played.push_back(DWORD(w));
  }
  std::vector<Got> blocks;
  std::vector<DWORD> played;
};

// Dispatches until pred() holds or ms pass.
template <class Pred>
bool PumpUntil(CMessageLoop& loop, Pred pred, DWORD ms = 3000) {
  DWORD start = GetTickCount();
  while (!pred()) {
    if (GetTickCount() - start > ms) return false;
    MSG msg;
    if (loop.GetMessage(msg, 20)) loop.DispatchMessage(msg);
  }
  return true;
}

class SoundDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { loop.SetOrphanHandler(DiscardAudioMessage); }
  void TearDown() override {
    InitAudioOut(nullptr, 0);
    InitAudio(nullptr, 0, kRate, kBlock, 64);
  }
  CMessageLoop loop;
  CRadio radio;
};

TEST_F(SoundDeviceTest, ConnectRules) {
  Sink w(loop);
  EXPECT_EQ(Connect(w.Handle(), 0), 0);  // no capture yet
  EXPECT_EQ(InitAudioOut(&radio, 0, kNull), nullptr);  // nor playback without it
  ASSERT_NE(InitAudio(&radio, 1, kRate, kBlock, 8, kNull), nullptr) << AudioErrorText();
  EXPECT_EQ(Connect(w.Handle(), 0), 1);
  EXPECT_EQ(Connect(w.Handle(), 0), 0);
  EXPECT_EQ(Connect(w.Handle(), 1), 1);
  EXPECT_EQ(Connect(w.Handle(), 2), 0);
  EXPECT_EQ(DisConnect(w.Handle(), 1), 1);
  EXPECT_EQ(DisConnect(w.Handle(), 1), 0);
  // A second capture, or three channels, is refused and leaves the running one alone.
  EXPECT_EQ(InitAudio(&radio, 1, kRate, kBlock, 8, kNull), nullptr);
  EXPECT_TRUE(PumpUntil(loop, [&] { return w.blocks.size() >= 2; }));
  EXPECT_NE(InitAudio(&radio, 0, kRate, kBlock, 8), nullptr);
  EXPECT_EQ(InitAudio(&radio, 3, kRate, kBlock, 8, kNull), nullptr);
  EXPECT_NE(InitAudio(&radio, 0, kRate, kBlock, 8), nullptr);  // releases the failed one
}

TEST_F(SoundDeviceTest, TwoWindowsGetDistinctBlocksOfTheSameBufferWithSizeAndTick) {
  Sink a(loop), b(loop);
  ASSERT_NE(InitAudio(&radio, 1, kRate, kBlock, 8, kNull), nullptr) << AudioErrorText();
  ASSERT_EQ(Connect(a.Handle(), 0), 1);
  ASSERT_EQ(Connect(b.Handle(), 0), 1);
  ASSERT_TRUE(PumpUntil(loop, [&] { return a.blocks.size() >= 3 && b.blocks.size() >= 3; }));
  for (int i = 0; i < 3; ++i) {
    AudioBlock* x = a.blocks[i].block;
    AudioBlock* y = b.blocks[i].block;
    EXPECT_NE(x, y);
    EXPECT_EQ(x->count, kBlock);
    EXPECT_EQ(x->tick, y->tick);
    EXPECT_EQ(a.blocks[i].channel, 0);
    EXPECT_EQ(x->peak, 0.0f);  // the null device captures silence
  }
}

TEST_F(SoundDeviceTest, StereoWithOnlyALeftWindowGetsOnlyLeftBlocks) {
  Sink w(loop);
  ASSERT_NE(InitAudio(&radio, 2, kRate, kBlock, 8, kNull), nullptr) << AudioErrorText();
  ASSERT_EQ(Connect(w.Handle(), 0), 1);
  ASSERT_TRUE(PumpUntil(loop, [&] { return w.blocks.size() >= 4; }));
  for (const Got& g : w.blocks) {
    EXPECT_EQ(g.channel, 0);
    EXPECT_EQ(g.block->count, kBlock);
  }
  // The right blocks were freed by the capture thread (the leak check would say otherwise).
}

TEST_F(SoundDeviceTest, PlaybackWaitsForPreRollThenReportsEveryBlockWithItsTick) {
  Sink w(loop);
  ASSERT_NE(InitAudio(&radio, 1, kRate, kBlock, 8, kNull), nullptr);
  EXPECT_EQ(InitAudioOut(nullptr, 0), reinterpret_cast<HWAVEOUT>(1));  // closing what is closed
  ASSERT_NE(InitAudioOut(&radio, 2, kNull), nullptr) << AudioErrorText();
  ASSERT_EQ(Connect(w.Handle(), 0), 1);
  AudioBlock* b = nullptr;
  ASSERT_EQ(NewAudioBlock(&b, kBlock), 1);
  for (DWORD tick = 1; tick <= 2; ++tick) {
    b->tick = tick;
    PlayAudioBlock(b);
  }
  PumpUntil(loop, [] { return false; }, 300);
  EXPECT_TRUE(w.played.empty()) << "played before the pre-roll was complete";
  b->tick = 3;
  PlayAudioBlock(b);
  ASSERT_TRUE(PumpUntil(loop, [&] { return w.played.size() >= 3; }));
  EXPECT_EQ(w.played, (std::vector<DWORD>{1, 2, 3}));
  FreeAudioBlock(b);
}

TEST_F(SoundDeviceTest, ClosingWhileBlocksFlowStopsThemAndWindowsMustConnectAgain) {
  Sink w(loop);
  ASSERT_NE(InitAudio(&radio, 1, kRate, kBlock, 4, kNull), nullptr);
  ASSERT_EQ(Connect(w.Handle(), 0), 1);
  ASSERT_TRUE(PumpUntil(loop, [&] { return w.blocks.size() >= 2; }));
  ASSERT_NE(InitAudio(&radio, 0, kRate, kBlock, 4), nullptr);
  loop.Pump();  // whatever was posted before the close
  size_t after_close = w.blocks.size();
  PumpUntil(loop, [] { return false; }, 250);
  EXPECT_EQ(w.blocks.size(), after_close);
  ASSERT_NE(InitAudio(&radio, 1, kRate, kBlock, 4, kNull), nullptr);
  PumpUntil(loop, [] { return false; }, 250);
  EXPECT_EQ(w.blocks.size(), after_close);  // not registered with the new capture
  EXPECT_EQ(Connect(w.Handle(), 0), 1);
}

TEST_F(SoundDeviceTest, BlocksForAWindowThatWentAwayAreFreed) {
  ASSERT_NE(InitAudio(&radio, 1, kRate, kBlock, 4, kNull), nullptr);
  {
    Sink w(loop);
    ASSERT_EQ(Connect(w.Handle(), 0), 1);
    Sleep(200);  // blocks queue up for w, then w goes
  }
  Sleep(100);  // and more are posted to its stale handle: the poster frees those
  loop.Pump();  // the queued ones reach the orphan handler
}

TEST(PostAudioBlock, EveryWindowGetsItsOwnCopyWithTheGivenKind) {
  CMessageLoop loop;
  loop.SetOrphanHandler(DiscardAudioMessage);
  Sink a(loop), b(loop);
  CWindowList windows{a.Handle(), b.Handle()};
  AudioBlock* src = nullptr;
  NewAudioBlock(&src, 16);
  src->data[3] = 5.0f;
  PostAudioBlock(windows, src, 7);
  loop.Pump();
  ASSERT_EQ(a.blocks.size(), 1u);
  ASSERT_EQ(b.blocks.size(), 1u);
  EXPECT_EQ(a.blocks[0].channel, 7);
  EXPECT_NE(a.blocks[0].block, src);
  EXPECT_NE(a.blocks[0].block, b.blocks[0].block);
  EXPECT_EQ(b.blocks[0].block->data[3], 5.0f);
  FreeAudioBlock(src);
}

}  // namespace
