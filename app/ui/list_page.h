// CListPage: a page of the station's record lists (channel scan list, timer list, satellite
// basis list). Each row is a frequency record of a working file in the data folder with a
// check box (bit 31 of "[Flags]") that the scanner, the schedule and the pass generator
// follow; rows come by dragging stations from the frequency list onto the page (inserted where
// they are dropped, checked, window minutes 0). Every change is written to the working file at
// once; a file loaded from elsewhere becomes the working list. What differs between the lists
// is data: the ListKind tables below.
#pragma once
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "app/core/station_core.h"
#include "app/lists/frq_record.h"
#include "app/ui/list_table.h"

// What a column shows of its record.
enum ListCell {
  kCellEntryNumber,  // the entry's place in the list, "001" ...
  kCellStart,        // the timer window's start ("[Extension_1]")
  kCellStop,         // and stop ("[Extension_2]")
  kCellSatellite,    // the name of the satellite whose catalogue number is "[SatID]"
  kCellFrqColumn,    // a column of the frequency list, as the list shows it
};

struct ListColumn {
  const char* header;
  int width;  // pixels, where the profile has none
  ListCell cell;
  int frqColumn;  // kCellFrqColumn: the frequency list's column
};

struct ListKind {
  const char* title;         // of its message boxes
  const char* listName;      // as a question or a tip names it
  const char* fileName;      // the working file in the data folder
  const char* extension;     // given to a saved file that has none
  const char* widthSection;  // of the profile, keys "C00" ...
  const ListColumn* columns;
  int columnCount;
  const char* filter;  // of the file dialogs
  const char* loadTitle;
  const char* saveTitle;
  const char* hint;         // shown above the table; null: none
  const char* firstSample;  // the widest text of the first column; null: its header
  int timerWindows;         // entries carry a window checked on reading and edited with the record
};

extern const ListKind kChannelListKind;
extern const ListKind kTimerListKind;
extern const ListKind kSatBasisListKind;

class CListPage : public QWidget {
 public:
  using Editor = std::function<bool(CFrqRecord& record)>;
  using Notify = std::function<void(const std::string& text)>;
  using SatNames = std::function<std::string(int satId)>;

  CListPage(CStationCore& core, const ListKind& kind, QWidget* parent = nullptr);
  ~CListPage() override;

  // The working file of the station's data folder, column widths from the profile, the list
  // loaded. 1, or 0 with the reason told.
  int Init();
  const ListKind& Kind() const { return m_kind; }
  const std::string& WorkingPath() const { return m_path; }
  // Reads the working file into the table (a missing file is an empty list).
  int Load();
  const std::vector<CFrqRecord>& Records() const { return m_records; }

  // A dropped record inserted before row (-1 or past the end: appended), checked, with the
  // window minutes 0. 1, or 0 when the data holds no record or the file cannot be written.
  int Drop(const QMimeData* mime, int row);
  int Insert(const CFrqRecord& record, int row);
  // Flips the entry's check mark and stores the entry.
  int Toggle(int row);
  // Opens the record dialog on the entry and stores the result.
  int EditEntry(int row);
  int Replace(int row, const CFrqRecord& record);
  int Delete(int row);
  int Clear();
  int LoadFrom(const std::string& path);  // the file becomes the working list
  int SaveTo(const std::string& path);

  CListTable* Table() const { return m_table; }
  QString HintText() const { return m_hint ? m_hint->text() : QString(); }

  void SetEditor(Editor editor) { m_editor = std::move(editor); }
  void SetNotify(Notify notify) { m_notify = std::move(notify); }
  // The names of the satellite column.
  void SetSatNames(SatNames names) { m_satNames = std::move(names); }

 protected:
  CStationCore& Core() const { return m_core; }
  // Where a page adds its own controls: a row above the table, and the button row (to be
  // inserted at its front).
  QHBoxLayout* TopRow() const { return m_top; }
  QHBoxLayout* ButtonRow() const { return m_buttons; }
  // 1 while the list may not change, with the reason.
  virtual int Locked(std::string* why) const;
  // Locks the controls that change the list and the drops (or unlocks them).
  void LockEditing(bool locked);
  void ShowRecords();
  void Tell(const std::string& text);

 private:
  // Writes the working file and keeps the records; show: the table is rebuilt.
  int Store(std::vector<CFrqRecord> records, bool show = true);
  QString CellText(const CFrqRecord& r, int row, const ListColumn& column) const;

  CStationCore& m_core;
  const ListKind& m_kind;
  std::string m_path;
  std::vector<CFrqRecord> m_records;
  CListTable* m_table = nullptr;
  QLabel* m_hint = nullptr;
  QHBoxLayout* m_top = nullptr;
  QHBoxLayout* m_buttons = nullptr;
  std::vector<QWidget*> m_editing;  // the controls locked with the list
  bool m_showing = false;
  Editor m_editor;
  Notify m_notify;
  SatNames m_satNames;
};
