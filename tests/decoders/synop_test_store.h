// Shared by the SYNOP decoder tests: a decoder that records its reports and warnings, a report's
// fields as text, and a fixture that builds the station store once from data/synop and dates
// reports by a set clock.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "spl/decoders/synop_decoder.h"
#include "spl/decoders/synop_import.h"
#include "tests/common/signal_test_util.h"

namespace synoptest {

inline const std::string kData = std::string(KESTREL_TEST_DATA) + "/../../data/synop/";

class CRecorder : public CSynopDecoder {
 public:
  std::vector<SYN_DATA> reports;
  std::vector<int> warnings;
  void Message(SYN_DATA& r) override { reports.push_back(r); }
  void Warning(int kind) override { warnings.push_back(kind); }
  void Feed(const std::string& s) {
    for (unsigned char c : s) Decode(c);
  }
};

// A report's fields by their member names, as "name=value" (one decimal for measured values).
using Getter = std::function<std::string(const SYN_DATA&)>;
inline std::string OneDecimal(double v) {
  char b[32];
  snprintf(b, sizeof b, "%.1f", v);
  return b;
}
#define KESTREL_INT(f) {#f, [](const SYN_DATA& r) { return std::to_string(r.f); }}
#define KESTREL_NUM(f) {#f, [](const SYN_DATA& r) { return OneDecimal(r.f); }}
#define KESTREL_HAS(f, bit) {#f, [](const SYN_DATA& r) { return std::to_string(r.flags & bit ? 1 : 0); }}
inline const std::pair<const char*, Getter> kFields[] = {
    KESTREL_INT(iw), KESTREL_INT(iR), KESTREL_INT(ix), KESTREL_INT(h), KESTREL_INT(VV),
    KESTREL_INT(N), KESTREL_INT(dd), KESTREL_INT(ff), KESTREL_NUM(temperature),
    KESTREL_NUM(dewPoint), KESTREL_NUM(stationPressure), KESTREL_NUM(seaPressure),
    KESTREL_INT(standardLevel), KESTREL_INT(geopotential), KESTREL_INT(tendency),
    KESTREL_NUM(tendencyAmount), KESTREL_INT(RRR), KESTREL_INT(tR), KESTREL_INT(ww),
    KESTREL_INT(W1), KESTREL_INT(W2), KESTREL_INT(Nh), KESTREL_INT(CL), KESTREL_INT(CM),
    KESTREL_INT(CH), KESTREL_INT(Ds), KESTREL_INT(vs), KESTREL_NUM(seaTemperature),
    KESTREL_INT(windWavePeriod), KESTREL_NUM(windWaveHeight), KESTREL_INT(wavePeriod),
    KESTREL_NUM(waveHeight), KESTREL_INT(swellDirection1), KESTREL_INT(swell1Period),
    KESTREL_NUM(swell1Height), KESTREL_INT(iceSource), KESTREL_INT(iceThickness),
    KESTREL_INT(iceRate), KESTREL_NUM(maxTemperature), KESTREL_NUM(minTemperature),
    KESTREL_INT(groundState), KESTREL_INT(snowState), KESTREL_INT(snowDepth),
    KESTREL_INT(altitude), KESTREL_INT(latitude), KESTREL_INT(longitude),
    KESTREL_INT(cloudLayers), KESTREL_INT(layer[0].Ns), KESTREL_INT(layer[0].C),
    KESTREL_INT(layer[0].hshs), KESTREL_INT(layer[1].Ns), KESTREL_INT(layer[1].C),
    KESTREL_INT(layer[1].hshs), KESTREL_INT(layer[2].C), KESTREL_INT(layer[2].hshs),
    KESTREL_HAS(hasTemperature, kSynTemperature), KESTREL_HAS(hasDewPoint, kSynDewPoint),
    KESTREL_HAS(hasMaxTemperature, kSynMaxTemperature),
    KESTREL_HAS(hasMinTemperature, kSynMinTemperature),
    KESTREL_HAS(hasSeaPressure, kSynSeaPressure), KESTREL_HAS(hasGeopotential, kSynGeopotential),
    KESTREL_HAS(hasSeaTemperature, kSynSeaTemperature), KESTREL_HAS(hasVisibility, kSynVisibility),
    KESTREL_HAS(nil, kSynNil), KESTREL_HAS(ship, kSynShip),
};
#undef KESTREL_INT
#undef KESTREL_NUM
#undef KESTREL_HAS

// The same names as `expected` lists, with the report's values.
inline std::string Describe(const SYN_DATA& r, const std::string& expected) {
  std::istringstream in(expected);
  std::string out;
  for (std::string item; in >> item;) {
    const std::string name = item.substr(0, item.find('='));
    std::string value = "?";
    for (const auto& [n, get] : kFields)
      if (name == n) value = get(r);
    out += (out.empty() ? "" : " ") + name + "=" + value;
  }
  return out;
}

inline time_t Utc(int y, int mo, int d, int h, int mi) {
  tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  return timegm(&t);
}

class SynopTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new sigtest::TempDir;
    std::string error;
    ASSERT_TRUE(SynopCreateStore(Store().c_str(), (kData + "stations.csv").c_str(),
                                 (kData + "labels.tsv").c_str(), (kData + "regions.tsv").c_str(),
                                 (kData + "region_texts.tsv").c_str(), error))
        << error;
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string Store() { return dir_->File("synop.db"); }
  void SetUp() override {
    ASSERT_EQ(1, d_.Init(0, Store().c_str())) << d_.StoreError();
    d_.SetClock(Utc(2026, 12, 6, 13, 5));
  }
  static inline sigtest::TempDir* dir_ = nullptr;
  CRecorder d_;
};

}  // namespace synoptest
