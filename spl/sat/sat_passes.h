// Pass search: steps CTrackSat::Predict over a time span and reports each interval in which a
// satellite stands at or above the observer's minimum elevation, with its highest point.
#pragma once
#include <vector>

#include "spl/sat/track_sat.h"

struct SatPass {
  double start;          // first second visible (seconds since 1970, UTC)
  double end;            // last second visible
  double peak;           // time of the highest elevation
  double peakElevation;  // degrees
  double peakAzimuth;    // degrees
};

// Coarse step of the search and the resolution of the pass edges and peak, seconds.
constexpr double kPassStepSeconds = 30.0;
constexpr double kPassResolutionSeconds = 1.0;

// Appends the passes of sat for obs between from and from + hours (seconds since 1970) to
// passes, in time order; a pass under way at from starts at from, one still under way at the
// end ends there. Returns the number appended; 0 also when the orbit cannot be computed or
// the satellite has decayed (CTrackSat::LastDecayed); a pass search stops at a decay.
// A pass shorter than the coarse step can be missed.
int FindPasses(CTrackSat& track, const SatElem& sat, const Observer& obs, double from,
               double hours, std::vector<SatPass>& passes);
