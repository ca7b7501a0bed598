// The receiver panel: the display and the step and IF read-outs on top, the S-meter under
// them, mode buttons and switches on the left, the knob on the right, the three
// potentiometers at the bottom. Every control goes through one of the panel's setters,
// which send to the receiver in use (the panel's own connection or the station core).
#include "app/ui/receiver_panel.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>

#include "app/core/profile_file.h"
#include "app/core/settings_fields.h"
#include "app/core/station_core.h"
#include "app/ui/enter_freq.h"
#include "spl/platform/com_ports.h"
#include "spl/radio/receiver_table.h"
#include "spl/widgets/dot_matrix.h"
#include "spl/widgets/knob.h"
#include "spl/widgets/lamp.h"
#include "spl/widgets/potentiometer.h"
#include "spl/widgets/s_meter.h"

namespace {

constexpr double kStepsHz[] = {1, 10, 100, 1000, 8330, 10000, 12500, 25000, 50000, 100000, 1000000};
constexpr int kStepCount = int(std::size(kStepsHz));

struct ModeButton {
  const char* label;
  int mode;
};
constexpr ModeButton kModes[] = {{"LSB", kModeLSB}, {"USB", kModeUSB}, {"CW", kModeCW},
                                 {"AM", kModeAM},   {"FM", kModeFM},   {"WFM", kModeWFM}};
constexpr int kModeCountPanel = int(std::size(kModes));

constexpr int kIfWidthsKHz[] = {3, 6, 15, 50, 230};
constexpr int kIfCount = int(std::size(kIfWidthsKHz));

// The switches, in the order of m_switch.
enum { kSwitchAtt, kSwitchAgc, kSwitchNb, kSwitchCount };
constexpr const char* kSwitchLabels[kSwitchCount] = {"ATT", "AGC", "NB"};

// The receiver's own commands the station core has no setter for, and its report queries.
constexpr const char* kIfShiftCommand = "J43%02X\r\n";
constexpr const char* kAgcCommand = "J45%02X\r\n";
constexpr const char* kNbCommand = "J46%02X\r\n";
constexpr const char* kSMeterQuery = "I1?\r\n";
constexpr const char* kSquelchQuery = "I0?\r\n";

constexpr int kReceiverOnRepeats = 3;  // the receiver may miss the first power-on sequence
constexpr int kStartDelayMs = 10;      // the state is sent once the panel is on screen
constexpr int kReportPollMs = 250;     // S-meter and squelch queries
constexpr double kHzPerKHz = 1000.0;
constexpr double kKnobShare = 0.1;     // a knob detent is a tenth of the step
const QSize kPotMinimum(100, 120), kKnobMinimum(180, 180);

// The state's keys and defaults.
constexpr const char* kDefaultTitle = "Receiver control";
constexpr const char* kSectionSuffix = "_State";
constexpr const char* kKeyLeft = "Windowleft";
constexpr const char* kKeyTop = "Windowtop";
constexpr const char* kKeyFrequency = "Frequency";  // Hz
constexpr const char* kKeyStep = "Tuningstep";
constexpr const char* kKeyVolume = "Volume";
constexpr const char* kKeySquelch = "Squelch";
constexpr const char* kKeyMode = "Mode";
constexpr const char* kKeyAtt = "Attenuator";
constexpr const char* kKeyAgc = "AutoGain";
constexpr const char* kKeyNb = "NoiseBlanker";
constexpr const char* kKeyIf = "IF_Bandwidth";
constexpr const char* kKeyIfShift = "IF_Shift";
constexpr long long kDefaultFrequencyHz = 10000000;
constexpr int kDefaultStep = 2, kDefaultVolume = 128, kDefaultSquelch = 0, kDefaultMode = 1;
constexpr int kDefaultIf = 0;

const char* const kStyle = R"(
QDialog#receiverPanel {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3a3d43, stop:1 #202226);
}
QLabel { color: #b9bec6; font-weight: bold; }
QPushButton {
  color: #e6e8eb; font-weight: bold; min-width: 44px; min-height: 24px;
  border: 1px solid #111214; border-radius: 4px; padding: 2px 8px;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5b5f66, stop:1 #33363b);
}
QPushButton:hover { border-color: #e0a030; }
QPushButton:pressed { background: #2a2c30; }
QPushButton:checked {
  color: #1b1b1b;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffc45a, stop:1 #e08a10);
}
QToolButton {
  color: #e6e8eb; border: 1px solid #111214; border-radius: 3px; min-width: 20px;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5b5f66, stop:1 #33363b);
}
QToolButton:pressed { background: #2a2c30; }
QFrame#section { border: 1px solid #17181b; border-radius: 6px; background: rgba(0, 0, 0, 40); }
)";

// The device a port name stands for ("COM3" -> its device path), links resolved, so that
// two names of one port compare equal.
std::string DeviceOf(const std::string& port) {
  const int number = port.find('/') == std::string::npos ? ComPortFromName(port) : 0;
  const std::string device = number ? ComPortDevice(number) : port;
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(device, error);
  return error ? device : resolved.string();
}

int IndexOf(const double* table, int count, double value) {
  for (int i = 0; i < count; ++i)
    if (table[i] == value) return i;
  return -1;
}

QLabel* Caption(const char* text) {
  auto* label = new QLabel(QString(text));
  label->setAlignment(Qt::AlignCenter);
  return label;
}

// A framed group of the panel, its caption on top.
QFrame* Section(const char* caption, QLayout* content) {
  auto* frame = new QFrame;
  frame->setObjectName("section");
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(8, 4, 8, 8);
  layout->setSpacing(4);
  if (caption) layout->addWidget(Caption(caption));
  layout->addLayout(content, 1);
  return frame;
}

QToolButton* Arrow(Qt::ArrowType type, const char* name) {
  auto* b = new QToolButton;
  b->setArrowType(type);
  b->setObjectName(name);
  b->setAutoRepeat(true);
  return b;
}

}  // namespace

CPCR1000Modul::CPCR1000Modul(CStationCore& core, QWidget* parent) : QDialog(parent), m_core(core) {
  setObjectName("receiverPanel");
  setWindowTitle(QString(kDefaultTitle));
  setModal(false);
}

CPCR1000Modul::~CPCR1000Modul() {
  if (m_ready) SaveState(m_core.Profile());  // destroyed with its owner, never closed
  Release();
  Exit();  // the reader thread ends before the panel's callbacks go away
}

void CPCR1000Modul::Release() {
  if (m_pollTimer) m_pollTimer->stop();
  if (m_keepAlive) m_keepAlive->stop();
  // The station's receiver stays on: only a connection of the panel's own is switched off.
  if (!m_shared && Port()) Radio_OnOff(0);
  Exit();
  m_ready = false;
  m_shared = false;
}

int CPCR1000Modul::Init(const std::string& port) {
  Release();
  hide();  // shown again once set up
  m_error.clear();
  const CRadio& station = m_core.Radio();
  m_shared = port.empty() || (station.Port() && DeviceOf(port) == DeviceOf(station.PortDevice()));
  if (m_shared) {
    if (!m_core.Connected()) {
      m_error = QString("The station's receiver is not connected.");
      m_shared = false;
      return 0;
    }
    if (station.Type() != kReceiverType) {
      m_error = QString("The station's receiver is of type %1; this panel controls type %2.")
                    .arg(station.Type())
                    .arg(kReceiverType);
      m_shared = false;
      return 0;
    }
  } else {
    SetReceiver(kReceiverType);
    if (!CRadio::Init(port, 1)) {
      m_error = QString("The port %1 does not open: %2")
                    .arg(QString::fromStdString(PortDevice().empty() ? port : PortDevice()),
                         QString::fromLocal8Bit(strerror(PortError())));
      return 0;
    }
  }

  if (!m_display) Build();
  LoadState(m_core.Profile());
  if (m_shared) FollowStation();
  ShowAll();

  if (!m_shared) {
    for (int i = 0; i < kReceiverOnRepeats; ++i) Radio_OnOff(1);
    // Without a message loop on this thread CRadio keeps no keep-alive timer: the panel does.
    if (!KeepAliveTimer()) m_keepAlive->start(int(KeepAlivePeriod()));
  }
  m_ready = true;
  show();
  QTimer::singleShot(kStartDelayMs, this, [this] { SendState(); });
  m_pollTimer->start(kReportPollMs);
  return 1;
}

void CPCR1000Modul::Build() {
  setStyleSheet(QString(kStyle));
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, QColor(0xdd, 0xe0, 0xe4));
  setPalette(pal);

  m_display = new CDotMatrix;
  m_display->setObjectName("frequency");
  m_display->SetCells(kDisplayCells);
  m_display->setMinimumSize(m_display->sizeHint() * 1.6);
  m_display->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  m_display->setToolTip(QString("Click to type a frequency"));
  m_display->setCursor(Qt::PointingHandCursor);
  m_display->SetClickHandler([this] { OpenEntry(); });

  m_stepDisplay = new CDotMatrix;
  m_stepDisplay->setObjectName("step");
  m_stepDisplay->SetCells(int(StepText(kStepsHz[0]).size()));
  m_stepDisplay->SetColour(CDotMatrix::kAmber);
  m_stepDisplay->setMinimumSize(m_stepDisplay->sizeHint());
  auto* stepDown = Arrow(Qt::DownArrow, "stepDown");
  auto* stepUp = Arrow(Qt::UpArrow, "stepUp");
  connect(stepDown, &QToolButton::clicked, this, [this] { StepBy(-1); });
  connect(stepUp, &QToolButton::clicked, this, [this] { StepBy(1); });
  auto* step = new QHBoxLayout;
  step->addWidget(m_stepDisplay, 1);
  step->addWidget(stepDown);
  step->addWidget(stepUp);

  m_ifDisplay = new CDotMatrix;
  m_ifDisplay->setObjectName("ifWidth");
  m_ifDisplay->SetCells(int(IfText(kIfWidthsKHz[0]).size()));
  m_ifDisplay->SetColour(CDotMatrix::kAmber);
  m_ifDisplay->setMinimumSize(m_ifDisplay->sizeHint());
  auto* ifDown = Arrow(Qt::DownArrow, "ifDown");
  auto* ifUp = Arrow(Qt::UpArrow, "ifUp");
  connect(ifDown, &QToolButton::clicked, this, [this] { IfBy(-1); });
  connect(ifUp, &QToolButton::clicked, this, [this] { IfBy(1); });
  auto* ifw = new QHBoxLayout;
  ifw->addWidget(m_ifDisplay, 1);
  ifw->addWidget(ifDown);
  ifw->addWidget(ifUp);

  auto* readouts = new QVBoxLayout;
  readouts->addWidget(Section("STEP", step));
  readouts->addWidget(Section("IF BW", ifw));

  m_sMeter = new CSMeter;
  m_sMeter->setObjectName("smeter");
  m_squelchLamp = new CLamp(QString("SQL"));
  m_squelchLamp->setObjectName("squelchLamp");
  auto* signal = new QHBoxLayout;
  signal->addWidget(m_sMeter, 1);
  signal->addWidget(m_squelchLamp);

  auto* top = new QGridLayout;
  top->addWidget(m_display, 0, 0);
  top->addLayout(signal, 1, 0);
  top->addLayout(readouts, 0, 1, 2, 1);
  top->setColumnStretch(0, 1);

  // Modes: two rows of three, one lit at a time.
  auto* modes = new QGridLayout;
  auto* group = new QButtonGroup(this);
  group->setExclusive(true);
  for (int i = 0; i < kModeCountPanel; ++i) {
    auto* b = new QPushButton(QString(kModes[i].label));
    b->setObjectName(kModes[i].label);
    b->setCheckable(true);
    b->setFocusPolicy(Qt::NoFocus);
    group->addButton(b, i);
    connect(b, &QPushButton::clicked, this, [this, i] { SetMode(kModes[i].mode); });
    modes->addWidget(b, i / 3, i % 3);
    m_modeButtons.push_back(b);
  }

  // Switches: a lamp over each button.
  auto* switches = new QGridLayout;
  for (int i = 0; i < kSwitchCount; ++i) {
    m_switchLamp[i] = new CLamp(QString(), QColor(255, 170, 40));
    m_switchLamp[i]->setObjectName(QString(kSwitchLabels[i]).toLower() + "Lamp");
    m_switch[i] = new QPushButton(QString(kSwitchLabels[i]));
    m_switch[i]->setObjectName(kSwitchLabels[i]);
    m_switch[i]->setCheckable(true);
    m_switch[i]->setFocusPolicy(Qt::NoFocus);
    switches->addWidget(m_switchLamp[i], 0, i, Qt::AlignHCenter);
    switches->addWidget(m_switch[i], 1, i);
  }
  connect(m_switch[kSwitchAtt], &QPushButton::toggled, this, [this](bool on) { SetAttenuator(on); });
  connect(m_switch[kSwitchAgc], &QPushButton::toggled, this, [this](bool on) { SetAGC(on); });
  connect(m_switch[kSwitchNb], &QPushButton::toggled, this, [this](bool on) { SetNoiseBlanker(on); });

  m_volumePot = new CPotentiometer(CPotentiometer::kRotary, QString("VOLUME"));
  m_volumePot->setObjectName("volume");
  m_volumePot->SetChangeHandler([this](int v) { SetVolume(v); });
  m_squelchPot = new CPotentiometer(CPotentiometer::kRotary, QString("SQUELCH"));
  m_squelchPot->setObjectName("squelch");
  m_squelchPot->SetChangeHandler([this](int v) { SetSquelch(v); });
  m_ifShiftPot = new CPotentiometer(CPotentiometer::kRotary, QString("IF SHIFT"));
  m_ifShiftPot->setObjectName("ifShift");
  m_ifShiftPot->SetChangeHandler([this](int v) { SetIFS(v); });
  auto* pots = new QHBoxLayout;
  for (CPotentiometer* pot : {m_volumePot, m_squelchPot, m_ifShiftPot}) {
    pot->setMinimumSize(kPotMinimum);
    pot->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    pots->addWidget(pot);
  }

  m_knob = new CKnob;
  m_knob->setObjectName("knob");
  m_knob->setMinimumSize(kKnobMinimum);
  m_knob->setToolTip(QString("Drag round or turn the wheel to tune; each detent is a tenth of the step"));
  m_knob->SetTurnHandler([this](int detents) { Tune(detents); });
  auto* tuning = new QVBoxLayout;
  tuning->addWidget(m_knob, 1);

  auto* controls = new QVBoxLayout;
  controls->addWidget(Section("MODE", modes));
  controls->addWidget(Section("RF", switches));
  auto* lower = new QHBoxLayout;
  lower->addLayout(controls);
  lower->addWidget(Section("AUDIO / IF", pots), 1);
  lower->addWidget(Section("TUNING", tuning));

  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(12, 12, 12, 12);
  page->setSpacing(10);
  page->addLayout(top);
  page->addLayout(lower, 1);

  m_pollTimer = new QTimer(this);
  connect(m_pollTimer, &QTimer::timeout, this, [this] { Poll(); });
  m_keepAlive = new QTimer(this);
  connect(m_keepAlive, &QTimer::timeout, this, [this] { Radio_KeepAlive(); });
}

// ---- what the displays show ----

QString CPCR1000Modul::FrequencyText(double kHz) {
  QString t = QString::asprintf("%11.3f", kHz);
  t.replace(QLatin1Char('.'), QLatin1Char(','));
  if (kHz >= 1000.0)
    t.insert(4, QLatin1Char('.'));
  else
    t.prepend(QLatin1Char(' '));
  if (kHz >= 1000000.0)
    t.insert(1, QLatin1Char('.'));
  else
    t.prepend(QLatin1Char(' '));
  return t + QStringLiteral(" KHz");
}

QString CPCR1000Modul::StepText(double hz) {
  const char* unit = "Hz ";
  if (hz >= 1000.0) {
    hz /= 1000.0;
    unit = "KHz";
    if (hz >= 1000.0) {
      hz /= 1000.0;
      unit = "MHz";
    }
  }
  if (hz == std::floor(hz)) return QString::asprintf("%5d %s", int(hz), unit);
  return QString::asprintf("%5.2f %s", hz, unit);
}

QString CPCR1000Modul::IfText(int kHz) { return QString::asprintf("%3d KHz", kHz); }

double CPCR1000Modul::StepHz() const { return kStepsHz[m_stepIndex]; }

void CPCR1000Modul::ShowAll() {
  m_display->SetText(FrequencyText(m_kHz));
  m_stepDisplay->SetText(StepText(StepHz()));
  m_ifDisplay->SetText(IfText(kIfWidthsKHz[m_ifIndex]));
  m_modeButtons[size_t(m_modeIndex)]->setChecked(true);
  const int on[kSwitchCount] = {m_att, m_agc, m_nb};
  for (int i = 0; i < kSwitchCount; ++i) {
    const QSignalBlocker block(m_switch[i]);
    m_switch[i]->setChecked(on[i] != 0);
    m_switchLamp[i]->SetOn(on[i]);
  }
  m_volumePot->SetValue(m_volume);
  m_squelchPot->SetValue(m_squelch);
  m_ifShiftPot->SetValue(m_ifShift);
}

// ---- setters ----

void CPCR1000Modul::SetFreq(double kHz) {
  if (!std::isfinite(kHz)) return;
  m_kHz = std::clamp(kHz, 0.0, kMaxKHz);
  if (m_shared)
    m_core.SetFrequency(m_kHz);
  else
    Radio_SetFrq(m_kHz);
  if (m_display) m_display->SetText(FrequencyText(m_kHz));
}

void CPCR1000Modul::SetStep(double hz) {
  const int index = IndexOf(kStepsHz, kStepCount, hz);
  if (index >= 0) m_stepIndex = index;
  if (m_stepDisplay) m_stepDisplay->SetText(StepText(hz));
}

void CPCR1000Modul::SetMode(int mode) {
  if (m_shared)
    m_core.SetMode(mode);
  else
    Radio_SetMode(mode);
  for (int i = 0; i < kModeCountPanel; ++i)
    if (kModes[i].mode == mode) {
      m_modeIndex = i;
      if (!m_modeButtons.empty()) m_modeButtons[size_t(i)]->setChecked(true);
    }
}

void CPCR1000Modul::SetZFBW(int kHz) {
  if (m_shared)
    m_core.SetIfWidth(kHz);
  else
    Radio_SetZFWidth(kHz);
  for (int i = 0; i < kIfCount; ++i)
    if (kIfWidthsKHz[i] == kHz) m_ifIndex = i;
  if (m_ifDisplay) m_ifDisplay->SetText(IfText(kHz));
}

void CPCR1000Modul::SendRaw(const char* format, int value) {
  char command[16];
  const int n = snprintf(command, sizeof command, format, value);
  (m_shared ? m_core.Radio() : static_cast<CRadio&>(*this)).TxCom(command, n);
}

void CPCR1000Modul::SetIFS(int shift) {
  m_ifShift = std::clamp(shift, 0, kLevelMax);
  if (m_ifShiftPot) m_ifShiftPot->SetValue(m_ifShift);
  SendRaw(kIfShiftCommand, m_ifShift);
}

void CPCR1000Modul::SetAttenuator(int on) {
  m_att = on != 0;
  if (m_shared)
    m_core.SetAttenuator(m_att);
  else
    Radio_SetAtt(m_att);
  if (m_switch[kSwitchAtt]) {
    const QSignalBlocker block(m_switch[kSwitchAtt]);
    m_switch[kSwitchAtt]->setChecked(m_att);
    m_switchLamp[kSwitchAtt]->SetOn(m_att);
  }
}

void CPCR1000Modul::SetAGC(int on) {
  m_agc = on != 0;
  // Through the core the same command goes out, and the station's record keeps the flag.
  if (m_shared)
    m_core.SetAgc(m_agc);
  else
    SendRaw(kAgcCommand, m_agc);
  if (m_switch[kSwitchAgc]) {
    const QSignalBlocker block(m_switch[kSwitchAgc]);
    m_switch[kSwitchAgc]->setChecked(m_agc);
    m_switchLamp[kSwitchAgc]->SetOn(m_agc);
  }
}

void CPCR1000Modul::SetNoiseBlanker(int on) {
  m_nb = on != 0;
  if (m_shared)
    m_core.SetNoiseBlanker(m_nb);
  else
    SendRaw(kNbCommand, m_nb);
  if (m_switch[kSwitchNb]) {
    const QSignalBlocker block(m_switch[kSwitchNb]);
    m_switch[kSwitchNb]->setChecked(m_nb);
    m_switchLamp[kSwitchNb]->SetOn(m_nb);
  }
}

void CPCR1000Modul::SetVolume(int level) {
  m_volume = std::clamp(level, 0, kLevelMax);
  if (m_volumePot) m_volumePot->SetValue(m_volume);
  if (m_shared)
    m_core.SetVolume(m_volume);
  else
    Radio_SetVolume(m_volume);
}

void CPCR1000Modul::SetSquelch(int level) {
  m_squelch = std::clamp(level, 0, kLevelMax);
  if (m_squelchPot) m_squelchPot->SetValue(m_squelch);
  if (m_shared)
    m_core.SetSquelch(m_squelch);
  else
    Radio_SetSquelch(m_squelch);
}

void CPCR1000Modul::StepBy(int delta) {
  m_stepIndex = std::clamp(m_stepIndex + delta, 0, kStepCount - 1);
  SetStep(kStepsHz[m_stepIndex]);
}

void CPCR1000Modul::IfBy(int delta) {
  m_ifIndex = std::clamp(m_ifIndex + delta, 0, kIfCount - 1);
  SetZFBW(kIfWidthsKHz[m_ifIndex]);
}

void CPCR1000Modul::Tune(int detents) {
  // Whole Hz, so that repeated detents collect no rounding dust.
  const double hz = std::trunc(detents * StepHz() * kKnobShare + m_kHz * kHzPerKHz + 0.5);
  SetFreq(hz / kHzPerKHz);
}

void CPCR1000Modul::OpenEntry() {
  auto* entry = new CEnterFreq(this, m_kHz);
  entry->setAttribute(Qt::WA_DeleteOnClose);
  connect(entry, &QDialog::accepted, this, [this, entry] { SetFreq(entry->KHz()); });
  entry->open();
}

// ---- the receiver's reports ----

void CPCR1000Modul::SMeterChange(int value) { m_smeter = value; }
void CPCR1000Modul::SquelchChange(int open) { m_squelchOpen = open; }

int CPCR1000Modul::GetSMeter() const { return m_shared ? m_core.LastSMeter() : m_smeter.load(); }

int CPCR1000Modul::GetSquelch() const {
  return m_shared ? m_core.Radio().SquelchState() : m_squelchOpen.load();
}

void CPCR1000Modul::SendState() {
  if (!m_ready) return;
  if (m_shared) {
    // The station's receiver has its settings already; only the IF shift is the panel's.
    FollowStation();
    ShowAll();
    SetIFS(m_ifShift);
    Poll();
    return;
  }
  SetFreq(m_kHz);
  SetStep(StepHz());
  SetVolume(m_volume);
  SetSquelch(m_squelch);
  SetIFS(m_ifShift);
  SetMode(kModes[m_modeIndex].mode);
  SetAttenuator(m_att);
  SetAGC(m_agc);
  SetNoiseBlanker(m_nb);
  SetZFBW(kIfWidthsKHz[m_ifIndex]);
  Poll();
}

void CPCR1000Modul::Poll() {
  if (!m_ready) return;
  // The replies arrive on the reader thread; what the last queries brought is shown now.
  CRadio& radio = m_shared ? m_core.Radio() : static_cast<CRadio&>(*this);
  radio.TxCom(kSMeterQuery, int(strlen(kSMeterQuery)));
  radio.TxCom(kSquelchQuery, int(strlen(kSquelchQuery)));
  m_sMeter->SetValue(GetSMeter());
  m_squelchLamp->SetOn(GetSquelch());
  if (m_shared) {
    FollowStation();
    ShowAll();
  }
}

// Takes the station's receiver settings as the panel's own (shown, not sent).
void CPCR1000Modul::FollowStation() {
  const CSettingsRecord& s = m_core.Settings();
  m_kHz = std::clamp(s.GetDouble(kCfgFrequency), 0.0, kMaxKHz);
  for (int i = 0; i < kModeCountPanel; ++i)
    if (kModes[i].mode == s.GetInt(kCfgMode)) m_modeIndex = i;
  for (int i = 0; i < kIfCount; ++i)
    if (kIfWidthsKHz[i] == s.GetInt(kCfgIfWidth)) m_ifIndex = i;
  m_att = s.GetInt(kCfgAttenuator) != 0;
  m_agc = s.GetInt(kCfgAgc) != 0;
  m_nb = s.GetInt(kCfgNoiseBlanker) != 0;
  m_volume = std::clamp(s.GetInt(kCfgVolume), 0, kLevelMax);
  m_squelch = std::clamp(s.GetInt(kCfgSquelch), 0, kLevelMax);
}

// ---- state ----

std::string CPCR1000Modul::StateSection() const {
  const QString title = windowTitle().isEmpty() ? QString(kDefaultTitle) : windowTitle();
  return title.toStdString() + kSectionSuffix;
}

void CPCR1000Modul::LoadState(const CProfileFile& profile) {
  const std::string section = StateSection();
  long long hz = kDefaultFrequencyHz;
  const std::string text = profile.GetString(section, kKeyFrequency, "");
  long long parsed = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (!text.empty() && ec == std::errc() && end == text.data() + text.size()) hz = parsed;
  m_kHz = std::clamp(hz / kHzPerKHz, 0.0, kMaxKHz);
  m_stepIndex = std::clamp(profile.GetInt(section, kKeyStep, kDefaultStep), 0, kStepCount - 1);
  m_volume = std::clamp(profile.GetInt(section, kKeyVolume, kDefaultVolume), 0, kLevelMax);
  m_squelch = std::clamp(profile.GetInt(section, kKeySquelch, kDefaultSquelch), 0, kLevelMax);
  m_modeIndex = std::clamp(profile.GetInt(section, kKeyMode, kDefaultMode), 0, kModeCountPanel - 1);
  m_att = profile.GetInt(section, kKeyAtt, 0) != 0;
  m_agc = profile.GetInt(section, kKeyAgc, 0) != 0;
  m_nb = profile.GetInt(section, kKeyNb, 0) != 0;
  m_ifIndex = std::clamp(profile.GetInt(section, kKeyIf, kDefaultIf), 0, kIfCount - 1);
  m_ifShift = std::clamp(profile.GetInt(section, kKeyIfShift, kIfShiftCentre), 0, kLevelMax);
  if (profile.Has(section, kKeyLeft) && profile.Has(section, kKeyTop))
    move(profile.GetInt(section, kKeyLeft, 0), profile.GetInt(section, kKeyTop, 0));
}

void CPCR1000Modul::SaveState(CProfileFile& profile) const {
  const std::string section = StateSection();
  profile.SetInt(section, kKeyLeft, pos().x());
  profile.SetInt(section, kKeyTop, pos().y());
  const long long hz = (long long)std::trunc(m_kHz * kHzPerKHz + 0.5);
  profile.SetString(section, kKeyFrequency, std::to_string(hz));
  profile.SetInt(section, kKeyStep, m_stepIndex);
  profile.SetInt(section, kKeyVolume, m_volume);
  profile.SetInt(section, kKeySquelch, m_squelch);
  profile.SetInt(section, kKeyMode, m_modeIndex);
  profile.SetInt(section, kKeyAtt, m_att);
  profile.SetInt(section, kKeyAgc, m_agc);
  profile.SetInt(section, kKeyNb, m_nb);
  profile.SetInt(section, kKeyIf, m_ifIndex);
  profile.SetInt(section, kKeyIfShift, m_ifShift);
}

void CPCR1000Modul::done(int result) {
  if (m_ready) {
    SaveState(m_core.Profile());
    m_core.SaveProfile();  // KSTL.INI on disk now, not only when the station ends
    if (m_pollTimer) m_pollTimer->stop();
  }
  QDialog::done(result);
}
