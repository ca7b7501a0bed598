#include "app/ui/freq_list_view.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QToolBar>
#include <QVBoxLayout>
#include <cstdio>

#include "app/lists/frq_columns.h"
#include "app/lists/frq_tables.h"
#include "app/ui/record_dialog.h"

namespace {

struct ListColumn {
  const char* header;
  int width;  // default, pixels
};
constexpr ListColumn kListColumns[kFreqListColumnCount] = {
    {"RX-Frq.(KHz)", 75}, {"Name", 135},       {"Decoder", 75},       {"Modulation", 40},
    {"CallSign", 55},     {"Country", 155},    {"Stationtype", 45},   {"ModulationType", 45},
    {"Commentary", 200},  {"Steps", 50},       {"IF", 42},            {"TX-Frq.(KHz)", 74},
    {"CwCenter", 35},     {"CwMark", 35},      {"CwWidth", 35},       {"FaxIOC", 35},
    {"FaxRpM", 35},       {"FaxCenter", 48},   {"FaxWidth", 40},      {"FaxBurstHz", 40},
    {"FaxBurstPixel", 40}, {"FaxFiltMode", 40}, {"FaxFiltWidth", 41}, {"Faxhmirror", 35},
    {"Faxvmirror", 35},   {"FaxAM_FM", 35},    {"FaxFiltON", 35},     {"RttyMode", 30},
    {"RttyBaud", 40},     {"RttyMark", 43},    {"RttySpace", 37},     {"RttyStopbits", 35},
    {"RttyPolarity", 39}, {"SstvMode", 35},    {"SstvFiltLO", 39},    {"SstvFiltHI", 42},
    {"SstvFiltOR", 27},   {"SstvFiltMode", 28}};
constexpr int kTxFrqColumn = 11;  // the one right-aligned column
constexpr int kDecoderColumn = 2;
constexpr int kNoSatellite = -1;
constexpr const char* kDecoderSample = "W-FAX IOC 576";  // the decoder column shows at least this
constexpr int kHeaderPadding = 22;  // pixels beside a header's text (room for the sort mark)

constexpr const char* kWidthSection = "FRQCOL";
constexpr const char* kListSection = "FRQLIST";  // the order and the station last selected
constexpr const char* kSortKey = "sort";
constexpr const char* kSelectedKey = "selected";
constexpr int kRowsAboveSelection = 4;  // a re-filled list shows the selection near the top

constexpr const char* kEditNoRow = "ERROR: item not selected - select a item before edit";
constexpr const char* kDeleteNoRow = "ERROR: item not selected - select a item before delete";
constexpr const char* kDeleteQuestion = "Delete from the Frequency List? %.3f KHz - %s";

QString Printf(const char* format, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return QString::fromLatin1(buf);
}

QString OnOff(int v) { return v ? "on" : "off"; }

QString WidthKey(int column) { return QString::asprintf("C%02d", column); }

}  // namespace

QMimeData* NewFrqRecordMime(const CFrqRecord& record) {
  uint8_t bytes[kFrqRecordSize];
  FrqRecordToBytes(record, bytes);
  auto* mime = new QMimeData;
  mime->setData(kFrqRecordMimeType, QByteArray(reinterpret_cast<const char*>(bytes), kFrqRecordSize));
  return mime;
}

int FrqRecordFromMime(const QMimeData* mime, CFrqRecord& out) {
  if (!mime || !mime->hasFormat(kFrqRecordMimeType)) return 0;
  const QByteArray data = mime->data(kFrqRecordMimeType);
  CFrqRecord r;
  if (!FrqRecordFromBytes(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()), r)) return 0;
  // Dropped data may come from another program: only a record the list could hold is taken.
  std::string why;
  if (!CheckFrqRecord(r, 0, nullptr, &why)) return 0;
  out = r;
  return 1;
}

QString FreqListHeader(int column) {
  return column >= 0 && column < kFreqListColumnCount ? kListColumns[column].header : "";
}

QString FreqListDecoderText(const CFrqRecord& r) {
  // The station loads no satellite element sets here: a record naming a satellite shows that
  // its satellite is unknown.
  return QString::fromStdString(FrqDecoderText(r.decoder, r.satId, nullptr));
}

QString FreqListCell(const CFrqRecord& r, int column) {
  auto text = [](const char* s) { return s ? QString::fromUtf8(s) : QString(); };
  switch (column) {
    case 0: return Printf("%.3f", r.rxFrq);
    case 1: return text(r.name);
    case 2: return FreqListDecoderText(r);
    case 3: return text(FrqModeName(r.modulation));
    case 4: return text(r.callSign);
    case 5: return text(FrqCountryText(r.country));
    case 6: return text(FrqStationTypeText(r.stationType));
    case 7: return text(FrqEmissionClassText(r.modulationType));
    case 8: return text(r.commentary);
    case 9: return QString::fromStdString(FrqStepText(r.steps));
    case 10: return text(FrqIfText(r.ifIndex));
    case 11: return Printf("%.3f", r.txFrq);
    case 12: return QString::number(r.cwCenter);
    case 13: return QString::number(r.cwMark);
    case 14: return QString::number(r.cwWidth);
    case 15: return QString::number(r.faxIoc);
    case 16: return QString::number(r.faxLpm);
    case 17: return QString::number(r.faxCenter);
    case 18: return QString::number(r.faxShift);
    case 19: return QString::number(r.faxBurst1);
    case 20: return QString::number(r.faxBurst2);
    case 21: return QString::number(r.faxFilterMode);
    case 22: return QString::number(r.faxFilterWidth);
    case 23: return OnOff(r.faxHMirror);
    case 24: return OnOff(r.faxVMirror);
    case 25: return OnOff(r.faxAm);
    case 26: return OnOff(r.faxFilterOn);
    case 27: return QString::number(r.rttyMode);
    case 28: return QString::number(r.rttyBaud);
    case 29: return QString::number(r.rttyMark);
    case 30: return QString::number(r.rttySpace);
    case 31: return r.rttyStopBits == 0.0 ? QString() : Printf("%.1f", r.rttyStopBits);
    case 32: return r.rttyPolarity ? "Invers" : "";
    case 33: return QString::number(r.sstvMode);
    case 34: return QString::number(r.sstvFilterLo);
    case 35: return QString::number(r.sstvFilterHi);
    case 36: return QString::number(r.sstvFilterOrder);
    case 37: return QString::number(r.sstvManualFilter);
    default: return QString();
  }
}

// ---- the model ----

int CFreqListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(m_rows.size());
}

int CFreqListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kFreqListColumnCount;
}

QVariant CFreqListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= int(m_rows.size())) return {};
  if (role == Qt::DisplayRole) return FreqListCell(m_rows[size_t(index.row())].record, index.column());
  if (role == Qt::TextAlignmentRole && index.column() == kTxFrqColumn)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant CFreqListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) return FreqListHeader(section);
  if (role == Qt::ToolTipRole && section < kFrqSortCount) return "click to sort by " + FreqListHeader(section);
  return {};
}

Qt::ItemFlags CFreqListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList CFreqListModel::mimeTypes() const { return {kFrqRecordMimeType}; }

QMimeData* CFreqListModel::mimeData(const QModelIndexList& indexes) const {
  for (const QModelIndex& i : indexes)
    if (i.isValid() && i.row() < int(m_rows.size())) return NewFrqRecordMime(m_rows[size_t(i.row())].record);
  return nullptr;
}

void CFreqListModel::SetRows(std::vector<FrqListRow> rows) {
  beginResetModel();
  m_rows = std::move(rows);
  endResetModel();
}

void CFreqListModel::UpdateRow(int row, const CFrqRecord& record) {
  if (row < 0 || row >= int(m_rows.size())) return;
  m_rows[size_t(row)].record = record;
  emit dataChanged(index(row, 0), index(row, kFreqListColumnCount - 1));
}

void CFreqListModel::RemoveRow(int row) {
  if (row < 0 || row >= int(m_rows.size())) return;
  beginRemoveRows(QModelIndex(), row, row);
  m_rows.erase(m_rows.begin() + row);
  endRemoveRows();
}

int CFreqListModel::RowOf(int64_t id) const {
  for (size_t i = 0; i < m_rows.size(); ++i)
    if (m_rows[i].id == id) return int(i);
  return -1;
}

// ---- the view ----

CFreqListView::CFreqListView(CStationCore& core, QWidget* parent) : QTableView(parent), m_core(core) {
  m_model = new CFreqListModel(this);
  setModel(m_model);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setShowGrid(true);
  setWordWrap(false);
  setAlternatingRowColors(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragOnly);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setStretchLastSection(false);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
    if (section >= 0 && section < kFrqSortCount) Fill(section);
  });
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
    if (!m_filling) m_core.Profile().SetInt(kWidthSection, WidthKey(section).toStdString(), size);
  });
  connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) ApplyRow(index.row());
  });
  connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) Edit();
  });

  struct Command {
    const char* text;
    int (CFreqListView::*run)();
    const char* tip;
  };
  const Command commands[] = {
      {"New", &CFreqListView::New, "a new station from the current settings"},
      {"Copy", &CFreqListView::Copy, "a new station from the selected one"},
      {"Edit", &CFreqListView::Edit, "edit the selected station"},
      {"Delete", &CFreqListView::Delete, "delete the selected station"}};
  for (const Command& c : commands) {
    auto* a = new QAction(c.text, this);
    a->setToolTip(c.tip);
    connect(a, &QAction::triggered, this, [this, run = c.run] { (this->*run)(); });
    addAction(a);
    m_actions.push_back(a);
  }
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

CFreqListView::~CFreqListView() = default;

void CFreqListView::Tell(const std::string& text) {
  if (m_notify) {
    m_notify(text);
    return;
  }
  QMessageBox::warning(this, "Frequency list", QString::fromStdString(text));
}

bool CFreqListView::AskUser(const QString& question) {
  if (m_ask) return m_ask(question);
  return QMessageBox::question(this, "Frequency list", question, QMessageBox::Ok | QMessageBox::Cancel,
                               QMessageBox::Cancel) == QMessageBox::Ok;
}

bool CFreqListView::EditRecord(CFrqRecord& record, bool isNew) {
  if (m_editor) return m_editor(record, isNew);
  CRecordDialog dialog(record, isNew ? CRecordDialog::kNew : CRecordDialog::kEdit, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  record = dialog.Record();
  return true;
}

int CFreqListView::Init() {
  const std::string folder = m_core.Settings().GetPath(kCfgDataFolder);
  if (!m_set.Init(folder + "/" + kFrqDataFileName, 1)) {
    Tell(m_set.Error());
    return 0;
  }
  m_filling = true;
  // The usual widths were made for a smaller font: no column starts narrower than its header.
  const QFontMetrics fm = horizontalHeader()->fontMetrics();
  for (int c = 0; c < kFreqListColumnCount; ++c) {
    int width = qMax(kListColumns[c].width, fm.horizontalAdvance(kListColumns[c].header) + kHeaderPadding);
    if (c == kDecoderColumn) width = qMax(width, fm.horizontalAdvance(kDecoderSample) + kHeaderPadding);
    setColumnWidth(c, m_core.Profile().GetInt(kWidthSection, WidthKey(c).toStdString(), width));
  }
  m_filling = false;
  int sort = m_core.Profile().GetInt(kListSection, kSortKey, 0);
  if (sort < 0 || sort >= kFrqSortCount) sort = 0;
  const int64_t id = m_core.Profile().GetInt(kListSection, kSelectedKey, -1);
  return FillKeeping(sort, id);
}

int CFreqListView::Fill(int sort) {
  const int row = SelectedRow();
  return FillKeeping(sort, row >= 0 ? m_model->Rows()[size_t(row)].id : -1);
}

int CFreqListView::FillKeeping(int sort, int64_t keepId) {
  if (!m_set.IsOpen()) return 0;
  std::vector<FrqListRow> rows;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const int ok = m_set.List(sort, rows);
  QGuiApplication::restoreOverrideCursor();
  if (!ok) {
    Tell(m_set.Error());
    return 0;
  }
  m_sort = sort;
  m_model->SetRows(std::move(rows));
  horizontalHeader()->setSortIndicatorShown(true);
  horizontalHeader()->setSortIndicator(sort, Qt::AscendingOrder);
  SelectRow(m_model->RowOf(keepId));
  Remember();
  return 1;
}

int CFreqListView::SelectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

const CFrqRecord* CFreqListView::SelectedRecord() const {
  const int row = SelectedRow();
  return row >= 0 ? &m_model->Rows()[size_t(row)].record : nullptr;
}

void CFreqListView::SelectRow(int row) {
  if (row < 0 || row >= m_model->rowCount()) {
    selectionModel()->clearSelection();
    setCurrentIndex(QModelIndex());
    Remember();
    return;
  }
  const QModelIndex index = m_model->index(row, 0);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  // The row some lines further down is made visible first, so the selection ends near the top.
  const int perPage = qMax(1, viewport()->height() / qMax(1, verticalHeader()->defaultSectionSize()));
  const int below = qMin(m_model->rowCount() - 1, row + qMax(0, perPage - kRowsAboveSelection));
  scrollTo(m_model->index(below, 0));
  scrollTo(index);
  Remember();
}

void CFreqListView::Remember() {
  const int row = SelectedRow();
  m_core.Profile().SetInt(kListSection, kSortKey, m_sort);
  m_core.Profile().SetInt(kListSection, kSelectedKey, row >= 0 ? int(m_model->Rows()[size_t(row)].id) : -1);
}

int CFreqListView::ApplyRow(int row) {
  if (row < 0 || row >= m_model->rowCount()) return 0;
  if (SelectedRow() != row) SelectRow(row);
  Remember();
  const int ok = m_core.SelectRecord(m_model->Rows()[size_t(row)].record);
  if (m_applied) m_applied();
  return ok;
}

int CFreqListView::AddRecord(CFrqRecord record) {
  record.flags = 0;
  int64_t id = -1;
  if (!m_set.Add(record, &id)) {
    Tell(m_set.Error());
    return 0;
  }
  return FillKeeping(m_sort, id);
}

CFrqRecord CFreqListView::FromSettings() const {
  CFrqRecord record = m_core.RecordFromSettings(m_core.Settings().GetDouble(kCfgFrequency));
  // The station holds no satellite element sets: a new station names no satellite.
  record.satId = kNoSatellite;
  return record;
}

int CFreqListView::New() {
  CFrqRecord record = FromSettings();
  if (!EditRecord(record, true)) return 0;
  return AddRecord(record);
}

int CFreqListView::Copy() {
  const CFrqRecord* selected = SelectedRecord();
  CFrqRecord record = selected ? *selected : FromSettings();
  if (!EditRecord(record, true)) return 0;
  return AddRecord(record);
}

int CFreqListView::Edit() {
  const int row = SelectedRow();
  if (row < 0) {
    Tell(kEditNoRow);
    return 0;
  }
  const FrqListRow current = m_model->Rows()[size_t(row)];
  CFrqRecord record = current.record;
  if (!EditRecord(record, false)) return 0;
  record.flags = 0;
  if (!m_set.Update(current.id, record)) {
    Tell(m_set.Error());
    return 0;
  }
  // The file rounds and checks what it stores: the row shows what was stored.
  CFrqRecord stored;
  m_model->UpdateRow(row, m_set.Get(current.id, stored) ? stored : record);
  return 1;
}

int CFreqListView::Delete() {
  const int row = SelectedRow();
  if (row < 0) {
    Tell(kDeleteNoRow);
    return 0;
  }
  const FrqListRow current = m_model->Rows()[size_t(row)];
  char question[kFrqNameSize + 96];
  std::snprintf(question, sizeof question, kDeleteQuestion, current.record.rxFrq, current.record.name);
  if (!AskUser(QString::fromUtf8(question))) return 0;
  if (!m_set.Delete(current.id)) {
    Tell(m_set.Error());
    return 0;
  }
  m_model->RemoveRow(row);
  SelectRow(m_model->rowCount() > 0 ? qMax(0, row - 1) : -1);
  return 1;
}

QWidget* NewFreqListPage(CFreqListView* view, QWidget* parent) {
  auto* page = new QWidget(parent);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QToolBar(page);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  for (QAction* a : view->Actions()) bar->addAction(a);
  layout->addWidget(bar);
  view->setParent(page);
  layout->addWidget(view, 1);
  return page;
}
