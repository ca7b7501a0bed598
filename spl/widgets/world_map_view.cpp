#include "spl/widgets/world_map_view.h"

#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRubberBand>
#include <QScrollBar>
#include <vector>

namespace {

constexpr int kStartWidth = 720;   // pixels before the first resize
constexpr int kStartHeight = 360;

QColor Rgb(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// IMapCanvas on a QPainter. Polygons are filled without an outline: a record cut at its
// tile's edge runs along that edge, and an outline would draw it over the sea.
class CPainterCanvas : public IMapCanvas {
 public:
  explicit CPainterCanvas(QPainter& painter) : m_p(painter) {}

  void FillRect(const MapRect& r, uint32_t rgb) override {
    m_p.fillRect(QRect(r.left, r.top, r.Width(), r.Height()), Rgb(rgb));
  }
  int Polygon(const MapPoint* points, int count, uint32_t rgb) override {
    Load(points, count);
    m_p.setPen(Qt::NoPen);
    m_p.setBrush(Rgb(rgb));
    m_p.drawPolygon(m_points.data(), count, Qt::WindingFill);
    return 1;
  }
  int Polyline(const MapPoint* points, int count, uint32_t rgb) override {
    Load(points, count);
    m_p.setPen(QPen(Rgb(rgb), 0));
    m_p.setBrush(Qt::NoBrush);
    m_p.drawPolyline(m_points.data(), count);
    return 1;
  }
  void TextSize(const char* text, int pixelSize, int& width, int& height) override {
    const QFontMetrics fm(Font(pixelSize));
    width = fm.horizontalAdvance(QString::fromUtf8(text));
    height = fm.height();
  }
  void Text(int x, int y, const char* text, int pixelSize, uint32_t rgb) override {
    const QFont& font = Font(pixelSize);
    m_p.setFont(font);
    m_p.setPen(Rgb(rgb));
    m_p.drawText(x, y + QFontMetrics(font).ascent(), QString::fromUtf8(text));
  }
  void Dot(int x, int y, int radius, uint32_t rgb) override {
    m_p.setPen(Qt::NoPen);
    m_p.setBrush(Rgb(rgb));
    m_p.drawEllipse(QPoint(x, y), radius, radius);
  }

 private:
  void Load(const MapPoint* points, int count) {
    m_points.resize(size_t(count));
    for (int k = 0; k < count; ++k) m_points[size_t(k)] = QPoint(points[k].x, points[k].y);
  }
  const QFont& Font(int pixelSize) {
    if (m_font.pixelSize() != pixelSize) m_font.setPixelSize(pixelSize);
    return m_font;
  }

  QPainter& m_p;
  QFont m_font;
  std::vector<QPoint> m_points;
};

}  // namespace

CWorldMapView::CWorldMapView(QWidget* parent) : QAbstractScrollArea(parent) {
  m_map.Init(kStartWidth, kStartHeight);
  m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
  viewport()->setCursor(Qt::CrossCursor);
  viewport()->setMouseTracking(true);  // moves without a button report the position too
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

CWorldMapView::~CWorldMapView() = default;

void CWorldMapView::SetMode(int flags) {
  if (m_map.SetMode(flags)) viewport()->update();
}

void CWorldMapView::SetZoom(double zoom) {
  if (!m_map.SetZoom(zoom)) return;
  m_fit = false;
  Refresh();
}

void CWorldMapView::SetZoom(double zoom, int x, int y) {
  if (!m_map.SetZoom(zoom, x, y)) return;
  m_fit = false;
  Refresh();
}

void CWorldMapView::ZoomToFit() {
  m_fit = true;
  m_map.SetZoom(m_map.FitZoom());
  Refresh();
}

void CWorldMapView::Refresh() {
  m_syncing = true;
  const struct {
    QScrollBar* bar;
    bool horizontal;
  } bars[] = {{horizontalScrollBar(), true}, {verticalScrollBar(), false}};
  for (const auto& b : bars) {
    const CWorldMap::ScrollInfo s = m_map.GetScroll(b.horizontal);
    b.bar->setRange(s.min, s.max);
    b.bar->setPageStep(s.page);
    b.bar->setSingleStep(s.line);
    b.bar->setValue(s.pos);
  }
  m_syncing = false;
  viewport()->update();
}

QImage CWorldMapView::Render(QSize size) const {
  QImage image(size, QImage::Format_RGB32);
  CWorldMap map(m_map);
  if (!map.SetClientSize(size.width(), size.height())) return QImage();
  if (m_fit) map.SetZoom(map.FitZoom());
  QPainter painter(&image);
  Paint(painter, map, image.rect());
  return image;
}

void CWorldMapView::Paint(QPainter& painter, CWorldMap& map, const QRect& update) const {
  painter.setClipRect(update);
  painter.setRenderHint(QPainter::Antialiasing, false);
  CPainterCanvas canvas(painter);
  map.Draw(canvas, MapRect{update.left(), update.top(), update.right() + 1, update.bottom() + 1});
  if (m_userDraw) {
    painter.save();
    m_userDraw(painter, map, update);
    painter.restore();
  }
}

void CWorldMapView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  Paint(painter, m_map, event->rect());
}

void CWorldMapView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (!m_map.SetClientSize(viewport()->width(), viewport()->height())) return;
  if (m_fit) m_map.SetZoom(m_map.FitZoom());
  Refresh();
}

void CWorldMapView::scrollContentsBy(int, int) {
  if (m_syncing) return;
  m_map.SetScroll(true, horizontalScrollBar()->value());
  m_map.SetScroll(false, verticalScrollBar()->value());
  viewport()->update();
}

void CWorldMapView::Report(QMouseEvent* event, MouseEvent left, MouseEvent right) {
  if (!m_mouseClick) return;
  if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
  int x, y;
  const QPoint at = event->position().toPoint();
  m_map.ScreenToMap(at.x(), at.y(), x, y);
  m_mouseClick(event->button() == Qt::LeftButton ? left : right, x, y);
}

void CWorldMapView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    m_dragFrom = event->position().toPoint();
    m_dragging = true;
    m_band->setGeometry(QRect(m_dragFrom, QSize()));
    m_band->show();
  } else {
    m_dragging = false;
    m_band->hide();
  }
  Report(event, kLeftDown, kRightDown);
}

void CWorldMapView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (m_dragging) m_band->setGeometry(QRect(m_dragFrom, at).normalized());
  if (m_mouseMove) {
    int x, y;
    m_map.ScreenToMap(at.x(), at.y(), x, y);
    m_mouseMove(x, y);
  }
}

void CWorldMapView::mouseReleaseEvent(QMouseEvent* event) {
  Report(event, kLeftUp, kRightUp);
  if (event->button() != Qt::LeftButton || !m_dragging) return;
  m_dragging = false;
  m_band->hide();
  const QPoint to = event->position().toPoint();
  if (m_map.ZoomToRect(MapRect{m_dragFrom.x(), m_dragFrom.y(), to.x(), to.y()})) {
    m_fit = false;
    Refresh();
  }
}

void CWorldMapView::mouseDoubleClickEvent(QMouseEvent* event) {
  m_dragging = false;
  m_band->hide();
  Report(event, kLeftDouble, kRightDouble);
}
