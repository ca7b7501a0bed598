// CScanPage: the scanner page of the station window. Above, the scan's settings (range start,
// stop and step, the dwell per step and the record time, stop and record on a signal, what
// counts as a signal) with the range and channel scan buttons; beside them the frequency being
// measured, its S-meter and audio levels and the hold lamp. Below, the holds of the scan (a
// double click plays a held signal from the scan recording) and the scan report as a
// perspective waterfall, live ("LASTSCAN") or loaded from a report file, whose cells are read
// by clicking on them. Settings live in the core's record; the page keeps none of its own.
#pragma once
#include <QWidget>
#include <string>

#include "app/core/station_core.h"

class CLamp;
class CScanReportView;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

class CScanPage : public QWidget {
 public:
  explicit CScanPage(CStationCore& core, QWidget* parent = nullptr);

  // The core's reports while scanning (CStationUi), on the user-interface thread.
  void ScanValue(int column, int line, float kHz, int smeter, int audio);
  void ScanLineFinished(int line);
  void ScanHold(const ScanEvent& event, int on);
  void ScanTuned(float kHz);

  // Shows the core's scan settings and state again.
  void Refresh();
  // The scans (the settings shown are stored first). 1, or 0 (the core said why).
  int StartRange();
  int StartChannels();
  void Stop();
  // The report: saved to or loaded from a file (the dialogs call these). 1 or 0.
  int SaveReportTo(const std::string& path);
  int LoadReportFrom(const std::string& path);
  // The cell clicked in the report, described in the browse line.
  void ShowCell(int column, int line);

  QString Title() const;
  QString FrequencyText() const;
  QString CellText() const;
  CScanReportView* Report() const { return m_report; }
  QTableWidget* Holds() const { return m_holds; }
  CLamp* HoldLamp() const { return m_lamp; }

 private:
  QWidget* MakeSettings();
  QWidget* MakeLevels();
  QWidget* MakeReport();
  void StoreSettings();
  void BeginShowing();  // a scan starts: its settings stored, the page cleared
  void ShowRunning();
  void SaveReport();
  void LoadReport();
  void PlayHold(int row);

  CStationCore& m_core;
  QDoubleSpinBox *m_start = nullptr, *m_stop = nullptr, *m_dwell = nullptr, *m_record = nullptr;
  QSpinBox* m_step = nullptr;
  QCheckBox *m_stopOnSignal = nullptr, *m_recordOnSignal = nullptr;
  QComboBox* m_source = nullptr;
  QPushButton *m_range = nullptr, *m_channels = nullptr, *m_stopButton = nullptr;
  QLabel* m_frequency = nullptr;
  QProgressBar *m_smeter = nullptr, *m_audio = nullptr;
  CLamp* m_lamp = nullptr;
  QTableWidget* m_holds = nullptr;
  QLabel* m_title = nullptr;
  QLabel* m_cell = nullptr;
  QComboBox* m_rows = nullptr;
  CScanReportView* m_report = nullptr;
  std::string m_loaded;  // the report file shown, empty: the live store
};
