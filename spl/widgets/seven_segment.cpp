#include "spl/widgets/seven_segment.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>

const QColor CSevenSegment::kAmber(255, 172, 28);
const QColor CSevenSegment::kGreen(70, 255, 110);

namespace {

constexpr int kMaxDigits = 16;
// Proportions of a digit cell, in units of its advance (digit body plus the gap after it).
constexpr double kBodyWidth = 0.66;
constexpr double kDigitHeight = 1.25;
constexpr double kThickness = 0.13;
constexpr double kSegmentGap = 0.015;  // dark seam between neighbouring segments
constexpr double kSlant = 0.07;        // x shift per unit of height: the usual forward lean
constexpr double kBorder = 0.14;       // face margin around the digits, in digit heights
constexpr int kHintAdvance = 22, kMinAdvance = 8;
constexpr double kUnlitShare = 0.09;   // how much of the lit colour an unlit segment shows
constexpr int kGlowAlpha = 60;

const QColor kFaceTop(30, 28, 26), kFaceBottom(10, 10, 9), kBezel(58, 56, 52);

// Segments a (top), b (top right), c (bottom right), d (bottom), e (bottom left), f (top
// left), g (middle): bit n is segment 'a' + n.
constexpr uint8_t kGlyphs[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
constexpr uint8_t kMinus = 0x40;

uint8_t Glyph(QChar c) {
  if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) return kGlyphs[c.unicode() - '0'];
  return c == QLatin1Char('-') ? kMinus : 0;
}

// A segment along the line from (x0, y0) to (x1, y1), horizontal or vertical, with pointed ends.
QPolygonF Segment(double x0, double y0, double x1, double y1, double t) {
  const double h = t / 2;
  if (y0 == y1)
    return QPolygonF({{x0, y0}, {x0 + h, y0 - h}, {x1 - h, y0 - h}, {x1, y0}, {x1 - h, y0 + h},
                      {x0 + h, y0 + h}});
  return QPolygonF({{x0, y0}, {x0 + h, y0 + h}, {x0 + h, y1 - h}, {x0, y1}, {x0 - h, y1 - h},
                    {x0 - h, y0 + h}});
}

// The seven segments of a digit body w x h with stroke t, in the order of the glyph bits.
std::array<QPolygonF, 7> Segments(double w, double h, double t) {
  const double g = kSegmentGap / kThickness * t;
  const double l = t / 2, r = w - t / 2, top = t / 2, mid = h / 2, bot = h - t / 2;
  return {Segment(l + g, top, r - g, top, t), Segment(r, top + g, r, mid - g, t),
          Segment(r, mid + g, r, bot - g, t), Segment(l + g, bot, r - g, bot, t),
          Segment(l, mid + g, l, bot - g, t), Segment(l, top + g, l, mid - g, t),
          Segment(l + g, mid, r - g, mid, t)};
}

QColor Mix(const QColor& a, const QColor& b, double share) {
  return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * share),
                          float(a.greenF() + (b.greenF() - a.greenF()) * share),
                          float(a.blueF() + (b.blueF() - a.blueF()) * share));
}

}  // namespace

CSevenSegment::CSevenSegment(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void CSevenSegment::SetFormat(int digits, int decimals) {
  digits = std::clamp(digits, 1, kMaxDigits);
  decimals = std::clamp(decimals, 0, digits - 1);
  if (digits == m_digits && decimals == m_decimals) return;
  m_digits = digits;
  m_decimals = decimals;
  updateGeometry();
  update();
}

void CSevenSegment::SetValue(double value) {
  if (!std::isfinite(value)) value = 0.0;
  const QString before = Cells();
  m_value = value;
  if (Cells() != before) update();
}

void CSevenSegment::SetColour(const QColor& lit) {
  if (lit == m_lit) return;
  m_lit = lit;
  update();
}

QString CSevenSegment::Cells() const {
  const bool negative = m_value < 0.0;
  const int room = negative ? m_digits - 1 : m_digits;  // a minus takes a cell
  uint64_t limit = 1;
  for (int i = 0; i < room; ++i) limit *= 10;
  const double x = std::fabs(m_value) * std::pow(10.0, m_decimals);
  double whole = std::floor(x);
  // A half written in decimal (7020.8005) is a hair above or below .5 in binary: within the
  // conversion's noise it counts as a half and rounds up, as the number was written.
  const double noise = 64 * DBL_EPSILON * std::max(1.0, x);
  if (x - whole >= 0.5 - noise) whole += 1.0;
  QString digits;
  if (whole >= double(limit))
    digits = QString(room, QLatin1Char('9'));
  else
    digits = QString::number(uint64_t(whole));
  // The zero before the point stays: 0.5 shows as "0.500", not ".500".
  if (digits.size() < m_decimals + 1) digits = digits.rightJustified(m_decimals + 1, '0');
  if (room == 0) digits.clear();
  if (negative && digits.count(QLatin1Char('0')) != digits.size()) digits.prepend('-');
  return digits.rightJustified(m_digits, ' ');
}

QString CSevenSegment::Text() const {
  QString t = Cells();
  if (m_decimals > 0) t.insert(m_digits - m_decimals, QLatin1Char('.'));
  return t;
}

QSize CSevenSegment::sizeHint() const {
  const double h = kDigitHeight * kHintAdvance;
  return QSize(int(std::ceil(m_digits * kHintAdvance + 2 * kBorder * h)),
               int(std::ceil(h * (1 + 2 * kBorder))));
}

QSize CSevenSegment::minimumSizeHint() const {
  const double h = kDigitHeight * kMinAdvance;
  return QSize(int(std::ceil(m_digits * kMinAdvance + 2 * kBorder * h)),
               int(std::ceil(h * (1 + 2 * kBorder))));
}

QRectF CSevenSegment::CellRect(int cell) const {
  // The largest advance whose digits and border fit both ways; the row is centred.
  const double a = std::min(width() / (m_digits + 2 * kBorder * kDigitHeight),
                            height() / (kDigitHeight * (1 + 2 * kBorder)));
  const double h = kDigitHeight * a;
  // The gap after the last digit is left off, so the row is centred on what is drawn.
  const double rowWidth = m_digits * a - (1 - kBodyWidth) * a;
  const double x0 = (width() - rowWidth) / 2, y0 = (height() - h) / 2;
  return QRectF(x0 + cell * a, y0, kBodyWidth * a, h);
}

void CSevenSegment::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);

  const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const double radius = std::min(6.0, height() / 8.0);
  QLinearGradient glass(face.topLeft(), face.bottomLeft());
  glass.setColorAt(0, kFaceTop);
  glass.setColorAt(1, kFaceBottom);
  p.setPen(QPen(kBezel, 1));
  p.setBrush(glass);
  p.drawRoundedRect(face, radius, radius);

  const QRectF first = CellRect(0);
  const double w = first.width(), h = first.height();
  const double a = w / kBodyWidth, t = kThickness * a;
  if (w < 1 || h < 1) return;
  const auto segments = Segments(w, h, t);
  const QColor unlit = Mix(kFaceBottom, m_lit, kUnlitShare);
  QColor glow = m_lit;
  glow.setAlpha(kGlowAlpha);

  // Leans every digit about its middle line, so the middle segment stays at the cell's centre.
  auto slanted = [&](double x) {
    p.translate(x, first.center().y());
    p.shear(-kSlant, 0);
    p.translate(0, -h / 2);
  };
  const QString cells = Cells();
  for (int i = 0; i < m_digits; ++i) {
    const uint8_t lit = Glyph(cells[i]);
    p.save();
    slanted(CellRect(i).left());
    for (int s = 0; s < 7; ++s) {
      const bool on = lit & (1 << s);
      if (on) {
        // A soft rim first: lit segments seem to glow a little beyond their edges.
        p.setPen(QPen(glow, t * 0.45, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(segments[s]);
      }
      p.setPen(Qt::NoPen);
      p.setBrush(on ? m_lit : unlit);
      p.drawPolygon(segments[s]);
    }
    p.restore();
  }
  if (m_decimals > 0) {
    // The point sits in the gap after the last whole digit, on the bottom line; it is lit.
    p.save();
    slanted(CellRect(m_digits - m_decimals - 1).right());
    const double gap = a - w;
    p.setPen(Qt::NoPen);
    p.setBrush(m_lit);
    p.drawEllipse(QPointF(gap / 2, h - t / 2), t * 0.55, t * 0.55);
    p.restore();
  }
}
