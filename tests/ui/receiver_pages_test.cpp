// The receiver page and the decoder parameter pages on a real station core (simulated
// receiver, null sound devices): each control reaches the core's setter and field, Refresh
// shows the stored values without writing any back, controls the receiver lacks are disabled,
// and the decoder tabs select their decoders with the values shown.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QKeyEvent>
#include <QWheelEvent>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/core/page_windows.h"
#include "app/core/settings_fields.h"
#include "app/core/station_core.h"
#include "app/ui/decoder_pages.h"
#include "app/ui/receiver_page.h"
#include "spl/audio/sound_device.h"
#include "spl/platform/message_loop.h"
#include "spl/radio/receiver_table.h"
#include "spl/widgets/lamp.h"
#include "spl/widgets/s_meter.h"
#include "spl/widgets/seven_segment.h"
#include "tests/ui/qt_app.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFullReceiver = 12;  // every control of its own
constexpr int kBareReceiver = 11;  // four modes and nothing else

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

class ReceiverPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    char tmpl[] = "/tmp/kestrel-pages-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    base_ = tmpl;
    loop_.SetOrphanHandler(DiscardAudioMessage);
  }
  void TearDown() override {
    ui_.on_change = nullptr;
    receiver_.reset();
    decoders_.reset();
    core_.Shutdown();
    loop_.Pump();
    fs::remove_all(base_);
  }
  // The station on the simulated receiver of this type, with both pages over it.
  void Start(int type) {
    ASSERT_EQ(core_.Init(base_, &ui_, &pages_), 1);
    StationOptions o;
    o.port = "sim:" + std::to_string(type);
    o.audioIn = "null";
    o.audioOut = "null";
    o.synopStore = KESTREL_SYNOP_STORE;
    ASSERT_EQ(core_.Start(o), 1) << (ui_.messages.empty() ? "" : ui_.messages[0]);
    ASSERT_EQ(core_.Radio().Type(), type);
    ui_.messages.clear();
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
  void CheckLevels(int type);
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

  std::string base_;
  CMessageLoop loop_;
  CLoopPageHost pages_{loop_};
  CCountingUi ui_;
  CStationCore core_;
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
  ASSERT_EQ(width->count(), 5);
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

// Without the receiver's own control the core keeps the level in its fallback field.
void ReceiverPagesTest::CheckLevels(int type) {
  Start(type);
  QSlider* squelch = Receiver<QSlider>("squelch");
  QSlider* volume = Receiver<QSlider>("volume");
  ASSERT_TRUE(squelch->isEnabled());
  ASSERT_TRUE(volume->isEnabled());
  const int receiver_squelch = Int(kCfgSquelch), threshold = Int(kCfgSquelchThreshold);
  const int receiver_volume = Int(kCfgVolume), soft_volume = Int(kCfgSoftVolume);
  squelch->setValue(77);
  volume->setValue(201);
  if (Mask() & kCapSquelch) {
    EXPECT_EQ(Int(kCfgSquelch), 77);
    EXPECT_EQ(Int(kCfgSquelchThreshold), threshold);
  } else {
    EXPECT_EQ(Int(kCfgSquelchThreshold), 77);
    EXPECT_EQ(Int(kCfgSquelch), receiver_squelch);
  }
  if (Mask() & kCapVolume) {
    EXPECT_EQ(Int(kCfgVolume), 201);
    EXPECT_EQ(Int(kCfgSoftVolume), soft_volume);
  } else {
    EXPECT_EQ(Int(kCfgSoftVolume), 201);
    EXPECT_EQ(Int(kCfgVolume), receiver_volume);
  }
  // The page shows back the field it wrote, not the other one.
  receiver_->Refresh();
  EXPECT_EQ(squelch->value(), 77);
  EXPECT_EQ(volume->value(), 201);
}

TEST_F(ReceiverPagesTest, LevelsGoToTheReceiverThatHasItsOwnSquelchAndVolume) {
  CheckLevels(kFullReceiver);
}

TEST_F(ReceiverPagesTest, LevelsBecomeTheAudioSquelchAndSoftVolumeWithoutThem) {
  CheckLevels(kBareReceiver);
}

TEST_F(ReceiverPagesTest, BothSquelchBranchesAreCovered) {
  ASSERT_TRUE(FindReceiverType(kFullReceiver)->mask & kCapSquelch);
  ASSERT_FALSE(FindReceiverType(kBareReceiver)->mask & kCapSquelch);
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
  const uint32_t mask = Mask();
  ASSERT_EQ(mask & (kCapAttenuator | kCapIFWidth | kCapAGC | kCapNB), 0u);
  EXPECT_FALSE(Receiver<QComboBox>("ifWidth")->isEnabled());
  for (const char* name : {"att", "agc", "nb"}) EXPECT_FALSE(Receiver<QCheckBox>(name)->isEnabled()) << name;
  EXPECT_TRUE(Receiver<QSlider>("volume")->isEnabled());
  EXPECT_TRUE(Receiver<QSlider>("squelch")->isEnabled());
  auto* modes = qobject_cast<QStandardItemModel*>(Receiver<QComboBox>("mode")->model());
  ASSERT_NE(modes, nullptr);
  int offered = 0;
  for (int i = 0; i < kModeCount; ++i) {
    EXPECT_EQ(modes->item(i)->isEnabled(), (mask & (1u << i)) != 0) << ModeName(1 << i);
    offered += modes->item(i)->isEnabled();
  }
  EXPECT_GT(offered, 0);
  EXPECT_LT(offered, kModeCount);

  // The full receiver enables them all again.
  receiver_.reset();
  ui_.on_change = nullptr;
  ASSERT_EQ(core_.SwitchReceiver(kFullReceiver), 1);
  receiver_ = std::make_unique<CReceiverPage>(core_);
  EXPECT_TRUE(Receiver<QComboBox>("ifWidth")->isEnabled());
  for (const char* name : {"att", "agc", "nb"}) EXPECT_TRUE(Receiver<QCheckBox>(name)->isEnabled()) << name;
}

TEST_F(ReceiverPagesTest, SMeterAndSquelchLampShowWhatTheyAreGiven) {
  Start(kFullReceiver);
  CLamp* lamp = Receiver<CLamp>("squelchLamp");
  ASSERT_NE(lamp, nullptr);
  receiver_->SetSquelchLamp(1);
  EXPECT_EQ(lamp->IsOn(), 1);
  receiver_->SetSquelchLamp(0);
  EXPECT_EQ(lamp->IsOn(), 0);
  CSMeter* meter = Receiver<CSMeter>("smeter");
  ASSERT_NE(meter, nullptr);
  receiver_->SetSMeter(180);
  EXPECT_EQ(meter->Value(), 180);
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

TEST_F(ReceiverPagesTest, CwApplyStoresTheFilterAndSelectsCw) {
  Start(kFullReceiver);
  Decoders<QSpinBox>("cwCenter")->setValue(750);
  Decoders<QSpinBox>("cwBandwidth")->setValue(120);
  EXPECT_NE(Int(kCfgCwCenter), 750) << "nothing is stored before Apply";
  Decoders<QPushButton>("applyCw")->click();
  EXPECT_EQ(core_.Decoder(), kDecoderCw);
  EXPECT_EQ(Int(kCfgCwCenter), 750);
  EXPECT_EQ(Int(kCfgCwBandwidth), 120);
  EXPECT_EQ(core_.GroupActive(kGroupText), 1);
  EXPECT_EQ(ui_.messages, std::vector<std::string>{});
}

TEST_F(ReceiverPagesTest, Psk31TabSelectsBpskOrQpskAndNamesTheCarrier) {
  Start(kFullReceiver);
  EXPECT_TRUE(Decoders<QLabel>("pskCarrier")->text().contains("1000 Hz"));
  Decoders<QRadioButton>("qpsk31")->click();
  Decoders<QPushButton>("applyPsk31")->click();
  EXPECT_EQ(core_.Decoder(), kDecoderQpsk31);
  Decoders<QRadioButton>("bpsk31")->click();
  EXPECT_EQ(core_.Decoder(), kDecoderBpsk31);
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
}
