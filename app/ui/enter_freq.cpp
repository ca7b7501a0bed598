#include "app/ui/enter_freq.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <iterator>

namespace {

// The unit buttons: label, the key that presses it, kHz per unit.
struct Unit {
  const char* label;
  char key;
  double kHz;
};
constexpr Unit kUnits[] = {{"KHz", 'k', 1.0}, {"MHz", 'm', 1000.0}, {"GHz", 'g', 1000000.0}};

const char* const kTitle = "Frequency";
const char* const kPrompt = "Type the frequency, then press KHz, MHz or GHz (or the key k, m or g):";
const char* const kNotANumber = "\"%1\" is not a number: type digits with at most one decimal point.";
const char* const kNotPositive = "The frequency must be greater than 0.";

}  // namespace

CEnterFreq::CEnterFreq(QWidget* parent, double currentKHz) : QDialog(parent) {
  setWindowTitle(QString(kTitle));
  setModal(true);
  m_edit = new QLineEdit;
  m_edit->setObjectName("frequencyText");
  if (currentKHz != 0.0) m_edit->setText(QString::asprintf("%.3f", currentKHz));
  m_edit->selectAll();
  m_edit->installEventFilter(this);

  m_message = new QLabel;
  m_message->setObjectName("message");
  m_message->setWordWrap(true);
  m_message->setStyleSheet("color: #c0392b;");
  m_message->hide();

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (size_t i = 0; i < std::size(kUnits); ++i) {
    m_unit[i] = new QPushButton(QString(kUnits[i].label));
    m_unit[i]->setObjectName(kUnits[i].label);
    m_unit[i]->setAutoDefault(false);
    connect(m_unit[i], &QPushButton::clicked, this, [this, i] { Take(kUnits[i].kHz); });
    buttons->addWidget(m_unit[i]);
  }
  m_unit[0]->setDefault(true);  // Enter takes kHz, the unit the panel shows

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString(kPrompt)));
  layout->addWidget(m_edit);
  layout->addWidget(m_message);
  layout->addLayout(buttons);
}

int CEnterFreq::ParseNumber(const QString& text, double& value) {
  static const QRegularExpression number(R"(^\s*(\d+([.,]\d*)?|[.,]\d+)\s*$)");
  if (!number.match(text).hasMatch()) return 0;
  bool ok = false;
  const double v = QString(text).replace(',', '.').trimmed().toDouble(&ok);
  if (!ok) return 0;
  value = v;
  return 1;
}

QString CEnterFreq::Message() const { return m_message->isHidden() ? QString() : m_message->text(); }

void CEnterFreq::Take(double factor) {
  double v = 0.0;
  if (!ParseNumber(m_edit->text(), v)) {
    m_message->setText(QString(kNotANumber).arg(m_edit->text().trimmed()));
  } else if (!(v * factor > 0.0)) {
    m_message->setText(QString(kNotPositive));
  } else {
    m_kHz = v * factor;
    accept();
    return;
  }
  m_message->show();
  m_edit->setFocus();
  m_edit->selectAll();
}

bool CEnterFreq::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_edit && event->type() == QEvent::KeyPress) {
    const QString text = static_cast<QKeyEvent*>(event)->text().toLower();
    for (size_t i = 0; i < std::size(kUnits); ++i)
      if (text == QChar(QLatin1Char(kUnits[i].key))) {
        m_unit[i]->click();
        return true;
      }
  }
  return QDialog::eventFilter(watched, event);
}
