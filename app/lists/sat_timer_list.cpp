#include "app/lists/sat_timer_list.h"

#include <algorithm>
#include <cmath>

#include "app/lists/frq_list_file.h"
#include "spl/sat/sat_passes.h"

namespace {

constexpr time_t kSecondsPerDay = 86400;
constexpr int kMaxSpanMinutes = 1440;
// A pass is followed this long past the span at most.
constexpr int kFollowMinutes = 60;

struct Window {
  int start, stop;
  size_t order;  // position in the basis list
  CFrqRecord record;
};

}  // namespace

int MakeSatTimerList(CTrackSat& track, const std::vector<SatElem>& sats, const std::vector<CFrqRecord>& basis,
                     const Observer& obs, time_t now, int spanMinutes, std::vector<CFrqRecord>& out,
                     SatTimerStats* stats, std::string* error) {
  if (spanMinutes < 1 || spanMinutes > kMaxSpanMinutes) {
    if (error) *error = "the span is 1 ... 1440 minutes";
    return 0;
  }
  SatTimerStats count;
  // Minutes are counted from the day of now, never from the day of the pass: a pass found in
  // the hour before a midnight just gone belongs to yesterday and must not come out as
  // today's late evening.
  const time_t day = now - ((now % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
  const double from = double(now) - kSatLookBackMinutes * 60.0;
  const double last_start = double(now) + spanMinutes * 60.0;
  const double hours = (kSatLookBackMinutes + spanMinutes + kFollowMinutes) / 60.0;
  std::vector<Window> windows;
  for (size_t i = 0; i < basis.size(); ++i) {
    const CFrqRecord& r = basis[i];
    if (!(uint32_t(r.flags) & kListEntryChecked)) continue;
    const SatElem* sat = nullptr;
    for (const SatElem& s : sats)
      if (s.number == r.satId) sat = &s;
    if (!sat || r.satId < 0) {
      ++count.unknown;
      continue;
    }
    ++count.satellites;
    std::vector<SatPass> passes;
    FindPasses(track, *sat, obs, from, hours, passes);
    for (const SatPass& p : passes) {
      if (p.start >= last_start) continue;
      // Over already: the last visible second lies before now.
      if (p.end < double(now)) continue;
      // The window: the first visible minute up to the minute after the last visible one.
      int start = int(std::floor((p.start - double(day)) / 60.0));
      int stop = int(std::floor((p.end - double(day)) / 60.0)) + 1;
      if (start < 0) start = 0;  // under way since before midnight
      if (stop > kTimerLastMinute) stop = kTimerLastMinute;
      if (stop <= start) continue;
      Window w{start, stop, i, r};
      w.record.flags = int32_t(kListEntryChecked);
      w.record.extension[0] = start;
      w.record.extension[1] = stop;
      windows.push_back(w);
    }
  }
  std::stable_sort(windows.begin(), windows.end(), [](const Window& a, const Window& b) {
    return a.start != b.start ? a.start < b.start : a.order < b.order;
  });
  out.clear();
  for (const Window& w : windows) out.push_back(w.record);
  count.passes = int(out.size());
  if (stats) *stats = count;
  return 1;
}
