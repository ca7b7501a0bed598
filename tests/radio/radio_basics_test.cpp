// CRadio without a receiver: packed BCD, mode names, the type table against the bound
// operations, unknown types, sending without a port.
#include <gtest/gtest.h>

#include <cmath>

#include "spl/radio/radio.h"
#include "tests/radio/radio_test_util.h"

namespace {

std::vector<int> Bcd(int (*fn)(int, int, unsigned char*), int value, int digits) {
  unsigned char out[16] = {};
  int n = fn(value, digits, out);
  return std::vector<int>(out, out + n);
}

TEST(RadioBcd, ReversedAndForwardAgainstDecimalDigits) {
  EXPECT_EQ(Bcd(CRadio::MakeBCDRevers, 145500000, 10),
            (std::vector<int>{0x00, 0x00, 0x50, 0x45, 0x01}));
  EXPECT_EQ(Bcd(CRadio::MakeBCDRevers, 7, 3), (std::vector<int>{0x07, 0x00}));  // rounded up to 4
  EXPECT_EQ(Bcd(CRadio::MakeBCD, 7055125, 8), (std::vector<int>{0x07, 0x05, 0x51, 0x25}));
  // Only the low digits are kept; negative values count as 0.
  EXPECT_EQ(Bcd(CRadio::MakeBCD, 12345, 3), (std::vector<int>{0x03, 0x45}));
  EXPECT_EQ(Bcd(CRadio::MakeBCDRevers, -5, 4), (std::vector<int>{0x00, 0x00}));
  // Against the decimal digits, both ways round.
  for (int value : {0, 1, 9, 10, 99, 12345678, 2147483647}) {
    unsigned char fwd[8], rev[8];
    int n = CRadio::MakeBCD(value, 10, fwd);
    ASSERT_EQ(CRadio::MakeBCDRevers(value, 10, rev), n);
    char text[16];
    snprintf(text, sizeof text, "%010d", value);
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(fwd[i], ((text[2 * i] - '0') << 4) | (text[2 * i + 1] - '0')) << value;
      EXPECT_EQ(rev[n - 1 - i], fwd[i]) << value;
    }
  }
}

TEST(RadioModes, NamesAndBack) {
  EXPECT_EQ(ModeName(3), "");  // not one mode
  EXPECT_EQ(ModeFromName("usb"), kModeUSB);
  EXPECT_EQ(ModeFromName("XYZ"), 0);
  EXPECT_EQ(ModeFromName(""), 0);
  for (int i = 0; i < kModeCount; ++i) EXPECT_EQ(ModeFromName(ModeName(1 << i)), 1 << i);
}

// The capability mask is what the user interface enables; the bound operations must agree
// with it. Without a port every command counts as handed over, so only refusals show.
TEST(RadioTable, MaskMatchesWhatEachTypeAccepts) {
  for (int type = 1; type <= kReceiverTypeLast; ++type) {
    SCOPED_TRACE(type);
    CRadio radio;
    radio.SetReceiver(type);
    const ReceiverType* row = FindReceiverType(type);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(radio.CapabilityMask, row->mask);
    if (type == 21) continue;  // no command set, no mask: refuses all (checked elsewhere)
    for (int i = 0; i < kModeCount; ++i) {
      int mode = 1 << i;
      EXPECT_EQ(radio.Radio_SetMode(mode) == 1, (radio.CapabilityMask & unsigned(mode)) != 0)
          << ModeName(mode);
    }
    EXPECT_EQ(radio.Radio_SetAtt(1), (radio.CapabilityMask & kCapAttenuator) ? 1 : 0);
    EXPECT_EQ(radio.Radio_SetZFWidth(15), (radio.CapabilityMask & kCapIFWidth) ? 1 : 0);
    EXPECT_EQ(radio.Radio_SetVolume(100), (radio.CapabilityMask & kCapVolume) ? 1 : 0);
    EXPECT_EQ(radio.Radio_SetSquelch(100), (radio.CapabilityMask & kCapSquelch) ? 1 : 0);
    EXPECT_EQ(radio.Radio_SetAGC(1), (radio.CapabilityMask & kCapAGC) ? 1 : 0);
    EXPECT_EQ(radio.Radio_SetNB(1), (radio.CapabilityMask & kCapNB) ? 1 : 0);
    EXPECT_EQ(radio.Radio_GetSMeter(), 0);
  }
}

TEST(RadioTable, UnknownTypesBindNothing) {
  for (int type : {0, 25, -1, 1000}) {
    CRadio radio;
    radio.SetReceiver(12);
    radio.SetReceiver(type);
    EXPECT_EQ(radio.Line().baud, 9600);
    EXPECT_EQ(radio.Line().stopBits, 0);
    EXPECT_EQ(radio.CapabilityMask, 0u);
    for (RadioOp op : {kFrq, kMode, kWidth, kVol, kSql, kAtt, kAgc, kNb, kOn, kPtt})
      EXPECT_EQ(DoRadioOp(radio, op, op == kFrq ? 7000 : op == kMode ? kModeUSB : 1), 0) << op;
    EXPECT_EQ(radio.Radio_GetSMeter(), 0);
    EXPECT_EQ(radio.KeepAliveTimer(), 0u);
  }
}

TEST(RadioTable, RefusedValuesWithoutAPort) {
  CRadio radio;
  radio.SetReceiver(5);
  EXPECT_EQ(radio.TxCom("abc", 3), 1);     // no port: accepted, nothing sent
  EXPECT_EQ(radio.Radio_SetVolume(0), 0);  // type 5 has no volume
  EXPECT_EQ(radio.Radio_SetSquelch(-1), 0);
  EXPECT_EQ(radio.Radio_SetSquelch(256), 0);
  EXPECT_EQ(radio.Radio_SetFrq(std::nan("")), 0);
  EXPECT_EQ(radio.Radio_SetFrq(-0.001), 0);
  EXPECT_EQ(radio.Radio_SetFrq(1e300), 0);
  EXPECT_EQ(radio.Radio_SetMode(kModeUSB | kModeLSB), 0);  // not one mode
  EXPECT_EQ(radio.CurrentMode(), kModeUSB);
  EXPECT_EQ(radio.Radio_SetMode(kModeAM), 1);
  EXPECT_EQ(radio.CurrentMode(), kModeAM);
  EXPECT_EQ(radio.Radio_SetMode(kModeWFM), 0);  // refused: the current mode stays
  EXPECT_EQ(radio.CurrentMode(), kModeAM);
  EXPECT_EQ(radio.SetBaud(9600, 8, 0, 0), 0);  // no open port
}

}  // namespace
