#include "spl/sat/sat_passes.h"

#include <cmath>

namespace {

constexpr double kSecondsPerHour = 3600.0;
constexpr double kGoldenRatio = 0.6180339887498949;

struct Probe {
  int visible;
  double elevation;
  double azimuth;
};

Probe At(CTrackSat& track, const SatElem& sat, const Observer& obs, double when) {
  Satellite s;
  int v = track.Predict(sat, obs, SatTimeFromUnix(when), s);
  if (!track.LastValid()) return Probe{-1, -90.0, 0.0};
  return Probe{v, track.LastDetail().elevation, track.LastDetail().azimuth};
}

// The first second of [lo, hi] whose visibility equals the visibility at hi (lo differs).
double Edge(CTrackSat& track, const SatElem& sat, const Observer& obs, double lo, double hi) {
  int want = At(track, sat, obs, hi).visible;
  while (hi - lo > kPassResolutionSeconds) {
    double mid = 0.5 * (lo + hi);
    if (At(track, sat, obs, mid).visible == want)
      hi = mid;
    else
      lo = mid;
  }
  return hi;
}

}  // namespace

int FindPasses(CTrackSat& track, const SatElem& sat, const Observer& obs, double from,
               double hours, std::vector<SatPass>& passes) {
  const double to = from + hours * kSecondsPerHour;
  int found = 0;
  Probe prev = At(track, sat, obs, from);
  if (prev.visible < 0) return 0;
  bool in_pass = prev.visible == 1;
  SatPass pass{from, from, from, prev.elevation, prev.azimuth};
  double t_prev = from;
  for (double t = from + kPassStepSeconds;; t += kPassStepSeconds) {
    if (t > to) t = to;
    Probe p = At(track, sat, obs, t);
    if (p.visible < 0) break;
    if (!in_pass && p.visible == 1) {
      in_pass = true;
      pass.start = Edge(track, sat, obs, t_prev, t);
      pass.peak = t;
      pass.peakElevation = p.elevation;
      pass.peakAzimuth = p.azimuth;
    } else if (in_pass && p.visible == 1 && p.elevation > pass.peakElevation) {
      pass.peak = t;
      pass.peakElevation = p.elevation;
      pass.peakAzimuth = p.azimuth;
    }
    if (in_pass && (p.visible == 0 || t >= to)) {
      pass.end = p.visible == 0 ? Edge(track, sat, obs, t_prev, t) - kPassResolutionSeconds : t;
      if (pass.end < pass.start) pass.end = pass.start;
      // Refine the peak by golden-section search around the best coarse sample.
      double a = std::fmax(pass.start, pass.peak - kPassStepSeconds);
      double b = std::fmin(pass.end, pass.peak + kPassStepSeconds);
      while (b - a > kPassResolutionSeconds) {
        double c = b - kGoldenRatio * (b - a), d = a + kGoldenRatio * (b - a);
        if (At(track, sat, obs, c).elevation > At(track, sat, obs, d).elevation)
          b = d;
        else
          a = c;
      }
      Probe top = At(track, sat, obs, 0.5 * (a + b));
      if (top.visible >= 0 && top.elevation > pass.peakElevation) {
        pass.peak = 0.5 * (a + b);
        pass.peakElevation = top.elevation;
        pass.peakAzimuth = top.azimuth;
      }
      passes.push_back(pass);
      ++found;
      in_pass = false;
    }
    t_prev = t;
    if (t >= to) break;
  }
  return found;
}
