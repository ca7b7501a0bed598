#include "spl/widgets/equalizer_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "spl/dsp/equalizer_modul.h"

namespace {
constexpr int kInset = 2;         // margin of the grid and the texts
constexpr int kScaleStep = 50;    // pixels between frequency marks
const QColor kBackground(12, 20, 28);
const QColor kGrid(50, 70, 90);
const QColor kScaleText(150, 170, 190);
const QColor kDrawn(120, 140, 160);
const QColor kApplied(90, 230, 120);
const QColor kReadout(250, 220, 90);
}  // namespace

CEqualizerView::CEqualizerView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setMinimumSize(200, 100);
  setCursor(Qt::CrossCursor);
}

void CEqualizerView::SetModul(CEqualizerModul* modul) {
  m_modul = modul;
  if (m_modul) m_modul->SetDrawingSize(width(), height());
  update();
}

void CEqualizerView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (m_modul) m_modul->SetDrawingSize(width(), height());
}

void CEqualizerView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
  if (!m_modul) return;
  CEqualizer& eq = m_modul->Equalizer();
  const int rate = eq.GetRate();
  const int nyquist = rate / 2;
  // Gain lines at 0, 1/2 and 1; frequency marks every 50 pixels.
  p.setPen(kGrid);
  for (float g : {0.0f, 0.5f, 1.0f}) p.drawLine(kInset, m_modul->RowOf(g), width() - kInset, m_modul->RowOf(g));
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.8);
  p.setFont(small);
  for (int x = kInset; x < width() - kInset; x += kScaleStep) {
    p.setPen(kGrid);
    p.drawLine(x, kInset, x, height() - kInset);
    p.setPen(kScaleText);
    p.drawText(x + 3, height() - kInset - 3, QString::number(m_modul->FrequencyAt(x)));
  }
  if (nyquist <= 0) return;
  // Both curves: bin k stands for k x nyquist / N Hz.
  auto curve = [&](const float* gains, int count) {
    QPainterPath path;
    bool first = true;
    for (int x = kInset; x < width() - kInset; ++x) {
      const long long bin = (long long)m_modul->FrequencyAt(x) * count / nyquist;
      if (bin < 0 || bin >= count) continue;
      const QPointF point(x, m_modul->RowOf(std::clamp(gains[bin], 0.0f, 1.0f)));
      first ? path.moveTo(point) : path.lineTo(point);
      first = false;
    }
    return path;
  };
  int count = 0;
  if (const float* drawn = eq.GetPoti(count)) {
    p.setPen(QPen(kDrawn, 1));
    p.drawPath(curve(drawn, count));
  }
  float peak = 0;
  if (const float* applied = eq.GetFilterPoti(peak, count)) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kApplied, 2));
    p.drawPath(curve(applied, count));
  }
  if (m_modul->ReadoutRedraws() > 0) {
    p.setPen(kReadout);
    p.drawText(rect().adjusted(0, kInset + 2, -kInset - 6, 0), Qt::AlignTop | Qt::AlignRight,
               QString("%1 Hz").arg(m_modul->ReadoutHz()));
    m_modul->Redrawn();
  }
  if (!m_modul->GetBypass()) {
    p.setPen(kScaleText);
    p.drawText(rect(), Qt::AlignCenter, "off");
  }
}

void CEqualizerView::mousePressEvent(QMouseEvent* event) {
  if (!m_modul) return;
  const QPoint at = event->position().toPoint();
  if (event->button() == Qt::LeftButton) m_modul->LButtonDown(at.x(), at.y());
  else if (event->button() == Qt::RightButton) m_modul->RButtonDown(at.x(), at.y());
  else return;
  update();
  if (m_changed) m_changed();
}

void CEqualizerView::mouseMoveEvent(QMouseEvent* event) {
  if (!m_modul) return;
  const QPoint at = event->position().toPoint();
  const bool editing = m_modul->Captured();
  m_modul->MouseMove(at.x(), at.y());
  update();
  if (editing && m_changed) m_changed();
}

void CEqualizerView::mouseReleaseEvent(QMouseEvent*) {
  if (m_modul) m_modul->ButtonUp();
}
