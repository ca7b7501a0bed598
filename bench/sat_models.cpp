// The two orbit models of CTrackSat against the published test positions of the report and
// against each other: the Keplerian orbit with J2 drift and
// SGP4/SDP4, sampled every 5 minutes for 14 days from the epoch for a low (ISS-like), a
// medium (GPS-like), a geostationary and a Molniya orbit, both turned into Earth-fixed
// positions; the largest and the RMS distance per orbit (speed is bench_sat's).
// Its own main: prints a Markdown table for bench/README.md.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "spl/sat/sgp4_earth.h"
#include "spl/sat/track_sat.h"

namespace {

constexpr double kDays = 14.0;
constexpr double kStepSeconds = 300.0;
constexpr double kKeplerEarthRadius = 6378.16;  // the Keplerian model's heights start here
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;

struct Orbit {
  const char* what;
  const char* line1;  // columns 1-68; the check digit is added here
  const char* line2;
};

const Orbit kOrbits[] = {
    {"low (ISS-like, 420 km, 51.6 deg)",
     "1 25544U 98067A   26335.51782528  .00012745  00000-0  22718-3 0  999",
     "2 25544  51.6393 211.8837 0006872  98.4407 261.7404 15.5013531248721"},
    {"medium (GPS-like, 20200 km, 55 deg)",
     "1 99002U 20002A   26335.50000000 -.00000020  00000-0  00000-0 0  999",
     "2 99002  55.2000 120.0000 0080000  40.0000 320.0000  2.0056300000001"},
    {"geostationary",
     "1 99001U 20001A   26335.50000000  .00000000  00000-0  00000-0 0  999",
     "2 99001   0.0300 100.0000 0002000  90.0000 195.0000  1.0027100000001"},
    {"Molniya (e = 0.72, 63.2 deg)",
     "1 28163U 04005A   26334.88734117  .00000092  00000-0  00000+0 0  999",
     "2 28163  63.1532 106.2419 7184307 271.9381  15.5502  2.0061253416703"},
};

std::string WithCheck(const std::string& l) {
  int sum = 0;
  for (char c : l) sum += c >= '0' && c <= '9' ? c - '0' : c == '-' ? 1 : 0;
  return l + char('0' + sum % 10);
}

// Earth-fixed position (km) of a prediction's sub-satellite point and height.
void EarthFixed(const SatDetail& d, double out[3]) {
  const double lat = d.latitude * kDegToRad, lon = d.longitude * kDegToRad;
  if (d.geodetic) {
    const double f = kWgs72.flattening, e2 = f * (2 - f);
    const double n = kWgs72.radius / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    out[0] = (n + d.height) * std::cos(lat) * std::cos(lon);
    out[1] = (n + d.height) * std::cos(lat) * std::sin(lon);
    out[2] = (n * (1 - e2) + d.height) * std::sin(lat);
  } else {
    const double r = kKeplerEarthRadius + d.height;
    out[0] = r * std::cos(lat) * std::cos(lon);
    out[1] = r * std::cos(lat) * std::sin(lon);
    out[2] = r * std::sin(lat);
  }
}

// The report's element sets and the 2006 verification positions (TEME, km) at 0 ... 1440
// minutes, to measure both models against.
struct ReportCase {
  const char* what;
  SatElem elem;
  double epochJulian;
  double r[5][3];
};
constexpr double kJulian1950 = 2433281.5, kJulianUnix = 2440587.5;
constexpr double kReportMinutes[5] = {0, 360, 720, 1080, 1440};

SatElem Elem(int number, int year, double day, double incl, double node, double ecc, double perigee,
             double anomaly, double motion, double decay, double bstar) {
  SatElem e{};
  std::snprintf(e.name, sizeof e.name, "%d", number);
  e.number = number;
  e.epochYear = int16_t(year % 100);
  e.epochDay = day;
  e.inclination = incl;
  e.node = node;
  e.eccentricity = ecc * 1e7;
  e.perigee = perigee;
  e.meanAnomaly = anomaly;
  e.meanMotion = motion;
  e.decay = decay;
  e.bstar = bstar;
  return e;
}

// Days from 1950-01-00 0 h to the day of 1980 given.
double Julian1980(double day) { return kJulian1950 + 365.0 * 30 + 7 + day; }

const ReportCase kReport[] = {
    {"88888 (near-earth, 90 min)",
     Elem(88888, 1980, 275.98708465, 72.8435, 115.9689, 0.0086731, 52.6988, 110.5714, 16.05824518,
          0.00073094, 0.66816e-4),
     Julian1980(275.98708465),
     {{2328.96975262, -5995.22051338, 1719.97297192},
      {2456.10706533, -6071.93855503, 1222.89768554},
      {2567.56229695, -6112.50383922, 713.96374435},
      {2663.09058151, -6115.48260840, 196.39930048},
      {2742.55398832, -6079.67009123, -326.39012649}}},
    {"11801 (deep space, 12 h, e = 0.73)",
     Elem(11801, 1980, 230.29629788, 46.7916, 230.4354, 0.7318036, 47.4722, 10.4117, 2.28537848,
          0.01431103, 0.14311e-1),
     Julian1980(230.29629788),
     {{7473.37102491, 428.94748312, 5828.74846783},
      {-3305.22148694, 32410.84323331, -24697.16974954},
      {14271.29083858, 24110.44309009, -4725.76320143},
      {-9990.05800009, 22717.34212448, -23616.88515553},
      {9787.87836256, 33753.32249667, -15030.79874625}}},
};

void ReportTable() {
  printf("| Element set | Keplerian, max | SGP4/SDP4 through the station, max |\n");
  printf("|---|---:|---:|\n");
  const Observer obs{-2976, 660, 300, 0};
  for (const ReportCase& c : kReport) {
    double worst[2] = {0, 0};
    for (int i = 0; i < 5; ++i) {
      const double julian = c.epochJulian + kReportMinutes[i] / 1440.0;
      const SatTime when = SatTimeFromUnix((julian - kJulianUnix) * 86400.0);
      // The published inertial position turned with the Earth.
      const double g = GreenwichSiderealTime(julian);
      const double* r = c.r[i];
      const double fixed[3] = {std::cos(g) * r[0] + std::sin(g) * r[1],
                               -std::sin(g) * r[0] + std::cos(g) * r[1], r[2]};
      for (int m = 0; m < 2; ++m) {
        CTrackSat t;
        t.SetModel(m == 0 ? kSatModelKepler : kSatModelSgp4);
        Satellite out;
        t.Predict(c.elem, obs, when, out);
        if (!t.LastValid()) continue;
        double p[3];
        EarthFixed(t.LastDetail(), p);
        const double d = std::sqrt((p[0] - fixed[0]) * (p[0] - fixed[0]) +
                                   (p[1] - fixed[1]) * (p[1] - fixed[1]) +
                                   (p[2] - fixed[2]) * (p[2] - fixed[2]));
        worst[m] = std::fmax(worst[m], d);
      }
    }
    printf("| %s | %.1f km | %.3f km |\n", c.what, worst[0], worst[1]);
  }
}

}  // namespace

int main() {
  ReportTable();
  printf("\n");
  printf("| Orbit | max distance | RMS distance |\n");
  printf("|---|---:|---:|\n");
  const Observer obs{-2976, 660, 300, 0};
  for (const Orbit& o : kOrbits) {
    std::FILE* f = std::tmpfile();
    std::fprintf(f, "X\n%s\n%s\n", WithCheck(o.line1).c_str(), WithCheck(o.line2).c_str());
    std::rewind(f);
    CTrackSat reader;
    std::vector<SatElem> sats;
    reader.ReadNASA(f, sats);
    std::fclose(f);
    if (sats.size() != 1) {
      printf("| %s | set not read | |\n", o.what);
      continue;
    }
    const SatElem& s = sats[0];
    const double epoch = SatTimeToUnix(SatTime{2000 + s.epochYear, 1, 1, 0, 0, 0.0}) +
                         (s.epochDay - 1.0) * 86400.0;
    CTrackSat kepler, sgp4;
    kepler.SetModel(kSatModelKepler);
    sgp4.SetModel(kSatModelSgp4);
    double worst = 0, sum2 = 0;
    int n = 0;
    for (double t = epoch; t <= epoch + kDays * 86400.0; t += kStepSeconds) {
      Satellite r;
      const SatTime when = SatTimeFromUnix(t);
      kepler.Predict(s, obs, when, r);
      sgp4.Predict(s, obs, when, r);
      if (!kepler.LastValid() || !sgp4.LastValid()) continue;
      double a[3], b[3];
      EarthFixed(kepler.LastDetail(), a);
      EarthFixed(sgp4.LastDetail(), b);
      const double d = std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                                 (a[2] - b[2]) * (a[2] - b[2]));
      worst = std::fmax(worst, d);
      sum2 += d * d;
      ++n;
    }
    printf("| %s | %.0f km | %.0f km |\n", o.what, worst, n ? std::sqrt(sum2 / n) : 0.0);
  }
  return 0;
}
