#include "spl/widgets/knob.h"

#include <QConicalGradient>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QWheelEvent>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kDegreesPerDetent = 360.0 / CKnob::kDetentsPerTurn;
constexpr double kTickShare = 0.10;    // room for the detent ticks around the knob, of the size
constexpr double kDimpleAt = 0.45;     // the finger dimple's distance from the centre, of the radius
constexpr double kDimpleShare = 0.16;  // its radius, of the knob's radius
constexpr double kMinDragRadius = 4.0; // a drag through the very centre has no direction
constexpr int kGrooves = 48;           // the knurled rim
const QSize kHint(120, 120), kMinimum(48, 48);

const QColor kTick(150, 154, 160), kRim(18, 19, 21);
const QColor kBodyLight(120, 124, 130), kBodyDark(30, 31, 34);
const QColor kCapLight(92, 95, 100), kCapDark(40, 42, 46);
const QColor kDimple(16, 17, 19), kPointer(255, 176, 40);

}  // namespace

CKnob::CKnob(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::WheelFocus);
  setCursor(Qt::OpenHandCursor);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize CKnob::sizeHint() const { return kHint; }
QSize CKnob::minimumSizeHint() const { return kMinimum; }

QPointF CKnob::Centre() const { return QPointF(width() / 2.0, height() / 2.0); }

double CKnob::Radius() const {
  const double side = std::min(width(), height());
  return std::max(1.0, side / 2.0 - side * kTickShare);
}

double CKnob::PointerAngle() const {
  const long long detent = ((m_position % kDetentsPerTurn) + kDetentsPerTurn) % kDetentsPerTurn;
  return detent * kDegreesPerDetent;
}

double CKnob::AngleOf(QPointF point) const {
  const QPointF d = point - Centre();
  // atan2 with y down: clockwise on the screen counts up, 0 straight up.
  double a = qRadiansToDegrees(std::atan2(d.x(), -d.y()));
  return a < 0 ? a + 360.0 : a;
}

void CKnob::Turn(int detents) {
  if (!detents) return;
  m_position += detents;
  update();
  if (m_onTurn) m_onTurn(detents);
}

void CKnob::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  m_dragging = true;
  m_dragAngle = AngleOf(event->position());
  m_dragRest = 0.0;
  setCursor(Qt::ClosedHandCursor);
}

void CKnob::mouseMoveEvent(QMouseEvent* event) {
  if (!m_dragging) return QWidget::mouseMoveEvent(event);
  const QPointF d = event->position() - Centre();
  if (std::hypot(d.x(), d.y()) < kMinDragRadius) return;
  const double a = AngleOf(event->position());
  double delta = a - m_dragAngle;
  // The shorter way round: crossing straight up is not a whole turn back.
  if (delta > 180.0) delta -= 360.0;
  if (delta < -180.0) delta += 360.0;
  m_dragAngle = a;
  m_dragRest += delta;
  const int detents = int(std::trunc(m_dragRest / kDegreesPerDetent));
  m_dragRest -= detents * kDegreesPerDetent;
  Turn(detents);
}

void CKnob::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  m_dragging = false;
  setCursor(Qt::OpenHandCursor);
}

void CKnob::wheelEvent(QWheelEvent* event) {
  m_wheelRest += event->angleDelta().y();
  const int notches = m_wheelRest / kWheelNotch;
  m_wheelRest -= notches * kWheelNotch;
  Turn(notches);
  event->accept();
}

void CKnob::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right: Turn(1); break;
    case Qt::Key_Down:
    case Qt::Key_Left: Turn(-1); break;
    case Qt::Key_PageUp: Turn(kDetentsPerTurn / 4); break;
    case Qt::Key_PageDown: Turn(-kDetentsPerTurn / 4); break;
    default: QWidget::keyPressEvent(event);
  }
}

void CKnob::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c = Centre();
  const double r = Radius();
  const double side = std::min(width(), height());

  // Detent ticks around the knob, every third one longer.
  p.setPen(QPen(kTick, 1.2, Qt::SolidLine, Qt::RoundCap));
  const double tickIn = r + side * kTickShare * 0.25, tickOut = r + side * kTickShare * 0.8;
  for (int i = 0; i < kDetentsPerTurn; ++i) {
    const double a = qDegreesToRadians(i * kDegreesPerDetent);
    const double in = i % 3 == 0 ? tickIn : (tickIn + tickOut) / 2;
    const QPointF dir(std::sin(a), -std::cos(a));
    p.drawLine(c + dir * in, c + dir * tickOut);
  }

  // The knurled body: a conical sheen, grooves, then a raised cap.
  QConicalGradient sheen(c, 135);
  sheen.setColorAt(0.0, kBodyLight);
  sheen.setColorAt(0.25, kBodyDark);
  sheen.setColorAt(0.5, kBodyLight);
  sheen.setColorAt(0.75, kBodyDark);
  sheen.setColorAt(1.0, kBodyLight);
  p.setPen(QPen(kRim, 1.5));
  p.setBrush(sheen);
  p.drawEllipse(c, r, r);
  p.setPen(QPen(QColor(0, 0, 0, 70), 1.0));
  for (int i = 0; i < kGrooves; ++i) {
    const double a = 2 * M_PI * i / kGrooves;
    const QPointF dir(std::sin(a), -std::cos(a));
    p.drawLine(c + dir * (r * 0.86), c + dir * (r - 1.0));
  }
  const double cap = r * 0.84;
  QRadialGradient face(c, cap, c - QPointF(cap * 0.4, cap * 0.4));
  face.setColorAt(0, kCapLight);
  face.setColorAt(1, kCapDark);
  p.setPen(QPen(kRim, 1.0));
  p.setBrush(face);
  p.drawEllipse(c, cap, cap);

  // The finger dimple and the pointer line show the knob's angle.
  const double a = qDegreesToRadians(PointerAngle());
  const QPointF dir(std::sin(a), -std::cos(a));
  const QPointF dimple = c + dir * (r * kDimpleAt);
  QRadialGradient hollow(dimple, r * kDimpleShare, dimple + QPointF(r * 0.04, r * 0.04));
  hollow.setColorAt(0, kCapDark);
  hollow.setColorAt(1, kDimple);
  p.setPen(Qt::NoPen);
  p.setBrush(hollow);
  p.drawEllipse(dimple, r * kDimpleShare, r * kDimpleShare);
  p.setPen(QPen(kPointer, std::max(2.0, r * 0.06), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(c + dir * (cap * 0.86), c + dir * (cap * 0.58));

  if (hasFocus()) {
    p.setPen(QPen(palette().color(QPalette::Highlight), 1.0, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r + 2, r + 2);
  }
}
