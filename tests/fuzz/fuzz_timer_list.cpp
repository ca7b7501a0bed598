// libFuzzer target: timer lists as the schedule reads them. A file is refused, or every entry
// holds values a frequency record can hold and a window within two days; a list that reads
// runs under a clock stepped across two days, and the schedule then never applies a disabled
// entry, never applies outside an entry's window, and closes exactly what it applied.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/lists/frq_list_file.h"
#include "app/lists/time_scanner.h"
#include "tests/fuzz/fuzz_folder.h"

namespace {

class CCheckedTarget : public CTimerTarget {
 public:
  int ApplyTimerRecord(const CFrqRecord& record) override {
    if (open_) std::abort();  // applied twice without a close
    if (!(uint32_t(record.flags) & kTimerEntryEnabled)) std::abort();
    open_ = true;
    ++applied;
    return 1;
  }
  void CloseTimerProducts() override {
    if (!open_) std::abort();
    open_ = false;
    ++closed;
  }
  bool open_ = false;
  int applied = 0, closed = 0;
};

// 2026-03-14 00:00:00 UTC.
constexpr time_t kBase = 1773446400;
constexpr time_t kStepSeconds = 293;  // not a divisor of a minute or a day
constexpr time_t kRunSeconds = 2 * 86400 + 3600;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& folder = FuzzFolder();
  const std::string in = folder + "/in.tim";
  std::FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  std::vector<CFrqRecord> list;
  std::string error;
  const int read = ReadFrqListFile(in, 1, list, &error);
  if (!read) {
    if (error.empty() || !list.empty()) std::abort();
    return 0;
  }
  if (list.size() != size / kFrqRecordSize || size % kFrqRecordSize) std::abort();
  for (const CFrqRecord& r : list)
    if (r.extension[0] < 0 || r.extension[1] < r.extension[0] || r.extension[1] > kTimerLastMinute) std::abort();

  time_t now = kBase + (size ? data[0] : 0) * 60;
  CCheckedTarget target;
  CTimeScanner timer;
  if (!timer.Init(in, &target, [&now] { return now; }) || !timer.Start()) std::abort();
  const time_t end = now + kRunSeconds;
  for (; now < end; now += kStepSeconds) {
    timer.Check();
    const int active = timer.ActiveIndex();
    if (active >= 0) {
      const TimerEntry& e = timer.Entries()[size_t(active)];
      const bool inside = (e.start <= now && now < e.stop) ||
                          (e.start - 86400 <= now && now < e.stop - 86400);
      if (!inside || !e.Enabled()) std::abort();
    }
    timer.StatusText();
  }
  timer.Stop();
  if (target.applied != target.closed) std::abort();
  return 0;
}
