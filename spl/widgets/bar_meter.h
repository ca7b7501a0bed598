// CBarMeter: a value within a range as a bar along a labelled scale, horizontal or vertical
// (a signal level, a tuning offset, a buffer's fill). Values outside the range are shown at
// its ends.
#pragma once
#include <QColor>
#include <QRectF>
#include <QString>
#include <QWidget>

class CBarMeter : public QWidget {
 public:
  explicit CBarMeter(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);
  // min < max, else nothing changes. The value is clamped into the new range.
  void SetRange(double min, double max);
  // Marks every major step (> 0), labelled, with minorPerMajor - 1 unlabelled marks between.
  void SetScale(double majorStep, int minorPerMajor);
  void SetValue(double value);  // clamped to the range
  double Value() const { return m_value; }
  double Minimum() const { return m_min; }
  double Maximum() const { return m_max; }
  void SetColour(const QColor& bar);
  // The bar's track in widget coordinates: the range's minimum at its left (bottom) end.
  QRectF BarRect() const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Qt::Orientation m_orientation;
  double m_min = 0.0, m_max = 100.0, m_value = 0.0;
  double m_major = 20.0;
  int m_minorPerMajor = 2;
  QColor m_colour{70, 200, 90};
};
