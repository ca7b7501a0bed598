// CTimerPage: the station's timer list ("default.tim" in the data folder) and its schedule.
// Each row is a frequency record with a window of the day in UTC and a check box that enables
// it; rows come by dragging stations from the frequency list onto the page (inserted where
// they are dropped, enabled, with the window 00:00-00:00 to be set by editing the entry).
// Start runs the schedule in the core; a 1-s timer checks it and shows its state.
#pragma once
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "app/core/station_core.h"
#include "app/lists/frq_record.h"

// The table of the page: takes drops of frequency records and hands them on with the row
// they were dropped on (-1: below the last).
class CTimerListTable : public QTableWidget {
 public:
  using DropHandler = std::function<void(const QMimeData* mime, int row)>;
  explicit CTimerListTable(QWidget* parent = nullptr);
  void SetDropHandler(DropHandler handler) { m_drop = std::move(handler); }
  // What a drop at a point of the viewport does: the handler gets the row under it. 0 when
  // the data holds no frequency record.
  int DropAt(const QMimeData* mime, QPoint at);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  DropHandler m_drop;
};

class CTimerPage : public QWidget {
 public:
  using Editor = std::function<bool(CFrqRecord& record)>;
  using Notify = std::function<void(const std::string& text)>;

  CTimerPage(CStationCore& core, QWidget* parent = nullptr);
  ~CTimerPage() override;

  // The working list of the station's data folder, column widths from the profile
  // ("TIMCOL"), the list loaded and the clock started. 1, or 0 with the reason told.
  int Init();
  const std::string& WorkingPath() const { return m_path; }
  // Reads the working file into the table (a missing file is an empty list).
  int Load();
  const std::vector<CFrqRecord>& Records() const { return m_records; }

  // A dropped record inserted before row (-1 or past the end: appended), enabled, with the
  // window 00:00-00:00. 1, or 0 when the data holds no record or the file cannot be written.
  int Drop(const QMimeData* mime, int row);
  int Insert(const CFrqRecord& record, int row);
  // Flips the entry's check mark and stores the entry.
  int Toggle(int row);
  // Opens the record dialog on the entry (with its start and stop) and stores the result.
  int EditEntry(int row);
  int Replace(int row, const CFrqRecord& record);
  int Delete(int row);
  int Clear();
  int LoadFrom(const std::string& path);  // the file becomes the working list
  int SaveTo(const std::string& path);

  // The schedule: Start runs it on the working list (the page is locked meanwhile).
  int Start();
  void Stop();
  int Running() const;
  // One clock tick: time shown; while running the schedule is checked and its state shown.
  void Tick();

  QString StatusText() const { return m_status->text(); }
  QString ClockText() const { return m_clock->text(); }
  CTimerListTable* Table() const { return m_table; }

  void SetEditor(Editor editor) { m_editor = std::move(editor); }
  void SetNotify(Notify notify) { m_notify = std::move(notify); }
  // Called after the schedule applied an entry (the pages show the new settings).
  void SetApplied(std::function<void()> applied) { m_applied = std::move(applied); }

 private:
  // Writes the working file and keeps the records; show: the table is rebuilt.
  int Store(std::vector<CFrqRecord> records, bool show = true);
  void ShowRecords();
  void ShowRunning();
  void Tell(const std::string& text);

  CStationCore& m_core;
  std::string m_path;
  std::vector<CFrqRecord> m_records;
  CTimerListTable* m_table = nullptr;
  QLabel* m_clock = nullptr;
  QLabel* m_status = nullptr;
  QLabel* m_lamp = nullptr;
  QPushButton* m_start = nullptr;
  QPushButton* m_stop = nullptr;
  std::vector<QWidget*> m_editing;  // the controls locked while the schedule runs
  QTimer m_tick;
  bool m_showing = false;
  Editor m_editor;
  Notify m_notify;
  std::function<void()> m_applied;
};
