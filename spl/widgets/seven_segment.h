// CSevenSegment: a frequency read-out drawn as seven-segment digits (lit segments on a dark
// face, unlit ones faintly visible), a fixed number of digits with a decimal point.
#pragma once
#include <QColor>
#include <QRectF>
#include <QString>
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
  QSize minimumSizeHint() const override;
  // The lit segments' colour (amber by default; kGreen for a green display).
  void SetColour(const QColor& lit);
  static const QColor kAmber, kGreen;
  // The body of digit cell 0 ... digits - 1 (left to right) before the slant: its centre is
  // the centre of the middle segment. For tests and for clicks on a digit.
  QRectF CellRect(int cell) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int m_digits = 9, m_decimals = 3;
  double m_value = 0.0;
  QColor m_lit = kAmber;
  // What each digit cell shows: '0' ... '9', ' ' (blank) or '-'.
  QString Cells() const;
};
