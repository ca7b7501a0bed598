// The frequency list and the timer page of the station program, offscreen on the simulated
// receiver: a click on a row tunes with the decoder's audio centre and selects the decoder,
// re-sorting keeps the station selected, deletion down to an empty list, the record dialog's
// checks, stations dragged onto the timer list and the schedule applying an entry.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTabWidget>
#include <filesystem>
#include <string>

#include "app/core/profile_file.h"
#include "app/lists/frq_list_file.h"
#include "app/ui/freq_list_view.h"
#include "app/ui/record_dialog.h"
#include "app/ui/station_app.h"
#include "app/ui/timer_page.h"
#include "spl/radio/receiver_table.h"
#include "tests/ui/qt_app.h"

namespace fs = std::filesystem;

namespace {

constexpr int kUsbIndex = 1, kLsbIndex = 0;

CFrqRecord Station(double kHz, const char* name, int decoder, int modeIndex, int country) {
  CFrqRecord r = FrqTemplate();
  r.rxFrq = r.txFrq = r.startFrq = kHz;
  r.stopFrq = kHz + 5.0;
  SetFrqText(r.name, sizeof r.name, name);
  r.decoder = decoder;
  r.modulation = modeIndex;
  r.country = country;
  r.satId = -1;
  return r;
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
    TestApp();
    char tmpl[] = "/tmp/kestrel-lists-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    base_ = tmpl;
    options_.base = base_;
    options_.port = "sim";
    options_.audioIn = "null";
    options_.audioOut = "null";
    options_.synopStore = KESTREL_SYNOP_STORE;
    ASSERT_EQ(app_.Start(options_), -1) << app_.Failure();
    w_ = app_.Window();
    list_ = w_->FreqList();
    timer_ = w_->TimerPage();
    ASSERT_NE(list_, nullptr);
    ASSERT_NE(timer_, nullptr);
    list_->SetNotify([this](const std::string& text) { told_.push_back(text); });
    timer_->SetNotify([this](const std::string& text) { told_.push_back(text); });
    // The starter list is replaced by the stations of each test.
    std::vector<FrqListRow> rows;
    ASSERT_TRUE(list_->ListSet().List(kFrqSortById, rows));
    for (const FrqListRow& r : rows) ASSERT_TRUE(list_->ListSet().Delete(r.id));
  }
  void TearDown() override {
    w_->close();
    fs::remove_all(base_);
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

  std::string base_;
  KstlOptions options_;
  CStationApp app_;
  CMainWindow* w_ = nullptr;
  CFreqListView* list_ = nullptr;
  CTimerPage* timer_ = nullptr;
  std::vector<std::string> told_;
};

TEST_F(ListPagesTest, ListShowsTheColumnsAndTheRowTexts) {
  CFrqRecord fax = Station(10100.8, "DDK3 Hamburg", 8768, kUsbIndex, 79);
  fax.steps = 1500;
  fax.rttyStopBits = 0.0;
  fax.faxHMirror = 1;
  Add(fax);
  ASSERT_TRUE(list_->Fill(0));
  CFreqListModel* m = list_->Model();
  ASSERT_EQ(m->columnCount(), kFreqListColumnCount);
  EXPECT_EQ(m->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "RX-Frq.(KHz)");
  EXPECT_EQ(m->headerData(37, Qt::Horizontal, Qt::DisplayRole).toString(), "SstvFiltMode");
  EXPECT_EQ(m->data(m->index(0, 0), Qt::DisplayRole).toString(), "10100.800");
  EXPECT_EQ(m->data(m->index(0, 2), Qt::DisplayRole).toString(), "W-FAX IOC 576");
  EXPECT_EQ(m->data(m->index(0, 3), Qt::DisplayRole).toString(), "USB ");
  EXPECT_EQ(m->data(m->index(0, 9), Qt::DisplayRole).toString(), "1.5 KHz");
  EXPECT_EQ(m->data(m->index(0, 23), Qt::DisplayRole).toString(), "on");
  EXPECT_EQ(m->data(m->index(0, 24), Qt::DisplayRole).toString(), "off");
  EXPECT_EQ(m->data(m->index(0, 31), Qt::DisplayRole).toString(), "");
  EXPECT_EQ(m->data(m->index(0, 11), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight,
            Qt::AlignRight);
  // A record naming a satellite the station does not know says so.
  fax.satId = 7;
  EXPECT_EQ(FreqListDecoderText(fax), "W-FAX IOC 576???SAT:ERROR???");
  // Widths come from the profile, with the usual widths where it has none.
  EXPECT_EQ(list_->columnWidth(1), 135);
}

TEST_F(ListPagesTest, ClickOnARowTunesWithTheDecoderCentreAndSelectsTheDecoder) {
  CFrqRecord fax = Station(7880.0, "DDH7 FAX", 8768, kUsbIndex, 79);
  fax.faxCenter = 1900;
  fax.faxBurst1 = fax.faxBurst2 = 0;
  CFrqRecord cw = Station(7020.0, "CW beacon", 14336, kLsbIndex, 0);
  cw.cwCenter = 800;
  Add(fax);
  Add(cw);
  ASSERT_TRUE(list_->Fill(0));
  Show(list_->parentWidget());

  ClickRow(RowNamed("DDH7 FAX"));
  EXPECT_EQ(SelectedName(), "DDH7 FAX");
  EXPECT_NEAR(app_.Core().Radio().LastFrq(), 7878.100, 1e-6) << "USB: dial below by the FAX centre";
  EXPECT_NEAR(app_.Core().Settings().GetDouble(kCfgFrequency), 7878.100, 1e-6);
  EXPECT_EQ(app_.Core().Settings().GetInt(kCfgMode), kModeUSB);
  EXPECT_EQ(app_.Core().Decoder(), kDecoderFax);
  EXPECT_EQ(w_->PaneText(kPaneDecoder), " FAX");
  EXPECT_EQ(app_.Core().Settings().GetInt(kCfgFaxBurst1), kFaxDefaultBurst1);
  EXPECT_EQ(app_.Core().Settings().GetInt(kCfgFaxBurst2), kFaxDefaultBurst2);

  ClickRow(RowNamed("CW beacon"));
  EXPECT_NEAR(app_.Core().Radio().LastFrq(), 7020.800, 1e-6) << "LSB: dial above by the CW centre";
  EXPECT_EQ(app_.Core().Settings().GetInt(kCfgMode), kModeLSB);
  EXPECT_EQ(app_.Core().Decoder(), kDecoderCw);
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
  EXPECT_EQ(told_.back(), "ERROR: item not selected - select a item before edit");

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

TEST_F(ListPagesTest, RecordDialogChecksItsFieldsAsTheListDoes) {
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

TEST_F(ListPagesTest, StationsDraggedOntoTheTimerListAreInsertedWhereDropped) {
  Add(Station(7880.0, "FAX", 8768, kUsbIndex, 79));
  Add(Station(4583.0, "RTTY", 12288, kUsbIndex, 79));
  ASSERT_TRUE(list_->Fill(0));
  CFreqListModel* m = list_->Model();
  ASSERT_TRUE(m->mimeTypes().contains(kFrqRecordMimeType));

  // The drag data of the view, dropped below the (empty) list: appended.
  std::unique_ptr<QMimeData> fax(m->mimeData({m->index(RowNamed("FAX"), 0)}));
  ASSERT_NE(fax, nullptr);
  ASSERT_EQ(timer_->Drop(fax.get(), -1), 1);
  ASSERT_EQ(timer_->Records().size(), 1u);

  // Dropped on the first row of the page: inserted before it.
  Show(timer_);
  CTimerListTable* table = timer_->Table();
  std::unique_ptr<QMimeData> rtty(m->mimeData({m->index(RowNamed("RTTY"), 3)}));
  const QPoint onFirst = table->visualRect(table->model()->index(0, 1)).center();
  ASSERT_EQ(table->DropAt(rtty.get(), onFirst), 1);
  ASSERT_EQ(timer_->Records().size(), 2u);
  EXPECT_STREQ(timer_->Records()[0].name, "RTTY");
  EXPECT_STREQ(timer_->Records()[1].name, "FAX");
  EXPECT_EQ(uint32_t(timer_->Records()[0].flags), kTimerEntryEnabled);
  EXPECT_EQ(timer_->Records()[0].extension[0], 0);
  EXPECT_EQ(timer_->Records()[0].extension[1], 0);
  EXPECT_EQ(table->item(0, 0)->checkState(), Qt::Checked);
  EXPECT_EQ(table->item(0, 3)->text(), "RTTY");
  EXPECT_EQ(table->item(1, 2)->text(), "7880.000");

  // The working file holds what the page shows.
  std::vector<CFrqRecord> file;
  std::string why;
  ASSERT_TRUE(ReadFrqListFile(timer_->WorkingPath(), 1, file, &why)) << why;
  ASSERT_EQ(file.size(), 2u);
  EXPECT_STREQ(file[0].name, "RTTY");

  // Anything else dropped is refused.
  QMimeData text;
  text.setText("7880.000");
  EXPECT_EQ(timer_->Drop(&text, 0), 0);
  EXPECT_EQ(timer_->Records().size(), 2u);

  // The check box disables the entry in the file.
  table->item(1, 0)->setCheckState(Qt::Unchecked);
  ASSERT_TRUE(ReadFrqListFile(timer_->WorkingPath(), 1, file, &why)) << why;
  EXPECT_EQ(uint32_t(file[1].flags) & kTimerEntryEnabled, 0u);
  EXPECT_EQ(uint32_t(file[0].flags) & kTimerEntryEnabled, kTimerEntryEnabled);

  ASSERT_EQ(timer_->Delete(0), 1);
  EXPECT_STREQ(timer_->Records()[0].name, "FAX");
  ASSERT_EQ(timer_->Clear(), 1);
  EXPECT_EQ(table->rowCount(), 0);
  EXPECT_EQ(fs::file_size(timer_->WorkingPath()), 0u);
}

TEST_F(ListPagesTest, RunningScheduleAppliesTheEntryOfTheHourAndShowsIt) {
  // 2026-03-02 06:45:00 UTC.
  const time_t day = 1772409600;
  app_.Core().SetClock([day] { return day + 6 * 3600 + 45 * 60; });
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

}  // namespace
