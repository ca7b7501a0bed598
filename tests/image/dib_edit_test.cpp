// The picture editor's engine: pixel mappings of the moves, FAX corrections (sync, slant,
// module conversion), HSV form, brightness and contrast, filters, thinning, the undo and
// redo lists, recent files and their profile keys, files, and refusals that change nothing.
// Expected pixels are worked out by hand from the operations' definitions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "spl/image/bit24.h"
#include "spl/image/dib_edit.h"
#include "spl/image/hsv_picture.h"
#include "tests/common/signal_test_util.h"
#include "tests/image/picture_file_util.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

// A 24-bit picture whose pixel (x, y) is coloured by a function of x and y.
template <class Color>
HBITMAP Make(int w, int h, Color color) {
  CDibSection dib;
  HBITMAP p = dib.Create(w, h, 24);
  C24Bit px;
  px.Init(p);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px.SetPixel(x, y, color(x, y));
  return p;
}
// Pixel (x, y) labelled "xy" through its red and green.
HBITMAP Labelled(int w, int h) {
  return Make(w, h, [](int x, int y) { return RGB(x, y, 200); });
}
// The labels of the picture, row by row from the top.
std::vector<std::string> Labels(HBITMAP p) {
  CDibSection dib;
  std::vector<std::string> rows;
  for (int y = 0; y < std::abs(p->height); ++y) {
    std::string row;
    for (int x = 0; x < p->width; ++x) {
      const COLORREF c = dib.PixelColor(p, x, y);
      row += (row.empty() ? "" : " ") + std::to_string(GetRValue(c)) + std::to_string(GetGValue(c));
    }
    rows.push_back(row);
  }
  return rows;
}
COLORREF At(const CDibEdit& e, int x, int y) { return CDibSection().PixelColor(e.Picture(), x, y); }
// The red values of one row.
std::vector<int> Reds(const CDibEdit& e, int y) {
  std::vector<int> v;
  for (int x = 0; x < e.PictureWidth(); ++x) v.push_back(GetRValue(At(e, x, y)));
  return v;
}
// An engine holding p (taken over).
void Hold(CDibEdit& e, HBITMAP p) { ASSERT_EQ(e.Adopt(p), 1); }
using Rows = std::vector<std::string>;

TEST(DibEdit, RotationsAndMirrorsMapPixels) {
  struct {
    int (CDibEdit::*op)();
    Rows want;
  } cases[] = {
      {&CDibEdit::R90, {"20 21", "10 11", "00 01"}},
      {&CDibEdit::R270, {"01 00", "11 10", "21 20"}},
      {&CDibEdit::R180, {"21 11 01", "20 10 00"}},
      {&CDibEdit::HMirror, {"20 10 00", "21 11 01"}},
      {&CDibEdit::VMirror, {"01 11 21", "00 10 20"}},
  };
  for (int height : {2, -2}) {  // both row orders
    for (const auto& c : cases) {
      CDibEdit e;
      HBITMAP p = Labelled(3, 2);
      if (height < 0) {
        HBITMAP td = CDibSection().Create(3, -2, 24);
        CDibSection().Blit(td, 0, 0, 3, 2, p, 0, 0);
        DeleteObject(p);
        p = td;
      }
      Hold(e, p);
      ASSERT_EQ((e.*c.op)(), 1);
      EXPECT_EQ(Labels(e.Picture()), c.want);
      EXPECT_EQ(e.Picture()->height < 0, height < 0);
    }
  }
  CDibEdit e;
  Hold(e, Labelled(3, 2));
  ASSERT_EQ(e.R90() && e.R270(), 1);
  EXPECT_EQ(Labels(e.Picture()), (Rows{"00 10 20", "01 11 21"}));
  ASSERT_EQ(e.Invert(), 1);
  EXPECT_EQ(At(e, 2, 1), RGB(253, 254, 55));
}

TEST(DibEdit, SyncCropResize) {
  CDibEdit e;
  Hold(e, Labelled(4, 1));
  for (auto [x, want] : std::vector<std::pair<int, std::string>>{
           {1, "10 20 30 00"}, {-1, "00 10 20 30"}, {-6, "20 30 00 10"}, {9, "30 00 10 20"}}) {
    ASSERT_EQ(e.DoSync(x), 1);
    EXPECT_EQ(Labels(e.Picture())[0], want) << x;
  }
  // Sync 0 changes nothing but is a step of its own.
  const int steps = e.UndoCount();
  ASSERT_EQ(e.DoSync(0), 1);
  EXPECT_EQ(Labels(e.Picture())[0], "30 00 10 20");
  EXPECT_EQ(e.UndoCount(), steps + 1);

  Hold(e, Labelled(4, 3));
  ASSERT_EQ(e.Crop(1, 1, 2, 5), 1);  // clipped at the bottom
  EXPECT_EQ(Labels(e.Picture()), (Rows{"11 21", "12 22"}));
  EXPECT_EQ(e.Crop(5, 0, 2, 2), 0);
  EXPECT_EQ(e.Crop(0, 0, 0, 2), 0);

  const int reds[2][4] = {{0, 100, 200, 40}, {20, 60, 0, 80}};
  Hold(e, Make(4, 2, [&](int x, int y) { return RGB(reds[y][x], 0, 0); }));
  for (auto [w, h] : std::vector<std::pair<int, int>>{{0, 1}, {2, 0}, {-2, 1}})
    EXPECT_EQ(e.Resize(w, h), 0);
  EXPECT_EQ(e.UndoCount(), 0);
  ASSERT_EQ(e.Resize(2, 1), 1);
  EXPECT_EQ(Reds(e, 0), (std::vector<int>{45, 80}));  // 2 x 2 box averages
}

// A white picture w x h with a black pixel at column 3 of every row, slanted with factor 1
// (no super-sampling): the black column of each row.
std::vector<int> SlantedColumns(int w, int h, double s) {
  CDibEdit e;
  e.Adopt(Make(w, h, [](int x, int) { return x == 3 ? RGB(0, 0, 0) : kWhite; }));
  EXPECT_EQ(e.DoSlant(s, 1), 1);
  std::vector<int> cols;
  for (int y = 0; y < h; ++y) {
    int col = -1;
    for (int x = 0; x < w; ++x)
      if (At(e, x, y) == 0) col = x;
    cols.push_back(col);
  }
  return cols;
}

TEST(DibEdit, SlantShiftsLowerRowsAndWraps) {
  // Row y moves by trunc(h * s / 2) - y * s: s > 0 moves lower rows left, s < 0 right.
  EXPECT_EQ(SlantedColumns(8, 4, 1), (std::vector<int>{5, 4, 3, 2}));
  EXPECT_EQ(SlantedColumns(8, 4, -1), (std::vector<int>{1, 2, 3, 4}));
  // Five widths and one: shifts 82, 41, 0, -41 wrap to 2, 1, 0, 7.
  EXPECT_EQ(SlantedColumns(8, 4, 41), (std::vector<int>{5, 4, 3, 2}));
  EXPECT_EQ(SlantedColumns(8, 4, -1e6), (std::vector<int>{3, 3, 3, 3}));

  // Super-sampled twice: 2 x 2 boxes of the shifted large picture, black share 3/4 or 1/4.
  CDibEdit e;
  Hold(e, Make(8, 4, [](int x, int) { return x == 3 ? RGB(0, 0, 0) : kWhite; }));
  std::vector<int> done;
  e.SetProgress([&](int d, int total) {
    done.push_back(d);
    EXPECT_EQ(total, 8 + 4);
  });
  ASSERT_EQ(e.DoSlant(1, e.GetSlantFactor()), 1);
  EXPECT_EQ(Reds(e, 0), (std::vector<int>{255, 255, 255, 191, 63, 255, 255, 255}));
  EXPECT_EQ(Reds(e, 1), (std::vector<int>{255, 255, 191, 63, 255, 255, 255, 255}));
  ASSERT_FALSE(done.empty());
  EXPECT_EQ(done.back(), 12);
  EXPECT_EQ(e.DoSlant(0, 2), 0);
  EXPECT_EQ(e.SlantBetween(0, 5, 9, 5), 0);
  EXPECT_EQ(e.UndoCount(), 1);
}

TEST(DibEdit, ModulConversionAveragesPairs) {
  // 1810 pixels (module 576) to module 288 at the same speed: 905 pixels, each the mean of
  // two neighbours, as many rows.
  auto in = [](int x, int y) { return RGB(x % 256, (x * 7 + y) % 256, y * 40); };
  CDibEdit e;
  Hold(e, Make(1810, 3, in));
  ASSERT_EQ(e.ModulConvert(576, 120, 288, 120), 1);
  ASSERT_EQ(e.PictureWidth(), 905);
  ASSERT_EQ(e.PictureHeight(), 3);
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < 905; ++i) {
      const COLORREF a = in(2 * i, y), b = in(2 * i + 1, y);
      ASSERT_EQ(At(e, i, y),
                RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2,
                    (GetBValue(a) + GetBValue(b)) / 2))
          << i << "," << y;
    }
  // Refused speeds and modules change nothing.
  for (auto v : std::vector<std::vector<double>>{
           {576, 0, 288, 120}, {576, 120, -288, 120}, {0, 120, 288, 120}})
    EXPECT_EQ(e.ModulConvert(v[0], v[1], v[2], v[3]), 0);
  EXPECT_EQ(e.PictureWidth(), 905);
  EXPECT_EQ(e.UndoCount(), 1);
}

TEST(DibEdit, HsvPixels) {
  struct {
    COLORREF rgb;
    int hue, sat, val;
  } cases[] = {
      {RGB(255, 0, 0), 0, 255, 255},
      {RGB(255, 255, 0), 10920, 255, 255},
      {RGB(0, 255, 255), 32760, 255, 255},
      {RGB(255, 0, 255), 54600, 255, 255},
      {RGB(255, 128, 0), 5481, 255, 255},
      {RGB(100, 100, 100), 65535, 0, 100},
      {RGB(0, 0, 0), 65535, 0, 0},
      // One per sector, each coming back exactly.
      {RGB(200, 100, 50), 3640, 191, 200},
      {RGB(100, 200, 50), 18200, 191, 200},
      {RGB(50, 200, 100), 25480, 191, 200},
      {RGB(50, 100, 200), 40040, 191, 200},
      {RGB(100, 50, 200), 47320, 191, 200},
      {RGB(200, 50, 100), 61880, 191, 200},
  };
  for (const auto& c : cases) {
    uint16_t h = 0;
    uint8_t s = 0, v = 0;
    Chsv::FromRgb(c.rgb, h, s, v);
    EXPECT_EQ(h, c.hue) << std::hex << c.rgb;
    EXPECT_EQ(s, c.sat) << std::hex << c.rgb;
    EXPECT_EQ(v, c.val) << std::hex << c.rgb;
    EXPECT_EQ(Chsv::ToRgb(h, s, v), c.rgb) << std::hex << c.rgb;
  }
}

TEST(DibEdit, BrightnessAndContrastChangeValues) {
  auto grays = [](std::vector<int> v) {
    return Make(int(v.size()), 1,
                [v](int x, int) { return RGB(v[size_t(x)], v[size_t(x)], v[size_t(x)]); });
  };
  CDibEdit e;
  Hold(e, grays({100, 250, 0}));
  ASSERT_EQ(e.Bright(2), 1);
  EXPECT_EQ(Reds(e, 0), (std::vector<int>{110, 255, 0}));
  Hold(e, Make(1, 1, [](int, int) { return RGB(200, 100, 0); }));
  ASSERT_EQ(e.Bright(2), 1);
  EXPECT_EQ(At(e, 0, 0), RGB(220, 110, 0));  // hue and saturation kept
  ASSERT_EQ(e.Bright(-30), 1);               // below black: black
  EXPECT_EQ(At(e, 0, 0), RGB(0, 0, 0));

  Hold(e, grays({100, 200, 27, 127, 129}));
  ASSERT_EQ(e.Contrast(5), 1);
  EXPECT_EQ(Reds(e, 0), (std::vector<int>{86, 236, 0, 127, 129}));  // +-1.5 truncated toward zero
  Hold(e, grays({100, 200, 127, 129}));
  ASSERT_EQ(e.Contrast(3), 1);
  EXPECT_EQ(Reds(e, 0), (std::vector<int>{92, 221, 127, 129}));
  ASSERT_EQ(e.Undo(), 1);
  ASSERT_EQ(e.Contrast(-10), 1);
  EXPECT_EQ(Reds(e, 0), (std::vector<int>{114, 164, 128, 128}));
}

TEST(DibEdit, FiltersByLevel) {
  CDibEdit e;
  Hold(e, Make(3, 3, [](int x, int y) { return x == 1 && y == 1 ? RGB(90, 90, 90) : 0; }));
  for (int bad : {0, 6, -1}) {
    EXPECT_EQ(e.KUp(bad), 0);
    EXPECT_EQ(e.KDown(bad), 0);
  }
  EXPECT_EQ(e.UndoCount(), 0);
  // Soften 5 (all ones): every clipped neighbourhood holds the bright pixel once: 90 / 9.
  std::vector<int> progress;
  e.SetProgress([&](int done, int total) { progress.push_back(done * 10 + total); });
  ASSERT_EQ(e.KDown(5), 1);
  EXPECT_EQ(progress, (std::vector<int>{13, 23, 33}));
  for (int y = 0; y < 3; ++y) EXPECT_EQ(Reds(e, y), (std::vector<int>{10, 10, 10}));
  ASSERT_EQ(e.Undo(), 1);
  // Sharpen 1: 70 * 90 / 30 in the middle; the edges go below 0, the corners see nothing.
  ASSERT_EQ(e.KUp(1), 1);
  EXPECT_EQ(Reds(e, 0), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(Reds(e, 1), (std::vector<int>{0, 210, 0}));

  // A flat picture stays flat at every level.
  Hold(e, Make(4, 3, [](int, int) { return RGB(17, 130, 250); }));
  for (int level = 1; level <= CDibEdit::kFilterLevels; ++level) {
    ASSERT_EQ(e.KUp(level), 1);
    ASSERT_EQ(e.KDown(level), 1);
  }
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) ASSERT_EQ(At(e, x, y), RGB(17, 130, 250));
}

// The thinned picture of dark shapes on white: '#' for black, '.' for white.
Rows Thinned(const Rows& shape) {
  CDibEdit e;
  e.Adopt(Make(int(shape[0].size()), int(shape.size()),
               [&](int x, int y) { return shape[size_t(y)][size_t(x)] == '#' ? 0 : kWhite; }));
  EXPECT_EQ(e.Thin(), 1);
  Rows out;
  for (int y = 0; y < e.PictureHeight(); ++y) {
    out.emplace_back();
    for (int x = 0; x < e.PictureWidth(); ++x) out.back() += At(e, x, y) == 0 ? '#' : '.';
  }
  return out;
}

TEST(DibEdit, ThinningLeavesOnePixelLines) {
  // A bar five pixels thick: the borders go one per pass and side, the ends keep the line.
  const std::string empty(20, '.'), bar = "..################..";
  EXPECT_EQ(Thinned({empty, empty, bar, bar, bar, bar, bar, empty, empty}),
            (Rows{empty, empty, empty, empty, "...##############...", empty, empty, empty, empty}));
  // A cross of arms five wide keeps its arms, connected through the middle.
  const std::string blank(15, '.'), arm = ".....#####.....", across = ".#############.",
                                    line = ".......#.......";
  EXPECT_EQ(Thinned({blank, arm, arm, arm, arm, across, across, across, across, across, arm, arm,
                     arm, arm, blank}),
            (Rows{blank, blank, blank, line, line, line, line, "..###########..", line, line, line,
                  line, blank, blank, blank}));

  CDibSection dib;
  HBITMAP c24 = dib.Create(4, 4, 24);
  EXPECT_EQ(dib.Thinning(c24), nullptr);
  DeleteObject(c24);
}

TEST(DibEdit, UndoRedoHistory) {
  CDibEdit e;
  EXPECT_EQ(e.Undo(), 0);
  Hold(e, Labelled(12, 1));
  for (int i = 0; i < 11; ++i) ASSERT_EQ(e.DoSync(1), 1);
  EXPECT_EQ(e.UndoCount(), CDibEdit::kUndoDepth);
  while (e.CanUndo()) ASSERT_EQ(e.Undo(), 1);
  // The eleventh step dropped the original: the oldest kept is after the first sync.
  EXPECT_EQ(Labels(e.Picture())[0].substr(0, 5), "10 20");
  EXPECT_EQ(e.RedoCount(), CDibEdit::kUndoDepth);
  ASSERT_EQ(e.Redo(), 1);
  ASSERT_EQ(e.Redo(), 1);
  EXPECT_EQ(Labels(e.Picture())[0].substr(0, 5), "30 40");
  EXPECT_EQ(e.RedoCount(), CDibEdit::kUndoDepth - 2);
  // A new edit starts a new history.
  ASSERT_EQ(e.HMirror(), 1);
  EXPECT_EQ(e.CanRedo(), 0);
  EXPECT_EQ(e.Redo(), 0);
  ASSERT_EQ(e.Undo(), 1);
  EXPECT_EQ(Labels(e.Picture())[0].substr(0, 5), "30 40");
}

TEST(DibEdit, RefusalsChangeNothing) {
  CDibEdit none;
  EXPECT_EQ(none.R90() + none.R180() + none.R270() + none.HMirror() + none.VMirror() +
                none.Invert() + none.Thin() + none.Bright(1) + none.Contrast(1) + none.KUp(1) +
                none.KDown(1) + none.DoSync(1) + none.DoSlant(1, 2) +
                none.ModulConvert(576, 120, 288, 120) + none.Resize(2, 2) + none.Crop(0, 0, 1, 1) +
                none.SaveWorkFile("x.bmp", 0, 0),
            0);

  // Pictures too large to make: a slant super-sampled beyond the largest side or the largest
  // area, a module wider than the largest side, a resize beyond it.
  CDibEdit e;
  Hold(e, Labelled(100, 100));
  ASSERT_EQ(e.Invert(), 1);
  const HBITMAP before = e.Picture();
  EXPECT_EQ(e.DoSlant(1, 400), 0);
  EXPECT_EQ(e.DoSlant(1, 300), 0);
  EXPECT_EQ(e.ModulConvert(576, 120, 20000, 120), 0);
  EXPECT_EQ(e.Resize(kMaxBitmapSide + 1, 10), 0);
  EXPECT_EQ(e.Picture(), before);
  EXPECT_EQ(e.UndoCount(), 1);
  ASSERT_EQ(e.Undo(), 1);
  EXPECT_EQ(Labels(e.Picture())[1].substr(0, 5), "01 11");
}

TEST(DibEdit, RecentFilesAndProfile) {
  CDibEdit e;
  e.SetRecentFiles({"a.bmp", "B.bmp", "c.jpg", "A.BMP", "", "d.bmp", "e.bmp"});
  EXPECT_EQ(e.RecentFiles(), (std::vector<std::string>{"c.jpg", "A.BMP", "d.bmp", "e.bmp"}));

  std::map<std::string, std::string> profile;
  auto write = [&](const std::string& s, const std::string& k, const std::string& v) {
    profile[s + "/" + k] = v;
  };
  auto read = [&](const std::string& s, const std::string& k) { return profile[s + "/" + k]; };
  EXPECT_EQ(e.SaveState(write), 0);  // no section before Init
  ASSERT_EQ(e.Init("Lumen"), 1);
  EXPECT_EQ(e.Init(""), 0);
  profile["Lumen_State/File3"] = "old.bmp";
  e.SetRecentFiles({"x.bmp", "y.bmp"});
  ASSERT_EQ(e.SaveState(write), 1);
  EXPECT_EQ(profile["Lumen_State/File1"], "x.bmp");
  EXPECT_EQ(profile["Lumen_State/File2"], "y.bmp");
  EXPECT_EQ(profile["Lumen_State/File3"], "");
  profile["Lumen_State/File3"] = "Y.BMP";
  profile["Lumen_State/File4"] = "z.bmp";
  ASSERT_EQ(e.LoadState(read), 1);
  EXPECT_EQ(e.RecentFiles(), (std::vector<std::string>{"x.bmp", "Y.BMP", "z.bmp"}));
}

TEST(DibEdit, WorkFiles) {
  sigtest::TempDir dir;
  CDibSection dib;
  CDibEdit e;
  // An 8-bit file comes in as 24 bits, and becomes the newest recent file.
  HBITMAP p8 = dib.Create(5, 4, 8);
  RGBQUAD pal[2] = {{10, 20, 30, 0}, {200, 100, 50, 0}};
  dib.SetPalette(p8, pal, 2);
  pictest::SetIndex(dib, p8, 2, 1, 1);
  ASSERT_EQ(dib.SaveFile(dir.File("p8.bmp").c_str(), p8), 1);
  e.SetRecentFiles({dir.File("P8.bmp"), "other.bmp"});
  ASSERT_EQ(e.LoadWorkFile(dir.File("p8.bmp")), 1);
  EXPECT_EQ(e.Picture()->bits, 24);
  EXPECT_EQ(At(e, 2, 1), RGB(50, 100, 200));
  EXPECT_EQ(At(e, 0, 0), RGB(30, 20, 10));
  EXPECT_EQ(e.FileName(), dir.File("p8.bmp"));
  EXPECT_EQ(e.RecentFiles(), (std::vector<std::string>{"other.bmp", dir.File("p8.bmp")}));

  ASSERT_EQ(e.SaveWorkFile(dir.File("c.bmp"), 0, 0), 1);
  ASSERT_EQ(e.SaveWorkFile(dir.File("g.bmp"), 1, 0), 1);
  ASSERT_EQ(e.SaveWorkFile(dir.File("r.bmp"), 0, 1), 1);
  ASSERT_EQ(e.SaveWorkFile(dir.File("r.JPG"), 0, 1), 1);  // JPEG keeps its 24 bits
  EXPECT_EQ(pictest::Le16(pictest::ReadAll(dir.File("c.bmp")), 28), 24);
  EXPECT_EQ(pictest::Le16(pictest::ReadAll(dir.File("g.bmp")), 28), 8);
  EXPECT_EQ(pictest::Le16(pictest::ReadAll(dir.File("r.bmp")), 28), 8);
  EXPECT_EQ(pictest::ReadAll(dir.File("r.JPG")).at(0), 0xFF);
  HBITMAP back = dib.LoadFile(dir.File("c.bmp").c_str());
  EXPECT_EQ(pictest::OurRgb(dib, back), pictest::OurRgb(dib, e.Picture()));
  HBITMAP gray = dib.LoadFile(dir.File("g.bmp").c_str());
  const COLORREF g = dib.PixelColor(gray, 2, 1);
  EXPECT_TRUE(GetRValue(g) == GetGValue(g) && GetGValue(g) == GetBValue(g)) << std::hex << g;
  EXPECT_NE(g, dib.PixelColor(gray, 0, 0));
  for (HBITMAP h : {back, gray}) DeleteObject(h);

  // A file that cannot be read leaves no picture and the list as it was.
  ASSERT_EQ(e.Invert(), 1);
  EXPECT_EQ(e.LoadWorkFile(dir.File("none.bmp")), 0);
  EXPECT_EQ(e.Picture(), nullptr);
  EXPECT_EQ(e.UndoCount(), 0);
  EXPECT_EQ(e.RecentFiles().size(), 2u);

  // Pictures from elsewhere: copied, or from the packed form.
  ASSERT_EQ(e.Open(p8), 1);
  EXPECT_EQ(At(e, 2, 1), RGB(50, 100, 200));
  EXPECT_EQ(e.FileName(), "");
  BITMAPINFO* packed = dib.GetDIB(p8);
  ASSERT_EQ(e.OpenPacked(packed), 1);
  EXPECT_EQ(At(e, 2, 1), RGB(50, 100, 200));
  std::free(packed);
  DeleteObject(p8);
}

}  // namespace
