// CSgp4: the NORAD analytical orbit model for two-line element sets. Near-earth orbits
// (period below 225 minutes) use SGP4 with its drag terms; deep-space orbits use SDP4, which
// adds the lunar and solar secular and periodic terms and the resonance of 12-hour and
// 24-hour orbits with the Earth's gravity field (sdp4.cpp). Written after the equations of
// Spacetrack Report No. 3 (1980) and their revision of 2006, with the WGS-72 constants the
// element sets are made with.
//
// Positions and velocities come out in the TEME frame (true equator, mean equinox of the
// epoch), km and km/s, at minutes since the element set's epoch.
#pragma once

// Result codes of Init and Propagate.
enum Sgp4Error {
  kSgp4Ok = 0,
  kSgp4EccentricityOutOfRange = 1,   // mean eccentricity outside 0 <= e < 1
  kSgp4MeanMotionOutOfRange = 2,     // mean motion not above zero
  kSgp4PerturbedEccentricity = 3,    // eccentricity with the periodic terms outside 0..1
  kSgp4SemiLatusNegative = 4,        // the orbit has no semi-latus rectum left
  kSgp4Decayed = 6,                  // the satellite is below the Earth's surface
  kSgp4NotInitialised = 7,
  kSgp4TimeOutOfRange = 8,           // not a number, or more than kSgp4MaxMinutes from the epoch
  kSgp4NotFinite = 9,                // the elements give no finite position (edge values)
};

// Farthest from the epoch Propagate goes: 200 years, in minutes. The resonance integrator
// steps half a day at a time from the epoch; this bounds its work.
constexpr double kSgp4MaxMinutes = 200.0 * 366.0 * 1440.0;

// Mean elements of one set (as the two-line set gives them).
struct Sgp4Elements {
  double epoch;         // days since 1950-01-00 0 h UTC (Julian date - 2433281.5)
  double inclination;   // degrees, 0..180
  double node;          // right ascension of the ascending node, degrees
  double eccentricity;  // 0 <= e < 1
  double perigee;       // argument of perigee, degrees
  double meanAnomaly;   // degrees
  double meanMotion;    // revolutions per day, > 0
  double bstar;         // drag term, 1 / Earth radii
};

// The deep-space state: lunar-solar coefficients, secular rates and the resonance integrator.
struct Sdp4State {
  // Periodic coefficients, solar (s...) and lunar (l...), and their phases at the epoch.
  double se2, se3, si2, si3, sl2, sl3, sl4, sgh2, sgh3, sgh4, sh2, sh3;
  double ee2, e3, xi2, xi3, xl2, xl3, xl4, xgh2, xgh3, xgh4, xh2, xh3;
  double zmos, zmol;
  // Secular rates per minute.
  double dedt, didt, dmdt, domdt, dnodt;
  // Resonance: 0 none, 1 one-day (synchronous), 2 half-day (Molniya-like).
  int resonance;
  double d2201, d2211, d3210, d3222, d4410, d4422, d5220, d5232, d5421, d5433;
  double del1, del2, del3;
  double xlamo, xfact, gsto;
  // Integrator state: time, mean motion and longitude reached.
  double atime, xni, xli;
};

class CSgp4 {
 public:
  CSgp4() = default;

  // Sets the orbit up. 1, or 0 with Error() saying why (eccentricity or mean motion out of
  // range, or a perigee already inside the Earth: kSgp4Decayed).
  int Init(const Sgp4Elements& elements);
  // Position (km) and velocity (km/s) in TEME at minutes since the epoch. kSgp4Ok, or an
  // error code with pos and vel left at zero. Not const: the resonance integrator keeps its
  // last step to start the next one from.
  int Propagate(double minutes, double pos[3], double vel[3]);

  int Error() const { return error_; }
  bool DeepSpace() const { return deep_; }
  double Epoch() const { return el_.epoch; }
  // Period of the mean orbit, minutes.
  double PeriodMinutes() const;

 private:
  void InitDeepSpace();
  // Deep-space secular terms and resonance at t minutes: changes the mean elements.
  void DeepSecular(double t, double& em, double& argpm, double& inclm, double& nodem,
                   double& mm, double& nm);
  // Lunar-solar periodic terms at t minutes: changes the osculating-to-be elements.
  void DeepPeriodic(double t, double& ep, double& inclp, double& nodep, double& argpp,
                    double& mp) const;

  Sgp4Elements el_{};
  int error_ = kSgp4NotInitialised;
  bool deep_ = false, simple_ = false;
  // Mean elements in radians and Earth radii per minute.
  double incl_ = 0, node_ = 0, ecc_ = 0, argp_ = 0, mo_ = 0, no_ = 0, ao_ = 0;
  double cosio_ = 0, sinio_ = 0, con41_ = 0, x1mth2_ = 0, x7thm1_ = 0;
  double eta_ = 0, cc1_ = 0, cc4_ = 0, cc5_ = 0, d2_ = 0, d3_ = 0, d4_ = 0;
  double t2cof_ = 0, t3cof_ = 0, t4cof_ = 0, t5cof_ = 0;
  double mdot_ = 0, argpdot_ = 0, nodedot_ = 0, nodecf_ = 0, omgcof_ = 0, xmcof_ = 0;
  double delmo_ = 0, sinmao_ = 0, xlcof_ = 0, aycof_ = 0;
  Sdp4State ds_{};
};
