// The picture receive views, offscreen: FAX lines building the preview and the 1:1 store,
// "Save this now" with its preview file, the file lists opening a picture in the editor, and
// the SSTV view listing its folder.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <string>
#include <vector>

#include "app/views/picture_capture.h"
#include "app/views/palette_file.h"
#include "app/views/qt/colour_manipulator.h"
#include "app/views/qt/fax_receive_view.h"
#include "app/views/qt/picture_file_list.h"
#include "app/views/qt/picture_pane.h"
#include "app/views/qt/sstv_receive_view.h"
#include "spl/image/dib_section.h"
#include "spl/widgets/dib_edit_view.h"
#include "tests/common/station_fixture.h"
#include "tests/ui/qt_app.h"

namespace {

constexpr int kWidth = 905;  // IOC 288

struct Station : stationtest::CTestStation {
  Station() { EXPECT_EQ(Init(), 1); }
  QString Folder(int field) const { return QString::fromStdString(core.Settings().GetPath(field)); }
};

// Lines of three bands: black on the left third, gray in the middle, white on the right.
std::vector<uint8_t> BandedLine() {
  std::vector<uint8_t> line(kWidth, 0);
  for (int x = 0; x < kWidth; ++x) line[x] = x < kWidth / 3 ? 255 : x < 2 * kWidth / 3 ? 128 : 0;
  return line;
}

TEST(FaxReceiveView, LinesBuildPreviewAndStoreAndSaveThisNowWritesPictureAndPreview) {
  Station station;
  CFaxReceiveView view(station.core);
  const auto line = BandedLine();
  for (int n = 0; n < 300; ++n) view.FaxLine(line.data(), kWidth, 0);
  EXPECT_EQ(view.Store().Width(), kWidth);
  EXPECT_EQ(view.Store().FilledRows(), 300);
  // Shown in the decoder's gray: 255 black, 0 white.
  const QImage& preview = view.Preview()->Image();
  ASSERT_EQ(preview.size(), QSize(kFaxPreviewWidth, kFaxPreviewRows));
  EXPECT_EQ(preview.pixel(10, 0), qRgb(0, 0, 0));
  EXPECT_EQ(preview.pixel(kFaxPreviewWidth - 10, 0), qRgb(255, 255, 255));
  EXPECT_EQ(preview.pixel(10, kFaxPreviewRows - 1), qRgb(255, 255, 255)) << "not reached yet";

  CDibEditView editor;
  ASSERT_EQ(editor.Init("Lumagraph"), 1);
  view.SetOpener([&](const QString& path) { editor.OpenFile(path); });
  ASSERT_EQ(view.SaveNow(), 1);
  QListWidget* list = view.Files()->List();
  ASSERT_EQ(list->count(), 1) << "the list shows the picture, not its preview";
  EXPECT_TRUE(list->item(0)->text().endsWith(".BMP")) << list->item(0)->text().toStdString();
  const QString picture = list->item(0)->data(Qt::UserRole).toString();
  CDibSection dib;
  HBITMAP h = dib.LoadFile(picture.toStdString().c_str());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(dib.Width(h), kWidth);
  EXPECT_EQ(std::abs(dib.Height(h)), 300);
  DeleteObject(h);
  EXPECT_TRUE(QFile::exists(QString::fromStdString(FaxPreviewName(picture.toStdString()))));

  // Opened from the list, the picture is in the editor, gray as received.
  list->setCurrentRow(0);
  emit list->itemActivated(list->item(0));
  ASSERT_EQ(editor.Engine().FileName(), picture.toStdString());
  EXPECT_EQ(editor.Shown().size(), QSize(kWidth, 300));
  EXPECT_EQ(editor.Shown().pixel(10, 10), qRgb(0, 0, 0));
}

TEST(FaxReceiveView, AnotherModuleStartsAFreshStoreAndMirrorWritesFromTheBottom) {
  Station station;
  CFaxReceiveView view(station.core);
  const auto line = BandedLine();
  view.FaxLine(line.data(), kWidth, 0);
  std::vector<uint8_t> wide(1810, 255);
  view.FaxLine(wide.data(), 1810, 0);
  EXPECT_EQ(view.Store().Width(), 1810);
  EXPECT_EQ(view.Store().FilledRows(), 1);

  view.findChild<QCheckBox*>("faxMirror")->setChecked(true);
  EXPECT_EQ(station.core.Settings().GetInt(kCfgFaxVMirror), 1);
  view.FaxLine(wide.data(), 1810, 0);
  EXPECT_EQ(view.Store().StoreRow(kFaxStoreRows - 1)[0], 255);
  EXPECT_EQ(view.Live()->Image().pixel(0, kFaxStoreRows - 1), qRgb(0, 0, 0));
  EXPECT_EQ(view.Live()->Image().pixel(0, 0), qRgb(255, 255, 255));
}

TEST(ColourManipulator, PreviewTakesTheChosenPaletteAndApplyRewritesTheFile) {
  Station station;
  const std::vector<uint8_t> rows = BandedLine();
  std::string path, error;
  ASSERT_EQ(SaveFaxNow(station.Folder(kCfgFaxFolder).toStdString(), rows.data(), kWidth, 1,
                       time_t(1700000000), path, error),
            1)
      << error;
  int applied = 0;
  CColourManipulator dialog(QString::fromStdString(path), [&] { ++applied; });
  ASSERT_FALSE(dialog.Preview().isNull());
  Palette blue = GrayPalette();
  for (int i = 0; i < kPaletteEntries; ++i) blue.entries[i] = RGBQUAD{uint8_t(i), 0, 0, 0};
  dialog.SetPalette(blue);
  // The white right third of the line shows blue, the black left third stays black.
  EXPECT_EQ(dialog.Preview().pixel(dialog.Preview().width() - 1, 0), qRgb(0, 0, 255));
  EXPECT_EQ(dialog.Preview().pixel(0, 0), qRgb(0, 0, 0));
  ASSERT_EQ(dialog.Apply(), 1);
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(QImage(QString::fromStdString(path)).pixel(kWidth - 1, 0), qRgb(0, 0, 255));
}

TEST(SstvReceiveView, ListsTheSstvFolderAndIgnoresLinesWithoutAPicture) {
  Station station;
  const QString folder = station.Folder(kCfgSstvFolder);
  ASSERT_TRUE(QDir().mkpath(folder));
  CDibSection dib;
  HBITMAP picture = dib.Create(320, 256, 24, 0x0000FF);
  std::string path, error;
  ASSERT_EQ(SaveSstvPicture(folder.toStdString(), picture, time_t(1700000000), path, error), 1)
      << error;
  DeleteObject(picture);
  CSstvReceiveView view(station.core);
  view.SstvLine(0);  // no decoder set up: nothing to show, nothing breaks
  EXPECT_TRUE(view.Picture()->Image().isNull());
  ASSERT_EQ(view.Files()->List()->count(), 1);
  EXPECT_EQ(view.Files()->List()->item(0)->data(Qt::UserRole).toString(),
            QString::fromStdString(path));
}

}  // namespace
