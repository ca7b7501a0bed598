// The decoders' parameter pages. Choosing a decoder applies the tab's values at once, as the
// Apply button does, so that what the page shows is what the decoder runs with.
#include "app/ui/decoder_pages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QDoubleValidator>
#include <QLocale>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstdlib>

#include "app/core/settings_fields.h"
#include "app/core/station_codes.h"
#include "app/core/station_core.h"

namespace {

// A decoder the user can choose on a tab.
struct DecoderButton {
  int code;
  const char* label;
  const char* name;
};
constexpr DecoderButton kTeleprinterButtons[] = {
    {kDecoderRtty, "RTTY", "rtty"},
    {kDecoderRttySync, "RTTY sync", "rttySync"},
    {kDecoderSitor, "SITOR-B", "sitor"},
    {kDecoderSynop, "SYNOP", "synop"},
    {kDecoderNavtex, "NAVTEX", "navtex"},
};
constexpr DecoderButton kPsk31Buttons[] = {
    {kDecoderBpsk31, "BPSK31", "bpsk31"},
    {kDecoderQpsk31, "QPSK31", "qpsk31"},
};

constexpr double kBaudChoices[] = {45.45, 50, 56.88, 74.2, 75, 100};  // any other can be typed
constexpr int kBaudMax = 1200;
constexpr double kStopBitChoices[] = {1.0, 1.5, 2.0};
constexpr int kToneMinHz = 100, kToneMaxHz = 5000;
constexpr int kCwBandwidthMinHz = 10, kCwBandwidthMaxHz = 1000;

QSpinBox* HzSpin(const char* name, int min, int max) {
  auto* spin = new QSpinBox;
  spin->setObjectName(name);
  spin->setRange(min, max);
  spin->setSuffix(" Hz");
  return spin;
}

QPushButton* ApplyButton(const char* name) {
  auto* button = new QPushButton("Apply");
  button->setObjectName(name);
  return button;
}

QHBoxLayout* RightAligned(QWidget* widget) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(widget);
  return row;
}

// Radio buttons of the table in a group box; the button group's ids are the decoder codes.
template <size_t N>
QGroupBox* DecoderChoiceBox(const DecoderButton (&buttons)[N], QButtonGroup* group) {
  auto* box = new QGroupBox("Decoder");
  auto* column = new QVBoxLayout(box);
  for (const DecoderButton& b : buttons) {
    auto* radio = new QRadioButton(b.label);
    radio->setObjectName(b.name);
    group->addButton(radio, b.code);
    column->addWidget(radio);
  }
  group->buttons().first()->setChecked(true);
  column->addStretch();
  return box;
}

}  // namespace

CDecoderPages::CDecoderPages(CStationCore& core, QWidget* parent) : QWidget(parent), core_(core) {
  tabs_ = new QTabWidget;
  tabs_->addTab(BuildTeleprinter(), "RTTY / SITOR / NAVTEX");
  tabs_->addTab(BuildCw(), "CW");
  tabs_->addTab(BuildPsk31(), "PSK31");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tabs_);
  Refresh();
}

QWidget* CDecoderPages::BuildTeleprinter() {
  auto* page = new QWidget;
  teleprinter_ = new QButtonGroup(page);
  QGroupBox* choice = DecoderChoiceBox(kTeleprinterButtons, teleprinter_);
  connect(teleprinter_, &QButtonGroup::idClicked, this, [this](int code) { ChooseTeleprinter(code); });

  baud_ = new QComboBox;
  baud_->setObjectName("baud");
  baud_->setEditable(true);
  baud_->setInsertPolicy(QComboBox::NoInsert);
  auto* validator = new QDoubleValidator(1.0, kBaudMax, 2, baud_);
  validator->setLocale(QLocale::c());  // 45.45 whatever the desktop's decimal sign
  baud_->setValidator(validator);
  for (double baud : kBaudChoices) baud_->addItem(QString::number(baud));

  tone1_ = HzSpin("tone1", kToneMinHz, kToneMaxHz);
  tone2_ = HzSpin("tone2", kToneMinHz, kToneMaxHz);
  for (QSpinBox* tone : {tone1_, tone2_})
    connect(tone, &QSpinBox::valueChanged, this, [this] { ShowShift(); });
  shift_ = new QLabel;
  shift_->setObjectName("shift");

  stop_bits_ = new QComboBox;
  stop_bits_->setObjectName("stopBits");
  for (double bits : kStopBitChoices) stop_bits_->addItem(QString::number(bits), bits);

  inverted_ = new QCheckBox("Invert (the higher tone is binary 1)");
  inverted_->setObjectName("inverted");

  auto* parameters = new QGroupBox("Parameters");
  auto* form = new QFormLayout(parameters);
  form->addRow("Baud", baud_);
  form->addRow("Tone 1", tone1_);
  form->addRow("Tone 2", tone2_);
  form->addRow("Shift", shift_);
  form->addRow("Stop bits", stop_bits_);
  form->addRow(inverted_);

  QPushButton* apply = ApplyButton("applyTeleprinter");
  connect(apply, &QPushButton::clicked, this,
          [this] { ApplyTeleprinter(teleprinter_->checkedId()); });

  auto* columns = new QHBoxLayout;
  columns->addWidget(choice);
  columns->addWidget(parameters, 1);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(columns);
  layout->addLayout(RightAligned(apply));
  layout->addStretch();
  return page;
}

QWidget* CDecoderPages::BuildCw() {
  auto* page = new QWidget;
  cw_center_ = HzSpin("cwCenter", kToneMinHz, kToneMaxHz);
  cw_bandwidth_ = HzSpin("cwBandwidth", kCwBandwidthMinHz, kCwBandwidthMaxHz);
  auto* filter = new QGroupBox("Filter");
  auto* form = new QFormLayout(filter);
  form->addRow("Centre tone", cw_center_);
  form->addRow("Bandwidth", cw_bandwidth_);

  QPushButton* apply = ApplyButton("applyCw");
  connect(apply, &QPushButton::clicked, this, [this] { ApplyCw(); });

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(filter);
  layout->addLayout(RightAligned(apply));
  layout->addStretch();
  return page;
}

QWidget* CDecoderPages::BuildPsk31() {
  auto* page = new QWidget;
  psk31_ = new QButtonGroup(page);
  QGroupBox* choice = DecoderChoiceBox(kPsk31Buttons, psk31_);
  connect(psk31_, &QButtonGroup::idClicked, this, [this](int code) { core_.SelectDecoder(code); });

  // The decoder listens on a fixed carrier: the dial, not the decoder, moves the signal there.
  auto* carrier = new QLabel(QString("Tune so that the signal sits on %1 Hz.").arg(kPsk31Carrier));
  carrier->setObjectName("pskCarrier");
  carrier->setWordWrap(true);
  auto* tuning = new QGroupBox("Tuning");
  auto* tuning_layout = new QVBoxLayout(tuning);
  tuning_layout->addWidget(carrier);
  tuning_layout->addStretch();

  QPushButton* apply = ApplyButton("applyPsk31");
  connect(apply, &QPushButton::clicked, this,
          [this] { core_.SelectDecoder(psk31_->checkedId()); });

  auto* columns = new QHBoxLayout;
  columns->addWidget(choice);
  columns->addWidget(tuning, 1);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(columns);
  layout->addLayout(RightAligned(apply));
  layout->addStretch();
  return page;
}

void CDecoderPages::Refresh() {
  ShowTeleprinter();
  const CSettingsRecord& s = core_.Settings();
  cw_center_->setValue(s.GetInt(kCfgCwCenter));
  cw_bandwidth_->setValue(s.GetInt(kCfgCwBandwidth));
  // A decoder of another tab leaves each tab's last choice as it was.
  const int code = core_.Decoder();
  for (QButtonGroup* group : {teleprinter_, psk31_})
    if (QAbstractButton* button = group->button(code)) button->setChecked(true);
}

void CDecoderPages::ShowTeleprinter() {
  const CSettingsRecord& s = core_.Settings();
  baud_->setEditText(QString::number(core_.RttyBaud()));
  tone1_->setValue(s.GetInt(kCfgRttyTone1));
  tone2_->setValue(s.GetInt(kCfgRttyTone2));
  inverted_->setChecked(s.GetInt(kCfgRttyInverted) != 0);
  const double stop_bits = s.GetDouble(kCfgRttyStopBits);
  int index = stop_bits_->findData(stop_bits);
  if (index < 0) {  // a value from elsewhere (a frequency record, an older file): shown as it is
    stop_bits_->addItem(QString::number(stop_bits), stop_bits);
    index = stop_bits_->count() - 1;
  }
  stop_bits_->setCurrentIndex(index);
  ShowShift();
}

void CDecoderPages::ShowShift() {
  shift_->setText(QString("%1 Hz").arg(std::abs(tone1_->value() - tone2_->value())));
}

void CDecoderPages::ChooseTeleprinter(int code) {
  // What the user entered is kept, except what the mode fixes (NAVTEX, SITOR-B): that
  // overrides it and is shown before the decoder starts with it.
  WriteTeleprinter();
  core_.UseStandardParameters(code);
  ShowTeleprinter();
  core_.SelectDecoder(code);
}

void CDecoderPages::ApplyTeleprinter(int code) {
  WriteTeleprinter();
  core_.SelectDecoder(code);
}

void CDecoderPages::WriteTeleprinter() {
  CSettingsRecord& s = core_.Settings();
  bool ok = false;
  const double baud = QLocale::c().toDouble(baud_->currentText(), &ok);
  if (ok && baud > 0) core_.SetRttyBaud(baud);  // an unfinished entry keeps the stored rate
  s.SetInt(kCfgRttyTone1, tone1_->value());
  s.SetInt(kCfgRttyTone2, tone2_->value());
  s.SetInt(kCfgRttyInverted, inverted_->isChecked() ? 1 : 0);
  s.SetDouble(kCfgRttyStopBits, stop_bits_->currentData().toDouble());
}

void CDecoderPages::ApplyCw() {
  core_.Settings().SetInt(kCfgCwCenter, cw_center_->value());
  core_.Settings().SetInt(kCfgCwBandwidth, cw_bandwidth_->value());
  core_.SelectDecoder(kDecoderCw);
}
