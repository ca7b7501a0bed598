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
  for (const SatElem& s : sats) {
    for (double t : {1.7e9, 1.8e9, 2.0e9}) {
      Satellite r;
      track.Predict(s, obs, SatTimeFromUnix(t), r);
      if (track.LastValid() && !std::isfinite(track.LastDetail().elevation)) std::abort();
      if (!track.LastValid() && (r.y || r.x || r.height || r.elevation != -90)) std::abort();
    }
    char loc[8];
    Satellite r;
    track.Predict(s, obs, SatTimeFromUnix(1.8e9), r);
    if (track.LastValid() && !CTrackSat::MapToLocator(r.y, r.x, loc)) std::abort();
  }
  return 0;
}
