// The station program offscreen: start-up on the simulated receiver, decoder choice from the
// tool bar, received text arriving under a selection, one station per base folder, and the
// profile and settings written when the window closes.
#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QProcess>
#include <QTextEdit>
#include <QToolBar>
#include <algorithm>
#include <string>

#include "app/core/profile_file.h"
#include "app/ui/station_app.h"
#include "app/views/qt/text_receive_view.h"
#include "tests/common/station_fixture.h"
#include "tests/ui/qt_app.h"

namespace {

using namespace stationtest;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { options_.base = base_.path; }
  QAction* ToolAction(CMainWindow* w, const QString& text) {
    for (QToolBar* bar : w->findChildren<QToolBar*>())
      for (QAction* a : bar->actions())
        if (a->text() == text) return a;
    return nullptr;
  }
  CTempBase base_;
  KstlOptions options_ = NullDeviceOptions<KstlOptions>("sim");
};

}  // namespace

TEST_F(MainWindowTest, SelectingRttyFromTheToolBarAndTextArriving) {
  CStationApp app;
  ASSERT_EQ(app.Start(options_), -1) << app.Failure();
  CMainWindow* w = app.Window();
  QAction* rtty = ToolAction(w, "RTTY");
  ASSERT_NE(rtty, nullptr);
  rtty->trigger();
  EXPECT_EQ(app.Core().Decoder(), kDecoderRtty);
  EXPECT_EQ(w->PaneText(kPaneDecoder), "RTTY");
  FeedRtty(app.Core(), "FIRST LINE OF TEXT\nSECOND LINE OF TEXT\n", 200);
  QTextEdit* view = w->TextView()->ReceiveEdit();
  EXPECT_NE(view->toPlainText().indexOf("SECOND LINE"), -1) << view->toPlainText().toStdString();
  w->close();
}

TEST_F(MainWindowTest, ClosingWritesThePlacementProfileAndSettingsAndRemovesTheWindowFile) {
  {
    CStationApp app;
    ASSERT_EQ(app.Start(options_), -1) << app.Failure();
    EXPECT_TRUE(fs::exists(base_.path + "/THIS.WND"));
    EXPECT_EQ(fs::file_size(base_.path + "/THIS.WND"), 4u);
    app.Window()->showNormal();
    app.Window()->setGeometry(30, 40, 900, 700);
    app.Window()->close();
  }
  EXPECT_FALSE(fs::exists(base_.path + "/THIS.WND"));
  EXPECT_EQ(fs::file_size(base_.path + "/KSTLCONFIG.CFG"), 3477u);
  CProfileFile ini;
  ASSERT_EQ(ini.Load(base_.path + "/KSTL.INI"), 1);
  const std::string pos = ini.GetString("Settings", "WindowPos", "");
  EXPECT_EQ(std::count(pos.begin(), pos.end(), ','), 9) << pos;
  EXPECT_TRUE(ini.Has("RADIO", "receiver"));

  // A placement of a maximised window restores the maximised state and the normal rectangle.
  ini.SetString("Settings", "WindowPos", "2,3,-1,-1,-1,-1,10,10,800,600");
  std::string why;
  ASSERT_EQ(ini.Save(base_.path + "/KSTL.INI", &why), 1);
  CStationApp again;
  ASSERT_EQ(again.Start(options_), -1) << again.Failure();
  EXPECT_TRUE(again.Window()->isMaximized());
  EXPECT_EQ(again.Window()->NormalRect(), QRect(10, 10, 790, 590));
  EXPECT_NE(again.Window()->PlacementText().indexOf(",10,10,800,600"), -1)
      << again.Window()->PlacementText().toStdString();
  again.Window()->close();
}

TEST_F(MainWindowTest, ASecondStartRaisesTheFirstAndEnds) {
  CStationApp app;
  ASSERT_EQ(app.Start(options_), -1) << app.Failure();
  QProcess second;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  second.setProcessEnvironment(env);
  second.setProcessChannelMode(QProcess::MergedChannels);
  second.start(KESTREL_KSTL, {"--base", QString::fromStdString(base_.path), "--audio-in", "null",
                              "--audio-out", "null", "--quit-after", "30"});
  ASSERT_TRUE(second.waitForStarted(5000));
  QElapsedTimer t;
  t.start();
  // The first station serves the second one's request from its event loop.
  while (second.state() != QProcess::NotRunning && t.elapsed() < 20000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  ASSERT_EQ(second.state(), QProcess::NotRunning);
  EXPECT_EQ(second.exitCode(), 0);
  const QByteArray said = second.readAll();
  EXPECT_NE(said.indexOf("was brought to the front"), -1) << said.toStdString();
  EXPECT_EQ(app.Raised(), 1);
  app.Window()->close();
}
