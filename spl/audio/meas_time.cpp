#include "spl/audio/meas_time.h"

#include <cstdio>

#include "spl/platform/kernel.h"

CMeasTime::CMeasTime() : frequency_(QueryPerformanceFrequency()) {}

void CMeasTime::Start() { start_ = QueryPerformanceCounter(); }

void CMeasTime::Stop() {
  int64_t stop = QueryPerformanceCounter();
  elapsed_ms_ = int((stop - start_) * 1000 / frequency_);
  char text[48];
  snprintf(text, sizeof text, "elapsed time: %d msec", elapsed_ms_);
  text_ = text;
}
