// The scanner page offscreen on a started station: a range scan started from its button holds
// on the frequency that carries a signal (lamp, hold row, frequency shown), the waterfall
// draws the sweeps and a click on it reads the step back, and a saved report loads under its
// own name.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <cmath>
#include <string>

#include "app/ui/scan_page.h"
#include "spl/radio/scanner.h"
#include "spl/widgets/lamp.h"
#include "spl/widgets/scan_report_view.h"
#include "tests/common/station_fixture.h"
#include "tests/ui/qt_app.h"

namespace {

using namespace stationtest;

class CScanPageUi : public CStationUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ScanValue(int c, int l, float kHz, int s, int a) override { if (page) page->ScanValue(c, l, kHz, s, a); }
  void ScanLineFinished(int line) override { if (page) page->ScanLineFinished(line); }
  void ScanHold(const ScanEvent& e, int on) override { if (page) page->ScanHold(e, on); }
  void ScanTuned(float kHz) override {
    tuned = kHz;
    if (page) page->ScanTuned(kHz);
  }
  CScanPage* page = nullptr;
  float tuned = 0;
  std::vector<std::string> messages;
};

class ScanPageTest : public StationTest<CScanPageUi> {
 protected:
  void SetUp() override {
    ASSERT_EQ(Start(), 1);
    CSettingsRecord& s = core_.Settings();
    s.SetDouble(kCfgScanStart, 14000.0);
    s.SetDouble(kCfgScanStop, 14010.0);
    s.SetInt(kCfgScanStep, 1000);
    s.SetInt(kCfgScanDwellMs, 100);
    s.SetInt(kCfgScanRecordTime, 0);
    s.SetInt(kCfgScanStopOnSignal, 1);
    s.SetInt(kCfgScanEventSource, 0);
    page_ = std::make_unique<CScanPage>(core_);
    page_->resize(900, 600);
    ui_.page = page_.get();
  }
  void TearDown() override {
    ui_.page = nullptr;
    page_.reset();
  }
  // One block: a warbling tone while the receiver sits on signalKHz, else silence.
  void Step(float signalKHz) {
    AudioBlock* b = nullptr;
    ASSERT_EQ(NewAudioBlock(&b, kBlock), 1);
    const bool on = std::fabs(ui_.tuned - signalKHz) < 0.01f;
    for (int i = 0; i < kBlock; ++i, ++phase_)
      b->data[i] = on ? float(8000 * std::sin(phase_ * (0.5 + 0.2 * std::sin(phase_ * 0.003)))) : 0.0f;
    b->tick = GetTickCount();
    core_.ProcessBlock(b);
    FreeAudioBlock(b);
  }

  long phase_ = 0;
  std::unique_ptr<CScanPage> page_;
};

QPushButton* Button(QWidget& w, const QString& text) {
  for (QPushButton* b : w.findChildren<QPushButton*>())
    if (b->text() == text) return b;
  ADD_FAILURE() << text.toStdString();
  return nullptr;
}

}  // namespace

TEST_F(ScanPageTest, ARangeScanHoldsShowsItsStepsAndReadsThemBack) {
  Button(*page_, "Range scan")->click();
  ASSERT_EQ(core_.Scanning(), 1) << Said();
  EXPECT_FALSE(Button(*page_, "Range scan")->isEnabled());
  // Until the scan reaches 14005 and holds there.
  for (int i = 0; i < 8 && !core_.ScanHolding(); ++i) Step(14005.0f);
  ASSERT_EQ(core_.ScanHolding(), 1);
  EXPECT_EQ(page_->HoldLamp()->IsOn(), 1);
  ASSERT_EQ(page_->Holds()->rowCount(), 1);
  EXPECT_EQ(page_->Holds()->item(0, 1)->text(), "14005.000");
  // The signal ends: the scan goes on over three sweeps.
  for (int i = 0; i < 40; ++i) Step(-1.0f);
  EXPECT_EQ(page_->HoldLamp()->IsOn(), 0);
  ASSERT_GE(core_.Scanner().GetYSize(), 3);
  Button(*page_, "Stop")->click();
  EXPECT_EQ(core_.Scanning(), 0);

  // The report's audio levels: the held signal stands out in the first (oldest, farthest
  // back) sweep, and a click on its peak reads that step back.
  page_->show();
  CScanReportView* view = page_->Report();
  view->SetRows(CScanReportView::kAudioRows);
  const QImage& pic = view->Picture();
  ASSERT_FALSE(pic.isNull());
  const int back = core_.Scanner().GetYSize() - 1;  // sweeps in front of the first
  const int level = core_.Scanner().AudioRow(0)[5];
  ASSERT_GT(level, 20);
  const QPointF peak(5 + kPerspectiveX * back + 0.5, pic.height() - 1 - kPerspectiveY * back - level / 2 + 0.5);
  const QPoint at(int(peak.x() * view->width() / pic.width()), int(peak.y() * view->height() / pic.height()));
  int column = -1, line = -1;
  ASSERT_EQ(view->CellAt(at, column, line), 1);
  EXPECT_EQ(column, 5);
  EXPECT_EQ(line, 0);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), view->mapToGlobal(QPointF(at)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view, &press);
  EXPECT_TRUE(page_->CellText().startsWith("14005.000 kHz")) << page_->CellText().toStdString();
  EXPECT_TRUE(page_->CellText().contains(QString("audio %1").arg(level))) << page_->CellText().toStdString();

  // Saved and loaded under its own name.
  const std::string report = base_ + "/scann/band.scl";
  ASSERT_EQ(page_->SaveReportTo(report), 1);
  ASSERT_EQ(page_->LoadReportFrom(report), 1);
  EXPECT_EQ(page_->Title(), "report of:  band.scl");
}
