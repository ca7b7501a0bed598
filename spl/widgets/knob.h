// CKnob: a round tuning knob. It turns in detents: dragging it round with the mouse, the
// mouse wheel (one detent per notch) or the arrow keys, and reports each movement as the
// number of detents turned (clockwise positive). It holds no value of its own beyond its
// position, so the owner decides what a detent means (a tenth of a tuning step, ...).
#pragma once
#include <QPointF>
#include <QWidget>
#include <functional>

class CKnob : public QWidget {
 public:
  static constexpr int kDetentsPerTurn = 36;
  static constexpr int kWheelNotch = 120;  // QWheelEvent's angle of one notch

  explicit CKnob(QWidget* parent = nullptr);
  // Called with the detents of each movement (never 0).
  void SetTurnHandler(std::function<void(int detents)> handler) { m_onTurn = std::move(handler); }
  // Detents turned since construction (the pointer's angle follows it).
  long long Position() const { return m_position; }
  // The knob's centre and radius in widget coordinates.
  QPointF Centre() const;
  double Radius() const;
  // The pointer's angle in degrees, clockwise from straight up (0 ... 360).
  double PointerAngle() const;

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
  void Turn(int detents);
  // The angle of point around the centre, in degrees clockwise from straight up.
  double AngleOf(QPointF point) const;

  long long m_position = 0;
  bool m_dragging = false;
  double m_dragAngle = 0.0;  // last pointer angle of the drag
  double m_dragRest = 0.0;   // degrees dragged not yet a whole detent
  int m_wheelRest = 0;       // wheel angle not yet a whole notch (fine-grained wheels)
  std::function<void(int)> m_onTurn;
};
