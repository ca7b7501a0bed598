#include "spl/sat/sgp4.h"

#include <cmath>

#include "spl/sat/sgp4_constants.h"

using namespace sgp4;

namespace {

// Atmosphere of the drag model: density falls off as ((q0 - s) / r)^4 between the heights
// s = 78 km and q0 = 120 km; perigees below 156 km move s down, not below 20 km.
constexpr double kDragS0 = 78.0;       // km
constexpr double kDragQ0 = 120.0;      // km
constexpr double kLowPerigee = 156.0;  // km
constexpr double kFloorPerigee = 98.0;
constexpr double kFloorS = 20.0;
// Below a perigee of 220 km the higher drag terms are left out.
constexpr double kSimplePerigee = 220.0;
// Eccentricities below this make the drag terms that divide by e meaningless.
constexpr double kSmallEccentricity = 1.0e-4;
constexpr double kMinEccentricity = 1.0e-6;
constexpr double kEccentricityFloor = -0.001;
// Guard of the long-period term at an inclination of 180 degrees.
constexpr double kInclinationGuard = 1.5e-12;
// Kepler's equation: steps, tolerance, largest step.
constexpr int kKeplerSteps = 10;
constexpr double kKeplerTolerance = 1.0e-12;
constexpr double kKeplerMaxStep = 0.95;

}  // namespace

double CSgp4::PeriodMinutes() const { return no_ > 0 ? kTwoPi / no_ : 0.0; }

int CSgp4::Init(const Sgp4Elements& e) {
  error_ = kSgp4NotInitialised;
  el_ = e;
  ds_ = Sdp4State{};
  if (!(e.eccentricity >= 0.0 && e.eccentricity < 1.0)) return error_ = kSgp4EccentricityOutOfRange, 0;
  if (!(e.meanMotion > 0.0)) return error_ = kSgp4MeanMotionOutOfRange, 0;
  const double xke = Xke();
  const double ck2 = 0.5 * kJ2;
  const double ck4 = -0.375 * kJ4;
  incl_ = e.inclination * kDegToRad;
  node_ = e.node * kDegToRad;
  argp_ = e.perigee * kDegToRad;
  mo_ = e.meanAnomaly * kDegToRad;
  ecc_ = e.eccentricity;
  const double n_kozai = e.meanMotion * kTwoPi / kMinutesPerDay;

  // Recover the Brouwer mean motion and semi-major axis from the Kozai mean motion.
  cosio_ = std::cos(incl_);
  sinio_ = std::sin(incl_);
  const double theta2 = cosio_ * cosio_;
  const double x3thm1 = 3.0 * theta2 - 1.0;
  const double beta0sq = 1.0 - ecc_ * ecc_;
  const double beta0 = std::sqrt(beta0sq);
  const double a1 = std::pow(xke / n_kozai, 2.0 / 3.0);
  const double del1 = 1.5 * ck2 * x3thm1 / (a1 * a1 * beta0 * beta0sq);
  const double a0 = a1 * (1.0 - del1 * (1.0 / 3.0 + del1 * (1.0 + 134.0 / 81.0 * del1)));
  const double del0 = 1.5 * ck2 * x3thm1 / (a0 * a0 * beta0 * beta0sq);
  no_ = n_kozai / (1.0 + del0);
  ao_ = a0 / (1.0 - del0);
  con41_ = x3thm1;
  x1mth2_ = 1.0 - theta2;
  x7thm1_ = 7.0 * theta2 - 1.0;

  const double perigee_km = (ao_ * (1.0 - ecc_) - 1.0) * kEarthRadius;
  if (perigee_km < 0.0) return error_ = kSgp4Decayed, 0;
  simple_ = perigee_km < kSimplePerigee;
  double s4 = 1.0 + kDragS0 / kEarthRadius;
  double qoms24 = std::pow((kDragQ0 - kDragS0) / kEarthRadius, 4.0);
  if (perigee_km < kLowPerigee) {
    double s_km = perigee_km - kDragS0;
    if (perigee_km < kFloorPerigee) s_km = kFloorS;
    qoms24 = std::pow((kDragQ0 - s_km) / kEarthRadius, 4.0);
    s4 = s_km / kEarthRadius + 1.0;
  }
  const double pinvsq = 1.0 / (ao_ * ao_ * beta0sq * beta0sq);
  const double tsi = 1.0 / (ao_ - s4);
  eta_ = ao_ * ecc_ * tsi;
  const double etasq = eta_ * eta_;
  const double eeta = ecc_ * eta_;
  const double psisq = std::fabs(1.0 - etasq);
  const double coef = qoms24 * std::pow(tsi, 4.0);
  const double coef1 = coef / std::pow(psisq, 3.5);
  const double cc2 = coef1 * no_ *
                     (ao_ * (1.0 + 1.5 * etasq + eeta * (4.0 + etasq)) +
                      0.75 * ck2 * tsi / psisq * x3thm1 * (8.0 + 3.0 * etasq * (8.0 + etasq)));
  cc1_ = e.bstar * cc2;
  double cc3 = 0.0;
  if (ecc_ > kSmallEccentricity) cc3 = -2.0 * coef * tsi * kJ3OverJ2 * no_ * sinio_ / ecc_;
  cc4_ = 2.0 * no_ * coef1 * ao_ * beta0sq *
         (eta_ * (2.0 + 0.5 * etasq) + ecc_ * (0.5 + 2.0 * etasq) -
          2.0 * ck2 * tsi / (ao_ * psisq) *
              (-3.0 * x3thm1 * (1.0 - 2.0 * eeta + etasq * (1.5 - 0.5 * eeta)) +
               0.75 * x1mth2_ * (2.0 * etasq - eeta * (1.0 + etasq)) * std::cos(2.0 * argp_)));
  cc5_ = 2.0 * coef1 * ao_ * beta0sq * (1.0 + 2.75 * (etasq + eeta) + eeta * etasq);

  // Secular rates of the mean anomaly, perigee and node from J2 and J4.
  const double theta4 = theta2 * theta2;
  const double temp1 = 3.0 * ck2 * pinvsq * no_;
  const double temp2 = temp1 * ck2 * pinvsq;
  const double temp3 = 1.25 * ck4 * pinvsq * pinvsq * no_;
  mdot_ = no_ + 0.5 * temp1 * beta0 * x3thm1 +
          0.0625 * temp2 * beta0 * (13.0 - 78.0 * theta2 + 137.0 * theta4);
  argpdot_ = -0.5 * temp1 * (1.0 - 5.0 * theta2) +
             0.0625 * temp2 * (7.0 - 114.0 * theta2 + 395.0 * theta4) +
             temp3 * (3.0 - 36.0 * theta2 + 49.0 * theta4);
  const double xhdot1 = -temp1 * cosio_;
  nodedot_ = xhdot1 + (0.5 * temp2 * (4.0 - 19.0 * theta2) + 2.0 * temp3 * (3.0 - 7.0 * theta2)) *
                          cosio_;
  omgcof_ = e.bstar * cc3 * std::cos(argp_);
  xmcof_ = ecc_ > kSmallEccentricity ? -2.0 / 3.0 * coef * e.bstar / eeta : 0.0;
  nodecf_ = 3.5 * beta0sq * xhdot1 * cc1_;
  t2cof_ = 1.5 * cc1_;
  // Long-period terms of J3.
  const double denom = std::fabs(1.0 + cosio_) > kInclinationGuard ? 1.0 + cosio_ : kInclinationGuard;
  xlcof_ = -0.25 * kJ3OverJ2 * sinio_ * (3.0 + 5.0 * cosio_) / denom;
  aycof_ = -0.5 * kJ3OverJ2 * sinio_;
  delmo_ = std::pow(1.0 + eta_ * std::cos(mo_), 3.0);
  sinmao_ = std::sin(mo_);

  deep_ = kTwoPi / no_ >= kDeepSpacePeriod;
  if (deep_) {
    simple_ = true;  // deep-space orbits carry only the first drag terms
    InitDeepSpace();
  }
  if (!simple_) {
    const double c1sq = cc1_ * cc1_;
    d2_ = 4.0 * ao_ * tsi * c1sq;
    const double temp = d2_ * tsi * cc1_ / 3.0;
    d3_ = (17.0 * ao_ + s4) * temp;
    d4_ = 0.5 * temp * ao_ * tsi * (221.0 * ao_ + 31.0 * s4) * cc1_;
    t3cof_ = d2_ + 2.0 * c1sq;
    t4cof_ = 0.25 * (3.0 * d3_ + cc1_ * (12.0 * d2_ + 10.0 * c1sq));
    t5cof_ = 0.2 * (3.0 * d4_ + 12.0 * cc1_ * d3_ + 6.0 * d2_ * d2_ + 15.0 * c1sq * (2.0 * d2_ + c1sq));
  }
  error_ = kSgp4Ok;
  return 1;
}

int CSgp4::Propagate(double t, double pos[3], double vel[3]) {
  for (int k = 0; k < 3; ++k) pos[k] = vel[k] = 0.0;
  if (error_ == kSgp4NotInitialised) return error_;
  if (!(std::fabs(t) <= kSgp4MaxMinutes)) return kSgp4TimeOutOfRange;
  const double xke = Xke();
  const double ck2 = 0.5 * kJ2;

  // Secular gravity and drag.
  const double xmdf = mo_ + mdot_ * t;
  const double argpdf = argp_ + argpdot_ * t;
  const double nodedf = node_ + nodedot_ * t;
  double argpm = argpdf, mm = xmdf;
  const double t2 = t * t;
  double nodem = nodedf + nodecf_ * t2;
  double tempa = 1.0 - cc1_ * t;
  double tempe = el_.bstar * cc4_ * t;
  double templ = t2cof_ * t2;
  if (!simple_) {
    const double delomg = omgcof_ * t;
    const double delm = xmcof_ * (std::pow(1.0 + eta_ * std::cos(xmdf), 3.0) - delmo_);
    const double temp = delomg + delm;
    mm = xmdf + temp;
    argpm = argpdf - temp;
    const double t3 = t2 * t, t4 = t3 * t;
    tempa = tempa - d2_ * t2 - d3_ * t3 - d4_ * t4;
    tempe += el_.bstar * cc5_ * (std::sin(mm) - sinmao_);
    templ += t3cof_ * t3 + t4 * (t4cof_ + t * t5cof_);
  }
  double nm = no_, em = ecc_, inclm = incl_;
  if (deep_) DeepSecular(t, em, argpm, inclm, nodem, mm, nm);
  if (!(nm > 0.0)) return error_ = kSgp4MeanMotionOutOfRange;
  const double am = std::pow(xke / nm, 2.0 / 3.0) * tempa * tempa;
  nm = xke / std::pow(am, 1.5);
  em -= tempe;
  if (!(em < 1.0 && em >= kEccentricityFloor)) return error_ = kSgp4EccentricityOutOfRange;
  if (em < kMinEccentricity) em = kMinEccentricity;
  mm += no_ * templ;
  double xlm = mm + argpm + nodem;
  nodem = std::fmod(nodem, kTwoPi);
  argpm = std::fmod(argpm, kTwoPi);
  xlm = std::fmod(xlm, kTwoPi);
  mm = std::fmod(xlm - argpm - nodem, kTwoPi);

  // Lunar-solar periodics.
  double ep = em, xincp = inclm, argpp = argpm, nodep = nodem, mp = mm;
  double sinip = std::sin(inclm), cosip = std::cos(inclm);
  double xlcof = xlcof_, aycof = aycof_, con41 = con41_, x1mth2 = x1mth2_, x7thm1 = x7thm1_;
  if (deep_) {
    DeepPeriodic(t, ep, xincp, nodep, argpp, mp);
    if (xincp < 0.0) {
      xincp = -xincp;
      nodep += kPi;
      argpp -= kPi;
    }
    if (ep < 0.0 || ep > 1.0) return error_ = kSgp4PerturbedEccentricity;
    sinip = std::sin(xincp);
    cosip = std::cos(xincp);
    aycof = -0.5 * kJ3OverJ2 * sinip;
    const double denom = std::fabs(cosip + 1.0) > kInclinationGuard ? 1.0 + cosip : kInclinationGuard;
    xlcof = -0.25 * kJ3OverJ2 * sinip * (3.0 + 5.0 * cosip) / denom;
    const double c2 = cosip * cosip;
    con41 = 3.0 * c2 - 1.0;
    x1mth2 = 1.0 - c2;
    x7thm1 = 7.0 * c2 - 1.0;
  } else {
    sinip = sinio_;
    cosip = cosio_;
  }

  // Long-period periodics.
  const double axnl = ep * std::cos(argpp);
  double temp = 1.0 / (am * (1.0 - ep * ep));
  const double aynl = ep * std::sin(argpp) + temp * aycof;
  const double xl = mp + argpp + nodep + temp * xlcof * axnl;

  // Kepler's equation in the equinoctial form.
  const double u = std::fmod(xl - nodep, kTwoPi);
  double eo1 = u, sineo1 = 0, coseo1 = 0;
  for (int k = 0; k < kKeplerSteps; ++k) {
    sineo1 = std::sin(eo1);
    coseo1 = std::cos(eo1);
    double step = (u - aynl * coseo1 + axnl * sineo1 - eo1) / (1.0 - coseo1 * axnl - sineo1 * aynl);
    if (std::fabs(step) >= kKeplerMaxStep) step = step > 0 ? kKeplerMaxStep : -kKeplerMaxStep;
    eo1 += step;
    if (std::fabs(step) < kKeplerTolerance) break;
  }
  sineo1 = std::sin(eo1);
  coseo1 = std::cos(eo1);

  // Short-period preliminaries.
  const double ecose = axnl * coseo1 + aynl * sineo1;
  const double esine = axnl * sineo1 - aynl * coseo1;
  const double el2 = axnl * axnl + aynl * aynl;
  const double pl = am * (1.0 - el2);
  if (pl < 0.0) return error_ = kSgp4SemiLatusNegative;
  const double rl = am * (1.0 - ecose);
  const double rdotl = std::sqrt(am) * esine / rl;
  const double rvdotl = std::sqrt(pl) / rl;
  const double betal = std::sqrt(1.0 - el2);
  temp = esine / (1.0 + betal);
  const double sinu = am / rl * (sineo1 - aynl - axnl * temp);
  const double cosu = am / rl * (coseo1 - axnl + aynl * temp);
  double su = std::atan2(sinu, cosu);
  const double sin2u = 2.0 * cosu * sinu;
  const double cos2u = 1.0 - 2.0 * sinu * sinu;
  temp = 1.0 / pl;
  const double temp1 = ck2 * temp;
  const double temp2 = temp1 * temp;

  // Short-period periodics.
  const double mrt = rl * (1.0 - 1.5 * temp2 * betal * con41) + 0.5 * temp1 * x1mth2 * cos2u;
  su -= 0.25 * temp2 * x7thm1 * sin2u;
  const double xnode = nodep + 1.5 * temp2 * cosip * sin2u;
  const double xinc = xincp + 1.5 * temp2 * cosip * sinip * cos2u;
  const double mvt = rdotl - nm * temp1 * x1mth2 * sin2u / xke;
  const double rvdot = rvdotl + nm * temp1 * (x1mth2 * cos2u + 1.5 * con41) / xke;

  // Orientation.
  const double sinsu = std::sin(su), cossu = std::cos(su);
  const double snod = std::sin(xnode), cnod = std::cos(xnode);
  const double sini = std::sin(xinc), cosi = std::cos(xinc);
  const double xmx = -snod * cosi, xmy = cnod * cosi;
  const double ux = xmx * sinsu + cnod * cossu;
  const double uy = xmy * sinsu + snod * cossu;
  const double uz = sini * sinsu;
  const double vx = xmx * cossu - cnod * sinsu;
  const double vy = xmy * cossu - snod * sinsu;
  const double vz = sini * cossu;
  if (mrt < 1.0) return error_ = kSgp4Decayed;
  const double vu = VelocityUnit();
  const double p[3] = {mrt * ux * kEarthRadius, mrt * uy * kEarthRadius, mrt * uz * kEarthRadius};
  const double v[3] = {(mvt * ux + rvdot * vx) * vu, (mvt * uy + rvdot * vy) * vu,
                       (mvt * uz + rvdot * vz) * vu};
  for (int k = 0; k < 3; ++k)
    if (!std::isfinite(p[k]) || !std::isfinite(v[k])) return error_ = kSgp4NotFinite;
  for (int k = 0; k < 3; ++k) pos[k] = p[k], vel[k] = v[k];
  error_ = kSgp4Ok;
  return kSgp4Ok;
}
