// CMeasTime: a stopwatch on the high-resolution counter, for timing work in milliseconds.
#pragma once
#include <cstdint>
#include <string>

class CMeasTime {
 public:
  CMeasTime();
  virtual ~CMeasTime() = default;
  void Start();
  // Stores the time since Start in whole milliseconds and as "elapsed time: %d msec".
  void Stop();
  int Elapsed() const { return elapsed_ms_; }
  const std::string& Text() const { return text_; }

 private:
  int64_t frequency_;
  int64_t start_ = 0;
  int elapsed_ms_ = 0;
  std::string text_;
};
