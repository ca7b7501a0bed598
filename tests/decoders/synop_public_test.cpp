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

struct Bulletin {
  const char* file;
  time_t clock;
  const char* heading;  // put before a bulletin that lacks the teleprinter frame
  size_t reports;
};
const Bulletin kBulletins[] = {
    {"smcu20_muhv_310000.txt", Utc(2026, 10, 31, 3, 0), "", 20},
    {"smcu40_muhv_310000.txt", Utc(2026, 10, 31, 3, 0), "", 48},
    {"smro01_yrbk_211200.txt", Utc(2026, 12, 21, 13, 0), "", 23},
    {"smro01_yrbk_171200_cca.txt", Utc(2026, 12, 17, 12, 30), "", 1},
    {"bbxx_51002.txt", Utc(2026, 12, 19, 1, 0), "SMVX01 KWBC 190000\r\n", 1},
};

// Each row: a station of a bulletin, the groups it sent, and what they say.
struct Report {
  const char* file;
  uint32_t station;
  const char* fields;
};
const Report kReports[] = {
    // 78310 01470 70303 10250 20214 30094 40104 56004 60111 70398 8597/
    // 333 10320 20240 31/// 54416 56999 57982 59015 60117 70114 82818 87359 849// ...
    {"smcu20_muhv_310000.txt", 78310,
     "iw=1 iR=0 ix=1 h=4 VV=70 N=7 dd=30 ff=3 temperature=25.0 dewPoint=21.4 "
     "stationPressure=1009.4 seaPressure=1010.4 tendency=6 tendencyAmount=0.4 RRR=11 tR=1 ww=3 "
     "W1=9 W2=8 Nh=5 CL=9 CM=7 CH=-1 maxTemperature=32.0 minTemperature=24.0 groundState=1 "
     "cloudLayers=3 layer[0].Ns=2 layer[0].C=8 layer[0].hshs=18 layer[1].Ns=7 layer[1].C=3 "
     "layer[1].hshs=59 layer[2].C=9 layer[2].hshs=-1"},
    // "78328 nil=" in lower case.
    {"smcu20_muhv_310000.txt", 78328, "nil=1"},
    // 78324 11/02 71804 10284 20230 30091 40102 55000 60001 70522 82278: cloud base missing.
    {"smcu20_muhv_310000.txt", 78324,
     "h=-1 VV=2 dd=180 ff=4 temperature=28.4 dewPoint=23.0 seaPressure=1010.2 tendency=5 "
     "tendencyAmount=0.0 ww=5 Nh=2 CH=8"},
    {"smcu40_muhv_310000.txt", 78332, "nil=1"},
    // 78327 11/65 63401 10/// 20/// 30075 40109 53008 60001 71392 82943
    // 333 06990 10/// 20210: no temperatures at the synoptic hour, a minimum but no maximum.
    {"smcu40_muhv_310000.txt", 78327,
     "VV=65 N=6 dd=340 ff=1 hasTemperature=0 hasDewPoint=0 hasMaxTemperature=0 "
     "stationPressure=1007.5 seaPressure=1010.9 tendency=3 tendencyAmount=0.8 ww=13 "
     "hasMinTemperature=1 minTemperature=21.0"},
    // 78370 78370 11540 70000 10272 20246 30100 40124 51017 60001 70522 82270: the station
    // group came twice; the second copy is no iRixhVV group (iR 7 does not exist).
    {"smcu40_muhv_310000.txt", 78370,
     "iR=1 ix=1 h=5 VV=40 N=7 dd=0 ff=0 temperature=27.2 dewPoint=24.6 stationPressure=1010.0 "
     "seaPressure=1012.4 tendency=1 tendencyAmount=1.7 Nh=2 CM=7"},
    // 78371 ... 39413 48526 5/011: a high station gives the 850 hPa geopotential (1526 gpm)
    // instead of the sea-level pressure; the tendency characteristic is missing.
    {"smcu40_muhv_310000.txt", 78371,
     "stationPressure=941.3 hasSeaPressure=0 hasGeopotential=1 standardLevel=850 "
     "geopotential=526 tendency=-1"},
    // 78366 01/00 92404 10191 20191 38900 48426 51010 69921 74596 89///: sky obscured,
    // 0.2 mm of rain (992).
    {"smcu40_muhv_310000.txt", 78366,
     "N=9 dd=240 stationPressure=890.0 geopotential=426 RRR=992 ww=45 Nh=9 CL=-1"},
    // 15015 02999 02501 10103 21090 39765 42952 57020 60001: 925 hPa geopotential.
    {"smro01_yrbk_211200.txt", 15015,
     "ix=2 VV=99 N=0 dd=250 ff=1 temperature=10.3 dewPoint=-9.0 stationPressure=976.5 "
     "standardLevel=925 geopotential=952 tendency=7 tendencyAmount=2.0"},
    // 15280 01/90 90509 11114 21161 37578 47110 52003 60001 73833 333 49184: a summit at
    // 2504 m under snow, 700 hPa geopotential (3110 gpm), blowing snow.
    {"smro01_yrbk_211200.txt", 15280,
     "VV=90 N=9 dd=50 ff=9 temperature=-11.4 dewPoint=-16.1 stationPressure=757.8 "
     "standardLevel=700 geopotential=110 ww=38 snowState=9 snowDepth=184 altitude=2504"},
    // 15360 ... 80002 222// 06032 20301: section 2 of a coastal station (sea 3.2 C, waves of
    // 3 s and half a metre).
    {"smro01_yrbk_211200.txt", 15360,
     "hasSeaTemperature=1 seaTemperature=3.2 wavePeriod=3 waveHeight=0.5"},
    // 15108 01/92 92514 11028 21028 37901 48315 50001 69941 77174 333 48014
    {"smro01_yrbk_171200_cca.txt", 15108,
     "VV=92 N=9 dd=250 ff=14 temperature=-2.8 dewPoint=-2.8 stationPressure=790.1 "
     "geopotential=315 RRR=994 ww=71 snowState=8 snowDepth=14"},
    // A buoy at 17.0 N 157.7 W; group 70 in tenths replaces the half metres of the wind waves.
    {"bbxx_51002.txt", 0,
     "ship=1 latitude=-1020 longitude=-9462 iR=4 ix=6 hasVisibility=0 dd=70 ff=9 "
     "temperature=26.7 dewPoint=23.2 stationPressure=1013.2 seaPressure=1013.5 Ds=5 vs=1 "
     "seaTemperature=26.8 windWavePeriod=8 windWaveHeight=2.1 wavePeriod=6 waveHeight=2.0 "
     "swellDirection1=100 swell1Period=8 swell1Height=1.0 iceSource=1 iceThickness=23 "
     "iceRate=4"},
};

class SynopPublicTest : public SynopTest {
 protected:
  // Feeds a bulletin file the way the tool does: files that lack the teleprinter frame get
  // "ZCZC" before and "NNNN" after them.
  void Load(const Bulletin& b) {
    d_.reports.clear();
    d_.SetClock(b.clock);
    FILE* f = fopen((kPublic + b.file).c_str(), "rb");
    ASSERT_TRUE(f) << b.file;
    std::string text;
    for (int c; (c = getc(f)) != EOF;) text.push_back(char(c));
    fclose(f);
    if (text.find("ZCZC") == std::string::npos)
      text = std::string("ZCZC\r\n") + b.heading + text + "\r\nNNNN\r\n";
    for (unsigned char c : text) d_.DecodeWMO(c);
  }
  const SYN_DATA* Station(uint32_t index) const {
    for (const SYN_DATA& r : d_.reports)
      if (r.index == index) return &r;
    return nullptr;
  }
  std::string Translation(const SYN_DATA& r) {
    char text[CSynopDecoder::kTextSize];
    return d_.Translate(r, text, sizeof text) > 0 ? text : "";
  }
};

TEST_F(SynopPublicTest, ReportsMatchTheirGroupsReadByHand) {
  for (const Bulletin& b : kBulletins) {
    SCOPED_TRACE(b.file);
    Load(b);
    ASSERT_EQ(b.reports, d_.reports.size());
    for (const Report& want : kReports) {
      if (std::string(want.file) != b.file) continue;
      const SYN_DATA* r = want.station ? Station(want.station) : &d_.reports[0];
      ASSERT_TRUE(r) << want.station;
      EXPECT_EQ(want.fields, Describe(*r, want.fields)) << want.station;
    }
  }
}

TEST_F(SynopPublicTest, HeadingsTimesAndTranslations) {
  Load(kBulletins[0]);
  EXPECT_EQ(kSynStation | kSynNil, Station(78328)->flags);
  EXPECT_STREQ("CU", d_.reports[0].a1a2);
  EXPECT_STREQ("MUHV", d_.reports[0].centre);
  EXPECT_EQ(Utc(2026, 10, 31, 0, 0), d_.reports[0].observationTime);
  const std::string text = Translation(*Station(78310));
  EXPECT_NE(std::string::npos, text.find("CABO SAN ANTONIO"));
  EXPECT_NE(std::string::npos, text.find("Cuba"));

  // Stations missing from the store are still reported, but not translated.
  Load(kBulletins[1]);
  ASSERT_TRUE(Station(78308));
  EXPECT_EQ("", Translation(*Station(78308)));

  Load(kBulletins[2]);
  EXPECT_STREQ("RO", d_.reports[0].a1a2);
  EXPECT_STREQ("YRBK", d_.reports[0].centre);
  EXPECT_EQ(Utc(2026, 12, 21, 12, 0), d_.reports[0].bulletinTime);

  Load(kBulletins[4]);
  EXPECT_STREQ("51002", d_.reports[0].callSign);
  EXPECT_EQ(Utc(2026, 12, 19, 0, 0), d_.reports[0].observationTime);
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
    Load({f.name, Utc(2026, 12, f.day, f.hour, 30), "", f.reports});
    ASSERT_EQ(f.reports, d_.reports.size());
    for (const SYN_DATA& r : d_.reports) {
      EXPECT_STREQ(f.correction, r.correction);
      EXPECT_EQ(Utc(2026, 12, f.day, f.hour, 0), r.observationTime);
      EXPECT_TRUE(r.flags & kSynStationPressure) << r.index;
      EXPECT_NE("", Translation(r)) << r.index;
    }
  }
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
