#include "spl/widgets/potentiometer.h"

#include <QFont>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QWheelEvent>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kMajorTick = 64, kMinorTick = 16;  // scale marks, in levels
constexpr double kDialShare = 0.62;    // rotary knob radius, of half the dial's side
constexpr double kPointerShare = 0.72; // the pointer's circle, of the knob's radius
// How far the scale reaches above the centre and the value text below it, in knob radii.
constexpr double kScaleReach = 1.40, kValueReach = 1.55;
constexpr double kTrackPad = 10.0;     // slider track ends from the widget's edges
constexpr double kThumbLength = 14.0, kThumbWidth = 22.0;
constexpr double kGroove = 4.0;
constexpr int kWheelNotch = 120;
const QSize kRotaryHint(84, 100), kRotaryMinimum(48, 60);
const QSize kVerticalHint(60, 160), kVerticalMinimum(40, 90);
const QSize kHorizontalHint(180, 56), kHorizontalMinimum(90, 44);

const QColor kScale(175, 180, 188), kMajor(215, 220, 228);
const QColor kKnobLight(112, 116, 122), kKnobDark(34, 36, 40), kRim(16, 17, 19);
const QColor kPointer(255, 176, 40);
const QColor kGrooveDark(8, 9, 10), kGrooveEdge(80, 84, 90);
const QColor kFill(255, 150, 30, 150);

double HalfSweep() { return CPotentiometer::kSweepDegrees / 2; }

// Direction of an angle in degrees clockwise from straight up, y down.
QPointF Dir(double degrees) {
  const double a = qDegreesToRadians(degrees);
  return QPointF(std::sin(a), -std::cos(a));
}

double AngleOfValue(int value) { return -HalfSweep() + CPotentiometer::kSweepDegrees * value / CPotentiometer::kMax; }

}  // namespace

CPotentiometer::CPotentiometer(Shape shape, const QString& caption, QWidget* parent)
    : QWidget(parent), m_shape(shape), m_caption(caption) {
  setFocusPolicy(Qt::WheelFocus);
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void CPotentiometer::SetValue(int value) {
  value = std::clamp(value, 0, kMax);
  if (value == m_value) return;
  m_value = value;
  update();
}

void CPotentiometer::UserSet(int value) {
  value = std::clamp(value, 0, kMax);
  if (value == m_value) return;
  m_value = value;
  update();
  if (m_onChange) m_onChange(m_value);
}

QSize CPotentiometer::sizeHint() const {
  return m_shape == kRotary ? kRotaryHint : m_shape == kVertical ? kVerticalHint : kHorizontalHint;
}

QSize CPotentiometer::minimumSizeHint() const {
  return m_shape == kRotary ? kRotaryMinimum
                            : m_shape == kVertical ? kVerticalMinimum : kHorizontalMinimum;
}

CPotentiometer::Geometry CPotentiometer::Layout() const {
  Geometry g{};
  const double line = fontMetrics().height() + 2;
  g.caption = QRectF(0, height() - line, width(), line);
  const double area = std::max(1.0, height() - line);
  switch (m_shape) {
    case kRotary: {
      // Scale, knob, value and caption as one block, centred: the caption sits under the
      // value, not at the far bottom of a tall widget.
      const double byWidth = width() / 2.0 * kDialShare;
      const double byHeight = (height() - line) / (kScaleReach + kValueReach);
      g.radius = std::max(1.0, std::min(byWidth, byHeight));
      const double block = g.radius * (kScaleReach + kValueReach) + line;
      const double top = (height() - block) / 2;
      g.centre = QPointF(width() / 2.0, top + g.radius * kScaleReach);
      g.caption = QRectF(0, g.centre.y() + g.radius * kValueReach, width(), line);
      break;
    }
    case kVertical: {
      // The value's line on top, the scale on the left of the track.
      const double x = width() / 2.0 + 6;
      g.from = QPointF(x, area - kTrackPad);
      g.to = QPointF(x, std::min(area - kTrackPad, line + kTrackPad));
      break;
    }
    case kHorizontal: {
      const double y = area / 2.0 + 4;
      g.from = QPointF(kTrackPad + kThumbLength / 2, y);
      g.to = QPointF(std::max(g.from.x(), width() - kTrackPad - kThumbLength / 2), y);
      break;
    }
  }
  return g;
}

QPointF CPotentiometer::PointOf(int value) const {
  value = std::clamp(value, 0, kMax);
  const Geometry g = Layout();
  if (m_shape == kRotary) return g.centre + Dir(AngleOfValue(value)) * (g.radius * kPointerShare);
  return g.from + (g.to - g.from) * (double(value) / kMax);
}

int CPotentiometer::ValueAt(QPointF point) const {
  const Geometry g = Layout();
  if (m_shape == kRotary) {
    const QPointF d = point - g.centre;
    double a = qRadiansToDegrees(std::atan2(d.x(), -d.y()));  // -180 ... 180, 0 up
    a = std::clamp(a, -HalfSweep(), HalfSweep());             // below the gap: the nearer end
    return int(std::lround((a + HalfSweep()) / kSweepDegrees * kMax));
  }
  const QPointF track = g.to - g.from;
  const double length2 = QPointF::dotProduct(track, track);
  if (length2 <= 0) return m_value;
  const double t = std::clamp(QPointF::dotProduct(point - g.from, track) / length2, 0.0, 1.0);
  return int(std::lround(t * kMax));
}

void CPotentiometer::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  m_dragging = true;
  UserSet(ValueAt(event->position()));
}

void CPotentiometer::mouseMoveEvent(QMouseEvent* event) {
  if (!m_dragging) return QWidget::mouseMoveEvent(event);
  UserSet(ValueAt(event->position()));
}

void CPotentiometer::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_dragging = false;
  QWidget::mouseReleaseEvent(event);
}

void CPotentiometer::wheelEvent(QWheelEvent* event) {
  m_wheelRest += event->angleDelta().y();
  const int notches = m_wheelRest / kWheelNotch;
  m_wheelRest -= notches * kWheelNotch;
  if (notches) UserSet(m_value + notches * kWheelStep);
  event->accept();
}

void CPotentiometer::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right: UserSet(m_value + 1); break;
    case Qt::Key_Down:
    case Qt::Key_Left: UserSet(m_value - 1); break;
    case Qt::Key_PageUp: UserSet(m_value + kPageStep); break;
    case Qt::Key_PageDown: UserSet(m_value - kPageStep); break;
    case Qt::Key_Home: UserSet(0); break;
    case Qt::Key_End: UserSet(kMax); break;
    default: QWidget::keyPressEvent(event);
  }
}

void CPotentiometer::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const Geometry g = Layout();
  if (m_shape == kRotary)
    PaintRotary(p, g);
  else
    PaintSlider(p, g);
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(g.caption, Qt::AlignCenter, m_caption);
}

void CPotentiometer::PaintRotary(QPainter& p, const Geometry& g) {
  const QPointF c = g.centre;
  const double r = g.radius;
  // The scale: an arc of marks outside the knob, the lit part up to the value.
  for (int v = 0; v <= kMax + 1; v += kMinorTick) {
    const int level = std::min(v, kMax);
    const bool major = level % kMajorTick == 0 || level == kMax;
    const QPointF dir = Dir(AngleOfValue(level));
    const double in = r * 1.12, out = r * (major ? 1.36 : 1.26);
    p.setPen(QPen(level <= m_value ? kPointer : (major ? kMajor : kScale), major ? 1.6 : 1.0,
                  Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + dir * in, c + dir * out);
  }

  QRadialGradient body(c, r, c - QPointF(r * 0.35, r * 0.35));
  body.setColorAt(0, kKnobLight);
  body.setColorAt(1, kKnobDark);
  p.setPen(QPen(kRim, 1.2));
  p.setBrush(body);
  p.drawEllipse(c, r, r);

  const QPointF dir = Dir(AngleOfValue(m_value));
  p.setPen(QPen(kPointer, std::max(2.0, r * 0.12), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(c + dir * (r * 0.35), c + dir * (r * 0.88));

  QFont small = font();
  small.setPixelSize(std::max(8, int(r * 0.42)));
  p.setFont(small);
  p.setPen(kMajor);
  // The value under the knob, in the gap of the scale.
  p.drawText(QRectF(c.x() - r, c.y() + r * 0.95, 2 * r, (kValueReach - 0.95) * r), Qt::AlignCenter,
             QString::number(m_value));
  p.setFont(font());
}

void CPotentiometer::PaintSlider(QPainter& p, const Geometry& g) {
  const bool vertical = m_shape == kVertical;
  const QPointF along = g.to - g.from;
  const double length = std::hypot(along.x(), along.y());
  if (length <= 0) return;
  const QPointF unit = along / length;
  const QPointF side = vertical ? QPointF(-1, 0) : QPointF(0, -1);  // where the scale is

  for (int v = 0; v <= kMax + 1; v += kMinorTick) {
    const int level = std::min(v, kMax);
    const bool major = level % kMajorTick == 0 || level == kMax;
    const QPointF at = g.from + unit * (length * level / kMax);
    const double in = kThumbWidth / 2 + 2, out = in + (major ? 7 : 4);
    p.setPen(QPen(major ? kMajor : kScale, major ? 1.4 : 1.0));
    p.drawLine(at + side * in, at + side * out);
  }

  // The groove, lit from 0 up to the value.
  const QRectF groove = vertical ? QRectF(g.to.x() - kGroove / 2, g.to.y(), kGroove, length)
                                 : QRectF(g.from.x(), g.from.y() - kGroove / 2, length, kGroove);
  p.setPen(QPen(kGrooveEdge, 1));
  p.setBrush(kGrooveDark);
  p.drawRoundedRect(groove, 2, 2);
  const QPointF at = PointOf(m_value);
  const QRectF lit = vertical ? QRectF(groove.left(), at.y(), kGroove, g.from.y() - at.y())
                              : QRectF(groove.left(), groove.top(), at.x() - g.from.x(), kGroove);
  p.setPen(Qt::NoPen);
  p.setBrush(kFill);
  p.drawRoundedRect(lit, 2, 2);

  // The thumb: a ridged cap across the track with a line where the value is.
  const QRectF thumb = vertical ? QRectF(at.x() - kThumbWidth / 2, at.y() - kThumbLength / 2,
                                         kThumbWidth, kThumbLength)
                                : QRectF(at.x() - kThumbLength / 2, at.y() - kThumbWidth / 2,
                                         kThumbLength, kThumbWidth);
  QLinearGradient cap(thumb.topLeft(), vertical ? thumb.bottomLeft() : thumb.topRight());
  cap.setColorAt(0, kKnobLight);
  cap.setColorAt(1, kKnobDark);
  p.setPen(QPen(kRim, 1));
  p.setBrush(cap);
  p.drawRoundedRect(thumb, 3, 3);
  p.setPen(QPen(kPointer, 2));
  if (vertical)
    p.drawLine(QPointF(thumb.left() + 3, at.y()), QPointF(thumb.right() - 3, at.y()));
  else
    p.drawLine(QPointF(at.x(), thumb.top() + 3), QPointF(at.x(), thumb.bottom() - 3));

  // The value where the track leaves room: above a vertical slider, right of the caption
  // under a horizontal one.
  p.setPen(kMajor);
  const double line = fontMetrics().height();
  if (vertical)
    p.drawText(QRectF(0, 0, width(), line), Qt::AlignCenter, QString::number(m_value));
  else
    p.drawText(QRectF(0, g.caption.top(), width() - kTrackPad, g.caption.height()),
               Qt::AlignRight | Qt::AlignVCenter, QString::number(m_value));
}
