// CI-V frames (types 10 and 14): 0xFE 0xFE, receiver address, controller address,
// command, data, 0xFD; frequencies as packed BCD, least significant digit pair first.
#include "spl/radio/receiver_handlers.h"

namespace {

using H = RadioHandlers;

constexpr unsigned char kPreamble = 0xFE;
constexpr unsigned char kEnd = 0xFD;
constexpr int kMaxData = 16;
constexpr unsigned char kCmdFrq = 0x05;
constexpr unsigned char kCmdMode10 = 0x01;
constexpr unsigned char kCmdMode14 = 0x06;
constexpr unsigned char kCmdLevel = 0x14;
constexpr unsigned char kSubVolume = 0x01;
constexpr unsigned char kSubSquelch = 0x03;
constexpr unsigned char kCmdTransmit = 0x1C;
constexpr unsigned char kSubPTT = 0x00;
constexpr unsigned char kType10Power = 0x20;  // a plain five-byte frame, not CI-V
constexpr double kType10TenDigitsFromKHz = 100000.0;
constexpr int kFrqDigitsLow = 8;
constexpr int kFrqDigitsHigh = 10;
constexpr int kLevelDigits = 3;
constexpr DWORD kLevelPauseMs = 100;
constexpr DWORD kPttOnPauseMs = 250;

constexpr ModeCode kType10Modes[] = {
    {kModeLSB, 0},  {kModeUSB, 1}, {kModeAM, 2},  {kModeCW, 3},
    {kModeRTTY, 4}, {kModeFM, 5},  {kModeWFM, 6},
};
constexpr ModeCode kType14Modes[] = {
    {kModeLSB, 0}, {kModeUSB, 1}, {kModeAM, 2}, {kModeCW, 3}, {kModeRTTY, 4}, {kModeFM, 5},
};

int SendLevel(CRadio& r, unsigned char sub, int level) {
  unsigned char data[1 + 2] = {sub};
  int n = CRadio::MakeBCD(level, kLevelDigits, data + 1);
  int ok = H::SendCiv(r, kCmdLevel, data, 1 + n);
  H::Pause(r, kLevelPauseMs);
  return ok;
}

}  // namespace

int RadioHandlers::SendCiv(CRadio& r, int command, const unsigned char* data, int length) {
  if (length < 0 || length > kMaxData) return 0;
  unsigned char frame[5 + kMaxData + 1];
  int n = 0;
  frame[n++] = kPreamble;
  frame[n++] = kPreamble;
  frame[n++] = static_cast<unsigned char>(r.civ_radio_);
  frame[n++] = static_cast<unsigned char>(r.civ_controller_);
  frame[n++] = static_cast<unsigned char>(command);
  for (int i = 0; i < length; ++i) frame[n++] = data[i];
  frame[n++] = kEnd;
  return SendBytes(r, frame, n);
}

int RadioHandlers::Type10OnOff(CRadio& r, int on) {
  const unsigned char frame[5] = {0, 0, 0, static_cast<unsigned char>(on ? 1 : 0), kType10Power};
  return SendBytes(r, frame, 5);
}

int RadioHandlers::Type10Frq(CRadio& r, double kHz) {
  unsigned char data[kFrqDigitsHigh / 2];
  int digits = kHz < kType10TenDigitsFromKHz ? kFrqDigitsLow : kFrqDigitsHigh;
  int n = CRadio::MakeBCDRevers(int(Hz(kHz)), digits, data);
  return SendCiv(r, kCmdFrq, data, n);
}

int RadioHandlers::Type10Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType10Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  const unsigned char data[1] = {static_cast<unsigned char>(code)};
  return SendCiv(r, kCmdMode10, data, 1);
}

int RadioHandlers::Type14Frq(CRadio& r, double kHz) {
  unsigned char data[kFrqDigitsHigh / 2];
  int n = CRadio::MakeBCDRevers(int(Hz(kHz)), kFrqDigitsHigh, data);
  return SendCiv(r, kCmdFrq, data, n);
}

int RadioHandlers::Type14Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType14Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  const unsigned char data[1] = {static_cast<unsigned char>(code)};
  return SendCiv(r, kCmdMode14, data, 1);
}

int RadioHandlers::Type14Volume(CRadio& r, int level) { return SendLevel(r, kSubVolume, level); }

int RadioHandlers::Type14Squelch(CRadio& r, int level) { return SendLevel(r, kSubSquelch, level); }

int RadioHandlers::Type14PTT(CRadio& r, int on) {
  const unsigned char data[2] = {kSubPTT, static_cast<unsigned char>(on ? 1 : 0)};
  int ok = SendCiv(r, kCmdTransmit, data, 2);
  if (on) Pause(r, kPttOnPauseMs);
  return ok;
}
