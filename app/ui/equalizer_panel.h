// CEqualizerPanel: the equalizer on the audio page. The curve (drawn with the mouse), the
// power switch, the smoothing ("Filter") and the zoom ("Start", "Width"), where the equalizer
// works (before the decoder, behind it, off: the core's settings), and the curves of the data
// folder ("NAME.equ"): load, save as, delete. The working curve is the core's "default.equ".
#pragma once
#include <QWidget>
#include <string>

class CEqualizerView;
class CStationCore;
class QCheckBox;
class QComboBox;
class QListWidget;
class QSpinBox;

class CEqualizerPanel : public QWidget {
 public:
  explicit CEqualizerPanel(CStationCore& core, QWidget* parent = nullptr);

  // Shows the core's equalizer and settings again (after the station started).
  void Refresh();
  // The curves of the data folder, by name without ".equ".
  QStringList Curves() const;
  // 1, or 0 (told why).
  int LoadCurve(const QString& name);
  int SaveCurve(const QString& name);
  int DeleteCurve(const QString& name);
  CEqualizerView* View() const { return m_view; }
  const QString& LastMessage() const { return m_message; }

 private:
  std::string CurvePath(const QString& name) const;
  void ShowZoom();
  void FillCurves();
  void Tell(const QString& text);

  CStationCore& m_core;
  CEqualizerView* m_view = nullptr;
  QCheckBox* m_power = nullptr;
  QSpinBox *m_filter = nullptr, *m_start = nullptr, *m_width = nullptr;
  QComboBox* m_position = nullptr;
  QListWidget* m_curves = nullptr;
  bool m_showing = false;
  QString m_message;
};
