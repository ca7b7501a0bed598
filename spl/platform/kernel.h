// Kernel services as the library uses them: millisecond tick, high-resolution counter,
// auto-reset events, mutexes with time-outs, threads with a message queue, priorities.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "spl/platform/message_queue.h"

// Milliseconds since an arbitrary start on the monotonic clock, wrapping at 2^32.
DWORD GetTickCount();
// High-resolution counter and its ticks per second.
int64_t QueryPerformanceCounter();
int64_t QueryPerformanceFrequency();
void Sleep(DWORD ms);

// An auto-reset event: Set releases exactly one wait, then the event is clear again.
class CEvent {
 public:
  void Set();
  // Clears a Set that no wait has taken yet.
  void Reset();
  // 1 when signalled within timeout ms (INFINITE: forever), 0 on time-out.
  int Wait(DWORD timeout);

 private:
  std::mutex mutex_;
  std::condition_variable cond_;
  bool signalled_ = false;
};

// A mutex whose acquisition can time out. Built on a plain mutex and a condition: the
// library's timed mutex locks through a call that ThreadSanitizer does not follow.
class CMutex {
 public:
  int Lock(DWORD timeout);  // 1 when taken, 0 on time-out
  void Unlock();

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;
};

// A thread that owns a message queue for thread messages.
class CThread {
 public:
  CThread() = default;
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;
  ~CThread();  // joins a thread that is still running

  // Starts body on a new thread; 1 or 0. A thread already started is joined first.
  int Start(std::function<void(CThread&)> body);
  int PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam);
  CMessageQueue& Queue() { return queue_; }
  // Waits up to timeout ms for the thread to end; 1 when it ended (and was joined).
  int Join(DWORD timeout);
  int Started() const { return thread_.joinable() ? 1 : 0; }

 private:
  CMessageQueue queue_;
  std::thread thread_;
  CEvent ended_;
  bool ended_seen_ = false;
};

// Asks for real-time scheduling of the calling thread (time-critical: highest FIFO priority;
// highest: one step below). Without the right to it the thread stays at normal priority,
// which is reported once per process on standard error; the result is 1 either way.
int SetCurrentThreadTimeCritical();
int SetCurrentThreadHighest();
