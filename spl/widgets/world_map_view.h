// CWorldMapView: the world map (CWorldMap) in a scrollable window. It paints the map with a
// QPainter, keeps the scroll bars on the map's extent, zooms in to a rectangle dragged with
// the left button, reports every press, release and double click of the left and right
// buttons and every mouse move in map coordinates, and lets its owner draw on top (observer, satellites, tracks)
// through a callback that runs after the map on every paint. Render() draws the same into an
// image of any size without showing a window (a program can write a PNG from it).
#pragma once
#include <QAbstractScrollArea>
#include <QImage>
#include <functional>

#include "spl/sat/world_map.h"

class QPainter;
class QRubberBand;

class CWorldMapView : public QAbstractScrollArea {
 public:
  enum MouseEvent { kLeftDown, kLeftUp, kLeftDouble, kRightDown, kRightUp, kRightDouble };
  // Draws on top of the map; map converts map coordinates (MapToScreen) for this painter.
  using UserDrawHandler = std::function<void(QPainter& painter, const CWorldMap& map, const QRect& update)>;
  // A mouse button event at map point (x, y) (arc minutes, y north negative).
  using MouseClickHandler = std::function<void(MouseEvent event, int x, int y)>;
  // The mouse moved over the map to map point (x, y), buttons held or not.
  using MouseMoveHandler = std::function<void(int x, int y)>;

  explicit CWorldMapView(QWidget* parent = nullptr);
  ~CWorldMapView() override;

  // The map's settings (colours, city file, ...); call Refresh after changing them here.
  CWorldMap& Map() { return m_map; }
  const CWorldMap& Map() const { return m_map; }
  // Redraws when the flags changed. CWorldMap::kOffscreen changes nothing here: Qt paints
  // every widget into a back buffer already.
  void SetMode(int flags);
  // As CWorldMap::SetZoom; the view stops following its size with the whole map.
  void SetZoom(double zoom);
  void SetZoom(double zoom, int x, int y);
  // Shows the whole map again and keeps it whole when the window is resized (the start).
  void ZoomToFit();
  void SetUserDraw(UserDrawHandler handler) { m_userDraw = std::move(handler); }
  void SetMouseClick(MouseClickHandler handler) { m_mouseClick = std::move(handler); }
  void SetMouseMove(MouseMoveHandler handler) { m_mouseMove = std::move(handler); }
  // True while a zoom rectangle is being dragged (an owner redrawing on a timer waits).
  bool Dragging() const { return m_dragging; }
  // Scroll bars from the map's view, then a repaint.
  void Refresh();

  // The map (and the owner's drawing) at the current zoom and centre, into an image of the
  // given size. Needs a QGuiApplication for the fonts, not a display.
  QImage Render(QSize size) const;

  QSize sizeHint() const override { return QSize(720, 360); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void Paint(QPainter& painter, CWorldMap& map, const QRect& update) const;
  void Report(QMouseEvent* event, MouseEvent left, MouseEvent right);

  CWorldMap m_map;
  bool m_fit = true;         // zoom follows the window so that the whole map shows
  bool m_syncing = false;    // scroll bars being set from the map
  QRubberBand* m_band = nullptr;
  QPoint m_dragFrom;
  bool m_dragging = false;
  UserDrawHandler m_userDraw;
  MouseClickHandler m_mouseClick;
  MouseMoveHandler m_mouseMove;
};
