// CRoundMeter: a moving-needle meter. A value within a range moves the needle over an arc
// scale with labelled marks on a light dial, as on a receiver's front panel; values outside
// the range stop the needle at the scale's ends.
#pragma once
#include <QPointF>
#include <QString>
#include <QWidget>

class CRoundMeter : public QWidget {
 public:
  // The needle swings kSweepDegrees, half of it each side of straight up.
  static constexpr double kSweepDegrees = 100.0;

  explicit CRoundMeter(const QString& caption = QString(), QWidget* parent = nullptr);
  // min < max, else nothing changes. The value is clamped into the new range.
  void SetRange(double min, double max);
  // Marks every major step (> 0), labelled, with minorPerMajor - 1 unlabelled marks between.
  void SetScale(double majorStep, int minorPerMajor);
  void SetValue(double value);  // clamped to the range
  double Value() const { return m_value; }
  // The needle's angle in degrees clockwise from straight up (-kSweepDegrees / 2 at the
  // minimum ... +kSweepDegrees / 2 at the maximum).
  double NeedleAngle() const;
  // The needle's pivot and length in widget coordinates (the pivot lies below the scale).
  QPointF Pivot() const;
  double NeedleLength() const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_caption;
  double m_min = 0.0, m_max = 100.0, m_value = 0.0;
  double m_major = 20.0;
  int m_minorPerMajor = 2;
};
