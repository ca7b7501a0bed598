// CScanControl: dwell and record times in blocks, the sums per dwell, holding on a signal and
// its release, the recorded events, and a scan over the simulated receiver's band that finds
// exactly its carriers. Time runs in fed blocks; nothing sleeps.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "spl/audio/scan_recorder.h"
#include "spl/radio/scan_control.h"
#include "tests/common/signal_test_util.h"
#include "tests/radio/radio_test_util.h"

namespace {

constexpr int kRate = 11025, kBlock = 1024;

// Records what the control reports.
class CRecordedScan : public CScanControl {
 public:
  struct Value {
    int column, line;
    float kHz;
    int smeter, audio, blocks;
  };
  void OnValue(int column, int line, float kHz, int smeter, int audio, int blocks) override {
    values.push_back({column, line, kHz, smeter, audio, blocks});
  }
  void OnLineFinished(int line) override { finished.push_back(line); }
  void OnHold(const ScanEvent& e) override { holds.push_back(fed); }
  void OnRelease(const ScanEvent& e) override { releases.push_back(fed); }
  void OnTune(float kHz) override { tunes.push_back(kHz); }
  int Feed(const AudioBlock* block, int level) {
    ++fed;
    return ProcessBlock(block, level);
  }
  std::vector<Value> values;
  std::vector<int> finished, holds, releases;
  std::vector<float> tunes;
  int fed = 0;
};

struct Block {
  AudioBlock* b = nullptr;
  explicit Block(float value = 0.0f) {
    NewAudioBlock(&b, kBlock);
    for (int i = 0; i < kBlock; ++i) b->data[i] = value;
    MeasureAudioBlock(b);
  }
  ~Block() { FreeAudioBlock(b); }
};

TEST(ScanControl, DwellAndRecordTimesInBlocks) {
  CScanner scanner;
  CRecordedScan scan;
  ASSERT_EQ(scan.Init(&scanner, nullptr, kRate, kBlock), 1);
  struct Case {
    int dwell, record, dwellBlocks, recordCount;
  } cases[] = {
      {50, 0, 1, 0},       // below 90 ms: 100 ms, one block (93 ms)
      {100, 0, 1, 0},
      {1000, 0, 11, 0},    // 10.77 blocks
      {1000, 2000, 11, 2},  // 21.5 -> 22 blocks = 2 dwell periods
      {1000, 100, 11, 1},   // shorter than a dwell: still one
      {3600000, 0, 38760, 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(scan.StartScan(100, 110, 1000, c.dwell, c.record), 1);
    EXPECT_EQ(scan.DwellBlocks(), c.dwellBlocks) << c.dwell;
    EXPECT_EQ(scan.RecordCount(), c.recordCount) << c.record;
  }
  // Defaults: start 0 -> the receiver's frequency (none here: 0), stop 0 -> 50 steps.
  ScanSettings st;
  st.tuningStepHz = 500;
  scan.SetSettings(st);
  ASSERT_EQ(scan.StartScan(7000, 0, 0, 100, 0), 1);
  EXPECT_EQ((std::vector<float>{scanner.Start(), scanner.Stop(), scanner.Step()}),
            (std::vector<float>{7000.0f, 7025.0f, 0.5f}));
  EXPECT_EQ(scanner.GetXSize(), 51);
  // Descending ranges are swapped.
  ASSERT_EQ(scan.StartScan(7100, 7000, 10000, 100, 0), 1);
  EXPECT_FLOAT_EQ(scanner.Start(), 7000.0f);
  EXPECT_FLOAT_EQ(scanner.Stop(), 7100.0f);
  // Refusals leave a message.
  EXPECT_EQ(scan.StartScan(7000, 7100, -5, 100, 0), 0);
  EXPECT_FALSE(scan.Error().empty());
  EXPECT_EQ(scan.StartScan(0.5, 2000000, 1, 100, 0), 0);
  EXPECT_NE(scan.Error().find("steps"), std::string::npos);
  EXPECT_FALSE(scan.Scanning());
}

TEST(ScanControl, SumsOverTheDwellAndStepsTheRange) {
  CScanner scanner;
  CRecordedScan scan;
  scan.Init(&scanner, nullptr, kRate, kBlock);
  ScanSettings st;
  st.squelchThreshold = 10;
  st.stopOnSignal = 0;
  scan.SetSettings(st);
  ASSERT_EQ(scan.StartScan(100, 102, 1000, 300, 0), 1);  // 3 blocks per dwell, 3 columns
  EXPECT_EQ(scan.DwellBlocks(), 3);
  ASSERT_EQ(scan.tunes.size(), 1u);
  EXPECT_FLOAT_EQ(scan.tunes[0], 100.0f);
  Block b;
  // Levels per block: the mean minus the threshold, at least 0.
  const int levels[] = {30, 40, 50, 5, 5, 5, 255, 255, 250, 20, 20, 20};
  for (int l : levels) scan.Feed(b.b, l);
  ASSERT_EQ(scan.values.size(), 4u);
  // The first: (30 + 40 + 50) / 3 - 10.
  EXPECT_EQ((std::vector<int>{scan.values[0].audio, scan.values[1].audio, scan.values[2].audio,
                              scan.values[3].audio}),
            (std::vector<int>{30, 0, 243, 10}));
  // S-meter without a receiver: 0 + (129 - 129) x 2.
  EXPECT_EQ(scan.values[0].smeter, 0);
  EXPECT_EQ(scan.values[0].blocks, 2);  // dwell blocks - 1
  EXPECT_FLOAT_EQ(scan.values[2].kHz, 102.0f);
  EXPECT_EQ(scan.values[3].line, 1);
  EXPECT_EQ(scan.finished, std::vector<int>{0});
  // One tuning per dwell: the start, then 101, 102, 100, 101.
  EXPECT_EQ(scan.tunes, (std::vector<float>{100, 101, 102, 100, 101}));
  // The receiver squelch setting moves the S-meter: 139 takes 20 off, 119 adds 20.
  st.receiverSquelch = 119;
  scan.SetSettings(st);
  scan.StartScan(100, 102, 1000, 100, 0);
  scan.values.clear();
  scan.Feed(b.b, 0);
  EXPECT_EQ(scan.values[0].smeter, 20);
  // A squelch setting of 0 adds 258: the store keeps the top of its scale, not 258 - 256.
  st.receiverSquelch = 0;
  scan.SetSettings(st);
  scan.StartScan(100, 102, 1000, 100, 0);
  scan.Feed(b.b, 0);
  ScanEntry entry;
  ASSERT_EQ(scanner.GetEntry(0, 0, entry), 1);
  EXPECT_EQ(entry.smeter, 255);
  scan.StopScan();
  EXPECT_EQ(scan.Feed(b.b, 0), 0);  // stopped: nothing happens
}

TEST(ScanControl, HoldsForTheRecordTimeWhileTheSignalLasts) {
  sigtest::TempDir dir;
  CScanRecorder recorder;
  ASSERT_EQ(recorder.Init(dir.path(), kRate, kBlock), 1);
  CScanner scanner;
  CRecordedScan scan;
  scan.Init(&scanner, nullptr, kRate, kBlock);
  scan.SetRecorder(&recorder);
  ASSERT_EQ(scan.StartScan(100, 109, 1000, 100, 500), 1);  // 1 block dwell, 5 periods
  ASSERT_EQ(scan.RecordCount(), 5);
  Block loud(1000.0f), quiet(0.0f);
  // Blocks 1-2 quiet, then a signal that lasts 20 blocks.
  for (int i = 1; i <= 2; ++i) scan.Feed(quiet.b, 0);
  for (int i = 3; i <= 22; ++i) scan.Feed(loud.b, 80);
  // The hold starts at block 3 (the signal's first dwell) and ends after 5 more dwells
  // with signal, at block 8; block 9 is measured at the next frequency, which is still
  // loud, so the scanner holds again there.
  ASSERT_GE(scan.holds.size(), 2u);
  EXPECT_EQ((std::vector<int>{scan.holds[0], scan.releases[0], scan.holds[1]}),
            (std::vector<int>{3, 8, 9}));
  ASSERT_GE(scan.Events().size(), 2u);
  const ScanEvent& e = scan.Events()[0];
  EXPECT_FLOAT_EQ(e.kHz, 102.0f);
  // Column, value, blocks (the dwell that found it and the five held), first recorded sample.
  EXPECT_EQ((std::vector<int>{e.column, e.value, e.blocks, e.start}),
            (std::vector<int>{2, 80, 6, 46}));
  EXPECT_EQ(scan.Events()[1].start, 46 + 6 * kBlock * 2);
  ASSERT_GE(recorder.SegmentCount(), 2);
  EXPECT_EQ(recorder.Segment(0).blocks, 6);
  EXPECT_EQ(recorder.FindEvent(2, 0), 0);
  // The cell after a hold counts the held blocks.
  ASSERT_GE(scan.values.size(), 4u);
  EXPECT_EQ(scan.values[3].column, 3);
  EXPECT_EQ(scan.values[3].blocks, 5);
  // The recorded audio is the loud blocks.
  AudioBlock* out = nullptr;
  NewAudioBlock(&out, kBlock);
  ASSERT_EQ(recorder.StartPlayback(2, 0), 1);
  ASSERT_EQ(recorder.Play(out, 100), kBlock);
  EXPECT_NEAR(out->peak, 1000.0f, 1.0f);
  FreeAudioBlock(out);
}

TEST(ScanControl, WithoutARecordTimeTheHoldLastsAsLongAsTheSignal) {
  CScanner scanner;
  CRecordedScan scan;
  scan.Init(&scanner, nullptr, kRate, kBlock);
  ASSERT_EQ(scan.StartScan(100, 109, 1000, 200, 0), 1);  // 2 blocks per dwell
  ASSERT_EQ(scan.DwellBlocks(), 2);
  Block b;
  auto feed = [&](int blocks, int level) {
    for (int i = 0; i < blocks; ++i) scan.Feed(b.b, level);
  };
  feed(2, 0);    // column 0: nothing
  feed(2, 60);   // column 1: a signal, hold
  ASSERT_EQ(scan.holds, std::vector<int>{4});
  feed(40, 60);  // 20 dwells of signal: still held
  EXPECT_TRUE(scan.Holding());
  EXPECT_TRUE(scan.releases.empty());
  feed(2, 0);    // one silent dwell: the hold drops to 1
  EXPECT_TRUE(scan.Holding());
  feed(2, 0);    // the second ends it and tunes on
  EXPECT_FALSE(scan.Holding());
  EXPECT_EQ(scan.releases, std::vector<int>{48});
  EXPECT_FLOAT_EQ(scan.tunes.back(), 102.0f);
  feed(2, 0);
  ASSERT_EQ(scan.values.size(), 3u);
  EXPECT_EQ(scan.values[2].column, 2);
  EXPECT_EQ(scan.values[2].blocks, 45);  // 44 held blocks + its own dwell - 1
  // A signal that comes back does not renew the hold: two silent dwells in all end it.
  scan.StartScan(100, 109, 1000, 100, 0);
  scan.holds.clear();
  scan.releases.clear();
  feed(1, 9);
  feed(1, 0);
  feed(1, 9);
  EXPECT_TRUE(scan.releases.empty());
  feed(1, 0);
  EXPECT_EQ(scan.releases.size(), 1u);
  // Stop on signal switched off: no hold at all.
  ScanSettings st;
  st.stopOnSignal = 0;
  scan.SetSettings(st);
  scan.StartScan(100, 109, 1000, 100, 0);
  scan.holds.clear();
  feed(5, 200);
  EXPECT_TRUE(scan.holds.empty());
}

TEST(ScanControl, ChannelScansSetEachChannelsModeAndWidth) {
  CSimReceiver sim;
  ASSERT_EQ(sim.Init(12), 1);
  CRadio radio;
  radio.SetReceiver(12);
  ASSERT_EQ(radio.Init(sim.DevicePath(), 1), 1);
  CScanner scanner;
  scanner.SetChannels({7000.0f, 14100.0f, 145500.0f});
  CRecordedScan scan;
  scan.Init(&scanner, &radio, kRate, kBlock);
  scan.SetChannelModes({kModeUSB, kModeAM, kModeFM}, {3, 6, 15});
  ScanSettings st;
  st.stopOnSignal = 0;
  scan.SetSettings(st);
  ASSERT_EQ(scan.StartScan(0, 0, 0, 100, 0), 1);
  Block b;
  scan.Feed(b.b, 0);
  scan.Feed(b.b, 0);
  ASSERT_EQ(sim.WaitCommands(1, kWaitMs), 1);
  // The last command tunes channel 2 with its mode and width.
  // (The commands cross the pty one after the other: wait for the last one.)
  for (int i = 0; i < 500 && (sim.State().mode != kModeFM || sim.State().ifw != 15); ++i)
    Sleep(10);
  SimState s = sim.State();
  EXPECT_DOUBLE_EQ(s.frqKHz, 145500.0);
  EXPECT_EQ(s.mode, kModeFM);
  EXPECT_EQ(s.ifw, 15);
  EXPECT_EQ(scan.tunes, (std::vector<float>{7000.0f, 14100.0f, 145500.0f}));
  radio.Exit();
  EXPECT_TRUE(sim.Faults().empty());
}

// A receiver whose S-meter answers can be waited for, as the tool does.
class CAnsweringRadio : public CRadio {
 public:
  ~CAnsweringRadio() override { Exit(); }
  void SMeterChange(int) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++reports_;
    changed_.notify_all();
  }
  bool Query() {
    long long seen;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      seen = reports_;
    }
    TxCom("I1?\r\n", 5);
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(kWaitMs),
                             [&] { return reports_ != seen; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  long long reports_ = 0;
};

TEST(ScanControl, FindsExactlyTheCarriersOfTheSimulatedBand) {
  CSimReceiver sim;
  ASSERT_EQ(sim.Init(12), 1);
  // Carriers 1 kHz wide (half width 0.5) at 7003, 7011.5 and 7020, a floor of 40 with noise.
  const std::vector<SimCarrier> carriers = {
      {7003.0, 150, 0.2}, {7011.5, 90, 0.2}, {7020.0, 220, 0.2}};
  sim.SetBand(carriers, 40, 10);
  EXPECT_EQ(sim.LevelAt(7003.1), 150);
  EXPECT_EQ(sim.LevelAt(7004.0), 40);
  CAnsweringRadio radio;
  radio.SetReceiver(12);
  ASSERT_EQ(radio.Init(sim.DevicePath(), 1), 1);
  CScanner scanner;
  CRecordedScan scan;
  scan.Init(&scanner, &radio, kRate, kBlock);
  ScanSettings st;
  st.eventFromReceiver = 1;
  st.receiverSquelch = 129 + 26;  // takes 52 off: the floor and its noise read 0
  scan.SetSettings(st);
  ASSERT_EQ(scan.StartScan(7000, 7024, 500, 100, 300), 1);  // 49 columns of 0.5 kHz
  ASSERT_TRUE(radio.Query());
  Block b;
  for (int i = 0; i < 2000 && scan.finished.empty(); ++i) {
    scan.Feed(b.b, 0);
    ASSERT_TRUE(radio.Query());
  }
  ASSERT_EQ(scan.finished, std::vector<int>{0});
  std::set<float> with_signal;
  for (int c = 0; c < scanner.GetXSize(); ++c) {
    ScanEntry e;
    scanner.GetEntry(c, 0, e);
    if (e.smeter) with_signal.insert(scanner.ColumnFrq(c));
  }
  EXPECT_EQ(with_signal, (std::set<float>{7003.0f, 7011.5f, 7020.0f}));
  ASSERT_EQ(scan.Events().size(), 3u);
  EXPECT_FLOAT_EQ(scan.Events()[0].kHz, 7003.0f);
  EXPECT_EQ(scan.Events()[0].value, 150 - 52);
  EXPECT_EQ(scan.Events()[2].value, 220 - 52);
  radio.Exit();
  EXPECT_TRUE(sim.Faults().empty()) << sim.Faults().front();
}

}  // namespace
