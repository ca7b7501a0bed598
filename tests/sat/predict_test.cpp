// Predict with the Keplerian model: agreement with SGP4 reference positions within the
// model's error, visibility at the minimum elevation, the day-number calendar, and orbits
// that cannot be computed. (SGP4 itself is checked in sgp4_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "spl/sat/sat_passes.h"
#include "spl/sat/track_sat.h"

namespace {

constexpr double kEarthRadius = 6378.16;

std::vector<SatElem> ReferenceSets() {
  CTrackSat track;
  track.SetModel(kSatModelKepler);
  std::vector<SatElem> sats;
  EXPECT_EQ(track.ReadNASA(KESTREL_TEST_DATA "/sat/elements.tle", sats), 1);
  return sats;
}

struct RefRow {
  int number;
  double when, hours, lat, lon, radius, elevation, range;
};

std::vector<RefRow> ReferenceRows() {
  std::vector<RefRow> rows;
  FILE* f = fopen(KESTREL_TEST_DATA "/sat/reference.csv", "r");
  EXPECT_NE(f, nullptr);
  if (!f) return rows;
  char header[256];
  if (!fgets(header, sizeof header, f)) return rows;
  RefRow r;
  while (fscanf(f, "%d,%lf,%lf,%lf,%lf,%lf,%lf,%lf\n", &r.number, &r.when, &r.hours, &r.lat,
                &r.lon, &r.radius, &r.elevation, &r.range) == 8)
    rows.push_back(r);
  fclose(f);
  return rows;
}

// Tolerance of the position (km) at `days` from the epoch. The model leaves out SGP4's
// short-period J2 terms, bounded at about 1.5 J2 (R/a)^2 a: some 10 km radially and 20 km
// along the track for a low orbit, and more near the perigee of a high-eccentricity orbit
// (observed: up to 18 km for the low orbits, 66 km for the Molniya orbit, with SDP4's
// lunar and solar terms on top). Beyond that the two models' secular rates (node, perigee,
// mean motion taken from the set instead of the recovered one) and their drag models (the
// set's mean motion derivative against B*) part linearly and quadratically with time;
// over these five days no growth above 2 km per day shows. Allowance: base (25 km low,
// 80 km high) + 3 km/day + 0.5 km/day^2, so 40 km (low) after five days.
double PositionTolerance(bool high, double days) {
  double base = high ? 80.0 : 25.0;
  return base + 3.0 * std::fabs(days) + 0.5 * days * days;
}

TEST(PredictReference, AgreesWithSgp4) {
  std::vector<SatElem> sats = ReferenceSets();
  std::vector<RefRow> rows = ReferenceRows();
  ASSERT_EQ(sats.size(), 4u);
  ASSERT_GT(rows.size(), 1000u);
  std::map<int, const SatElem*> by_number;
  for (const SatElem& s : sats) by_number[s.number] = &s;
  CTrackSat track;
  track.SetModel(kSatModelKepler);
  // The reference observer: 49 36' N, 11 00' E, 300 m.
  const Observer obs{-2976, 660, 300, 0};
  std::map<int, double> worst_pos, worst_el;
  int elevations_checked = 0;
  for (const RefRow& r : rows) {
    ASSERT_TRUE(by_number.count(r.number));
    const SatElem& sat = *by_number[r.number];
    Satellite s;
    int visible = track.Predict(sat, obs, SatTimeFromUnix(r.when), s);
    ASSERT_TRUE(track.LastValid());
    const SatDetail& d = track.LastDetail();
    const bool high = sat.eccentricity > 1e6;
    const double days = r.hours / 24.0;
    // Position: arc between the sub-satellite points at the orbit's radius, and the radius.
    double p1 = r.lat * M_PI / 180, p2 = d.latitude * M_PI / 180;
    double dl = (r.lon - d.longitude) * M_PI / 180;
    double c = std::sin(p1) * std::sin(p2) + std::cos(p1) * std::cos(p2) * std::cos(dl);
    double arc = std::acos(std::fmin(1.0, std::fmax(-1.0, c))) * r.radius;
    double dr = d.height + kEarthRadius - r.radius;
    double pos = std::hypot(arc, dr);
    double tol = PositionTolerance(high, days);
    EXPECT_LT(pos, tol) << sat.name << " at " << r.hours << " h";
    // The rounded map values agree with the unrounded ones.
    EXPECT_EQ(s.y, int(std::floor(-60.0 * d.latitude + 0.5)));
    EXPECT_EQ(s.height, int(std::floor(d.height + 0.5)));
    EXPECT_EQ(visible, s.elevation >= 0 ? 1 : 0);
    // Elevation: a position error e seen from range R moves the satellite by up to e / R.
    double el_tol = std::atan(tol / r.range) * 180 / M_PI + 0.05;
    EXPECT_NEAR(d.elevation, r.elevation, el_tol) << sat.name << " at " << r.hours << " h";
    EXPECT_NEAR(d.range, r.range, tol + 1.0) << sat.name << " at " << r.hours << " h";
    elevations_checked += r.elevation > 0;
    worst_pos[r.number] = std::fmax(worst_pos[r.number], pos);
    worst_el[r.number] = std::fmax(worst_el[r.number], std::fabs(d.elevation - r.elevation));
  }
  EXPECT_GT(elevations_checked, 50);  // the reference holds real passes, not only far sides
  for (auto& [number, pos] : worst_pos)
    RecordProperty("worst_km_" + std::to_string(number), std::to_string(pos));
}

TEST(PredictReference, PassesMatchTheReferenceVisibility) {
  // Every reference sample above 5 degrees lies inside a pass found by the search, and
  // every sample below -5 degrees outside all of them.
  std::vector<SatElem> sats = ReferenceSets();
  std::vector<RefRow> rows = ReferenceRows();
  CTrackSat track;
  track.SetModel(kSatModelKepler);
  const Observer obs{-2976, 660, 300, 0};
  for (const SatElem& sat : sats) {
    double first = 0, last = 0;
    for (const RefRow& r : rows)
      if (r.number == sat.number) {
        if (first == 0) first = r.when;
        last = r.when;
      }
    std::vector<SatPass> passes;
    FindPasses(track, sat, obs, first, (last - first) / 3600.0, passes);
    ASSERT_FALSE(passes.empty()) << sat.name;
    for (size_t i = 0; i < passes.size(); ++i) {
      EXPECT_LE(passes[i].start, passes[i].peak);
      EXPECT_LE(passes[i].peak, passes[i].end);
      if (i) {
        EXPECT_LT(passes[i - 1].end, passes[i].start);
      }
    }
    for (const RefRow& r : rows) {
      if (r.number != sat.number || std::fabs(r.elevation) < 5) continue;
      bool inside = false;
      for (const SatPass& p : passes) inside |= r.when >= p.start && r.when <= p.end;
      EXPECT_EQ(inside, r.elevation > 0) << sat.name << " at " << r.hours << " h";
    }
  }
}

TEST(Predict, ExactlyAtTheMinimumElevationIsVisible) {
  std::vector<SatElem> sats = ReferenceSets();
  CTrackSat track;
  track.SetModel(kSatModelKepler);
  Observer obs{-2976, 660, 300, 0};
  Satellite s;
  SatTime when{2026, 12, 2, 11, 55, 35.0};  // near the top of a pass of the first set
  track.Predict(sats[0], obs, when, s);
  ASSERT_GT(s.elevation, 10);
  obs.minElevation = s.elevation;
  EXPECT_EQ(track.Predict(sats[0], obs, when, s), 1);
  obs.minElevation = s.elevation + 1;
  EXPECT_EQ(track.Predict(sats[0], obs, when, s), 0);
  EXPECT_EQ(s.elevation, obs.minElevation - 1);  // filled in either case
}

TEST(Predict, BelowTheHorizonRoundsDownward) {
  // Elevations between -1.5 and -0.5 degrees are -1, not 0 (which would count as visible).
  std::vector<SatElem> sats = ReferenceSets();
  CTrackSat track;
  track.SetModel(kSatModelKepler);
  Observer obs{-2976, 660, 300, 0};
  Satellite s;
  double t0 = SatTimeToUnix(SatTime{2026, 12, 2, 11, 40, 0.0});
  int seen = 0;
  for (double t = t0; t < t0 + 3600 && !seen; t += 1.0) {
    track.Predict(sats[0], obs, SatTimeFromUnix(t), s);
    double el = track.LastDetail().elevation;
    if (el > -1.4 && el < -0.6) {
      EXPECT_EQ(s.elevation, -1);
      EXPECT_EQ(track.Predict(sats[0], obs, SatTimeFromUnix(t), s), 0);
      seen = 1;
    }
  }
  EXPECT_TRUE(seen);
}

TEST(Predict, DecayedOrbitsGiveNoPosition) {
  std::vector<SatElem> sats = ReferenceSets();
  SatElem s = sats[0];
  s.decay = -0.5;  // revolutions per day^2: the mean motion reaches zero after 15.5 days
  CTrackSat track;
  track.SetModel(kSatModelKepler);
  Observer obs{0, 0, 0, 0};
  Satellite r;
  EXPECT_EQ(track.Predict(s, obs, SatTime{2026, 12, 30, 0, 0, 0.0}, r), 0);
  EXPECT_FALSE(track.LastValid());
  EXPECT_TRUE(track.LastDecayed());
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.height, 0);
  EXPECT_EQ(r.elevation, -90);
  // A set that was never checked: eccentricity 1 or more is refused, not propagated.
  s = sats[0];
  s.eccentricity = 1e7;
  EXPECT_EQ(track.Predict(s, obs, SatTime{2026, 12, 2, 0, 0, 0.0}, r), 0);
  EXPECT_FALSE(track.LastValid());
  EXPECT_FALSE(track.LastDecayed());
  s = sats[0];
  EXPECT_EQ(track.Predict(s, obs, SatTime{2026, 13, 2, 0, 0, 0.0}, r), 0);
  EXPECT_FALSE(track.LastValid());
}

TEST(Predict, HighEccentricityStaysFinite) {
  // Near-parabolic orbits still give finite positions: Newton's iteration is bounded. (Its
  // perigee lies inside the Earth: near there the satellite counts as decayed.)
  std::vector<SatElem> sats = ReferenceSets();
  SatElem s = sats[2];
  s.eccentricity = 9999999;
  s.meanMotion = 0.1;
  CTrackSat track;
  track.SetModel(kSatModelKepler);
  Observer obs{0, 0, 0, 0};
  Satellite r;
  for (int h = 0; h < 48; ++h) {
    track.Predict(s, obs, SatTime{2026, 12, 2, h % 24, 7, 0.0}, r);
    ASSERT_TRUE(track.LastValid() || track.LastDecayed());
    EXPECT_TRUE(std::isfinite(track.LastDetail().height));
  }
}

TEST(SatTimes, CivilDatesAndBack) {
  struct Case {
    double when;
    SatTime t;
  } cases[] = {
      {0, {1970, 1, 1, 0, 0, 0}},
      {951782400, {2000, 2, 29, 0, 0, 0}},
      {1796041540, {2026, 11, 30, 12, 25, 40}},
      {-86400, {1969, 12, 31, 0, 0, 0}},
      {4107542399.5, {2100, 2, 28, 23, 59, 59.5}},
  };
  for (const Case& c : cases) {
    SatTime t = SatTimeFromUnix(c.when);
    EXPECT_EQ(t.year, c.t.year);
    EXPECT_EQ(t.month, c.t.month);
    EXPECT_EQ(t.day, c.t.day);
    EXPECT_EQ(t.hour, c.t.hour);
    EXPECT_EQ(t.minute, c.t.minute);
    EXPECT_NEAR(t.second, c.t.second, 1e-6);
    EXPECT_NEAR(SatTimeToUnix(c.t), c.when, 1e-6);
  }
}

TEST(Predict, TheSiderealAngleRunsAcrossMidnight) {
  // A prediction a second before and after midnight differs by about a second of motion.
  std::vector<SatElem> sats = ReferenceSets();
  CTrackSat track;
  track.SetModel(kSatModelKepler);
  Observer obs{-2976, 660, 300, 0};
  Satellite r;
  track.Predict(sats[1], obs, SatTime{2026, 12, 2, 23, 59, 59.5}, r);
  SatDetail before = track.LastDetail();
  track.Predict(sats[1], obs, SatTime{2026, 12, 3, 0, 0, 0.5}, r);
  SatDetail after = track.LastDetail();
  // One second of flight is under 0.3 degrees; a wrong sidereal time at 0 h would be more.
  EXPECT_NEAR(before.latitude, after.latitude, 0.3);
  EXPECT_NEAR(before.longitude, after.longitude, 0.3);
  EXPECT_NEAR(before.elevation, after.elevation, 0.1);
}

}  // namespace
