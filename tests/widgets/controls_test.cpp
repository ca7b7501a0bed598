// The panel instruments, painted off screen and driven with real mouse, wheel and key events:
// the dot-matrix display (which dots a character lights, cut and padded text, clicks), the
// knob (detents from the wheel, from dragging it round and from the keys, the pointer's
// angle), the potentiometer (dragging past either end, clicking on the scale, the rotary
// pointer), the bar meter and the needle meter (where the bar ends and the needle points,
// values outside the range).
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QWheelEvent>
#include <QtMath>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "spl/widgets/bar_meter.h"
#include "spl/widgets/dot_matrix.h"
#include "spl/widgets/knob.h"
#include "spl/widgets/potentiometer.h"
#include "spl/widgets/round_meter.h"
#include "tests/widgets/widget_app.h"

namespace {

QImage Grab(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }
QRgb At(const QImage& img, QPointF p) { return img.pixel(int(p.x()), int(p.y())); }

bool LitGreen(QRgb p) { return qGreen(p) > 180 && qRed(p) > 60; }
bool Dark(QRgb p) { return std::max({qRed(p), qGreen(p), qBlue(p)}) < 90; }
bool Amber(QRgb p) { return qRed(p) > 190 && qGreen(p) > 100 && qGreen(p) < 210 && qBlue(p) < 110; }
bool NeedleRed(QRgb p) { return qRed(p) > 140 && qGreen(p) < 90 && qBlue(p) < 90; }

void Wheel(QWidget& w, int angle) {
  const QPointF at(w.width() / 2.0, w.height() / 2.0);
  QWheelEvent event(at, w.mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&w, &event);
}

void Mouse(QWidget& w, QEvent::Type type, QPointF at) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, at, w.mapToGlobal(at), button, held, Qt::NoModifier);
  QApplication::sendEvent(&w, &event);
}

// Presses at the first point, moves through the others and releases at the last.
void Drag(QWidget& w, const std::vector<QPointF>& path) {
  Mouse(w, QEvent::MouseButtonPress, path.front());
  for (size_t i = 1; i < path.size(); ++i) Mouse(w, QEvent::MouseMove, path[i]);
  Mouse(w, QEvent::MouseButtonRelease, path.back());
}

void Key(QWidget& w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(&w, &press);
}

// ---- dot-matrix display ----

TEST(DotMatrix, CharactersLightTheirDotsAndLeaveTheRestDark) {
  App();
  CDotMatrix d;
  d.SetCells(4);
  d.resize(4 * 6 * 8 + 40, 7 * 8 + 24);
  d.SetText("H1-");
  EXPECT_EQ(d.Text(), QStringLiteral("H1- "));
  const QImage img = Grab(d);
  auto lit = [&](int cell, int col, int row) { return LitGreen(At(img, d.DotCentre(cell, col, row))); };
  auto dark = [&](int cell, int col, int row) { return Dark(At(img, d.DotCentre(cell, col, row))); };
  for (int row = 0; row < CDotMatrix::kDotRows; ++row) {
    // H: both sides full height, the bar across the middle row only.
    EXPECT_TRUE(lit(0, 0, row)) << row;
    EXPECT_TRUE(lit(0, 4, row)) << row;
    EXPECT_EQ(lit(0, 2, row), row == 3) << row;
    // 1: the middle column full height, the foot to its right, the last column empty.
    EXPECT_TRUE(lit(1, 2, row)) << row;
    EXPECT_EQ(lit(1, 3, row), row == 6) << row;
    EXPECT_TRUE(dark(1, 4, row)) << row;
    // -: one row, all across.
    for (int col = 0; col < CDotMatrix::kDotColumns; ++col) EXPECT_EQ(lit(2, col, row), row == 3);
    // The padding blank.
    for (int col = 0; col < CDotMatrix::kDotColumns; ++col) EXPECT_TRUE(dark(3, col, row));
  }
  // Dark dots still show faintly on the face, between them it is darker still.
  const QPointF dot = d.DotCentre(3, 2, 3);
  const QRgb between = At(img, (d.DotCentre(3, 1, 3) + dot) / 2);
  EXPECT_GT(qGreen(At(img, dot)), qGreen(between) + 8);
}

TEST(DotMatrix, TextIsCutOrPaddedToTheCellsAndUnknownCharactersAreBlank) {
  App();
  CDotMatrix d;
  d.SetCells(5);
  d.SetText("14230,500 KHz");
  EXPECT_EQ(d.Text(), QStringLiteral("14230"));
  d.SetText(QString::fromUtf8("\xc3\xa4" "b"));  // a-umlaut is not in the font
  EXPECT_EQ(d.Text().size(), 5);
  d.resize(5 * 6 * 6 + 30, 7 * 6 + 20);
  const QImage img = Grab(d);
  int litInFirst = 0, litInSecond = 0;
  for (int col = 0; col < CDotMatrix::kDotColumns; ++col)
    for (int row = 0; row < CDotMatrix::kDotRows; ++row) {
      litInFirst += LitGreen(At(img, d.DotCentre(0, col, row)));
      litInSecond += LitGreen(At(img, d.DotCentre(1, col, row)));
    }
  EXPECT_EQ(litInFirst, 0);
  EXPECT_GT(litInSecond, 8);
  d.SetCells(7);  // growing keeps the text and pads it
  EXPECT_EQ(d.Text().size(), 7);
  EXPECT_EQ(d.Text().mid(1), QStringLiteral("b     "));
}

TEST(DotMatrix, ALeftClickCallsTheHandler) {
  App();
  CDotMatrix d;
  d.resize(200, 30);
  int clicks = 0;
  d.SetClickHandler([&] { ++clicks; });
  Mouse(d, QEvent::MouseButtonPress, QPointF(50, 15));
  EXPECT_EQ(clicks, 1);
  QMouseEvent right(QEvent::MouseButtonPress, QPointF(50, 15), d.mapToGlobal(QPointF(50, 15)),
                    Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(&d, &right);
  EXPECT_EQ(clicks, 1);
}

// ---- knob ----

TEST(Knob, WheelNotchesAndKeysTurnItByDetents) {
  App();
  CKnob k;
  k.resize(120, 120);
  std::vector<int> turns;
  k.SetTurnHandler([&](int d) { turns.push_back(d); });
  Wheel(k, 3 * CKnob::kWheelNotch);
  ASSERT_EQ(turns, std::vector<int>{3});
  Wheel(k, -5 * CKnob::kWheelNotch);
  EXPECT_EQ(turns.back(), -5);
  EXPECT_EQ(k.Position(), -2);
  // A fine wheel turns the knob once its parts add up to a notch.
  turns.clear();
  Wheel(k, CKnob::kWheelNotch / 3);
  Wheel(k, CKnob::kWheelNotch / 3);
  EXPECT_TRUE(turns.empty());
  Wheel(k, CKnob::kWheelNotch / 3);
  EXPECT_EQ(turns, std::vector<int>{1});
  Key(k, Qt::Key_Up);
  Key(k, Qt::Key_Down);
  Key(k, Qt::Key_Down);
  EXPECT_EQ(turns, (std::vector<int>{1, 1, -1, -1}));
  EXPECT_EQ(k.Position(), -2);
}

TEST(Knob, DraggingItRoundTurnsItAndThePointerFollows) {
  App();
  CKnob k;
  k.resize(140, 140);
  long long total = 0;
  k.SetTurnHandler([&](int d) { total += d; });
  const QPointF c = k.Centre();
  const double r = k.Radius() * 0.8;
  auto on = [&](double degrees) {  // clockwise from straight up
    const double a = qDegreesToRadians(degrees);
    return c + QPointF(std::sin(a), -std::cos(a)) * r;
  };
  // A quarter turn clockwise, in small moves, from straight up to the right.
  std::vector<QPointF> path;
  for (int a = 0; a <= 90; a += 5) path.push_back(on(a));
  Drag(k, path);
  EXPECT_EQ(total, CKnob::kDetentsPerTurn / 4);
  EXPECT_DOUBLE_EQ(k.PointerAngle(), 90.0);
  // The amber pointer line now lies right of the centre, none of it above.
  QImage img = Grab(k);
  auto amberNear = [&](double degrees) {
    int n = 0;
    for (double s = 0.55; s <= 0.75; s += 0.05) {
      const double a = qDegreesToRadians(degrees);
      n += Amber(At(img, c + QPointF(std::sin(a), -std::cos(a)) * (k.Radius() * s)));
    }
    return n;
  };
  EXPECT_GE(amberNear(90), 3);
  EXPECT_EQ(amberNear(0), 0);

  // Back across straight up, half a turn anticlockwise: the shorter way round each move.
  path.clear();
  for (int a = 90; a >= -90; a -= 10) path.push_back(on(a));
  Drag(k, path);
  EXPECT_EQ(total, -CKnob::kDetentsPerTurn / 4);
  EXPECT_DOUBLE_EQ(k.PointerAngle(), 270.0);
  img = Grab(k);
  EXPECT_GE(amberNear(270), 3);
  EXPECT_EQ(amberNear(90), 0);
}

// ---- potentiometer ----

TEST(Potentiometer, DraggedPastTheTopGives255AndPastTheBottom0) {
  App();
  for (auto shape : {CPotentiometer::kVertical, CPotentiometer::kHorizontal}) {
    CPotentiometer pot(shape, "VOLUME");
    pot.resize(shape == CPotentiometer::kVertical ? QSize(60, 180) : QSize(200, 56));
    std::vector<int> reported;
    pot.SetChangeHandler([&](int v) { reported.push_back(v); });
    const QPointF low = pot.PointOf(0), high = pot.PointOf(CPotentiometer::kMax);
    const QPointF beyond = high + (high - low) * 0.5;  // past the top (right) end
    Drag(pot, {pot.PointOf(100), (pot.PointOf(100) + high) / 2, beyond});
    EXPECT_EQ(pot.Value(), 255) << shape;
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), 255);
    Drag(pot, {high, low - (high - low) * 0.5});
    EXPECT_EQ(pot.Value(), 0) << shape;
    // A click on the scale sets the value there.
    Mouse(pot, QEvent::MouseButtonPress, pot.PointOf(128));
    Mouse(pot, QEvent::MouseButtonRelease, pot.PointOf(128));
    EXPECT_NEAR(pot.Value(), 128, 1) << shape;
  }
}

TEST(Potentiometer, RotaryTurnsThrough270DegreesAndShowsWhereItStands) {
  App();
  CPotentiometer pot(CPotentiometer::kRotary, "SQUELCH");
  pot.resize(100, 120);
  int reports = 0;
  pot.SetChangeHandler([&](int) { ++reports; });
  Mouse(pot, QEvent::MouseButtonPress, pot.PointOf(255));
  Mouse(pot, QEvent::MouseButtonRelease, pot.PointOf(255));
  EXPECT_EQ(pot.Value(), 255);
  // The pointer stands lower right; nothing of it lower left.
  QImage img = Grab(pot);
  EXPECT_TRUE(Amber(At(img, pot.PointOf(255))));
  EXPECT_FALSE(Amber(At(img, pot.PointOf(0))));
  // A click in the gap under the knob, left of the middle, goes to the bottom end.
  const QPointF mid = (pot.PointOf(0) + pot.PointOf(255)) / 2;
  Mouse(pot, QEvent::MouseButtonPress, mid + QPointF(-3, 20));
  Mouse(pot, QEvent::MouseButtonRelease, mid + QPointF(-3, 20));
  EXPECT_EQ(pot.Value(), 0);
  img = Grab(pot);
  EXPECT_TRUE(Amber(At(img, pot.PointOf(0))));
  EXPECT_FALSE(Amber(At(img, pot.PointOf(255))));
  // Wheel and keys.
  Wheel(pot, 2 * 120);
  EXPECT_EQ(pot.Value(), 2 * CPotentiometer::kWheelStep);
  Key(pot, Qt::Key_Down);
  EXPECT_EQ(pot.Value(), 2 * CPotentiometer::kWheelStep - 1);
  Key(pot, Qt::Key_End);
  EXPECT_EQ(pot.Value(), 255);
  Key(pot, Qt::Key_Up);  // already at the top: nothing changes, nothing reported
  const int before = reports;
  EXPECT_EQ(pot.Value(), 255);
  EXPECT_EQ(reports, before);
  // The owner's values are clamped and not reported back.
  pot.SetValue(300);
  EXPECT_EQ(pot.Value(), 255);
  pot.SetValue(-5);
  EXPECT_EQ(pot.Value(), 0);
  EXPECT_EQ(reports, before);
}

// ---- bar meter ----

TEST(BarMeter, BarEndsAtTheValueAndStopsAtTheRangesEnds) {
  App();
  CBarMeter m;
  m.resize(260, 44);
  m.SetRange(-50, 50);
  m.SetScale(25, 5);
  m.SetColour(QColor(60, 200, 70));
  const QRectF bar = m.BarRect();
  const int row = int(bar.center().y());
  auto end = [&](const QImage& img) {
    int last = -1;
    for (int x = 0; x < img.width(); ++x)
      if (qGreen(img.pixel(x, row)) > 150) last = x;
    return last;
  };
  m.SetValue(0);
  EXPECT_LE(std::abs(end(Grab(m)) - bar.center().x()), 2);
  m.SetValue(80);
  EXPECT_EQ(m.Value(), 50);
  EXPECT_LE(std::abs(end(Grab(m)) - bar.right()), 2);
  m.SetValue(-400);
  EXPECT_EQ(m.Value(), -50);
  EXPECT_EQ(end(Grab(m)), -1);
  m.SetRange(10, 5);  // not a range: ignored
  EXPECT_EQ(m.Minimum(), -50);

  CBarMeter v(Qt::Vertical);
  v.resize(60, 200);
  v.SetRange(0, 10);
  v.SetValue(7.5);
  const QRectF vb = v.BarRect();
  const QImage img = Grab(v);
  const int x = int(vb.center().x());
  int top = -1;
  for (int y = img.height() - 1; y >= 0; --y)
    if (qGreen(img.pixel(x, y)) > 150) top = y;
  EXPECT_LE(std::abs(top - (vb.bottom() - vb.height() * 0.75)), 2);
}

// ---- needle meter ----

TEST(RoundMeter, NeedlePointsLeftAtTheMinimumAndRightAtTheMaximum) {
  App();
  CRoundMeter m(QStringLiteral("dB"));
  m.resize(220, 140);
  m.SetRange(-20, 3);
  m.SetScale(5, 5);
  auto needleAt = [&](const QImage& img, double degrees) {
    int n = 0;
    const double a = qDegreesToRadians(degrees);
    for (double s = 0.35; s <= 0.9; s += 0.05)
      n += NeedleRed(At(img, m.Pivot() + QPointF(std::sin(a), -std::cos(a)) * (m.NeedleLength() * s)));
    return n;
  };
  const double half = CRoundMeter::kSweepDegrees / 2;
  m.SetValue(-20);
  QImage img = Grab(m);
  EXPECT_GE(needleAt(img, -half), 8);
  EXPECT_EQ(needleAt(img, half), 0);
  m.SetValue(3);
  img = Grab(m);
  EXPECT_GE(needleAt(img, half), 8);
  EXPECT_EQ(needleAt(img, -half), 0);
  EXPECT_EQ(needleAt(img, 0), 0);
  // Past either end the needle stops there.
  m.SetValue(1000);
  EXPECT_EQ(m.Value(), 3);
  EXPECT_DOUBLE_EQ(m.NeedleAngle(), half);
  m.SetValue(-1000);
  EXPECT_DOUBLE_EQ(m.NeedleAngle(), -half);
  m.SetValue(-8.5);  // the middle of the range: straight up
  EXPECT_NEAR(m.NeedleAngle(), 0.0, 1e-9);
  EXPECT_GE(needleAt(Grab(m), 0), 8);
}

}  // namespace
