// Shared pieces of the receiver tests: byte strings, and a CRadio connected to a simulated
// receiver over a pseudo-terminal, with checks of exactly what crossed the line.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "spl/radio/radio.h"
#include "spl/radio/sim_receiver.h"

constexpr DWORD kWaitMs = 5000;  // upper bound for bytes to cross the pty; not a timing check

inline std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += char(v & 0xFF);
  return s;
}

inline std::string Printable(const std::string& s) {
  std::string out;
  char buf[8];
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += char(c);
    } else {
      snprintf(buf, sizeof buf, "<%02X>", c);
      out += buf;
    }
  }
  return out;
}

// A receiver operation of CRadio, as data for the tables of the command tests.
enum RadioOp { kFrq, kMode, kWidth, kVol, kSql, kAtt, kAgc, kNb, kOn, kPtt };

// One operation and exactly the bytes it sends, or (sent false) its refusal.
struct RadioStep {
  RadioOp op;
  double value;
  std::string bytes;
  bool sent = true;
};
inline RadioStep Refused(RadioOp op, double value) { return {op, value, "", false}; }

inline int DoRadioOp(CRadio& r, RadioOp op, double v) {
  const int i = int(v);
  switch (op) {
    case kFrq: return r.Radio_SetFrq(v);
    case kMode: return r.Radio_SetMode(i);
    case kWidth: return r.Radio_SetZFWidth(i);
    case kVol: return r.Radio_SetVolume(i);
    case kSql: return r.Radio_SetSquelch(i);
    case kAtt: return r.Radio_SetAtt(i);
    case kAgc: return r.Radio_SetAGC(i);
    case kNb: return r.Radio_SetNB(i);
    case kOn: return r.Radio_OnOff(i);
    case kPtt: return r.Radio_SetPTT(i);
  }
  return 0;
}

class RadioOnPty : public ::testing::Test {
 protected:
  void Connect(int type, int reader = 1) {
    ASSERT_EQ(sim.Init(type), 1);
    radio.SetReceiver(type);
    ASSERT_EQ(radio.Init(sim.DevicePath(), reader), 1)
        << radio.PortDevice() << ": " << strerror(radio.PortError());
  }
  void TearDown() override {
    radio.Exit();
    EXPECT_TRUE(sim.Faults().empty()) << "first fault: " << sim.Faults().front();
  }
  // The operation is accepted and exactly these bytes arrive at the receiver.
  void ExpectSent(const std::function<int()>& op, const std::string& expected,
                  const std::string& what) {
    sim.Clear();
    ASSERT_EQ(op(), 1) << what;
    ASSERT_EQ(sim.WaitReceived(expected.size(), kWaitMs), 1)
        << what << ": only " << sim.Received().size() << " of " << expected.size() << " bytes";
    auto got = sim.Received();
    EXPECT_EQ(Printable(std::string(got.begin(), got.end())), Printable(expected)) << what;
  }
  // The operation is refused, and nothing reaches the receiver before the next command.
  void ExpectRefused(const std::function<int()>& op, const std::string& what) {
    sim.Clear();
    EXPECT_EQ(op(), 0) << what;
    const char marker = 0x00;
    radio.TxCom(&marker, 1);  // whatever the refused call sent would arrive before this
    ASSERT_EQ(sim.WaitReceived(1, kWaitMs), 1);
    auto got = sim.Received();
    EXPECT_EQ(Printable(std::string(got.begin(), got.end())), Printable(std::string(1, marker)))
        << what << " sent something";
    sim.Clear();
  }
  // Each step in turn: the bytes it sends, or its refusal.
  void Expect(const std::vector<RadioStep>& steps) {
    static const char* const kNames[] = {"frq", "mode", "width", "vol", "sql",
                                         "att", "agc",  "nb",    "on",  "ptt"};
    for (const RadioStep& s : steps) {
      const std::string what = std::string(kNames[s.op]) + " " + std::to_string(s.value);
      auto op = [&] { return DoRadioOp(radio, s.op, s.value); };
      if (s.sent)
        ExpectSent(op, s.bytes, what);
      else
        ExpectRefused(op, what);
    }
  }

  CSimReceiver sim;
  CRadio radio;
};
