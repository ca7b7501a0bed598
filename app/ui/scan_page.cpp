#include "app/ui/scan_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeZone>
#include <QVBoxLayout>

#include "spl/widgets/lamp.h"
#include "spl/widgets/scan_report_view.h"

namespace {

constexpr const char* kChannelListName = "default.scl";
constexpr const char* kLiveReport = "LASTSCAN";
constexpr const char* kReportFilter = "ScannerReport (*.scl)";
constexpr const char* kLoadTitle = "Load a Tessaly ScannerReport";
constexpr const char* kSaveTitle = "Save a Tessaly ChannelScannerList";
constexpr const char* kDwellHint = "WhileTime per Step (secunds ! minimum = 0.1)";
constexpr const char* kRecordHint = "maximal record time (in sec.  ! minmal = 0.1  and  0 = complete time )";
constexpr double kMaxKHz = 3000000.0;
constexpr int kMaxStepHz = 10000000;
constexpr double kMinDwellS = 0.1, kMaxDwellS = 3600.0, kMaxRecordS = 86400.0;
constexpr double kMsPerS = 1000.0;
constexpr int kLevelMax = 255;
enum HoldColumn { kHoldTime, kHoldKHz, kHoldLevel, kHoldBlocks, kHoldColumns };

QString KHzText(double kHz) { return QString::number(kHz, 'f', 3); }

QString UtcText(int seconds, const char* format = "yyyy-MM-dd hh:mm:ss") {
  return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()).toString(format);
}

}  // namespace

CScanPage::CScanPage(CStationCore& core, QWidget* parent) : QWidget(parent), m_core(core) {
  auto* top = new QHBoxLayout;
  top->addWidget(MakeSettings(), 3);
  top->addWidget(MakeLevels(), 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(MakeReport(), 1);
  Refresh();
}

QWidget* CScanPage::MakeSettings() {
  auto* box = new QGroupBox("Scan");
  auto* form = new QFormLayout;
  auto spin = [](double max, int decimals, const char* suffix) {
    auto* s = new QDoubleSpinBox;
    s->setRange(0.0, max);
    s->setDecimals(decimals);
    s->setSuffix(suffix);
    return s;
  };
  m_start = spin(kMaxKHz, 3, " kHz");
  m_start->setObjectName("scanStart");
  m_start->setToolTip("0: the receiver's frequency");
  m_stop = spin(kMaxKHz, 3, " kHz");
  m_stop->setObjectName("scanStop");
  m_stop->setToolTip("0: 50 steps above the start");
  m_step = new QSpinBox;
  m_step->setObjectName("scanStep");
  m_step->setRange(0, kMaxStepHz);
  m_step->setSuffix(" Hz");
  m_step->setToolTip("0: the tuning step");
  m_dwell = spin(kMaxDwellS, 1, " s");
  m_dwell->setObjectName("scanDwell");
  m_dwell->setMinimum(kMinDwellS);
  m_dwell->setToolTip(kDwellHint);
  m_record = spin(kMaxRecordS, 1, " s");
  m_record->setObjectName("scanRecord");
  m_record->setToolTip(kRecordHint);
  m_stopOnSignal = new QCheckBox("stop on signal");
  m_recordOnSignal = new QCheckBox("record on signal");
  m_source = new QComboBox;
  m_source->addItems({"audio squelch", "receiver squelch (S-meter)"});
  form->addRow("Start", m_start);
  form->addRow("Stop", m_stop);
  form->addRow("Step", m_step);
  form->addRow("Dwell", m_dwell);
  form->addRow("Record time", m_record);
  auto* checks = new QHBoxLayout;
  checks->addWidget(m_stopOnSignal);
  checks->addWidget(m_recordOnSignal);
  form->addRow(checks);
  form->addRow("Signal is", m_source);
  m_range = new QPushButton("Range scan");
  m_channels = new QPushButton("Channel scan");
  m_channels->setToolTip("the checked channels of the channel list, in list order");
  m_stopButton = new QPushButton("Stop");
  connect(m_range, &QPushButton::clicked, this, [this] { StartRange(); });
  connect(m_channels, &QPushButton::clicked, this, [this] { StartChannels(); });
  connect(m_stopButton, &QPushButton::clicked, this, [this] { Stop(); });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_range);
  buttons->addWidget(m_channels);
  buttons->addWidget(m_stopButton);
  form->addRow(buttons);
  box->setLayout(form);
  return box;
}

QWidget* CScanPage::MakeLevels() {
  auto* box = new QGroupBox("Now");
  auto* v = new QVBoxLayout(box);
  m_frequency = new QLabel("----.--- kHz");
  m_frequency->setObjectName("scanFrequency");
  QFont big = m_frequency->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  m_frequency->setFont(big);
  v->addWidget(m_frequency);
  auto bar = [v](const char* name) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(name);
    label->setMinimumWidth(56);
    auto* b = new QProgressBar;
    b->setRange(0, kLevelMax);
    b->setTextVisible(false);
    row->addWidget(label);
    row->addWidget(b, 1);
    v->addLayout(row);
    return b;
  };
  m_smeter = bar("S-meter");
  m_audio = bar("Audio");
  m_lamp = new CLamp("HOLD", QColor(250, 120, 40));
  v->addWidget(m_lamp);
  m_holds = new QTableWidget(0, kHoldColumns);
  m_holds->setHorizontalHeaderLabels({"UTC", "kHz", "Level", "Blocks"});
  m_holds->verticalHeader()->hide();
  m_holds->horizontalHeader()->setStretchLastSection(true);
  m_holds->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_holds->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_holds->setToolTip("double click: play the held signal");
  connect(m_holds, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { PlayHold(row); });
  v->addWidget(m_holds, 1);
  return box;
}

QWidget* CScanPage::MakeReport() {
  auto* box = new QGroupBox;
  auto* v = new QVBoxLayout(box);
  auto* head = new QHBoxLayout;
  m_title = new QLabel;
  m_rows = new QComboBox;
  m_rows->addItems({"S-meter", "Audio"});
  auto* save = new QPushButton("Save report...");
  auto* load = new QPushButton("Load report...");
  head->addWidget(m_title, 1);
  head->addWidget(m_rows);
  head->addWidget(save);
  head->addWidget(load);
  v->addLayout(head);
  m_report = new CScanReportView;
  m_report->setMinimumHeight(150);
  m_report->SetScanner(&m_core.Scanner());
  m_report->SetClickHandler([this](int column, int line) { ShowCell(column, line); });
  v->addWidget(m_report, 1);
  m_cell = new QLabel("click on the report to read a step");
  v->addWidget(m_cell);
  connect(m_rows, &QComboBox::currentIndexChanged, this, [this](int i) {
    m_report->SetRows(i ? CScanReportView::kAudioRows : CScanReportView::kSMeterRows);
  });
  connect(save, &QPushButton::clicked, this, [this] { SaveReport(); });
  connect(load, &QPushButton::clicked, this, [this] { LoadReport(); });
  return box;
}

void CScanPage::Refresh() {
  const CSettingsRecord& s = m_core.Settings();
  m_start->setValue(s.GetDouble(kCfgScanStart));
  m_stop->setValue(s.GetDouble(kCfgScanStop));
  m_step->setValue(s.GetInt(kCfgScanStep));
  m_dwell->setValue(s.GetInt(kCfgScanDwellMs) / kMsPerS);
  m_record->setValue(s.GetInt(kCfgScanRecordTime) / kMsPerS);
  m_stopOnSignal->setChecked(s.GetInt(kCfgScanStopOnSignal) != 0);
  m_recordOnSignal->setChecked(s.GetInt(kCfgScanRecordOnSignal) != 0);
  m_source->setCurrentIndex(s.GetInt(kCfgScanEventSource) ? 1 : 0);
  ShowRunning();
}

void CScanPage::StoreSettings() {
  CSettingsRecord& s = m_core.Settings();
  s.SetDouble(kCfgScanStart, m_start->value());
  s.SetDouble(kCfgScanStop, m_stop->value());
  s.SetInt(kCfgScanStep, m_step->value());
  s.SetInt(kCfgScanDwellMs, int(m_dwell->value() * kMsPerS + 0.5));
  s.SetInt(kCfgScanRecordTime, int(m_record->value() * kMsPerS + 0.5));
  s.SetInt(kCfgScanStopOnSignal, m_stopOnSignal->isChecked() ? 1 : 0);
  s.SetInt(kCfgScanRecordOnSignal, m_recordOnSignal->isChecked() ? 1 : 0);
  s.SetInt(kCfgScanEventSource, m_source->currentIndex());
}

void CScanPage::ShowRunning() {
  const bool scanning = m_core.Scanning() != 0;
  for (QWidget* w : std::initializer_list<QWidget*>{m_start, m_stop, m_step, m_dwell, m_record, m_stopOnSignal,
                                                    m_recordOnSignal, m_source, m_range, m_channels})
    w->setEnabled(!scanning);
  m_stopButton->setEnabled(scanning);
  m_lamp->SetOn(m_core.ScanHolding());
  m_title->setText(QString("report of:  %1")
                       .arg(m_loaded.empty() ? QString(kLiveReport)
                                             : QFileInfo(QString::fromStdString(m_loaded)).fileName()));
}

void CScanPage::BeginShowing() {
  StoreSettings();
  m_holds->setRowCount(0);
  m_loaded.clear();
  // The report shows the levels a signal is judged by.
  m_rows->setCurrentIndex(m_source->currentIndex() ? 0 : 1);
}

int CScanPage::StartRange() {
  BeginShowing();
  const int ok = m_core.StartRangeScan();
  // A recording that could not be opened was switched off.
  m_recordOnSignal->setChecked(m_core.Settings().GetInt(kCfgScanRecordOnSignal) != 0);
  m_report->Redraw();
  ShowRunning();
  return ok;
}

int CScanPage::StartChannels() {
  BeginShowing();
  const int ok = m_core.StartChannelScan(m_core.Settings().GetPath(kCfgDataFolder) + "/" + kChannelListName);
  m_recordOnSignal->setChecked(m_core.Settings().GetInt(kCfgScanRecordOnSignal) != 0);
  m_report->Redraw();
  ShowRunning();
  return ok;
}

void CScanPage::Stop() {
  m_core.StopScan();
  m_report->Redraw();
  ShowRunning();
}

void CScanPage::ScanValue(int, int, float kHz, int smeter, int audio) {
  m_frequency->setText(KHzText(kHz) + " kHz");
  m_smeter->setValue(std::min(smeter, kLevelMax));
  m_audio->setValue(std::min(audio, kLevelMax));
}

void CScanPage::ScanLineFinished(int) {
  if (m_loaded.empty()) m_report->Redraw();
}

void CScanPage::ScanHold(const ScanEvent& event, int on) {
  m_lamp->SetOn(on);
  const std::vector<ScanEvent>& events = m_core.ScanEvents();
  const int row = int(events.size()) - 1;
  if (row < 0) return;
  if (on) m_holds->insertRow(row);
  ScanEntry entry;
  m_core.Scanner().GetEntry(event.column, event.line, entry);
  const QString cells[kHoldColumns] = {UtcText(entry.time, "hh:mm:ss"), KHzText(event.kHz), QString::number(event.value),
                                       QString::number(event.blocks)};
  for (int c = 0; c < kHoldColumns; ++c) m_holds->setItem(row, c, new QTableWidgetItem(cells[c]));
  if (on) m_holds->scrollToBottom();
}

void CScanPage::ScanTuned(float kHz) {
  if (!m_core.ScanHolding()) m_frequency->setText(KHzText(kHz) + " kHz");
}

void CScanPage::PlayHold(int row) {
  if (!m_core.PlayScanEvent(row)) m_cell->setText("this hold has no recording (record on signal was off)");
}

int CScanPage::SaveReportTo(const std::string& path) { return m_core.SaveScanReport(path); }

int CScanPage::LoadReportFrom(const std::string& path) {
  const int ok = m_core.LoadScanReport(path);
  m_loaded = ok ? path : std::string();
  m_report->Redraw();
  ShowRunning();
  return ok;
}

void CScanPage::SaveReport() {
  const QString path = QFileDialog::getSaveFileName(
      this, kSaveTitle, QString::fromStdString(m_core.Settings().GetPath(kCfgScanFolder)), kReportFilter);
  if (path.isEmpty()) return;
  QString file = path;
  if (!file.endsWith(".scl", Qt::CaseInsensitive)) file += ".scl";
  SaveReportTo(file.toStdString());
}

void CScanPage::LoadReport() {
  const QString path = QFileDialog::getOpenFileName(
      this, kLoadTitle, QString::fromStdString(m_core.Settings().GetPath(kCfgScanFolder)), kReportFilter);
  if (!path.isEmpty()) LoadReportFrom(path.toStdString());
}

void CScanPage::ShowCell(int column, int line) {
  ScanEntry entry;
  if (!m_core.Scanner().GetEntry(column, line, entry)) return;
  m_cell->setText(QString("%1 kHz   %2 UTC   S-meter %3   audio %4   blocks %5")
                      .arg(KHzText(m_core.Scanner().ColumnFrq(column)), UtcText(entry.time))
                      .arg(entry.smeter)
                      .arg(entry.audio)
                      .arg(entry.blocks));
}

QString CScanPage::Title() const { return m_title->text(); }
QString CScanPage::FrequencyText() const { return m_frequency->text(); }
QString CScanPage::CellText() const { return m_cell->text(); }
