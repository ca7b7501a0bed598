// The receiver page and the decoder parameter pages on a real station core (simulated
// receiver, null sound devices): each control reaches the core's setter and field, Refresh
// shows the stored values without writing any back, controls the receiver lacks are disabled,
// and the decoder tabs select their decoders with the values shown.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QStandardItemModel>
#include <QWheelEvent>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/core/settings_fields.h"
#include "app/ui/decoder_pages.h"
#include "app/ui/receiver_page.h"
#include "spl/radio/receiver_table.h"
#include "spl/widgets/seven_segment.h"
#include "tests/common/station_fixture.h"
#include "tests/radio/rigctld_daemon.h"
#include "tests/ui/qt_app.h"

namespace {

using namespace stationtest;

constexpr int kFullReceiver = 12;  // every control of its own
constexpr int kBareReceiver = 11;  // four modes and nothing else
constexpr int kUnknownReceiver = 21;  // command set unknown: no control at all
constexpr int kRigctldReceiver = 24;  // hamlib's rigctld over TCP

// Counts the core's "receiver changed" reports and, like the main window, refreshes the page
// on each one.
// Keys as the keyboard sends them (press and release), so validators and Enter act as typed.
void Key(QWidget* w, int key, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &release);
}
void Type(QWidget* w, const QString& text) {
  for (QChar c : text) Key(w, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_Period, c);
}

class CCountingUi : public CStationUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void StatusPane(int pane, const std::string& text) override { panes[pane] = text; }
  void ReceiverChanged() override {
    ++changes;
    if (on_change) on_change();
  }
  std::vector<std::string> messages;
  std::map<int, std::string> panes;
  int changes = 0;
  std::function<void()> on_change;
};

class ReceiverPagesTest : public StationTest<CCountingUi> {
 protected:
  void TearDown() override {
    ui_.on_change = nullptr;
    receiver_.reset();
    decoders_.reset();
  }
  // The station on the receiver of this type (simulated unless a port is given), with both
  // pages over it.
  void Start(int type, std::string port = "") {
    if (port.empty()) port = "sim:" + std::to_string(type);
    ASSERT_EQ(StationTest::Start(port, [type](CSettingsRecord& r) { r.SetInt(kCfgReceiverType, type); }), 1)
        << Said();
    ASSERT_EQ(core_.Radio().Type(), type);
    ui_.messages.clear();
    OpenPages();
  }
  void OpenPages() {
    receiver_ = std::make_unique<CReceiverPage>(core_);
    decoders_ = std::make_unique<CDecoderPages>(core_);
    ui_.on_change = [this] { receiver_->Refresh(); };
  }
  // A control by its name (the instruments have no meta-object: found as widgets).
  template <class T>
  static T* Find(QWidget* page, const char* name) {
    T* w = dynamic_cast<T*>(page->findChild<QWidget*>(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  template <class T>
  T* Receiver(const char* name) { return Find<T>(receiver_.get(), name); }
  template <class T>
  T* Decoders(const char* name) { return Find<T>(decoders_.get(), name); }
  QString Shown() { return Receiver<CSevenSegment>("frequency")->Text().trimmed(); }
  int Int(int field) { return core_.Settings().GetInt(field); }
  double Frequency() { return core_.Settings().GetDouble(kCfgFrequency); }
  uint32_t Mask() { return core_.Radio().CapabilityMask; }
  void ChooseStep(int hz) {
    QComboBox* step = Receiver<QComboBox>("step");
    const int index = step->findData(hz);
    ASSERT_GE(index, 0) << hz;
    step->setCurrentIndex(index);
  }
  void Wheel(int angle) {
    CSevenSegment* display = Receiver<CSevenSegment>("frequency");
    const QPointF at(display->width() / 2.0, display->height() / 2.0);
    QWheelEvent event(at, display->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(display, &event);
  }

  int ModesOffered() {
    auto* modes = qobject_cast<QStandardItemModel*>(Receiver<QComboBox>("mode")->model());
    int offered = 0;
    for (int i = 0; i < kModeCount; ++i) offered += modes->item(i)->isEnabled();
    return offered;
  }
  void ExpectSwitches(bool enabled) {
    EXPECT_EQ(Receiver<QComboBox>("ifWidth")->isEnabled(), enabled);
    for (const char* name : {"att", "agc", "nb"}) EXPECT_EQ(Receiver<QCheckBox>(name)->isEnabled(), enabled) << name;
  }

  std::unique_ptr<CReceiverPage> receiver_;
  std::unique_ptr<CDecoderPages> decoders_;
};

}  // namespace

TEST_F(ReceiverPagesTest, TheEntryTunesOnEnterAndTheDisplayFollows) {
  Start(kFullReceiver);
  QLineEdit* entry = Receiver<QLineEdit>("entry");
  Type(entry, "7055.125");
  EXPECT_NE(Frequency(), 7055.125) << "typing alone must not tune";
  Key(entry, Qt::Key_Return);
  EXPECT_DOUBLE_EQ(Frequency(), 7055.125);
  EXPECT_EQ(ui_.panes[kPaneFrequency], "7055.125");
  EXPECT_EQ(Shown(), "7055.125");
  // The entry is selected: the next frequency typed replaces it.
  Type(entry, "518");
  Key(entry, Qt::Key_Enter);
  EXPECT_DOUBLE_EQ(Frequency(), 518.0);
  EXPECT_EQ(Shown(), "518.000");
}

TEST_F(ReceiverPagesTest, StepButtonsAndTheWheelTuneByTheChosenStep) {
  Start(kFullReceiver);
  core_.SetFrequency(7055.125);
  ChooseStep(1000);
  EXPECT_EQ(Int(kCfgStep), 1000);
  Receiver<QPushButton>("tuneUp")->click();
  EXPECT_DOUBLE_EQ(Frequency(), 7056.125);
  EXPECT_EQ(Shown(), "7056.125");
  ChooseStep(10);
  EXPECT_EQ(Int(kCfgStep), 10);
  for (int i = 0; i < 3; ++i) Receiver<QPushButton>("tuneDown")->click();
  EXPECT_DOUBLE_EQ(Frequency(), 7056.095);
  // Two notches up, one down; half notches wait for their other half.
  ChooseStep(5000);
  Wheel(240);
  EXPECT_DOUBLE_EQ(Frequency(), 7066.095);
  Wheel(-120);
  EXPECT_DOUBLE_EQ(Frequency(), 7061.095);
  Wheel(60);
  EXPECT_DOUBLE_EQ(Frequency(), 7061.095);
  Wheel(60);
  EXPECT_DOUBLE_EQ(Frequency(), 7066.095);
  // The dial does not go below 0 kHz.
  core_.SetFrequency(3.0);
  Receiver<QPushButton>("tuneDown")->click();
  EXPECT_DOUBLE_EQ(Frequency(), 0.0);
}

TEST_F(ReceiverPagesTest, ModeIfWidthAndSwitchesReachTheirFields) {
  Start(kFullReceiver);
  QComboBox* mode = Receiver<QComboBox>("mode");
  ASSERT_EQ(mode->count(), kModeCount);
  mode->setCurrentIndex(mode->findText("LSB"));
  EXPECT_EQ(Int(kCfgMode), kModeLSB);
  EXPECT_EQ(ui_.panes[kPaneMode], "LSB ");
  mode->setCurrentIndex(mode->findText("FM"));
  EXPECT_EQ(Int(kCfgMode), kModeFM);

  QComboBox* width = Receiver<QComboBox>("ifWidth");
  width->setCurrentIndex(width->findText("50 kHz"));
  EXPECT_EQ(Int(kCfgIfWidth), 50);

  const std::pair<const char*, int> switches[] = {
      {"att", kCfgAttenuator}, {"agc", kCfgAgc}, {"nb", kCfgNoiseBlanker}};
  for (auto [name, field] : switches) {
    QCheckBox* box = Receiver<QCheckBox>(name);
    ASSERT_TRUE(box->isEnabled()) << name;
    const int before = Int(field);
    box->click();
    EXPECT_EQ(Int(field), before ? 0 : 1) << name;
    box->click();
    EXPECT_EQ(Int(field), before) << name;
  }
}

// Without the receiver's own control the core keeps the level in its fallback field, and the
// page shows back the field it wrote.
TEST_F(ReceiverPagesTest, LevelsGoToTheReceiverOrBecomeTheAudioSquelchAndSoftVolume) {
  Start(kFullReceiver);
  for (int type : {kFullReceiver, kBareReceiver}) {
    SCOPED_TRACE(type);
    if (core_.Radio().Type() != type) {
      ui_.on_change = nullptr;
      receiver_.reset();
      ASSERT_EQ(core_.SwitchReceiver(type), 1);
      OpenPages();
    }
    ASSERT_EQ((Mask() & kCapSquelch) != 0, type == kFullReceiver) << "both branches are covered";
    QSlider* squelch = Receiver<QSlider>("squelch");
    QSlider* volume = Receiver<QSlider>("volume");
    ASSERT_TRUE(squelch->isEnabled() && volume->isEnabled());
    const int receiver_squelch = Int(kCfgSquelch), threshold = Int(kCfgSquelchThreshold);
    const int receiver_volume = Int(kCfgVolume), soft_volume = Int(kCfgSoftVolume);
    const int level = 60 + type, loud = 190 + type;
    squelch->setValue(level);
    volume->setValue(loud);
    EXPECT_EQ(Int((Mask() & kCapSquelch) ? kCfgSquelch : kCfgSquelchThreshold), level);
    EXPECT_EQ(Int((Mask() & kCapSquelch) ? kCfgSquelchThreshold : kCfgSquelch),
              (Mask() & kCapSquelch) ? threshold : receiver_squelch);
    EXPECT_EQ(Int((Mask() & kCapVolume) ? kCfgVolume : kCfgSoftVolume), loud);
    EXPECT_EQ(Int((Mask() & kCapVolume) ? kCfgSoftVolume : kCfgVolume),
              (Mask() & kCapVolume) ? soft_volume : receiver_volume);
    receiver_->Refresh();
    EXPECT_EQ(squelch->value(), level);
    EXPECT_EQ(volume->value(), loud);
  }
}

TEST_F(ReceiverPagesTest, RefreshShowsTheStoredValuesWithoutWritingAnyBack) {
  Start(kFullReceiver);
  // Change everything behind the page's back.
  ui_.on_change = nullptr;
  core_.SetFrequency(10000);
  core_.SetStep(9000);
  core_.SetMode(kModeAM);
  core_.SetIfWidth(15);
  core_.SetAttenuator(1);
  core_.SetAgc(1);
  core_.SetNoiseBlanker(1);
  core_.SetSquelch(33);
  core_.SetVolume(44);
  const std::vector<uint8_t> stored(core_.Settings().Bytes(),
                                    core_.Settings().Bytes() + kSettingsRecordSize);
  const int changes = ui_.changes;
  const auto panes = ui_.panes;

  receiver_->Refresh();
  EXPECT_EQ(ui_.changes, changes) << "Refresh called a setter";
  EXPECT_EQ(ui_.panes, panes);
  EXPECT_EQ(std::vector<uint8_t>(core_.Settings().Bytes(),
                                 core_.Settings().Bytes() + kSettingsRecordSize),
            stored);

  EXPECT_EQ(Shown(), "10000.000");
  EXPECT_EQ(Receiver<QComboBox>("step")->currentData().toInt(), 9000);
  EXPECT_EQ(Receiver<QComboBox>("mode")->currentText(), "AM");
  EXPECT_EQ(Receiver<QComboBox>("ifWidth")->currentData().toInt(), 15);
  for (const char* name : {"att", "agc", "nb"}) EXPECT_TRUE(Receiver<QCheckBox>(name)->isChecked()) << name;
  EXPECT_EQ(Receiver<QSlider>("squelch")->value(), 33);
  EXPECT_EQ(Receiver<QSlider>("volume")->value(), 44);

  // A step from a frequency record that the list lacks is shown as it is, still without a write.
  core_.SetStep(2500);
  receiver_->Refresh();
  EXPECT_EQ(Receiver<QComboBox>("step")->currentData().toInt(), 2500);
  EXPECT_EQ(Int(kCfgStep), 2500);
  core_.SetStep(2000);
  receiver_->Refresh();
  EXPECT_EQ(Receiver<QComboBox>("step")->currentData().toInt(), 2000);
  EXPECT_EQ(Receiver<QComboBox>("step")->findData(2500), -1) << "one odd step shown at a time";
}

TEST_F(ReceiverPagesTest, ControlsTheReceiverLacksAreDisabled) {
  Start(kBareReceiver);
  ASSERT_EQ(Mask() & (kCapAttenuator | kCapIFWidth | kCapAGC | kCapNB), 0u);
  ExpectSwitches(false);
  EXPECT_TRUE(Receiver<QSlider>("volume")->isEnabled());
  auto* modes = qobject_cast<QStandardItemModel*>(Receiver<QComboBox>("mode")->model());
  ASSERT_NE(modes, nullptr);
  for (int i = 0; i < kModeCount; ++i)
    EXPECT_EQ(modes->item(i)->isEnabled(), (Mask() & (1u << i)) != 0) << ModeName(1 << i);
  EXPECT_GT(ModesOffered(), 0);
  EXPECT_LT(ModesOffered(), kModeCount);

  // A receiver whose command set is unknown offers nothing; the full receiver everything.
  for (int type : {kUnknownReceiver, kFullReceiver}) {
    SCOPED_TRACE(type);
    receiver_.reset();
    ui_.on_change = nullptr;
    ASSERT_EQ(core_.SwitchReceiver(type), 1);
    OpenPages();
    EXPECT_EQ(ModesOffered() > 0, type == kFullReceiver);
    ExpectSwitches(type == kFullReceiver);
  }
}

TEST_F(ReceiverPagesTest, RigctldReceiverControlsReachTheDaemon) {
  if (rigctld_test::CRigctldDaemon::Program().empty())
    GTEST_SKIP() << "rigctld (Debian package libhamlib-utils) is not installed";
  rigctld_test::CRigctldDaemon daemon;
  const int port = daemon.Start();
  ASSERT_NE(port, 0) << "rigctld did not start listening";
  Start(kRigctldReceiver, "localhost:" + std::to_string(port));
  EXPECT_EQ(ModesOffered(), kModeCount - 1);  // all but ASF
  ExpectSwitches(true);
  for (const char* name : {"att", "agc", "nb"}) {
    QCheckBox* box = Receiver<QCheckBox>(name);
    box->setChecked(false);
    box->click();  // on, as a user would switch it
  }
  EXPECT_EQ(daemon.AskOne("l ATT"), "10");
  EXPECT_EQ(daemon.AskOne("l AGC"), "6");
  EXPECT_EQ(daemon.AskOne("u NB"), "1");
  QComboBox* mode = Receiver<QComboBox>("mode");
  mode->setCurrentIndex(mode->findData(kModeFM));
  EXPECT_EQ(daemon.Mode(), "FM");
  EXPECT_TRUE(ui_.messages.empty()) << ui_.messages[0];
}

TEST_F(ReceiverPagesTest, ChoosingNavtexSetsItsStandardToneAndSelectsIt) {
  Start(kFullReceiver);
  ASSERT_TRUE(core_.SelectDecoder(kDecoderCw));
  QSpinBox* tone1 = Decoders<QSpinBox>("tone1");
  QSpinBox* tone2 = Decoders<QSpinBox>("tone2");
  tone1->setValue(1000);
  tone2->setValue(1450);
  EXPECT_EQ(Decoders<QLabel>("shift")->text(), "450 Hz");
  Decoders<QRadioButton>("navtex")->click();
  EXPECT_EQ(core_.Decoder(), kDecoderNavtex);
  EXPECT_EQ(core_.GroupActive(kGroupText), 1);
  EXPECT_EQ(Int(kCfgRttyTone1), 1615);
  EXPECT_EQ(Int(kCfgRttyTone2), 1785);
  EXPECT_EQ(Int(kCfgRttyBaud), 100);
  EXPECT_EQ(Int(kCfgRttyInverted), 1);
  // ... and shows them.
  EXPECT_EQ(tone1->value(), 1615);
  EXPECT_EQ(tone2->value(), 1785);
  EXPECT_EQ(Decoders<QComboBox>("baud")->currentText(), "100");
  EXPECT_TRUE(Decoders<QCheckBox>("inverted")->isChecked());
  EXPECT_EQ(Decoders<QLabel>("shift")->text(), "170 Hz");
  // Apply keeps it.
  Decoders<QPushButton>("applyTeleprinter")->click();
  EXPECT_EQ(core_.Decoder(), kDecoderNavtex);
  EXPECT_EQ(Int(kCfgRttyTone1), 1615);
  EXPECT_EQ(ui_.messages, std::vector<std::string>{});
}

TEST_F(ReceiverPagesTest, ApplyWritesTheTeleprinterValuesThenSelects) {
  Start(kFullReceiver);
  Decoders<QRadioButton>("rttySync")->click();
  EXPECT_EQ(core_.Decoder(), kDecoderRttySync);
  QComboBox* baud = Decoders<QComboBox>("baud");
  baud->setEditText("");
  Type(baud->lineEdit(), "110");  // not in the list: typed
  Decoders<QSpinBox>("tone1")->setValue(2125);
  Decoders<QSpinBox>("tone2")->setValue(2295);
  QComboBox* stop = Decoders<QComboBox>("stopBits");
  stop->setCurrentIndex(stop->findText("2"));
  Decoders<QCheckBox>("inverted")->click();
  const int inverted = Decoders<QCheckBox>("inverted")->isChecked() ? 1 : 0;
  Decoders<QRadioButton>("rtty")->click();
  Decoders<QPushButton>("applyTeleprinter")->click();
  EXPECT_EQ(core_.Decoder(), kDecoderRtty);
  EXPECT_EQ(Int(kCfgRttyBaud), 110);
  EXPECT_EQ(Int(kCfgRttyTone1), 2125);
  EXPECT_EQ(Int(kCfgRttyTone2), 2295);
  EXPECT_EQ(Int(kCfgRttyInverted), inverted);
  EXPECT_DOUBLE_EQ(core_.Settings().GetDouble(kCfgRttyStopBits), 2.0);
  EXPECT_EQ(Int(kCfgRttyCenter), 2210) << "the core applied the tones";
  EXPECT_EQ(ui_.messages, std::vector<std::string>{});
}

TEST_F(ReceiverPagesTest, AFailingSelectionKeepsThePagesValues) {
  Start(kFullReceiver);
  QSpinBox* tone1 = Decoders<QSpinBox>("tone1");
  QSpinBox* tone2 = Decoders<QSpinBox>("tone2");
  tone1->setValue(1500);
  tone2->setValue(1500);  // equal tones: the core refuses them and says why
  Decoders<QPushButton>("applyTeleprinter")->click();
  EXPECT_FALSE(ui_.messages.empty());
  EXPECT_EQ(tone1->value(), 1500);
  EXPECT_EQ(tone2->value(), 1500);
}

TEST_F(ReceiverPagesTest, CwAndPsk31TabsStoreOnApplyAndSelect) {
  Start(kFullReceiver);
  Decoders<QSpinBox>("cwCenter")->setValue(750);
  Decoders<QSpinBox>("cwBandwidth")->setValue(120);
  EXPECT_NE(Int(kCfgCwCenter), 750) << "nothing is stored before Apply";
  Decoders<QPushButton>("applyCw")->click();
  EXPECT_EQ(core_.Decoder(), kDecoderCw);
  EXPECT_EQ(Int(kCfgCwCenter), 750);
  EXPECT_EQ(Int(kCfgCwBandwidth), 120);
  Decoders<QRadioButton>("qpsk31")->click();
  Decoders<QPushButton>("applyPsk31")->click();
  EXPECT_EQ(core_.Decoder(), kDecoderQpsk31);
  Decoders<QRadioButton>("bpsk31")->click();
  EXPECT_EQ(core_.Decoder(), kDecoderBpsk31);
  EXPECT_EQ(ui_.messages, std::vector<std::string>{});
}

TEST_F(ReceiverPagesTest, DecoderRefreshMarksTheCurrentDecoderAndShowsTheSettings) {
  Start(kFullReceiver);
  core_.Settings().SetInt(kCfgCwCenter, 640);
  core_.Settings().SetInt(kCfgRttyTone1, 2000);
  ASSERT_TRUE(core_.SelectDecoder(kDecoderSitor));
  decoders_->Refresh();
  EXPECT_TRUE(Decoders<QRadioButton>("sitor")->isChecked());
  EXPECT_EQ(Decoders<QSpinBox>("cwCenter")->value(), 640);
  EXPECT_EQ(Decoders<QSpinBox>("tone1")->value(), 2000);
  EXPECT_EQ(core_.Decoder(), kDecoderSitor) << "Refresh selects nothing";
  ASSERT_TRUE(core_.SelectDecoder(kDecoderQpsk31));
  decoders_->Refresh();
  EXPECT_TRUE(Decoders<QRadioButton>("qpsk31")->isChecked());
  EXPECT_TRUE(Decoders<QRadioButton>("sitor")->isChecked()) << "the other tab keeps its choice";
  // The current decoder's tab is the one shown.
  auto* tabs = decoders_->findChild<QTabWidget*>();
  ASSERT_NE(tabs, nullptr);
  for (auto [code, tab] : {std::pair{kDecoderCw, "CW"}, {kDecoderQpsk31, "PSK31"},
                           {kDecoderSynop, "RTTY / SITOR / NAVTEX"}, {kDecoderSstv, "SSTV"}}) {
    ASSERT_TRUE(core_.SelectDecoder(code));
    decoders_->Refresh();
    EXPECT_EQ(tabs->tabText(tabs->currentIndex()), tab);
  }
}
