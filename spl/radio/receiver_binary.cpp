// The binary frame sets: type 6 (P1 frames with hex digits), types 7, 18, 19, 20 and 23
// (five-byte BCD frames: four parameter bytes, then the command) and type 13 (C2 frames).
#include "spl/radio/receiver_handlers.h"

namespace {

using H = RadioHandlers;

// Type 6.
constexpr unsigned char kP1Start = 0x81;
constexpr unsigned char kP1VolumeStart = 0x83;
constexpr unsigned char kP1End = 0x80;
constexpr unsigned char kHexEven = 0x30;  // a hex digit in an even position of a run
constexpr unsigned char kHexOdd = 0x60;   // ... and in an odd position
constexpr double kType6StepsPerKHz = 376.6352233886719;
constexpr int kType6VolumeSpan = 50;
constexpr int kType6VolumeBase = 15;
constexpr int kLevelMax = 255;
constexpr ModeCode kType6Modes[] = {
    {kModeAM, 1}, {kModeFM, 3}, {kModeCW, 5}, {kModeUSB, 7}, {kModeLSB, 8},
};

// Five-byte frames.
constexpr int kFrqDigits = 8;
constexpr ModeCode kType7Modes[] = {
    {kModeLSB, 0}, {kModeUSB, 1}, {kModeCW, 2}, {kModeCWN, 3},
    {kModeAM, 4},  {kModeAMN, 5}, {kModeFM, 6},
};
constexpr ModeCode kType18Modes[] = {
    {kModeLSB, 0x00}, {kModeUSB, 0x01}, {kModeCW, 0x02},  {kModeAM, 0x04},
    {kModeFM, 0x08},  {kModeCWN, 0x82}, {kModeAMN, 0x84},
};
constexpr ModeCode kType19Modes[] = {
    {kModeLSB, 16}, {kModeUSB, 17}, {kModeCW, 18}, {kModeCWN, 19},
    {kModeAM, 20},  {kModeAMN, 21}, {kModeFM, 23},
};
constexpr ModeCode kType20Modes[] = {
    {kModeAM, 0}, {kModeLSB, 1}, {kModeUSB, 2},  {kModeCW, 3},
    {kModeFM, 4}, {kModeAMN, 8}, {kModeCWN, 11},
};
constexpr unsigned char kType7Frq = 0x0A, kType7Mode = 0x0C;
constexpr unsigned char kType18Power = 0x00, kType18PowerOff = 0x80, kType18Frq = 0x01,
                        kType18Mode = 0x07;
constexpr unsigned char kType19PowerOn = 0x80, kType19PowerOff = 0x00, kType19Frq = 0x08,
                        kType19Mode = 0x0A;
constexpr unsigned char kType20Power = 0x00, kType20Off = 0x80, kType20Frq = 0x01,
                        kType20Mode = 0x80;
constexpr int kType20StepHz = 25;

// Type 13.
constexpr unsigned char kC2 = 0xC2;
constexpr ModeCode kType13Bytes[] = {{kModeCW, 'D'}, {kModeAM, '4'}};
constexpr ModeCode kType13Modes[] = {{kModeUSB, 0}, {kModeCW, 0}, {kModeAM, 0}};
constexpr unsigned char kType13OtherMode = '$';

int SendFrame5(CRadio& r, unsigned char a, unsigned char b, unsigned char c, unsigned char d,
               unsigned char command) {
  const unsigned char frame[5] = {a, b, c, d, command};
  return H::SendBytes(r, frame, 5);
}

int HexValue(char digit) { return digit <= '9' ? digit - '0' : digit - 'A' + 10; }

int SendType13(CRadio& r) {
  int modeByte = kType13OtherMode;
  H::Lookup(kType13Bytes, r.CurrentMode(), modeByte);
  unsigned char frame[8] = {kC2, static_cast<unsigned char>(modeByte)};
  CRadio::MakeBCD(int(H::Hz(r.LastFrq())), kFrqDigits, frame + 2);
  frame[6] = kC2;
  frame[7] = 0x00;
  return H::SendBytes(r, frame, 8);
}

}  // namespace

int RadioHandlers::Type6Frq(CRadio& r, double kHz) {
  long long steps = (long long)(kHz * kType6StepsPerKHz + 0.5);
  std::string hex = Format("%06llX", steps);
  unsigned char frame[13] = {kP1Start, 'P', '1', 'J'};
  for (int i = 0; i < 6; ++i)
    frame[4 + i] = static_cast<unsigned char>((i % 2 ? kHexOdd : kHexEven) + HexValue(hex[i]));
  frame[10] = '!';
  frame[11] = ',';
  frame[12] = kP1End;
  return SendBytes(r, frame, 13);
}

int RadioHandlers::Type6Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType6Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  const unsigned char frame[8] = {
      kP1Start, 'P', '1', 'M', '0', static_cast<unsigned char>(kHexOdd + code), '"', kP1End};
  return SendBytes(r, frame, 8);
}

int RadioHandlers::Type6Volume(CRadio& r, int level) {
  int v = level * kType6VolumeSpan / kLevelMax + kType6VolumeBase;
  const unsigned char frame[8] = {kP1VolumeStart,
                                  'P',
                                  '1',
                                  'N',
                                  static_cast<unsigned char>(kHexEven + (v >> 4)),
                                  static_cast<unsigned char>(kHexOdd + (v & 0xF)),
                                  '"',
                                  kP1End};
  return SendBytes(r, frame, 8);
}

int RadioHandlers::Type7Frq(CRadio& r, double kHz) {
  unsigned char bcd[4];
  CRadio::MakeBCDRevers(int(TenHz(kHz)), kFrqDigits, bcd);
  return SendFrame5(r, bcd[0], bcd[1], bcd[2], bcd[3], kType7Frq);
}

int RadioHandlers::Type7Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType7Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  return SendFrame5(r, 0, 0, 0, static_cast<unsigned char>(code), kType7Mode);
}

int RadioHandlers::Type18OnOff(CRadio& r, int on) {
  return SendFrame5(r, 0, 0, 0, 0, on ? kType18Power : kType18PowerOff);
}

int RadioHandlers::Type18Frq(CRadio& r, double kHz) {
  unsigned char bcd[4];
  CRadio::MakeBCD(int(TenHz(kHz)), kFrqDigits, bcd);
  return SendFrame5(r, bcd[0], bcd[1], bcd[2], bcd[3], kType18Frq);
}

int RadioHandlers::Type18Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType18Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  return SendFrame5(r, static_cast<unsigned char>(code), 0, 0, 0, kType18Mode);
}

int RadioHandlers::Type19OnOff(CRadio& r, int on) {
  return SendFrame5(r, 0, 0, 0, 0, on ? kType19PowerOn : kType19PowerOff);
}

int RadioHandlers::Type19Frq(CRadio& r, double kHz) {
  unsigned char bcd[4];
  CRadio::MakeBCDRevers(int(TenHz(kHz)), kFrqDigits, bcd);
  return SendFrame5(r, bcd[0], bcd[1], bcd[2], bcd[3], kType19Frq);
}

int RadioHandlers::Type19Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType19Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  return SendFrame5(r, 0, 0, 0, static_cast<unsigned char>(code), kType19Mode);
}

int RadioHandlers::Type20OnOff(CRadio& r, int on) {
  return SendFrame5(r, 0, 0, 0, on ? kType20Power : kType20Off, kType20Power);
}

int RadioHandlers::Type20Frq(CRadio& r, double kHz) {
  long long hz = Hz(kHz);
  auto digit = [hz](long long unit) { return unsigned((hz / unit) % 10); };
  unsigned step = unsigned((hz % 100) / kType20StepHz);  // which 25-Hz step, 0..3
  unsigned char b0 = static_cast<unsigned char>((digit(100) << 4) | (1u << step));
  unsigned char b1 = static_cast<unsigned char>((digit(10000) << 4) | digit(1000));
  unsigned char b2 = static_cast<unsigned char>((digit(1000000) << 4) | digit(100000));
  unsigned char b3 = static_cast<unsigned char>((digit(100000000) << 4) | digit(10000000));
  return SendFrame5(r, b0, b1, b2, b3, kType20Frq);
}

int RadioHandlers::Type20Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType20Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  return SendFrame5(r, 0, 0, 0, static_cast<unsigned char>(code), kType20Mode);
}

int RadioHandlers::Type13Frq(CRadio& r, double kHz) {
  r.last_frq_ = kHz;
  return SendType13(r);
}

int RadioHandlers::Type13Mode(CRadio& r, int mode) {
  int unused;
  if (!Lookup(kType13Modes, mode, unused)) return 0;
  r.current_mode_ = mode;
  return SendType13(r);
}
