#include "spl/widgets/s_meter.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kSUnits = 9;
constexpr int kDbOverS9 = 60;
constexpr double kPad = 3.0;
constexpr double kFontShare = 0.26;  // label height as a share of the widget's height
constexpr double kMinFontPx = 7.0, kMaxFontPx = 13.0;
constexpr double kTickShare = 0.12;
constexpr double kPeakWidth = 2.0;
constexpr double kDimShare = 0.16;  // the bar's colours as they show in the empty track
const QSize kHint(240, 46), kMinimum(120, 30);

const QColor kFaceTop(36, 38, 42), kFaceBottom(16, 17, 19), kBezel(62, 64, 68);
const QColor kTrack(6, 7, 8), kTrackEdge(70, 72, 76);
const QColor kScale(205, 208, 212), kScaleOver(240, 116, 100);
const QColor kGreenTop(110, 230, 110), kGreenBottom(30, 150, 45);
const QColor kRedTop(255, 90, 75), kRedBottom(175, 30, 25);
const QColor kPeakMark(255, 226, 150);

QColor Dim(const QColor& c) {
  return QColor(int(kTrack.red() + (c.red() - kTrack.red()) * kDimShare),
                int(kTrack.green() + (c.green() - kTrack.green()) * kDimShare),
                int(kTrack.blue() + (c.blue() - kTrack.blue()) * kDimShare));
}

struct Layout {
  double fontPx, labelTop, tickTop, tickLength;
  QRectF bar;
};

Layout LayOut(int w, int h) {
  Layout l;
  l.fontPx = std::clamp(h * kFontShare, kMinFontPx, kMaxFontPx);
  l.labelTop = kPad;
  l.tickTop = l.labelTop + l.fontPx + 2;
  l.tickLength = std::max(3.0, h * kTickShare);
  // Room at both ends for half a label: "S1" near the left end, "+60" on the right one.
  const double side = kPad + l.fontPx * 1.2;
  const double top = l.tickTop + l.tickLength + 1;
  l.bar = QRectF(side, top, std::max(1.0, w - 2 * side), std::max(2.0, h - kPad - top));
  return l;
}

double XOf(const QRectF& bar, double value) { return bar.left() + bar.width() * value / CSMeter::kFull; }

// The scale's value at S-unit n (1 ... 9) and at n dB over S9.
double SUnit(int n) { return double(CSMeter::kS9) * n / kSUnits; }
double OverS9(int db) { return CSMeter::kS9 + double(CSMeter::kFull - CSMeter::kS9) * db / kDbOverS9; }

}  // namespace

CSMeter::CSMeter(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CSMeter::SetValue(int value) {
  value = std::clamp(value, 0, kFull);
  const int peak = std::max(value, m_peak - kPeakFall);
  if (value == m_value && peak == m_peak) return;
  m_value = value;
  m_peak = peak;
  update();
}

QSize CSMeter::sizeHint() const { return kHint; }
QSize CSMeter::minimumSizeHint() const { return kMinimum; }

QRectF CSMeter::BarRect() const { return LayOut(width(), height()).bar; }

void CSMeter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const Layout l = LayOut(width(), height());
  const QRectF bar = l.bar;

  const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const double radius = std::min(6.0, height() / 8.0);
  QLinearGradient shade(face.topLeft(), face.bottomLeft());
  shade.setColorAt(0, kFaceTop);
  shade.setColorAt(1, kFaceBottom);
  p.setPen(QPen(kBezel, 1));
  p.setBrush(shade);
  p.drawRoundedRect(face, radius, radius);

  // The scale: a tick per S-unit and per 10 dB over S9, labels on every other one.
  QFont font = this->font();
  font.setPixelSize(int(l.fontPx));
  p.setFont(font);
  const double labelWidth = l.fontPx * 2.4;
  auto tick = [&](double value, const QColor& colour, const QString& label, bool major) {
    const double x = XOf(bar, value);
    const double len = major ? l.tickLength : l.tickLength * 0.55;
    p.setPen(QPen(colour, major ? 1.2 : 1.0));
    p.drawLine(QPointF(x, l.tickTop + l.tickLength - len), QPointF(x, l.tickTop + l.tickLength));
    if (label.isEmpty()) return;
    // Centred on its tick, but never past the face's edge.
    double left = std::clamp(x - labelWidth / 2, kPad, width() - kPad - labelWidth);
    p.drawText(QRectF(left, l.labelTop, labelWidth, l.fontPx + 2), Qt::AlignCenter, label);
  };
  for (int n = 1; n <= kSUnits; ++n) {
    const bool labelled = n % 2 == 1;
    tick(SUnit(n), kScale, labelled ? (n == 1 ? QStringLiteral("S1") : QString::number(n)) : QString(),
         labelled);
  }
  for (int db = 10; db <= kDbOverS9; db += 10) {
    const bool labelled = db % 20 == 0;
    tick(OverS9(db), kScaleOver, labelled ? QStringLiteral("+%1").arg(db) : QString(), labelled);
  }

  // The track, then the bar: green up to S9, red over it.
  p.setPen(QPen(kTrackEdge, 1));
  p.setBrush(kTrack);
  p.drawRect(bar.adjusted(-0.5, -0.5, 0.5, 0.5));
  p.setPen(Qt::NoPen);
  const double s9 = XOf(bar, kS9), end = XOf(bar, m_value);
  // The empty track still hints where red begins.
  p.fillRect(QRectF(bar.left(), bar.top(), s9 - bar.left(), bar.height()), Dim(kGreenBottom));
  p.fillRect(QRectF(s9, bar.top(), bar.right() - s9, bar.height()), Dim(kRedBottom));
  auto fill = [&](double x0, double x1, const QColor& top, const QColor& bottom) {
    if (x1 <= x0) return;
    QLinearGradient g(bar.topLeft(), bar.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(QRectF(x0, bar.top(), x1 - x0, bar.height()), g);
  };
  fill(bar.left(), std::min(end, s9), kGreenTop, kGreenBottom);
  fill(s9, end, kRedTop, kRedBottom);

  // While the peak is the value, the bar's own end marks it.
  if (m_peak > m_value) {
    const double x = std::clamp(XOf(bar, m_peak), bar.left() + kPeakWidth / 2, bar.right() - kPeakWidth / 2);
    p.fillRect(QRectF(x - kPeakWidth / 2, bar.top(), kPeakWidth, bar.height()), kPeakMark);
  }
}
