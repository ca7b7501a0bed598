// CSMeter: the receiver's signal strength, 0 ... 255, as a bar on an S-unit scale (S1 ... S9
// and +10 ... +60 dB above it), with a peak mark that falls back slowly.
#pragma once
#include <QRectF>
#include <QWidget>

class CSMeter : public QWidget {
 public:
  explicit CSMeter(QWidget* parent = nullptr);
  void SetValue(int value);  // 0 ... 255, clamped; UI thread only
  int Value() const { return m_value; }
  int Peak() const { return m_peak; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The value at S9: below it the scale counts S-units, above it dB over S9 (+10 ... +60 at
  // full scale), 6 dB to the S-unit throughout.
  static constexpr int kS9 = 121;
  static constexpr int kFull = 255;
  // Units the peak mark falls back by on each SetValue below it.
  static constexpr int kPeakFall = 4;
  // The bar's track, in widget coordinates: value 0 at its left edge, 255 at its right.
  QRectF BarRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int m_value = 0;
  int m_peak = 0;
};
