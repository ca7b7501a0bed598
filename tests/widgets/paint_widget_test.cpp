// The Qt paint target: what the widget paints (grabbed to a PNG and read back) is, pixel for
// pixel, what the off-screen target shows for the same engine state; bottom-up and top-down
// pictures, the last frame kept when an engine lets its picture go, resizes reported.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "spl/dsp/spectrum_analyser.h"
#include "spl/dsp/spectrogram.h"
#include "spl/widgets/paint_widget.h"
#include "tests/widgets/widget_app.h"

namespace {

constexpr int kRate = 11025;
constexpr int kBlock = 1024;

AudioBlock* Tone(double hz, float amp) {
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, kBlock);
  for (int i = 0; i < kBlock; ++i) b->data[i] = amp * float(std::sin(2 * M_PI * hz * i / kRate));
  MeasureAudioBlock(b);
  return b;
}

// A temporary folder removed at the end of the test.
struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    char tmpl[] = "/tmp/kestrel_widgets_XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
};

// The widget as painted, through a PNG file and back.
QImage GrabThroughPng(CPaintWidget& w, const std::filesystem::path& file) {
  EXPECT_TRUE(w.grab().save(QString::fromStdString(file.string()), "PNG"));
  QImage back(QString::fromStdString(file.string()));
  return back.convertToFormat(QImage::Format_RGB32);
}

COLORREF At(const QImage& img, int x, int y) {
  QRgb p = img.pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

// Counts the pixels that differ from the off-screen target's picture.
int Differences(const QImage& img, const CMemoryPaintTarget& mem) {
  HBITMAP pic = mem.Picture();
  EXPECT_EQ(img.width(), pic->width);
  EXPECT_EQ(img.height(), pic->height);
  int bad = 0;
  for (int y = 0; y < pic->height; ++y)
    for (int x = 0; x < pic->width; ++x) bad += At(img, x, y) != GetPixel24(pic, x, y);
  return bad;
}

TEST(PaintWidget, AnalyserToneColumnAsInTheOffScreenPicture) {
  App();
  TempFolder dir;
  CPaintWidget w;
  w.resize(204, 104);
  w.show();
  CMemoryPaintTarget mem;
  ASSERT_TRUE(mem.Init(204, 104));
  CSpectrana onScreen, offScreen;
  EXPECT_EQ(w.ClientWidth(), 204);
  EXPECT_EQ(w.ClientHeight(), 104);
  ASSERT_EQ(onScreen.Init(&w, kRate, kBlock), 1);
  ASSERT_EQ(offScreen.Init(&mem, kRate, kBlock), 1);
  for (CSpectrana* a : {&onScreen, &offScreen}) {
    ASSERT_EQ(a->SetArea(500, 2500), 1);
    ASSERT_EQ(a->SetMark(1200, 2000), 1);
  }
  AudioBlock* tone = Tone(140 * double(kRate) / kBlock, 8000.0f);  // bin 140, 1507 Hz
  onScreen.FFTDisplay(tone);
  offScreen.FFTDisplay(tone);
  FreeAudioBlock(tone);
  EXPECT_EQ(w.Wraps(), 1);
  QImage img = GrabThroughPng(w, dir.path / "spectrum.png");
  // The tone's column reaches the top row in the outline colour, as off screen.
  int top = -1;
  for (int c = 1; c <= 200; ++c)
    if (onScreen.CurveY(c) == 0) top = c;
  ASSERT_GE(top, 1);
  EXPECT_EQ(onScreen.Bin(top - 1), 140);
  EXPECT_EQ(At(img, 2 + top - 1, 2), RGB(255, 255, 128));
  EXPECT_EQ(GetPixel24(mem.Picture(), 2 + top - 1, 2), RGB(255, 255, 128));
  // Near the bottom the column is filled (not upside down: the top row of the tone column
  // is outline, the row below the curve elsewhere is background).
  EXPECT_NE(At(img, 2 + top - 1 + 30, 2), RGB(255, 255, 128));
  EXPECT_EQ(Differences(img, mem), 0);
  // The sunken edge.
  EXPECT_EQ(At(img, 0, 0), kEdgeShadow);
  EXPECT_EQ(At(img, 203, 103), kEdgeLight);
}

TEST(PaintWidget, LastFrameStaysWhenTheEngineLetsItsPictureGoAndResizesReachTheOwner) {
  App();
  TempFolder dir;
  CPaintWidget w;
  w.resize(124, 84);
  w.show();
  CTimeSpec spec;
  int calls = 0, lastW = 0, lastH = 0;
  w.SetResizeHandler([&](int width, int height) {
    ++calls;
    lastW = width;
    lastH = height;
  });
  ASSERT_EQ(spec.Init(&w, kRate, kBlock), 1);
  for (int k = 0; k < 30; ++k) {
    AudioBlock* tone = Tone(500.0 + 100.0 * k, 8000.0f);  // a rising line
    spec.Draw(tone);
    FreeAudioBlock(tone);
  }
  QImage before = GrabThroughPng(w, dir.path / "before.png");
  ASSERT_EQ(w.Wraps(), 1);
  // The rising line: later columns have their bright row higher up.
  auto brightRow = [&](int x) {
    int best = -1, row = -1;
    for (int y = 2; y < 82; ++y)
      for (int k = 255; k > best; --k)
        if (At(before, x, y) == spec.TableColor(k)) {
          best = k;
          row = y;
          break;
        }
    return best > 200 ? row : -1;
  };
  int early = brightRow(2 + 120 - 25), late = brightRow(2 + 119);
  ASSERT_GE(early, 0);
  ASSERT_GE(late, 0);
  EXPECT_LT(late, early);
  // A new area makes a new picture: the widget keeps showing a copy of the old one.
  ASSERT_EQ(spec.SetArea(1000, 2000), 1);
  EXPECT_EQ(w.Wraps(), 0);
  QImage after = GrabThroughPng(w, dir.path / "after.png");
  EXPECT_EQ(after, before);
  // Resizing reports the new client size; the owner sets its engine up for it.
  w.SetResizeHandler([&](int width, int height) {
    ++calls;
    lastW = width;
    lastH = height;
    spec.Init(&w, kRate, kBlock);
  });
  w.resize(164, 64);
  QApplication::processEvents();
  EXPECT_GE(calls, 1);
  EXPECT_EQ(lastW, 164);
  EXPECT_EQ(lastH, 64);
  EXPECT_EQ(spec.Rows(), 60);
  spec.Draw(nullptr);
  EXPECT_EQ(w.Wraps(), 1);
  QImage resized = GrabThroughPng(w, dir.path / "resized.png");
  EXPECT_EQ(resized.width(), 164);
  EXPECT_EQ(At(resized, 2, 2), spec.TableColor(0));
}

TEST(PaintWidget, TopDownAndBottomUpPicturesShowTheSameWayUp) {
  App();
  TempFolder dir;
  CPaintWidget w;
  w.resize(20, 12);
  w.show();
  CMemoryPaintTarget mem;
  ASSERT_TRUE(mem.Init(20, 12));
  for (int height : {8, -8}) {
    HBITMAP pic = CreateBitmapObject(16, height, 24);
    ASSERT_NE(pic, nullptr);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 16; ++x) PutPixel24(pic, x, y, RGB(x * 15, y * 30, 77));
    w.Show(pic, 2, 2);
    w.SunkenEdge();
    mem.Show(pic, 2, 2);
    mem.SunkenEdge();
    QImage img = GrabThroughPng(w, dir.path / "pic.png");
    EXPECT_EQ(At(img, 2, 2), RGB(0, 0, 77)) << height;  // top left of the picture
    EXPECT_EQ(At(img, 17, 9), RGB(225, 210, 77)) << height;
    EXPECT_EQ(Differences(img, mem), 0) << height;
    w.PictureGone(pic);
    DeleteObject(pic);
  }
  // Pictures the widget cannot wrap are ignored.
  HBITMAP eight = CreateBitmapObject(4, 4, 8);
  w.Show(eight, 0, 0);
  EXPECT_EQ(w.Wraps(), 0);
  DeleteObject(eight);
}

}  // namespace
