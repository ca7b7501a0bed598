// CTimeScanner: the station's daily timer schedule. A timer list (".tim", 428-byte frequency
// records) gives each entry a window of the day in UTC: "[Extension_1]" and "[Extension_2]" are
// its start and stop in minutes after 00:00 of the day the list is loaded (1440 and more: the
// next day), bit 31 of "[Flags]" enables it. While the schedule runs, the first enabled entry
// whose window holds the time is applied to the station, and when its window ends what it
// produced is closed and the next entry looked for; after the last stop the list is read again
// for the new day.
//
// The schedule keeps no timer of its own: Check is called with whatever period the owner has
// and works from the injected clock's time, so a late or irregular call still applies and
// finishes everything that became due in between.
#pragma once
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "app/lists/frq_list_file.h"
#include "app/lists/frq_record.h"

// What the station says when a list the running schedule depends on is to be changed.
constexpr const char* kTimerRunningMessage = "ERROR: TimeManger in progress";

// What the schedule drives; the station core implements it.
class CTimerTarget {
 public:
  virtual ~CTimerTarget() = default;
  // Applies an entry's record as a selected frequency-list row would be applied (tuning,
  // mode, IF width, decoder and its parameters). 1 or 0.
  virtual int ApplyTimerRecord(const CFrqRecord& record) = 0;
  // Closes what the applied entry produced: the text message being captured, the picture
  // being received, the recording.
  virtual void CloseTimerProducts() = 0;
};

// One entry of the running list: the record and its window in UTC seconds.
struct TimerEntry {
  CFrqRecord record;
  time_t start = 0, stop = 0;
  bool Enabled() const { return (uint32_t(record.flags) & kTimerEntryEnabled) != 0; }
};

// What one Check did, for the owner to show. Indexes into Entries(), -1 when nothing.
struct TimerCheck {
  int finished = -1;   // the entry whose products were closed
  int applied = -1;    // the entry applied
  int failed = -1;     // the entry whose apply failed (it stays active, not applied again)
  bool reloaded = false;  // the list was read again for a new day
};

class CTimeScanner {
 public:
  using Clock = std::function<time_t()>;

  CTimeScanner() = default;
  CTimeScanner(const CTimeScanner&) = delete;
  CTimeScanner& operator=(const CTimeScanner&) = delete;

  // path: the timer list; target: outlives the object; clock: UTC seconds (empty:
  // time(nullptr)). Stops a running schedule first (closing an applied entry's products).
  // The list is read at Start, not here. 1, or 0 for a null target (nothing changed).
  int Init(const std::string& path, CTimerTarget* target, Clock clock);
  // Reads the list with today's 00:00 UTC as its day and starts; nothing is applied before
  // the first Check. 1, or 0 with Error() set and the schedule stopped (the file cannot be
  // read or is not a timer list).
  int Start();
  // Stops; an applied entry's products are closed.
  void Stop();
  // One check at the clock's time: finishes the active entry when its stop has come, reloads
  // after the last stop, makes the first enabled entry whose window holds the time active and
  // applies it. Cheap when nothing is due.
  TimerCheck Check();

  int Running() const { return running_; }
  // The active entry (-1: none) and whether its record has been applied.
  int ActiveIndex() const { return active_; }
  int EntryApplied() const { return applied_; }
  const std::vector<TimerEntry>& Entries() const { return entries_; }
  time_t DayBase() const { return day_; }
  const std::string& Path() const { return path_; }
  const std::string& Error() const { return error_; }
  // The status line of the active entry: " HH:MM-HH:MM - kHz - name - decoder"; "" when none.
  std::string StatusText() const;

 private:
  time_t Now() const { return clock_ ? clock_() : time(nullptr); }
  int Load(time_t now);
  void Finish();
  void Search(time_t now);
  time_t NextDue(time_t now) const;

  std::string path_;
  CTimerTarget* target_ = nullptr;
  Clock clock_;
  std::vector<TimerEntry> entries_;
  std::string error_;
  int running_ = 0;
  int active_ = -1;
  int applied_ = 0;
  time_t day_ = 0;      // 00:00 UTC of the list's day
  time_t active_stop_ = 0;  // the active entry's stop (its window may be yesterday's)
  time_t reload_ = 0;       // the list is read again from then on
  time_t next_due_ = 0;     // nothing can change before this time
  time_t last_check_ = 0;
};
