// A thread-safe FIFO of messages: the queue behind every window and every worker thread.
#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>

#include "spl/platform/win_types.h"

typedef struct HWND__* HWND;

struct MSG {
  HWND hwnd = nullptr;
  UINT message = WM_NULL;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class CMessageQueue {
 public:
  // Appends a message and wakes one waiting reader; never blocks for long.
  void Post(const MSG& msg);
  // Waits up to timeout ms (INFINITE: forever) for a message; 1 and the message, or 0 on time-out.
  int Get(MSG& msg, DWORD timeout = INFINITE);
  // Takes a message if one is waiting; 1 or 0.
  int Peek(MSG& msg);
  size_t Size() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<MSG> queue_;
};
