// SYNOP decoder on bulletins published by weather services (tests/data/synop/public): values
// checked group by group against the codes by hand, including reports with "/" fields, a
// doubled station group, NIL reports in lower case, section 2 in land reports, corrections
// and a buoy reporting under a platform number.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/decoders/synop_test_store.h"

namespace {

using namespace synoptest;

const std::string kPublic = std::string(KESTREL_TEST_DATA) + "/synop/public/";

class SynopPublicTest : public SynopTest {
 protected:
  // Feeds a bulletin file the way the tool does: files that lack the teleprinter frame get
  // "ZCZC" before and "NNNN" after them.
  void Load(const std::string& name, time_t clock, const char* heading = "") {
    d_.SetClock(clock);
    FILE* f = fopen((kPublic + name).c_str(), "rb");
    ASSERT_TRUE(f) << name;
    std::string text;
    for (int c; (c = getc(f)) != EOF;) text.push_back(char(c));
    fclose(f);
    const bool framed = text.find("ZCZC") != std::string::npos;
    if (!framed) text = std::string("ZCZC\r\n") + heading + text + "\r\nNNNN\r\n";
    for (unsigned char c : text) d_.DecodeWMO(c);
  }
  const SYN_DATA* Station(uint32_t index) const {
    for (const SYN_DATA& r : d_.reports)
      if (r.index == index) return &r;
    return nullptr;
  }
};

TEST_F(SynopPublicTest, CubaRegionalBulletin) {
  Load("smcu20_muhv_310000.txt", Utc(2026, 10, 31, 3, 0));
  ASSERT_EQ(20u, d_.reports.size());
  EXPECT_STREQ("CU", d_.reports[0].a1a2);
  EXPECT_STREQ("MUHV", d_.reports[0].centre);
  EXPECT_EQ(Utc(2026, 10, 31, 0, 0), d_.reports[0].observationTime);

  // 78310 01470 70303 10250 20214 30094 40104 56004 60111 70398 8597/
  // 333 10320 20240 31/// 54416 56999 57982 59015 60117 70114 82818 87359 849// ...
  const SYN_DATA* a = Station(78310);
  ASSERT_TRUE(a);
  EXPECT_EQ(1, a->iw);
  EXPECT_EQ(0, a->iR);
  EXPECT_EQ(1, a->ix);
  EXPECT_EQ(4, a->h);
  EXPECT_EQ(70, a->VV);
  EXPECT_EQ(7, a->N);
  EXPECT_EQ(30, a->dd);
  EXPECT_EQ(3, a->ff);
  EXPECT_DOUBLE_EQ(25.0, a->temperature);
  EXPECT_DOUBLE_EQ(21.4, a->dewPoint);
  EXPECT_DOUBLE_EQ(1009.4, a->stationPressure);
  EXPECT_DOUBLE_EQ(1010.4, a->seaPressure);
  EXPECT_EQ(6, a->tendency);
  EXPECT_DOUBLE_EQ(0.4, a->tendencyAmount);
  EXPECT_EQ(11, a->RRR);
  EXPECT_EQ(1, a->tR);
  EXPECT_EQ(3, a->ww);
  EXPECT_EQ(9, a->W1);
  EXPECT_EQ(8, a->W2);
  EXPECT_EQ(5, a->Nh);
  EXPECT_EQ(9, a->CL);
  EXPECT_EQ(7, a->CM);
  EXPECT_EQ(-1, a->CH);
  EXPECT_DOUBLE_EQ(32.0, a->maxTemperature);
  EXPECT_DOUBLE_EQ(24.0, a->minTemperature);
  EXPECT_EQ(1, a->groundState);
  ASSERT_EQ(3, a->cloudLayers);
  EXPECT_EQ(2, a->layer[0].Ns);
  EXPECT_EQ(8, a->layer[0].C);
  EXPECT_EQ(18, a->layer[0].hshs);
  EXPECT_EQ(7, a->layer[1].Ns);
  EXPECT_EQ(3, a->layer[1].C);
  EXPECT_EQ(59, a->layer[1].hshs);
  EXPECT_EQ(9, a->layer[2].C);
  EXPECT_EQ(-1, a->layer[2].hshs);

  // "78328 nil=" in lower case.
  const SYN_DATA* nil = Station(78328);
  ASSERT_TRUE(nil);
  EXPECT_EQ(kSynStation | kSynNil, nil->flags);

  // 78324 11/02 71804 10284 20230 30091 40102 55000 60001 70522 82278: cloud base missing.
  const SYN_DATA* b = Station(78324);
  ASSERT_TRUE(b);
  EXPECT_EQ(-1, b->h);
  EXPECT_EQ(2, b->VV);
  EXPECT_EQ(180, b->dd);
  EXPECT_EQ(4, b->ff);
  EXPECT_DOUBLE_EQ(28.4, b->temperature);
  EXPECT_DOUBLE_EQ(23.0, b->dewPoint);
  EXPECT_DOUBLE_EQ(1010.2, b->seaPressure);
  EXPECT_EQ(5, b->tendency);
  EXPECT_DOUBLE_EQ(0.0, b->tendencyAmount);
  EXPECT_EQ(5, b->ww);
  EXPECT_EQ(2, b->Nh);
  EXPECT_EQ(8, b->CH);

  char text[CSynopDecoder::kTextSize];
  ASSERT_GT(d_.Translate(*a, text, sizeof text), 0);
  EXPECT_NE(nullptr, strstr(text, "CABO SAN ANTONIO"));
  EXPECT_NE(nullptr, strstr(text, "Cuba"));
}

TEST_F(SynopPublicTest, CubaMountainStationsMissingFieldsAndADoubledGroup) {
  Load("smcu40_muhv_310000.txt", Utc(2026, 10, 31, 3, 0));
  ASSERT_EQ(48u, d_.reports.size());
  EXPECT_EQ(kSynStation | kSynNil, Station(78332)->flags);

  // 78327 11/65 63401 10/// 20/// 30075 40109 53008 60001 71392 82943
  // 333 06990 10/// 20210: no temperatures at the synoptic hour, a minimum but no maximum.
  const SYN_DATA* a = Station(78327);
  ASSERT_TRUE(a);
  EXPECT_EQ(65, a->VV);
  EXPECT_EQ(6, a->N);
  EXPECT_EQ(340, a->dd);
  EXPECT_EQ(1, a->ff);
  EXPECT_FALSE(a->flags & (kSynTemperature | kSynDewPoint | kSynMaxTemperature));
  EXPECT_DOUBLE_EQ(1007.5, a->stationPressure);
  EXPECT_DOUBLE_EQ(1010.9, a->seaPressure);
  EXPECT_EQ(3, a->tendency);
  EXPECT_DOUBLE_EQ(0.8, a->tendencyAmount);
  EXPECT_EQ(13, a->ww);
  EXPECT_TRUE(a->flags & kSynMinTemperature);
  EXPECT_DOUBLE_EQ(21.0, a->minTemperature);

  // 78370 78370 11540 70000 10272 20246 30100 40124 51017 60001 70522 82270: the station
  // group came twice; the second copy is no iRixhVV group (iR 7 does not exist).
  const SYN_DATA* b = Station(78370);
  ASSERT_TRUE(b);
  EXPECT_EQ(1, b->iR);
  EXPECT_EQ(1, b->ix);
  EXPECT_EQ(5, b->h);
  EXPECT_EQ(40, b->VV);
  EXPECT_EQ(7, b->N);
  EXPECT_EQ(0, b->dd);
  EXPECT_EQ(0, b->ff);
  EXPECT_DOUBLE_EQ(27.2, b->temperature);
  EXPECT_DOUBLE_EQ(24.6, b->dewPoint);
  EXPECT_DOUBLE_EQ(1010.0, b->stationPressure);
  EXPECT_DOUBLE_EQ(1012.4, b->seaPressure);
  EXPECT_EQ(1, b->tendency);
  EXPECT_DOUBLE_EQ(1.7, b->tendencyAmount);
  EXPECT_EQ(2, b->Nh);
  EXPECT_EQ(7, b->CM);

  // 78371 ... 39413 48526 5/011: a high station gives the 850 hPa geopotential (1526 gpm)
  // instead of the sea-level pressure; the tendency characteristic is missing.
  const SYN_DATA* c = Station(78371);
  ASSERT_TRUE(c);
  EXPECT_DOUBLE_EQ(941.3, c->stationPressure);
  EXPECT_FALSE(c->flags & kSynSeaPressure);
  EXPECT_TRUE(c->flags & kSynGeopotential);
  EXPECT_EQ(850, c->standardLevel);
  EXPECT_EQ(526, c->geopotential);
  EXPECT_EQ(-1, c->tendency);

  // 78366 01/00 92404 10191 20191 38900 48426 51010 69921 74596 89///: sky obscured.
  const SYN_DATA* d = Station(78366);
  ASSERT_TRUE(d);
  EXPECT_EQ(9, d->N);
  EXPECT_EQ(240, d->dd);
  EXPECT_DOUBLE_EQ(890.0, d->stationPressure);
  EXPECT_EQ(426, d->geopotential);
  EXPECT_EQ(992, d->RRR);  // 0.2 mm
  EXPECT_EQ(45, d->ww);
  EXPECT_EQ(9, d->Nh);
  EXPECT_EQ(-1, d->CL);

  // Stations missing from the store are still reported, but not translated.
  const SYN_DATA* e = Station(78308);
  ASSERT_TRUE(e);
  char text[CSynopDecoder::kTextSize];
  EXPECT_EQ(0, d_.Translate(*e, text, sizeof text));
}

TEST_F(SynopPublicTest, RomaniaBulletinWithoutTeleprinterFrame) {
  Load("smro01_yrbk_211200.txt", Utc(2026, 12, 21, 13, 0));
  ASSERT_EQ(23u, d_.reports.size());
  EXPECT_STREQ("RO", d_.reports[0].a1a2);
  EXPECT_STREQ("YRBK", d_.reports[0].centre);
  EXPECT_EQ(Utc(2026, 12, 21, 12, 0), d_.reports[0].bulletinTime);

  // 15015 02999 02501 10103 21090 39765 42952 57020 60001: 925 hPa geopotential.
  const SYN_DATA* a = Station(15015);
  ASSERT_TRUE(a);
  EXPECT_EQ(2, a->ix);
  EXPECT_EQ(99, a->VV);
  EXPECT_EQ(0, a->N);
  EXPECT_EQ(250, a->dd);
  EXPECT_EQ(1, a->ff);
  EXPECT_DOUBLE_EQ(10.3, a->temperature);
  EXPECT_DOUBLE_EQ(-9.0, a->dewPoint);
  EXPECT_DOUBLE_EQ(976.5, a->stationPressure);
  EXPECT_EQ(925, a->standardLevel);
  EXPECT_EQ(952, a->geopotential);
  EXPECT_EQ(7, a->tendency);
  EXPECT_DOUBLE_EQ(2.0, a->tendencyAmount);

  // 15280 01/90 90509 11114 21161 37578 47110 52003 60001 73833 333 49184: a summit at
  // 2504 m under snow, 700 hPa geopotential (3110 gpm), blowing snow.
  const SYN_DATA* b = Station(15280);
  ASSERT_TRUE(b);
  EXPECT_EQ(90, b->VV);
  EXPECT_EQ(9, b->N);
  EXPECT_EQ(50, b->dd);
  EXPECT_EQ(9, b->ff);
  EXPECT_DOUBLE_EQ(-11.4, b->temperature);
  EXPECT_DOUBLE_EQ(-16.1, b->dewPoint);
  EXPECT_DOUBLE_EQ(757.8, b->stationPressure);
  EXPECT_EQ(700, b->standardLevel);
  EXPECT_EQ(110, b->geopotential);
  EXPECT_EQ(38, b->ww);
  EXPECT_EQ(9, b->snowState);
  EXPECT_EQ(184, b->snowDepth);
  EXPECT_EQ(2504, b->altitude);

  // 15360 ... 80002 222// 06032 20301: section 2 of a coastal station (sea 3.2 C, waves of
  // 3 s and half a metre).
  const SYN_DATA* c = Station(15360);
  ASSERT_TRUE(c);
  EXPECT_TRUE(c->flags & kSynSeaTemperature);
  EXPECT_DOUBLE_EQ(3.2, c->seaTemperature);
  EXPECT_EQ(3, c->wavePeriod);
  EXPECT_DOUBLE_EQ(0.5, c->waveHeight);
}

TEST_F(SynopPublicTest, EveryRomanianBulletinAndCorrection) {
  struct File {
    const char* name;
    int day, hour;
    size_t reports;
    const char* correction;
  };
  const File files[] = {
      {"smro01_yrbk_171200_cca.txt", 17, 12, 1, "CCA"},
      {"smro01_yrbk_171200_ccb.txt", 17, 12, 1, "CCB"},
      {"smro01_yrbk_171800.txt", 17, 18, 23, ""},
      {"smro01_yrbk_171800_cca.txt", 17, 18, 1, "CCA"},
      {"smro01_yrbk_171800_ccb.txt", 17, 18, 1, "CCB"},
      {"smro01_yrbk_180600.txt", 18, 6, 23, ""},
  };
  for (const File& f : files) {
    SCOPED_TRACE(f.name);
    d_.reports.clear();
    Load(f.name, Utc(2026, 12, f.day, f.hour, 30));
    ASSERT_EQ(f.reports, d_.reports.size());
    for (const SYN_DATA& r : d_.reports) {
      EXPECT_STREQ(f.correction, r.correction);
      EXPECT_EQ(Utc(2026, 12, f.day, f.hour, 0), r.observationTime);
      EXPECT_TRUE(r.flags & kSynStationPressure) << r.index;
      char text[CSynopDecoder::kTextSize];
      EXPECT_GT(d_.Translate(r, text, sizeof text), 0) << r.index;
    }
  }
  // 171200 CCA: 15108 01/92 92514 11028 21028 37901 48315 50001 69941 77174 333 48014
  d_.reports.clear();
  Load("smro01_yrbk_171200_cca.txt", Utc(2026, 12, 17, 12, 30));
  const SYN_DATA& r = d_.reports.at(0);
  EXPECT_EQ(15108u, r.index);
  EXPECT_EQ(92, r.VV);
  EXPECT_EQ(9, r.N);
  EXPECT_EQ(250, r.dd);
  EXPECT_EQ(14, r.ff);
  EXPECT_DOUBLE_EQ(-2.8, r.temperature);
  EXPECT_DOUBLE_EQ(-2.8, r.dewPoint);
  EXPECT_DOUBLE_EQ(790.1, r.stationPressure);
  EXPECT_EQ(315, r.geopotential);
  EXPECT_EQ(994, r.RRR);
  EXPECT_EQ(71, r.ww);
  EXPECT_EQ(8, r.snowState);
  EXPECT_EQ(14, r.snowDepth);
}

TEST_F(SynopPublicTest, BuoyReportingUnderItsPlatformNumber) {
  Load("bbxx_51002.txt", Utc(2026, 12, 19, 1, 0), "SMVX01 KWBC 190000\r\n");
  ASSERT_EQ(1u, d_.reports.size());
  const SYN_DATA& r = d_.reports[0];
  EXPECT_STREQ("51002", r.callSign);
  EXPECT_EQ(kSynStation | kSynShip, r.flags & (kSynStation | kSynShip));
  EXPECT_EQ(Utc(2026, 12, 19, 0, 0), r.observationTime);
  EXPECT_EQ(-17 * 60, r.latitude);           // 17.0 N
  EXPECT_EQ(-(157 * 60 + 42), r.longitude);  // 157.7 W
  EXPECT_EQ(4, r.iR);
  EXPECT_EQ(6, r.ix);
  EXPECT_FALSE(r.flags & kSynVisibility);
  EXPECT_EQ(70, r.dd);
  EXPECT_EQ(9, r.ff);
  EXPECT_DOUBLE_EQ(26.7, r.temperature);
  EXPECT_DOUBLE_EQ(23.2, r.dewPoint);
  EXPECT_DOUBLE_EQ(1013.2, r.stationPressure);
  EXPECT_DOUBLE_EQ(1013.5, r.seaPressure);
  EXPECT_EQ(5, r.Ds);
  EXPECT_EQ(1, r.vs);
  EXPECT_DOUBLE_EQ(26.8, r.seaTemperature);
  EXPECT_EQ(8, r.windWavePeriod);
  EXPECT_DOUBLE_EQ(2.1, r.windWaveHeight);  // group 70 in tenths replaces the half metres
  EXPECT_EQ(6, r.wavePeriod);
  EXPECT_DOUBLE_EQ(2.0, r.waveHeight);
  EXPECT_EQ(100, r.swellDirection1);
  EXPECT_EQ(8, r.swell1Period);
  EXPECT_DOUBLE_EQ(1.0, r.swell1Height);
  EXPECT_EQ(1, r.iceSource);
  EXPECT_EQ(23, r.iceThickness);
  EXPECT_EQ(4, r.iceRate);
}

TEST_F(SynopPublicTest, FiguresThatAreNoPlatformNumberYieldNoReport) {
  // A ship section whose call sign was lost: the time group cannot be a platform number's
  // (day 99), and nothing is reported until the next real call sign.
  d_.SetClock(Utc(2026, 12, 19, 1, 0));
  d_.Feed("ZCZC 002\r\nSMVX01 KWBC 190000\r\nBBXX\r\n19001 99170 71577 46/// /0709 10267=\r\n"
          "DHKN 19001 99542 10056 41598 70000 10086 40112=\r\nNNNN\r\n");
  ASSERT_EQ(1u, d_.reports.size());
  EXPECT_STREQ("DHKN", d_.reports[0].callSign);
}

}  // namespace
