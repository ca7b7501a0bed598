// The ASCII command sets: types 3, 4, 5, 8, 9, 11, 15, 16 and 17.
#include <iterator>

#include "spl/radio/receiver_handlers.h"

namespace {

using H = RadioHandlers;

constexpr DWORD kModePauseMs = 50;  // types 8, 16, 17 need time after each mode command
constexpr double kMHzPerKHz = 0.001;
constexpr int kLevelMax = 255;
constexpr int kType15WidthMax = 999;  // what fits the receiver's width field

constexpr ModeCode kType3Modes[] = {
    {kModeUSB, 1}, {kModeASF, 2}, {kModeCW, 3},  {kModeAM, 4},
    {kModeLSB, 5}, {kModeFM, 6},  {kModeASL, 7}, {kModeASU, 8},
};
constexpr ModeCode kType4Letters[] = {
    {kModeAM, 'A'}, {kModeLSB, 'L'}, {kModeUSB, 'U'},
    {kModeCW, 'C'}, {kModeFM, 'N'},  {kModeWFM, 'W'},
};
constexpr ModeCode kType5Modes[] = {
    {kModeFM, 0}, {kModeAM, 1}, {kModeLSB, 2}, {kModeUSB, 3}, {kModeCW, 4},
};
// Width in kHz → the receiver's bandwidth code.
constexpr ModeCode kType5Widths[] = {
    {0, 0}, {3, 1}, {6, 2}, {15, 3}, {30, 4}, {110, 5}, {220, 6},
};
constexpr ModeCode kType8Modes[] = {
    {kModeRTTY, 0}, {kModeCW, 1}, {kModeUSB, 2}, {kModeLSB, 3},
    {kModeAM, 4},   {kModeFM, 5}, {kModeFAX, 6},
};
constexpr ModeCode kType17Modes[] = {
    {kModeRTTY, 0}, {kModeCW, 1}, {kModeUSB, 2}, {kModeLSB, 3},
    {kModeAM, 4},   {kModeFM, 5}, {kModeFAX, 6}, {kModeWFM, 9},
};
constexpr ModeCode kType9Modes[] = {
    {kModeLSB, 1}, {kModeUSB, 2}, {kModeCW, 3}, {kModeFM, 4}, {kModeAM, 5}, {kModeRTTY, 6},
};
struct ModeText {
  int mode;
  const char* text;
};
constexpr ModeText kType11Modes[] = {
    {kModeLSB, "$PICOA,90,01,MODE,LSB\r\n"},
    {kModeUSB, "$PICOA,90,01,MODE,USB\r\n"},
    {kModeCW, "$PICOA,90,01,MODE,CW\r\n"},
    {kModeAM, "$PICOA,90,01,MODE,AM\r\n"},
};
constexpr ModeText kType15Modes[] = {
    {kModeUSB, "M1\r"}, {kModeLSB, "M2\r"}, {kModeRTTY, "M3\r"},
    {kModeCW, "M4\r"},  {kModeFM, "M5\r"},  {kModeAM, "M6\r"},
};

const char* FindText(const ModeText* table, int count, int mode) {
  for (int i = 0; i < count; ++i)
    if (table[i].mode == mode) return table[i].text;
  return nullptr;
}

// Type 15 takes its commands one byte per write.
int SendBytewise(CRadio& r, const std::string& text) {
  int ok = 1;
  for (size_t i = 0; i < text.size() && ok; ++i) ok = H::Send(r, text.substr(i, 1));
  return ok;
}

int SendType4(CRadio& r) {
  int letter;
  if (!H::Lookup(kType4Letters, r.CurrentMode(), letter)) return 0;
  return H::Send(r, H::Format("%010.5f%c\r", r.LastFrq() * kMHzPerKHz, letter));
}

}  // namespace

int RadioHandlers::Type3Frq(CRadio& r, double kHz) {
  return Send(r, Format("FU%07lld\r", TenHz(kHz)));
}

int RadioHandlers::Type3Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType3Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  return Send(r, Format("MU%d\r", code));
}

int RadioHandlers::Type4Frq(CRadio& r, double kHz) {
  r.last_frq_ = kHz;  // kept even when the current mode cannot be sent
  return SendType4(r);
}

int RadioHandlers::Type4Mode(CRadio& r, int mode) {
  int letter;
  if (!Lookup(kType4Letters, mode, letter)) return 0;
  r.current_mode_ = mode;
  return SendType4(r);
}

int RadioHandlers::Type5Frq(CRadio& r, double kHz) {
  return Send(r, Format("VA%lld\r\n", Hz(kHz)));
}

int RadioHandlers::Type5Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType5Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  return Send(r, Format("MD%d\r\n", code));
}

int RadioHandlers::Type5Width(CRadio& r, int kHz) {
  int code;
  if (!Lookup(kType5Widths, kHz, code)) return 0;
  return Send(r, Format("BW%d\r\n", code));
}

int RadioHandlers::Type5Squelch(CRadio& r, int level) {
  return Send(r, Format("RQ%03d\r\n", kLevelMax - level));
}

int RadioHandlers::Type8OnOff(CRadio& r, int on) { return Send(r, Format("H%d\r", on ? 1 : 0)); }

int RadioHandlers::Type8Frq(CRadio& r, double kHz) {
  return Send(r, Format("H1\rF%08lld\r", Hz(kHz)));
}

int RadioHandlers::Type16Frq(CRadio& r, double kHz) {
  return Send(r, Format("H1\rF%08lld\r", TenHz(kHz)));
}

static int SendModeWithPauses(CRadio& r, int code) {
  int ok = H::Send(r, "H1\r");
  H::Pause(r, kModePauseMs);
  if (ok) ok = H::Send(r, H::Format("D%d\r", code));
  H::Pause(r, kModePauseMs);
  return ok;
}

int RadioHandlers::Type8Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType8Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  return SendModeWithPauses(r, code);
}

int RadioHandlers::Type17OnOff(CRadio& r, int on) { return Send(r, Format("T%d\r", on ? 1 : 0)); }

int RadioHandlers::Type17Frq(CRadio& r, double kHz) {
  return Send(r, Format("H1\rF%010lld\r", Hz(kHz)));
}

int RadioHandlers::Type17Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType17Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  return SendModeWithPauses(r, code);
}

// The attenuator command of this set is the letter A; it is sent with the switch state as
// its digit ("A1" on, "A0" off) in the form of the set's other one-letter switches (T, H).
int RadioHandlers::Type17Att(CRadio& r, int on) { return Send(r, Format("A%d\r", on ? 1 : 0)); }

int RadioHandlers::Type9Frq(CRadio& r, double kHz) {
  return Send(r, Format("FA%011lld;", Hz(kHz)));
}

int RadioHandlers::Type9Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kType9Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  return Send(r, Format("MD%d;", code));
}

int RadioHandlers::Type11Frq(CRadio& r, double kHz) {
  return Send(r, Format("$PICOA,90,01,RXF,%f\r\n", kHz * kMHzPerKHz));
}

int RadioHandlers::Type11Mode(CRadio& r, int mode) {
  const char* text = FindText(kType11Modes, int(std::size(kType11Modes)), mode);
  if (!text) return 0;
  r.current_mode_ = mode;
  return Send(r, text);
}

int RadioHandlers::Type15Frq(CRadio& r, double kHz) {
  return SendBytewise(r, Format("F%07lld\r", TenHz(kHz)));
}

int RadioHandlers::Type15Mode(CRadio& r, int mode) {
  const char* text = FindText(kType15Modes, int(std::size(kType15Modes)), mode);
  if (!text) return 0;
  r.current_mode_ = mode;
  return SendBytewise(r, text);
}

int RadioHandlers::Type15Att(CRadio& r, int on) { return SendBytewise(r, on ? "G-\r" : "G0\r"); }

// The width goes out in whole kHz, the unit every caller uses ("W3", "W6", ... "W230").
int RadioHandlers::Type15Width(CRadio& r, int kHz) {
  if (kHz < 1 || kHz > kType15WidthMax) return 0;
  return SendBytewise(r, Format("W%d\r", kHz));
}
