#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "spl/platform/message_loop.h"

namespace {

class Recorder : public CHeadlessWindow {
 public:
  using CHeadlessWindow::CHeadlessWindow;
  void WindowProc(UINT m, WPARAM w, LPARAM l) override { got.push_back({Handle(), m, w, l}); }
  std::vector<MSG> got;
};

TEST(MessageLoop, PostsArriveInOrderAtTheirOwnWindow) {
  CMessageLoop loop;
  Recorder a(loop), b(loop);
  ASSERT_NE(a.Handle(), b.Handle());
  EXPECT_EQ(PostMessage(a.Handle(), WM_USER + 1, 1, 10), 1);
  EXPECT_EQ(PostMessage(b.Handle(), WM_USER + 1, 2, 20), 1);
  EXPECT_EQ(PostMessage(a.Handle(), WM_USER + 2, 3, 30), 1);
  EXPECT_EQ(loop.Pump(), 3);
  ASSERT_EQ(a.got.size(), 2u);
  EXPECT_EQ(a.got[0].wParam, 1u);
  EXPECT_EQ(a.got[1].message, WM_USER + 2);
  ASSERT_EQ(b.got.size(), 1u);
  EXPECT_EQ(b.got[0].lParam, 20);
}

TEST(MessageLoop, PostToAGoneWindowFailsAndQueuedOnesGoToTheOrphanHandler) {
  CMessageLoop loop;
  std::vector<MSG> orphans;
  loop.SetOrphanHandler([&](const MSG& m) { orphans.push_back(m); });
  HWND stale;
  {
    Recorder w(loop);
    stale = w.Handle();
    EXPECT_EQ(PostMessage(stale, WM_USER, 7, 77), 1);  // queued, then the window goes
  }
  EXPECT_EQ(IsWindow(stale), 0);
  EXPECT_EQ(PostMessage(stale, WM_USER, 8, 88), 0);
  loop.Pump();
  ASSERT_EQ(orphans.size(), 1u);
  EXPECT_EQ(orphans[0].lParam, 77);
  // A new window never gets the old handle back.
  Recorder fresh(loop);
  EXPECT_NE(fresh.Handle(), stale);
}

TEST(MessageLoop, ManyThreadsPostWithoutLoss) {
  CMessageLoop loop;
  Recorder w(loop);
  constexpr int kThreads = 4, kEach = 2000;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t)
    posters.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) PostMessage(w.Handle(), WM_USER, WPARAM(t), i);
    });
  for (auto& p : posters) p.join();
  loop.Pump();
  ASSERT_EQ(w.got.size(), size_t(kThreads * kEach));
  std::vector<LPARAM> last(kThreads, -1);
  for (const MSG& m : w.got) {  // each poster's messages keep their order
    EXPECT_EQ(m.lParam, last[m.wParam] + 1);
    last[m.wParam] = m.lParam;
  }
}

TEST(MessageLoop, TimersFireOnTheLoopThreadAndRunReturnsTheQuitCode) {
  CMessageLoop loop;
  EXPECT_EQ(CMessageLoop::Current(), &loop);
  int fired = 0;
  std::thread::id where;
  loop.SetTimer(1, 20, [&] {
    where = std::this_thread::get_id();
    if (++fired == 3) {
      loop.KillTimer(1);
      loop.PostQuitMessage(5);
    }
  });
  EXPECT_EQ(loop.Run(5000), 5);
  EXPECT_EQ(fired, 3);
  EXPECT_EQ(where, std::this_thread::get_id());
  EXPECT_EQ(loop.Run(50), -1);  // nothing more: times out
}

TEST(MessageLoop, PostAppQuitReachesTheFirstLoopOrTheProgramsHook) {
  CMessageLoop loop;
  std::thread([] { EXPECT_EQ(PostAppQuit(3), 1); }).join();
  EXPECT_EQ(loop.Run(2000), 3);
  // With a hook the program decides; the loop gets nothing.
  std::atomic<int> asked{0};
  SetAppQuitHook([&](int code) { asked = code; });
  std::thread([] { EXPECT_EQ(PostAppQuit(5), 1); }).join();
  SetAppQuitHook(nullptr);
  EXPECT_EQ(asked.load(), 5);
  EXPECT_EQ(loop.Run(50), -1);
}

}  // namespace
