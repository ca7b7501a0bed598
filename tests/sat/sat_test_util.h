// Helpers of the satellite tests: element lines completed with their check digit, and the
// reference element sets with the positions an independent SGP4 computed for them
// (tests/data/sat/make_reference.py).
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "spl/sat/track_sat.h"

namespace sattest {

// The check digit as the element format defines it, written independently of the reader:
// digits count their value, '-' one, '+' two, anything else nothing.
inline char CheckDigit(const std::string& line) {
  int sum = 0;
  for (size_t i = 0; i < 68 && i < line.size(); ++i) {
    const char c = line[i];
    sum += (c >= '0' && c <= '9') ? c - '0' : c == '-' ? 1 : c == '+' ? 2 : 0;
  }
  return char('0' + sum % 10);
}
inline std::string WithCheck(const std::string& first68) { return first68 + CheckDigit(first68); }

// ISS (ZARYA), NOAA 19, MOLNIYA 1-93 and SO-50, in that order.
inline std::vector<SatElem> ReferenceSets() {
  CTrackSat track;
  std::vector<SatElem> sats;
  EXPECT_EQ(track.ReadNASA(KESTREL_TEST_DATA "/sat/elements.tle", sats), 1);
  return sats;
}

// The reference observer: 49 36' N, 11 00' E, 300 m.
inline constexpr Observer kReferenceObserver{-2976, 660, 300, 0};

// A reference position: sub-satellite point (geocentric), radius (km), and the look from
// the reference observer (on the WGS-84 ellipsoid, a few metres from ours on WGS-72).
struct RefRow {
  int number;
  double when, hours, lat, lon, radius, elevation, range;
};

// The sets every half hour from a day before to five days after their epochs.
inline std::vector<RefRow> ReferenceRows() {
  std::vector<RefRow> rows;
  FILE* f = fopen(KESTREL_TEST_DATA "/sat/reference.csv", "r");
  EXPECT_NE(f, nullptr);
  if (!f) return rows;
  char header[256];
  RefRow r;
  if (fgets(header, sizeof header, f))
    while (fscanf(f, "%d,%lf,%lf,%lf,%lf,%lf,%lf,%lf\n", &r.number, &r.when, &r.hours, &r.lat,
                  &r.lon, &r.radius, &r.elevation, &r.range) == 8)
      rows.push_back(r);
  fclose(f);
  EXPECT_GT(rows.size(), 1000u);
  return rows;
}

// The sets by catalogue number.
inline std::map<int, const SatElem*> ByNumber(const std::vector<SatElem>& sats) {
  std::map<int, const SatElem*> by_number;
  for (const SatElem& s : sats) by_number[s.number] = &s;
  return by_number;
}

}  // namespace sattest
