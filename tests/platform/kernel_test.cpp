#include <gtest/gtest.h>

#include <atomic>

#include "spl/platform/kernel.h"

TEST(Kernel, TickAndCounterMoveForward) {
  DWORD t0 = GetTickCount();
  int64_t c0 = QueryPerformanceCounter();
  Sleep(30);
  DWORD dt = GetTickCount() - t0;  // wrap-safe
  EXPECT_GE(dt, 29u);
  EXPECT_LT(dt, 5000u);
  int64_t dc = QueryPerformanceCounter() - c0;
  EXPECT_GE(dc * 1000 / QueryPerformanceFrequency(), 29);
}

TEST(Kernel, AutoResetEventReleasesOneWaitPerSet) {
  CEvent e;
  EXPECT_EQ(e.Wait(0), 0);
  e.Set();
  EXPECT_EQ(e.Wait(0), 1);
  EXPECT_EQ(e.Wait(10), 0);  // reset by the first wait
}

TEST(Kernel, MutexLockTimesOut) {
  CMutex m;
  ASSERT_EQ(m.Lock(0), 1);
  std::atomic<int> got{-1};
  std::thread([&] { got = m.Lock(20); }).join();
  EXPECT_EQ(got, 0);
  m.Unlock();
}

TEST(Kernel, ThreadMessagesReachTheThreadAndJoinWaits) {
  CThread t;
  std::atomic<int> sum{0};
  ASSERT_EQ(t.Start([&](CThread& self) {
    MSG m;
    while (self.Queue().Get(m) && m.message != WM_QUIT) sum += int(m.wParam);
  }), 1);
  for (int i = 1; i <= 10; ++i) t.PostThreadMessage(WM_USER, WPARAM(i), 0);
  t.PostThreadMessage(WM_QUIT, 0, 0);
  EXPECT_EQ(t.Join(2000), 1);
  EXPECT_EQ(sum, 55);
}

TEST(Kernel, RestartedThreadJoinWaitsForTheNewRun) {
  CThread t;
  ASSERT_EQ(t.Start([](CThread&) {}), 1);
  // The second run holds until released (or, when Join wrongly waits for it, for a while), so
  // only a stale end of the first run lets Join(100) succeed.
  CEvent release;
  constexpr DWORD kHoldMs = 2000;
  ASSERT_EQ(t.Start([&](CThread&) { release.Wait(kHoldMs); }), 1);
  EXPECT_EQ(t.Join(100), 0);
  release.Set();
  EXPECT_EQ(t.Join(INFINITE), 1);
}

#include "spl/audio/meas_time.h"

TEST(MeasTime, MeasuresWholeMillisecondsAndSaysSo) {
  CMeasTime t;
  t.Start();
  Sleep(25);
  t.Stop();
  EXPECT_GE(t.Elapsed(), 24);
  EXPECT_LT(t.Elapsed(), 5000);
  EXPECT_EQ(t.Text(), "elapsed time: " + std::to_string(t.Elapsed()) + " msec");
}
