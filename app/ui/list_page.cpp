#include "app/ui/list_page.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>
#include <sys/stat.h>

#include <array>
#include <iterator>

#include "app/lists/frq_list_file.h"
#include "app/lists/sat_basis.h"
#include "app/ui/freq_list_view.h"
#include "app/ui/record_dialog.h"

namespace {

constexpr int kHeaderPadding = 14;  // pixels beside a header's text
constexpr int kCheckBoxRoom = 34;   // pixels of a check box and its margins
constexpr int kRowPadding = 6;      // pixels above and below a row's text
constexpr int kGroupSpacing = 12;   // pixels between groups of buttons

// The frequency list's columns that the three lists show after their own first columns.
constexpr int kFrqRx = 0, kFrqName = 1, kFrqDecoder = 2, kFrqModulation = 3, kFrqCallSign = 4;
constexpr ListColumn kStationColumns[] = {{"RX-Frq.(KHz)", 75, kCellFrqColumn, kFrqRx},
                                          {"Name", 155, kCellFrqColumn, kFrqName},
                                          {"Decoder", 130, kCellFrqColumn, kFrqDecoder},
                                          {"Modulation", 50, kCellFrqColumn, kFrqModulation},
                                          {"CallSign", 80, kCellFrqColumn, kFrqCallSign}};
constexpr size_t kStationColumnCount = std::size(kStationColumns);

// A list's own columns followed by the station columns.
template <size_t N>
constexpr std::array<ListColumn, N + kStationColumnCount> WithStationColumns(const ListColumn (&own)[N]) {
  std::array<ListColumn, N + kStationColumnCount> all{};
  for (size_t i = 0; i < N; ++i) all[i] = own[i];
  for (size_t i = 0; i < kStationColumnCount; ++i) all[N + i] = kStationColumns[i];
  return all;
}

constexpr ListColumn kChannelFirst[] = {{"No.:", 38, kCellEntryNumber, -1}};
constexpr ListColumn kTimerFirst[] = {{"Start", 57, kCellStart, -1}, {"End", 50, kCellStop, -1}};
constexpr ListColumn kSatFirst[] = {{"Satellit", 130, kCellSatellite, -1}};
constexpr auto kChannelColumns = WithStationColumns(kChannelFirst);
constexpr auto kTimerColumns = WithStationColumns(kTimerFirst);
constexpr auto kSatColumns = WithStationColumns(kSatFirst);

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

QString WidthKey(int column) { return QString::asprintf("C%02d", column); }

}  // namespace

// The texts of the file dialogs and the hint are the program's own, as its users know them.
const ListKind kChannelListKind = {"Channel scan list",
                                   "channel scan list",
                                   "default.scl",
                                   ".scl",
                                   "SCLCOL",
                                   kChannelColumns.data(),
                                   int(kChannelColumns.size()),
                                   "ChannelScannerList (*.scl)",
                                   "Load a Tessaly ChannelSscannList",
                                   "Save a Tessaly ChannelScannerList",
                                   "Channel Scann List -- not checked entry are leaped over",
                                   "000",
                                   0};
const ListKind kTimerListKind = {"Timer",
                                 "timer list",
                                 "default.tim",
                                 ".tim",
                                 "TIMCOL",
                                 kTimerColumns.data(),
                                 int(kTimerColumns.size()),
                                 "TimerList (*.tim)",
                                 "Load a TimerList",
                                 "Save a TimerList",
                                 nullptr,
                                 "+ 00:00",
                                 1};
const ListKind kSatBasisListKind = {"Satellite basis list",
                                    "satellite basis list",
                                    "default.sbl",
                                    ".sbl",
                                    "SBLCOL",
                                    kSatColumns.data(),
                                    int(kSatColumns.size()),
                                    "SatBasisList (*.sbl)",
                                    "Load a Tessaly Satellites Basis List",
                                    "Save a Tessaly Satellites Basis List",
                                    nullptr,
                                    nullptr,
                                    0};

CListPage::CListPage(CStationCore& core, const ListKind& kind, QWidget* parent)
    : QWidget(parent), m_core(core), m_kind(kind) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  if (m_kind.hint) {
    m_hint = new QLabel(m_kind.hint, this);
    layout->addWidget(m_hint);
  }
  m_top = new QHBoxLayout;
  layout->addLayout(m_top);

  m_table = new CListTable(this);
  m_table->setColumnCount(m_kind.columnCount);
  QStringList headers;
  for (int c = 0; c < m_kind.columnCount; ++c) headers << m_kind.columns[c].header;
  m_table->setHorizontalHeaderLabels(headers);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::SingleSelection);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setShowGrid(true);
  m_table->setWordWrap(false);
  m_table->verticalHeader()->hide();
  m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + kRowPadding);
  m_table->horizontalHeader()->setStretchLastSection(true);
  m_table->setToolTip("drag stations from the frequency list here");
  m_table->SetDropHandler([this](const QMimeData* mime, int row) { Drop(mime, row); });
  connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (m_showing || item->column() != 0) return;
    const int row = item->row();
    if (row < 0 || row >= int(m_records.size())) return;
    if (Locked(nullptr)) {  // the mark goes back once the signal has returned
      QTimer::singleShot(0, this, [this] { ShowRecords(); });
      return;
    }
    const bool checked = item->checkState() == Qt::Checked;
    const bool marked = (uint32_t(m_records[size_t(row)].flags) & kListEntryChecked) != 0;
    if (checked != marked) Toggle(row);
  });
  connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    if (!Locked(nullptr)) EditEntry(row);
  });
  connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
    if (!m_showing) m_core.Profile().SetInt(m_kind.widthSection, WidthKey(section).toStdString(), size);
  });
  layout->addWidget(m_table, 1);

  m_buttons = new QHBoxLayout;
  auto button = [this](const char* text, const QString& tip, std::function<void()> run, bool editing) {
    auto* b = new QPushButton(text, this);
    b->setToolTip(tip);
    connect(b, &QPushButton::clicked, this, [run] { run(); });
    m_buttons->addWidget(b);
    if (editing) m_editing.push_back(b);
    return b;
  };
  const QString name = m_kind.listName;
  button("Edit", "edit the entry's record", [this] { EditEntry(m_table->currentRow()); }, true);
  button("Delete", "delete the selected entry", [this] { Delete(m_table->currentRow()); }, true);
  button("Clear", "delete every entry", [this, name] {
    if (QMessageBox::question(this, m_kind.title, QString("Delete every entry of the %1?").arg(name),
                              QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok)
      Clear();
  }, true);
  m_buttons->addSpacing(kGroupSpacing);
  button("Load...", "load a " + name, [this] {
    const QString path = QFileDialog::getOpenFileName(
        this, m_kind.loadTitle, QString::fromStdString(m_core.Settings().GetPath(kCfgDataFolder)), m_kind.filter);
    if (!path.isEmpty()) LoadFrom(path.toStdString());
  }, true);
  button("Save...", "save the " + name, [this] {
    QString path = QFileDialog::getSaveFileName(
        this, m_kind.saveTitle, QString::fromStdString(m_core.Settings().GetPath(kCfgDataFolder)), m_kind.filter);
    if (path.isEmpty()) return;
    if (!path.endsWith(m_kind.extension, Qt::CaseInsensitive)) path += m_kind.extension;
    SaveTo(path.toStdString());
  }, false);
  m_buttons->addStretch(1);
  layout->addLayout(m_buttons);
}

CListPage::~CListPage() = default;

int CListPage::Locked(std::string*) const { return 0; }

void CListPage::Tell(const std::string& text) {
  if (m_notify) {
    m_notify(text);
    return;
  }
  QMessageBox::warning(this, m_kind.title, QString::fromStdString(text));
}

void CListPage::LockEditing(bool locked) {
  for (QWidget* w : m_editing) w->setEnabled(!locked);
  m_table->setAcceptDrops(!locked);
  m_table->setDragDropMode(locked ? QAbstractItemView::NoDragDrop : QAbstractItemView::DropOnly);
}

int CListPage::Init() {
  m_path = m_core.Settings().GetPath(kCfgDataFolder) + "/" + m_kind.fileName;
  m_showing = true;
  // The usual widths were made for a smaller font: no column starts narrower than its header,
  // and the first also holds its check box.
  const QFontMetrics fm = m_table->horizontalHeader()->fontMetrics();
  for (int c = 0; c < m_kind.columnCount; ++c) {
    const ListColumn& column = m_kind.columns[c];
    int width = qMax(column.width, fm.horizontalAdvance(column.header) + kHeaderPadding);
    if (c == 0)
      width = qMax(width, fm.horizontalAdvance(m_kind.firstSample ? m_kind.firstSample : column.header) + kCheckBoxRoom);
    m_table->setColumnWidth(c, m_core.Profile().GetInt(m_kind.widthSection, WidthKey(c).toStdString(), width));
  }
  m_showing = false;
  return Load();
}

int CListPage::Load() {
  std::vector<CFrqRecord> records;
  if (FileExists(m_path)) {
    std::string why;
    if (!ReadFrqListFile(m_path, m_kind.timerWindows, records, &why)) {
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

QString CListPage::CellText(const CFrqRecord& r, int row, const ListColumn& column) const {
  switch (column.cell) {
    case kCellEntryNumber: return QString::asprintf("%03d", row + 1);
    case kCellStart: return QString::fromStdString(TimerMinuteText(r.extension[0]));
    case kCellStop: return QString::fromStdString(TimerMinuteText(r.extension[1]));
    case kCellSatellite: return QString::fromStdString(m_satNames ? m_satNames(r.satId) : kUnknownSatName);
    case kCellFrqColumn: break;
  }
  return FreqListCell(r, column.frqColumn);
}

void CListPage::ShowRecords() {
  m_showing = true;
  m_table->clearContents();
  m_table->setRowCount(int(m_records.size()));
  for (int row = 0; row < int(m_records.size()); ++row) {
    const CFrqRecord& r = m_records[size_t(row)];
    for (int c = 0; c < m_kind.columnCount; ++c) {
      auto* item = new QTableWidgetItem(CellText(r, row, m_kind.columns[c]));
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | (c == 0 ? Qt::ItemIsUserCheckable : Qt::NoItemFlags));
      if (c == 0) item->setCheckState((uint32_t(r.flags) & kListEntryChecked) ? Qt::Checked : Qt::Unchecked);
      m_table->setItem(row, c, item);
    }
  }
  m_showing = false;
}

int CListPage::Store(std::vector<CFrqRecord> records, bool show) {
  std::string why;
  if (!WriteFrqRecordFile(m_path, records, &why)) {
    Tell(why);
    return 0;
  }
  m_records = std::move(records);
  if (show) ShowRecords();
  return 1;
}

int CListPage::Drop(const QMimeData* mime, int row) {
  CFrqRecord record;
  if (!FrqRecordFromMime(mime, record)) return 0;
  return Insert(record, row);
}

int CListPage::Insert(const CFrqRecord& record, int row) {
  std::string why;
  if (Locked(&why)) {
    Tell(why);
    return 0;
  }
  CFrqRecord entry = record;
  entry.flags = int32_t(kListEntryChecked);
  entry.extension[0] = entry.extension[1] = 0;
  std::vector<CFrqRecord> records = m_records;
  const int at = row < 0 || row > int(records.size()) ? int(records.size()) : row;
  records.insert(records.begin() + at, entry);
  if (!Store(std::move(records))) return 0;
  m_table->selectRow(at);
  return 1;
}

int CListPage::Toggle(int row) {
  if (row < 0 || row >= int(m_records.size())) return 0;
  std::vector<CFrqRecord> records = m_records;
  records[size_t(row)].flags = int32_t(uint32_t(records[size_t(row)].flags) ^ kListEntryChecked);
  const bool checked = (uint32_t(records[size_t(row)].flags) & kListEntryChecked) != 0;
  // Only the mark changes: the table is not rebuilt, since the click that toggled may still
  // be working on the row's item.
  if (!Store(std::move(records), false)) {
    QTimer::singleShot(0, this, [this] { ShowRecords(); });
    return 0;
  }
  m_showing = true;
  if (QTableWidgetItem* item = m_table->item(row, 0)) item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  m_showing = false;
  return 1;
}

int CListPage::EditEntry(int row) {
  if (row < 0 || row >= int(m_records.size())) {
    Tell("ERROR: item not selected - select a item before edit");
    return 0;
  }
  CFrqRecord record = m_records[size_t(row)];
  if (m_editor) {
    if (!m_editor(record)) return 0;
  } else {
    CRecordDialog dialog(record, m_kind.timerWindows ? CRecordDialog::kTimerEntry : CRecordDialog::kEdit, this);
    if (dialog.exec() != QDialog::Accepted) return 0;
    record = dialog.Record();
  }
  return Replace(row, record);
}

int CListPage::Replace(int row, const CFrqRecord& record) {
  if (row < 0 || row >= int(m_records.size())) return 0;
  std::vector<CFrqRecord> records = m_records;
  records[size_t(row)] = record;
  if (!Store(std::move(records))) return 0;
  m_table->selectRow(row);
  return 1;
}

int CListPage::Delete(int row) {
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

int CListPage::Clear() { return Store({}); }

int CListPage::LoadFrom(const std::string& path) {
  std::vector<CFrqRecord> records;
  std::string why;
  if (!ReadFrqListFile(path, m_kind.timerWindows, records, &why)) {
    Tell(why);
    return 0;
  }
  return Store(std::move(records));
}

int CListPage::SaveTo(const std::string& path) {
  std::string why;
  if (!WriteFrqRecordFile(path, m_records, &why)) {
    Tell(why);
    return 0;
  }
  return 1;
}
