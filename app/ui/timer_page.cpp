#include "app/ui/timer_page.h"

#include <QDateTime>

#include "app/lists/time_scanner.h"

namespace {

constexpr int kTickMs = 1000;
constexpr int kStatusSpacing = 8;   // pixels between the clock and the lamp
constexpr int kGroupSpacing = 12;   // pixels between the schedule's and the list's buttons
constexpr const char* kLampOff = "QLabel { background: #404040; border-radius: 7px; }";
constexpr const char* kLampOn = "QLabel { background: #30d030; border-radius: 7px; }";
constexpr int kLampSize = 14;

}  // namespace

CTimerPage::CTimerPage(CStationCore& core, QWidget* parent)
    : CListPage(core, kTimerListKind, parent) {
  QHBoxLayout* top = TopRow();
  m_clock = new QLabel("--:--:--", this);
  m_clock->setToolTip("UTC");
  QFont bold = m_clock->font();
  bold.setBold(true);
  m_clock->setFont(bold);
  m_lamp = new QLabel(this);
  m_lamp->setFixedSize(kLampSize, kLampSize);
  m_lamp->setStyleSheet(kLampOff);
  m_lamp->setToolTip("an entry is applied");
  m_status = new QLabel(this);
  m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  top->addWidget(new QLabel("UTC", this));
  top->addWidget(m_clock);
  top->addSpacing(kStatusSpacing);
  top->addWidget(m_lamp);
  top->addWidget(m_status, 1);

  // The schedule's buttons go in front of the list's.
  QHBoxLayout* buttons = ButtonRow();
  m_start = new QPushButton("Start", this);
  m_start->setToolTip("run the schedule");
  m_stop = new QPushButton("Stop", this);
  m_stop->setToolTip("stop the schedule");
  m_stop->setEnabled(false);
  connect(m_start, &QPushButton::clicked, this, [this] { Start(); });
  connect(m_stop, &QPushButton::clicked, this, [this] { Stop(); });
  buttons->insertWidget(0, m_start);
  buttons->insertWidget(1, m_stop);
  buttons->insertSpacing(2, kGroupSpacing);

  m_tick.setInterval(kTickMs);
  connect(&m_tick, &QTimer::timeout, this, [this] { Tick(); });
}

CTimerPage::~CTimerPage() { m_tick.stop(); }

int CTimerPage::Init() {
  const int ok = CListPage::Init();
  Tick();
  m_tick.start();
  return ok;
}

int CTimerPage::Locked(std::string* why) const {
  if (!Running()) return 0;
  if (why) *why = kTimerRunningMessage;
  return 1;
}

int CTimerPage::Running() const { return Core().Timer().Running(); }

int CTimerPage::Start() {
  if (Running()) return 1;
  if (!Core().StartTimer(WorkingPath())) return 0;
  LockEditing(true);
  m_start->setEnabled(false);
  m_stop->setEnabled(true);
  Tick();
  return 1;
}

void CTimerPage::Stop() {
  Core().StopTimer();
  LockEditing(false);
  m_start->setEnabled(true);
  m_stop->setEnabled(false);
  m_status->clear();
  m_lamp->setStyleSheet(kLampOff);
  Table()->clearSelection();
}

void CTimerPage::Tick() {
  m_clock->setText(QDateTime::currentDateTimeUtc().toString("HH:mm:ss"));
  if (!Running()) return;
  const TimerCheck check = Core().CheckTimer();
  if (check.reloaded) Load();
  if (check.applied >= 0 && m_applied) m_applied();
  ShowRunning();
}

void CTimerPage::ShowRunning() {
  const CTimeScanner& timer = Core().Timer();
  const int active = timer.ActiveIndex();
  const bool lit = active >= 0 && timer.EntryApplied();
  m_status->setText(QString::fromStdString(timer.StatusText()));
  m_lamp->setStyleSheet(lit ? kLampOn : kLampOff);
  if (active >= 0 && active < Table()->rowCount())
    Table()->selectRow(active);
  else
    Table()->clearSelection();
}
