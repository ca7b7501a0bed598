// Predict with the Keplerian model: agreement with SGP4 reference positions within the
// model's error, visibility at the minimum elevation, the day-number calendar, and orbits
// that cannot be computed. (SGP4 itself is checked in sgp4_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "spl/sat/sat_passes.h"
#include "spl/sat/track_sat.h"
#include "tests/sat/sat_test_util.h"

namespace {

constexpr double kEarthRadius = 6378.16;

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

// The reference sets and observer with the Keplerian model.
class Predict : public ::testing::Test {
 protected:
  void SetUp() override {
    track_.SetModel(kSatModelKepler);
    ASSERT_EQ(sats_.size(), 4u);
  }
  std::vector<SatElem> sats_ = sattest::ReferenceSets();
  CTrackSat track_;
  Observer obs_ = sattest::kReferenceObserver;
  Satellite s_;
};
class PredictReference : public Predict {};

TEST_F(PredictReference, AgreesWithSgp4) {
  auto by_number = sattest::ByNumber(sats_);
  int elevations_checked = 0;
  for (const sattest::RefRow& r : sattest::ReferenceRows()) {
    ASSERT_TRUE(by_number.count(r.number));
    const SatElem& sat = *by_number[r.number];
    Satellite s;
    int visible = track_.Predict(sat, obs_, SatTimeFromUnix(r.when), s);
    ASSERT_TRUE(track_.LastValid());
    const SatDetail& d = track_.LastDetail();
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
  }
  EXPECT_GT(elevations_checked, 50);  // the reference holds real passes, not only far sides
}

TEST_F(PredictReference, PassesMatchTheReferenceVisibility) {
  // Every reference sample above 5 degrees lies inside a pass found by the search, and
  // every sample below -5 degrees outside all of them.
  const std::vector<sattest::RefRow> rows = sattest::ReferenceRows();
  for (const SatElem& sat : sats_) {
    double first = 0, last = 0;
    for (const sattest::RefRow& r : rows)
      if (r.number == sat.number) {
        if (first == 0) first = r.when;
        last = r.when;
      }
    std::vector<SatPass> passes;
    FindPasses(track_, sat, obs_, first, (last - first) / 3600.0, passes);
    ASSERT_FALSE(passes.empty()) << sat.name;
    for (size_t i = 0; i < passes.size(); ++i) {
      EXPECT_LE(passes[i].start, passes[i].peak);
      EXPECT_LE(passes[i].peak, passes[i].end);
      if (i) {
        EXPECT_LT(passes[i - 1].end, passes[i].start);
      }
    }
    for (const sattest::RefRow& r : rows) {
      if (r.number != sat.number || std::fabs(r.elevation) < 5) continue;
      bool inside = false;
      for (const SatPass& p : passes) inside |= r.when >= p.start && r.when <= p.end;
      EXPECT_EQ(inside, r.elevation > 0) << sat.name << " at " << r.hours << " h";
    }
  }
}

TEST_F(Predict, ExactlyAtTheMinimumElevationIsVisible) {
  Observer obs = obs_;
  Satellite s;
  SatTime when{2026, 12, 2, 11, 55, 35.0};  // near the top of a pass of the first set
  track_.Predict(sats_[0], obs, when, s);
  ASSERT_GT(s.elevation, 10);
  obs.minElevation = s.elevation;
  EXPECT_EQ(track_.Predict(sats_[0], obs, when, s), 1);
  obs.minElevation = s.elevation + 1;
  EXPECT_EQ(track_.Predict(sats_[0], obs, when, s), 0);
  EXPECT_EQ(s.elevation, obs.minElevation - 1);  // filled in either case
}

TEST_F(Predict, BelowTheHorizonRoundsDownward) {
  // Elevations between -1.5 and -0.5 degrees are -1, not 0 (which would count as visible).
  double t0 = SatTimeToUnix(SatTime{2026, 12, 2, 11, 40, 0.0});
  int seen = 0;
  for (double t = t0; t < t0 + 3600 && !seen; t += 1.0) {
    track_.Predict(sats_[0], obs_, SatTimeFromUnix(t), s_);
    double el = track_.LastDetail().elevation;
    if (el > -1.4 && el < -0.6) {
      EXPECT_EQ(s_.elevation, -1);
      EXPECT_EQ(track_.Predict(sats_[0], obs_, SatTimeFromUnix(t), s_), 0);
      seen = 1;
    }
  }
  EXPECT_TRUE(seen);
}

TEST_F(Predict, DecayedOrbitsGiveNoPosition) {
  SatElem s = sats_[0];
  s.decay = -0.5;  // revolutions per day^2: the mean motion reaches zero after 15.5 days
  EXPECT_EQ(track_.Predict(s, obs_, SatTime{2026, 12, 30, 0, 0, 0.0}, s_), 0);
  EXPECT_FALSE(track_.LastValid());
  EXPECT_TRUE(track_.LastDecayed());
  EXPECT_EQ((std::vector<int>{s_.y, s_.x, s_.height, s_.elevation}),
            (std::vector<int>{0, 0, 0, -90}));
  // A mean motion rising fast takes the orbit under the ground: decay as well, not a
  // position 1500 km down that might count as visible.
  s = sats_[0];
  s.decay = 0.05;
  EXPECT_EQ(track_.Predict(s, obs_, SatTime{2026, 12, 21, 12, 0, 0.0}, s_), 0);
  EXPECT_TRUE(track_.LastDecayed());
  EXPECT_EQ(s_.height, 0);
  // A set that was never checked: eccentricity 1 or more is refused, not propagated.
  s = sats_[0];
  s.eccentricity = 1e7;
  EXPECT_EQ(track_.Predict(s, obs_, SatTime{2026, 12, 2, 0, 0, 0.0}, s_), 0);
  EXPECT_FALSE(track_.LastValid());
  EXPECT_FALSE(track_.LastDecayed());
  s = sats_[0];
  EXPECT_EQ(track_.Predict(s, obs_, SatTime{2026, 13, 2, 0, 0, 0.0}, s_), 0);
  EXPECT_FALSE(track_.LastValid());
}

TEST_F(Predict, HighEccentricityStaysFinite) {
  // Near-parabolic orbits still give finite positions: Newton's iteration is bounded. (Its
  // perigee lies inside the Earth: near there the satellite counts as decayed.)
  SatElem s = sats_[2];
  s.eccentricity = 9999999;
  s.meanMotion = 0.1;
  for (int h = 0; h < 48; ++h) {
    track_.Predict(s, obs_, SatTime{2026, 12, 2, h % 24, 7, 0.0}, s_);
    ASSERT_TRUE(track_.LastValid() || track_.LastDecayed());
    EXPECT_TRUE(std::isfinite(track_.LastDetail().height));
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
    EXPECT_EQ((std::vector<int>{t.year, t.month, t.day, t.hour, t.minute}),
              (std::vector<int>{c.t.year, c.t.month, c.t.day, c.t.hour, c.t.minute}))
        << c.when;
    EXPECT_NEAR(t.second, c.t.second, 1e-6);
    EXPECT_NEAR(SatTimeToUnix(c.t), c.when, 1e-6);
  }
}

TEST_F(Predict, TheSiderealAngleRunsAcrossMidnight) {
  // A prediction a second before and after midnight differs by about a second of motion.
  track_.Predict(sats_[1], obs_, SatTime{2026, 12, 2, 23, 59, 59.5}, s_);
  const SatDetail before = track_.LastDetail();
  track_.Predict(sats_[1], obs_, SatTime{2026, 12, 3, 0, 0, 0.5}, s_);
  const SatDetail after = track_.LastDetail();
  // One second of flight is under 0.3 degrees; a wrong sidereal time at 0 h would be more.
  EXPECT_NEAR(before.latitude, after.latitude, 0.3);
  EXPECT_NEAR(before.longitude, after.longitude, 0.3);
  EXPECT_NEAR(before.elevation, after.elevation, 0.1);
}

}  // namespace
