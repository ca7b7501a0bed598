// The station program offscreen: start-up on the simulated receiver, decoder choice from the
// tool bar, received text arriving under a selection, one station per base folder, and the
// profile and settings written when the window closes.
#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QProcess>
#include <QScrollBar>
#include <QTextEdit>
#include <QToolBar>
#include <filesystem>
#include <string>

#include "app/core/profile_file.h"
#include "app/ui/station_app.h"
#include "app/views/qt/text_receive_view.h"
#include "spl/decoders/rtty_transmitter.h"
#include "tests/ui/qt_app.h"

namespace fs = std::filesystem;

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    char tmpl[] = "/tmp/kestrel-ui-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    base_ = tmpl;
    options_.base = base_;
    options_.port = "sim";
    options_.audioIn = "null";
    options_.audioOut = "null";
    options_.synopStore = KESTREL_SYNOP_STORE;
  }
  void TearDown() override { fs::remove_all(base_); }
  QAction* ToolAction(CMainWindow* w, const QString& text) {
    for (QToolBar* bar : w->findChildren<QToolBar*>())
      for (QAction* a : bar->actions())
        if (a->text() == text) return a;
    return nullptr;
  }
  // The RTTY audio of text at the default set-up, fed through the core as stale blocks.
  void FeedRtty(CStationCore& core, const std::string& text) {
    CRttyTransmitter tx;
    tx.SetMode(kRttyAsync);
    tx.SetBaud(50.0f);
    tx.SetFreq(1275, 1700);
    ASSERT_EQ(tx.Init(11025, 1024), 1);
    for (char c : text) c == '\n' ? (tx.Transmit('\r'), tx.Transmit('\n')) : tx.Transmit(c);
    for (int idle = 0; idle < 12;) {
      AudioBlock* b = nullptr;
      ASSERT_EQ(NewAudioBlock(&b, 1024), 1);
      if (tx.GetBitCount() == 0) ++idle;
      tx.CreateAudio(b);
      b->tick = GetTickCount() - 200;
      core.ProcessBlock(b);
      FreeAudioBlock(b);
    }
  }
  std::string base_;
  KstlOptions options_;
};

}  // namespace

TEST_F(MainWindowTest, SelectingRttyAndTextArrivingUnderTheUsersSelection) {
  CStationApp app;
  ASSERT_EQ(app.Start(options_), -1) << app.Failure();
  CMainWindow* w = app.Window();
  QAction* rtty = ToolAction(w, "RTTY");
  ASSERT_NE(rtty, nullptr);
  rtty->trigger();
  EXPECT_EQ(app.Core().Decoder(), kDecoderRtty);
  EXPECT_EQ(w->PaneText(kPaneDecoder), "RTTY");
  EXPECT_EQ(w->PaneText(kPaneFrequency), "4581.513");

  FeedRtty(app.Core(), "FIRST LINE OF TEXT\nSECOND LINE OF TEXT\n");
  QTextEdit* view = w->TextView()->ReceiveEdit();
  ASSERT_NE(view->toPlainText().indexOf("SECOND LINE"), -1) << view->toPlainText().toStdString();
  QTextCursor c = view->textCursor();
  c.setPosition(2);
  c.setPosition(8, QTextCursor::KeepAnchor);
  view->setTextCursor(c);
  const QString selected = view->textCursor().selectedText();
  FeedRtty(app.Core(), "MORE TEXT ARRIVES WHILE THE USER HOLDS A SELECTION\n");
  EXPECT_NE(view->toPlainText().indexOf("HOLDS A SELECTION"), -1);
  EXPECT_EQ(view->textCursor().anchor(), 2);
  EXPECT_EQ(view->textCursor().position(), 8);
  EXPECT_EQ(view->textCursor().selectedText(), selected);
  w->close();
}

TEST_F(MainWindowTest, ClosingWritesThePlacementProfileAndSettingsAndRemovesTheWindowFile) {
  {
    CStationApp app;
    ASSERT_EQ(app.Start(options_), -1) << app.Failure();
    EXPECT_TRUE(fs::exists(base_ + "/THIS.WND"));
    EXPECT_EQ(fs::file_size(base_ + "/THIS.WND"), 4u);
    app.Window()->showNormal();
    app.Window()->setGeometry(30, 40, 900, 700);
    app.Window()->close();
  }
  EXPECT_FALSE(fs::exists(base_ + "/THIS.WND"));
  EXPECT_EQ(fs::file_size(base_ + "/KSTLCONFIG.CFG"), 3477u);
  CProfileFile ini;
  ASSERT_EQ(ini.Load(base_ + "/KSTL.INI"), 1);
  const std::string pos = ini.GetString("Settings", "WindowPos", "");
  EXPECT_EQ(std::count(pos.begin(), pos.end(), ','), 9) << pos;
  EXPECT_TRUE(ini.Has("RADIO", "receiver"));

  // A placement of a maximised window restores the maximised state and the normal rectangle.
  ini.SetString("Settings", "WindowPos", "2,3,-1,-1,-1,-1,10,10,800,600");
  std::string why;
  ASSERT_EQ(ini.Save(base_ + "/KSTL.INI", &why), 1);
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
  second.start(KESTREL_KSTL, {"--base", QString::fromStdString(base_), "--audio-in", "null",
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
