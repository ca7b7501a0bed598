// CScanner: the scan arithmetic, the cells and their times, the report file byte for byte,
// damaged report files, and the waterfall hit tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/core/safe_file.h"
#include "spl/radio/scanner.h"
#include "tests/common/signal_test_util.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  ReadWholeFile(path, bytes);  // left empty when there is no file
  return bytes;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  ASSERT_EQ(WriteFileReplacing(path, bytes.data(), bytes.size()), 1);
}

// The report format written out field by field, independently of the scanner.
struct Report {
  std::vector<uint8_t> bytes;
  void I32(int32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(uint32_t(v) >> (8 * i)));
  }
  void F32(float f) {
    int32_t v;
    memcpy(&v, &f, 4);
    I32(v);
  }
};

TEST(Scanner, RangeArithmetic) {
  CScanner s;
  ASSERT_EQ(s.Init(11025, 1024), 1);
  ASSERT_EQ(s.Scan(100.0f, 200.0f, 10.0f), 1);
  EXPECT_EQ(s.GetXSize(), 11);
  EXPECT_EQ(s.GetYSize(), 1);
  EXPECT_FLOAT_EQ(s.Current(), 100.0f);
  int finished = 99;
  for (int i = 1; i <= 10; ++i) {
    EXPECT_FLOAT_EQ(s.SetValue(i, i, 0, finished), 100.0f + 10.0f * i) << i;
    EXPECT_EQ(finished, -1);
  }
  EXPECT_EQ(s.GetYSize(), 1);
  // The eleventh value completes the line: back to start, line 1 begins.
  EXPECT_FLOAT_EQ(s.SetValue(11, 11, 0, finished), 100.0f);
  EXPECT_EQ(finished, -1);
  EXPECT_EQ(s.GetYSize(), 2);
  // The twelfth, the first of line 1, reports line 0 finished.
  EXPECT_FLOAT_EQ(s.SetValue(12, 12, 0, finished), 110.0f);
  EXPECT_EQ(finished, 0);
  EXPECT_EQ(s.ValueCount(), 12);
  ScanEntry e;
  ASSERT_EQ(s.GetEntry(10, 0, e), 1);
  EXPECT_EQ(e.smeter, 11);
  ASSERT_EQ(s.GetEntry(0, 1, e), 1);
  EXPECT_EQ(e.smeter, 12);
}

TEST(Scanner, StopIsKeptAndAStepBeyondWraps) {
  CScanner s;
  s.Init(11025, 1024);
  // 0.1 kHz steps land on 101.0 exactly after rounding to 1 Hz each time.
  ASSERT_EQ(s.Scan(100.0f, 101.0f, 0.1f), 1);
  EXPECT_EQ(s.GetXSize(), 11);
  int finished;
  float f = 0;
  for (int i = 0; i < 10; ++i) f = s.SetValue(0, 0, 0, finished);
  EXPECT_FLOAT_EQ(f, 101.0f);
  EXPECT_FLOAT_EQ(s.SetValue(0, 0, 0, finished), 100.0f);
  // A stop between two steps: columns round(2.6) + 1 = 4, but 100.3 lies above the stop,
  // so the sweep wraps after three values and the rest of the row stays empty.
  ASSERT_EQ(s.Scan(100.0f, 100.26f, 0.1f), 1);
  EXPECT_EQ(s.GetXSize(), 4);
  EXPECT_FLOAT_EQ(s.SetValue(1, 0, 0, finished), 100.1f);
  EXPECT_FLOAT_EQ(s.SetValue(2, 0, 0, finished), 100.2f);
  EXPECT_FLOAT_EQ(s.SetValue(3, 0, 0, finished), 100.0f);
  EXPECT_EQ(s.GetYSize(), 2);
  EXPECT_FLOAT_EQ(s.SetValue(4, 0, 0, finished), 100.1f);
  EXPECT_EQ(finished, 0);
  ScanEntry e;
  s.GetEntry(3, 0, e);
  EXPECT_EQ(e.smeter, 0);
  s.GetEntry(0, 1, e);
  EXPECT_EQ(e.smeter, 4);
  // Frequencies are rounded to three decimals (1 Hz) at every step.
  ASSERT_EQ(s.Scan(7000.0f, 7001.0f, 0.0125f), 1);
  EXPECT_FLOAT_EQ(s.SetValue(0, 0, 0, finished), 7000.013f);
  EXPECT_FLOAT_EQ(s.SetValue(0, 0, 0, finished), 7000.026f);
}

TEST(Scanner, AStepTooSmallToMoveStillEndsItsLine) {
  // 0.4 Hz rounds away at every step: the frequency stays, but each line still ends after
  // its columns and the rows are never overrun.
  CScanner s;
  s.Init(11025, 1024);
  ASSERT_EQ(s.Scan(100.0f, 100.002f, 0.0004f), 1);
  EXPECT_EQ(s.GetXSize(), 6);
  int finished;
  for (int i = 0; i < 60; ++i) s.SetValue(i, i, i, finished);
  EXPECT_EQ(s.GetYSize(), 11);
  ScanEntry e;
  ASSERT_EQ(s.GetEntry(5, 9, e), 1);
  EXPECT_EQ(e.smeter, 59);
}

TEST(Scanner, RefusesRangesItCannotScan) {
  CScanner s;
  s.Init(11025, 1024);
  EXPECT_EQ(s.Scan(100.0f, 200.0f, 0.0f), 0);
  EXPECT_EQ(s.Scan(100.0f, 200.0f, -1.0f), 0);
  EXPECT_EQ(s.Scan(200.0f, 100.0f, 1.0f), 0);
  EXPECT_EQ(s.Scan(0.0f, 2000000.0f, 0.001f), 0);  // two thousand million columns
  EXPECT_EQ(s.GetXSize(), 0);
  EXPECT_EQ(s.GetYSize(), 0);
  int finished;
  EXPECT_FLOAT_EQ(s.SetValue(1, 1, 1, finished), s.Current());  // nothing stored
  EXPECT_EQ(s.ValueCount(), 0);
  EXPECT_EQ(s.Init(0, 1024), 0);
}

TEST(Scanner, ChannelColumnsHoldTheirChannels) {
  CScanner s;
  s.Init(11025, 1024);
  s.SetChannels({7000.0f, 7100.0f, 7200.0f});
  ASSERT_EQ(s.Scan(1.0f, 2.0f, 1.0f), 1);
  EXPECT_EQ(s.GetXSize(), 3);
  EXPECT_FLOAT_EQ(s.Current(), 7000.0f);
  int finished;
  // The value stored is measured at the frequency that was current: column c = channel c.
  for (int i = 0; i < 7; ++i) {
    int column = s.NextColumn();
    float measured = s.Current();
    EXPECT_FLOAT_EQ(measured, s.ColumnFrq(column)) << i;
    float next = s.SetValue(int(measured / 100) % 256, 0, 0, finished);
    EXPECT_FLOAT_EQ(next, s.ColumnFrq((column + 1) % 3)) << i;
  }
  EXPECT_EQ(s.GetYSize(), 3);
  ScanEntry e;
  s.GetEntry(2, 1, e);
  EXPECT_EQ(e.smeter, 72);
}

TEST(Scanner, CellsKeepLowBytes) {
  CScanner s;
  s.Init(11025, 1024);
  s.Scan(1.0f, 3.0f, 1.0f);
  int finished;
  s.SetValue(300, -1, 256, finished);
  ScanEntry e;
  s.GetEntry(0, 0, e);
  EXPECT_EQ((std::vector<int>{e.smeter, e.audio, e.blocks}), (std::vector<int>{44, 255, 0}));
  EXPECT_EQ((std::vector<int>{s.GetEntry(3, 0, e), s.GetEntry(0, 1, e), s.GetEntry(-1, 0, e)}),
            (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(e.time, 0);
}

TEST(Scanner, EntryTimesCountTheBlocksOfTheLine) {
  // 1024 samples at 8192 Hz: one eighth of a second per block.
  CScanner s;
  s.Init(8192, 1024);
  int32_t now = 1000000;
  s.SetClock([&] { return now; });
  s.Scan(1.0f, 4.0f, 1.0f);
  int finished;
  s.SetValue(0, 0, 7, finished);   // 8 blocks: 1 s
  s.SetValue(0, 0, 3, finished);   // 4 blocks: 0.5 s
  s.SetValue(0, 0, 0, finished);   // 1 block
  now = 2000000;
  s.SetValue(0, 0, 0, finished);   // the line ends, line 1 starts at the new time
  ScanEntry e;
  s.GetEntry(0, 0, e);
  EXPECT_EQ(e.time, 1000000);
  s.GetEntry(1, 0, e);
  EXPECT_EQ(e.time, 1000001);
  s.GetEntry(2, 0, e);
  EXPECT_EQ(e.time, 1000002);  // 1.5 s rounds up
  s.GetEntry(3, 0, e);
  EXPECT_EQ(e.time, 1000002);  // 1.625 s
  EXPECT_EQ(s.GetYSize(), 2);
  s.SetValue(0, 0, 0, finished);
  s.GetEntry(0, 1, e);
  EXPECT_EQ(e.time, 2000000);
}

// A store with three lines of a channel scan and known values, and its expected file.
void Fill(CScanner& s, Report& expect) {
  s.Init(11025, 1024);
  int32_t now = 1700000000;
  s.SetClock([&] { return now; });
  s.SetChannels({7000.5f, 7100.25f, 9999.125f, 15000.0f});
  s.Scan(0, 0, 1);
  int finished;
  for (int i = 0; i < 10; ++i) {
    s.SetValue(i * 7, 255 - i, i * 3, finished);
    now += 3;
  }
  expect.I32(4);
  expect.I32(3);
  expect.F32(0);
  expect.F32(0);
  expect.F32(1);
  expect.I32(4);
  for (float f : {7000.5f, 7100.25f, 9999.125f, 15000.0f}) expect.F32(f);
  for (int32_t t : {1700000000, 1700000009, 1700000021}) expect.I32(t);  // at each wrap
  for (int row = 0; row < 3; ++row)
    for (int i = 0; i < 12; ++i) {
      int v[3] = {i * 7, 255 - i, i * 3};
      expect.bytes.push_back(i < 10 ? uint8_t(v[row]) : 0);
    }
}

TEST(ScannerReport, SaveWritesTheFormatByteForByteAndLoadReadsItBack) {
  sigtest::TempDir dir;
  CScanner s;
  Report expect;
  Fill(s, expect);
  ASSERT_EQ(s.SaveData(dir.File("a.scl").c_str()), 1);
  EXPECT_EQ(ReadBytes(dir.File("a.scl")), expect.bytes);
  CScanner t;
  t.Init(8000, 512);
  ASSERT_EQ(t.LoadData(dir.File("a.scl").c_str()), 1);
  EXPECT_EQ(t.GetXSize(), 4);
  EXPECT_EQ(t.GetYSize(), 3);
  EXPECT_EQ(t.Channels().size(), 4u);
  // What was loaded writes the same file again.
  ASSERT_EQ(t.SaveData(dir.File("b.scl").c_str()), 1);
  EXPECT_EQ(ReadBytes(dir.File("b.scl")), expect.bytes);
  // A store with nothing in it writes nothing.
  CScanner empty;
  EXPECT_EQ(empty.SaveData(dir.File("c.scl").c_str()), 0);
  EXPECT_TRUE(ReadBytes(dir.File("c.scl")).empty());
  EXPECT_EQ(s.SaveData("/nonexistent/kestrel/x.scl"), 0);
}

TEST(ScannerReport, DamagedFilesAreRefusedAndLeaveTheStoreEmpty) {
  sigtest::TempDir dir;
  CScanner s;
  Report good;
  Fill(s, good);
  const std::string path = dir.File("bad.scl");
  // Every truncation.
  for (size_t n = 0; n < good.bytes.size(); ++n) {
    WriteBytes(path, std::vector<uint8_t>(good.bytes.begin(), good.bytes.begin() + long(n)));
    CScanner t;
    EXPECT_EQ(t.LoadData(path.c_str()), 0) << n << " bytes";
    EXPECT_EQ(t.GetYSize(), 0);
    EXPECT_EQ(t.GetXSize(), 0);
  }
  // Impossible sizes: nothing is allocated beyond what the file holds.
  auto with = [&](size_t at, int32_t v) {
    std::vector<uint8_t> b = good.bytes;
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
    return b;
  };
  for (auto bytes : {with(0, 0), with(0, -1), with(0, 0x7FFFFFFF), with(4, 0), with(4, -5),
                     with(4, 0x7FFFFFFF), with(20, -1), with(20, 0x40000000), with(20, 3)}) {
    WriteBytes(path, bytes);
    CScanner t;
    EXPECT_EQ(t.LoadData(path.c_str()), 0);
    EXPECT_EQ(t.GetYSize(), 0);
  }
  // A loaded store that then fails to load again is empty.
  WriteBytes(path, good.bytes);
  ASSERT_EQ(s.LoadData(path.c_str()), 1);
  EXPECT_EQ(s.LoadData(dir.File("missing.scl").c_str()), 0);
  EXPECT_EQ(s.GetYSize(), 0);
  EXPECT_EQ(s.LoadData(dir.path().c_str()), 0);  // a folder
}

TEST(ScannerReport, ALoadedStoreContinuesOnANewLine) {
  sigtest::TempDir dir;
  CScanner s;
  Report good;
  Fill(s, good);
  s.SaveData(dir.File("a.scl").c_str());
  CScanner t;
  t.Init(11025, 1024);
  ASSERT_EQ(t.LoadData(dir.File("a.scl").c_str()), 1);
  int finished;
  t.SetValue(1, 2, 3, finished);
  EXPECT_EQ(t.GetYSize(), 4);
  ScanEntry e;
  t.GetEntry(0, 3, e);
  EXPECT_EQ(e.audio, 2);
}

TEST(ScannerWaterfall, PointInPolygon) {
  const std::vector<ScanPoint> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  EXPECT_EQ((std::vector<int>{CScanner::IsInPoly(square, 5, 5), CScanner::IsInPoly(square, 15, 5),
                              CScanner::IsInPoly(square, -1, 5), CScanner::IsInPoly(square, 5, 11),
                              CScanner::IsInPoly({}, 0, 0)}),
            (std::vector<int>{1, 0, 0, 0, 0}));
  // A concave shape: a U opening upward.
  const std::vector<ScanPoint> u = {{0, 0}, {3, 0}, {3, 7}, {6, 7}, {6, 0}, {9, 0},
                                    {9, 10}, {0, 10}};
  EXPECT_EQ((std::vector<int>{CScanner::IsInPoly(u, 1, 5), CScanner::IsInPoly(u, 4, 5),
                              CScanner::IsInPoly(u, 4, 8), CScanner::IsInPoly(u, 8, 5)}),
            (std::vector<int>{1, 0, 1, 1}));
  // A triangle against the sides' signs, at points whose whole 3 x 3 neighbourhood lies on one
  // side of every edge (truncated crossings may move a point by a pixel).
  const std::vector<ScanPoint> tri = {{0, 0}, {40, 8}, {12, 30}};
  auto side = [&](int e, int x, int y) {
    const ScanPoint a = tri[size_t(e)], b = tri[size_t(e + 1) % 3];
    const long v = (long)(b.x - a.x) * (y - a.y) - (long)(b.y - a.y) * (x - a.x);
    return v > 0 ? 1 : v < 0 ? -1 : 0;
  };
  for (int y = -2; y < 33; ++y)
    for (int x = -2; x < 43; ++x) {
      bool clear = true;
      for (int e = 0; e < 3; ++e)
        for (int d = 0; d < 9; ++d)
          clear = clear && side(e, x, y) && side(e, x + d % 3 - 1, y + d / 3 - 1) == side(e, x, y);
      if (!clear) continue;
      const bool inside = side(0, x, y) == side(1, x, y) && side(1, x, y) == side(2, x, y);
      EXPECT_EQ(CScanner::IsInPoly(tri, x, y), inside ? 1 : 0) << x << "," << y;
    }
}

TEST(ScannerWaterfall, HitTestsFindTheLineDrawnThere) {
  CScanner s;
  s.Init(11025, 1024);
  s.Scan(1.0f, 20.0f, 1.0f);  // 20 columns
  int finished;
  // Line 0: a peak of 50 at columns 5..9; line 1: flat 10 (S-meter), audio 0 everywhere.
  for (int c = 0; c < 20; ++c) s.SetValue(c >= 5 && c <= 9 ? 50 : 0, 0, 0, finished);
  for (int c = 0; c < 20; ++c) s.SetValue(10, 0, 0, finished);
  const int height = 100;
  int col = -1, line = -1;
  // Inside the newest line's area (values 10: y from 89 to 99).
  ASSERT_EQ(s.FindSMeterEntry(12, 95, height, col, line), 1);
  EXPECT_EQ(line, 2 - 1 + 0);  // the last line with values is line 1 (line 2 is empty)
  // Line 2 exists (started by the wrap) with zero values; its polygon is flat, so the
  // point falls through to line 1.
  EXPECT_EQ(col, 12 - 2);
  // Above line 1 at column 7 but inside line 0's peak, drawn 2 right and 3 up per line.
  ASSERT_EQ(s.FindSMeterEntry(7 + 4, 70 - 6, height, col, line), 1);
  EXPECT_EQ(line, 0);
  EXPECT_EQ(col, 7);
  // Above everything.
  EXPECT_EQ(s.FindSMeterEntry(12, 5, height, col, line), 0);
  EXPECT_EQ(s.FindAudioEntry(12, 95, height, col, line), 0);
}

}  // namespace
