#include "spl/platform/kernel.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

DWORD GetTickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
  return DWORD(ms);  // wraps at 2^32 like the tick it stands for
}

int64_t QueryPerformanceCounter() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t QueryPerformanceFrequency() { return 1000000000; }

void Sleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void CEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
  }
  cond_.notify_one();
}

void CEvent::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

int CEvent::Wait(DWORD timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto is_set = [this] { return signalled_; };
  if (timeout == INFINITE) {
    cond_.wait(lock, is_set);
  } else if (!cond_.wait_for(lock, std::chrono::milliseconds(timeout), is_set)) {
    return 0;
  }
  signalled_ = false;
  return 1;
}

int CMutex::Lock(DWORD timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto free = [this] { return !held_; };
  if (timeout == INFINITE) {
    released_.wait(lock, free);
  } else if (!released_.wait_for(lock, std::chrono::milliseconds(timeout), free)) {
    return 0;
  }
  held_ = true;
  return 1;
}

void CMutex::Unlock() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = false;
  }
  released_.notify_one();
}

CThread::~CThread() {
  if (thread_.joinable()) thread_.join();
}

int CThread::Start(std::function<void(CThread&)> body) {
  if (thread_.joinable()) thread_.join();
  // A Set left over from the last run must not end the new run's Join early.
  ended_.Reset();
  ended_seen_ = false;
  try {
    thread_ = std::thread([this, body = std::move(body)] {
      body(*this);
      ended_.Set();
    });
  } catch (const std::system_error&) {
    return 0;
  }
  return 1;
}

int CThread::PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!thread_.joinable()) return 0;
  queue_.Post(MSG{nullptr, message, wParam, lParam});
  return 1;
}

int CThread::Join(DWORD timeout) {
  if (!thread_.joinable()) return 1;
  if (!ended_seen_) {
    if (!ended_.Wait(timeout)) return 0;
    ended_seen_ = true;
  }
  thread_.join();
  return 1;
}

namespace {

int SetCurrentThreadFifo(int below_max) {
  sched_param param{};
  param.sched_priority = sched_get_priority_max(SCHED_FIFO) - below_max;
  int rc = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
  if (rc != 0) {
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
      fprintf(stderr,
              "kestrel: real-time priority not granted (%s); running at normal priority\n",
              strerror(rc));
    }
  }
  return 1;
}

}  // namespace

int SetCurrentThreadTimeCritical() { return SetCurrentThreadFifo(0); }
int SetCurrentThreadHighest() { return SetCurrentThreadFifo(1); }
