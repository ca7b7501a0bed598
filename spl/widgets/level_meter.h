// CLevelMeter: an audio level in percent of full scale as a horizontal bar, green up to 70 %,
// yellow to 90 %, red above, with the value as text.
#pragma once
#include <QRectF>
#include <QString>
#include <QWidget>

class CLevelMeter : public QWidget {
 public:
  explicit CLevelMeter(QWidget* parent = nullptr);
  void SetLevel(double percent);  // 0 ... 100, clamped
  double Level() const { return m_level; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The text shown beside the bar ("42 %").
  QString Text() const;
  // The bar's track, in widget coordinates: 0 % at its left edge, 100 % at its right.
  QRectF BarRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double m_level = 0.0;
};
