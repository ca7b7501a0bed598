// CTimerPage: the station's timer list ("default.tim" in the data folder) and its schedule.
// Each row is a frequency record with a window of the day in UTC and a check box that enables
// it; rows come by dragging stations from the frequency list onto the page (inserted where
// they are dropped, enabled, with the window 00:00-00:00 to be set by editing the entry).
// Start runs the schedule in the core; a 1-s timer checks it and shows its state. The list
// itself is a CListPage of the timer list kind, locked while the schedule runs.
#pragma once
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "app/core/station_core.h"
#include "app/ui/list_page.h"

// The page's table under the name its callers know.
using CTimerListTable = CListTable;

class CTimerPage : public CListPage {
 public:
  CTimerPage(CStationCore& core, QWidget* parent = nullptr);
  ~CTimerPage() override;

  // The list (see CListPage::Init) and the clock started. 1, or 0 with the reason told.
  int Init();

  // The schedule: Start runs it on the working list (the page is locked meanwhile).
  int Start();
  void Stop();
  int Running() const;
  // One clock tick: time shown; while running the schedule is checked and its state shown.
  void Tick();

  QString StatusText() const { return m_status->text(); }
  QString ClockText() const { return m_clock->text(); }

  // Called after the schedule applied an entry (the pages show the new settings).
  void SetApplied(std::function<void()> applied) { m_applied = std::move(applied); }

 protected:
  int Locked(std::string* why) const override;

 private:
  void ShowRunning();

  QLabel* m_clock = nullptr;
  QLabel* m_status = nullptr;
  QLabel* m_lamp = nullptr;
  QPushButton* m_start = nullptr;
  QPushButton* m_stop = nullptr;
  QTimer m_tick;
  std::function<void()> m_applied;
};
