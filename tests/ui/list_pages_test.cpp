// The list pages of the station program, offscreen on the simulated receiver: the frequency
// list (a click tunes with the decoder's audio centre and selects the decoder, re-sorting keeps
// the station selected, deletion down to an empty list, the record dialog's checks), the
// channel scan list (stations dropped where wanted, check marks in the working file, files that
// are not lists refused, column widths in the profile), the timer list (stations dragged from
// the frequency list, the schedule applying an entry) and the satellite basis list (names from
// the element file, the pass generator writing the timer list).
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/core/profile_file.h"
#include "app/core/safe_file.h"
#include "app/lists/frq_list_file.h"
#include "app/ui/freq_list_view.h"
#include "app/ui/list_page.h"
#include "app/ui/record_dialog.h"
#include "app/ui/sat_list_page.h"
#include "app/ui/station_app.h"
#include "app/ui/timer_page.h"
#include "spl/radio/receiver_table.h"
#include "tests/common/station_fixture.h"
#include "tests/ui/qt_app.h"

namespace {

using namespace stationtest;

constexpr int kUsbIndex = 1, kLsbIndex = 0;
constexpr int kRttyDecoder = 12288;
constexpr int kIss = 25544, kNoSuchSat = 99999;
// 2026-12-01 00:00 UTC, near the epoch of the test element sets.
constexpr time_t kFirstDay = 1796083200;
const std::string kTle = std::string(KESTREL_TEST_DATA) + "/sat/elements.tle";

CFrqRecord Station(double kHz, const char* name, int decoder = kRttyDecoder, int modeIndex = kUsbIndex,
                   int country = 0, int satId = -1) {
  CFrqRecord r = FrqTemplate();
  r.rxFrq = r.txFrq = r.startFrq = kHz;
  r.stopFrq = kHz + 5.0;
  SetFrqText(r.name, sizeof r.name, name);
  r.decoder = decoder;
  r.modulation = modeIndex;
  r.country = country;
  r.satId = satId;
  return r;
}
CFrqRecord SatStation(double kHz, const char* name, int satId) {
  return Station(kHz, name, kRttyDecoder, kUsbIndex, 0, satId);
}

// A left click as the user makes it, on a point of a widget.
void Click(QWidget* w, QPoint at) {
  QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QApplication::sendEvent(w, &release);
}

class ListPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KstlOptions o = NullDeviceOptions<KstlOptions>("sim");
    o.base = base_.path;
    ASSERT_EQ(app_.Start(o), -1) << app_.Failure();
    w_ = app_.Window();
    list_ = w_->FreqList();
    timer_ = w_->TimerPage();
    channels_ = w_->ChannelListPage();
    sats_ = w_->SatListPage();
    ASSERT_TRUE(list_ && timer_ && channels_ && sats_);
    auto tell = [this](const std::string& text) { told_.push_back(text); };
    list_->SetNotify(tell);
    timer_->SetNotify(tell);
    channels_->SetNotify(tell);
    sats_->SetNotify(tell);
    sats_->SetClock([] { return kFirstDay; });
    data_ = app_.Core().Settings().GetPath(kCfgDataFolder);
    // The starter list is replaced by the stations of each test.
    std::vector<FrqListRow> rows;
    ASSERT_TRUE(list_->ListSet().List(kFrqSortById, rows));
    for (const FrqListRow& r : rows) ASSERT_TRUE(list_->ListSet().Delete(r.id));
  }
  void TearDown() override {
    if (timer_ && timer_->Running()) timer_->Stop();
    if (w_) w_->close();
  }
  void Show(QWidget* page) {
    w_->RightTabs()->setCurrentWidget(page);
    QApplication::processEvents();
  }
  void Add(const CFrqRecord& r) { ASSERT_TRUE(list_->ListSet().Add(r)) << list_->ListSet().Error(); }
  void ClickRow(int row) {
    const QRect rect = list_->visualRect(list_->Model()->index(row, 1));
    ASSERT_TRUE(rect.isValid());
    Click(list_->viewport(), rect.center());
  }
  int RowNamed(const char* name) {
    for (int i = 0; i < list_->Model()->rowCount(); ++i)
      if (std::string(list_->Model()->Rows()[size_t(i)].record.name) == name) return i;
    return -1;
  }
  std::string SelectedName() {
    const CFrqRecord* r = list_->SelectedRecord();
    return r ? r->name : "";
  }
  // A station as the frequency list's drag carries it.
  std::unique_ptr<QMimeData> Drag(const CFrqRecord& r) { return std::unique_ptr<QMimeData>(NewFrqRecordMime(r)); }
  std::vector<CFrqRecord> FileOf(const std::string& path, int timerWindows = 0) {
    std::vector<CFrqRecord> file;
    std::string why;
    EXPECT_EQ(ReadFrqListFile(path, timerWindows, file, &why), 1) << why;
    return file;
  }

  CTempBase base_;  // outlives the station
  CStationApp app_;
  std::string data_;
  CMainWindow* w_ = nullptr;
  CFreqListView* list_ = nullptr;
  CTimerPage* timer_ = nullptr;
  CListPage* channels_ = nullptr;
  CSatListPage* sats_ = nullptr;
  std::vector<std::string> told_;
};

TEST_F(ListPagesTest, ListShowsTheRowTexts) {
  CFrqRecord fax = Station(10100.8, "DDK3 Hamburg", 8768, kUsbIndex, 79);
  fax.steps = 1500;
  fax.rttyStopBits = 0.0;
  fax.faxHMirror = 1;
  Add(fax);
  ASSERT_TRUE(list_->Fill(0));
  CFreqListModel* m = list_->Model();
  ASSERT_EQ(m->columnCount(), kFreqListColumnCount);
  const std::pair<int, const char*> cells[] = {
      {0, "10100.800"}, {2, "W-FAX IOC 576"}, {3, "USB "}, {9, "1.5 KHz"}, {23, "on"}, {24, "off"}, {31, ""}};
  for (auto [column, text] : cells)
    EXPECT_EQ(m->data(m->index(0, column), Qt::DisplayRole).toString(), text) << column;
  // A record naming a satellite the station does not know says so.
  fax.satId = 7;
  EXPECT_EQ(FreqListDecoderText(fax), "W-FAX IOC 576???SAT:ERROR???");
}

// How a record tunes is the core's (ApplyRecord); here a click on its row hands it over.
TEST_F(ListPagesTest, ClickOnARowTunesWithTheDecoderCentreAndSelectsTheDecoder) {
  CFrqRecord fax = Station(7880.0, "DDH7 FAX", 8768, kUsbIndex, 79);
  fax.faxCenter = 1900;
  Add(Station(7020.0, "CW beacon", 14336, kLsbIndex));
  Add(fax);
  ASSERT_TRUE(list_->Fill(0));
  Show(list_->parentWidget());
  ClickRow(RowNamed("DDH7 FAX"));
  EXPECT_EQ(SelectedName(), "DDH7 FAX");
  EXPECT_NEAR(app_.Core().Radio().LastFrq(), 7878.100, 1e-6) << "USB: dial below by the FAX centre";
  EXPECT_EQ(app_.Core().Settings().GetInt(kCfgMode), kModeUSB);
  EXPECT_EQ(app_.Core().Decoder(), kDecoderFax);
}

TEST_F(ListPagesTest, ResortingByCountryKeepsTheStationSelected) {
  // Frequency order A B C, country order C A B.
  Add(Station(3000.0, "A", 0, kUsbIndex, 100));
  Add(Station(4000.0, "B", 0, kUsbIndex, 200));
  Add(Station(5000.0, "C", 0, kUsbIndex, 10));
  ASSERT_TRUE(list_->Fill(0));
  Show(list_->parentWidget());
  list_->SelectRow(RowNamed("B"));
  ASSERT_EQ(list_->SelectedRow(), 1);

  QHeaderView* header = list_->horizontalHeader();
  Click(header->viewport(), QPoint(header->sectionViewportPosition(5) + header->sectionSize(5) / 2,
                                   header->height() / 2));
  EXPECT_EQ(list_->Sort(), 5);
  EXPECT_EQ(RowNamed("C"), 0);
  EXPECT_EQ(list_->SelectedRow(), 2) << "B moved down and stays selected";
  EXPECT_EQ(SelectedName(), "B");
  // Headers after the eighth do not sort.
  Click(header->viewport(), QPoint(header->sectionViewportPosition(8) + header->sectionSize(8) / 2,
                                   header->height() / 2));
  EXPECT_EQ(list_->Sort(), 5);
  // The order and the station are remembered for the next start.
  EXPECT_EQ(app_.Core().Profile().GetInt("FRQLIST", "sort", -1), 5);
}

TEST_F(ListPagesTest, DeleteAsksAndTheLastDeletionLeavesAnEmptyList) {
  Add(Station(4583.0, "DDH47", 12288, kUsbIndex, 79));
  ASSERT_TRUE(list_->Fill(0));
  QString asked;
  bool answer = false;
  list_->SetAsk([&](const QString& q) {
    asked = q;
    return answer;
  });
  EXPECT_EQ(list_->Delete(), 0);
  ASSERT_FALSE(told_.empty());
  EXPECT_EQ(told_.back(), "ERROR: item not selected - select a item before delete");
  EXPECT_EQ(list_->Edit(), 0);

  list_->SelectRow(0);
  EXPECT_EQ(list_->Delete(), 0) << "cancelled";
  EXPECT_EQ(asked, "Delete from the Frequency List? 4583.000 KHz - DDH47");
  EXPECT_EQ(list_->Model()->rowCount(), 1);

  answer = true;
  EXPECT_EQ(list_->Delete(), 1);
  EXPECT_EQ(list_->Model()->rowCount(), 0);
  EXPECT_EQ(list_->SelectedRow(), -1);
  int64_t count = -1;
  ASSERT_TRUE(list_->ListSet().Count(count));
  EXPECT_EQ(count, 0);
}

TEST_F(ListPagesTest, NewAndEditStoreTheDialogsRecordAndSelectIt) {
  Add(Station(3000.0, "A", 0, kUsbIndex, 0));
  Add(Station(9000.0, "Z", 0, kUsbIndex, 0));
  ASSERT_TRUE(list_->Fill(0));
  list_->SetEditor([](CFrqRecord& r, bool isNew) {
    EXPECT_TRUE(isNew);
    r.rxFrq = 5000.0;
    SetFrqText(r.name, sizeof r.name, "NEW");
    return true;
  });
  ASSERT_EQ(list_->New(), 1);
  EXPECT_EQ(SelectedName(), "NEW");
  EXPECT_EQ(list_->SelectedRecord()->satId, -1) << "a new station names no satellite";
  EXPECT_EQ(list_->SelectedRow(), 1) << "sorted in by frequency";

  list_->SetEditor([](CFrqRecord& r, bool isNew) {
    EXPECT_FALSE(isNew);
    SetFrqText(r.name, sizeof r.name, "EDITED");
    return true;
  });
  ASSERT_EQ(list_->Edit(), 1);
  EXPECT_EQ(list_->Model()->data(list_->Model()->index(1, 1), Qt::DisplayRole).toString(), "EDITED");
  CFrqRecord stored;
  ASSERT_TRUE(list_->ListSet().Get(list_->Model()->Rows()[1].id, stored));
  EXPECT_STREQ(stored.name, "EDITED");

  // A cancelled copy changes nothing.
  list_->SetEditor([](CFrqRecord&, bool) { return false; });
  EXPECT_EQ(list_->Copy(), 0);
  EXPECT_EQ(list_->Model()->rowCount(), 3);
}

TEST(RecordDialog, ChecksItsFieldsAsTheListDoes) {  // needs no station
  const CFrqRecord r = Station(7880.0, "DDH7", 8768, kUsbIndex, 79);
  {
    CRecordDialog d(r, CRecordDialog::kEdit);
    auto* name = qobject_cast<QLineEdit*>(d.Field("Name"));
    ASSERT_NE(name, nullptr);
    // A long name is cut to what the record holds.
    name->setMaxLength(64);
    name->setText(QString(40, 'N'));
    std::string why;
    ASSERT_EQ(d.Collect(&why), 1) << why;
    EXPECT_EQ(std::string(d.Record().name), std::string(31, 'N'));

    auto* frq = qobject_cast<QLineEdit*>(d.Field("RX-FRQ (KHz)"));
    ASSERT_NE(frq, nullptr);
    frq->setText("78x0");
    EXPECT_EQ(d.Collect(&why), 0);
    EXPECT_FALSE(why.empty());
    frq->setText("7880.25");
    ASSERT_EQ(d.Collect(&why), 1) << why;
    EXPECT_DOUBLE_EQ(d.Record().rxFrq, 7880.25);

    auto* volume = qobject_cast<QLineEdit*>(d.Field("Volume"));
    ASSERT_NE(volume, nullptr);
    volume->setText("300");
    EXPECT_EQ(d.Collect(&why), 0) << "volume above 255";
  }
  {
    CRecordDialog d(r, CRecordDialog::kTimerEntry);
    ASSERT_NE(d.StartTime(), nullptr);
    d.StartTime()->setTime(QTime(23, 0));
    d.StopTime()->setTime(QTime(1, 0));
    std::string why;
    EXPECT_EQ(d.Collect(&why), 0);
    EXPECT_EQ(why, "ERROR : StopTime < StartTime");
    d.StopNextDay()->setChecked(true);
    ASSERT_EQ(d.Collect(&why), 1) << why;
    EXPECT_EQ(d.Record().extension[0], 23 * 60);
    EXPECT_EQ(d.Record().extension[1], 1500);
  }
}

TEST_F(ListPagesTest, StationsDraggedFromTheFrequencyListOntoTheTimerListAreEnabledEntries) {
  Add(Station(7880.0, "FAX", 8768, kUsbIndex, 79));
  Add(Station(4583.0, "RTTY", 12288, kUsbIndex, 79));
  ASSERT_TRUE(list_->Fill(0));
  CFreqListModel* m = list_->Model();
  ASSERT_TRUE(m->mimeTypes().contains(kFrqRecordMimeType));

  // The drag data of the view, dropped below the (empty) list: appended.
  std::unique_ptr<QMimeData> fax(m->mimeData({m->index(RowNamed("FAX"), 0)}));
  ASSERT_NE(fax, nullptr);
  ASSERT_EQ(timer_->Drop(fax.get(), -1), 1);
  // Dropped on the first row of the page: inserted before it.
  Show(timer_);
  CTimerListTable* table = timer_->Table();
  std::unique_ptr<QMimeData> rtty(m->mimeData({m->index(RowNamed("RTTY"), 3)}));
  const QPoint onFirst = table->visualRect(table->model()->index(0, 1)).center();
  ASSERT_EQ(table->DropAt(rtty.get(), onFirst), 1);
  const std::vector<CFrqRecord> file = FileOf(timer_->WorkingPath(), 1);
  ASSERT_EQ(file.size(), 2u);
  EXPECT_STREQ(file[0].name, "RTTY");
  EXPECT_STREQ(file[1].name, "FAX");
  EXPECT_EQ(uint32_t(file[0].flags), kTimerEntryEnabled);
  EXPECT_EQ(file[0].extension[0], 0);
  EXPECT_EQ(file[0].extension[1], 0);
  EXPECT_EQ(table->item(0, 0)->checkState(), Qt::Checked);
  EXPECT_EQ(table->item(1, 2)->text(), "7880.000");

  ASSERT_EQ(timer_->Clear(), 1);
  EXPECT_EQ(table->rowCount(), 0);
  EXPECT_EQ(fs::file_size(timer_->WorkingPath()), 0u);
}

TEST_F(ListPagesTest, RunningScheduleAppliesTheEntryOfTheHourAndShowsIt) {
  // 2026-03-02 06:45:00 UTC.
  const time_t day = 1772409600;
  app_.Core().SetClock([] { return day + 6 * 3600 + 45 * 60; });
  CFrqRecord fax = Station(10100.8, "Hamburg", 8768, kUsbIndex, 79);
  fax.faxCenter = 1900;
  ASSERT_EQ(timer_->Insert(fax, -1), 1);
  CFrqRecord entry = timer_->Records()[0];
  entry.extension[0] = 6 * 60 + 30;
  entry.extension[1] = 7 * 60 + 15;
  ASSERT_EQ(timer_->Replace(0, entry), 1);
  EXPECT_EQ(timer_->Table()->item(0, 0)->text().trimmed(), "06:30");

  ASSERT_EQ(timer_->Start(), 1);
  timer_->Tick();
  EXPECT_EQ(timer_->StatusText(), " 06:30-07:15 - 10100.800 - Hamburg - W-FAX IOC 576");
  EXPECT_NEAR(app_.Core().Radio().LastFrq(), 10098.900, 1e-6);
  EXPECT_EQ(app_.Core().Decoder(), kDecoderFax);
  EXPECT_EQ(timer_->Insert(fax, 0), 0) << "the list is locked while the schedule runs";

  // A station chosen from the list while the entry is applied changes nothing.
  Add(Station(3000.0, "other", 0, kUsbIndex, 0));
  ASSERT_TRUE(list_->Fill(0));
  EXPECT_EQ(list_->ApplyRow(0), 0);
  EXPECT_NEAR(app_.Core().Radio().LastFrq(), 10098.900, 1e-6);

  timer_->Stop();
  EXPECT_FALSE(timer_->Running());
  EXPECT_EQ(timer_->StatusText(), "");
  EXPECT_EQ(list_->ApplyRow(0), 1);
}

TEST_F(ListPagesTest, StationsDroppedOnTheChannelListAreNumberedWhereDropped) {
  EXPECT_EQ(channels_->WorkingPath(), data_ + "/default.scl");
  CListTable* table = channels_->Table();
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
  const std::vector<CFrqRecord> file = FileOf(channels_->WorkingPath());
  ASSERT_EQ(file.size(), 3u);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(table->item(row, 0)->text(), QString::asprintf("%03d", row + 1));
    EXPECT_STREQ(file[size_t(row)].name, order[row]);
    EXPECT_EQ(uint32_t(file[size_t(row)].flags), kListEntryChecked);
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

TEST_F(ListPagesTest, TheCheckBoxFlipsTheEntrysMarkInTheFile) {
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

TEST_F(ListPagesTest, AFileThatIsNoListIsRefusedAndColumnWidthsAreKept) {
  ASSERT_EQ(channels_->Insert(Station(7880.0, "FAX"), -1), 1);
  std::vector<uint8_t> before;
  ASSERT_EQ(ReadWholeFile(channels_->WorkingPath(), before), 1);

  const std::string junk = base_.path + "/junk.scl";
  {
    std::ofstream out(junk, std::ios::binary);
    for (int i = 0; i < 500; ++i) out.put(char(i * 7));
  }
  EXPECT_EQ(channels_->LoadFrom(junk), 0);
  ASSERT_FALSE(told_.empty());
  EXPECT_NE(told_.back().find(junk), std::string::npos) << told_.back();
  EXPECT_EQ(channels_->Table()->rowCount(), 1);
  std::vector<uint8_t> after;
  ASSERT_EQ(ReadWholeFile(channels_->WorkingPath(), after), 1);
  EXPECT_EQ(after, before);

  // A list saved and loaded again becomes the working list.
  const std::string saved = base_.path + "/saved.scl";
  ASSERT_EQ(channels_->SaveTo(saved), 1);
  ASSERT_EQ(channels_->Insert(Station(4583.0, "RTTY"), 0), 1);
  ASSERT_EQ(channels_->LoadFrom(saved), 1);
  ASSERT_EQ(channels_->Records().size(), 1u);
  ASSERT_EQ(ReadWholeFile(channels_->WorkingPath(), after), 1);
  EXPECT_EQ(after, before);

  // Column widths come from the profile and go back to it, in the list's own section.
  app_.Core().Profile().SetInt("SCLCOL", "C02", 210);
  ASSERT_EQ(channels_->Init(), 1);
  EXPECT_EQ(channels_->Table()->columnWidth(2), 210);
  channels_->Table()->horizontalHeader()->resizeSection(3, 144);
  EXPECT_EQ(app_.Core().Profile().GetInt("SCLCOL", "C03", -1), 144);
  EXPECT_EQ(app_.Core().Profile().GetInt("SBLCOL", "C03", -1), -1);
}

// One station start for both: starting it is what takes the time.
TEST_F(ListPagesTest, TheSatelliteColumnNamesTheSatelliteAndTheGeneratorWantsTheObserverFirst) {
  ASSERT_EQ(sats_->Insert(SatStation(145800.0, "ISS voice", kIss), -1), 1);
  ASSERT_EQ(sats_->Insert(SatStation(137100.0, "nobody", kNoSuchSat), -1), 1);
  CListTable* table = sats_->Table();
  EXPECT_EQ(table->item(0, 0)->text(), "?????????") << "no element file yet";

  fs::copy_file(kTle, data_ + "/SATDATA.2LI");
  sats_->LoadElements();
  EXPECT_EQ(table->item(0, 0)->text(), "ISS (ZARYA)");
  EXPECT_EQ(table->item(1, 0)->text(), "?????????");
  EXPECT_EQ(table->item(0, 2)->text(), "ISS voice");
  EXPECT_EQ(sats_->WorkingPath(), data_ + "/default.sbl");
  EXPECT_EQ(FileOf(sats_->WorkingPath())[0].satId, kIss);

  Show(sats_);
  sats_->MinutesBox()->setValue(30);
  EXPECT_EQ(sats_->SpanMinutes(), 1440) << "a day at most";
  sats_->GenerateButton()->click();
  ASSERT_FALSE(told_.empty());
  EXPECT_EQ(told_.back(), "The ObserverPoint is NULL -  please insert your QTH (ObserverPoint)");
  EXPECT_EQ(w_->focusWidget(), sats_->LocatorField());
  EXPECT_FALSE(fs::exists(timer_->WorkingPath()));
  // A locator too short is refused and not kept.
  sats_->LocatorField()->setText("JN57");
  const size_t said = told_.size();
  EXPECT_EQ(sats_->StoreObserver(), 0);
  EXPECT_GT(told_.size(), said);
  EXPECT_FALSE(app_.Core().Profile().Has("OBSERVER", "Locator"));
}

TEST_F(ListPagesTest, TheGeneratedPassesBecomeTheTimerListAndAreShown) {
  fs::copy_file(kTle, data_ + "/SATDATA.2LI");
  ASSERT_EQ(sats_->Insert(SatStation(145800.0, "ISS voice", kIss), -1), 1);
  ASSERT_EQ(sats_->Insert(SatStation(137100.0, "nobody", kNoSuchSat), -1), 1);
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
  EXPECT_EQ(w_->RightTabs()->currentWidget(), sats_);
  ASSERT_EQ(ReadWholeFile(timer_->WorkingPath(), after), 1);
  EXPECT_EQ(after, before);
  timer_->Stop();

  // No pass of a satellite when only straight overhead counts.
  sats_->MinElevationBox()->setValue(90);
  sats_->HoursBox()->setValue(1);
  EXPECT_EQ(sats_->Generate(), 0);
  // Nothing checked with a known satellite.
  ASSERT_EQ(sats_->Toggle(0), 1);
  EXPECT_EQ(sats_->Generate(), 0);
}

}  // namespace
