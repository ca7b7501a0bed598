#include "spl/widgets/paint_widget.h"

#include <QPainter>
#include <QResizeEvent>

namespace {
QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
}  // namespace

CPaintWidget::CPaintWidget(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted here: nothing of the parent needs to show through.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPaintWidget::Show(HBITMAP picture, int x, int y) {
  if (!IsBitmapObject(picture) || picture->bits != 24) return;
  int rows = picture->height < 0 ? -picture->height : picture->height;
  if (picture != m_shown || m_image.constBits() != picture->pixels ||
      m_image.width() != picture->width || m_image.height() != rows) {
    // The 24-bit pixels are blue-green-red in memory, rows padded to 4 bytes: exactly
    // Format_BGR888 with the bitmap's row length, so the image shares the memory.
    m_image = QImage(picture->pixels, picture->width, rows, picture->bpl, QImage::Format_BGR888);
  }
  m_shown = picture;
  m_topDown = picture->height < 0;
  m_x = x;
  m_y = y;
  update();
}

void CPaintWidget::SunkenEdge() {
  m_edge = true;
  update();
}

void CPaintWidget::PictureGone(HBITMAP picture) {
  if (picture != m_shown) return;
  m_image = m_image.copy();  // detaches from the memory about to be freed
  m_shown = nullptr;
}

void CPaintWidget::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  p.fillRect(event->rect(), Qt::black);
  if (!m_image.isNull()) {
    if (m_topDown) {
      p.drawImage(m_x, m_y, m_image);
    } else {
      // Bottom-up rows: the first stored row is the bottom one, so the image is painted
      // mirrored vertically instead of being turned over in memory.
      p.save();
      p.translate(m_x, m_y + m_image.height());
      p.scale(1.0, -1.0);
      p.drawImage(0, 0, m_image);
      p.restore();
    }
  }
  if (m_edge) {
    const int w = width(), h = height();
    // The same strokes, in the same order, as the off-screen target's edge.
    const QColor shadow = ToQColor(kEdgeShadow), light = ToQColor(kEdgeLight);
    for (int e = 0; e < kEdgeWidth; ++e) {
      p.fillRect(e, e, w - 2 * e, 1, shadow);
      p.fillRect(e, h - 1 - e, w - 2 * e, 1, light);
      p.fillRect(e, e, 1, h - 2 * e, shadow);
      p.fillRect(w - 1 - e, e, 1, h - 2 * e, light);
    }
  }
}

void CPaintWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (m_onResize) m_onResize(event->size().width(), event->size().height());
}
