// CSatListPage: the satellite basis list ("default.sbl" in the data folder): stations of the
// frequency list that a satellite sends on, each naming its satellite by catalogue number
// ("[SatID]"), shown by the name its element set has in the data folder's "SATDATA.2LI".
// "Frq && Time" turns the passes of the checked satellites over the observer (locator,
// height and minimum elevation, kept in the profile) within the chosen span into the timer
// list, which the owner then shows.
#pragma once
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <ctime>
#include <functional>

#include "app/core/station_core.h"
#include "app/lists/sat_basis.h"
#include "app/ui/list_page.h"

class CSatListPage : public CListPage {
 public:
  CSatListPage(CStationCore& core, QWidget* parent = nullptr);
  ~CSatListPage() override;

  // The element sets read, the observer shown, the list loaded. 1, or 0 with the reason told.
  int Init();
  // Reads the element file again and shows the names.
  void LoadElements();
  const CSatBasis& Basis() const { return m_basis; }

  // Stores the locator typed (checked first) with the height and minimum elevation shown.
  // 1, or 0 with the reason told (nothing stored).
  int StoreObserver();
  // The generator: the timer list of the passes, then the generated callback. 1, or 0 with
  // the reason told (the locator field gets the focus when the observer is missing).
  int Generate();

  QLineEdit* LocatorField() const { return m_locator; }
  QSpinBox* HeightBox() const { return m_height; }
  QSpinBox* MinElevationBox() const { return m_minElev; }
  QSpinBox* HoursBox() const { return m_hours; }
  QSpinBox* MinutesBox() const { return m_minutes; }
  QPushButton* GenerateButton() const { return m_generate; }
  // The span chosen, in minutes (at most a day).
  int SpanMinutes() const;

  // Called after the timer list was written (the owner reloads and shows it).
  void SetGenerated(std::function<void()> generated) { m_generated = std::move(generated); }
  // The UTC clock of the generator; tests replace it.
  void SetClock(std::function<time_t()> now) { m_now = std::move(now); }

 private:
  void ShowObserver();

  CSatBasis m_basis;
  QLineEdit* m_locator = nullptr;
  QSpinBox* m_height = nullptr;
  QSpinBox* m_minElev = nullptr;
  QSpinBox* m_hours = nullptr;
  QSpinBox* m_minutes = nullptr;
  QPushButton* m_generate = nullptr;
  bool m_showingObserver = false;
  std::function<void()> m_generated;
  std::function<time_t()> m_now;
};
