// The picture window, offscreen: the slant drawn with two clicks, undone, redone and saved as
// JPEG; sync by a click; the cut frame cropped to; the recent files through the profile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <map>
#include <string>

#include "spl/image/bit24.h"
#include "spl/widgets/dib_edit_view.h"
#include "tests/widgets/widget_app.h"

namespace {

constexpr int kW = 64, kH = 40;
constexpr int kEdge = 10;  // the black column of the test picture

// White with one black column at kEdge: a phasing edge to sync to and straighten.
QString WritePicture(const QTemporaryDir& dir) {
  CDibSection dib;
  HBITMAP h = dib.Create(kW, kH, 24, 0xFFFFFF);
  C24Bit px;
  px.Init(h);
  for (int y = 0; y < kH; ++y) px.SetPixel(kEdge, y, 0);
  const QString path = dir.filePath("chart.bmp");
  EXPECT_EQ(dib.SaveFile(path.toStdString().c_str(), h), 1);
  DeleteObject(h);
  return path;
}

// The column of the first black pixel in row y of the window's picture, or -1.
int BlackAt(const CDibEditView& view, int y) {
  const QImage& image = view.Shown();
  for (int x = 0; x < image.width(); ++x)
    if (qGray(image.pixel(x, y)) < 128) return x;
  return -1;
}

struct Window {
  struct AppFirst {
    AppFirst() { App(); }
  } app;  // before any widget
  QTemporaryDir dir;
  std::map<std::string, std::string> profile;
  CDibEditView view;
  QString path;
  Window() {
    path = WritePicture(dir);
    EXPECT_EQ(view.Init(
                  "Lumagraph",
                  [this](const std::string& s, const std::string& k) { return profile[s + "/" + k]; },
                  [this](const std::string& s, const std::string& k, const std::string& v) {
                    profile[s + "/" + k] = v;
                  }),
              1);
    EXPECT_EQ(view.OpenFile(path), 1);
  }
  void Click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    view.CanvasPress(at, button);
    view.CanvasRelease(at, button);
  }
};

TEST(DibEditView, SlantByTwoClicksThenUndoRedoAndSaveAsJpeg) {
  Window w;
  w.view.SetZoom(2.0f);
  ASSERT_EQ(BlackAt(w.view, 0), kEdge);
  w.view.SetMouseMode(CDibEditView::kModeSlant);
  // Along the edge as if it leaned: 8 pixels right over the picture's height (zoom 2).
  w.Click(QPoint(2 * kEdge, 0));
  EXPECT_EQ(w.view.Mode(), CDibEditView::kModeSlant) << "waiting for the second point";
  w.Click(QPoint(2 * (kEdge + 8), 2 * kH));
  EXPECT_EQ(w.view.Mode(), CDibEditView::kModeNone);
  ASSERT_TRUE(w.view.Engine().CanUndo());
  const int top = BlackAt(w.view, 0), bottom = BlackAt(w.view, kH - 1);
  EXPECT_NE(top, bottom) << "the straight edge now leans the other way";

  ASSERT_EQ(w.view.Run([](CDibEdit& e) { return e.Undo(); }), 1);
  EXPECT_EQ(BlackAt(w.view, 0), kEdge);
  EXPECT_EQ(BlackAt(w.view, kH - 1), kEdge);
  ASSERT_EQ(w.view.Run([](CDibEdit& e) { return e.Redo(); }), 1);
  EXPECT_EQ(BlackAt(w.view, 0), top);
  EXPECT_EQ(BlackAt(w.view, kH - 1), bottom);

  const QString jpeg = w.dir.filePath("chart.jpg");
  ASSERT_EQ(w.view.SaveFile(jpeg), 1);
  QFile file(jpeg);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.read(2), QByteArray("\xFF\xD8", 2));
}

TEST(DibEditView, SyncClickMakesTheEdgeTheLeftBorderAndRightButtonCancels) {
  Window w;
  w.view.SetMouseMode(CDibEditView::kModeSync);
  w.Click(QPoint(kEdge, 5), Qt::RightButton);
  EXPECT_EQ(w.view.Mode(), CDibEditView::kModeNone);
  EXPECT_FALSE(w.view.Engine().CanUndo());
  w.view.SetMouseMode(CDibEditView::kModeSync);
  w.Click(QPoint(kEdge, 5));
  EXPECT_EQ(BlackAt(w.view, 0), 0);
  EXPECT_EQ(w.view.Shown().width(), kW);
}

TEST(DibEditView, CutFrameStartsInsideAndCropsToWhatItFrames) {
  Window w;
  w.view.resize(400, 300);
  w.view.show();
  w.view.SetMouseMode(CDibEditView::kModeCut);
  const QRect first = w.view.CutFrame();
  ASSERT_FALSE(first.isEmpty());
  EXPECT_TRUE(QRect(0, 0, kW, kH).contains(first));
  EXPECT_LT(first.width(), kW);
  // A frame dragged out with the mouse, then moved by dragging inside it.
  w.view.CanvasPress(QPoint(4, 4), Qt::LeftButton);
  w.view.CanvasMove(QPoint(24, 14));
  w.view.CanvasRelease(QPoint(24, 14), Qt::LeftButton);
  EXPECT_EQ(w.view.CutFrame(), QRect(QPoint(4, 4), QPoint(24, 14)));
  w.view.CanvasPress(QPoint(10, 10), Qt::LeftButton);
  w.view.CanvasMove(QPoint(12, 11));
  w.view.CanvasRelease(QPoint(12, 11), Qt::LeftButton);
  EXPECT_EQ(w.view.CutFrame(), QRect(QPoint(6, 5), QPoint(26, 15)));
  ASSERT_EQ(w.view.CropToFrame(), 1);
  EXPECT_EQ(w.view.Shown().size(), QSize(21, 11));
  EXPECT_EQ(BlackAt(w.view, 0), kEdge - 6);
}

TEST(DibEditView, RecentFilesGoToTheProfileAndABadFileLeavesNoPicture) {
  Window w;
  EXPECT_EQ(w.profile["Lumagraph_State/File1"], w.path.toStdString());
  const QString broken = w.dir.filePath("broken.bmp");
  QFile file(broken);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("BM not a picture");
  file.close();
  QTimer::singleShot(0, [] {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->inherits("QMessageBox")) top->close();
  });
  EXPECT_EQ(w.view.OpenFile(broken), 0);
  EXPECT_TRUE(w.view.Shown().isNull());
  w.view.SetMouseMode(CDibEditView::kModeSlant);
  EXPECT_EQ(w.view.Mode(), CDibEditView::kModeNone) << "no picture, no mouse mode";
}

}  // namespace
