// The receiver page: tuning on top, the receiver's switches below, audio and signal at the
// bottom. Every control writes through the core; Refresh only shows what the core stored.
#include "app/ui/receiver_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardItemModel>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "app/core/settings_fields.h"
#include "app/core/station_core.h"
#include "app/lists/frq_record.h"
#include "spl/radio/receiver_table.h"
#include "spl/widgets/lamp.h"
#include "spl/widgets/s_meter.h"
#include "spl/widgets/seven_segment.h"

namespace {

// The display: 9 digits, 3 of them behind the point (kHz to the Hz).
constexpr int kDisplayDigits = 9;
constexpr int kDisplayDecimals = 3;
constexpr int kDisplayMinHeight = 72;
constexpr double kMaxKHz = 999999.999;  // the most the display can show
constexpr double kHzPerKHz = 1000.0;
constexpr int kWheelNotch = 120;        // QWheelEvent's angle of one notch
constexpr int kLevelMax = 255;          // volume and squelch range of the setters

// Tuning steps offered, in Hz (the unit the settings keep).
constexpr int kStepsHz[] = {10, 100, 1000, 5000, 9000, 10000, 100000};

// The switches: each shown from its field, enabled by its capability bit.
struct CheckRow {
  const char* name;
  const char* label;
  uint32_t capability;
  int field;
  void (CStationCore::*set)(int);
};
constexpr CheckRow kCheckRows[] = {
    {"att", "ATT", kCapAttenuator, kCfgAttenuator, &CStationCore::SetAttenuator},
    {"agc", "AGC", kCapAGC, kCfgAgc, &CStationCore::SetAgc},
    {"nb", "NB", kCapNB, kCfgNoiseBlanker, &CStationCore::SetNoiseBlanker},
};

// The levels: with the receiver's own control the receiver's field is shown; without it the
// core's setter stores into the fallback field, so that one is shown.
struct SliderRow {
  const char* name;
  const char* label;          // the receiver's own control
  const char* fallbackLabel;  // the program's control standing in for it
  uint32_t capability;
  int field;
  int fallbackField;
  void (CStationCore::*set)(int);
};
constexpr SliderRow kSliderRows[] = {
    {"volume", "Volume", "Volume (sound card)", kCapVolume, kCfgVolume, kCfgSoftVolume,
     &CStationCore::SetVolume},
    {"squelch", "Squelch", "Squelch (audio)", kCapSquelch, kCfgSquelch, kCfgSquelchThreshold,
     &CStationCore::SetSquelch},
};

QString StepLabel(int hz) {
  return hz < kHzPerKHz ? QString("%1 Hz").arg(hz) : QString("%1 kHz").arg(hz / kHzPerKHz);
}

// Frequencies are kept to the Hz: repeated steps must not collect rounding dust.
double RoundToHz(double kHz) { return std::round(kHz * kHzPerKHz) / kHzPerKHz; }

QGroupBox* Group(const QString& title, QLayout* layout) {
  auto* box = new QGroupBox(title);
  box->setLayout(layout);
  return box;
}

}  // namespace

CReceiverPage::CReceiverPage(CStationCore& core, QWidget* parent) : QWidget(parent), core_(core) {
  Build();
  Refresh();
}

void CReceiverPage::Build() {
  // Frequency: the display large on top, the tuning controls under it.
  display_ = new CSevenSegment;
  display_->setObjectName("frequency");
  display_->SetFormat(kDisplayDigits, kDisplayDecimals);
  display_->setMinimumHeight(kDisplayMinHeight);
  display_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  display_->setToolTip(QString("Turn the mouse wheel to tune by the step"));
  display_->installEventFilter(this);

  step_ = new QComboBox;
  step_->setObjectName("step");
  for (int hz : kStepsHz) step_->addItem(StepLabel(hz), hz);
  connect(step_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) core_.SetStep(step_->itemData(index).toInt());
  });

  down_ = new QPushButton("-");
  down_->setObjectName("tuneDown");
  up_ = new QPushButton("+");
  up_->setObjectName("tuneUp");
  for (QPushButton* b : {down_, up_}) b->setAutoRepeat(true);
  connect(down_, &QPushButton::clicked, this, [this] { TuneBySteps(-1); });
  connect(up_, &QPushButton::clicked, this, [this] { TuneBySteps(1); });

  entry_ = new QLineEdit;
  entry_->setObjectName("entry");
  entry_->setPlaceholderText(QString("kHz"));
  entry_->setToolTip(QString("Type a frequency in kHz and press Enter"));
  entry_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(R"(\d{0,6}([.,]\d{0,3})?)"), entry_));
  connect(entry_, &QLineEdit::returnPressed, this, [this] { TuneToEntry(); });

  auto* tuning = new QHBoxLayout;
  tuning->addWidget(new QLabel(QString("Step")));
  tuning->addWidget(step_);
  tuning->addWidget(down_);
  tuning->addWidget(up_);
  tuning->addStretch();
  tuning->addWidget(entry_);
  tuning->addWidget(new QLabel(QString("kHz")));
  auto* frequency = new QVBoxLayout;
  frequency->addWidget(display_, 1);
  frequency->addLayout(tuning);

  // Receiver: mode, IF width and the switches.
  mode_ = new QComboBox;
  mode_->setObjectName("mode");
  for (int i = 0; i < kModeCount; ++i)
    mode_->addItem(QString::fromStdString(ModeName(1 << i)), 1 << i);
  connect(mode_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) core_.SetMode(mode_->itemData(index).toInt());
  });

  if_width_ = new QComboBox;
  if_width_->setObjectName("ifWidth");
  // The widths the frequency records know: the list ends where an index no longer maps back.
  for (int i = 0; IfIndexOfWidth(IfWidthKHz(i)) == i; ++i)
    if_width_->addItem(QString("%1 kHz").arg(IfWidthKHz(i)), IfWidthKHz(i));
  connect(if_width_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) core_.SetIfWidth(if_width_->itemData(index).toInt());
  });

  auto* receiver = new QGridLayout;
  receiver->addWidget(new QLabel(QString("Mode")), 0, 0);
  receiver->addWidget(mode_, 0, 1);
  receiver->addWidget(new QLabel(QString("IF width")), 1, 0);
  receiver->addWidget(if_width_, 1, 1);
  auto* switches = new QHBoxLayout;
  for (const CheckRow& row : kCheckRows) {
    auto* check = new QCheckBox(row.label);
    check->setObjectName(row.name);
    connect(check, &QCheckBox::toggled, this,
            [this, set = row.set](bool on) { (core_.*set)(on ? 1 : 0); });
    switches->addWidget(check);
    checks_.push_back(check);
  }
  switches->addStretch();
  receiver->addLayout(switches, 2, 0, 1, 2);
  receiver->setColumnStretch(1, 1);

  // Audio: volume and squelch with their values.
  auto* audio = new QGridLayout;
  for (const SliderRow& row : kSliderRows) {
    auto* name = new QLabel(row.label);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(row.name);
    slider->setRange(0, kLevelMax);
    // Dragging sends once on release: a serial receiver cannot keep up with every pixel.
    slider->setTracking(false);
    auto* value = new QLabel;
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance("0000"));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(slider, &QSlider::sliderMoved, value, [value](int v) { value->setNum(v); });
    connect(slider, &QSlider::valueChanged, this, [this, value, set = row.set](int v) {
      value->setNum(v);
      (core_.*set)(v);
    });
    const int line = int(sliders_.size());
    audio->addWidget(name, line, 0);
    audio->addWidget(slider, line, 1);
    audio->addWidget(value, line, 2);
    slider_names_.push_back(name);
    sliders_.push_back(slider);
    slider_values_.push_back(value);
  }
  audio->setColumnStretch(1, 1);

  // Signal: S-meter and the squelch lamp.
  smeter_ = new CSMeter;
  smeter_->setObjectName("smeter");
  squelch_lamp_ = new CLamp("SQL");
  squelch_lamp_->setObjectName("squelchLamp");
  auto* signal = new QHBoxLayout;
  signal->addWidget(smeter_, 1);
  signal->addWidget(squelch_lamp_);

  auto* lower = new QHBoxLayout;
  lower->addWidget(Group(QString("Receiver"), receiver), 1);
  auto* right = new QVBoxLayout;
  right->addWidget(Group(QString("Audio"), audio));
  right->addWidget(Group(QString("Signal"), signal));
  lower->addLayout(right, 1);

  auto* page = new QVBoxLayout(this);
  page->addWidget(Group(QString("Frequency"), frequency), 1);
  page->addLayout(lower);
  page->addStretch();
}

void CReceiverPage::Refresh() {
  const CSettingsRecord& s = core_.Settings();
  const uint32_t mask = core_.Radio().CapabilityMask;

  display_->SetValue(s.GetDouble(kCfgFrequency));

  const QSignalBlocker block_step(step_);
  const int step = s.GetInt(kCfgStep);
  int index = step_->findData(step);
  if (index < 0) {  // a frequency record may carry a step of its own: shown as it is
    if (step_->count() > int(std::size(kStepsHz))) step_->removeItem(step_->count() - 1);
    step_->addItem(StepLabel(step), step);
    index = step_->count() - 1;
  }
  step_->setCurrentIndex(index);

  const QSignalBlocker block_mode(mode_);
  auto* modes = static_cast<QStandardItemModel*>(mode_->model());
  for (int i = 0; i < kModeCount; ++i) modes->item(i)->setEnabled((mask & (1u << i)) != 0);
  mode_->setCurrentIndex(mode_->findData(s.GetInt(kCfgMode)));  // -1 (blank) for no single mode

  const QSignalBlocker block_if(if_width_);
  if_width_->setCurrentIndex(if_width_->findData(s.GetInt(kCfgIfWidth)));
  if_width_->setEnabled((mask & kCapIFWidth) != 0);

  for (size_t i = 0; i < checks_.size(); ++i) {
    const QSignalBlocker block(checks_[i]);
    checks_[i]->setChecked(s.GetInt(kCheckRows[i].field) != 0);
    checks_[i]->setEnabled((mask & kCheckRows[i].capability) != 0);
  }

  for (size_t i = 0; i < sliders_.size(); ++i) {
    const SliderRow& row = kSliderRows[i];
    const bool own = (mask & row.capability) != 0;
    const int value = s.GetInt(own ? row.field : row.fallbackField);
    const QSignalBlocker block(sliders_[i]);
    sliders_[i]->setValue(value);
    slider_values_[i]->setNum(sliders_[i]->value());
    slider_names_[i]->setText(own ? row.label : row.fallbackLabel);
  }

  smeter_->SetValue(core_.LastSMeter());
}

void CReceiverPage::SetSMeter(int value) { smeter_->SetValue(value); }

void CReceiverPage::SetSquelchLamp(int open) { squelch_lamp_->SetOn(open); }

bool CReceiverPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == display_ && event->type() == QEvent::Wheel) {
    wheel_rest_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
    const int notches = wheel_rest_ / kWheelNotch;
    wheel_rest_ -= notches * kWheelNotch;
    if (notches) TuneBySteps(notches);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CReceiverPage::TuneBySteps(int steps) {
  const double kHz = core_.Settings().GetDouble(kCfgFrequency) +
                     steps * core_.Settings().GetInt(kCfgStep) / kHzPerKHz;
  core_.SetFrequency(std::clamp(RoundToHz(kHz), 0.0, kMaxKHz));
}

void CReceiverPage::TuneToEntry() {
  bool ok = false;
  const double kHz = entry_->text().replace(',', '.').toDouble(&ok);
  if (!ok) return;
  core_.SetFrequency(std::clamp(RoundToHz(kHz), 0.0, kMaxKHz));
  entry_->selectAll();  // the next frequency typed replaces this one
}
