// libFuzzer target: two-line element files. Every set the reader accepts must predict a
// finite position (or report that it cannot), never crash or read out of bounds.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "spl/sat/sat_passes.h"
#include "spl/sat/track_sat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!f) return 0;
  CTrackSat track;
  std::vector<SatElem> sats;
  std::vector<std::string> notes;
  track.ReadNASA(f, sats, &notes);
  std::fclose(f);
  const Observer obs{-2976, 660, 300, 0};
  for (size_t i = 0; i < sats.size(); ++i) {
    const SatElem& s = sats[i];
    // The deep-space integrator steps half a day at a time from the epoch: decades away cost
    // tens of thousands of steps. The first set goes there once; every set is predicted near
    // its own epoch, as sets are used.
    const int year = s.epochYear < 50 ? 2000 + s.epochYear : 1900 + s.epochYear;
    const double epoch = (365.0 * (year - 1970) + (year - 1969) / 4 + s.epochDay - 1) * 86400;
    const double far = i == 0 ? 2.0e9 : epoch - 86400 * 3;
    for (double t : {epoch, epoch + 43200, far}) {
      Satellite r;
      track.Predict(s, obs, SatTimeFromUnix(t), r);
      if (track.LastValid() && !std::isfinite(track.LastDetail().elevation)) std::abort();
      if (!track.LastValid() && (r.y || r.x || r.height || r.elevation != -90)) std::abort();
    }
    char loc[8];
    Satellite r;
    track.Predict(s, obs, SatTimeFromUnix(epoch), r);
    if (track.LastValid() && !CTrackSat::MapToLocator(r.y, r.x, loc)) std::abort();
  }
  return 0;
}
