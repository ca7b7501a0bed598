#include "app/lists/time_scanner.h"

#include <cstdio>
#include <limits>

#include "app/lists/frq_tables.h"

namespace {

constexpr time_t kSecondsPerDay = 86400;
constexpr time_t kNever = std::numeric_limits<time_t>::max();

time_t DayOf(time_t t) { return t - ((t % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay; }

}  // namespace

int CTimeScanner::Init(const std::string& path, CTimerTarget* target, Clock clock) {
  if (!target) return 0;
  Stop();
  path_ = path;
  target_ = target;
  clock_ = std::move(clock);
  entries_.clear();
  error_.clear();
  return 1;
}

int CTimeScanner::Start() {
  Stop();
  error_.clear();
  entries_.clear();
  if (!target_) return error_ = "the timer has no station to drive", 0;
  if (!Load(Now())) return 0;
  running_ = 1;
  next_due_ = 0;
  last_check_ = 0;
  return 1;
}

void CTimeScanner::Stop() {
  if (active_ >= 0) Finish();
  running_ = 0;
  active_ = -1;
}

// Reads the list with the day of now as its base. A list that cannot be read again keeps the
// entries it had, moved to the new day, so that a daily schedule survives a file being
// replaced at the wrong moment.
int CTimeScanner::Load(time_t now) {
  std::vector<CFrqRecord> records;
  std::string why;
  if (!ReadFrqListFile(path_, 1, records, &why)) {
    error_ = why;
    if (entries_.empty()) return 0;
    for (const TimerEntry& e : entries_) records.push_back(e.record);
  }
  day_ = DayOf(now);
  entries_.clear();
  // The list is read again when its day's schedule is over: at the latest stop, and not
  // before the day ends (a list whose last entry stops early would otherwise be read again
  // on every check for the rest of the day).
  reload_ = day_ + kSecondsPerDay;
  for (const CFrqRecord& r : records) {
    TimerEntry e;
    e.record = r;
    e.start = day_ + time_t(r.extension[0]) * 60;
    e.stop = day_ + time_t(r.extension[1]) * 60;
    if (e.stop > reload_) reload_ = e.stop;
    entries_.push_back(e);
  }
  return 1;
}

void CTimeScanner::Finish() {
  if (applied_) target_->CloseTimerProducts();
  applied_ = 0;
  active_ = -1;
}

// The first enabled entry, in list order, whose window holds now. A window reaching into the
// next day also holds for the same hours of the list's own day (yesterday's instance of a
// daily schedule), which matters when the schedule starts after midnight.
void CTimeScanner::Search(time_t now) {
  active_ = -1;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const TimerEntry& e = entries_[i];
    if (!e.Enabled()) continue;
    if ((e.start <= now && now < e.stop) ||
        (e.stop - day_ > kSecondsPerDay && e.start - kSecondsPerDay <= now && now < e.stop - kSecondsPerDay)) {
      active_ = int(i);
      active_stop_ = now < e.stop - kSecondsPerDay ? e.stop - kSecondsPerDay : e.stop;
      return;
    }
  }
}

// The earliest time at which a check can change anything.
time_t CTimeScanner::NextDue(time_t now) const {
  if (active_ >= 0) return active_stop_;
  time_t due = reload_ > now ? reload_ : kNever;
  for (const TimerEntry& e : entries_) {
    if (!e.Enabled()) continue;
    if (e.start > now && e.start < due) due = e.start;
    if (e.start - kSecondsPerDay > now && e.start - kSecondsPerDay < due) due = e.start - kSecondsPerDay;
  }
  return due;
}

TimerCheck CTimeScanner::Check() {
  TimerCheck result;
  if (!running_) return result;
  const time_t now = Now();
  // A clock set back (a test, a corrected system time) is checked at once.
  if (now >= last_check_ && now < next_due_) return result;
  last_check_ = now;
  if (active_ >= 0 && now >= active_stop_) {
    result.finished = active_;
    Finish();
  }
  if (active_ < 0) {
    if (now >= reload_ && Load(now)) result.reloaded = true;
    Search(now);
  }
  if (active_ >= 0 && !applied_) {
    // The schedule's own apply: it goes straight to the target, never through the guard that
    // keeps a user's selection from taking the receiver over while an entry is applied.
    applied_ = 1;
    if (target_->ApplyTimerRecord(entries_[size_t(active_)].record)) result.applied = active_;
    else result.failed = active_;
  }
  next_due_ = NextDue(now);
  return result;
}

std::string CTimeScanner::StatusText() const {
  if (active_ < 0) return "";
  const CFrqRecord& r = entries_[size_t(active_)].record;
  const int start = r.extension[0] % kTimerMinutesPerDay, stop = r.extension[1] % kTimerMinutesPerDay;
  char buf[64];
  std::snprintf(buf, sizeof buf, " %02d:%02d-%02d:%02d - %.3f - ", start / 60, start % 60, stop / 60, stop % 60,
                r.rxFrq);
  return buf + std::string(r.name) + " - " + FrqDecoderText(r.decoder, -1, nullptr);
}
