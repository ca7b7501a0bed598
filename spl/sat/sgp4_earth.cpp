#include "spl/sat/sgp4_earth.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;
// The IAU 1982 sidereal time: seconds of time at J2000 and its polynomial in Julian
// centuries of UT1.
constexpr double kJ2000 = 2451545.0;
constexpr double kDaysPerCentury = 36525.0;
constexpr double kGmst0 = 67310.54841;
constexpr double kGmst1 = 876600.0 * 3600.0 + 8640184.812866;
constexpr double kGmst2 = 0.093104;
constexpr double kGmst3 = -6.2e-6;
constexpr double kSecondsPerDay = 86400.0;
// Latitude iteration: stops below a micro-arcsecond or after so many steps.
constexpr double kLatitudeTolerance = 1e-12;
constexpr int kLatitudeSteps = 20;
// Within this cosine of the latitude (some 6 km from the axis at the surface) the height is
// taken along the axis.
constexpr double kPolarCosine = 1e-3;

void ToEarthFixed(const double pos[3], double gmst, double out[3]) {
  const double c = std::cos(gmst), s = std::sin(gmst);
  out[0] = c * pos[0] + s * pos[1];
  out[1] = -s * pos[0] + c * pos[1];
  out[2] = pos[2];
}

}  // namespace

const Ellipsoid kWgs72{6378.135, 1.0 / 298.26};
const Ellipsoid kWgs84{6378.137, 1.0 / 298.257223563};

double GreenwichSiderealTime(double jd) {
  const double t = (jd - kJ2000) / kDaysPerCentury;
  double seconds = kGmst0 + (kGmst1 + (kGmst2 + kGmst3 * t) * t) * t;
  double angle = std::fmod(seconds / kSecondsPerDay * kTwoPi, kTwoPi);
  return angle < 0 ? angle + kTwoPi : angle;
}

GeodeticPoint TemeToGeodetic(const double pos[3], double gmst, const Ellipsoid& earth) {
  double r[3];
  ToEarthFixed(pos, gmst, r);
  const double e2 = earth.flattening * (2.0 - earth.flattening);
  const double p = std::hypot(r[0], r[1]);
  GeodeticPoint g{};
  g.longitude = std::atan2(r[1], r[0]) * kRadToDeg;
  // Fixed-point iteration on the latitude, from the geocentric one.
  double lat = std::atan2(r[2], p), n = earth.radius;
  for (int k = 0; k < kLatitudeSteps; ++k) {
    const double s = std::sin(lat);
    n = earth.radius / std::sqrt(1.0 - e2 * s * s);
    const double next = std::atan2(r[2] + n * e2 * s, p);
    const bool done = std::fabs(next - lat) < kLatitudeTolerance;
    lat = next;
    if (done) break;
  }
  const double s = std::sin(lat), c = std::cos(lat);
  n = earth.radius / std::sqrt(1.0 - e2 * s * s);
  // Near the poles the height follows from z, elsewhere from the distance to the axis.
  g.height = std::fabs(c) > kPolarCosine ? p / c - n : std::fabs(r[2]) / std::fabs(s) - n * (1.0 - e2);
  g.latitude = lat * kRadToDeg;
  return g;
}

double GeocentricLatitude(double geodeticLatitude, const Ellipsoid& earth) {
  const double e2 = earth.flattening * (2.0 - earth.flattening);
  return std::atan((1.0 - e2) * std::tan(geodeticLatitude * kDegToRad)) * kRadToDeg;
}

LookAngles Look(const GeodeticPoint& obs, const double pos[3], double gmst, const Ellipsoid& earth) {
  double r[3];
  ToEarthFixed(pos, gmst, r);
  const double e2 = earth.flattening * (2.0 - earth.flattening);
  const double lat = obs.latitude * kDegToRad, lon = obs.longitude * kDegToRad;
  const double sl = std::sin(lat), cl = std::cos(lat), so = std::sin(lon), co = std::cos(lon);
  const double n = earth.radius / std::sqrt(1.0 - e2 * sl * sl);
  const double site[3] = {(n + obs.height) * cl * co, (n + obs.height) * cl * so,
                          (n * (1.0 - e2) + obs.height) * sl};
  const double d[3] = {r[0] - site[0], r[1] - site[1], r[2] - site[2]};
  // South, east and up components.
  const double south = sl * co * d[0] + sl * so * d[1] - cl * d[2];
  const double east = -so * d[0] + co * d[1];
  const double up = cl * co * d[0] + cl * so * d[1] + sl * d[2];
  LookAngles a{};
  a.range = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  a.elevation = std::atan2(up, std::hypot(south, east)) * kRadToDeg;
  double az = std::atan2(east, -south) * kRadToDeg;
  a.azimuth = az < 0 ? az + 360.0 : az;
  return a;
}
