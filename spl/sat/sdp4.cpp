// The deep-space part of CSgp4 (SDP4): lunar and solar gravity as secular rates and
// long-period terms, and the resonance of orbits whose period is near one day or half a day
// with the Earth's tesseral harmonics, integrated in half-day steps.
#include <cmath>

#include "spl/sat/sgp4.h"
#include "spl/sat/sgp4_constants.h"
#include "spl/sat/sgp4_earth.h"

using namespace sgp4;

namespace {

// The Sun's and Moon's orbits seen from the Earth.
constexpr double kZes = 0.01675;          // solar eccentricity
constexpr double kZel = 0.05490;          // lunar eccentricity
constexpr double kC1ss = 2.9864797e-6;    // solar perturbation scale
constexpr double kC1l = 4.7968065e-7;     // lunar perturbation scale
constexpr double kZsinis = 0.39785416;    // sine and cosine of the ecliptic's obliquity
constexpr double kZcosis = 0.91744867;
constexpr double kZcosgs = 0.1945905;     // solar perigee
constexpr double kZsings = -0.98088458;
constexpr double kZns = 1.19459e-5;       // solar mean motion, rad/min
constexpr double kZnl = 1.5835218e-4;     // lunar mean motion, rad/min
// Days from 1950-01-00 to the origin of the lunar-solar series (1900-01-00.5).
constexpr double kSeriesOrigin = 18261.5;

// Resonance: tesseral coefficients, phases and the bands of mean motion (rad/min).
constexpr double kQ22 = 1.7891679e-6, kQ31 = 2.1460748e-6, kQ33 = 2.2123015e-7;
constexpr double kRoot22 = 1.7891679e-6, kRoot44 = 7.3636953e-9, kRoot54 = 2.1765803e-9;
constexpr double kRoot32 = 3.7393792e-7, kRoot52 = 1.1428639e-7;
constexpr double kFasx2 = 0.13130908, kFasx4 = 2.8843198, kFasx6 = 0.37448087;
constexpr double kG22 = 5.7686396, kG32 = 0.95240898, kG44 = 1.8014998, kG52 = 1.0508330,
                 kG54 = 4.4108898;
constexpr double kSyncLow = 0.0034906585, kSyncHigh = 0.0052359877;
constexpr double kHalfDayLow = 8.26e-3, kHalfDayHigh = 9.24e-3, kHalfDayMinEcc = 0.5;
// Integrator steps, minutes, and half the square of a step.
constexpr double kStep = 720.0;
constexpr double kStep2 = 259200.0;
// Below three degrees from the equator (either way) the node rate is left out.
constexpr double kLowInclination = 5.2359877e-2;
// Below this inclination the periodic terms go through Lyddane's form.
constexpr double kLyddaneInclination = 0.2;
constexpr double kJulian1950 = 2433281.5;

// One body's (the Sun's or the Moon's) geometry against the orbit.
struct BodyTerms {
  double s1, s2, s3, s4, s5, s6, s7;
  double z1, z2, z3, z11, z12, z13, z21, z22, z23, z31, z32, z33;
};

// cg, sg: the body's perigee; ci, si: its inclination to the equator; ch, sh: its node
// against the satellite's node.
BodyTerms Body(double cg, double sg, double ci, double si, double ch, double sh, double cc,
               double cosim, double sinim, double cosomm, double sinomm, double em, double nm) {
  const double emsq = em * em, betasq = 1.0 - emsq, rtemsq = std::sqrt(betasq);
  const double a1 = cg * ch + sg * ci * sh;
  const double a3 = -sg * ch + cg * ci * sh;
  const double a7 = -cg * sh + sg * ci * ch;
  const double a8 = sg * si;
  const double a9 = sg * sh + cg * ci * ch;
  const double a10 = cg * si;
  const double a2 = cosim * a7 + sinim * a8;
  const double a4 = cosim * a9 + sinim * a10;
  const double a5 = -sinim * a7 + cosim * a8;
  const double a6 = -sinim * a9 + cosim * a10;
  const double x1 = a1 * cosomm + a2 * sinomm;
  const double x2 = a3 * cosomm + a4 * sinomm;
  const double x3 = -a1 * sinomm + a2 * cosomm;
  const double x4 = -a3 * sinomm + a4 * cosomm;
  const double x5 = a5 * sinomm, x6 = a6 * sinomm, x7 = a5 * cosomm, x8 = a6 * cosomm;
  BodyTerms b;
  b.z31 = 12.0 * x1 * x1 - 3.0 * x3 * x3;
  b.z32 = 24.0 * x1 * x2 - 6.0 * x3 * x4;
  b.z33 = 12.0 * x2 * x2 - 3.0 * x4 * x4;
  b.z1 = 3.0 * (a1 * a1 + a2 * a2) + b.z31 * emsq;
  b.z2 = 6.0 * (a1 * a3 + a2 * a4) + b.z32 * emsq;
  b.z3 = 3.0 * (a3 * a3 + a4 * a4) + b.z33 * emsq;
  b.z11 = -6.0 * a1 * a5 + emsq * (-24.0 * x1 * x7 - 6.0 * x3 * x5);
  b.z12 = -6.0 * (a1 * a6 + a3 * a5) +
          emsq * (-24.0 * (x2 * x7 + x1 * x8) - 6.0 * (x3 * x6 + x4 * x5));
  b.z13 = -6.0 * a3 * a6 + emsq * (-24.0 * x2 * x8 - 6.0 * x4 * x6);
  b.z21 = 6.0 * a2 * a5 + emsq * (24.0 * x1 * x5 - 6.0 * x3 * x7);
  b.z22 = 6.0 * (a4 * a5 + a2 * a6) + emsq * (24.0 * (x2 * x5 + x1 * x6) - 6.0 * (x4 * x7 + x3 * x8));
  b.z23 = 6.0 * a4 * a6 + emsq * (24.0 * x2 * x6 - 6.0 * x4 * x8);
  b.z1 = 2.0 * b.z1 + betasq * b.z31;
  b.z2 = 2.0 * b.z2 + betasq * b.z32;
  b.z3 = 2.0 * b.z3 + betasq * b.z33;
  b.s3 = cc / nm;
  b.s2 = -0.5 * b.s3 / rtemsq;
  b.s4 = b.s3 * rtemsq;
  b.s1 = -15.0 * em * b.s4;
  b.s5 = x1 * x3 + x2 * x4;
  b.s6 = x2 * x3 + x1 * x4;
  b.s7 = x2 * x4 - x1 * x3;
  return b;
}

// The periodic terms of one body at its mean anomaly zm.
struct Periodics {
  double e, i, l, gh, h;
};
Periodics BodyPeriodics(double zm, double ecc, double e2, double e3, double i2, double i3,
                        double l2, double l3, double l4, double gh2, double gh3, double gh4,
                        double h2, double h3) {
  const double zf = zm + 2.0 * ecc * std::sin(zm);
  const double sinzf = std::sin(zf);
  const double f2 = 0.5 * sinzf * sinzf - 0.25;
  const double f3 = -0.5 * sinzf * std::cos(zf);
  return Periodics{e2 * f2 + e3 * f3, i2 * f2 + i3 * f3, l2 * f2 + l3 * f3 + l4 * sinzf,
                   gh2 * f2 + gh3 * f3 + gh4 * sinzf, h2 * f2 + h3 * f3};
}

}  // namespace

void CSgp4::InitDeepSpace() {
  Sdp4State& d = ds_;
  const double xke = Xke();
  const double em = ecc_, emsq = em * em;
  const double sinim = sinio_, cosim = cosio_;
  const double sinomm = std::sin(argp_), cosomm = std::cos(argp_);
  const double snodm = std::sin(node_), cnodm = std::cos(node_);
  const double nm = no_;

  // The Moon's orbit at the epoch: its node regresses in 18.6 years.
  const double day = el_.epoch + kSeriesOrigin;
  const double xnodce = std::fmod(4.5236020 - 9.2422029e-4 * day, kTwoPi);
  const double stem = std::sin(xnodce), ctem = std::cos(xnodce);
  const double zcosil = 0.91375164 - 0.03568096 * ctem;
  const double zsinil = std::sqrt(1.0 - zcosil * zcosil);
  const double zsinhl = 0.089683511 * stem / zsinil;
  const double zcoshl = std::sqrt(1.0 - zsinhl * zsinhl);
  const double gam = 5.8351514 + 0.0019443680 * day;
  double zx = 0.39785416 * stem / zsinil;
  const double zy = zcoshl * ctem + 0.91744867 * zsinhl * stem;
  zx = gam + std::atan2(zx, zy) - xnodce;
  const double zcosgl = std::cos(zx), zsingl = std::sin(zx);

  const BodyTerms sun = Body(kZcosgs, kZsings, kZcosis, kZsinis, cnodm, snodm, kC1ss, cosim,
                             sinim, cosomm, sinomm, em, nm);
  const BodyTerms moon = Body(zcosgl, zsingl, zcosil, zsinil, zcoshl * cnodm + zsinhl * snodm,
                              snodm * zcoshl - cnodm * zsinhl, kC1l, cosim, sinim, cosomm,
                              sinomm, em, nm);
  d.zmol = Wrap(4.7199672 + 0.22997150 * day - gam);
  d.zmos = Wrap(6.2565837 + 0.017201977 * day);

  // Periodic coefficients.
  d.se2 = 2.0 * sun.s1 * sun.s6;
  d.se3 = 2.0 * sun.s1 * sun.s7;
  d.si2 = 2.0 * sun.s2 * sun.z12;
  d.si3 = 2.0 * sun.s2 * (sun.z13 - sun.z11);
  d.sl2 = -2.0 * sun.s3 * sun.z2;
  d.sl3 = -2.0 * sun.s3 * (sun.z3 - sun.z1);
  d.sl4 = -2.0 * sun.s3 * (-21.0 - 9.0 * emsq) * kZes;
  d.sgh2 = 2.0 * sun.s4 * sun.z32;
  d.sgh3 = 2.0 * sun.s4 * (sun.z33 - sun.z31);
  d.sgh4 = -18.0 * sun.s4 * kZes;
  d.sh2 = -2.0 * sun.s2 * sun.z22;
  d.sh3 = -2.0 * sun.s2 * (sun.z23 - sun.z21);
  d.ee2 = 2.0 * moon.s1 * moon.s6;
  d.e3 = 2.0 * moon.s1 * moon.s7;
  d.xi2 = 2.0 * moon.s2 * moon.z12;
  d.xi3 = 2.0 * moon.s2 * (moon.z13 - moon.z11);
  d.xl2 = -2.0 * moon.s3 * moon.z2;
  d.xl3 = -2.0 * moon.s3 * (moon.z3 - moon.z1);
  d.xl4 = -2.0 * moon.s3 * (-21.0 - 9.0 * emsq) * kZel;
  d.xgh2 = 2.0 * moon.s4 * moon.z32;
  d.xgh3 = 2.0 * moon.s4 * (moon.z33 - moon.z31);
  d.xgh4 = -18.0 * moon.s4 * kZel;
  d.xh2 = -2.0 * moon.s2 * moon.z22;
  d.xh3 = -2.0 * moon.s2 * (moon.z23 - moon.z21);

  // Secular rates, solar then lunar.
  const bool near_equator = incl_ < kLowInclination || incl_ > kPi - kLowInclination;
  const double ses = sun.s1 * kZns * sun.s5;
  const double sis = sun.s2 * kZns * (sun.z11 + sun.z13);
  const double sls = -kZns * sun.s3 * (sun.z1 + sun.z3 - 14.0 - 6.0 * emsq);
  const double sghs = sun.s4 * kZns * (sun.z31 + sun.z33 - 6.0);
  double shs = near_equator ? 0.0 : -kZns * sun.s2 * (sun.z21 + sun.z23);
  if (sinim != 0.0) shs /= sinim;
  const double sgs = sghs - cosim * shs;
  d.dedt = ses + moon.s1 * kZnl * moon.s5;
  d.didt = sis + moon.s2 * kZnl * (moon.z11 + moon.z13);
  d.dmdt = sls - kZnl * moon.s3 * (moon.z1 + moon.z3 - 14.0 - 6.0 * emsq);
  const double sghl = moon.s4 * kZnl * (moon.z31 + moon.z33 - 6.0);
  const double shll = near_equator ? 0.0 : -kZnl * moon.s2 * (moon.z21 + moon.z23);
  d.domdt = sgs + sghl;
  d.dnodt = shs;
  if (sinim != 0.0) {
    d.domdt -= cosim / sinim * shll;
    d.dnodt += shll / sinim;
  }

  // Resonance.
  d.gsto = GreenwichSiderealTime(el_.epoch + kJulian1950);
  d.resonance = 0;
  if (nm > kSyncLow && nm < kSyncHigh) d.resonance = 1;
  if (nm >= kHalfDayLow && nm <= kHalfDayHigh && em >= kHalfDayMinEcc) d.resonance = 2;
  if (d.resonance == 0) return;
  const double theta = d.gsto;
  const double aonv = std::pow(nm / xke, 2.0 / 3.0);
  if (d.resonance == 2) {
    const double cosisq = cosim * cosim, eoc = em * emsq;
    const double g201 = -0.306 - (em - 0.64) * 0.440;
    double g211, g310, g322, g410, g422, g520, g521, g532, g533;
    if (em <= 0.65) {
      g211 = 3.616 - 13.2470 * em + 16.2900 * emsq;
      g310 = -19.302 + 117.3900 * em - 228.4190 * emsq + 156.5910 * eoc;
      g322 = -18.9068 + 109.7927 * em - 214.6334 * emsq + 146.5816 * eoc;
      g410 = -41.122 + 242.6940 * em - 471.0940 * emsq + 313.9530 * eoc;
      g422 = -146.407 + 841.8800 * em - 1629.014 * emsq + 1083.4350 * eoc;
      g520 = -532.114 + 3017.977 * em - 5740.032 * emsq + 3708.2760 * eoc;
    } else {
      g211 = -72.099 + 331.819 * em - 508.738 * emsq + 266.724 * eoc;
      g310 = -346.844 + 1582.851 * em - 2415.925 * emsq + 1246.113 * eoc;
      g322 = -342.585 + 1554.908 * em - 2366.899 * emsq + 1215.972 * eoc;
      g410 = -1052.797 + 4758.686 * em - 7193.992 * emsq + 3651.957 * eoc;
      g422 = -3581.690 + 16178.110 * em - 24462.770 * emsq + 12422.520 * eoc;
      g520 = em > 0.715 ? -5149.66 + 29936.92 * em - 54087.36 * emsq + 31324.56 * eoc
                        : 1464.74 - 4664.75 * em + 3763.64 * emsq;
    }
    if (em < 0.7) {
      g533 = -919.22770 + 4988.6100 * em - 9064.7700 * emsq + 5542.21 * eoc;
      g521 = -822.71072 + 4568.6173 * em - 8491.4146 * emsq + 5337.524 * eoc;
      g532 = -853.66600 + 4690.2500 * em - 8624.7700 * emsq + 5341.4 * eoc;
    } else {
      g533 = -37995.780 + 161616.52 * em - 229838.20 * emsq + 109377.94 * eoc;
      g521 = -51752.104 + 218913.95 * em - 309468.16 * emsq + 146349.42 * eoc;
      g532 = -40023.880 + 170470.89 * em - 242699.48 * emsq + 115605.82 * eoc;
    }
    const double sini2 = sinim * sinim;
    const double f220 = 0.75 * (1.0 + 2.0 * cosim + cosisq);
    const double f221 = 1.5 * sini2;
    const double f321 = 1.875 * sinim * (1.0 - 2.0 * cosim - 3.0 * cosisq);
    const double f322 = -1.875 * sinim * (1.0 + 2.0 * cosim - 3.0 * cosisq);
    const double f441 = 35.0 * sini2 * f220;
    const double f442 = 39.3750 * sini2 * sini2;
    const double f522 = 9.84375 * sinim *
                        (sini2 * (1.0 - 2.0 * cosim - 5.0 * cosisq) +
                         0.33333333 * (-2.0 + 4.0 * cosim + 6.0 * cosisq));
    const double f523 = sinim * (4.92187512 * sini2 * (-2.0 - 4.0 * cosim + 10.0 * cosisq) +
                                 6.56250012 * (1.0 + 2.0 * cosim - 3.0 * cosisq));
    const double f542 = 29.53125 * sinim *
                        (2.0 - 8.0 * cosim + cosisq * (-12.0 + 8.0 * cosim + 10.0 * cosisq));
    const double f543 = 29.53125 * sinim *
                        (-2.0 - 8.0 * cosim + cosisq * (12.0 + 8.0 * cosim - 10.0 * cosisq));
    double temp1 = 3.0 * nm * nm * aonv * aonv;
    double temp = temp1 * kRoot22;
    d.d2201 = temp * f220 * g201;
    d.d2211 = temp * f221 * g211;
    temp1 *= aonv;
    temp = temp1 * kRoot32;
    d.d3210 = temp * f321 * g310;
    d.d3222 = temp * f322 * g322;
    temp1 *= aonv;
    temp = 2.0 * temp1 * kRoot44;
    d.d4410 = temp * f441 * g410;
    d.d4422 = temp * f442 * g422;
    temp1 *= aonv;
    temp = temp1 * kRoot52;
    d.d5220 = temp * f522 * g520;
    d.d5232 = temp * f523 * g532;
    temp = 2.0 * temp1 * kRoot54;
    d.d5421 = temp * f542 * g521;
    d.d5433 = temp * f543 * g533;
    d.xlamo = Wrap(mo_ + node_ + node_ - theta - theta);
    d.xfact = mdot_ + d.dmdt + 2.0 * (nodedot_ + d.dnodt - kEarthRotationPerMinute) - no_;
  } else {
    const double g200 = 1.0 + emsq * (-2.5 + 0.8125 * emsq);
    const double g310 = 1.0 + 2.0 * emsq;
    const double g300 = 1.0 + emsq * (-6.0 + 6.60937 * emsq);
    const double f220 = 0.75 * (1.0 + cosim) * (1.0 + cosim);
    const double f311 = 0.9375 * sinim * sinim * (1.0 + 3.0 * cosim) - 0.75 * (1.0 + cosim);
    double f330 = 1.0 + cosim;
    f330 = 1.875 * f330 * f330 * f330;
    const double del = 3.0 * nm * nm * aonv * aonv;
    d.del2 = 2.0 * del * f220 * g200 * kQ22;
    d.del3 = 3.0 * del * f330 * g300 * kQ33 * aonv;
    d.del1 = del * f311 * g310 * kQ31 * aonv;
    d.xlamo = Wrap(mo_ + node_ + argp_ - theta);
    d.xfact = mdot_ + argpdot_ + nodedot_ - kEarthRotationPerMinute + d.dmdt + d.domdt +
              d.dnodt - no_;
  }
  d.xli = d.xlamo;
  d.xni = no_;
  d.atime = 0.0;
}

void CSgp4::DeepSecular(double t, double& em, double& argpm, double& inclm, double& nodem,
                        double& mm, double& nm) {
  Sdp4State& d = ds_;
  em += d.dedt * t;
  inclm += d.didt * t;
  argpm += d.domdt * t;
  nodem += d.dnodt * t;
  mm += d.dmdt * t;
  if (d.resonance == 0) return;
  const double theta = std::fmod(d.gsto + t * kEarthRotationPerMinute, kTwoPi);
  // Restart from the epoch when t lies on the other side of it or before the last step.
  if (d.atime == 0.0 || t * d.atime <= 0.0 || std::fabs(t) < std::fabs(d.atime)) {
    d.atime = 0.0;
    d.xni = no_;
    d.xli = d.xlamo;
  }
  const double delt = t > 0.0 ? kStep : -kStep;
  double xndt = 0, xnddt = 0, xldot = 0, ft = 0;
  for (;;) {
    if (d.resonance != 2) {
      xndt = d.del1 * std::sin(d.xli - kFasx2) + d.del2 * std::sin(2.0 * (d.xli - kFasx4)) +
             d.del3 * std::sin(3.0 * (d.xli - kFasx6));
      xldot = d.xni + d.xfact;
      xnddt = d.del1 * std::cos(d.xli - kFasx2) + 2.0 * d.del2 * std::cos(2.0 * (d.xli - kFasx4)) +
              3.0 * d.del3 * std::cos(3.0 * (d.xli - kFasx6));
      xnddt *= xldot;
    } else {
      const double xomi = argp_ + argpdot_ * d.atime;
      const double x2omi = xomi + xomi, x2li = d.xli + d.xli;
      xndt = d.d2201 * std::sin(x2omi + d.xli - kG22) + d.d2211 * std::sin(d.xli - kG22) +
             d.d3210 * std::sin(xomi + d.xli - kG32) + d.d3222 * std::sin(-xomi + d.xli - kG32) +
             d.d4410 * std::sin(x2omi + x2li - kG44) + d.d4422 * std::sin(x2li - kG44) +
             d.d5220 * std::sin(xomi + d.xli - kG52) + d.d5232 * std::sin(-xomi + d.xli - kG52) +
             d.d5421 * std::sin(xomi + x2li - kG54) + d.d5433 * std::sin(-xomi + x2li - kG54);
      xldot = d.xni + d.xfact;
      xnddt = d.d2201 * std::cos(x2omi + d.xli - kG22) + d.d2211 * std::cos(d.xli - kG22) +
              d.d3210 * std::cos(xomi + d.xli - kG32) + d.d3222 * std::cos(-xomi + d.xli - kG32) +
              d.d5220 * std::cos(xomi + d.xli - kG52) + d.d5232 * std::cos(-xomi + d.xli - kG52) +
              2.0 * (d.d4410 * std::cos(x2omi + x2li - kG44) + d.d4422 * std::cos(x2li - kG44) +
                     d.d5421 * std::cos(xomi + x2li - kG54) +
                     d.d5433 * std::cos(-xomi + x2li - kG54));
      xnddt *= xldot;
    }
    if (std::fabs(t - d.atime) < kStep) {
      ft = t - d.atime;
      break;
    }
    d.xli += xldot * delt + xndt * kStep2;
    d.xni += xndt * delt + xnddt * kStep2;
    d.atime += delt;
  }
  nm = d.xni + xndt * ft + xnddt * ft * ft * 0.5;
  const double xl = d.xli + xldot * ft + xndt * ft * ft * 0.5;
  if (d.resonance != 1)
    mm = xl - 2.0 * nodem + 2.0 * theta;
  else
    mm = xl - nodem - argpm + theta;
}

void CSgp4::DeepPeriodic(double t, double& ep, double& inclp, double& nodep, double& argpp,
                         double& mp) const {
  const Sdp4State& d = ds_;
  const Periodics s = BodyPeriodics(d.zmos + kZns * t, kZes, d.se2, d.se3, d.si2, d.si3, d.sl2,
                                    d.sl3, d.sl4, d.sgh2, d.sgh3, d.sgh4, d.sh2, d.sh3);
  const Periodics l = BodyPeriodics(d.zmol + kZnl * t, kZel, d.ee2, d.e3, d.xi2, d.xi3, d.xl2,
                                    d.xl3, d.xl4, d.xgh2, d.xgh3, d.xgh4, d.xh2, d.xh3);
  const double pe = s.e + l.e, pinc = s.i + l.i, pl = s.l + l.l;
  double pgh = s.gh + l.gh, ph = s.h + l.h;
  inclp += pinc;
  ep += pe;
  const double sinip = std::sin(inclp), cosip = std::cos(inclp);
  if (inclp >= kLyddaneInclination) {
    ph /= sinip;
    pgh -= cosip * ph;
    argpp += pgh;
    nodep += ph;
    mp += pl;
    return;
  }
  // Near the equator node and perigee are ill-defined: apply the terms to the node vector
  // and the mean longitude instead (Lyddane).
  const double sinop = std::sin(nodep), cosop = std::cos(nodep);
  double alfdp = sinip * sinop, betdp = sinip * cosop;
  alfdp += ph * cosop + pinc * cosip * sinop;
  betdp += -ph * sinop + pinc * cosip * cosop;
  nodep = Wrap(nodep);
  double xls = mp + argpp + cosip * nodep;
  xls += pl + pgh - pinc * nodep * sinip;
  const double xnoh = nodep;
  nodep = std::atan2(alfdp, betdp);
  if (std::fabs(xnoh - nodep) > kPi) nodep += nodep < xnoh ? kTwoPi : -kTwoPi;
  mp += pl;
  argpp = xls - mp - cosip * nodep;
}
