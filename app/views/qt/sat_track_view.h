// CSatTrackView: "SatTrack View", the marked satellites moving across the world map. Every
// four seconds it draws each marked satellite where it is now, its ground track over the last
// ten minutes (arrows along the motion) and the next half hour (crosses while it is above the
// observer's horizon), and the observer's cross; a list beside the map marks the satellites
// (kept by catalogue number in the profile), and the time offset shows the sky of another
// hour. The status line shows UTC, the shifted time, and latitude, longitude and locator under
// the mouse. Element sets and observer are the station's (SATDATA.2LI, [OBSERVER]).
#pragma once
#include <QWidget>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "app/views/sat_track.h"
#include "spl/sat/track_sat.h"

class CProfileFile;
class CWorldMap;
class CWorldMapView;
class QCheckBox;
class QLabel;
class QListWidget;
class QPainter;
class QSpinBox;
class QTimer;

constexpr int kSatTrackRefreshMs = 4000;
constexpr const char* kSatTrackTitle = "SatTrack View";

class CSatTrackView : public QWidget {
 public:
  CSatTrackView(CProfileFile& profile, QWidget* parent = nullptr);
  ~CSatTrackView() override;

  // The element sets and the observer (map coordinates, minimum elevation); the list of
  // satellites is filled again.
  void SetElements(const std::vector<SatElem>& elements);
  void SetObserver(int y, int x, int heightM, int minElevation);
  bool HasObserver() const { return m_haveObserver; }
  // The clock (UTC seconds); tests and the offscreen renderer set a fixed one.
  void SetClock(std::function<time_t()> now) { m_clock = std::move(now); }
  void SetTimeOffset(int minutes, bool on);
  CSatMarks& Marks() { return m_marks; }
  void MarkAll();

  // One timer step: the status texts, then a redraw.
  void Tick();
  // Where a satellite is on map's screen at a time, and whether it is visible; false when it
  // cannot be predicted then.
  bool ScreenPoint(const CWorldMap& map, const SatElem& sat, double unixSeconds, int& x, int& y,
                   bool& visible);
  CWorldMapView* Map() const { return m_map; }
  QListWidget* Satellites() const { return m_list; }
  QString PaneText(int pane) const;  // 1 timespan, 2 UTC, 3 latitude, 4 longitude, 5 locator

 private:
  void Draw(QPainter& painter, const CWorldMap& map);
  void ApplyMode();
  void StoreMarks();
  void MouseAt(int x, int y);
  time_t Now() const { return m_clock ? m_clock() : time(nullptr); }

  CProfileFile& m_profile;
  CWorldMapView* m_map = nullptr;
  QListWidget* m_list = nullptr;
  QCheckBox* m_refresh = nullptr;
  QCheckBox* m_grid = nullptr;
  QCheckBox* m_cities = nullptr;
  QCheckBox* m_relief = nullptr;
  QCheckBox* m_tracks = nullptr;
  QCheckBox* m_offsetOn = nullptr;
  QSpinBox* m_offset = nullptr;
  QLabel* m_panes[6] = {};
  QTimer* m_timer = nullptr;
  std::vector<SatElem> m_sats;
  CSatMarks m_marks;
  CTrackSat m_track;
  Observer m_observer{};
  bool m_haveObserver = false;
  std::function<time_t()> m_clock;
};
