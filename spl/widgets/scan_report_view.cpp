#include "spl/widgets/scan_report_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>

#include "spl/radio/scanner.h"

namespace {
constexpr int kLevelSteps = 256;   // a cell's level is one byte
constexpr int kMaxSweepsShown = 100;
const QColor kBackground(16, 24, 32);
const QColor kFill(24, 48, 72);
const QColor kNewest(255, 220, 60);
const QColor kOldest(40, 140, 200);
}  // namespace

CScanReportView::CScanReportView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(160, 120);
  setCursor(Qt::CrossCursor);
}

void CScanReportView::Redraw() {
  const int columns = m_scanner ? m_scanner->GetXSize() : 0;
  const int lines = m_scanner ? m_scanner->GetYSize() : 0;
  m_lines = std::min(lines, kMaxSweepsShown);
  if (columns < 1 || m_lines < 1) {
    m_picture = QImage();
    update();
    return;
  }
  // The frame the scanner's hit test works in: the newest sweep's base on the last row.
  const int height = kLevelSteps + kPerspectiveY * (m_lines - 1);
  m_picture = QImage(columns + kPerspectiveX * (m_lines - 1), height, QImage::Format_RGB32);
  m_picture.fill(kBackground);
  QPainter p(&m_picture);
  p.setRenderHint(QPainter::Antialiasing, false);
  // Oldest first, so that newer sweeps cover the ones behind them.
  for (int k = m_lines - 1; k >= 0; --k) {
    const int line = lines - 1 - k;
    const uint8_t* row = m_rows == kAudioRows ? m_scanner->AudioRow(line) : m_scanner->SMeterRow(line);
    if (!row) continue;
    const int dx = kPerspectiveX * k, dy = -kPerspectiveY * k;
    QPolygon poly;
    for (int c = 0; c < columns; ++c) poly << QPoint(c + dx, height - 1 - row[c] + dy);
    poly << QPoint(columns - 1 + dx, height - 1 + dy) << QPoint(dx, height - 1 + dy);
    const double age = m_lines > 1 ? double(k) / (m_lines - 1) : 0.0;
    QColor edge = QColor::fromRgbF(kNewest.redF() + (kOldest.redF() - kNewest.redF()) * age,
                                   kNewest.greenF() + (kOldest.greenF() - kNewest.greenF()) * age,
                                   kNewest.blueF() + (kOldest.blueF() - kNewest.blueF()) * age);
    p.setBrush(kFill);
    p.setPen(edge);
    p.drawPolygon(poly);
  }
  update();
}

QPoint CScanReportView::PicturePoint(QPoint at) const {
  if (m_picture.isNull() || width() < 1 || height() < 1) return QPoint(-1, -1);
  return QPoint(int(qint64(at.x()) * m_picture.width() / width()),
                int(qint64(at.y()) * m_picture.height() / height()));
}

int CScanReportView::CellAt(QPoint at, int& column, int& line) const {
  if (!m_scanner || m_picture.isNull()) return 0;
  const QPoint p = PicturePoint(at);
  // The scanner counts lines from the store's first; the picture shows only the newest.
  const int height = m_picture.height();
  int found = m_rows == kAudioRows ? m_scanner->FindAudioEntry(p.x(), p.y(), height, column, line)
                                   : m_scanner->FindSMeterEntry(p.x(), p.y(), height, column, line);
  return found && line >= m_scanner->GetYSize() - m_lines ? 1 : 0;
}

void CScanReportView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (m_picture.isNull()) {
    p.fillRect(rect(), kBackground);
    return;
  }
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
  p.drawImage(rect(), m_picture);
}

void CScanReportView::mousePressEvent(QMouseEvent* event) {
  int column = 0, line = 0;
  if (event->button() == Qt::LeftButton && m_onClick && CellAt(event->position().toPoint(), column, line))
    m_onClick(column, line);
}
