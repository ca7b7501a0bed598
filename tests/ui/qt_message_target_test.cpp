// The library's messages on Qt's event loop: posted from other threads, handled on the UI
// thread in order, and a block still queued when its page goes is freed, not delivered.
#include "app/ui/qt_message_target.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <thread>
#include <vector>

#include "spl/audio/sound_device.h"
#include "tests/ui/qt_app.h"

namespace {

AudioBlock* BlockOf(float value) {
  AudioBlock* b = nullptr;
  EXPECT_EQ(NewAudioBlock(&b, 16), 1);
  for (int i = 0; i < 16; ++i) b->data[i] = value;
  return b;
}

}  // namespace

TEST(QtMessageTarget, PostsFromAnotherThreadArriveOnTheUiThreadInOrder) {
  TestApp();
  std::vector<float> got;
  std::thread::id where;
  CQtMessageTarget target([&](UINT m, WPARAM w, LPARAM l) {
    where = std::this_thread::get_id();
    auto* b = reinterpret_cast<AudioBlock*>(l);
    got.push_back(b->data[0]);
    FreeAudioBlock(b);
  });
  std::thread([&] {
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(PostMessage(target.Handle(), WM_AUDIOBLOCK, 0, LPARAM(BlockOf(float(i)))), 1);
  }).join();
  QCoreApplication::processEvents();
  EXPECT_EQ(got, (std::vector<float>{0, 1, 2, 3, 4}));
  EXPECT_EQ(where, std::this_thread::get_id());
}

TEST(QtMessageTarget, APageThatGoesFreesWhatWasQueuedForItAndTakesNoMore) {
  TestApp();
  int handled = 0;
  HWND hwnd;
  {
    CQtMessageTarget target([&](UINT, WPARAM, LPARAM l) {
      ++handled;
      FreeAudioBlock(reinterpret_cast<AudioBlock*>(l));
    });
    hwnd = target.Handle();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(PostMessage(hwnd, WM_AUDIOBLOCK, 0, LPARAM(BlockOf(1.0f))), 1);
  }  // the sanitizer build reports the three blocks if they leak here
  QCoreApplication::processEvents();
  EXPECT_EQ(handled, 0);
  AudioBlock* late = BlockOf(2.0f);
  EXPECT_EQ(PostMessage(hwnd, WM_AUDIOBLOCK, 0, LPARAM(late)), 0);  // the poster keeps it
  FreeAudioBlock(late);
}
