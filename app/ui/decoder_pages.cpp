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
#include "spl/decoders/sstv_decoder.h"

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
// Weather FAX: the two modules (index of cooperation) and the usual drum speeds.
constexpr int kFaxIocChoices[] = {576, 288};
constexpr int kFaxLpmChoices[] = {60, 90, 100, 120, 240};
constexpr int kFaxShiftMaxHz = 2000, kFaxWidthMaxHz = 4000;
constexpr int kFaxSyncWidthMax = 100;  // percent of a line
constexpr int kFaxBurstMaxHz = 5000, kFaxBurstMaxPixels = 2000;

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
  tabs_ = new QTabWidget;  // in the order of the k...Tab indices
  tabs_->addTab(BuildTeleprinter(), "RTTY / SITOR / NAVTEX");
  tabs_->addTab(BuildCw(), "CW");
  tabs_->addTab(BuildPsk31(), "PSK31");
  tabs_->addTab(BuildFax(), "FAX");
  tabs_->addTab(BuildSstv(), "SSTV");
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

QWidget* CDecoderPages::BuildFax() {
  auto* page = new QWidget;
  fax_ioc_ = new QComboBox;
  fax_ioc_->setObjectName("faxIoc");
  for (int ioc : kFaxIocChoices) fax_ioc_->addItem(QString::number(ioc), ioc);
  fax_lpm_ = new QComboBox;
  fax_lpm_->setObjectName("faxLpm");
  for (int lpm : kFaxLpmChoices) fax_lpm_->addItem(QString::number(lpm), lpm);
  fax_demod_ = new QComboBox;
  fax_demod_->setObjectName("faxDemod");
  fax_demod_->addItem("FM (HF weather fax)", 0);
  fax_demod_->addItem("AM (satellite)", 1);
  fax_center_ = HzSpin("faxCenter", kToneMinHz, kToneMaxHz);
  fax_shift_ = HzSpin("faxShift", 0, kFaxShiftMaxHz);
  fax_width_ = HzSpin("faxWidth", 0, kFaxWidthMaxHz);
  fax_am_filter_ = new QCheckBox("AM with band filter");
  fax_am_filter_->setObjectName("faxAmFilter");
  fax_sync_width_ = new QSpinBox;
  fax_sync_width_->setObjectName("faxSyncWidth");
  fax_sync_width_->setRange(0, kFaxSyncWidthMax);
  fax_sync_width_->setSuffix(" %");
  fax_sync_inverted_ = new QCheckBox("Inverted phasing pulse");
  fax_sync_inverted_->setObjectName("faxSyncInverted");
  fax_burst1_ = HzSpin("faxBurst1", 0, kFaxBurstMaxHz);
  fax_burst2_ = new QSpinBox;
  fax_burst2_->setObjectName("faxBurst2");
  fax_burst2_->setRange(0, kFaxBurstMaxPixels);
  fax_burst2_->setSuffix(" px");

  auto* picture = new QGroupBox("Picture");
  auto* picture_form = new QFormLayout(picture);
  picture_form->addRow("IOC", fax_ioc_);
  picture_form->addRow("Lines/minute", fax_lpm_);
  picture_form->addRow("Modulation", fax_demod_);
  auto* tones = new QGroupBox("Tones");
  auto* tone_form = new QFormLayout(tones);
  tone_form->addRow("Centre", fax_center_);
  tone_form->addRow("Shift", fax_shift_);
  tone_form->addRow("Filter", fax_width_);
  tone_form->addRow(fax_am_filter_);
  auto* sync = new QGroupBox("Phasing and burst");
  auto* sync_form = new QFormLayout(sync);
  sync_form->addRow("Pulse width", fax_sync_width_);
  sync_form->addRow(fax_sync_inverted_);
  sync_form->addRow("Burst tone", fax_burst1_);
  sync_form->addRow("Burst length", fax_burst2_);

  QPushButton* apply = ApplyButton("applyFax");
  connect(apply, &QPushButton::clicked, this, [this] { ApplyFax(); });
  auto* columns = new QHBoxLayout;
  columns->addWidget(picture);
  columns->addWidget(tones);
  columns->addWidget(sync);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(columns);
  layout->addLayout(RightAligned(apply));
  layout->addStretch();
  return page;
}

QWidget* CDecoderPages::BuildSstv() {
  auto* page = new QWidget;
  sstv_mode_ = new QComboBox;
  sstv_mode_->setObjectName("sstvMode");
  for (int i = 0; i < kSstvModeCount; ++i) {
    const SstvMode* m = SstvModeAt(i);
    sstv_mode_->addItem(m->name, m->mode);
  }
  sstv_mode_->setToolTip("The mode a picture starts in when its VIS code is not heard");
  sstv_low_ = HzSpin("sstvLow", 0, kToneMaxHz);
  sstv_high_ = HzSpin("sstvHigh", 0, kToneMaxHz);
  auto* form_box = new QGroupBox("Receive");
  auto* form = new QFormLayout(form_box);
  form->addRow("Mode", sstv_mode_);
  form->addRow("Filter from", sstv_low_);
  form->addRow("Filter to", sstv_high_);
  QPushButton* apply = ApplyButton("applySstv");
  connect(apply, &QPushButton::clicked, this, [this] { ApplySstv(); });
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(form_box);
  layout->addLayout(RightAligned(apply));
  layout->addStretch();
  return page;
}

void CDecoderPages::ShowPictures() {
  const CSettingsRecord& s = core_.Settings();
  auto pick = [](QComboBox* box, int value) {
    int index = box->findData(value);
    if (index < 0) {  // a value from a frequency record or an older file: shown as it is
      box->addItem(QString::number(value), value);
      index = box->count() - 1;
    }
    box->setCurrentIndex(index);
  };
  pick(fax_ioc_, s.GetInt(kCfgFaxIoc));
  pick(fax_lpm_, s.GetInt(kCfgFaxLpm));
  fax_demod_->setCurrentIndex(s.GetInt(kCfgFaxAm) ? 1 : 0);
  fax_center_->setValue(s.GetInt(kCfgFaxCenter));
  fax_shift_->setValue(s.GetInt(kCfgFaxShift));
  fax_width_->setValue(s.GetInt(kCfgFaxWidth));
  fax_am_filter_->setChecked(s.GetInt(kCfgFaxAmFilter) != 0);
  fax_sync_width_->setValue(s.GetInt(kCfgFaxSyncWidth));
  fax_sync_inverted_->setChecked(s.GetInt(kCfgFaxSyncPolarity) != 0);
  fax_burst1_->setValue(s.GetInt(kCfgFaxBurst1));
  fax_burst2_->setValue(s.GetInt(kCfgFaxBurst2));
  pick(sstv_mode_, s.GetInt(kCfgSstvMode));
  sstv_low_->setValue(s.GetInt(kCfgSstvFilterLow));
  sstv_high_->setValue(s.GetInt(kCfgSstvFilterHigh));
}

void CDecoderPages::ApplyFax() {
  CSettingsRecord& s = core_.Settings();
  s.SetInt(kCfgFaxIoc, fax_ioc_->currentData().toInt());
  s.SetInt(kCfgFaxLpm, fax_lpm_->currentData().toInt());
  s.SetInt(kCfgFaxAm, fax_demod_->currentData().toInt());
  s.SetInt(kCfgFaxCenter, fax_center_->value());
  s.SetInt(kCfgFaxShift, fax_shift_->value());
  s.SetInt(kCfgFaxWidth, fax_width_->value());
  s.SetInt(kCfgFaxAmFilter, fax_am_filter_->isChecked() ? 1 : 0);
  s.SetInt(kCfgFaxSyncWidth, fax_sync_width_->value());
  s.SetInt(kCfgFaxSyncPolarity, fax_sync_inverted_->isChecked() ? 1 : 0);
  s.SetInt(kCfgFaxBurst1, fax_burst1_->value());
  s.SetInt(kCfgFaxBurst2, fax_burst2_->value());
  core_.SelectDecoder(kDecoderFax);
}

void CDecoderPages::ApplySstv() {
  CSettingsRecord& s = core_.Settings();
  s.SetInt(kCfgSstvMode, sstv_mode_->currentData().toInt());
  s.SetInt(kCfgSstvFilterLow, sstv_low_->value());
  s.SetInt(kCfgSstvFilterHigh, sstv_high_->value());
  core_.SelectDecoder(kDecoderSstv);
}

void CDecoderPages::Refresh() {
  ShowTeleprinter();
  ShowPictures();
  const CSettingsRecord& s = core_.Settings();
  cw_center_->setValue(s.GetInt(kCfgCwCenter));
  cw_bandwidth_->setValue(s.GetInt(kCfgCwBandwidth));
  // The tab of the current decoder comes to the front; a decoder of another tab leaves each
  // tab's last choice as it was.
  const int code = core_.Decoder();
  const int tab = teleprinter_->button(code) ? kTeleprinterTab
                  : code == kDecoderCw       ? kCwTab
                  : psk31_->button(code)     ? kPsk31Tab
                  : code == kDecoderFax      ? kFaxTab
                  : code == kDecoderSstv     ? kSstvTab
                                             : -1;  // audio: no tab of its own
  if (tab >= 0) tabs_->setCurrentIndex(tab);
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
