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

using RadioTypes = RadioOnPty;

TEST_F(RadioTypes, Type1KeyCodesWithFraction) {
  Connect(1, 0);
  // 7055.125 kHz: key 9, "7055", key 10, key 12, 0.125 x 256 = 32 as an 8-bit word, key 10.
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); },
             Key(KeyNo(9)) + Digits("7055") + Key(KeyNo(10)) + Key(KeyNo(12)) + Key(32, 8) +
                 Key(KeyNo(10)),
             "7055.125");
  EXPECT_DOUBLE_EQ(sim.State().frqKHz, 7055.125);
  ExpectSent(
      [&] { return radio.Radio_SetFrq(30.0); },
      Key(KeyNo(9)) + Digits("030") + Key(KeyNo(10)) + Key(KeyNo(12)) + Key(0, 8) + Key(KeyNo(10)),
      "30");
  ExpectSent([&] { return radio.Radio_SetFrq(29999.0); },
             Key(KeyNo(9)) + Digits("29999") + Key(KeyNo(10)) + Key(KeyNo(12)) + Key(0, 8) +
                 Key(KeyNo(10)),
             "29999");
  ExpectSent([&] { return radio.Radio_SetFrq(100.99999); },
             Key(KeyNo(9)) + Digits("100") + Key(KeyNo(10)) + Key(KeyNo(12)) + Key(255, 8) +
                 Key(KeyNo(10)),
             "fraction near 1");
  ExpectRefused([&] { return radio.Radio_SetFrq(29999.5); }, "29999.5");
  ExpectRefused([&] { return radio.Radio_SetFrq(29.9); }, "29.9");
  const int modes[8] = {kModeLSB, kModeUSB, kModeAMN, kModeAM,
                        kModeASD, kModeASF, kModeASL, kModeASU};
  for (int i = 0; i < 8; ++i) {
    ExpectSent([&] { return radio.Radio_SetMode(modes[i]); }, Key(KeyNo(i + 1)),
               ModeName(modes[i]));
    EXPECT_EQ(sim.State().mode, modes[i]);
  }
  ExpectRefused([&] { return radio.Radio_SetMode(kModeCW); }, "CW");
  ExpectRefused([&] { return radio.Radio_SetZFWidth(3); }, "width");
  ExpectRefused([&] { return radio.Radio_SetVolume(10); }, "volume");
}

TEST_F(RadioTypes, Type2KeyCodes) {
  Connect(2, 0);
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); },
             Key(KeyNo(9)) + Digits("7055") + Key(KeyNo(10)), "7055.125");
  EXPECT_DOUBLE_EQ(sim.State().frqKHz, 7055.0);
  ExpectSent([&] { return radio.Radio_SetFrq(30.0); },
             Key(KeyNo(9)) + Digits("030") + Key(KeyNo(10)), "30");
  ExpectRefused([&] { return radio.Radio_SetFrq(29999.01); }, "above range");
  ExpectRefused([&] { return radio.Radio_SetMode(kModeUSB); }, "mode");
  EXPECT_EQ(radio.CapabilityMask, 0u);
}

TEST_F(RadioTypes, Type3) {
  Connect(3);
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); }, "FU0705513\r", "7055.125");
  ExpectSent([&] { return radio.Radio_SetFrq(30.0); }, "FU0003000\r", "30");
  ExpectSent([&] { return radio.Radio_SetFrq(29999.900390625); }, "FU2999990\r", "top");
  ExpectRefused([&] { return radio.Radio_SetFrq(29999.91); }, "above");
  ExpectRefused([&] { return radio.Radio_SetFrq(29.99); }, "below");
  const std::pair<int, const char*> modes[] = {
      {kModeUSB, "MU1\r"}, {kModeASF, "MU2\r"}, {kModeCW, "MU3\r"},  {kModeAM, "MU4\r"},
      {kModeLSB, "MU5\r"}, {kModeFM, "MU6\r"},  {kModeASL, "MU7\r"}, {kModeASU, "MU8\r"}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto text = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); }, text, ModeName(m));
  }
  ExpectRefused([&] { return radio.Radio_SetMode(kModeRTTY); }, "RTTY");
}

TEST_F(RadioTypes, Type4RepeatsFrequencyWithModeLetter) {
  Connect(4);
  ExpectSent([&] { return radio.Radio_SetFrq(14230.0); }, "0014.23000U\r", "14230 USB");
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); }, "0007.05513U\r", "7055.125");
  const std::pair<int, char> modes[] = {{kModeAM, 'A'}, {kModeLSB, 'L'}, {kModeUSB, 'U'},
                                        {kModeCW, 'C'}, {kModeFM, 'N'},  {kModeWFM, 'W'}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto letter = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); }, std::string("0007.05513") + letter + "\r",
               ModeName(m));
  }
  EXPECT_EQ(sim.State().mode, kModeWFM);
  EXPECT_NEAR(sim.State().frqKHz, 7055.13, 1e-6);
  ExpectSent([&] { return radio.Radio_SetFrq(0.0); }, "0000.00000W\r", "0");
  ExpectSent([&] { return radio.Radio_SetFrq(9999999.99); }, "9999.99999W\r", "top");
  ExpectRefused([&] { return radio.Radio_SetFrq(10000000.0); }, "above");
  ExpectRefused([&] { return radio.Radio_SetMode(kModeRTTY); }, "RTTY");
}

TEST_F(RadioTypes, Type4WithUnsendableCurrentMode) {
  // A mode chosen on another receiver type stays current; type 4 cannot express RTTY.
  ASSERT_EQ(sim.Init(4), 1);
  radio.SetReceiver(9);
  EXPECT_EQ(radio.Radio_SetMode(kModeRTTY), 1);  // no port yet: accepted, nothing to send
  radio.SetReceiver(4);
  ASSERT_EQ(radio.Init(sim.DevicePath(), 1), 1);
  ExpectRefused([&] { return radio.Radio_SetFrq(14230.0); }, "RTTY current");
  ExpectSent([&] { return radio.Radio_SetMode(kModeUSB); }, "0014.23000U\r", "then USB");
}

TEST_F(RadioTypes, Type5) {
  Connect(5);
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); }, "VA7055125\r\n", "7055.125");
  ExpectSent([&] { return radio.Radio_SetFrq(0.0); }, "VA0\r\n", "0");
  ExpectSent([&] { return radio.Radio_SetFrq(2147483.647); }, "VA2147483647\r\n", "top");
  ExpectRefused([&] { return radio.Radio_SetFrq(2147483.648); }, "above");
  const std::pair<int, const char*> modes[] = {{kModeFM, "MD0\r\n"},
                                               {kModeAM, "MD1\r\n"},
                                               {kModeLSB, "MD2\r\n"},
                                               {kModeUSB, "MD3\r\n"},
                                               {kModeCW, "MD4\r\n"}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto text = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); }, text, ModeName(m));
  }
  const std::pair<int, const char*> widths[] = {{0, "BW0\r\n"},  {3, "BW1\r\n"},  {6, "BW2\r\n"},
                                                {15, "BW3\r\n"}, {30, "BW4\r\n"}, {110, "BW5\r\n"},
                                                {220, "BW6\r\n"}};
  for (const auto& e_ : widths) {
    const auto w = e_.first;
    const auto text = e_.second;
    ExpectSent([&] { return radio.Radio_SetZFWidth(w); }, text, "width " + std::to_string(w));
    EXPECT_EQ(sim.State().ifw, w);
  }
  ExpectRefused([&] { return radio.Radio_SetZFWidth(50); }, "width 50");
  ExpectSent([&] { return radio.Radio_SetSquelch(0); }, "RQ255\r\n", "squelch 0");
  EXPECT_EQ(sim.State().sql, 0);
  ExpectSent([&] { return radio.Radio_SetSquelch(255); }, "RQ000\r\n", "squelch 255");
  ExpectRefused([&] { return radio.Radio_SetSquelch(256); }, "squelch 256");
  ExpectRefused([&] { return radio.Radio_SetVolume(100); }, "volume");
  ExpectRefused([&] { return radio.Radio_SetAtt(1); }, "attenuator");
}

TEST_F(RadioTypes, Type6HexFrames) {
  Connect(6);
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); },
             Bytes({0x81, 'P', '1', 'J', 0x32, 0x68, 0x38, 0x6B, 0x3B, 0x69, '!', ',', 0x80}),
             "7055.125 = 288BB9");
  EXPECT_NEAR(sim.State().frqKHz, 7055.125, 0.003);
  ExpectSent([&] { return radio.Radio_SetFrq(0.0); },
             Bytes({0x81, 'P', '1', 'J', 0x30, 0x60, 0x30, 0x60, 0x30, 0x60, '!', ',', 0x80}), "0");
  ExpectSent([&] { return radio.Radio_SetFrq(44544.0); },
             Bytes({0x81, 'P', '1', 'J', 0x3F, 0x6F, 0x3F, 0x6E, 0x38, 0x67, '!', ',', 0x80}),
             "top = FFFE87");
  ExpectRefused([&] { return radio.Radio_SetFrq(44545.0); }, "above");
  const std::pair<int, int> modes[] = {
      {kModeAM, 1}, {kModeFM, 3}, {kModeCW, 5}, {kModeUSB, 7}, {kModeLSB, 8}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto code = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); },
               Bytes({0x81, 'P', '1', 'M', '0', 0x60 + code, '"', 0x80}), ModeName(m));
  }
  ExpectSent([&] { return radio.Radio_SetVolume(0); },
             Bytes({0x83, 'P', '1', 'N', 0x30, 0x6F, '"', 0x80}), "volume 0 = 15");
  EXPECT_EQ(sim.State().vol, 15);
  ExpectSent([&] { return radio.Radio_SetVolume(255); },
             Bytes({0x83, 'P', '1', 'N', 0x34, 0x61, '"', 0x80}), "volume 255 = 65");
  ExpectSent([&] { return radio.Radio_SetVolume(128); },
             Bytes({0x83, 'P', '1', 'N', 0x32, 0x68, '"', 0x80}), "volume 128 = 25 + 15 = 0x28");
  ExpectRefused([&] { return radio.Radio_SetSquelch(1); }, "squelch");
}

// Types 7 and 23 share a command set.
TEST_F(RadioTypes, Types7And23BcdLowFirst) {
  for (int type : {7, 23}) {
    SCOPED_TRACE(type);
    Connect(type);
    ExpectSent([&] { return radio.Radio_SetFrq(7055.125); }, Bytes({0x13, 0x55, 0x70, 0x00, 0x0A}),
               "7055.125");
    EXPECT_NEAR(sim.State().frqKHz, 7055.13, 1e-6);
    ExpectSent([&] { return radio.Radio_SetFrq(0.0); }, Bytes({0, 0, 0, 0, 0x0A}), "0");
    ExpectSent([&] { return radio.Radio_SetFrq(999999.99); }, Bytes({0x99, 0x99, 0x99, 0x99, 0x0A}),
               "top");
    ExpectRefused([&] { return radio.Radio_SetFrq(1000000.0); }, "above");
    const std::pair<int, int> modes[] = {{kModeLSB, 0}, {kModeUSB, 1}, {kModeCW, 2}, {kModeCWN, 3},
                                         {kModeAM, 4},  {kModeAMN, 5}, {kModeFM, 6}};
    for (const auto& e_ : modes) {
      const auto m = e_.first;
      const auto code = e_.second;
      ExpectSent([&] { return radio.Radio_SetMode(m); }, Bytes({0, 0, 0, code, 0x0C}), ModeName(m));
    }
    ExpectRefused([&] { return radio.Radio_OnOff(1); }, "on");
    radio.Exit();
  }
}

TEST_F(RadioTypes, Types8And16HostCommands) {
  for (int type : {8, 16}) {
    SCOPED_TRACE(type);
    Connect(type);
    ExpectSent([&] { return radio.Radio_OnOff(1); }, "H1\r", "on");
    EXPECT_EQ(sim.State().on, 1);
    ExpectSent([&] { return radio.Radio_OnOff(0); }, "H0\r", "off");
    EXPECT_EQ(sim.State().on, 0);
    ExpectSent([&] { return radio.Radio_SetFrq(7055.125); },
               type == 8 ? "H1\rF07055125\r" : "H1\rF00705513\r", "7055.125");
    if (type == 8) {
      ExpectSent([&] { return radio.Radio_SetFrq(99999.999); }, "H1\rF99999999\r", "top");
      ExpectRefused([&] { return radio.Radio_SetFrq(100000.0); }, "above");
    } else {
      ExpectSent([&] { return radio.Radio_SetFrq(999999.99); }, "H1\rF99999999\r", "top");
      ExpectRefused([&] { return radio.Radio_SetFrq(1000000.0); }, "above");
    }
    const std::pair<int, int> modes[] = {{kModeRTTY, 0}, {kModeCW, 1}, {kModeUSB, 2}, {kModeLSB, 3},
                                         {kModeAM, 4},   {kModeFM, 5}, {kModeFAX, 6}};
    for (const auto& e_ : modes) {
      const auto m = e_.first;
      const auto code = e_.second;
      ExpectSent([&] { return radio.Radio_SetMode(m); }, "H1\rD" + std::to_string(code) + "\r",
                 ModeName(m));
    }
    EXPECT_EQ(sim.State().mode, kModeFAX);
    ExpectRefused([&] { return radio.Radio_SetMode(kModeWFM); }, "WFM");
    radio.Exit();
  }
}

TEST_F(RadioTypes, Type9) {
  Connect(9);
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); }, "FA00007055125;", "7055.125");
  ExpectSent([&] { return radio.Radio_SetFrq(0.0); }, "FA00000000000;", "0");
  ExpectSent([&] { return radio.Radio_SetFrq(2147483.647); }, "FA02147483647;", "top");
  ExpectRefused([&] { return radio.Radio_SetFrq(-1.0); }, "negative");
  const std::pair<int, int> modes[] = {{kModeLSB, 1}, {kModeUSB, 2}, {kModeCW, 3},
                                       {kModeFM, 4},  {kModeAM, 5},  {kModeRTTY, 6}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto code = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); }, "MD" + std::to_string(code) + ";",
               ModeName(m));
  }
}

TEST_F(RadioTypes, Type10CiV) {
  Connect(10);
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); },
             Bytes({0xFE, 0xFE, 0x32, 0xE0, 0x05, 0x25, 0x51, 0x05, 0x07, 0xFD}), "7055.125");
  ExpectSent([&] { return radio.Radio_SetFrq(99999.0); },
             Bytes({0xFE, 0xFE, 0x32, 0xE0, 0x05, 0x00, 0x90, 0x99, 0x99, 0xFD}), "99999: 4 bytes");
  ExpectSent([&] { return radio.Radio_SetFrq(145500.0); },
             Bytes({0xFE, 0xFE, 0x32, 0xE0, 0x05, 0x00, 0x00, 0x50, 0x45, 0x01, 0xFD}),
             "145500: 5 bytes");
  EXPECT_DOUBLE_EQ(sim.State().frqKHz, 145500.0);
  const std::pair<int, int> modes[] = {{kModeLSB, 0},  {kModeUSB, 1}, {kModeAM, 2}, {kModeCW, 3},
                                       {kModeRTTY, 4}, {kModeFM, 5},  {kModeWFM, 6}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto code = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); },
               Bytes({0xFE, 0xFE, 0x32, 0xE0, 0x01, code, 0xFD}), ModeName(m));
  }
  ExpectSent([&] { return radio.Radio_OnOff(1); }, Bytes({0, 0, 0, 1, 0x20}), "on");
  ExpectSent([&] { return radio.Radio_OnOff(0); }, Bytes({0, 0, 0, 0, 0x20}), "off");
  EXPECT_EQ(sim.State().on, 0);
}

TEST_F(RadioTypes, Type10OtherBusAddresses) {
  ASSERT_EQ(sim.Init(10, 0x48, 0xE1), 1);
  radio.SetCivAddresses(0x148, 0xE1);  // only the low byte goes on the bus
  radio.SetReceiver(10);
  ASSERT_EQ(radio.Init(sim.DevicePath(), 1), 1);
  ExpectSent([&] { return radio.Radio_SetMode(kModeAM); },
             Bytes({0xFE, 0xFE, 0x48, 0xE1, 0x01, 2, 0xFD}), "AM");
}

TEST_F(RadioTypes, Type11Sentences) {
  Connect(11);
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); }, "$PICOA,90,01,RXF,7.055125\r\n",
             "7055.125");
  ExpectSent([&] { return radio.Radio_SetFrq(0.0); }, "$PICOA,90,01,RXF,0.000000\r\n", "0");
  const std::pair<int, const char*> modes[] = {
      {kModeLSB, "LSB"}, {kModeUSB, "USB"}, {kModeCW, "CW"}, {kModeAM, "AM"}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto text = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); },
               std::string("$PICOA,90,01,MODE,") + text + "\r\n", text);
  }
  ExpectRefused([&] { return radio.Radio_SetMode(kModeFM); }, "FM");
}

TEST_F(RadioTypes, Type13FramesRepeatFrequency) {
  Connect(13);
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); },
             Bytes({0xC2, '$', 0x07, 0x05, 0x51, 0x25, 0xC2, 0x00}), "7055.125 USB");
  ExpectSent([&] { return radio.Radio_SetMode(kModeCW); },
             Bytes({0xC2, 'D', 0x07, 0x05, 0x51, 0x25, 0xC2, 0x00}), "CW");
  ExpectSent([&] { return radio.Radio_SetMode(kModeAM); },
             Bytes({0xC2, '4', 0x07, 0x05, 0x51, 0x25, 0xC2, 0x00}), "AM");
  ExpectSent([&] { return radio.Radio_SetMode(kModeUSB); },
             Bytes({0xC2, '$', 0x07, 0x05, 0x51, 0x25, 0xC2, 0x00}), "USB");
  ExpectSent([&] { return radio.Radio_SetFrq(99999.999); },
             Bytes({0xC2, '$', 0x99, 0x99, 0x99, 0x99, 0xC2, 0x00}), "top");
  ExpectRefused([&] { return radio.Radio_SetFrq(100000.0); }, "above");
  ExpectRefused([&] { return radio.Radio_SetMode(kModeLSB); }, "LSB");
  EXPECT_EQ(sim.State().mode, kModeUSB);
}

TEST_F(RadioTypes, Type14CiVAtFixedAddress) {
  radio.SetCivAddresses(0x70, 0xE0);  // overridden by the type
  Connect(14);
  EXPECT_EQ(radio.CivRadioAddress(), 0x56);
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); },
             Bytes({0xFE, 0xFE, 0x56, 0xE0, 0x05, 0x25, 0x51, 0x05, 0x07, 0x00, 0xFD}), "7055.125");
  const std::pair<int, int> modes[] = {{kModeLSB, 0}, {kModeUSB, 1},  {kModeAM, 2},
                                       {kModeCW, 3},  {kModeRTTY, 4}, {kModeFM, 5}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto code = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); },
               Bytes({0xFE, 0xFE, 0x56, 0xE0, 0x06, code, 0xFD}), ModeName(m));
  }
  ExpectRefused([&] { return radio.Radio_SetMode(kModeWFM); }, "WFM");
  ExpectSent([&] { return radio.Radio_SetVolume(0); },
             Bytes({0xFE, 0xFE, 0x56, 0xE0, 0x14, 0x01, 0x00, 0x00, 0xFD}), "volume 0");
  ExpectSent([&] { return radio.Radio_SetVolume(255); },
             Bytes({0xFE, 0xFE, 0x56, 0xE0, 0x14, 0x01, 0x02, 0x55, 0xFD}), "volume 255");
  EXPECT_EQ(sim.State().vol, 255);
  ExpectSent([&] { return radio.Radio_SetSquelch(0); },
             Bytes({0xFE, 0xFE, 0x56, 0xE0, 0x14, 0x03, 0x00, 0x00, 0xFD}), "squelch 0");
  ExpectSent([&] { return radio.Radio_SetSquelch(128); },
             Bytes({0xFE, 0xFE, 0x56, 0xE0, 0x14, 0x03, 0x01, 0x28, 0xFD}), "squelch 128");
  EXPECT_EQ(sim.State().sql, 128);
  ExpectSent([&] { return radio.Radio_SetPTT(1); },
             Bytes({0xFE, 0xFE, 0x56, 0xE0, 0x1C, 0x00, 0x01, 0xFD}), "ptt on");
  ExpectSent([&] { return radio.Radio_SetPTT(0); },
             Bytes({0xFE, 0xFE, 0x56, 0xE0, 0x1C, 0x00, 0x00, 0xFD}), "ptt off");
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
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); }, "F0705513\r", "7055.125");
  ExpectSent([&] { return radio.Radio_SetFrq(99999.99); }, "F9999999\r", "top");
  ExpectRefused([&] { return radio.Radio_SetFrq(100000.0); }, "above");
  const std::pair<int, const char*> modes[] = {{kModeUSB, "M1\r"},  {kModeLSB, "M2\r"},
                                               {kModeRTTY, "M3\r"}, {kModeCW, "M4\r"},
                                               {kModeFM, "M5\r"},   {kModeAM, "M6\r"}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto text = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); }, text, ModeName(m));
  }
  ExpectSent([&] { return radio.Radio_SetAtt(1); }, "G-\r", "att on");
  EXPECT_EQ(sim.State().att, 1);
  ExpectSent([&] { return radio.Radio_SetAtt(0); }, "G0\r", "att off");
  for (int w : {3, 6, 15, 50, 230}) {
    ExpectSent([&] { return radio.Radio_SetZFWidth(w); }, "W" + std::to_string(w) + "\r",
               "width " + std::to_string(w));
    EXPECT_EQ(sim.State().ifw, w);
  }
  ExpectRefused([&] { return radio.Radio_SetZFWidth(0); }, "width 0");
}

TEST_F(RadioTypes, Type17) {
  Connect(17);
  ExpectSent([&] { return radio.Radio_OnOff(1); }, "T1\r", "on");
  ExpectSent([&] { return radio.Radio_OnOff(0); }, "T0\r", "off");
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); }, "H1\rF0007055125\r", "7055.125");
  ExpectSent([&] { return radio.Radio_SetFrq(2147483.647); }, "H1\rF2147483647\r", "top");
  const std::pair<int, int> modes[] = {{kModeRTTY, 0}, {kModeCW, 1}, {kModeUSB, 2}, {kModeLSB, 3},
                                       {kModeAM, 4},   {kModeFM, 5}, {kModeFAX, 6}, {kModeWFM, 9}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto code = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); }, "H1\rD" + std::to_string(code) + "\r",
               ModeName(m));
  }
  ExpectSent([&] { return radio.Radio_SetAtt(1); }, "A1\r", "att on");
  ExpectSent([&] { return radio.Radio_SetAtt(0); }, "A0\r", "att off");
  EXPECT_EQ(sim.State().att, 0);
}

TEST_F(RadioTypes, Type18BcdHighFirst) {
  Connect(18);
  ExpectSent([&] { return radio.Radio_OnOff(1); }, Bytes({0, 0, 0, 0, 0x00}), "on");
  ExpectSent([&] { return radio.Radio_OnOff(0); }, Bytes({0, 0, 0, 0, 0x80}), "off");
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); }, Bytes({0x00, 0x70, 0x55, 0x13, 0x01}),
             "7055.125");
  ExpectSent([&] { return radio.Radio_SetFrq(999999.99); }, Bytes({0x99, 0x99, 0x99, 0x99, 0x01}),
             "top");
  const std::pair<int, int> modes[] = {{kModeLSB, 0x00}, {kModeUSB, 0x01}, {kModeCW, 0x02},
                                       {kModeAM, 0x04},  {kModeFM, 0x08},  {kModeCWN, 0x82},
                                       {kModeAMN, 0x84}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto code = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); }, Bytes({code, 0, 0, 0, 0x07}), ModeName(m));
  }
  EXPECT_EQ(sim.State().mode, kModeAMN);
}

TEST_F(RadioTypes, Type19) {
  Connect(19);
  ExpectSent([&] { return radio.Radio_OnOff(1); }, Bytes({0, 0, 0, 0, 0x80}), "on");
  EXPECT_EQ(sim.State().on, 1);
  ExpectSent([&] { return radio.Radio_OnOff(0); }, Bytes({0, 0, 0, 0, 0x00}), "off");
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); }, Bytes({0x13, 0x55, 0x70, 0x00, 0x08}),
             "7055.125");
  const std::pair<int, int> modes[] = {{kModeLSB, 16}, {kModeUSB, 17}, {kModeCW, 18},
                                       {kModeCWN, 19}, {kModeAM, 20},  {kModeAMN, 21},
                                       {kModeFM, 23}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto code = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); }, Bytes({0, 0, 0, code, 0x0A}), ModeName(m));
  }
}

TEST_F(RadioTypes, Type20QuarterSteps) {
  Connect(20);
  ExpectSent([&] { return radio.Radio_OnOff(1); }, Bytes({0, 0, 0, 0x00, 0x00}), "on");
  ExpectSent([&] { return radio.Radio_OnOff(0); }, Bytes({0, 0, 0, 0x80, 0x00}), "off");
  // 7055125 Hz: 100-Hz digit 1, 25 Hz = step 1 (flag 2), then 55, 70, 00.
  ExpectSent([&] { return radio.Radio_SetFrq(7055.125); }, Bytes({0x12, 0x55, 0x70, 0x00, 0x01}),
             "7055.125");
  EXPECT_DOUBLE_EQ(sim.State().frqKHz, 7055.125);
  ExpectSent([&] { return radio.Radio_SetFrq(999999.999); }, Bytes({0x98, 0x99, 0x99, 0x99, 0x01}),
             "top: 99 Hz is step 3");
  ExpectSent([&] { return radio.Radio_SetFrq(0.0); }, Bytes({0x01, 0, 0, 0, 0x01}), "0: step 0");
  ExpectRefused([&] { return radio.Radio_SetFrq(1000000.0); }, "above");
  const std::pair<int, int> modes[] = {{kModeAM, 0}, {kModeLSB, 1}, {kModeUSB, 2}, {kModeCW, 3},
                                       {kModeFM, 4}, {kModeAMN, 8}, {kModeCWN, 11}};
  for (const auto& e_ : modes) {
    const auto m = e_.first;
    const auto code = e_.second;
    ExpectSent([&] { return radio.Radio_SetMode(m); }, Bytes({0, 0, 0, code, 0x80}), ModeName(m));
  }
}

TEST_F(RadioTypes, Type21RefusesEverything) {
  Connect(21);
  ExpectRefused([&] { return radio.Radio_SetFrq(7055.125); }, "frequency");
  ExpectRefused([&] { return radio.Radio_SetMode(kModeUSB); }, "mode");
  ExpectRefused([&] { return radio.Radio_SetAtt(1); }, "attenuator");
  ExpectRefused([&] { return radio.Radio_OnOff(1); }, "on");
  ExpectRefused([&] { return radio.Radio_SetPTT(1); }, "ptt");
  EXPECT_EQ(radio.CapabilityMask, 0u);  // the receiver page offers no controls
}

}  // namespace
