// Every receiver type over a pseudo-terminal: the exact bytes of each operation it has,
// what it refuses (nothing sent), and what the simulated receiver understood.
#include <cmath>
#include <cstring>

#include "spl/radio/receiver_table.h"
#include "tests/radio/radio_test_util.h"

namespace {

// A key code as the pulse line carries it: six words of [pulse + 9 or 6 idle bytes per bit,
// pulse + 18 idle bytes], then 400 idle bytes.
std::string Key(int code, int bits = 5) {
  std::string word;
  for (int b = bits - 1; b >= 0; --b) {
    word += '\x00';
    word += std::string((code >> b) & 1 ? 9 : 6, '\xFF');
  }
  word += '\x00';
  word += std::string(18, '\xFF');
  std::string key;
  for (int i = 0; i < 6; ++i) key += word;
  return key + std::string(400, '\xFF');
}

// Key numbers 1..12 and digits, as the receiver's keypad codes them.
int KeyNo(int n) {
  static const int codes[13] = {0, 4, 5, 6, 7, 8, 9, 10, 11, 24, 16, 30, 31};
  return codes[n];
}
std::string Digits(const char* text) {
  static const int codes[10] = {20, 27, 23, 19, 26, 22, 18, 25, 21, 17};
  std::string s;
  for (const char* p = text; *p; ++p) s += Key(codes[*p - '0']);
  return s;
}

// Type 1 tunes by whole kHz and then the fraction in 256ths.
std::string Type1Frq(const char* kHz, int fraction) {
  return Key(KeyNo(9)) + Digits(kHz) + Key(KeyNo(10)) + Key(KeyNo(12)) + Key(fraction, 8) +
         Key(KeyNo(10));
}

using RadioTypes = RadioOnPty;

TEST_F(RadioTypes, Type1KeyCodesWithFraction) {
  Connect(1, 0);
  // 7055.125 kHz: key 9, "7055", key 10, key 12, 0.125 x 256 = 32 as an 8-bit word, key 10.
  Expect({{kFrq, 7055.125, Type1Frq("7055", 32)}});
  EXPECT_DOUBLE_EQ(sim.State().frqKHz, 7055.125);
  Expect({{kFrq, 30.0, Type1Frq("030", 0)},
          {kFrq, 29999.0, Type1Frq("29999", 0)},
          {kFrq, 100.99999, Type1Frq("100", 255)},  // a fraction near 1
          Refused(kFrq, 29999.5),
          Refused(kFrq, 29.9)});
  const int modes[8] = {kModeLSB, kModeUSB, kModeAMN, kModeAM,
                        kModeASD, kModeASF, kModeASL, kModeASU};
  for (int i = 0; i < 8; ++i) Expect({{kMode, double(modes[i]), Key(KeyNo(i + 1))}});
  EXPECT_EQ(sim.State().mode, kModeASU);
  Expect({Refused(kMode, kModeCW), Refused(kWidth, 3), Refused(kVol, 10)});
}

TEST_F(RadioTypes, Type2KeyCodes) {
  Connect(2, 0);
  Expect({{kFrq, 7055.125, Key(KeyNo(9)) + Digits("7055") + Key(KeyNo(10))}});
  EXPECT_DOUBLE_EQ(sim.State().frqKHz, 7055.0);
  Expect({{kFrq, 30.0, Key(KeyNo(9)) + Digits("030") + Key(KeyNo(10))},
          Refused(kFrq, 29999.01),
          Refused(kMode, kModeUSB)});
  EXPECT_EQ(radio.CapabilityMask, 0u);
}

TEST_F(RadioTypes, Type3) {
  Connect(3);
  Expect({{kFrq, 7055.125, "FU0705513\r"}, {kFrq, 30.0, "FU0003000\r"},
          {kFrq, 29999.900390625, "FU2999990\r"}, Refused(kFrq, 29999.91), Refused(kFrq, 29.99),
          {kMode, kModeUSB, "MU1\r"}, {kMode, kModeASF, "MU2\r"}, {kMode, kModeCW, "MU3\r"},
          {kMode, kModeAM, "MU4\r"}, {kMode, kModeLSB, "MU5\r"}, {kMode, kModeFM, "MU6\r"},
          {kMode, kModeASL, "MU7\r"}, {kMode, kModeASU, "MU8\r"}, Refused(kMode, kModeRTTY)});
}

TEST_F(RadioTypes, Type4RepeatsFrequencyWithModeLetter) {
  Connect(4);
  Expect({{kFrq, 14230.0, "0014.23000U\r"}, {kFrq, 7055.125, "0007.05513U\r"},
          {kMode, kModeAM, "0007.05513A\r"}, {kMode, kModeLSB, "0007.05513L\r"},
          {kMode, kModeUSB, "0007.05513U\r"}, {kMode, kModeCW, "0007.05513C\r"},
          {kMode, kModeFM, "0007.05513N\r"}, {kMode, kModeWFM, "0007.05513W\r"}});
  EXPECT_EQ(sim.State().mode, kModeWFM);
  EXPECT_NEAR(sim.State().frqKHz, 7055.13, 1e-6);
  Expect({{kFrq, 0.0, "0000.00000W\r"}, {kFrq, 9999999.99, "9999.99999W\r"},
          Refused(kFrq, 10000000.0), Refused(kMode, kModeRTTY)});
}

TEST_F(RadioTypes, Type4WithUnsendableCurrentMode) {
  // A mode chosen on another receiver type stays current; type 4 cannot express RTTY.
  ASSERT_EQ(sim.Init(4), 1);
  radio.SetReceiver(9);
  EXPECT_EQ(radio.Radio_SetMode(kModeRTTY), 1);  // no port yet: accepted, nothing to send
  radio.SetReceiver(4);
  ASSERT_EQ(radio.Init(sim.DevicePath(), 1), 1);
  Expect({Refused(kFrq, 14230.0), {kMode, kModeUSB, "0014.23000U\r"}});
}

TEST_F(RadioTypes, Type5) {
  Connect(5);
  Expect({{kFrq, 7055.125, "VA7055125\r\n"}, {kFrq, 0.0, "VA0\r\n"},
          {kFrq, 2147483.647, "VA2147483647\r\n"}, Refused(kFrq, 2147483.648),
          {kMode, kModeFM, "MD0\r\n"}, {kMode, kModeAM, "MD1\r\n"}, {kMode, kModeLSB, "MD2\r\n"},
          {kMode, kModeUSB, "MD3\r\n"}, {kMode, kModeCW, "MD4\r\n"}});
  const std::pair<int, const char*> widths[] = {{0, "BW0\r\n"},  {3, "BW1\r\n"},  {6, "BW2\r\n"},
                                                {15, "BW3\r\n"}, {30, "BW4\r\n"}, {110, "BW5\r\n"},
                                                {220, "BW6\r\n"}};
  for (const auto& [w, text] : widths) {
    Expect({{kWidth, double(w), text}});
    EXPECT_EQ(sim.State().ifw, w);
  }
  Expect({Refused(kWidth, 50), {kSql, 0, "RQ255\r\n"}});
  EXPECT_EQ(sim.State().sql, 0);
  Expect({{kSql, 255, "RQ000\r\n"}, Refused(kSql, 256), Refused(kVol, 100), Refused(kAtt, 1)});
}

TEST_F(RadioTypes, Type6HexFrames) {
  Connect(6);
  // 7055.125 kHz = 288BB9 in the frequency's units.
  Expect({{kFrq, 7055.125,
           Bytes({0x81, 'P', '1', 'J', 0x32, 0x68, 0x38, 0x6B, 0x3B, 0x69, '!', ',', 0x80})}});
  EXPECT_NEAR(sim.State().frqKHz, 7055.125, 0.003);
  auto mode = [](int m, int code) {
    return RadioStep{kMode, double(m), Bytes({0x81, 'P', '1', 'M', '0', 0x60 + code, '"', 0x80})};
  };
  Expect({{kFrq, 0.0, Bytes({0x81, 'P', '1', 'J', 0x30, 0x60, 0x30, 0x60, 0x30, 0x60, '!', ',', 0x80})},
          {kFrq, 44544.0,  // the top, FFFE87
           Bytes({0x81, 'P', '1', 'J', 0x3F, 0x6F, 0x3F, 0x6E, 0x38, 0x67, '!', ',', 0x80})},
          Refused(kFrq, 44545.0), mode(kModeAM, 1), mode(kModeFM, 3), mode(kModeCW, 5),
          mode(kModeUSB, 7), mode(kModeLSB, 8),
          {kVol, 0, Bytes({0x83, 'P', '1', 'N', 0x30, 0x6F, '"', 0x80})}});  // 15
  EXPECT_EQ(sim.State().vol, 15);
  Expect({{kVol, 255, Bytes({0x83, 'P', '1', 'N', 0x34, 0x61, '"', 0x80})},    // 65
          {kVol, 128, Bytes({0x83, 'P', '1', 'N', 0x32, 0x68, '"', 0x80})},    // 25 + 15
          Refused(kSql, 1)});
}

// Types 7 and 23 share a command set.
TEST_F(RadioTypes, Types7And23BcdLowFirst) {
  auto mode = [](int m, int code) { return RadioStep{kMode, double(m), Bytes({0, 0, 0, code, 0x0C})}; };
  for (int type : {7, 23}) {
    SCOPED_TRACE(type);
    Connect(type);
    Expect({{kFrq, 7055.125, Bytes({0x13, 0x55, 0x70, 0x00, 0x0A})}});
    EXPECT_NEAR(sim.State().frqKHz, 7055.13, 1e-6);
    Expect({{kFrq, 0.0, Bytes({0, 0, 0, 0, 0x0A})},
            {kFrq, 999999.99, Bytes({0x99, 0x99, 0x99, 0x99, 0x0A})}, Refused(kFrq, 1000000.0),
            mode(kModeLSB, 0), mode(kModeUSB, 1), mode(kModeCW, 2), mode(kModeCWN, 3),
            mode(kModeAM, 4), mode(kModeAMN, 5), mode(kModeFM, 6), Refused(kOn, 1)});
    radio.Exit();
  }
}

TEST_F(RadioTypes, Types8And16HostCommands) {
  auto mode = [](int m, int code) {
    return RadioStep{kMode, double(m), "H1\rD" + std::to_string(code) + "\r"};
  };
  for (int type : {8, 16}) {
    SCOPED_TRACE(type);
    Connect(type);
    Expect({{kOn, 1, "H1\r"}});
    EXPECT_EQ(sim.State().on, 1);
    Expect({{kOn, 0, "H0\r"}});
    EXPECT_EQ(sim.State().on, 0);
    if (type == 8)
      Expect({{kFrq, 7055.125, "H1\rF07055125\r"}, {kFrq, 99999.999, "H1\rF99999999\r"},
              Refused(kFrq, 100000.0)});
    else
      Expect({{kFrq, 7055.125, "H1\rF00705513\r"}, {kFrq, 999999.99, "H1\rF99999999\r"},
              Refused(kFrq, 1000000.0)});
    Expect({mode(kModeRTTY, 0), mode(kModeCW, 1), mode(kModeUSB, 2), mode(kModeLSB, 3),
            mode(kModeAM, 4), mode(kModeFM, 5), mode(kModeFAX, 6)});
    EXPECT_EQ(sim.State().mode, kModeFAX);
    Expect({Refused(kMode, kModeWFM)});
    radio.Exit();
  }
}

TEST_F(RadioTypes, Type9) {
  Connect(9);
  Expect({{kFrq, 7055.125, "FA00007055125;"}, {kFrq, 0.0, "FA00000000000;"},
          {kFrq, 2147483.647, "FA02147483647;"}, Refused(kFrq, -1.0),
          {kMode, kModeLSB, "MD1;"}, {kMode, kModeUSB, "MD2;"}, {kMode, kModeCW, "MD3;"},
          {kMode, kModeFM, "MD4;"}, {kMode, kModeAM, "MD5;"}, {kMode, kModeRTTY, "MD6;"}});
}

TEST_F(RadioTypes, Type10CiV) {
  Connect(10);
  Expect({{kFrq, 7055.125, Bytes({0xFE, 0xFE, 0x32, 0xE0, 0x05, 0x25, 0x51, 0x05, 0x07, 0xFD})},
          {kFrq, 99999.0,  // 4 bytes
           Bytes({0xFE, 0xFE, 0x32, 0xE0, 0x05, 0x00, 0x90, 0x99, 0x99, 0xFD})},
          {kFrq, 145500.0,  // 5 bytes
           Bytes({0xFE, 0xFE, 0x32, 0xE0, 0x05, 0x00, 0x00, 0x50, 0x45, 0x01, 0xFD})}});
  EXPECT_DOUBLE_EQ(sim.State().frqKHz, 145500.0);
  auto mode = [](int m, int code) {
    return RadioStep{kMode, double(m), Bytes({0xFE, 0xFE, 0x32, 0xE0, 0x01, code, 0xFD})};
  };
  Expect({mode(kModeLSB, 0), mode(kModeUSB, 1), mode(kModeAM, 2), mode(kModeCW, 3),
          mode(kModeRTTY, 4), mode(kModeFM, 5), mode(kModeWFM, 6),
          {kOn, 1, Bytes({0, 0, 0, 1, 0x20})}, {kOn, 0, Bytes({0, 0, 0, 0, 0x20})}});
  EXPECT_EQ(sim.State().on, 0);
}

TEST_F(RadioTypes, Type10OtherBusAddresses) {
  ASSERT_EQ(sim.Init(10, 0x48, 0xE1), 1);
  radio.SetCivAddresses(0x148, 0xE1);  // only the low byte goes on the bus
  radio.SetReceiver(10);
  ASSERT_EQ(radio.Init(sim.DevicePath(), 1), 1);
  Expect({{kMode, kModeAM, Bytes({0xFE, 0xFE, 0x48, 0xE1, 0x01, 2, 0xFD})}});
}

TEST_F(RadioTypes, Type11Sentences) {
  Connect(11);
  Expect({{kFrq, 7055.125, "$PICOA,90,01,RXF,7.055125\r\n"},
          {kFrq, 0.0, "$PICOA,90,01,RXF,0.000000\r\n"},
          {kMode, kModeLSB, "$PICOA,90,01,MODE,LSB\r\n"},
          {kMode, kModeUSB, "$PICOA,90,01,MODE,USB\r\n"},
          {kMode, kModeCW, "$PICOA,90,01,MODE,CW\r\n"},
          {kMode, kModeAM, "$PICOA,90,01,MODE,AM\r\n"}, Refused(kMode, kModeFM)});
}

TEST_F(RadioTypes, Type13FramesRepeatFrequency) {
  Connect(13);
  Expect({{kFrq, 7055.125, Bytes({0xC2, '$', 0x07, 0x05, 0x51, 0x25, 0xC2, 0x00})},  // USB
          {kMode, kModeCW, Bytes({0xC2, 'D', 0x07, 0x05, 0x51, 0x25, 0xC2, 0x00})},
          {kMode, kModeAM, Bytes({0xC2, '4', 0x07, 0x05, 0x51, 0x25, 0xC2, 0x00})},
          {kMode, kModeUSB, Bytes({0xC2, '$', 0x07, 0x05, 0x51, 0x25, 0xC2, 0x00})},
          {kFrq, 99999.999, Bytes({0xC2, '$', 0x99, 0x99, 0x99, 0x99, 0xC2, 0x00})},
          Refused(kFrq, 100000.0), Refused(kMode, kModeLSB)});
  EXPECT_EQ(sim.State().mode, kModeUSB);
}

TEST_F(RadioTypes, Type14CiVAtFixedAddress) {
  radio.SetCivAddresses(0x70, 0xE0);  // overridden by the type
  Connect(14);
  EXPECT_EQ(radio.CivRadioAddress(), 0x56);
  auto civ = [](std::initializer_list<int> body) {
    std::string s = Bytes({0xFE, 0xFE, 0x56, 0xE0});
    for (int b : body) s += char(b);
    return s + char(0xFD);
  };
  Expect({{kFrq, 7055.125, civ({0x05, 0x25, 0x51, 0x05, 0x07, 0x00})},
          {kMode, kModeLSB, civ({0x06, 0})}, {kMode, kModeUSB, civ({0x06, 1})},
          {kMode, kModeAM, civ({0x06, 2})}, {kMode, kModeCW, civ({0x06, 3})},
          {kMode, kModeRTTY, civ({0x06, 4})}, {kMode, kModeFM, civ({0x06, 5})},
          Refused(kMode, kModeWFM),
          {kVol, 0, civ({0x14, 0x01, 0x00, 0x00})}, {kVol, 255, civ({0x14, 0x01, 0x02, 0x55})},
          {kSql, 0, civ({0x14, 0x03, 0x00, 0x00})}, {kSql, 128, civ({0x14, 0x03, 0x01, 0x28})}});
  EXPECT_EQ(sim.State().vol, 255);
  EXPECT_EQ(sim.State().sql, 128);
  Expect({{kPtt, 1, civ({0x1C, 0x00, 0x01})}, {kPtt, 0, civ({0x1C, 0x00, 0x00})}});
  EXPECT_EQ(sim.State().ptt, 0);
}

TEST_F(RadioTypes, Type15ByteByByte) {
  Connect(15);
  SerialLine line;
  ASSERT_EQ(sim.Line(line), 1);
  EXPECT_EQ(line.baud, 9600);
  EXPECT_EQ(line.stopBits, 0);
  // Pseudo-terminals always report 8 data bits without parity; the settings asked for:
  EXPECT_EQ(radio.Line().dataBits, 7);
  EXPECT_EQ(radio.Line().parity, 2);
  Expect({{kFrq, 7055.125, "F0705513\r"}, {kFrq, 99999.99, "F9999999\r"},
          Refused(kFrq, 100000.0), {kMode, kModeUSB, "M1\r"}, {kMode, kModeLSB, "M2\r"},
          {kMode, kModeRTTY, "M3\r"}, {kMode, kModeCW, "M4\r"}, {kMode, kModeFM, "M5\r"},
          {kMode, kModeAM, "M6\r"}, {kAtt, 1, "G-\r"}});
  EXPECT_EQ(sim.State().att, 1);
  Expect({{kAtt, 0, "G0\r"}});
  for (int w : {3, 6, 15, 50, 230}) {
    Expect({{kWidth, double(w), "W" + std::to_string(w) + "\r"}});
    EXPECT_EQ(sim.State().ifw, w);
  }
  Expect({Refused(kWidth, 0)});
}

TEST_F(RadioTypes, Type17) {
  Connect(17);
  auto mode = [](int m, int code) {
    return RadioStep{kMode, double(m), "H1\rD" + std::to_string(code) + "\r"};
  };
  Expect({{kOn, 1, "T1\r"}, {kOn, 0, "T0\r"}, {kFrq, 7055.125, "H1\rF0007055125\r"},
          {kFrq, 2147483.647, "H1\rF2147483647\r"}, mode(kModeRTTY, 0), mode(kModeCW, 1),
          mode(kModeUSB, 2), mode(kModeLSB, 3), mode(kModeAM, 4), mode(kModeFM, 5),
          mode(kModeFAX, 6), mode(kModeWFM, 9), {kAtt, 1, "A1\r"}, {kAtt, 0, "A0\r"}});
  EXPECT_EQ(sim.State().att, 0);
}

TEST_F(RadioTypes, Type18BcdHighFirst) {
  Connect(18);
  auto mode = [](int m, int code) { return RadioStep{kMode, double(m), Bytes({code, 0, 0, 0, 0x07})}; };
  Expect({{kOn, 1, Bytes({0, 0, 0, 0, 0x00})}, {kOn, 0, Bytes({0, 0, 0, 0, 0x80})},
          {kFrq, 7055.125, Bytes({0x00, 0x70, 0x55, 0x13, 0x01})},
          {kFrq, 999999.99, Bytes({0x99, 0x99, 0x99, 0x99, 0x01})}, mode(kModeLSB, 0x00),
          mode(kModeUSB, 0x01), mode(kModeCW, 0x02), mode(kModeAM, 0x04), mode(kModeFM, 0x08),
          mode(kModeCWN, 0x82), mode(kModeAMN, 0x84)});
  EXPECT_EQ(sim.State().mode, kModeAMN);
}

TEST_F(RadioTypes, Type19) {
  Connect(19);
  Expect({{kOn, 1, Bytes({0, 0, 0, 0, 0x80})}});
  EXPECT_EQ(sim.State().on, 1);
  auto mode = [](int m, int code) { return RadioStep{kMode, double(m), Bytes({0, 0, 0, code, 0x0A})}; };
  Expect({{kOn, 0, Bytes({0, 0, 0, 0, 0x00})},
          {kFrq, 7055.125, Bytes({0x13, 0x55, 0x70, 0x00, 0x08})}, mode(kModeLSB, 16),
          mode(kModeUSB, 17), mode(kModeCW, 18), mode(kModeCWN, 19), mode(kModeAM, 20),
          mode(kModeAMN, 21), mode(kModeFM, 23)});
}

TEST_F(RadioTypes, Type20QuarterSteps) {
  Connect(20);
  // 7055125 Hz: 100-Hz digit 1, 25 Hz = step 1 (flag 2), then 55, 70, 00.
  Expect({{kOn, 1, Bytes({0, 0, 0, 0x00, 0x00})}, {kOn, 0, Bytes({0, 0, 0, 0x80, 0x00})},
          {kFrq, 7055.125, Bytes({0x12, 0x55, 0x70, 0x00, 0x01})}});
  EXPECT_DOUBLE_EQ(sim.State().frqKHz, 7055.125);
  auto mode = [](int m, int code) { return RadioStep{kMode, double(m), Bytes({0, 0, 0, code, 0x80})}; };
  Expect({{kFrq, 999999.999, Bytes({0x98, 0x99, 0x99, 0x99, 0x01})},  // 99 Hz is step 3
          {kFrq, 0.0, Bytes({0x01, 0, 0, 0, 0x01})}, Refused(kFrq, 1000000.0), mode(kModeAM, 0),
          mode(kModeLSB, 1), mode(kModeUSB, 2), mode(kModeCW, 3), mode(kModeFM, 4),
          mode(kModeAMN, 8), mode(kModeCWN, 11)});
}

TEST_F(RadioTypes, Type21RefusesEverything) {
  Connect(21);
  Expect({Refused(kFrq, 7055.125), Refused(kMode, kModeUSB), Refused(kAtt, 1), Refused(kOn, 1),
          Refused(kPtt, 1)});
  EXPECT_EQ(radio.CapabilityMask, 0u);  // the receiver page offers no controls
}

}  // namespace
