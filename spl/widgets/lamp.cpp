#include "spl/widgets/lamp.h"

#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kHintDiameter = 14, kMinDiameter = 8;
constexpr double kPadShare = 0.14;  // room around the lamp for its glow, share of the height
constexpr double kMinPad = 2.0;
constexpr int kSpacing = 6;          // between lamp and label
constexpr double kFocus = 0.35;      // highlight offset up and left, share of the radius
constexpr int kGlowAlpha = 90;

const QColor kOffLight(118, 118, 118), kOff(62, 62, 62), kOffEdge(34, 34, 34);
const QColor kRim(22, 22, 22);

double Pad(int height) { return std::max(kMinPad, height * kPadShare); }

}  // namespace

CLamp::CLamp(const QString& label, QColor on, QWidget* parent)
    : QWidget(parent), m_label(label), m_colour(on) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void CLamp::SetOn(int on) {
  on = on != 0;
  if (on == m_on) return;
  m_on = on;
  update();
}

QSize CLamp::sizeHint() const {
  const int pad = int(std::ceil(Pad(kHintDiameter)));
  const int h = std::max(kHintDiameter + 2 * pad, fontMetrics().height() + 2);
  const int text = m_label.isEmpty() ? 0 : kSpacing + fontMetrics().horizontalAdvance(m_label);
  return QSize(h + text + pad, h);
}

QSize CLamp::minimumSizeHint() const {
  const int h = std::max(kMinDiameter + 2 * int(kMinPad), fontMetrics().height());
  const int text = m_label.isEmpty() ? 0 : kSpacing + fontMetrics().horizontalAdvance(m_label);
  return QSize(h + text, h);
}

QPointF CLamp::LampCentre() const { return QPointF(height() / 2.0, height() / 2.0); }

void CLamp::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const double pad = Pad(height());
  const double r = std::max(1.0, height() / 2.0 - pad);
  const QPointF c = LampCentre();
  const QPointF focus = c - QPointF(r * kFocus, r * kFocus);

  p.setPen(Qt::NoPen);
  QRadialGradient body(c, r, focus);
  if (m_on) {
    // A lit lamp spills a little light around itself.
    QRadialGradient halo(c, r + pad);
    QColor glow = m_colour, none = m_colour;
    glow.setAlpha(kGlowAlpha);
    none.setAlpha(0);
    halo.setColorAt(r / (r + pad), glow);
    halo.setColorAt(1, none);
    p.setBrush(halo);
    p.drawEllipse(c, r + pad, r + pad);
    body.setColorAt(0, m_colour.lighter(165));
    body.setColorAt(0.5, m_colour);
    body.setColorAt(1, m_colour.darker(160));
  } else {
    body.setColorAt(0, kOffLight);
    body.setColorAt(0.5, kOff);
    body.setColorAt(1, kOffEdge);
  }
  p.setBrush(body);
  p.setPen(QPen(kRim, 1));
  p.drawEllipse(c, r, r);

  if (!m_label.isEmpty()) {
    // The label sits on the window's own background, so it takes the window's text colour.
    p.setPen(palette().color(QPalette::WindowText));
    const double x = height() + kSpacing - pad;
    p.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, m_label);
  }
}
