// CFreqListView: the station's frequency list on screen. One row per station of the list file
// (FrqData.mdb in the data folder) with 38 columns; the first eight sort the list when their
// header is clicked, the selected station staying selected. A click on a row applies its
// record to the station (tuning with the decoder's audio centre taken into account, mode, IF
// width, decoder and its parameters). New, Copy, Edit and Delete go through the record dialog.
// Rows can be dragged onto the station's list pages (the timer list): the drag carries the
// row's 428-byte record.
#pragma once
#include <QAbstractTableModel>
#include <QAction>
#include <QMimeData>
#include <QTableView>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/core/station_core.h"
#include "app/lists/frq_database.h"

// The drag format of a frequency record: its 428-byte form.
constexpr const char* kFrqRecordMimeType = "application/x-kestrel-frqrecord";
constexpr int kFreqListColumnCount = 38;

// The drag data of a record, and the record back (1, or 0 when the data holds none).
QMimeData* NewFrqRecordMime(const CFrqRecord& record);
int FrqRecordFromMime(const QMimeData* mime, CFrqRecord& out);

// The texts of the 38 list columns; also used by the list pages that show records.
QString FreqListHeader(int column);
QString FreqListCell(const CFrqRecord& r, int column);
// The decoder column's text (with the satellite suffix of records that name a satellite).
QString FreqListDecoderText(const CFrqRecord& r);

// The rows the view shows: a copy of the file's rows in the current order.
class CFreqListModel : public QAbstractTableModel {
 public:
  explicit CFreqListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;

  void SetRows(std::vector<FrqListRow> rows);
  const std::vector<FrqListRow>& Rows() const { return m_rows; }
  void UpdateRow(int row, const CFrqRecord& record);
  void RemoveRow(int row);
  // The row of a row ID; -1 when none.
  int RowOf(int64_t id) const;

 private:
  std::vector<FrqListRow> m_rows;
};

class CFreqListView : public QTableView {
 public:
  // The user's answer to a question (true: OK); the record dialog (true: OK, record changed).
  using Ask = std::function<bool(const QString& question)>;
  using Editor = std::function<bool(CFrqRecord& record, bool isNew)>;
  using Notify = std::function<void(const std::string& text)>;

  CFreqListView(CStationCore& core, QWidget* parent = nullptr);
  ~CFreqListView() override;

  // Opens the list file of the station's data folder, sets the column widths from the
  // profile ("FRQCOL", "C00" ... "C37") and fills the list in the remembered order with the
  // remembered station selected. 1, or 0 with the reason told.
  int Init();
  // Reads the list in the order of sort (0 .. 7), keeping the selected station selected.
  int Fill(int sort);
  int Sort() const { return m_sort; }

  // The selected row, -1 when none; its record.
  int SelectedRow() const;
  const CFrqRecord* SelectedRecord() const;
  // Selects a row (and scrolls it near the top) without applying it.
  void SelectRow(int row);
  // Applies a row's record through the core; 1 or 0 (refused or failed, the core told why).
  int ApplyRow(int row);

  // The list commands; each 1 when the list changed.
  int New();
  int Copy();
  int Edit();
  int Delete();

  // Replace the dialogs (tests; the main window routes messages to its status bar).
  void SetAsk(Ask ask) { m_ask = std::move(ask); }
  void SetEditor(Editor editor) { m_editor = std::move(editor); }
  void SetNotify(Notify notify) { m_notify = std::move(notify); }
  // Called after a row was applied (the pages show the new settings).
  void SetApplied(std::function<void()> applied) { m_applied = std::move(applied); }

  CFreqListModel* Model() const { return m_model; }
  CFrqListSet& ListSet() { return m_set; }
  // New, Copy, Edit, Delete: for a tool bar and the menus.
  const std::vector<QAction*>& Actions() const { return m_actions; }

 private:
  void Tell(const std::string& text);
  bool AskUser(const QString& question);
  bool EditRecord(CFrqRecord& record, bool isNew);
  int AddRecord(CFrqRecord record);
  // A new station from the current settings.
  CFrqRecord FromSettings() const;
  int FillKeeping(int sort, int64_t keepId);
  void Remember();

  CStationCore& m_core;
  CFreqListModel* m_model = nullptr;
  CFrqListSet m_set;
  int m_sort = 0;
  bool m_filling = false;
  std::vector<QAction*> m_actions;
  Ask m_ask;
  Editor m_editor;
  Notify m_notify;
  std::function<void()> m_applied;
};

// The list with a tool bar of its commands above it, for a page of the main window.
QWidget* NewFreqListPage(CFreqListView* view, QWidget* parent);
