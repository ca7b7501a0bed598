// The receiver panel on simulated type-12 receivers: with a connection of its own (a second
// simulated receiver, whose state shows what arrived) and on the station's receiver (through
// the core's setters). The knob tunes by tenths of the step, the display shows the frequency
// as the panel writes it, the frequency dialog refuses what is not a number, the controls reach
// the receiver, and the state comes back from KSTL.INI after the panel was closed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QWheelEvent>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/core/profile_file.h"
#include "app/core/settings_fields.h"
#include "app/core/station_paths.h"
#include "app/ui/enter_freq.h"
#include "app/ui/receiver_panel.h"
#include "spl/radio/receiver_table.h"
#include "spl/radio/sim_receiver.h"
#include "spl/widgets/dot_matrix.h"
#include "spl/widgets/knob.h"
#include "spl/widgets/lamp.h"
#include "spl/widgets/potentiometer.h"
#include "tests/common/station_fixture.h"
#include "tests/ui/qt_app.h"

namespace {

using namespace stationtest;

constexpr int kWaitMs = 5000;  // for the simulated receiver's thread; never reached when it works

// Runs the event loop until done() holds (the panel's timers and the receiver's replies).
bool WaitFor(const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void Wheel(QWidget* w, int notches) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  QWheelEvent event(at, w->mapToGlobal(at), QPoint(), QPoint(0, notches * CKnob::kWheelNotch),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &event);
}

void Click(QWidget* w, QPointF at) {
  QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

void TypeKey(QWidget* w, QChar c) {
  QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
  QApplication::sendEvent(w, &press);
}

class ReceiverPanelTest : public StationTest<> {
 protected:
  void SetUp() override { ASSERT_EQ(station_.Init(&ui_), 1); }
  void TearDown() override { panel_.reset(); }
  // The station itself on the simulated type-12 receiver.
  void StartStation() { ASSERT_EQ(core_.Start(NullDeviceOptions<StationOptions>()), 1); }
  // A panel with a connection of its own to a second simulated receiver, its start-up
  // state sent there (the report queries come last).
  void OpenOwn() {
    if (!sim_.Type()) {
      ASSERT_EQ(sim_.Init(CPCR1000Modul::kReceiverType), 1);
    }
    sim_.Clear();
    panel_ = std::make_unique<CPCR1000Modul>(core_);
    ASSERT_EQ(panel_->Init(sim_.DevicePath()), 1) << panel_->LastError().toStdString();
    ASSERT_EQ(panel_->SharesStationReceiver(), 0);
    ASSERT_TRUE(WaitFor([&] { return Sent("smeter?"); }));
  }
  bool Sent(const std::string& command) {
    for (const std::string& c : sim_.Commands())
      if (c == command) return true;
    return false;
  }
  template <class T>
  T* Find(const char* name) {
    T* w = dynamic_cast<T*>(panel_->findChild<QWidget*>(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QString Display() { return Find<CDotMatrix>("frequency")->Text(); }
  double SimKHz() { return sim_.State().frqKHz; }
  // The frequency dialog the display opens.
  CEnterFreq* OpenEntry() {
    CDotMatrix* display = Find<CDotMatrix>("frequency");
    Click(display, QPointF(display->width() / 2.0, display->height() / 2.0));
    for (CEnterFreq* entry : panel_->findChildren<CEnterFreq*>())
      if (entry->isVisible()) return entry;
    return nullptr;
  }

  CSimReceiver sim_;
  std::unique_ptr<CPCR1000Modul> panel_;
};

}  // namespace

TEST(ReceiverPanelText, FrequencyStepAndBandwidthAsTheDisplaysShowThem) {
  const std::pair<double, const char*> frequencies[] = {
      {14230.5, "   14.230,500 KHz"}, {0.0, "        0,000 KHz"}, {1296000.25, "1.296.000,250 KHz"},
      {9999999.0, "9.999.999,000 KHz"}};
  for (auto [kHz, text] : frequencies) {
    EXPECT_EQ(CPCR1000Modul::FrequencyText(kHz), QString(text));
    EXPECT_EQ(CPCR1000Modul::FrequencyText(kHz).size(), CPCR1000Modul::kDisplayCells) << kHz;
  }
  EXPECT_EQ(CPCR1000Modul::StepText(8330), QStringLiteral(" 8.33 KHz"));
  EXPECT_EQ(CPCR1000Modul::StepText(1000000), QStringLiteral("    1 MHz"));
  EXPECT_EQ(CPCR1000Modul::IfText(3), QStringLiteral("  3 KHz"));
}

TEST_F(ReceiverPanelTest, KnobTenDetentsAt100HzTunesTheOwnReceiverUp100Hz) {
  OpenOwn();
  // The default state reached the receiver: on, 10 MHz.
  EXPECT_DOUBLE_EQ(SimKHz(), 10000.0);
  EXPECT_EQ(sim_.State().on, 1);

  panel_->SetFreq(14230.5);
  EXPECT_EQ(Display(), QStringLiteral("   14.230,500 KHz"));
  ASSERT_TRUE(WaitFor([&] { return SimKHz() == 14230.5; }));
  Wheel(Find<CKnob>("knob"), 10);
  EXPECT_DOUBLE_EQ(panel_->Frequency(), 14230.6);
  EXPECT_EQ(Display(), QStringLiteral("   14.230,600 KHz"));
  EXPECT_TRUE(WaitFor([&] { return SimKHz() == 14230.6; })) << SimKHz();
  // And back down by three detents, on a 1 kHz step.
  Find<QToolButton>("stepUp")->click();
  Wheel(Find<CKnob>("knob"), -3);
  EXPECT_DOUBLE_EQ(panel_->Frequency(), 14230.3);
  EXPECT_TRUE(WaitFor([&] { return SimKHz() == 14230.3; })) << SimKHz();
  // The step and the IF bandwidth stop at the ends of their tables.
  for (int i = 0; i < 20; ++i) Find<QToolButton>("stepDown")->click();
  EXPECT_EQ(panel_->StepHz(), 1.0);
  for (int i = 0; i < 20; ++i) Find<QToolButton>("stepUp")->click();
  EXPECT_EQ(Find<CDotMatrix>("step")->Text(), QStringLiteral("    1 MHz"));
  for (int i = 0; i < 9; ++i) Find<QToolButton>("stepDown")->click();
  for (int i = 0; i < 9; ++i) Find<QToolButton>("ifUp")->click();
  EXPECT_EQ(Find<CDotMatrix>("ifWidth")->Text(), QStringLiteral("230 KHz"));
  EXPECT_TRUE(WaitFor([&] { return sim_.State().ifw == 230; }));
  // The dial stops at 0 and at 9999999 kHz.
  panel_->SetFreq(0.05);
  Wheel(Find<CKnob>("knob"), -100);  // 100 Hz down on the 10 Hz step
  EXPECT_DOUBLE_EQ(panel_->Frequency(), 0.0);
  panel_->SetFreq(2e7);
  EXPECT_DOUBLE_EQ(panel_->Frequency(), CPCR1000Modul::kMaxKHz);
  EXPECT_EQ(Display(), QStringLiteral("9.999.999,000 KHz"));
}

TEST_F(ReceiverPanelTest, ControlsReachTheOwnReceiver) {
  OpenOwn();
  Find<QPushButton>("CW")->click();
  EXPECT_TRUE(WaitFor([&] { return sim_.State().mode == kModeCW; }));
  EXPECT_EQ(panel_->ModeIndex(), 2);
  Find<QToolButton>("ifUp")->click();
  Find<QToolButton>("ifUp")->click();
  EXPECT_EQ(Find<CDotMatrix>("ifWidth")->Text(), QStringLiteral(" 15 KHz"));
  EXPECT_TRUE(WaitFor([&] { return sim_.State().ifw == 15; }));
  Find<QPushButton>("ATT")->click();
  EXPECT_TRUE(WaitFor([&] { return sim_.State().att == 1; }));
  EXPECT_EQ(Find<CLamp>("attLamp")->IsOn(), 1);
  Find<QPushButton>("AGC")->click();
  EXPECT_TRUE(WaitFor([&] { return sim_.State().agc == 1; }));
  Find<QPushButton>("NB")->click();
  EXPECT_TRUE(WaitFor([&] { return sim_.State().nb == 1; }));
  Find<QPushButton>("NB")->click();
  EXPECT_TRUE(WaitFor([&] { return sim_.State().nb == 0; }));

  // The potentiometers: volume to full, squelch to a quarter, the IF shift to 0x20.
  CPotentiometer* volume = Find<CPotentiometer>("volume");
  Click(volume, volume->PointOf(255));
  EXPECT_EQ(panel_->Volume(), 255);
  EXPECT_TRUE(WaitFor([&] { return sim_.State().vol == 255; }));
  CPotentiometer* squelch = Find<CPotentiometer>("squelch");
  Click(squelch, squelch->PointOf(64));
  EXPECT_NEAR(panel_->Squelch(), 64, 1);
  EXPECT_TRUE(WaitFor([&] { return sim_.State().sql == panel_->Squelch(); }));
  sim_.Clear();
  panel_->SetIFS(0x20);
  EXPECT_EQ(Find<CPotentiometer>("ifShift")->Value(), 0x20);
  EXPECT_TRUE(WaitFor([&] { return Sent("set J4320"); }));

  // The receiver's signal and squelch reports reach the S-meter and the lamp.
  sim_.SetSignal(200);
  EXPECT_TRUE(WaitFor([&] { return panel_->GetSMeter() == 200 && panel_->GetSquelch() == 1; }));
  EXPECT_TRUE(WaitFor([&] { return Find<CLamp>("squelchLamp")->IsOn() == 1; }));
  sim_.SetSignal(10);
  EXPECT_TRUE(WaitFor([&] { return panel_->GetSquelch() == 0; }));
  EXPECT_TRUE(sim_.Faults().empty()) << sim_.Faults().front();
}

TEST_F(ReceiverPanelTest, TheFrequencyDialogRefusesWhatIsNotANumber) {
  OpenOwn();
  panel_->SetFreq(14230.5);
  for (const char* bad : {"", "-5"}) {
    CEnterFreq* entry = OpenEntry();
    ASSERT_NE(entry, nullptr);
    QLineEdit* text = entry->findChild<QLineEdit*>("frequencyText");
    EXPECT_EQ(text->text(), QStringLiteral("14230.500"));
    text->setText(QString(bad));
    entry->findChild<QPushButton*>("KHz")->click();
    EXPECT_TRUE(entry->isVisible()) << bad;
    EXPECT_FALSE(entry->Message().isEmpty()) << bad;
    EXPECT_DOUBLE_EQ(panel_->Frequency(), 14230.5) << bad;
    entry->reject();
    QApplication::processEvents();
  }
  // "abc" is called by its name.
  CEnterFreq* entry = OpenEntry();
  entry->findChild<QLineEdit*>("frequencyText")->setText("abc");
  entry->findChild<QPushButton*>("MHz")->click();
  EXPECT_TRUE(entry->Message().contains("abc"));
  EXPECT_TRUE(entry->Message().contains("not a number"));
  // 0 keeps the dialog open with any button.
  entry->findChild<QLineEdit*>("frequencyText")->setText("0");
  entry->findChild<QPushButton*>("GHz")->click();
  EXPECT_TRUE(entry->isVisible());
  EXPECT_DOUBLE_EQ(panel_->Frequency(), 14230.5);
  // 7.05 and the key m: 7050 kHz, tuned, the dialog gone.
  QLineEdit* text = entry->findChild<QLineEdit*>("frequencyText");
  text->setText("7.05");
  TypeKey(text, 'M');
  EXPECT_EQ(text->text(), QStringLiteral("7.05"));  // the key pressed the button, not typed
  EXPECT_DOUBLE_EQ(panel_->Frequency(), 7050.0);
  EXPECT_EQ(Display(), QStringLiteral("    7.050,000 KHz"));
  EXPECT_TRUE(WaitFor([&] { return SimKHz() == 7050.0; }));
  // A comma before the decimals is a decimal point too.
  entry = OpenEntry();
  ASSERT_NE(entry, nullptr);
  entry->findChild<QLineEdit*>("frequencyText")->setText("14230,6");
  entry->findChild<QPushButton*>("KHz")->click();
  EXPECT_DOUBLE_EQ(panel_->Frequency(), 14230.6);
}

TEST_F(ReceiverPanelTest, TheStateComesBackFromKstlIniAfterClosing) {
  OpenOwn();
  // Beyond what the receiver tunes (it refuses it), and in Hz far beyond 32 bits: the panel
  // keeps it all the same.
  panel_->SetFreq(9876543.21);
  Find<QToolButton>("stepDown")->click();
  Find<QPushButton>("AM")->click();
  Find<QPushButton>("AGC")->click();
  Find<QToolButton>("ifUp")->click();
  panel_->SetVolume(77);
  panel_->SetSquelch(33);
  panel_->SetIFS(200);
  panel_->move(40, 60);
  panel_->close();
  EXPECT_FALSE(panel_->isVisible());

  // Written to the file at once, the frequency in Hz.
  CProfileFile ini;
  ASSERT_EQ(ini.Load((fs::path(base_) / kProfileFileName).string()), 1);
  const std::string section = panel_->StateSection();
  EXPECT_EQ(ini.GetString(section, "Frequency", ""), "9876543210");
  EXPECT_EQ(ini.GetInt(section, "Mode", -1), 3);

  panel_.reset();  // switches the receiver off
  EXPECT_TRUE(WaitFor([&] { return sim_.State().on == 0; }));
  OpenOwn();
  EXPECT_DOUBLE_EQ(panel_->Frequency(), 9876543.21);
  EXPECT_EQ(Display(), QStringLiteral("9.876.543,210 KHz"));
  EXPECT_EQ(Find<CDotMatrix>("step")->Text(), QStringLiteral("   10 Hz "));
  EXPECT_TRUE(Find<QPushButton>("AGC")->isChecked());
  EXPECT_EQ(Find<CPotentiometer>("ifShift")->Value(), 200);
  EXPECT_EQ(panel_->pos(), QPoint(40, 60));
  // ... and sent again to the receiver (all but that frequency, which it refuses).
  const SimState s = sim_.State();
  EXPECT_EQ(s.on, 1);
  EXPECT_EQ(s.mode, kModeAM);
  EXPECT_EQ(s.ifw, 6);
  EXPECT_EQ(s.vol, 77);
  EXPECT_EQ(s.sql, 33);
  EXPECT_EQ(s.agc, 1);
  EXPECT_TRUE(Sent("set J43C8"));
  // A frequency it tunes comes back and is tuned.
  panel_->SetFreq(1296000.25);
  panel_->close();
  panel_.reset();
  OpenOwn();
  EXPECT_DOUBLE_EQ(panel_->Frequency(), 1296000.25);
  EXPECT_DOUBLE_EQ(sim_.State().frqKHz, 1296000.25);
}

TEST_F(ReceiverPanelTest, OnTheStationsPortThePanelDrivesTheStationsReceiver) {
  // Not connected yet: refused, with the reason.
  panel_ = std::make_unique<CPCR1000Modul>(core_);
  EXPECT_EQ(panel_->Init(""), 0);
  EXPECT_TRUE(panel_->LastError().contains("not connected"));
  EXPECT_FALSE(panel_->isVisible());
  // A port that does not open: refused, naming it.
  EXPECT_EQ(panel_->Init("/dev/no-such-receiver"), 0);
  EXPECT_TRUE(panel_->LastError().contains("/dev/no-such-receiver")) << panel_->LastError().toStdString();
  EXPECT_FALSE(panel_->isVisible());

  StartStation();
  core_.SetFrequency(14230.5);
  core_.SetMode(kModeLSB);
  // The port named by its path, or by a link to it, is the station's port too.
  const std::string link = (fs::path(base_) / "receiver-link").string();
  fs::create_symlink(core_.Radio().PortDevice(), link);
  for (const std::string& port : {std::string(), core_.Radio().PortDevice(), link}) {
    panel_ = std::make_unique<CPCR1000Modul>(core_);
    ASSERT_EQ(panel_->Init(port), 1) << panel_->LastError().toStdString();
    EXPECT_EQ(panel_->SharesStationReceiver(), 1);
    EXPECT_EQ(panel_->Port(), 0);  // no second connection to the port
    // It shows the station's tuning rather than retuning it.
    EXPECT_EQ(Display(), QStringLiteral("   14.230,500 KHz"));
    EXPECT_TRUE(Find<QPushButton>("LSB")->isChecked());
  }
  QApplication::processEvents();
  Wheel(Find<CKnob>("knob"), 10);
  EXPECT_DOUBLE_EQ(core_.Settings().GetDouble(kCfgFrequency), 14230.6);
  EXPECT_DOUBLE_EQ(core_.Radio().LastFrq(), 14230.6);
  EXPECT_EQ(Display(), QStringLiteral("   14.230,600 KHz"));
  Find<QPushButton>("WFM")->click();
  EXPECT_EQ(core_.Settings().GetInt(kCfgMode), kModeWFM);
  Find<QToolButton>("ifUp")->click();
  EXPECT_EQ(core_.Settings().GetInt(kCfgIfWidth), 6);
  Find<QPushButton>("ATT")->click();
  EXPECT_EQ(core_.Settings().GetInt(kCfgAttenuator), 1);
  panel_->SetVolume(90);
  EXPECT_EQ(core_.Settings().GetInt(kCfgVolume), 90);

  // Tuned elsewhere (the receiver page): the panel follows.
  core_.SetFrequency(7023.0);
  EXPECT_TRUE(WaitFor([&] { return Display() == QStringLiteral("    7.023,000 KHz"); }));
  // Closing it leaves the station's receiver on.
  panel_->close();
  panel_.reset();
  EXPECT_EQ(core_.Connected(), 1);
  EXPECT_NE(core_.Radio().Port(), 0);

  // Opened as the main window opens it: deleted when closed, the state kept.
  QPointer<CPCR1000Modul> owned = new CPCR1000Modul(core_);
  owned->setAttribute(Qt::WA_DeleteOnClose);
  ASSERT_EQ(owned->Init(""), 1);
  owned->StepBy(2);
  const std::string section = owned->StateSection();
  owned->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(owned.isNull());
  EXPECT_EQ(core_.Profile().GetInt(section, "Tuningstep", -1), 4);
  EXPECT_EQ(core_.Connected(), 1);
}
