// The satellite basis list without a display: the observer kept in the profile, the locator
// check, satellite names from the element file of the data folder, and the generator's
// answers in the order the station checks them (schedule running, no observer, nothing
// selected, no pass) before it writes the timer list.
#include "app/lists/sat_basis.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/lists/frq_list_file.h"

namespace fs = std::filesystem;

namespace {

const std::string kTle = std::string(KESTREL_TEST_DATA) + "/sat/elements.tle";
// 2026-12-01 00:00 UTC, near the element sets' epoch.
constexpr time_t kFirstDay = 1796083200;
constexpr int kIss = 25544, kNoaa19 = 33591, kNoSuchSat = 99999;
constexpr int kDayMinutes = 1440;

CFrqRecord SatEntry(int satId, const char* name, bool checked = true) {
  CFrqRecord r = FrqTemplate();
  r.rxFrq = 145800.0;
  r.satId = satId;
  SetFrqText(r.name, sizeof r.name, name);
  r.flags = checked ? int32_t(kListEntryChecked) : 0;
  return r;
}

SatObserverSettings At(const char* locator) {
  SatObserverSettings o;
  o.locator = locator;
  return o;
}

class SatBasisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kestrel-satbasis-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    folder_ = tmpl;
    timers_ = folder_ + "/default.tim";
    ASSERT_EQ(basis_.Init(folder_), 1);
  }
  void TearDown() override { fs::remove_all(folder_); }
  void CopyElements() { fs::copy_file(kTle, basis_.ElementPath()); }
  int Generate(const std::vector<CFrqRecord>& list, const SatObserverSettings& obs, bool running = false,
               int span = kDayMinutes) {
    written_.clear();
    return basis_.Generate(list, obs, running, kFirstDay, span, timers_, &written_, message_);
  }

  std::string folder_, timers_, message_;
  CSatBasis basis_;
  std::vector<CFrqRecord> written_;
};

TEST(SatObserverTest, TheObserverIsKeptInTheProfile) {
  CProfileFile profile;
  SatObserverSettings o;
  o.locator = "jn57rx";
  o.height = 520;
  o.minElevation = 10;
  WriteSatObserver(profile, o);
  EXPECT_EQ(profile.GetString("OBSERVER", "Locator", ""), "JN57RX");
  EXPECT_EQ(profile.GetInt("OBSERVER", "Height", -1), 520);
  EXPECT_EQ(profile.GetInt("OBSERVER", "MinElev", -1), 10);
  const SatObserverSettings back = ReadSatObserver(profile);
  EXPECT_EQ(back.locator, "JN57RX");
  EXPECT_EQ((std::vector<int>{back.height, back.minElevation}), (std::vector<int>{520, 10}));
}

TEST(SatObserverTest, LatitudeAndLongitudeBecomeTheLocatorOfTheirSubSquare) {
  std::string locator, why;
  ASSERT_EQ(ObserverLocatorFromText("52.5,13.4", locator, &why), 1) << why;
  EXPECT_EQ(locator, "JO62QM");
  ASSERT_EQ(ObserverLocatorFromText("-33.9, 151.2", locator, &why), 1) << why;
  EXPECT_EQ(locator, "QF56OC");
  ASSERT_EQ(ObserverLocatorFromText("jn57rx", locator, &why), 1);
  EXPECT_EQ(locator, "JN57RX");
  for (const char* bad : {"91,0", "0,181", "52.5,", "52.5,13.4,7", "JN57"}) {
    why.clear();
    EXPECT_EQ(ObserverLocatorFromText(bad, locator, &why), 0) << bad;
    EXPECT_EQ(why, kSatMsgBadLocator) << bad;
  }
}

TEST(SatObserverTest, LocatorsNeedSixCharacters) {
  int y = 1, x = 1, y8, x8;
  std::string why;
  ASSERT_EQ(CheckObserverLocator("JN57RX", y, x, &why), 1);
  ASSERT_EQ(CheckObserverLocator("jn57rx11", y8, x8, &why), 1) << "lower case and two digits more";
  EXPECT_EQ(y8, y);
  EXPECT_EQ(x8, x);
  EXPECT_EQ(CheckObserverLocator("JN57R", y, x, &why), 0);
  EXPECT_EQ(why, "ERROR: min. 6 char's  example: JN57RX or JN57RX11");
  EXPECT_EQ(y, 0);
  EXPECT_EQ(x, 0);
  for (const char* bad : {"", "JN57RX1", "JN57RXAB", "ZZ57RX", "JN57RX1234"})
    EXPECT_EQ(CheckObserverLocator(bad, y, x, &why), 0) << bad;
}

TEST_F(SatBasisTest, NamesComeFromTheElementFileOfTheDataFolder) {
  EXPECT_EQ(basis_.ElementPath(), folder_ + "/SATDATA.2LI");
  EXPECT_EQ(basis_.LoadElements(), 0) << "no element file yet";
  EXPECT_EQ(basis_.SatName(kIss), "?????????");
  CopyElements();
  ASSERT_EQ(basis_.LoadElements(), 1);
  EXPECT_EQ(basis_.SatName(kIss), "ISS (ZARYA)");
  EXPECT_EQ(basis_.SatName(kNoaa19), "NOAA 19");
  EXPECT_EQ(basis_.SatName(kNoSuchSat), "?????????");
  EXPECT_EQ(basis_.SatName(-1), "?????????");
  // Loading again does not double the sets.
  const size_t count = basis_.Elements().size();
  ASSERT_EQ(basis_.LoadElements(), 1);
  EXPECT_EQ(basis_.Elements().size(), count);
}

TEST_F(SatBasisTest, GeneratorRefusesWhileTheScheduleRunsOrWithoutObserver) {
  CopyElements();
  const std::vector<CFrqRecord> list = {SatEntry(kIss, "ISS")};
  EXPECT_EQ(Generate(list, At("JN57RX"), true), kSatTimerRunning);
  EXPECT_EQ(message_, "ERROR: TimeManger in progress");
  EXPECT_EQ(Generate(list, At("")), kSatNoObserver);
  EXPECT_EQ(message_, "The ObserverPoint is NULL -  please insert your QTH (ObserverPoint)");
  EXPECT_EQ(Generate(list, At("JN5")), kSatNoObserver) << "a locator that cannot be read";
  // JJ00AA has its corner where the equator meets the zero meridian.
  EXPECT_EQ(Generate(list, At("JJ00AA")), kSatNoObserver);
  EXPECT_FALSE(fs::exists(timers_)) << "nothing written";
}

TEST_F(SatBasisTest, GeneratorWantsACheckedEntryOfAKnownSatellite) {
  CopyElements();
  EXPECT_EQ(Generate({}, At("JN57RX")), kSatNoSelection);
  EXPECT_EQ(message_, "no selected list item found");
  EXPECT_EQ(Generate({SatEntry(kIss, "ISS", false), SatEntry(kNoSuchSat, "unknown")}, At("JN57RX")),
            kSatNoSelection);
  EXPECT_EQ(message_, "no selected list item found");
  // Without the element file no satellite is known.
  fs::remove(basis_.ElementPath());
  EXPECT_EQ(Generate({SatEntry(kIss, "ISS")}, At("JN57RX")), kSatNoSelection);
  EXPECT_FALSE(fs::exists(timers_));
}

TEST_F(SatBasisTest, NoPassWithinTheSpanWritesNothing) {
  CopyElements();
  SatObserverSettings obs = At("JN57RX");
  obs.minElevation = 90;  // straight overhead only
  EXPECT_EQ(Generate({SatEntry(kIss, "ISS")}, obs, false, 60), kSatNoPass);
  EXPECT_EQ(message_, "No satellite within the time range in view ");
  EXPECT_FALSE(fs::exists(timers_));
}

TEST_F(SatBasisTest, PassesOfTheCheckedSatellitesAreWrittenAsTheTimerList) {
  CopyElements();
  // An old timer list is replaced whole.
  ASSERT_EQ(WriteFrqRecordFile(timers_, {SatEntry(kNoaa19, "old"), SatEntry(kNoaa19, "old")}, nullptr), 1);
  const std::vector<CFrqRecord> list = {SatEntry(kIss, "ISS voice"), SatEntry(kNoaa19, "NOAA APT", false),
                                        SatEntry(kNoSuchSat, "unknown")};
  SatObserverSettings obs = At("JN57RX");
  obs.height = 500;
  ASSERT_EQ(Generate(list, obs), kSatGenerated) << message_;
  ASSERT_FALSE(written_.empty()) << "the ISS passes a mid-European observer several times a day";
  std::vector<CFrqRecord> file;
  std::string why;
  ASSERT_EQ(ReadFrqListFile(timers_, 1, file, &why), 1) << why;
  ASSERT_EQ(file.size(), written_.size());
  // Only the checked, known satellite (its windows are checked with the pass list itself).
  for (const CFrqRecord& r : file) EXPECT_STREQ(r.name, "ISS voice");
  // A span that ends just after the first pass starts takes the passes starting before it.
  const std::vector<CFrqRecord> day = written_;
  const int span = day.front().extension[0] + 1;
  size_t within = 0;
  for (const CFrqRecord& r : day) within += r.extension[0] < span;
  ASSERT_EQ(Generate(list, obs, false, span), kSatGenerated) << message_;
  ASSERT_EQ(written_.size(), within);
  for (const CFrqRecord& r : written_) EXPECT_LT(r.extension[0], span);
}

TEST_F(SatBasisTest, SpanOutOfRangeIsRefused) {
  CopyElements();
  EXPECT_EQ(Generate({SatEntry(kIss, "ISS")}, At("JN57RX"), false, 0), kSatFailed);
  EXPECT_FALSE(message_.empty());
  EXPECT_EQ(Generate({SatEntry(kIss, "ISS")}, At("JN57RX"), false, kDayMinutes + 1), kSatFailed);
  EXPECT_FALSE(fs::exists(timers_));
}

}  // namespace
