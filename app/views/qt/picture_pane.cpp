#include "app/views/qt/picture_pane.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace {
constexpr int kMaxZoom = 8;
}

CPicturePane::CPicturePane(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPicturePane::SetImage(const QImage& image) {
  m_image = image;
  setFixedSize(sizeHint());
  update();
}

void CPicturePane::SetZoom(int zoom) {
  m_zoom = std::clamp(zoom, 1, kMaxZoom);
  setFixedSize(sizeHint());
  update();
}

void CPicturePane::RowsChanged(int first, int last) {
  update(0, first * m_zoom, width(), (last - first + 1) * m_zoom);
}

QSize CPicturePane::sizeHint() const {
  return m_image.isNull() ? QSize(1, 1) : m_image.size() * m_zoom;
}

void CPicturePane::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  p.fillRect(event->rect(), Qt::white);
  if (m_image.isNull()) return;
  // Only the rows asked for: a tall FAX store is repainted a line at a time.
  const QRect r = event->rect();
  const int y0 = std::max(0, r.top() / m_zoom);
  const int y1 = std::min(m_image.height() - 1, r.bottom() / m_zoom);
  if (y1 < y0) return;
  const QRect source(0, y0, m_image.width(), y1 - y0 + 1);
  p.drawImage(QRect(0, y0 * m_zoom, m_image.width() * m_zoom, source.height() * m_zoom), m_image,
              source);
}
