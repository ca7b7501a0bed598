#include "spl/widgets/round_meter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kPad = 5.0;
constexpr double kArcShare = 0.92;     // the scale arc's radius, of the needle's length
constexpr double kPivotDrop = 0.10;    // the pivot below the dial's bottom edge, of its height
constexpr double kMajorLength = 0.10;  // mark lengths, of the arc's radius
constexpr double kMinorLength = 0.055;
constexpr int kMaxMarks = 200;
const QSize kHint(200, 130), kMinimum(100, 70);

const QColor kCase(28, 29, 32), kBezel(70, 72, 76);
const QColor kDialTop(250, 240, 210), kDialBottom(222, 208, 170);
const QColor kInk(40, 36, 30), kNeedle(190, 30, 20), kHub(30, 30, 30);

QPointF Dir(double degrees) {
  const double a = qDegreesToRadians(degrees);
  return QPointF(std::sin(a), -std::cos(a));
}

QString Label(double v) {
  return std::fabs(v - std::round(v)) < 1e-9 ? QString::number(qlonglong(std::llround(v)))
                                             : QString::number(v, 'g', 4);
}

}  // namespace

CRoundMeter::CRoundMeter(const QString& caption, QWidget* parent)
    : QWidget(parent), m_caption(caption) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void CRoundMeter::SetRange(double min, double max) {
  if (!(min < max) || !std::isfinite(min) || !std::isfinite(max)) return;
  m_min = min;
  m_max = max;
  m_value = std::clamp(m_value, m_min, m_max);
  update();
}

void CRoundMeter::SetScale(double majorStep, int minorPerMajor) {
  if (!(majorStep > 0) || minorPerMajor < 1) return;
  m_major = majorStep;
  m_minorPerMajor = minorPerMajor;
  update();
}

void CRoundMeter::SetValue(double value) {
  if (std::isnan(value)) return;
  value = std::clamp(value, m_min, m_max);
  if (value == m_value) return;
  m_value = value;
  update();
}

double CRoundMeter::NeedleAngle() const {
  return -kSweepDegrees / 2 + kSweepDegrees * (m_value - m_min) / (m_max - m_min);
}

QSize CRoundMeter::sizeHint() const { return kHint; }
QSize CRoundMeter::minimumSizeHint() const { return kMinimum; }

QPointF CRoundMeter::Pivot() const {
  return QPointF(width() / 2.0, height() - kPad + (height() - 2 * kPad) * kPivotDrop);
}

double CRoundMeter::NeedleLength() const {
  // The arc's ends must stay inside the dial both ways, its labels above it.
  const double half = qDegreesToRadians(kSweepDegrees / 2);
  const double byWidth = (width() / 2.0 - 3 * kPad) / std::sin(half);
  const double byHeight = Pivot().y() - kPad - fontMetrics().height() * 1.6;
  return std::max(4.0, std::min(byWidth, byHeight));
}

void CRoundMeter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF outer = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  p.setPen(QPen(kBezel, 1));
  p.setBrush(kCase);
  p.drawRoundedRect(outer, 6, 6);
  const QRectF dial = outer.adjusted(kPad - 1, kPad - 1, -(kPad - 1), -(kPad - 1));
  QLinearGradient paper(dial.topLeft(), dial.bottomLeft());
  paper.setColorAt(0, kDialTop);
  paper.setColorAt(1, kDialBottom);
  p.setPen(Qt::NoPen);
  p.setBrush(paper);
  p.drawRoundedRect(dial, 4, 4);
  p.setClipRect(dial);

  const QPointF pivot = Pivot();
  const double length = NeedleLength();
  const double arc = length * kArcShare;
  const double span = m_max - m_min;
  auto angle = [&](double v) { return -kSweepDegrees / 2 + kSweepDegrees * (v - m_min) / span; };

  // The arc and its marks, labels above the major ones.
  p.setPen(QPen(kInk, 1.2));
  p.setBrush(Qt::NoBrush);
  const QRectF circle(pivot.x() - arc, pivot.y() - arc, 2 * arc, 2 * arc);
  p.drawArc(circle, int((90 - kSweepDegrees / 2) * 16), int(kSweepDegrees * 16));
  const double minor = m_major / m_minorPerMajor;
  const bool minors = span / minor <= kMaxMarks;
  const double step = minors ? minor : m_major;
  const double first = std::ceil(m_min / step - 1e-9);
  const QFontMetrics fm = fontMetrics();
  for (double i = first;; ++i) {
    const double v = i * step;
    if (v > m_max + span * 1e-9 || i - first > kMaxMarks) break;
    const bool major = std::fabs(v / m_major - std::round(v / m_major)) < 1e-6;
    const QPointF dir = Dir(angle(v));
    const double len = arc * (major ? kMajorLength : kMinorLength);
    p.setPen(QPen(kInk, major ? 1.6 : 1.0));
    p.drawLine(pivot + dir * arc, pivot + dir * (arc + len));
    if (major) {
      const QString label = Label(v);
      const QPointF at = pivot + dir * (arc + len + fm.height() * 0.7);
      const double w = fm.horizontalAdvance(label) + 2;
      p.drawText(QRectF(at.x() - w / 2, at.y() - fm.height() / 2.0, w, fm.height()),
                 Qt::AlignCenter, label);
    }
  }
  if (!m_caption.isEmpty()) {
    p.setPen(kInk);
    p.drawText(QRectF(dial.left(), pivot.y() - arc * 0.55, dial.width(), fm.height()),
               Qt::AlignCenter, m_caption);
  }

  // The needle with a little shadow, then its hub at the dial's bottom edge.
  const QPointF tip = pivot + Dir(NeedleAngle()) * length;
  p.setPen(QPen(QColor(0, 0, 0, 50), 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(pivot + QPointF(1.5, 1.5), tip + QPointF(1.5, 1.5));
  p.setPen(QPen(kNeedle, 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(pivot, tip);
  p.setPen(Qt::NoPen);
  p.setBrush(kHub);
  const double hub = std::max(4.0, length * 0.08);
  p.drawEllipse(pivot, hub * 1.6, hub * 1.6);
}
