// The texts of the frequency list's coded columns: table sizes and order, the decoder column's
// ranges and satellite names, the step text's unit changes.
#include "app/lists/frq_tables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(FrqTables, CountrySymbolsInIndexOrder) {
  const std::string symbols =
      "AAA AAB ABW ADL AFG AFS AGL AIA ALB ALG ALS AMS AND ANT AOE ARG ARS ASC ATG ATL ATN AUS "
      "AUT AZR B BAH BDI BEL BEN BER BFA BGD BHR BHU BIO BLR BLZ BOL BOT BRB BRM BRU BUL CAF "
      "CAN CAR CBG CHL CHN CHR CKH CKN CLM CLN CME CNR COG COM CPV CRO CTI CTR CUB CVA CYM CYP "
      "D DGA DJI DMA DNK DOM E EGY EQA ETH F FJI FLK FNL FSM G GAB GCA GCB GCC GDL GHA GIE GMB "
      "GNB GNE GRC GRD GRL GTM GUI GUM GUY HKG HND HNG HOL HTI HWA HWL I ICO IND INS IOB IRL "
      "IRN IRQ ISL ISR J JAR JMC JON JOR KEN KER KIR KOR KRE KWT LAO LBN LBR LBY LCA LIE LSO "
      "LUX MAC MAU MCO MDG MDR MDW MEX MLA MLD MLI MLT MNG MOZ MRA MRC MRL MRN MRT MSR MTN MWI "
      "MYT NCG NCL NFK NGR NIG NIU NMB NOR NPL NRU NZL OCE OMA ONC ONJ PAK PAQ PHL PHX PLM PLW "
      "PNG PNR POL POR PRG PRU PTC PTR QAT REU ROD ROU RRW S SCN SDN SEN SEY SHN SLM SLV SMA "
      "SMO SMR SNG SOM SPM SRL STP SUI SUR SWN SWZ SYR TCA TCD TCH TGO THA TKL TMP TON TRC TRD "
      "TUN TUR TUV TWN TZA UAE UGA UKR URG URS USA VCT VEN VIR VRG VTN VUT WAK WAL YEM YUG ZAI "
      "ZMB ZWE KAZ RUS SLA SLE EST LIT GEO LET KRO MOL";
  std::istringstream in(symbols);
  std::vector<std::string> expected;
  for (std::string s; in >> s;) expected.push_back(s);
  ASSERT_EQ(size_t(kFrqCountryCount), expected.size());
  for (int i = 0; i < kFrqCountryCount; ++i) {
    ASSERT_NE(nullptr, FrqCountryText(i)) << i;
    const std::string text = FrqCountryText(i);
    EXPECT_EQ(expected[i], text.substr(0, text.find(' '))) << i;
    // Symbol alone, or symbol, one blank and a name.
    if (text.size() > expected[i].size()) {
      EXPECT_NE(' ', text[expected[i].size() + 1]) << i;
    }
  }
  EXPECT_STREQ("AAA World-wide", FrqCountryText(0));
  EXPECT_STREQ("AAB All countrys", FrqCountryText(1));
  EXPECT_STREQ("ABW Aruba", FrqCountryText(2));
  EXPECT_STREQ("MOL Moldova", FrqCountryText(255));
  EXPECT_EQ(nullptr, FrqCountryText(-1));
  EXPECT_EQ(nullptr, FrqCountryText(256));
}

TEST(FrqTables, StationTypesEmissionClassesAndIfTexts) {
  EXPECT_STREQ("AT Amateur Radio Station", FrqStationTypeText(0));
  EXPECT_STREQ("MX Meteo Station", FrqStationTypeText(10));
  EXPECT_STREQ("XX Special Station", FrqStationTypeText(14));
  EXPECT_EQ(nullptr, FrqStationTypeText(15));
  EXPECT_EQ(nullptr, FrqStationTypeText(-1));

  EXPECT_STREQ("A1A CW, Wave", FrqEmissionClassText(kFrqClassCw));
  EXPECT_STREQ("F1B RTTY, Frequecy Shift System", FrqEmissionClassText(kFrqClassRtty));
  EXPECT_STREQ("F3C FAX (F1C + F3C + J3C)", FrqEmissionClassText(kFrqClassFax));
  EXPECT_STREQ("undefined or special", FrqEmissionClassText(kFrqClassUndefined));
  EXPECT_STREQ("J3E SSB, no Wave", FrqEmissionClassText(8));
  EXPECT_EQ(nullptr, FrqEmissionClassText(17));

  const char* ifs[] = {"3 KHz", "6 KHz", "15 KHz", "50 KHz", "230 KHz"};
  for (int i = 0; i < kFrqIfCount; ++i) EXPECT_STREQ(ifs[i], FrqIfText(i));
  EXPECT_EQ(nullptr, FrqIfText(5));
}

TEST(FrqTables, ModeNamesAreTheReceiverTableCut) {
  EXPECT_STREQ("LSB ", FrqModeName(0));
  EXPECT_STREQ("USB ", FrqModeName(1));
  EXPECT_STREQ("CW  ", FrqModeName(3));
  EXPECT_STREQ("RTTY", FrqModeName(4));
  EXPECT_STREQ("AM  ", FrqModeName(7));
  EXPECT_STREQ("FM  ", FrqModeName(12));
  EXPECT_STREQ("WFM", FrqModeName(13));
  EXPECT_EQ(nullptr, FrqModeName(14));
  EXPECT_EQ(nullptr, FrqModeName(-1));
}

const char* NoSatellites(int) { return nullptr; }

TEST(FrqDecoderText, TextsOfEachRange) {
  const auto none = NoSatellites;
  EXPECT_EQ("Audio / Scanner", FrqDecoderText(0, -1, none));
  EXPECT_EQ("W-FAX  IOC 288 ", FrqDecoderText(8480, -1, none));
  EXPECT_EQ("W-FAX IOC 576", FrqDecoderText(8768, -1, none));
  EXPECT_EQ("NEWS-FAX IOC 352", FrqDecoderText(8544, -1, none));
  EXPECT_EQ("HAM-FAX IOC 267 ", FrqDecoderText(8459, -1, none));
  EXPECT_EQ("SAT-FAX (%s)  IOC 190", FrqDecoderText(8382, -1, none));
  EXPECT_EQ("SAT-FAX (%s)  IOC 662", FrqDecoderText(8854, -1, none));
  EXPECT_EQ("RTTY BAUDOT", FrqDecoderText(12288, -1, none));
  EXPECT_EQ("FEC-A", FrqDecoderText(12293, -1, none));
  EXPECT_EQ("NAVTEX = SITOR B 100 Baud inv.", FrqDecoderText(12306, -1, none));
  EXPECT_EQ("B-PSK-31", FrqDecoderText(12545, -1, none));
  EXPECT_EQ("Q-PSK-31", FrqDecoderText(12546, -1, none));
  EXPECT_EQ("CW", FrqDecoderText(14336, -1, none));
  EXPECT_EQ("SSTV Martin 1 (europe)", FrqDecoderText(16384, -1, none));
  EXPECT_EQ("SSTV Wraase SC2", FrqDecoderText(16385, -1, none));
  EXPECT_EQ("SSTV Scottie 1 (usa)", FrqDecoderText(16386, -1, none));
  EXPECT_EQ("SSTV Robot 72", FrqDecoderText(16387, -1, none));
}

TEST(FrqDecoderText, OutsideTheRangeOrWithoutTextIsAudio) {
  const auto none = NoSatellites;
  EXPECT_EQ("Audio / Scanner", FrqDecoderText(8192, -1, none));   // FAX with IOC 0
  EXPECT_EQ("Audio / Scanner", FrqDecoderText(8193, -1, none));   // in range, no text
  EXPECT_EQ("Audio / Scanner", FrqDecoderText(16399, -1, none));
  EXPECT_EQ("Audio / Scanner", FrqDecoderText(16400, -1, none));
  EXPECT_EQ("Audio / Scanner", FrqDecoderText(-12288, -1, none));
}

TEST(FrqDecoderText, SatelliteNameFollowsDirectly) {
  const auto sats = [](int id) -> const char* { return id == 4 ? "NOAA 19" : nullptr; };
  EXPECT_EQ("SAT-FAX (%s)  IOC 331NOAA 19", FrqDecoderText(8523, 4, sats));
  EXPECT_EQ("Audio / ScannerNOAA 19", FrqDecoderText(0, 4, sats));
  EXPECT_EQ("W-FAX IOC 576???SAT:ERROR???", FrqDecoderText(8768, 0, sats));
  EXPECT_EQ("W-FAX IOC 576???SAT:ERROR???", FrqDecoderText(8768, 3, nullptr));
  EXPECT_EQ("W-FAX IOC 576", FrqDecoderText(8768, -1, sats));
}

TEST(FrqStepText, UnitChangesAtThousands) {
  EXPECT_EQ("0 Hz", FrqStepText(0));
  EXPECT_EQ("999 Hz", FrqStepText(999));
  EXPECT_EQ("1.0 KHz", FrqStepText(1000));
  EXPECT_EQ("12.5 KHz", FrqStepText(12500));
  EXPECT_EQ("1.2 KHz", FrqStepText(1150));  // scaled by 0.001, not divided
  EXPECT_EQ("1000.0 KHz", FrqStepText(999999));
  EXPECT_EQ("1.0 MHz", FrqStepText(1000000));
  EXPECT_EQ("2.5 MHz", FrqStepText(2500000));
  EXPECT_EQ("-5 Hz", FrqStepText(-5));
}

}  // namespace
