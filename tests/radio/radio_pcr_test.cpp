// The PCR types 12 and 22: power-on sequence and rate change, tuning strings, replies with
// S-meter and squelch reports (fragmented, mixed with garbage, overlong), the keep-alive.
#include <condition_variable>
#include <mutex>

#include "spl/platform/message_loop.h"
#include "tests/radio/radio_test_util.h"

namespace {

// A CRadio that records its callbacks, as the station's overrides would store them.
class CRecordingRadio : public CRadio {
 public:
  ~CRecordingRadio() override { Exit(); }
  void SMeterChange(int value) override {
    std::lock_guard<std::mutex> lock(mutex);
    smeter.push_back(value);
    changed.notify_all();
  }
  void SquelchChange(int open) override {
    std::lock_guard<std::mutex> lock(mutex);
    squelch.push_back(open);
    changed.notify_all();
  }
  // Waits until n S-meter (or squelch) reports have arrived; 1 or 0.
  int WaitReports(const std::vector<int>& list, size_t n) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(kWaitMs),
                            [&] { return list.size() >= n; });
  }
  // A copy taken under the lock: the reader thread may still append (TSan cannot see that the
  // pty orders its appends after the test's reads).
  std::vector<int> Reports(const std::vector<int>& list) {
    std::lock_guard<std::mutex> lock(mutex);
    return list;
  }
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<int> smeter, squelch;
};

const char* const kPowerOn =
    "H101\r\nG301\r\nJ4101J5100J5000J4380J4500J4600J4700J4A80LD82000ME00001C8050000001000"
    "J8001J8100J8200J8300J4085G105\r\n";

using Pcr = RadioOnPty;

TEST_F(Pcr, Type12PowerOnSwitchesTo38400) {
  Connect(12);
  SerialLine line;
  ASSERT_EQ(sim.Line(line), 1);
  EXPECT_EQ(line.baud, 9600);
  EXPECT_EQ(line.stopBits, 2);
  Expect({{kOn, 1, kPowerOn}});
  ASSERT_EQ(sim.Line(line), 1);
  EXPECT_EQ(line.baud, 38400);
  EXPECT_EQ(line.dataBits, 8);
  EXPECT_EQ(line.stopBits, 2);
  EXPECT_EQ(radio.Line().baud, 9600);  // a new connection starts slow again
  Expect({{kFrq, 7055.125, "K00007055125010000"}});
  EXPECT_EQ(sim.State().baud, 38400);
  Expect({{kOn, 0, "H100\r\n"}});
  EXPECT_EQ(sim.State().on, 0);
}

TEST_F(Pcr, Type12Tuning) {
  Connect(12);
  auto tuned = [](RadioOp op, int v, const char* mode, const char* filter) {
    return RadioStep{op, double(v), std::string("K00007055125") + mode + filter + "00"};
  };
  Expect({{kWidth, 6, "K00010000000010100"},  // at 10000 kHz
          {kFrq, 14230.5, "K00014230500010100"}, {kFrq, 0.0, "K00000000000010100"},
          {kFrq, 2147483.647, "K02147483647010100"}, Refused(kFrq, 2147483.648),
          {kFrq, 7055.125, "K00007055125010100"}, tuned(kMode, kModeLSB, "00", "01"),
          tuned(kMode, kModeUSB, "01", "01"), tuned(kMode, kModeAM, "02", "01"),
          tuned(kMode, kModeCW, "03", "01"), tuned(kMode, kModeFM, "05", "01"),
          tuned(kMode, kModeWFM, "06", "01"), Refused(kMode, kModeRTTY),
          tuned(kWidth, 3, "06", "00"), tuned(kWidth, 6, "06", "01"), tuned(kWidth, 15, "06", "02"),
          tuned(kWidth, 50, "06", "03"), tuned(kWidth, 230, "06", "04"), Refused(kWidth, 7)});
  EXPECT_EQ(sim.State().ifw, 230);
  EXPECT_EQ(radio.FilterCode(), 4);
  Expect({{kAtt, 1, "J4701"}, {kAtt, 0, "J4700"}, {kVol, 0, "J4000"}, {kVol, 255, "J40FF"},
          {kSql, 0, "J4100"}, {kSql, 255, "J41FF"}, {kAgc, 1, "J4501\r\n"}, {kNb, 0, "J4600\r\n"}});
  EXPECT_EQ(sim.State().vol, 255);
  EXPECT_EQ(sim.State().agc, 1);
  EXPECT_EQ(sim.State().nb, 0);
}

TEST_F(Pcr, Type22Tuning) {
  Connect(22);
  auto width = [](int w, const char* code) {
    return RadioStep{kWidth, double(w), std::string("K0000705512506") + code + "00"};
  };
  Expect({Refused(kFrq, 7055.125),  // USB cannot be sent
          {kMode, kModeAM, "K00007055125020000"}, {kMode, kModeFM, "K00007055125050000"},
          {kMode, kModeWFM, "K00007055125060000"}, Refused(kMode, kModeUSB), width(3, "01"),
          width(6, "01"), width(15, "02"), width(50, "03"), width(230, "04"), width(7, "01")});
}

TEST(PcrReplies, ParserReportsAndBufferLimit) {
  CRecordingRadio radio;
  radio.SetReceiver(12);
  auto feed = [&](const std::string& s) {
    for (char c : s) radio.InChar(static_cast<signed char>(c));
  };
  feed("I004\rI007\rI1A0\r");
  EXPECT_EQ(radio.Reports(radio.squelch), (std::vector<int>{0, 1}));
  EXPECT_EQ(radio.Reports(radio.smeter), (std::vector<int>{160}));
  EXPECT_EQ(radio.Radio_GetSMeter(), 160);
  EXPECT_EQ(radio.SquelchState(), 1);
  // Too short to be a report, and garbage of every kind: nothing.
  feed("I0\rI1\rI15\r\x80\xFF zz I2FF\r");
  EXPECT_EQ(radio.Reports(radio.smeter).size(), 1u);
  EXPECT_EQ(radio.Reports(radio.squelch).size(), 2u);
  // 255 characters fit: "I1" and 253 digits is still a report.
  feed("I1" + std::string(253, 'F') + "\r");
  ASSERT_EQ(radio.Reports(radio.smeter).size(), 2u);
  EXPECT_EQ(radio.Reports(radio.smeter).back(), 255);
  // One digit more starts the buffer again with that digit: no report, nothing overrun.
  feed("I1" + std::string(254, 'F') + "\r");
  feed("I1" + std::string(5000, '7') + "\r");
  EXPECT_EQ(radio.Reports(radio.smeter).size(), 2u);
  feed("I110\r");
  EXPECT_EQ(radio.Reports(radio.smeter).back(), 16);
}

TEST(PcrReplies, Type22SquelchThreshold) {
  CRecordingRadio radio;
  radio.SetReceiver(22);
  for (char c : std::string("I001\rI002\rI005\r")) radio.InChar(c);
  EXPECT_EQ(radio.Reports(radio.squelch), (std::vector<int>{0, 1, 1}));
}

TEST(PcrReplies, OverThePtyFragmentedAndWithGarbage) {
  CSimReceiver sim;
  CRecordingRadio radio;
  ASSERT_EQ(sim.Init(12), 1);
  radio.SetReceiver(12);
  ASSERT_EQ(radio.Init(sim.DevicePath(), 1), 1);
  sim.SetSignal(160);
  ASSERT_EQ(radio.TxCom("I1?\r\n", 5), 1);
  ASSERT_EQ(radio.WaitReports(radio.smeter, 1), 1);
  EXPECT_EQ(radio.Reports(radio.smeter)[0], 160);
  // The receiver's squelch at 100: a signal of 50 keeps it closed, 200 opens it.
  ASSERT_EQ(radio.Radio_SetSquelch(100), 1);
  sim.SetSignal(50);
  radio.TxCom("I0?\r\n", 5);
  ASSERT_EQ(radio.WaitReports(radio.squelch, 1), 1);
  sim.SetSignal(200);
  radio.TxCom("I0?\r\n", 5);
  ASSERT_EQ(radio.WaitReports(radio.squelch, 2), 1);
  EXPECT_EQ(radio.Reports(radio.squelch), (std::vector<int>{0, 1}));
  // Replies cut into pieces and mixed with line noise.
  sim.SendRaw("\x01\xFE");
  sim.SendRaw("junk I1");
  sim.SendRaw("7");
  sim.SendRaw("F\r");
  sim.SendRaw("\n\xFF\xFFI00");
  sim.SendRaw("4\r\n");
  ASSERT_EQ(radio.WaitReports(radio.smeter, 2), 1);
  ASSERT_EQ(radio.WaitReports(radio.squelch, 3), 1);
  EXPECT_EQ(radio.Reports(radio.smeter)[1], 0x7F);
  EXPECT_EQ(radio.Reports(radio.squelch)[2], 0);
  // An overlong reply across many reads.
  for (int i = 0; i < 20; ++i) sim.SendRaw(std::string(50, 'A'));
  sim.SendRaw("\rI123\r\n");
  ASSERT_EQ(radio.WaitReports(radio.smeter, 3), 1);
  EXPECT_EQ(radio.Reports(radio.smeter), (std::vector<int>{160, 0x7F, 0x23}));
}

TEST(PcrKeepAlive, RunsOnTheLoopOfTheSettingThreadAndStopsOnTypeChange) {
  CMessageLoop loop;
  CSimReceiver sim;
  CRadio radio;
  EXPECT_EQ(radio.KeepAlivePeriod(), 7000u);
  ASSERT_EQ(sim.Init(12), 1);
  radio.SetKeepAlivePeriod(10);  // short period so that the test does not wait 7 s
  radio.SetReceiver(12);
  ASSERT_NE(radio.KeepAliveTimer(), 0u);
  ASSERT_EQ(radio.Init(sim.DevicePath(), 1), 1);
  // Only the loop's own thread sends: nothing arrives until the loop runs.
  for (int i = 0; i < 500 && sim.Received().size() < 8; ++i) loop.Run(10);
  auto got = sim.Received();
  ASSERT_GE(got.size(), 8u);
  EXPECT_EQ(std::string(got.begin(), got.begin() + 8), "H101H101");
  radio.SetReceiver(5);
  EXPECT_EQ(radio.KeepAliveTimer(), 0u);
  Sleep(100);  // bytes of the last keep-alive may still be on their way through the pty
  sim.Clear();
  loop.Run(100);  // ten periods
  EXPECT_TRUE(sim.Received().empty());
}

TEST(PcrKeepAlive, DestroyedRadioLeavesNoTimerBehind) {
  CMessageLoop loop;
  {
    CRadio radio;
    radio.SetKeepAlivePeriod(5);
    radio.SetReceiver(22);
    ASSERT_NE(radio.KeepAliveTimer(), 0u);
  }
  loop.Run(50);  // a timer that outlived its object would touch freed memory here
}

TEST(PcrKeepAlive, WithoutALoopTheOwnerSendsIt) {
  std::thread other([] {
    CSimReceiver sim;
    CRadio radio;
    ASSERT_EQ(sim.Init(12), 1);
    radio.SetReceiver(12);  // this thread has no loop: no timer
    EXPECT_EQ(radio.KeepAliveTimer(), 0u);
    ASSERT_EQ(radio.Init(sim.DevicePath(), 0), 1);
    EXPECT_EQ(radio.Radio_KeepAlive(), 1);
    ASSERT_EQ(sim.WaitReceived(4, kWaitMs), 1);
    auto got = sim.Received();
    EXPECT_EQ(std::string(got.begin(), got.end()), "H101");
  });
  other.join();
  CRadio plain;
  plain.SetReceiver(3);
  EXPECT_EQ(plain.Radio_KeepAlive(), 0);
}

}  // namespace
