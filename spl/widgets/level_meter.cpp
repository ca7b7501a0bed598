#include "spl/widgets/level_meter.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kYellowFrom = 70.0, kRedFrom = 90.0, kFullScale = 100.0;
constexpr double kPad = 2.0;
constexpr int kTextGap = 6;
constexpr char kWidestText[] = "100 %";  // the text's room is kept for it
constexpr int kHintWidth = 160, kMinBarWidth = 40;
constexpr int kTextMargin = 4;  // above and below the text in the preferred height
constexpr double kDimShare = 0.2;  // the zones' colours as they show in the empty track

const QColor kTrack(12, 13, 14), kTrackEdge(78, 80, 84);
const QColor kGreen(60, 200, 70), kYellow(235, 205, 45), kRed(235, 55, 45);

QColor Dim(const QColor& c) {
  return QColor(int(kTrack.red() + (c.red() - kTrack.red()) * kDimShare),
                int(kTrack.green() + (c.green() - kTrack.green()) * kDimShare),
                int(kTrack.blue() + (c.blue() - kTrack.blue()) * kDimShare));
}

}  // namespace

CLevelMeter::CLevelMeter(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CLevelMeter::SetLevel(double percent) {
  if (!std::isfinite(percent)) percent = 0.0;
  percent = std::clamp(percent, 0.0, kFullScale);
  if (percent == m_level) return;
  m_level = percent;
  update();
}

QString CLevelMeter::Text() const { return QStringLiteral("%1 %").arg(int(std::lround(m_level))); }

QSize CLevelMeter::sizeHint() const {
  return QSize(kHintWidth, fontMetrics().height() + kTextMargin);
}

QSize CLevelMeter::minimumSizeHint() const {
  return QSize(fontMetrics().horizontalAdvance(QLatin1String(kWidestText)) + kTextGap + kMinBarWidth,
               fontMetrics().height());
}

QRectF CLevelMeter::BarRect() const {
  // The bar keeps its length whatever the text says.
  const double text = fontMetrics().horizontalAdvance(QLatin1String(kWidestText)) + kTextGap;
  return QRectF(kPad, kPad, std::max(1.0, width() - text - 2 * kPad), std::max(1.0, height() - 2 * kPad));
}

void CLevelMeter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF bar = BarRect();
  auto x = [&](double percent) { return bar.left() + bar.width() * percent / kFullScale; };

  p.setPen(QPen(kTrackEdge, 1));
  p.setBrush(kTrack);
  p.drawRect(bar.adjusted(-0.5, -0.5, 0.5, 0.5));
  p.setPen(Qt::NoPen);

  // Each zone: its dim colour over the whole zone, then its full colour up to the level.
  struct Zone {
    double from, to;
    QColor colour;
  };
  const Zone zones[] = {{0, kYellowFrom, kGreen}, {kYellowFrom, kRedFrom, kYellow}, {kRedFrom, kFullScale, kRed}};
  for (const Zone& z : zones) {
    p.fillRect(QRectF(x(z.from), bar.top(), x(z.to) - x(z.from), bar.height()), Dim(z.colour));
    const double end = std::min(m_level, z.to);
    if (end <= z.from) continue;
    QLinearGradient g(bar.topLeft(), bar.bottomLeft());
    g.setColorAt(0, z.colour.lighter(125));
    g.setColorAt(1, z.colour.darker(120));
    p.fillRect(QRectF(x(z.from), bar.top(), x(end) - x(z.from), bar.height()), g);
  }

  // The value sits on the window's own background, in the window's text colour.
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(QRectF(bar.right() + kTextGap, 0, width() - bar.right() - kTextGap - kPad, height()),
             Qt::AlignRight | Qt::AlignVCenter, Text());
}
