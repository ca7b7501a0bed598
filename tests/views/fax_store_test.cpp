// The FAX view's store and live preview: preview rows as averages of the lines since the
// previous one, scrolling of both in either direction, the automatic synchronisation, and
// the FAX capture's long charts and preview files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/views/fax_store.h"
#include "app/views/picture_capture.h"
#include "spl/decoders/fax_decoder.h"
#include "spl/image/dib_section.h"

namespace fs = std::filesystem;

namespace {

constexpr int kChartWidth = 1810;  // IOC 576

// Line n: every pixel n % 251 (so that consecutive lines differ and averages are exact).
std::vector<uint8_t> Line(int n, int width = kChartWidth) {
  return std::vector<uint8_t>(size_t(width), uint8_t(n % 251));
}

TEST(FaxStore, PreviewRowsAverageTheThreeOrFourLinesSinceThePreviousRow) {
  CFaxStore store;
  ASSERT_EQ(store.Init(kChartWidth, 0), 1);
  int rows = 0, from3 = 0, from4 = 0;
  for (int n = 0; n < 378; ++n) {
    auto line = Line(n);
    if (!store.AddLine(line.data(), kChartWidth, 0)) continue;
    const int k = store.LastPreviewLines();
    ASSERT_TRUE(k == 3 || k == 4) << "row " << rows << " from " << k << " lines";
    (k == 3 ? from3 : from4)++;
    // The average of lines n-k+1 ... n, in every column.
    int sum = 0;
    for (int i = n - k + 1; i <= n; ++i) sum += i % 251;
    const uint8_t* p = store.PreviewRowData(store.PreviewRow() - 1);
    EXPECT_EQ(p[0], sum / k);
    EXPECT_EQ(p[kFaxPreviewWidth - 1], sum / k);
    ++rows;
  }
  // 1810 / 480 = 3.77 lines a row: 100 rows from 378 lines, mostly of 4 lines.
  EXPECT_EQ(rows, 100);
  EXPECT_GT(from4, from3);
  EXPECT_EQ(store.FilledRows(), 378);
}

TEST(FaxStore, StoreAndPreviewScrollAndKeepTheNewestRowsInEitherDirection) {
  for (int mirrored = 0; mirrored <= 1; ++mirrored) {
    SCOPED_TRACE(mirrored ? "bottom up" : "top down");
    const int width = kFaxPreviewWidth;  // one line, one preview row
    CFaxStore store;
    ASSERT_EQ(store.Init(width, mirrored), 1);
    const int lines = kFaxStoreRows + 100;
    for (int n = 0; n < lines; ++n) {
      auto line = Line(n, width);
      store.AddLine(line.data(), width, 0);
    }
    // The newest line sits just behind the current row; a scroll leaves 2304 rows and
    // the store scrolls again at 2432.
    const int step = mirrored ? 1 : -1;
    EXPECT_EQ(store.StoreRow(store.CurrentRow() + step)[0], (lines - 1) % 251);
    EXPECT_GE(store.FilledRows(), kFaxStoreRows - 2 * kFaxStoreScroll);
    EXPECT_LT(store.FilledRows(), kFaxStoreRows - kFaxStoreScroll);
    const int oldest = mirrored ? kFaxStoreRows - 1 : 0;
    EXPECT_EQ(store.StoreRow(oldest)[0], (lines - store.FilledRows()) % 251);
    const int beyond = store.CurrentRow();
    EXPECT_EQ(store.StoreRow(beyond)[width - 1], 0) << "freed rows are white";
    // The preview scrolled by 8 rows at a time and holds the newest rows just the same.
    EXPECT_EQ(store.PreviewRowData(store.PreviewRow() + step)[0], (lines - 1) % 251);
    EXPECT_GE(store.PreviewRow(), 0);
    EXPECT_LT(store.PreviewRow(), kFaxPreviewRows);
  }
}

TEST(FaxStore, LinesOfAnotherWidthAreCutOrPaddedWhite) {
  CFaxStore store;
  ASSERT_EQ(store.Init(100, 0), 1);
  std::vector<uint8_t> wide(300, 200), narrow(40, 90);
  store.AddLine(wide.data(), 300, 0);
  store.AddLine(narrow.data(), 40, 0);
  EXPECT_EQ(store.StoreRow(0)[99], 200);
  EXPECT_EQ(store.StoreRow(1)[39], 90);
  EXPECT_EQ(store.StoreRow(1)[40], 0);
  EXPECT_EQ(store.Init(0, 0), 0);
}

TEST(FaxStore, ArmedSynchronisationHandsOutOneSyncPositionAfterThreePreviewRows) {
  CFaxStore store;
  ASSERT_EQ(store.Init(kFaxPreviewWidth, 0), 1);
  auto line = Line(7, kFaxPreviewWidth);
  int delta = 0;
  store.AddLine(line.data(), kFaxPreviewWidth, 11);
  EXPECT_EQ(store.TakeSyncPos(delta), 0) << "not armed";
  store.ArmSync();
  store.AddLine(line.data(), kFaxPreviewWidth, 21);
  store.AddLine(line.data(), kFaxPreviewWidth, 31);
  EXPECT_EQ(store.TakeSyncPos(delta), 0);
  store.AddLine(line.data(), kFaxPreviewWidth, 41);  // the third preview row
  ASSERT_EQ(store.TakeSyncPos(delta), 1);
  EXPECT_EQ(delta, kFaxPreviewWidth - 41);
  store.AddLine(line.data(), kFaxPreviewWidth, 51);
  EXPECT_EQ(store.TakeSyncPos(delta), 0) << "once";
}

class FaxCaptureFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kestrel-faxcap-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ASSERT_EQ(capture_.Init(dir_), 1);
    capture_.SetClock([] { return time_t(1700000000); });
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Receive(int rows) {
    capture_.State(kFaxWaitStop);
    for (int n = 0; n < rows; ++n) {
      auto line = Line(n);
      capture_.Line(line.data(), kChartWidth);
    }
    capture_.State(kFaxStop450);
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string dir_;
  CFaxPictureCapture capture_;
};

TEST_F(FaxCaptureFiles, AChartLongerThanTheViewsStoreIsSavedWholeWithItsPreviewBeside) {
  const int rows = kFaxStoreRows + 700;
  Receive(rows);
  auto files = Files();
  ASSERT_EQ(files.size(), 2u) << (files.empty() ? "" : files[0]);
  // Sorted, the preview (.BMM) comes first.
  const std::string picture = dir_ + "/" + files[1];
  ASSERT_EQ(FaxPreviewName(picture), dir_ + "/" + files[0]);
  CDibSection dib;
  HBITMAP h = dib.LoadFile(picture.c_str());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(dib.Width(h), kChartWidth);
  EXPECT_EQ(std::abs(dib.Height(h)), rows - kFaxToneRows);
  DeleteObject(h);
  // The preview keeps the aspect: 1810 x 3256 fits 160 x 256 as 142 x 256.
  h = dib.LoadFile((dir_ + "/" + files[0]).c_str());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(dib.Bits(h), 8);
  EXPECT_EQ(std::abs(dib.Height(h)), kFaxPreviewFileHeight);
  EXPECT_EQ(dib.Width(h), 142);
  DeleteObject(h);
}

TEST_F(FaxCaptureFiles, WithoutAutomaticSavingRunningLinesBeginNoPicture) {
  capture_.SetAutosave(0);
  Receive(200);
  EXPECT_TRUE(Files().empty());
  EXPECT_EQ(FaxPreviewName("/x/FAX_1.bmp"), "/x/FAX_1.bmm");
  EXPECT_EQ(FaxPreviewName("/x/SSTV_1.JPG"), "");
}

}  // namespace
