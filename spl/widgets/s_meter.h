// CSMeter: the receiver's signal strength, 0 ... 255, as a bar on an S-unit scale (S1 ... S9
// and +10 ... +60 dB above it), with a peak mark that falls back slowly.
#pragma once
#include <QWidget>

class CSMeter : public QWidget {
 public:
  explicit CSMeter(QWidget* parent = nullptr);
  void SetValue(int value);  // 0 ... 255, clamped; UI thread only
  int Value() const { return m_value; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int m_value = 0;
  int m_peak = 0;
};
