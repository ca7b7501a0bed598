// Shared by the SYNOP decoder tests: a decoder that records its reports and warnings, and a
// fixture that builds the station store once from data/synop and dates reports by a set clock.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
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
