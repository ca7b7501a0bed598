// The world map window, drawn off screen: sea and land where the transforms put them, lakes
// over land, the owner's drawing on top, the offscreen image following the window's zoom,
// and a dragged rectangle zooming in while clicks arrive in map coordinates.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QMouseEvent>
#include <QScrollBar>
#include <cstdlib>
#include <vector>

#include "spl/widgets/world_map_view.h"
#include "tests/widgets/widget_app.h"

namespace {

// A mouse event delivered straight to w at pos.
void Mouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPoint pos) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
  QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), type == QEvent::MouseMove ? Qt::NoButton : button,
                held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

QRgb Rgb(uint32_t c) { return qRgb((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// The colour of the image at a map point (degrees, north and east positive).
QRgb At(const QImage& img, const CWorldMap& map, double lat, double lon) {
  int x, y;
  map.MapToScreen(int(lon * 60), int(-lat * 60), x, y);
  return img.pixel(x, y);
}

}  // namespace

TEST(WorldMapView, OffscreenRenderPutsSeaAndLandWhereTheTransformsSay) {
  App();
  CWorldMapView view;
  const CWorldMap::Colors& colors = view.Map().GetColors();
  const QImage img = view.Render(QSize(1080, 540));
  ASSERT_EQ(img.size(), QSize(1080, 540));
  CWorldMap map(view.Map());
  map.SetClientSize(1080, 540);
  map.SetZoom(map.FitZoom());
  // Mid-ocean: the South Atlantic, the central Pacific, the southern Indian Ocean.
  EXPECT_EQ(At(img, map, -30, -20), Rgb(colors.background));
  EXPECT_EQ(At(img, map, 0, -140), Rgb(colors.background));
  EXPECT_EQ(At(img, map, -35, 80), Rgb(colors.background));
  // Mid-continent: central Africa, Siberia, Brazil, Australia's interior.
  EXPECT_EQ(At(img, map, 5, 22), Rgb(colors.land));
  EXPECT_EQ(At(img, map, 62, 100), Rgb(colors.land));
  EXPECT_EQ(At(img, map, -10, -50), Rgb(colors.land));
  EXPECT_EQ(At(img, map, -25, 133), Rgb(colors.land));
  // Lake Victoria's middle (1 S, 33 E) is lake, not land.
  EXPECT_EQ(At(img, map, -1, 33), Rgb(colors.lakes));
  // A land-locked, lake-free picture has both colours in quantity: the world is there.
  int land = 0, sea = 0;
  for (int y = 0; y < img.height(); y += 4)
    for (int x = 0; x < img.width(); x += 4) {
      land += img.pixel(x, y) == Rgb(colors.land);
      sea += img.pixel(x, y) == Rgb(colors.background);
    }
  EXPECT_GT(sea, 2 * land);  // about 70 percent of the surface is sea
  EXPECT_GT(land, sea / 5);
}

TEST(WorldMapView, OwnerDrawsOnTopAndZoomedRenderFollowsTheCentre) {
  App();
  CWorldMapView view;
  int calls = 0;
  view.SetUserDraw([&](QPainter& p, const CWorldMap& map, const QRect&) {
    ++calls;
    int x, y;
    map.MapToScreen(0, 0, x, y);  // a mark at 0 N 0 E (sea, Gulf of Guinea)
    p.fillRect(QRect(x - 2, y - 2, 5, 5), Qt::red);
  });
  // Zoomed on Europe and Africa (100 degrees across, centred on 10 E 20 N): the mark sits
  // where the zoomed transform puts it.
  view.SetZoom(0.1, 600, -1200);
  const QImage img = view.Render(QSize(600, 400));
  EXPECT_EQ(calls, 1);
  CWorldMap map(view.Map());
  map.SetClientSize(600, 400);
  int x, y;
  map.MapToScreen(0, 0, x, y);
  ASSERT_TRUE(QRect(0, 0, 600, 400).contains(x, y));
  EXPECT_EQ(img.pixel(x, y), qRgb(255, 0, 0));
  // 18 E 35 N is sea (Ionian) and 10 E 50 N is land (Germany).
  EXPECT_EQ(At(img, map, 35, 18), Rgb(view.Map().GetColors().background));
  EXPECT_EQ(At(img, map, 50, 10), Rgb(view.Map().GetColors().land));
}

TEST(WorldMapView, DraggedRectangleZoomsAndClicksArriveInMapCoordinates) {
  App();
  CWorldMapView view;
  view.resize(740, 380);
  view.show();
  std::vector<CWorldMapView::MouseEvent> events;
  int cx = 0, cy = 0;
  view.SetMouseClick([&](CWorldMapView::MouseEvent e, int x, int y) {
    events.push_back(e);
    cx = x;
    cy = y;
  });
  int moves = 0, movedX = 0, movedY = 0;
  view.SetMouseMove([&](int x, int y) {
    ++moves;
    movedX = x;
    movedY = y;
  });
  QWidget* port = view.viewport();
  const double before = view.Map().GetZoom();
  int mx, my;
  view.Map().ScreenToMap(100, 100, mx, my);
  // A 10-pixel drag is a click: no zoom.
  Mouse(port, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(100, 100));
  Mouse(port, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(110, 110));
  EXPECT_DOUBLE_EQ(view.Map().GetZoom(), before);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], CWorldMapView::kLeftDown);
  EXPECT_EQ(events[1], CWorldMapView::kLeftUp);
  view.Map().ScreenToMap(110, 110, mx, my);
  EXPECT_EQ(cx, mx);
  EXPECT_EQ(cy, my);
  // A real rectangle zooms in, and the scroll bars now span the larger map.
  Mouse(port, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(100, 100));
  Mouse(port, QEvent::MouseMove, Qt::LeftButton, QPoint(300, 200));
  EXPECT_TRUE(view.Dragging());
  EXPECT_EQ(moves, 1);
  view.Map().ScreenToMap(300, 200, mx, my);
  EXPECT_EQ(movedX, mx);
  EXPECT_EQ(movedY, my);
  Mouse(port, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(300, 200));
  EXPECT_FALSE(view.Dragging());
  EXPECT_GT(view.Map().GetZoom(), 2 * before);
  EXPECT_GT(view.horizontalScrollBar()->maximum(), view.horizontalScrollBar()->minimum());
  Mouse(port, QEvent::MouseButtonPress, Qt::RightButton, QPoint(50, 50));
  Mouse(port, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(50, 50));
  Mouse(port, QEvent::MouseButtonDblClick, Qt::RightButton, QPoint(50, 50));
  ASSERT_EQ(events.size(), 7u);
  EXPECT_EQ(events[5], CWorldMapView::kRightUp);
  EXPECT_EQ(events[6], CWorldMapView::kRightDouble);
}
