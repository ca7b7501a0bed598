#include "spl/widgets/bar_meter.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kPad = 4.0;
constexpr double kTickLength = 5.0, kMinorLength = 3.0;
constexpr double kBarThickness = 12.0;
constexpr int kMaxMarks = 200;  // a scale finer than this is drawn without its minor marks
constexpr double kDimShare = 0.18;
const QSize kHorizontalHint(220, 44), kHorizontalMinimum(80, 34);
const QSize kVerticalHint(56, 180), kVerticalMinimum(44, 80);

const QColor kFaceTop(36, 38, 42), kFaceBottom(16, 17, 19), kBezel(62, 64, 68);
const QColor kTrack(6, 7, 8), kTrackEdge(70, 72, 76), kScale(205, 208, 212);

QColor Dim(const QColor& c) {
  return QColor(int(kTrack.red() + (c.red() - kTrack.red()) * kDimShare),
                int(kTrack.green() + (c.green() - kTrack.green()) * kDimShare),
                int(kTrack.blue() + (c.blue() - kTrack.blue()) * kDimShare));
}

QString Label(double v) {
  return std::fabs(v - std::round(v)) < 1e-9 ? QString::number(qlonglong(std::llround(v)))
                                             : QString::number(v, 'g', 4);
}

}  // namespace

CBarMeter::CBarMeter(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), m_orientation(orientation) {
  setSizePolicy(orientation == Qt::Horizontal ? QSizePolicy::Expanding : QSizePolicy::Fixed,
                orientation == Qt::Horizontal ? QSizePolicy::Fixed : QSizePolicy::Expanding);
}

void CBarMeter::SetRange(double min, double max) {
  if (!(min < max) || !std::isfinite(min) || !std::isfinite(max)) return;
  m_min = min;
  m_max = max;
  m_value = std::clamp(m_value, m_min, m_max);
  update();
}

void CBarMeter::SetScale(double majorStep, int minorPerMajor) {
  if (!(majorStep > 0) || minorPerMajor < 1) return;
  m_major = majorStep;
  m_minorPerMajor = minorPerMajor;
  update();
}

void CBarMeter::SetValue(double value) {
  if (std::isnan(value)) return;
  value = std::clamp(value, m_min, m_max);
  if (value == m_value) return;
  m_value = value;
  update();
}

void CBarMeter::SetColour(const QColor& bar) {
  m_colour = bar;
  update();
}

QSize CBarMeter::sizeHint() const {
  return m_orientation == Qt::Horizontal ? kHorizontalHint : kVerticalHint;
}

QSize CBarMeter::minimumSizeHint() const {
  return m_orientation == Qt::Horizontal ? kHorizontalMinimum : kVerticalMinimum;
}

QRectF CBarMeter::BarRect() const {
  const QFontMetrics fm = fontMetrics();
  if (m_orientation == Qt::Horizontal) {
    // Labels on top, centred on their marks: half a label of room at each end.
    const double side = kPad + fm.horizontalAdvance(Label(m_max)) / 2.0 + 2;
    const double top = kPad + fm.height() + kTickLength + 1;
    return QRectF(side, top, std::max(1.0, width() - 2 * side),
                  std::clamp(height() - top - kPad, 2.0, kBarThickness));
  }
  // Labels on the left of the marks, the bar on the right.
  const double labels = std::max(fm.horizontalAdvance(Label(m_min)), fm.horizontalAdvance(Label(m_max)));
  const double left = kPad + labels + 2 + kTickLength + 1;
  const double end = kPad + fm.height() / 2.0;
  return QRectF(left, end, std::clamp(width() - left - kPad, 2.0, kBarThickness),
                std::max(1.0, height() - 2 * end));
}

void CBarMeter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient shade(face.topLeft(), face.bottomLeft());
  shade.setColorAt(0, kFaceTop);
  shade.setColorAt(1, kFaceBottom);
  p.setPen(QPen(kBezel, 1));
  p.setBrush(shade);
  p.drawRoundedRect(face, 5, 5);

  const QRectF bar = BarRect();
  const bool horizontal = m_orientation == Qt::Horizontal;
  const double span = m_max - m_min;
  // Position along the bar: horizontal from the left, vertical from the bottom.
  auto at = [&](double v) {
    const double share = (v - m_min) / span;
    return horizontal ? bar.left() + bar.width() * share : bar.bottom() - bar.height() * share;
  };

  const double minor = m_major / m_minorPerMajor;
  const bool minors = span / minor <= kMaxMarks;
  const double first = std::ceil(m_min / (minors ? minor : m_major) - 1e-9);
  const QFontMetrics fm = fontMetrics();
  for (double i = first;; ++i) {
    const double v = i * (minors ? minor : m_major);
    if (v > m_max + span * 1e-9 || i - first > kMaxMarks) break;
    const bool major = std::fabs(v / m_major - std::round(v / m_major)) < 1e-6;
    const double len = major ? kTickLength : kMinorLength;
    const double pos = at(v);
    p.setPen(QPen(kScale, major ? 1.2 : 1.0));
    if (horizontal) {
      p.drawLine(QPointF(pos, bar.top() - 1 - len), QPointF(pos, bar.top() - 1));
      if (major) {
        const QString label = Label(v);
        const double w = fm.horizontalAdvance(label) + 2;
        p.drawText(QRectF(pos - w / 2, kPad, w, fm.height()), Qt::AlignCenter, label);
      }
    } else {
      p.drawLine(QPointF(bar.left() - 1 - len, pos), QPointF(bar.left() - 1, pos));
      if (major)
        p.drawText(QRectF(kPad, pos - fm.height() / 2.0, bar.left() - 1 - kTickLength - 2 - kPad,
                          fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, Label(v));
    }
  }

  p.setPen(QPen(kTrackEdge, 1));
  p.setBrush(Dim(m_colour));
  p.drawRect(bar.adjusted(-0.5, -0.5, 0.5, 0.5));
  const double end = at(m_value);
  const QRectF fill = horizontal ? QRectF(bar.left(), bar.top(), end - bar.left(), bar.height())
                                 : QRectF(bar.left(), end, bar.width(), bar.bottom() - end);
  QLinearGradient g(horizontal ? bar.topLeft() : bar.topLeft(),
                    horizontal ? bar.bottomLeft() : bar.topRight());
  g.setColorAt(0, m_colour.lighter(130));
  g.setColorAt(1, m_colour.darker(130));
  p.fillRect(fill, g);
}
