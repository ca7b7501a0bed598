// CReceiverPage: the receiver page of the main window. It shows the tuning and the receiver's
// settings as the core stores them and hands every change to the core's setters; it keeps no
// value of its own. Controls the receiver type lacks (its capability mask) are disabled, except
// volume and squelch, which the core turns into the software volume and the audio squelch
// threshold for such receivers.
#pragma once
#include <QWidget>
#include <vector>

class CStationCore;
class CSevenSegment;
class CSMeter;
class CLamp;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

class CReceiverPage : public QWidget {
 public:
  explicit CReceiverPage(CStationCore& core, QWidget* parent = nullptr);

  // Shows the stored values and enables the controls the receiver offers. Calls no setter.
  void Refresh();
  // UI thread only (the main window queues the receiver thread's reports here).
  void SetSMeter(int value);
  void SetSquelchLamp(int open);

 protected:
  // Turning the mouse wheel over the frequency display tunes by the step.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  void TuneBySteps(int steps);
  void TuneToEntry();

  CStationCore& core_;
  CSevenSegment* display_ = nullptr;
  QComboBox* step_ = nullptr;
  QPushButton* down_ = nullptr;
  QPushButton* up_ = nullptr;
  QLineEdit* entry_ = nullptr;
  QComboBox* mode_ = nullptr;
  QComboBox* if_width_ = nullptr;
  // In the order of the page's control tables.
  std::vector<QCheckBox*> checks_;
  std::vector<QSlider*> sliders_;
  std::vector<QLabel*> slider_names_, slider_values_;
  CSMeter* smeter_ = nullptr;
  CLamp* squelch_lamp_ = nullptr;
  int wheel_rest_ = 0;  // wheel angle not yet turned into a step (fine-grained wheels)
};
