// CEnterFreq: the small dialog of the receiver panel for typing a frequency. One text field
// (preset with the current frequency) and three buttons that take the number as kHz, MHz or
// GHz; typing k, m or g presses the matching button. It closes only on a number that gives a
// frequency above 0; anything else is refused with a message in the dialog.
#pragma once
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

class CEnterFreq : public QDialog {
 public:
  // currentKHz: shown as "%.3f" to start from, unless it is 0.
  CEnterFreq(QWidget* parent, double currentKHz);
  // The frequency entered, in kHz (after the dialog was accepted).
  double KHz() const { return m_kHz; }
  // A plain decimal number, '.' or ',' before the decimals: 1 with value set, else 0.
  static int ParseNumber(const QString& text, double& value);
  // The message shown for the last refused entry (empty while none was refused).
  QString Message() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Takes the typed number times factor (kHz per unit) and closes, or says why not.
  void Take(double factor);

  QLineEdit* m_edit = nullptr;
  QPushButton* m_unit[3] = {};
  QLabel* m_message = nullptr;
  double m_kHz = 0.0;
};
