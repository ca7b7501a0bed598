// The texts of the frequency list's coded columns: the country table's order (its index is
// stored in list files), the decoder column's ranges and satellite names, the step text's
// unit changes.
#include "app/lists/frq_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FrqTables, CountryIndexesAndTheEndsOfEachTable) {
  // Anchors through the table: an entry dropped or added anywhere moves those after it.
  const struct {
    int index;
    const char* symbol;
  } anchors[] = {{0, "AAA"},   {16, "ARS"},  {32, "BHR"},  {48, "CHN"},  {64, "CYM"},  {66, "D"},
                 {80, "FSM"},  {96, "GUI"},  {112, "IRN"}, {128, "LBN"}, {144, "MLI"}, {160, "NGR"},
                 {176, "PLM"}, {192, "SCN"}, {208, "SUR"}, {224, "TUV"}, {240, "WAL"}, {255, "MOL"}};
  for (const auto& a : anchors) {
    ASSERT_NE(nullptr, FrqCountryText(a.index)) << a.index;
    const std::string text = FrqCountryText(a.index);
    EXPECT_EQ(a.symbol, text.substr(0, text.find(' '))) << a.index;
  }
  for (int i = 0; i < kFrqCountryCount; ++i) EXPECT_NE(nullptr, FrqCountryText(i)) << i;
  EXPECT_STREQ("AAA World-wide", FrqCountryText(0));
  EXPECT_EQ(nullptr, FrqCountryText(-1));
  EXPECT_EQ(nullptr, FrqCountryText(kFrqCountryCount));

  EXPECT_STREQ("MX Meteo Station", FrqStationTypeText(10));
  EXPECT_EQ(nullptr, FrqStationTypeText(15));
  EXPECT_STREQ("F3C FAX (F1C + F3C + J3C)", FrqEmissionClassText(kFrqClassFax));
  EXPECT_EQ(nullptr, FrqEmissionClassText(17));
  EXPECT_STREQ("230 KHz", FrqIfText(kFrqIfCount - 1));
  EXPECT_EQ(nullptr, FrqIfText(kFrqIfCount));
  // The receiver's mode table, cut at its end.
  EXPECT_STREQ("LSB ", FrqModeName(0));
  EXPECT_STREQ("WFM", FrqModeName(13));
  EXPECT_EQ(nullptr, FrqModeName(14));
  EXPECT_EQ(nullptr, FrqModeName(-1));
}

const char* NoSatellites(int) { return nullptr; }

TEST(FrqDecoderText, OneTextOfEachRangeAudioOutsideThemAndTheSatelliteAfter) {
  const auto none = NoSatellites;
  EXPECT_EQ("Audio / Scanner", FrqDecoderText(0, -1, none));
  EXPECT_EQ("W-FAX IOC 576", FrqDecoderText(8768, -1, none));
  EXPECT_EQ("SAT-FAX (%s)  IOC 190", FrqDecoderText(8382, -1, none));
  EXPECT_EQ("NAVTEX = SITOR B 100 Baud inv.", FrqDecoderText(12306, -1, none));
  EXPECT_EQ("CW", FrqDecoderText(14336, -1, none));
  EXPECT_EQ("SSTV Robot 72", FrqDecoderText(16387, -1, none));
  EXPECT_EQ("Audio / Scanner", FrqDecoderText(8192, -1, none));   // FAX with IOC 0
  EXPECT_EQ("Audio / Scanner", FrqDecoderText(8193, -1, none));   // in range, no text
  EXPECT_EQ("Audio / Scanner", FrqDecoderText(16399, -1, none));
  EXPECT_EQ("Audio / Scanner", FrqDecoderText(-12288, -1, none));
  // A satellite's name follows directly.
  const auto sats = [](int id) -> const char* { return id == 4 ? "NOAA 19" : nullptr; };
  EXPECT_EQ("SAT-FAX (%s)  IOC 331NOAA 19", FrqDecoderText(8523, 4, sats));
  EXPECT_EQ("Audio / ScannerNOAA 19", FrqDecoderText(0, 4, sats));
  EXPECT_EQ("W-FAX IOC 576???SAT:ERROR???", FrqDecoderText(8768, 0, sats));
  EXPECT_EQ("W-FAX IOC 576???SAT:ERROR???", FrqDecoderText(8768, 3, nullptr));
  EXPECT_EQ("W-FAX IOC 576", FrqDecoderText(8768, -1, sats));
}

TEST(FrqStepText, UnitChangesAtThousands) {
  // 1150 Hz gives 1.2 kHz: scaled by 0.001, not divided.
  std::vector<std::string> texts;
  for (int hz : {999, 1000, 1150, 999999, 1000000, 2500000, -5}) texts.push_back(FrqStepText(hz));
  EXPECT_EQ(texts, (std::vector<std::string>{"999 Hz", "1.0 KHz", "1.2 KHz", "1000.0 KHz",
                                             "1.0 MHz", "2.5 MHz", "-5 Hz"}));
}

}  // namespace
