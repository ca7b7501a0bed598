#include "app/ui/timer_page.h"

#include <QDateTime>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QVBoxLayout>
#include <sys/stat.h>

#include "app/lists/frq_list_file.h"
#include "app/lists/frq_tables.h"
#include "app/ui/freq_list_view.h"
#include "app/ui/record_dialog.h"

namespace {

constexpr const char* kTimerListFileName = "default.tim";
constexpr const char* kWidthSection = "TIMCOL";
constexpr const char* kFileFilter = "TimerList (*.tim)";
constexpr const char* kLoadTitle = "Load a TimerList";
constexpr const char* kSaveTitle = "Save a TimerList";
constexpr int kTickMs = 1000;
constexpr int kHeaderPadding = 14;  // pixels beside a header's text
constexpr int kCheckBoxRoom = 34;   // pixels of a check box and its margins

struct TimerColumn {
  const char* header;
  int width;
};
constexpr TimerColumn kColumns[] = {{"Start", 57},   {"End", 50},       {"RX-Frq.(KHz)", 75},
                                    {"Name", 155},   {"Decoder", 130},  {"Modulation", 50},
                                    {"CallSign", 80}};
constexpr int kColumnCount = int(sizeof kColumns / sizeof kColumns[0]);
// The list columns shown after the window columns.
constexpr int kFrqColumnOf[] = {-1, -1, 0, 1, 2, 3, 4};

constexpr const char* kLampOff = "QLabel { background: #404040; border-radius: 7px; }";
constexpr const char* kLampOn = "QLabel { background: #30d030; border-radius: 7px; }";
constexpr int kLampSize = 14;

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

// ---- the table ----

CTimerListTable::CTimerListTable(QWidget* parent) : QTableWidget(parent) {
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(true);
}

void CTimerListTable::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasFormat(kFrqRecordMimeType))
    event->acceptProposedAction();
  else
    event->ignore();
}

void CTimerListTable::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasFormat(kFrqRecordMimeType))
    event->acceptProposedAction();
  else
    event->ignore();
}

void CTimerListTable::dropEvent(QDropEvent* event) {
  if (DropAt(event->mimeData(), event->position().toPoint()))
    event->acceptProposedAction();
  else
    event->ignore();
}

int CTimerListTable::DropAt(const QMimeData* mime, QPoint at) {
  if (!mime || !mime->hasFormat(kFrqRecordMimeType)) return 0;
  if (m_drop) m_drop(mime, rowAt(at.y()));
  return 1;
}

// ---- the page ----

CTimerPage::CTimerPage(CStationCore& core, QWidget* parent) : QWidget(parent), m_core(core) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);

  auto* top = new QHBoxLayout;
  m_clock = new QLabel("--:--:--", this);
  m_clock->setToolTip("UTC");
  QFont mono = m_clock->font();
  mono.setBold(true);
  m_clock->setFont(mono);
  m_lamp = new QLabel(this);
  m_lamp->setFixedSize(kLampSize, kLampSize);
  m_lamp->setStyleSheet(kLampOff);
  m_lamp->setToolTip("an entry is applied");
  m_status = new QLabel(this);
  m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  top->addWidget(new QLabel("UTC", this));
  top->addWidget(m_clock);
  top->addSpacing(8);
  top->addWidget(m_lamp);
  top->addWidget(m_status, 1);
  layout->addLayout(top);

  m_table = new CTimerListTable(this);
  m_table->setColumnCount(kColumnCount);
  QStringList headers;
  for (const TimerColumn& c : kColumns) headers << c.header;
  m_table->setHorizontalHeaderLabels(headers);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::SingleSelection);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setShowGrid(true);
  m_table->setWordWrap(false);
  m_table->verticalHeader()->hide();
  m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
  m_table->horizontalHeader()->setStretchLastSection(true);
  m_table->setToolTip("drag stations from the frequency list here");
  m_table->SetDropHandler([this](const QMimeData* mime, int row) { Drop(mime, row); });
  connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (m_showing || item->column() != 0) return;
    const int row = item->row();
    if (row < 0 || row >= int(m_records.size())) return;
    if (Running()) {  // the list is locked: the mark goes back once the signal has returned
      QTimer::singleShot(0, this, [this] { ShowRecords(); });
      return;
    }
    const bool checked = item->checkState() == Qt::Checked;
    const bool enabled = (uint32_t(m_records[size_t(row)].flags) & kTimerEntryEnabled) != 0;
    if (checked != enabled) Toggle(row);
  });
  connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    if (!Running()) EditEntry(row);
  });
  connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
    if (!m_showing) m_core.Profile().SetInt(kWidthSection, QString::asprintf("C%02d", section).toStdString(), size);
  });
  layout->addWidget(m_table, 1);

  auto* buttons = new QHBoxLayout;
  auto button = [this, buttons](const char* text, const char* tip, std::function<void()> run, bool editing) {
    auto* b = new QPushButton(text, this);
    b->setToolTip(tip);
    connect(b, &QPushButton::clicked, this, [run] { run(); });
    buttons->addWidget(b);
    if (editing) m_editing.push_back(b);
    return b;
  };
  m_start = button("Start", "run the schedule", [this] { Start(); }, true);
  m_stop = button("Stop", "stop the schedule", [this] { Stop(); }, false);
  buttons->addSpacing(12);
  button("Edit", "edit the entry's record and window", [this] { EditEntry(m_table->currentRow()); }, true);
  button("Delete", "delete the selected entry", [this] { Delete(m_table->currentRow()); }, true);
  button("Clear", "delete every entry", [this] {
    if (QMessageBox::question(this, "Timer", "Delete every entry of the timer list?",
                              QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok)
      Clear();
  }, true);
  buttons->addSpacing(12);
  button("Load...", "load a timer list", [this] {
    const QString path = QFileDialog::getOpenFileName(
        this, kLoadTitle, QString::fromStdString(m_core.Settings().GetPath(kCfgDataFolder)), kFileFilter);
    if (!path.isEmpty()) LoadFrom(path.toStdString());
  }, true);
  button("Save...", "save the timer list", [this] {
    QString path = QFileDialog::getSaveFileName(
        this, kSaveTitle, QString::fromStdString(m_core.Settings().GetPath(kCfgDataFolder)), kFileFilter);
    if (path.isEmpty()) return;
    if (!path.endsWith(".tim", Qt::CaseInsensitive)) path += ".tim";
    SaveTo(path.toStdString());
  }, false);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  m_stop->setEnabled(false);

  m_tick.setInterval(kTickMs);
  connect(&m_tick, &QTimer::timeout, this, [this] { Tick(); });
}

CTimerPage::~CTimerPage() { m_tick.stop(); }

void CTimerPage::Tell(const std::string& text) {
  if (m_notify) {
    m_notify(text);
    return;
  }
  QMessageBox::warning(this, "Timer", QString::fromStdString(text));
}

int CTimerPage::Init() {
  m_path = m_core.Settings().GetPath(kCfgDataFolder) + "/" + kTimerListFileName;
  m_showing = true;
  // The usual widths were made for a smaller font: no column starts narrower than its header,
  // and the first also holds its check box.
  const QFontMetrics fm = m_table->horizontalHeader()->fontMetrics();
  for (int c = 0; c < kColumnCount; ++c) {
    int width = qMax(kColumns[c].width, fm.horizontalAdvance(kColumns[c].header) + kHeaderPadding);
    if (c == 0) width = qMax(width, fm.horizontalAdvance("+ 00:00") + kCheckBoxRoom);
    m_table->setColumnWidth(
        c, m_core.Profile().GetInt(kWidthSection, QString::asprintf("C%02d", c).toStdString(), width));
  }
  m_showing = false;
  const int ok = Load();
  Tick();
  m_tick.start();
  return ok;
}

int CTimerPage::Load() {
  std::vector<CFrqRecord> records;
  if (FileExists(m_path)) {
    std::string why;
    if (!ReadFrqListFile(m_path, 1, records, &why)) {
      m_records.clear();
      ShowRecords();
      Tell(why);
      return 0;
    }
  }
  m_records = std::move(records);
  ShowRecords();
  return 1;
}

void CTimerPage::ShowRecords() {
  m_showing = true;
  m_table->clearContents();
  m_table->setRowCount(int(m_records.size()));
  for (int row = 0; row < int(m_records.size()); ++row) {
    const CFrqRecord& r = m_records[size_t(row)];
    for (int c = 0; c < kColumnCount; ++c) {
      QString text;
      if (c == 0) text = QString::fromStdString(TimerMinuteText(r.extension[0]));
      else if (c == 1) text = QString::fromStdString(TimerMinuteText(r.extension[1]));
      else text = FreqListCell(r, kFrqColumnOf[c]);
      auto* item = new QTableWidgetItem(text);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | (c == 0 ? Qt::ItemIsUserCheckable : Qt::NoItemFlags));
      if (c == 0) item->setCheckState((uint32_t(r.flags) & kTimerEntryEnabled) ? Qt::Checked : Qt::Unchecked);
      m_table->setItem(row, c, item);
    }
  }
  m_showing = false;
}

int CTimerPage::Store(std::vector<CFrqRecord> records, bool show) {
  std::string why;
  if (!WriteFrqRecordFile(m_path, records, &why)) {
    Tell(why);
    return 0;
  }
  m_records = std::move(records);
  if (show) ShowRecords();
  return 1;
}

int CTimerPage::Drop(const QMimeData* mime, int row) {
  CFrqRecord record;
  if (!FrqRecordFromMime(mime, record)) return 0;
  return Insert(record, row);
}

int CTimerPage::Insert(const CFrqRecord& record, int row) {
  if (Running()) {
    Tell("ERROR: TimeManger in progress");
    return 0;
  }
  CFrqRecord entry = record;
  entry.flags = int32_t(kTimerEntryEnabled);
  entry.extension[0] = entry.extension[1] = 0;
  std::vector<CFrqRecord> records = m_records;
  const int at = row < 0 || row > int(records.size()) ? int(records.size()) : row;
  records.insert(records.begin() + at, entry);
  if (!Store(std::move(records))) return 0;
  m_table->selectRow(at);
  return 1;
}

int CTimerPage::Toggle(int row) {
  if (row < 0 || row >= int(m_records.size())) return 0;
  std::vector<CFrqRecord> records = m_records;
  records[size_t(row)].flags = int32_t(uint32_t(records[size_t(row)].flags) ^ kTimerEntryEnabled);
  const bool enabled = (uint32_t(records[size_t(row)].flags) & kTimerEntryEnabled) != 0;
  // Only the mark changes: the table is not rebuilt, since the click that toggled may still
  // be working on the row's item.
  if (!Store(std::move(records), false)) {
    QTimer::singleShot(0, this, [this] { ShowRecords(); });
    return 0;
  }
  m_showing = true;
  if (QTableWidgetItem* item = m_table->item(row, 0)) item->setCheckState(enabled ? Qt::Checked : Qt::Unchecked);
  m_showing = false;
  return 1;
}

int CTimerPage::EditEntry(int row) {
  if (row < 0 || row >= int(m_records.size())) {
    Tell("ERROR: item not selected - select a item before edit");
    return 0;
  }
  CFrqRecord record = m_records[size_t(row)];
  if (m_editor) {
    if (!m_editor(record)) return 0;
  } else {
    CRecordDialog dialog(record, CRecordDialog::kTimerEntry, this);
    if (dialog.exec() != QDialog::Accepted) return 0;
    record = dialog.Record();
  }
  return Replace(row, record);
}

int CTimerPage::Replace(int row, const CFrqRecord& record) {
  if (row < 0 || row >= int(m_records.size())) return 0;
  std::vector<CFrqRecord> records = m_records;
  records[size_t(row)] = record;
  if (!Store(std::move(records))) return 0;
  m_table->selectRow(row);
  return 1;
}

int CTimerPage::Delete(int row) {
  if (row < 0 || row >= int(m_records.size())) {
    Tell("ERROR: item not selected - select a item before delete");
    return 0;
  }
  std::vector<CFrqRecord> records = m_records;
  records.erase(records.begin() + row);
  if (!Store(std::move(records))) return 0;
  if (!m_records.empty()) m_table->selectRow(qMax(0, row - 1));
  return 1;
}

int CTimerPage::Clear() { return Store({}); }

int CTimerPage::LoadFrom(const std::string& path) {
  std::vector<CFrqRecord> records;
  std::string why;
  if (!ReadFrqListFile(path, 1, records, &why)) {
    Tell(why);
    return 0;
  }
  return Store(std::move(records));
}

int CTimerPage::SaveTo(const std::string& path) {
  std::string why;
  if (!WriteFrqRecordFile(path, m_records, &why)) {
    Tell(why);
    return 0;
  }
  return 1;
}

int CTimerPage::Running() const { return m_core.Timer().Running(); }

int CTimerPage::Start() {
  if (Running()) return 1;
  if (!m_core.StartTimer(m_path)) return 0;
  for (QWidget* w : m_editing) w->setEnabled(false);
  m_stop->setEnabled(true);
  m_table->setDragDropMode(QAbstractItemView::NoDragDrop);
  m_table->setAcceptDrops(false);
  Tick();
  return 1;
}

void CTimerPage::Stop() {
  m_core.StopTimer();
  for (QWidget* w : m_editing) w->setEnabled(true);
  m_stop->setEnabled(false);
  m_table->setAcceptDrops(true);
  m_table->setDragDropMode(QAbstractItemView::DropOnly);
  m_status->clear();
  m_lamp->setStyleSheet(kLampOff);
  m_table->clearSelection();
}

void CTimerPage::Tick() {
  m_clock->setText(QDateTime::currentDateTimeUtc().toString("HH:mm:ss"));
  if (!Running()) return;
  const TimerCheck check = m_core.CheckTimer();
  if (check.reloaded) Load();
  if (check.applied >= 0 && m_applied) m_applied();
  ShowRunning();
}

void CTimerPage::ShowRunning() {
  const CTimeScanner& timer = m_core.Timer();
  const int active = timer.ActiveIndex();
  const bool lit = active >= 0 && timer.EntryApplied();
  m_status->setText(QString::fromStdString(timer.StatusText()));
  m_lamp->setStyleSheet(lit ? kLampOn : kLampOff);
  if (active >= 0 && active < m_table->rowCount())
    m_table->selectRow(active);
  else
    m_table->clearSelection();
}
