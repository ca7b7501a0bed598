// CLamp: a small round signal lamp with a label beside it (squelch, SAVE), lit in its colour
// or dark.
#pragma once
#include <QColor>
#include <QPointF>
#include <QString>
#include <QWidget>

class CLamp : public QWidget {
 public:
  explicit CLamp(const QString& label, QColor on = QColor(40, 220, 60), QWidget* parent = nullptr);
  void SetOn(int on);
  int IsOn() const { return m_on; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The centre of the round lamp, in widget coordinates.
  QPointF LampCentre() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_label;
  QColor m_colour;
  int m_on = 0;
};
