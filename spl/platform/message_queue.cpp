#include "spl/platform/message_queue.h"

#include <chrono>

void CMessageQueue::Post(const MSG& msg) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(msg);
  }
  ready_.notify_one();
}

int CMessageQueue::Get(MSG& msg, DWORD timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto has_message = [this] { return !queue_.empty(); };
  if (timeout == INFINITE) {
    ready_.wait(lock, has_message);
  } else if (timeout == 0) {
    if (queue_.empty()) return 0;  // a timed wait of zero would still sleep for the timer slack
  } else if (!ready_.wait_for(lock, std::chrono::milliseconds(timeout), has_message)) {
    return 0;
  }
  msg = queue_.front();
  queue_.pop_front();
  return 1;
}

int CMessageQueue::Peek(MSG& msg) { return Get(msg, 0); }

size_t CMessageQueue::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}
