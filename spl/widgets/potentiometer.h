// CPotentiometer: a control for a level 0 ... 255 (volume, squelch, IF shift) with its scale,
// drawn either as a rotary knob turning through 270 degrees or as a linear slider (vertical
// or horizontal). The user sets it by clicking or dragging along the scale, with the mouse
// wheel or with the arrow keys; each change by the user is reported to the owner.
#pragma once
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <functional>

class QPainter;

class CPotentiometer : public QWidget {
 public:
  enum Shape { kRotary, kVertical, kHorizontal };
  static constexpr int kMax = 255;
  static constexpr int kWheelStep = 4;   // levels per wheel notch
  static constexpr int kPageStep = 16;   // levels per Page Up / Page Down
  // The rotary sweep: from kSweepDegrees / 2 left of straight up to as far right of it.
  static constexpr double kSweepDegrees = 270.0;

  CPotentiometer(Shape shape, const QString& caption, QWidget* parent = nullptr);
  // 0 ... kMax, clamped. Not reported to the change handler: only the user's changes are.
  void SetValue(int value);
  int Value() const { return m_value; }
  Shape GetShape() const { return m_shape; }
  // Called with the new value after each change the user makes.
  void SetChangeHandler(std::function<void(int value)> handler) { m_onChange = std::move(handler); }
  // Where value lies on the scale, in widget coordinates: on the track of a slider, on the
  // pointer's circle of a rotary control. Clicking there sets value.
  QPointF PointOf(int value) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Geometry {
    QRectF caption;   // the caption line
    QPointF centre;   // rotary: the knob's centre
    double radius;    // rotary: the knob's radius
    QPointF from, to; // slider: the track's ends for 0 and kMax
  };
  Geometry Layout() const;
  int ValueAt(QPointF point) const;
  void UserSet(int value);
  void PaintRotary(QPainter& p, const Geometry& g);
  void PaintSlider(QPainter& p, const Geometry& g);

  Shape m_shape;
  QString m_caption;
  int m_value = 0;
  bool m_dragging = false;
  int m_wheelRest = 0;
  std::function<void(int)> m_onChange;
};
