// SYNOP decoder: the parser field by field on broadcast-format bulletins, wrong-shift groups,
// warnings, NIL reports, raw WMO framing, cut-off and garbled input, the store and Translate.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "spl/decoders/synop_decoder.h"
#include "tests/common/signal_test_util.h"
#include "tests/decoders/synop_test_store.h"

namespace {

using namespace synoptest;

const char kExample[] =
    "ZCZC 123\r\nSMDL01 EDZW 061200\r\nAAXX 06121\r\n"
    "10384 41458 81205 10123 20089 30123 40156 52012 60001 78012 88/53=\r\nNNNN\r\n";

TEST_F(SynopTest, ExampleReportEveryValue) {
  d_.Feed(kExample);
  ASSERT_EQ(1u, d_.reports.size());
  const SYN_DATA& r = d_.reports[0];
  EXPECT_EQ(10384u, r.index);
  EXPECT_EQ(123, r.bulletinNumber);
  EXPECT_STREQ("SM", r.t1t2);
  EXPECT_STREQ("DL", r.a1a2);
  EXPECT_EQ(1, r.ii);
  EXPECT_STREQ("EDZW", r.centre);
  EXPECT_EQ(Utc(2026, 12, 6, 12, 0), r.bulletinTime);
  EXPECT_EQ(Utc(2026, 12, 6, 12, 0), r.observationTime);
  // Position from the store: 52.47 N 13.40 E, 48 m.
  const char* want_fields =
      "iw=1 iR=4 ix=1 h=4 VV=58 N=8 dd=120 ff=5 temperature=12.3 dewPoint=8.9 "
      "stationPressure=1012.3 seaPressure=1015.6 tendency=2 tendencyAmount=1.2 RRR=0 tR=1 ww=80 "
      "W1=1 W2=2 Nh=8 CL=-1 CM=5 CH=3 latitude=-3148 longitude=804 altitude=48";
  EXPECT_EQ(want_fields, Describe(r, want_fields));
  const uint32_t want = kSynStation | kSynVisibility | kSynWindDirection | kSynWindSpeed |
                        kSynTemperature | kSynDewPoint | kSynStationPressure | kSynSeaPressure |
                        kSynTendency | kSynPrecipitation | kSynWeather | kSynClouds;
  EXPECT_EQ(want, r.flags);
  EXPECT_EQ((std::vector<uint32_t>{1, 1, 1}),
            (std::vector<uint32_t>{d_.Bulletins(), d_.LandSections(), d_.BulletinEnds()}));
  EXPECT_TRUE(d_.warnings.empty());
}

TEST_F(SynopTest, WrongShiftGroupReadsTheSameDigits) {
  std::string s = kExample;
  s.replace(s.find("10384"), 5, "QPEIR");
  s.replace(s.find("10123"), 5, "QPQWE");
  d_.Feed(s);
  ASSERT_EQ(1u, d_.reports.size());
  EXPECT_EQ(10384u, d_.reports[0].index);
  EXPECT_DOUBLE_EQ(12.3, d_.reports[0].temperature);
}

TEST_F(SynopTest, ForecastBulletinWarnsAndYieldsNoReports) {
  d_.Feed("ZCZC 124\r\nFXDL40 EDZW 061100\r\nAAXX 06121\r\n10384 41458 81205 10123=\r\n"
          "NNNN\r\n");
  EXPECT_TRUE(d_.reports.empty());
  EXPECT_EQ((std::vector<int>{1, 0}), d_.warnings);
  d_.Feed(kExample);  // the next bulletin decodes again
  EXPECT_EQ(1u, d_.reports.size());
}

TEST_F(SynopTest, NilReportAtOnceWithTwoFlags) {
  d_.Feed("ZCZC 1\r\nSMDL01 EDZW 061200\r\nAAXX 06121\r\n10384 NIL ");
  ASSERT_EQ(1u, d_.reports.size());
  EXPECT_EQ(kSynStation | kSynNil, d_.reports[0].flags);
  d_.Feed("=\r\n10385 NIL=\r\n");
  EXPECT_EQ(2u, d_.reports.size());
}

TEST_F(SynopTest, PressureWrapsBelowTwoThousandTenths) {
  d_.Feed("ZCZC 1\r\nSMDL01 EDZW 061200\r\nAAXX 06121\r\n10384 41458 81205 10123 20089 "
          "30123 49876=\r\n");
  ASSERT_EQ(1u, d_.reports.size());
  EXPECT_DOUBLE_EQ(1012.3, d_.reports[0].stationPressure);
  EXPECT_DOUBLE_EQ(987.6, d_.reports[0].seaPressure);
}

TEST_F(SynopTest, RawWmoFileWithMissingFields) {
  ASSERT_EQ(1, d_.DecodeWMOFile((std::string(KESTREL_TEST_DATA) + "/synop/smdl01_raw.bin").c_str()));
  ASSERT_EQ(3u, d_.reports.size());
  EXPECT_EQ(10147u, d_.reports[0].index);
  EXPECT_EQ(476, d_.reports[0].bulletinNumber);
  const char* a = "VV=60 dd=210 ff=6 temperature=6.8 dewPoint=4.1 stationPressure=1009.4 "
                  "seaPressure=1013.1 tendency=7 ww=61";
  EXPECT_EQ(a, Describe(d_.reports[0], a));
  EXPECT_EQ(kSynStation | kSynNil, d_.reports[1].flags);
  EXPECT_EQ(10385u, d_.reports[2].index);
  // "/" cloud cover; no temperatures and no tendency.
  const char* c = "N=-1 dd=180 ff=4 hasTemperature=0 hasDewPoint=0 stationPressure=1012.2 "
                  "seaPressure=1015.5";
  EXPECT_EQ(c, Describe(d_.reports[2], c));
  EXPECT_FALSE(d_.reports[2].flags & kSynTendency);
  EXPECT_EQ(1u, d_.BulletinEnds());
}

TEST_F(SynopTest, ShipReportsWithSectionTwo) {
  FILE* f = fopen((std::string(KESTREL_TEST_DATA) + "/synop/ship_bulletin.txt").c_str(), "rb");
  ASSERT_TRUE(f);
  for (int c; (c = getc(f)) != EOF;) d_.DecodeWMO(c);
  fclose(f);
  ASSERT_EQ(2u, d_.reports.size());
  EXPECT_STREQ("DHKN", d_.reports[0].callSign);
  EXPECT_TRUE(d_.reports[0].flags & kSynStation);
  // 54.2 N 5.6 E (minutes, north negative).
  const char* a = "ship=1 latitude=-3252 longitude=336 temperature=8.6 seaPressure=1011.2 Ds=0 "
                  "seaTemperature=8.7 wavePeriod=3 waveHeight=2.0 swellDirection1=0 "
                  "swell1Period=10 swell1Height=4.0";
  EXPECT_EQ(a, Describe(d_.reports[0], a));
  const SYN_DATA& b = d_.reports[1];
  EXPECT_STREQ("PBBB", b.callSign);
  // 60.1 N 3.1 W
  const char* bf = "latitude=-3606 longitude=-186 temperature=3.4 hasDewPoint=0 seaPressure=1004.5";
  EXPECT_EQ(bf, Describe(b, bf));
  char text[CSynopDecoder::kTextSize];
  const int n = d_.Translate(b, text, sizeof text);
  ASSERT_GT(n, 0);
  EXPECT_NE(nullptr, strstr(text, "Ship PBBB"));
  EXPECT_NE(nullptr, strstr(text, "60.06 N  03.06 W"));
}

TEST_F(SynopTest, TranslateTextAndLimits) {
  d_.Feed(kExample);
  ASSERT_EQ(1u, d_.reports.size());
  char text[CSynopDecoder::kTextSize];
  const int n = d_.Translate(d_.reports[0], text, sizeof text);
  ASSERT_GT(n, 0);
  EXPECT_EQ(n, static_cast<int>(strlen(text)));
  for (const char* want : {"Station 10384 BERLIN-TEMPELHOF", "52.28 N  13.24 E  06.12.2026  12:00",
                           "Air temperature: 12.3 C", "Dew point: 8.9 C",
                           "Station pressure (48 m) 1012.3 hPa", "Sea-level pressure 1015.6 hPa",
                           "from 120 degrees at 5 m/s", "Bulletin SMDL01 from EDZW: Germany"})
    EXPECT_NE(nullptr, strstr(text, want)) << want << "\n" << text;
  // Too small a buffer: nothing, and nothing written past it.
  char small[40];
  memset(small, 'x', sizeof small);
  EXPECT_EQ(0, d_.Translate(d_.reports[0], small, 20));
  EXPECT_EQ('x', small[20]);
  // Unknown station.
  SYN_DATA r = d_.reports[0];
  r.index = 99998;
  EXPECT_EQ(0, d_.Translate(r, text, sizeof text));
  // Many cloud layers and every flag: still at most 4095 characters.
  r = d_.reports[0];
  r.flags = 0x3FFFFFFF;
  r.cloudLayers = 400;
  const int m = d_.Translate(r, text, sizeof text);
  EXPECT_GT(m, 0);
  EXPECT_LT(m, CSynopDecoder::kTextSize);
}

TEST_F(SynopTest, CutOffAndGarbledInputNeverStopsTheParser) {
  const std::string s = kExample;
  for (size_t cut = 0; cut < s.size(); ++cut) {
    CRecorder d;
    d.SetClock(Utc(2026, 12, 6, 13, 5));
    d.Feed(s.substr(0, cut));
    d.Feed("\r\nNNNN\r\n");
    d.Feed(s);
    EXPECT_GE(d.reports.size(), 1u) << cut;
    EXPECT_EQ(10384u, d.reports.back().index);
  }
  CRecorder g;
  g.SetClock(Utc(2026, 12, 6, 13, 5));
  g.Feed("ZCZC 9\r\nSMDL01 EDZW 061200\r\nAAXX 06121\r\n10384 4x4?8 8(205 1AB23 !!!!=\r\n");
  EXPECT_EQ(0, g.Decode(256));  // refused characters return 0
  EXPECT_EQ(0, g.Decode(-5));
  g.Feed(kExample);
  ASSERT_FALSE(g.reports.empty());
  EXPECT_EQ(10384u, g.reports.back().index);
  EXPECT_DOUBLE_EQ(12.3, g.reports.back().temperature);
}

TEST_F(SynopTest, FormulasAndPreloadedStore) {
  double t, p;
  CSynopDecoder::GetStandard(1000, t, p);
  EXPECT_DOUBLE_EQ(8.5, t);
  EXPECT_DOUBLE_EQ(1133.2, p);
  EXPECT_NEAR(1018.13, CSynopDecoder::SeaLevelPressure(1012.3, 12.3, 48), 0.01);
  CSynopDecoder pre;
  ASSERT_EQ(1, pre.Init(1, Store().c_str()));
  SYN_STATION a, b;
  ASSERT_EQ(1, pre.GetStation(3772, a));
  ASSERT_EQ(1, d_.GetStation("egll", b));
  EXPECT_STREQ("HEATHROW", a.name);
  EXPECT_EQ(0, memcmp(&a, &b, sizeof a));
  EXPECT_STREQ("United Kingdom", a.country);
  int count = 0;
  for (int ok = pre.GetFirstStation(a); ok; ok = pre.GetNextStation(a)) ++count;
  EXPECT_GT(count, 15000);
  EXPECT_EQ(0, pre.GetStation(99999, a));
}

TEST_F(SynopTest, MissingOrCorruptStore) {
  CSynopDecoder d;
  EXPECT_EQ(0, d.Init(0, "/nonexistent/synop.db"));
  EXPECT_NE(std::string::npos, d.StoreError().find("/nonexistent/synop.db"));
  sigtest::TempDir dir;
  FILE* f = fopen(dir.File("bad.db").c_str(), "wb");
  fputs("this is not a database at all, just some text that fills a page", f);
  fclose(f);
  EXPECT_EQ(0, d.Init(1, dir.File("bad.db").c_str()));
  EXPECT_NE(std::string::npos, d.StoreError().find("bad.db"));
  SYN_STATION st;
  EXPECT_EQ(0, d.GetStation(10384, st));
}

}  // namespace
