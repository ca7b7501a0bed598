// Two-line element files: the check digit, set finding, field columns, names, epochs, line
// ends, and sets that are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "spl/sat/track_sat.h"
#include "tests/common/signal_test_util.h"
#include "tests/sat/sat_test_util.h"

namespace {

using sattest::WithCheck;

// Lines of a set, columns 1-68, from the values (all columns placed as the format says).
struct SetText {
  std::string name = "TESTSAT";
  std::string l1 = "1 25544U 98067A   26335.51782528  .00012745  00000-0  22718-3 0  999";
  std::string l2 = "2 25544  51.6393 211.8837 0006872  98.4407 261.7404 15.5013531248721";
  std::string Text(const char* eol = "\n") const {
    return name + eol + WithCheck(l1) + eol + WithCheck(l2) + eol;
  }
};

std::string Put(std::string line, int column, const std::string& text) {
  line.replace(size_t(column - 1), text.size(), text);
  return line;
}

struct Read {
  int ok = 0;
  std::vector<SatElem> sats;
  std::vector<std::string> notes;
};

Read ReadText(const std::string& text) {
  sigtest::TempDir dir;
  std::string path = dir.File("sets.tle");
  FILE* f = fopen(path.c_str(), "wb");
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  Read r;
  CTrackSat track;
  r.ok = track.ReadNASA(path.c_str(), r.sats, &r.notes);
  return r;
}

TEST(ElementSets, FieldsComeFromTheirColumns) {
  Read r = ReadText(SetText().Text());
  ASSERT_EQ(r.ok, 1);
  ASSERT_EQ(r.sats.size(), 1u);
  const SatElem& s = r.sats[0];
  EXPECT_STREQ(s.name, "TESTSAT");
  // Number, launch year, launch number, piece ("A  " read as a number), epoch year, revolution.
  EXPECT_EQ((std::vector<int>{s.number, s.launchYear, s.launchNumber, s.piece, s.epochYear,
                              s.revolution}),
            (std::vector<int>{25544, 98, 67, 0, 26, 48721}));
  EXPECT_DOUBLE_EQ(s.epochDay, 335.51782528);
  EXPECT_DOUBLE_EQ(s.decay, 0.00012745);
  EXPECT_DOUBLE_EQ(s.inclination, 51.6393);
  EXPECT_DOUBLE_EQ(s.node, 211.8837);
  EXPECT_DOUBLE_EQ(s.eccentricity, 6872.0);  // the digits, x 1e7
  EXPECT_DOUBLE_EQ(s.perigee, 98.4407);
  EXPECT_DOUBLE_EQ(s.meanAnomaly, 261.7404);
  EXPECT_DOUBLE_EQ(s.meanMotion, 15.50135312);
  EXPECT_TRUE(r.notes.empty());
}

TEST(ElementSets, WrongLineTwoIsSkippedAndTheNextSetFound) {
  SetText a, b;
  a.name = "FIRST";
  b.name = "SECOND";
  b.l1 = Put(b.l1, 3, "33591");
  b.l2 = Put(b.l2, 3, "33591");
  std::string bad_l2 = WithCheck(a.l2);
  bad_l2[68] = char('0' + (bad_l2[68] - '0' + 3) % 10);
  std::string text = a.name + "\n" + WithCheck(a.l1) + "\n" + bad_l2 + "\n" + b.Text();
  Read r = ReadText(text);
  ASSERT_EQ(r.sats.size(), 1u);
  EXPECT_STREQ(r.sats[0].name, "SECOND");
  EXPECT_EQ(r.sats[0].number, 33591);
  ASSERT_EQ(r.notes.size(), 1u);
  EXPECT_NE(r.notes[0].find("check digit"), std::string::npos) << r.notes[0];
  // Lines out of order are no set.
  Read swapped = ReadText("X\n" + WithCheck(a.l2) + "\n" + WithCheck(a.l1) + "\n");
  EXPECT_TRUE(swapped.sats.empty());
}

TEST(ElementSets, NamesLoseTrailingBlanksAndAreCut) {
  SetText t;
  t.name = "NOAA 19                 ";
  Read r = ReadText(t.Text("\r\n"));
  ASSERT_EQ(r.sats.size(), 1u);
  EXPECT_STREQ(r.sats[0].name, "NOAA 19");
  t.name = std::string(40, 'N');
  r = ReadText(t.Text());
  ASSERT_EQ(r.sats.size(), 1u);
  EXPECT_EQ(std::string(r.sats[0].name), std::string(31, 'N'));
  // A file without name lines: the catalogue number names each set.
  SetText u;
  u.l1 = Put(u.l1, 3, "33591");
  u.l2 = Put(u.l2, 3, "33591");
  r = ReadText(WithCheck(t.l1) + "\n" + WithCheck(t.l2) + "\n" + WithCheck(u.l1) + "\n" +
               WithCheck(u.l2) + "\n");
  ASSERT_EQ(r.sats.size(), 2u);
  EXPECT_STREQ(r.sats[0].name, "25544");
  EXPECT_STREQ(r.sats[1].name, "33591");
}

TEST(ElementSets, CrLfAndBlankLinesReadLikePlainLines) {
  SetText a, b;
  a.name = "A";
  b.name = "B";
  b.l1 = Put(b.l1, 3, "11111");
  b.l2 = Put(b.l2, 3, "11111");
  Read plain = ReadText(a.Text() + b.Text());
  std::string crlf = "\r\n\r\n" + a.name + "\r\n\r\n" + WithCheck(a.l1) + "   \r\n" +
                     WithCheck(a.l2) + "\r\n\n\n" + b.Text("\r\n");
  Read r = ReadText(crlf);
  ASSERT_EQ(plain.sats.size(), 2u);
  ASSERT_EQ(r.sats.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_STREQ(r.sats[i].name, plain.sats[i].name);
    EXPECT_EQ(r.sats[i].number, plain.sats[i].number);
    EXPECT_DOUBLE_EQ(r.sats[i].meanMotion, plain.sats[i].meanMotion);
  }
}

TEST(ElementSets, ARepeatedNameEndsTheReading) {
  SetText a, b, c;
  b.name = "OTHER";
  b.l1 = Put(b.l1, 3, "22222");
  b.l2 = Put(b.l2, 3, "22222");
  c.l1 = Put(c.l1, 3, "33333");  // same name as a
  c.l2 = Put(c.l2, 3, "33333");
  SetText d;
  d.name = "AFTER";
  Read r = ReadText(a.Text() + b.Text() + c.Text() + d.Text());
  EXPECT_EQ(r.ok, 1);
  ASSERT_EQ(r.sats.size(), 2u);
  EXPECT_STREQ(r.sats[1].name, "OTHER");
}

TEST(ElementSets, FilesThatCannotBeOpenedAndEmptyFiles) {
  CTrackSat track;
  std::vector<SatElem> sats;
  EXPECT_EQ(track.ReadNASA("/nonexistent/kestrel/sets.tle", sats), 0);
  Read r = ReadText("");
  EXPECT_EQ(r.ok, 1);
  EXPECT_TRUE(r.sats.empty());
  r = ReadText("just text\nwith no sets\n");
  EXPECT_EQ(r.ok, 1);
  EXPECT_TRUE(r.sats.empty());
}

TEST(ElementSets, BadSetsAreSkippedWithAReason) {
  struct Case {
    const char* what;
    int line, column;
    const char* text;
    const char* note;
  } cases[] = {
      {"letter in the inclination", 2, 9, " 51.6X93", "inclination"},
      {"letter in the epoch", 1, 21, "33X", "epoch day"},
      {"two points in the mean motion", 2, 53, "15.501.5312", "mean motion"},
      {"sign inside the eccentricity", 2, 27, "00-6872", "eccentricity"},
      {"mean motion zero", 2, 53, " 0.00000000", "mean motion"},
      {"mean motion too high for an orbit", 2, 53, "25.00000000", "perigee"},
      {"eccentricity that hits the Earth", 2, 27, "9000000", "perigee"},
      {"inclination above 180", 2, 9, "181.0000", "angle"},
      {"epoch day 0", 1, 21, "000.00000000", "epoch"},
  };
  for (const Case& c : cases) {
    SetText bad, good;
    bad.name = "BAD";
    good.name = "GOOD";
    good.l1 = Put(good.l1, 3, "44444");
    good.l2 = Put(good.l2, 3, "44444");
    (c.line == 1 ? bad.l1 : bad.l2) = Put(c.line == 1 ? bad.l1 : bad.l2, c.column, c.text);
    Read r = ReadText(bad.Text() + good.Text());
    ASSERT_EQ(r.sats.size(), 1u) << c.what;
    EXPECT_STREQ(r.sats[0].name, "GOOD") << c.what;
    ASSERT_EQ(r.notes.size(), 1u) << c.what;
    EXPECT_NE(r.notes[0].find(c.note), std::string::npos) << c.what << ": " << r.notes[0];
  }
  // Short lines: no check digit column, so no set; the next one is still found.
  SetText good;
  Read r = ReadText("SHORT\n" + good.l1.substr(0, 50) + "\n" + good.l2.substr(0, 60) + "\n" +
                    good.Text());
  ASSERT_EQ(r.sats.size(), 1u);
  EXPECT_STREQ(r.sats[0].name, "TESTSAT");
  // Line 2 of another satellite.
  SetText mixed;
  mixed.l2 = Put(mixed.l2, 3, "12345");
  r = ReadText(mixed.Text());
  EXPECT_TRUE(r.sats.empty());
  ASSERT_EQ(r.notes.size(), 1u);
}

TEST(ElementSets, EpochYears99And05) {
  // A circular orbit at 50 degrees whose argument of latitude is 90 degrees at the epoch:
  // at the epoch instant the sub-satellite point lies at 50 N, whatever the sidereal time.
  // Read in the wrong century the epoch would lie 100 years away.
  for (auto [year, full] : {std::pair{"99", 1999}, std::pair{"05", 2005}}) {
    SetText t;
    t.l1 = Put(t.l1, 19, std::string(year) + "032.50000000");
    t.l1 = Put(t.l1, 34, " .00000000");
    t.l2 = "2 25544  50.0000 100.0000 0000000  90.0000   0.0000 15.0000000000001";
    Read r = ReadText(t.Text());
    ASSERT_EQ(r.sats.size(), 1u);
    EXPECT_EQ(r.sats[0].epochYear, std::atoi(year));
    CTrackSat track;
    Observer obs{0, 0, 0, 0};
    Satellite s;
    track.SetModel(kSatModelKepler);  // its sub-satellite point is geocentric
    track.Predict(r.sats[0], obs, SatTime{full, 2, 1, 12, 0, 0.0}, s);
    ASSERT_TRUE(track.LastValid());
    EXPECT_NEAR(track.LastDetail().latitude, 50.0, 0.01) << year;
    EXPECT_EQ(s.y, -3000) << year;  // map latitude: north negative
    // Half a revolution later (48 minutes) it is at 50 S.
    track.Predict(r.sats[0], obs, SatTime{full, 2, 1, 12, 48, 0.0}, s);
    EXPECT_NEAR(track.LastDetail().latitude, -50.0, 0.05) << year;
  }
}

}  // namespace
