// The small instruments, painted off screen and read back pixel by pixel: the seven-segment
// read-out (what it shows, which cells light, rounding, overflow, scaling), the S-meter (bar
// length, green to S9 and red over it, the falling peak mark), the lamp and the level meter.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "spl/widgets/lamp.h"
#include "spl/widgets/level_meter.h"
#include "spl/widgets/s_meter.h"
#include "spl/widgets/seven_segment.h"
#include "tests/widgets/widget_app.h"

namespace {

QImage Grab(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

using Test = std::function<bool(QRgb)>;

bool Amber(QRgb p) { return qRed(p) > 200 && qGreen(p) > 120 && qGreen(p) < 215 && qBlue(p) < 100; }
bool Green(QRgb p) { return qGreen(p) > 140 && qRed(p) < 130 && qBlue(p) < 130; }
bool Red(QRgb p) { return qRed(p) > 170 && qGreen(p) < 110 && qBlue(p) < 110; }
bool Yellow(QRgb p) { return qRed(p) > 170 && qGreen(p) > 150 && qBlue(p) < 100; }

int Count(const QImage& img, const QRectF& area, const Test& is) {
  const QRect r = area.toAlignedRect().intersected(img.rect());
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) n += is(img.pixel(x, y));
  return n;
}

// The leftmost and rightmost x of matching pixels on row y, or -1, -1.
std::pair<int, int> Span(const QImage& img, int y, const Test& is) {
  int first = -1, last = -1;
  for (int x = 0; x < img.width(); ++x)
    if (is(img.pixel(x, y))) {
      if (first < 0) first = x;
      last = x;
    }
  return {first, last};
}

QRgb At(const QImage& img, QPointF p) { return img.pixel(int(p.x()), int(p.y())); }

// ---- seven-segment read-out ----

TEST(SevenSegment, FrequencyLightsItsDigitsAndLeavesLeadingCellsBlank) {
  App();
  CSevenSegment d;
  d.resize(240, 56);
  d.SetValue(4581.513);
  EXPECT_EQ(d.Text(), QStringLiteral("  4581.513"));
  const QImage img = Grab(d);
  for (int cell = 0; cell < 9; ++cell) {
    const int lit = Count(img, d.CellRect(cell), Amber);
    if (cell < 2)
      EXPECT_EQ(lit, 0) << "blank cell " << cell;
    else
      EXPECT_GT(lit, 20) << "digit cell " << cell;
  }
  // The decimal point, in the gap after the fourth whole digit near the bottom line.
  const QRectF before = d.CellRect(5), after = d.CellRect(6);
  EXPECT_GT(Count(img, QRectF(before.right(), before.bottom() - before.height() / 6,
                              after.left() - before.right(), before.height() / 6),
                  Amber),
            0);
  // And none in the gap between two whole digits.
  const QRectF a = d.CellRect(3), b = d.CellRect(4);
  EXPECT_EQ(Count(img, QRectF(a.right() + 1, a.bottom() - a.height() / 6, b.left() - a.right() - 2,
                              a.height() / 6),
                  Amber),
            0);
}

TEST(SevenSegment, MiddleSegmentIsDarkInAZeroAndLitInAnEightUnlitSegmentsStillShow) {
  App();
  CSevenSegment d;
  d.resize(240, 56);
  d.SetValue(8080.0);
  ASSERT_EQ(d.Text(), QStringLiteral("  8080.000"));
  const QImage img = Grab(d);
  const QRgb eight = At(img, d.CellRect(2).center()), zero = At(img, d.CellRect(3).center());
  EXPECT_TRUE(Amber(eight));
  EXPECT_FALSE(Amber(zero));
  // The zero's dark middle segment is still faintly there, warmer than the face in the
  // hollow above it.
  const QRectF z = d.CellRect(3);
  const QRgb hollow = At(img, QPointF(z.center().x(), z.top() + z.height() / 4));
  EXPECT_GT(qRed(zero), qRed(hollow) + 6);
  EXPECT_LT(qRed(zero), 90);
}

TEST(SevenSegment, RoundsHalvesUpAsWrittenAndTooLargeShowsAllNines) {
  App();
  CSevenSegment d;
  const std::pair<double, const char*> cases[] = {
      {7020.8005, "  7020.801"}, {518.0015, "   518.002"},  // a hair below the half in binary
      {1.0004, "     1.000"},    {14070.4996, " 14070.500"}, {-0.0002, "     0.000"},  // no minus
      {-12.3, "   -12.300"},     {999999.9996, "999999.999"},  // rounds to a seventh whole digit
      {-1e12, "-99999.999"},     {1e12, "999999.999"}};
  for (auto [value, text] : cases) {
    d.SetValue(value);
    EXPECT_EQ(d.Text(), QString(text)) << value;
  }
  d.resize(240, 56);
  const QImage img = Grab(d);
  for (int cell = 0; cell < 9; ++cell) EXPECT_GT(Count(img, d.CellRect(cell), Amber), 20) << cell;
  d.SetFormat(5, 0);
  d.SetValue(42.5);
  EXPECT_EQ(d.Text(), QStringLiteral("   43"));
  d.SetFormat(4, 3);
  d.SetValue(0.25);
  EXPECT_EQ(d.Text(), QStringLiteral("0.250"));
  d.SetFormat(3, 7);  // decimals limited to digits - 1
  EXPECT_EQ(d.Text(), QStringLiteral("0.25"));
}

TEST(SevenSegment, DigitsGrowWithTheWidgetAndTakeTheirColour) {
  App();
  CSevenSegment small, large;
  small.resize(120, 28);
  large.resize(360, 84);
  small.SetValue(888.0);
  large.SetValue(888.0);
  const int s = Count(Grab(small), small.CellRect(5), Amber);
  const int l = Count(Grab(large), large.CellRect(5), Amber);
  EXPECT_GT(s, 0);
  EXPECT_GT(l, 5 * s);  // three times the size, about nine times the lit area
  EXPECT_GT(large.CellRect(5).height(), 2.5 * small.CellRect(5).height());

  large.SetColour(CSevenSegment::kGreen);
  const QImage img = Grab(large);
  EXPECT_EQ(Count(img, large.CellRect(5), Amber), 0);
  EXPECT_TRUE(Green(At(img, large.CellRect(5).center())));
}

// ---- S-meter ----

TEST(SMeter, BarFollowsTheValueGreenToS9AndRedOverIt) {
  App();
  auto paint = [](int value, CSMeter& m) {
    m.resize(300, 48);
    m.SetValue(value);
    return Grab(m);
  };
  CSMeter weak, s9, strong;
  const QImage wi = paint(50, weak), si = paint(CSMeter::kS9, s9), st = paint(200, strong);
  const QRectF bar = weak.BarRect();
  ASSERT_GT(bar.width(), 200);
  const int row = int(bar.center().y());
  auto x = [&](double v) { return bar.left() + bar.width() * v / CSMeter::kFull; };

  const auto weakGreen = Span(wi, row, Green);
  EXPECT_LE(std::abs(weakGreen.first - bar.left()), 2);
  EXPECT_LE(std::abs(weakGreen.second - x(50)), 2);
  EXPECT_EQ(Span(wi, row, Red).first, -1);
  EXPECT_EQ(Span(si, row, Red).first, -1);

  const auto green = Span(st, row, Green), red = Span(st, row, Red);
  EXPECT_GT(red.second, weakGreen.second + 100);
  EXPECT_LE(std::abs(red.second - x(200)), 2);
  EXPECT_LE(std::abs(green.second - x(CSMeter::kS9)), 2);
  EXPECT_GE(red.first, green.second);
  EXPECT_LE(std::abs(red.first - x(CSMeter::kS9)), 2);
}

TEST(SMeter, PeakMarkStaysBehindAndFallsBack) {
  App();
  CSMeter m;
  m.resize(300, 48);
  m.SetValue(999);
  EXPECT_EQ(m.Value(), 255);
  m.SetValue(200);
  EXPECT_EQ(m.Peak(), 255 - CSMeter::kPeakFall);
  m.SetValue(0);
  EXPECT_EQ(m.Value(), 0);
  EXPECT_EQ(m.Peak(), 255 - 2 * CSMeter::kPeakFall);
  const QRectF bar = m.BarRect();
  const int row = int(bar.center().y());
  auto mark = [](QRgb p) { return qRed(p) > 220 && qGreen(p) > 190 && qBlue(p) > 100; };
  QImage img = Grab(m);
  EXPECT_EQ(Span(img, row, Green).first, -1);
  const auto peak = Span(img, row, mark);
  EXPECT_LE(std::abs(peak.first - (bar.left() + bar.width() * m.Peak() / 255)), 3);
  for (int i = 0; i < 100; ++i) m.SetValue(0);
  EXPECT_EQ(m.Peak(), 0);
  img = Grab(m);
  EXPECT_EQ(Span(img, row, mark).first, -1);
  // A new high lifts the peak with it.
  m.SetValue(90);
  EXPECT_EQ(m.Peak(), 90);
}

// ---- lamp ----

TEST(Lamp, CentreIsBrightInItsColourWhenOnAndDarkWhenOff) {
  App();
  CLamp squelch(QStringLiteral("SQL"));
  squelch.resize(100, 20);
  EXPECT_EQ(squelch.IsOn(), 0);
  QRgb c = At(Grab(squelch), squelch.LampCentre());
  EXPECT_LT(std::max({qRed(c), qGreen(c), qBlue(c)}), 120);
  squelch.SetOn(5);
  EXPECT_EQ(squelch.IsOn(), 1);
  const QImage on = Grab(squelch);
  c = At(on, squelch.LampCentre());
  EXPECT_GT(qGreen(c), 170);
  EXPECT_GT(qGreen(c), qRed(c) + 80);
  // The label is painted to the right of the lamp.
  const QRgb back = on.pixel(on.width() - 1, 0);
  EXPECT_GT(Count(on, QRectF(22, 0, 60, 20), [&](QRgb p) { return p != back; }), 10);

  CLamp save(QStringLiteral("SAVE"), QColor(230, 40, 30));
  save.resize(100, 20);
  save.SetOn(1);
  c = At(Grab(save), save.LampCentre());
  EXPECT_TRUE(Red(c));
  save.SetOn(0);
  c = At(Grab(save), save.LampCentre());
  EXPECT_LT(qRed(c), 120);
}

// ---- level meter ----

TEST(LevelMeter, BarLengthFollowsTheLevelYellowOver70RedOver90) {
  App();
  CLevelMeter m;
  m.resize(220, 20);
  const QRectF bar = m.BarRect();
  const int row = int(bar.center().y());
  auto x = [&](double percent) { return bar.left() + bar.width() * percent / 100; };
  auto any = [](QRgb p) { return Green(p) || Yellow(p) || Red(p); };

  m.SetLevel(20);
  QImage img = Grab(m);
  EXPECT_LE(std::abs(Span(img, row, any).second - x(20)), 2);
  m.SetLevel(50);
  EXPECT_EQ(m.Text(), QStringLiteral("50 %"));
  img = Grab(m);
  EXPECT_LE(std::abs(Span(img, row, any).second - x(50)), 2);
  EXPECT_EQ(Span(img, row, Yellow).first, -1);
  EXPECT_EQ(Span(img, row, Red).first, -1);

  m.SetLevel(80);
  img = Grab(m);
  EXPECT_LE(std::abs(Span(img, row, Yellow).first - x(70)), 2);
  EXPECT_LE(std::abs(Span(img, row, Yellow).second - x(80)), 2);
  EXPECT_EQ(Span(img, row, Red).first, -1);

  m.SetLevel(95.4);
  EXPECT_EQ(m.Text(), QStringLiteral("95 %"));
  img = Grab(m);
  const auto red = Span(img, row, Red);
  EXPECT_LE(std::abs(red.first - x(90)), 2);
  EXPECT_LE(std::abs(red.second - x(95.4)), 2);

  m.SetLevel(250);
  EXPECT_EQ(m.Level(), 100.0);
  m.SetLevel(-3);
  EXPECT_EQ(m.Level(), 0.0);
  img = Grab(m);
  EXPECT_EQ(Span(img, row, any).first, -1);
}

}  // namespace
