// The constants shared by the near-earth and deep-space parts of CSgp4: the WGS-72 Earth the
// element sets are fitted with, in the model's units (Earth radii and minutes).
#pragma once
#include <cmath>

namespace sgp4 {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kMinutesPerDay = 1440.0;

// WGS-72.
constexpr double kMu = 398600.8;          // km^3/s^2
constexpr double kEarthRadius = 6378.135;  // km
constexpr double kJ2 = 0.001082616;
constexpr double kJ3 = -0.00000253881;
constexpr double kJ4 = -0.00000165597;
constexpr double kJ3OverJ2 = kJ3 / kJ2;
// sqrt(mu / Re^3) in 1/minutes: the mean motion of an orbit one Earth radius across.
inline double Xke() { return 60.0 / std::sqrt(kEarthRadius * kEarthRadius * kEarthRadius / kMu); }
// Earth radii per minute to km/s.
inline double VelocityUnit() { return kEarthRadius * Xke() / 60.0; }

// Earth's rotation, radians per minute (sidereal).
constexpr double kEarthRotationPerMinute = 4.37526908801129966e-3;

// Deep space begins at a period of 225 minutes.
constexpr double kDeepSpacePeriod = 225.0;

// Fraction of a turn reduced into 0..2 pi.
inline double Wrap(double a) {
  double r = std::fmod(a, kTwoPi);
  return r < 0 ? r + kTwoPi : r;
}

}  // namespace sgp4
