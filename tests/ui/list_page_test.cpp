// The channel scan list and the satellite basis list pages of the station program, offscreen
// on the simulated receiver: stations dragged from the frequency list onto the channel page,
// the check marks in the working file, files that are not lists refused, column widths kept
// in the profile, satellite names from the element file, and the pass generator from the
// observer's locator to the timer list it writes and shows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/core/profile_file.h"
#include "app/core/safe_file.h"
#include "app/lists/frq_list_file.h"
#include "app/ui/freq_list_view.h"
#include "app/ui/list_page.h"
#include "app/ui/sat_list_page.h"
#include "app/ui/station_app.h"
#include "app/ui/timer_page.h"
#include "tests/ui/qt_app.h"

namespace fs = std::filesystem;

namespace {

constexpr int kUsbIndex = 1;
constexpr int kIss = 25544, kNoSuchSat = 99999;
// 2026-12-01 00:00 UTC, near the epoch of the test element sets.
constexpr time_t kFirstDay = 1796083200;
const std::string kTle = std::string(KESTREL_TEST_DATA) + "/sat/elements.tle";

CFrqRecord Station(double kHz, const char* name, int satId = -1) {
  CFrqRecord r = FrqTemplate();
  r.rxFrq = r.txFrq = r.startFrq = kHz;
  r.stopFrq = kHz + 5.0;
  SetFrqText(r.name, sizeof r.name, name);
  r.decoder = 12288;
  r.modulation = kUsbIndex;
  r.satId = satId;
  return r;
}

class ListPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    char tmpl[] = "/tmp/kestrel-listpage-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    base_ = tmpl;
    options_.base = base_;
    options_.port = "sim";
    options_.audioIn = "null";
    options_.audioOut = "null";
    options_.synopStore = KESTREL_SYNOP_STORE;
    ASSERT_EQ(app_.Start(options_), -1) << app_.Failure();
    w_ = app_.Window();
    channels_ = w_->ChannelListPage();
    sats_ = w_->SatListPage();
    timer_ = w_->TimerPage();
    ASSERT_NE(channels_, nullptr);
    ASSERT_NE(sats_, nullptr);
    auto tell = [this](const std::string& text) { told_.push_back(text); };
    channels_->SetNotify(tell);
    sats_->SetNotify(tell);
    timer_->SetNotify(tell);
    sats_->SetClock([] { return kFirstDay; });
    data_ = app_.Core().Settings().GetPath(kCfgDataFolder);
  }
  void TearDown() override {
    if (timer_->Running()) timer_->Stop();
    w_->close();
    fs::remove_all(base_);
  }
  void Show(QWidget* page) {
    w_->RightTabs()->setCurrentWidget(page);
    QApplication::processEvents();
  }
  // A station as the frequency list's drag carries it.
  std::unique_ptr<QMimeData> Drag(const CFrqRecord& r) { return std::unique_ptr<QMimeData>(NewFrqRecordMime(r)); }
  std::vector<CFrqRecord> FileOf(const std::string& path, int timerWindows = 0) {
    std::vector<CFrqRecord> file;
    std::string why;
    EXPECT_EQ(ReadFrqListFile(path, timerWindows, file, &why), 1) << why;
    return file;
  }
  QString TabText(QWidget* page) {
    const int i = w_->RightTabs()->indexOf(page);
    return i < 0 ? QString() : w_->RightTabs()->tabText(i);
  }

  std::string base_, data_;
  KstlOptions options_;
  CStationApp app_;
  CMainWindow* w_ = nullptr;
  CListPage* channels_ = nullptr;
  CSatListPage* sats_ = nullptr;
  CTimerPage* timer_ = nullptr;
  std::vector<std::string> told_;
};

TEST_F(ListPageTest, StationsDroppedOnTheChannelListAreNumberedWhereDropped) {
  EXPECT_EQ(TabText(channels_), "Channels");
  EXPECT_EQ(TabText(sats_), "Satellites");
  EXPECT_EQ(channels_->WorkingPath(), data_ + "/default.scl");
  EXPECT_EQ(channels_->HintText(), "Channel Scann List -- not checked entry are leaped over");
  CListTable* table = channels_->Table();
  ASSERT_EQ(table->columnCount(), 6);
  EXPECT_EQ(table->horizontalHeaderItem(0)->text(), "No.:");
  EXPECT_EQ(table->horizontalHeaderItem(5)->text(), "CallSign");

  Show(channels_);
  auto fax = Drag(Station(7880.0, "FAX"));
  auto rtty = Drag(Station(4583.0, "RTTY"));
  auto navtex = Drag(Station(518.0, "NAVTEX"));
  ASSERT_EQ(table->DropAt(fax.get(), QPoint(10, table->viewport()->height() - 2)), 1) << "below the rows";
  ASSERT_EQ(table->DropAt(rtty.get(), QPoint(10, table->viewport()->height() - 2)), 1);
  // Dropped on the second row: it becomes the second.
  const QPoint onSecond = table->visualRect(table->model()->index(1, 2)).center();
  ASSERT_EQ(table->DropAt(navtex.get(), onSecond), 1);

  ASSERT_EQ(table->rowCount(), 3);
  const char* order[] = {"FAX", "NAVTEX", "RTTY"};
  const char* numbers[] = {"001", "002", "003"};
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(table->item(row, 0)->text(), numbers[row]);
    EXPECT_EQ(table->item(row, 0)->checkState(), Qt::Checked);
    EXPECT_EQ(table->item(row, 2)->text(), order[row]);
  }
  EXPECT_EQ(table->item(1, 1)->text(), "518.000");
  const std::vector<CFrqRecord> file = FileOf(channels_->WorkingPath());
  ASSERT_EQ(file.size(), 3u);
  for (int row = 0; row < 3; ++row) {
    EXPECT_STREQ(file[size_t(row)].name, order[row]);
    EXPECT_EQ(uint32_t(file[size_t(row)].flags), kListEntryChecked);
    EXPECT_EQ(file[size_t(row)].extension[0], 0);
    EXPECT_EQ(file[size_t(row)].extension[1], 0);
  }
  EXPECT_TRUE(timer_->Records().empty()) << "the timer list is another list";

  // Anything else dropped is refused.
  QMimeData text;
  text.setText("7880.000");
  EXPECT_EQ(table->DropAt(&text, onSecond), 0);
  EXPECT_EQ(channels_->Records().size(), 3u);

  // Numbers follow the places after a deletion.
  ASSERT_EQ(channels_->Delete(0), 1);
  EXPECT_EQ(table->item(0, 0)->text(), "001");
  EXPECT_EQ(table->item(0, 2)->text(), "NAVTEX");
}

TEST_F(ListPageTest, TheCheckBoxFlipsTheEntrysMarkInTheFile) {
  ASSERT_EQ(channels_->Insert(Station(7880.0, "FAX"), -1), 1);
  ASSERT_EQ(channels_->Insert(Station(4583.0, "RTTY"), -1), 1);
  CListTable* table = channels_->Table();
  table->item(1, 0)->setCheckState(Qt::Unchecked);
  std::vector<CFrqRecord> file = FileOf(channels_->WorkingPath());
  EXPECT_EQ(uint32_t(file[1].flags) & kListEntryChecked, 0u);
  EXPECT_EQ(uint32_t(file[0].flags) & kListEntryChecked, kListEntryChecked);

  ASSERT_EQ(channels_->Toggle(1), 1);
  file = FileOf(channels_->WorkingPath());
  EXPECT_EQ(uint32_t(file[1].flags) & kListEntryChecked, kListEntryChecked);
  EXPECT_EQ(table->item(1, 0)->checkState(), Qt::Checked);
  // Only bit 31 changes.
  CFrqRecord flagged = channels_->Records()[0];
  flagged.flags = int32_t(kListEntryChecked | 0x5);
  ASSERT_EQ(channels_->Replace(0, flagged), 1);
  ASSERT_EQ(channels_->Toggle(0), 1);
  EXPECT_EQ(FileOf(channels_->WorkingPath())[0].flags, 0x5);
}

TEST_F(ListPageTest, AFileThatIsNoListIsRefusedAndNothingChanges) {
  ASSERT_EQ(channels_->Insert(Station(7880.0, "FAX"), -1), 1);
  std::vector<uint8_t> before;
  ASSERT_EQ(ReadWholeFile(channels_->WorkingPath(), before), 1);

  const std::string junk = base_ + "/junk.scl";
  {
    std::ofstream out(junk, std::ios::binary);
    for (int i = 0; i < 500; ++i) out.put(char(i * 7));
  }
  EXPECT_EQ(channels_->LoadFrom(junk), 0);
  ASSERT_FALSE(told_.empty());
  EXPECT_NE(told_.back().find(junk), std::string::npos) << told_.back();
  ASSERT_EQ(channels_->Records().size(), 1u);
  EXPECT_STREQ(channels_->Records()[0].name, "FAX");
  EXPECT_EQ(channels_->Table()->rowCount(), 1);
  std::vector<uint8_t> after;
  ASSERT_EQ(ReadWholeFile(channels_->WorkingPath(), after), 1);
  EXPECT_EQ(after, before);

  // A list saved and loaded again becomes the working list.
  const std::string saved = base_ + "/saved.scl";
  ASSERT_EQ(channels_->SaveTo(saved), 1);
  ASSERT_EQ(channels_->Insert(Station(4583.0, "RTTY"), 0), 1);
  ASSERT_EQ(channels_->LoadFrom(saved), 1);
  ASSERT_EQ(channels_->Records().size(), 1u);
  ASSERT_EQ(ReadWholeFile(channels_->WorkingPath(), after), 1);
  EXPECT_EQ(after, before);
}

TEST_F(ListPageTest, ColumnWidthsComeFromTheProfileAndGoBackToIt) {
  app_.Core().Profile().SetInt("SCLCOL", "C02", 210);
  ASSERT_EQ(channels_->Init(), 1);
  EXPECT_EQ(channels_->Table()->columnWidth(2), 210);
  channels_->Table()->horizontalHeader()->resizeSection(3, 144);
  EXPECT_EQ(app_.Core().Profile().GetInt("SCLCOL", "C03", -1), 144);
  EXPECT_EQ(app_.Core().Profile().GetInt("SBLCOL", "C03", -1), -1) << "each list has its section";
}

TEST_F(ListPageTest, TheSatelliteColumnNamesTheSatelliteOfTheEntry) {
  ASSERT_EQ(sats_->Insert(Station(145800.0, "ISS voice", kIss), -1), 1);
  ASSERT_EQ(sats_->Insert(Station(137100.0, "nobody", kNoSuchSat), -1), 1);
  CListTable* table = sats_->Table();
  EXPECT_EQ(table->horizontalHeaderItem(0)->text(), "Satellit");
  EXPECT_EQ(table->item(0, 0)->text(), "?????????") << "no element file yet";

  fs::copy_file(kTle, data_ + "/SATDATA.2LI");
  sats_->LoadElements();
  EXPECT_EQ(table->item(0, 0)->text(), "ISS (ZARYA)");
  EXPECT_EQ(table->item(1, 0)->text(), "?????????");
  EXPECT_EQ(table->item(0, 2)->text(), "ISS voice");
  EXPECT_EQ(sats_->WorkingPath(), data_ + "/default.sbl");
  EXPECT_EQ(FileOf(sats_->WorkingPath())[0].satId, kIss);
}

TEST_F(ListPageTest, TheGeneratorWantsTheObserverFirst) {
  ASSERT_EQ(sats_->Insert(Station(145800.0, "ISS voice", kIss), -1), 1);
  fs::copy_file(kTle, data_ + "/SATDATA.2LI");
  Show(sats_);
  EXPECT_EQ(sats_->HoursBox()->value(), 24);
  EXPECT_EQ(sats_->MinutesBox()->value(), 0);
  EXPECT_EQ(sats_->SpanMinutes(), 1440);
  sats_->MinutesBox()->setValue(30);
  EXPECT_EQ(sats_->SpanMinutes(), 1440) << "a day at most";

  sats_->GenerateButton()->click();
  ASSERT_FALSE(told_.empty());
  EXPECT_EQ(told_.back(), "The ObserverPoint is NULL -  please insert your QTH (ObserverPoint)");
  EXPECT_EQ(w_->focusWidget(), sats_->LocatorField());
  EXPECT_FALSE(fs::exists(timer_->WorkingPath()));

  // A locator too short is refused and not kept.
  sats_->LocatorField()->setText("JN57");
  EXPECT_EQ(sats_->StoreObserver(), 0);
  EXPECT_EQ(told_.back(), "ERROR: min. 6 char's  example: JN57RX or JN57RX11");
  EXPECT_FALSE(app_.Core().Profile().Has("OBSERVER", "Locator"));
}

TEST_F(ListPageTest, TheGeneratedPassesBecomeTheTimerListAndAreShown) {
  fs::copy_file(kTle, data_ + "/SATDATA.2LI");
  ASSERT_EQ(sats_->Insert(Station(145800.0, "ISS voice", kIss), -1), 1);
  ASSERT_EQ(sats_->Insert(Station(137100.0, "nobody", kNoSuchSat), -1), 1);
  Show(sats_);
  // The observer as typed into the page, kept in the profile.
  sats_->HeightBox()->setValue(520);
  sats_->LocatorField()->setText("jn57rx");
  ASSERT_EQ(sats_->StoreObserver(), 1);
  CProfileFile& profile = app_.Core().Profile();
  EXPECT_EQ(profile.GetString("OBSERVER", "Locator", ""), "JN57RX");
  EXPECT_EQ(profile.GetInt("OBSERVER", "Height", -1), 520);
  EXPECT_EQ(profile.GetInt("OBSERVER", "MinElev", -1), 0);

  told_.clear();
  ASSERT_EQ(sats_->Generate(), 1) << (told_.empty() ? "" : told_.back());
  EXPECT_EQ(w_->RightTabs()->currentWidget(), timer_) << "the timer list is shown";
  const std::vector<CFrqRecord> file = FileOf(timer_->WorkingPath(), 1);
  ASSERT_FALSE(file.empty()) << "the ISS passes a mid-European observer several times a day";
  ASSERT_EQ(timer_->Records().size(), file.size());
  ASSERT_EQ(timer_->Table()->rowCount(), int(file.size()));
  for (size_t i = 0; i < file.size(); ++i) {
    EXPECT_STREQ(file[i].name, "ISS voice");
    EXPECT_EQ(timer_->Table()->item(int(i), 0)->text().toStdString(), TimerMinuteText(file[i].extension[0]));
    EXPECT_EQ(timer_->Table()->item(int(i), 3)->text(), "ISS voice");
  }
  // The list on the satellite page is the same as before.
  ASSERT_EQ(sats_->Records().size(), 2u);

  // While the schedule runs on the timer list it is not replaced.
  ASSERT_EQ(timer_->Start(), 1);
  std::vector<uint8_t> before, after;
  ASSERT_EQ(ReadWholeFile(timer_->WorkingPath(), before), 1);
  Show(sats_);
  EXPECT_EQ(sats_->Generate(), 0);
  ASSERT_FALSE(told_.empty());
  EXPECT_EQ(told_.back(), "ERROR: TimeManger in progress");
  EXPECT_EQ(w_->RightTabs()->currentWidget(), sats_);
  ASSERT_EQ(ReadWholeFile(timer_->WorkingPath(), after), 1);
  EXPECT_EQ(after, before);
  timer_->Stop();

  // No pass of a satellite when only straight overhead counts.
  sats_->MinElevationBox()->setValue(90);
  sats_->HoursBox()->setValue(1);
  EXPECT_EQ(sats_->Generate(), 0);
  EXPECT_EQ(told_.back(), "No satellite within the time range in view ");
  // Nothing checked with a known satellite.
  ASSERT_EQ(sats_->Toggle(0), 1);
  EXPECT_EQ(sats_->Generate(), 0);
  EXPECT_EQ(told_.back(), "no selected list item found");
}

}  // namespace
