// The satellite pass generator: the checked entries of a satellite basis list (".sbl"), each a
// frequency record whose "[SatID]" names a satellite by its catalogue number, turned into a
// timer list that tunes each satellite while it stands above the observer's horizon.
//
// Window minutes count from 00:00 UTC of the day of `now`, the day the timer schedule is
// meant to be started on: a pass after midnight lies at 1440 and more, and a pass that began
// before today's midnight and is still under way starts the window at minute 0.
#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "app/lists/frq_record.h"
#include "spl/sat/track_sat.h"

// How far before now the generator looks for a pass already under way.
constexpr int kSatLookBackMinutes = 60;

struct SatTimerStats {
  int satellites = 0;  // checked entries with a known satellite
  int unknown = 0;     // checked entries whose satellite no element set has
  int passes = 0;      // entries written
};

// basis: the satellite basis list; sats: the element sets; obs: the observer with its minimum
// elevation; now: UTC seconds; spanMinutes: 1 ... 1440, passes starting within [now - 60 min,
// now + span) are taken, each followed to its end (a window ends on the next day at the
// latest). out: the timer entries (checked, the pass in "[Extension_1]" .. "[Extension_2]"),
// ordered by start, entries of the same start in list order; passes already over are left
// out. 1, or 0 with error set (span out of range) and out untouched.
int MakeSatTimerList(CTrackSat& track, const std::vector<SatElem>& sats, const std::vector<CFrqRecord>& basis,
                     const Observer& obs, time_t now, int spanMinutes, std::vector<CFrqRecord>& out,
                     SatTimerStats* stats, std::string* error);
