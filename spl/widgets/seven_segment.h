// CSevenSegment: a frequency read-out drawn as seven-segment digits (lit segments on a dark
// face, unlit ones faintly visible), a fixed number of digits with a decimal point.
#pragma once
#include <QWidget>

class CSevenSegment : public QWidget {
 public:
  explicit CSevenSegment(QWidget* parent = nullptr);
  // digits: 1 ... 16 in all; decimals: 0 ... digits - 1 of them behind the point.
  void SetFormat(int digits, int decimals);
  // Shown rounded to the decimals; leading zeros blank; a value too large shows all 9s.
  void SetValue(double value);
  double Value() const { return m_value; }
  // The text the digits show ("  4581.513"), for tests and tool tips.
  QString Text() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int m_digits = 9, m_decimals = 3;
  double m_value = 0.0;
};
