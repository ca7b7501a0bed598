// The command handlers of the receiver types, grouped by command family (one source file
// per family). Handlers reach into CRadio as its friend; the table of receiver_table.cpp
// binds them. Mode and width codes are kept as small tables beside each handler.
#pragma once
#include <string>
#include <vector>

#include "spl/radio/radio.h"

// One "mode value → code sent" pair; a mode that is not in a handler's list is refused.
struct ModeCode {
  int mode;
  int code;
};

struct RadioHandlers {
  // Shared helpers.
  static int Send(CRadio& r, const std::string& text);
  static int SendBytes(CRadio& r, const unsigned char* bytes, int length);
  // printf into a string (commands are short).
  static std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
  static long long Hz(double kHz);      // trunc(kHz * 1000 + 0.5)
  static long long TenHz(double kHz);   // trunc(kHz * 100 + 0.5)
  // The code of mode in table[0..count); 1 and code, or 0 when the mode is not listed.
  static int Lookup(const ModeCode* table, int count, int mode, int& code);
  template <int N>
  static int Lookup(const ModeCode (&table)[N], int mode, int& code) {
    return Lookup(table, N, mode, code);
  }
  static void Pause(CRadio& r, DWORD ms) { r.Pause(ms); }

  // PTT shared by most types: on → RTS and DTR on and a break on the data line.
  static int SharedPTT(CRadio& r, int on);

  // Types 1 and 2: pulse-distance key codes (rx_keycodes.cpp).
  static int KeyFrqWithFraction(CRadio& r, double kHz);  // type 1
  static int KeyFrq(CRadio& r, double kHz);              // type 2
  static int KeyMode(CRadio& r, int mode);               // type 1
  // The bytes of one key code of bits bits (most significant first), as one TxCom writes it.
  static std::string KeyCodeBuffer(int code, int bits);

  // ASCII command sets (rx_ascii.cpp).
  static int Type3Frq(CRadio& r, double kHz);
  static int Type3Mode(CRadio& r, int mode);
  static int Type4Frq(CRadio& r, double kHz);
  static int Type4Mode(CRadio& r, int mode);
  static int Type5Frq(CRadio& r, double kHz);
  static int Type5Mode(CRadio& r, int mode);
  static int Type5Width(CRadio& r, int kHz);
  static int Type5Squelch(CRadio& r, int level);
  static int Type8OnOff(CRadio& r, int on);  // types 8 and 16
  static int Type8Frq(CRadio& r, double kHz);
  static int Type16Frq(CRadio& r, double kHz);
  static int Type8Mode(CRadio& r, int mode);  // types 8 and 16
  static int Type17OnOff(CRadio& r, int on);
  static int Type17Frq(CRadio& r, double kHz);
  static int Type17Mode(CRadio& r, int mode);
  static int Type17Att(CRadio& r, int on);
  static int Type9Frq(CRadio& r, double kHz);
  static int Type9Mode(CRadio& r, int mode);
  static int Type11Frq(CRadio& r, double kHz);
  static int Type11Mode(CRadio& r, int mode);
  static int Type15Frq(CRadio& r, double kHz);
  static int Type15Mode(CRadio& r, int mode);
  static int Type15Att(CRadio& r, int on);
  static int Type15Width(CRadio& r, int kHz);

  // Binary frames (rx_binary.cpp).
  static int Type6Frq(CRadio& r, double kHz);
  static int Type6Mode(CRadio& r, int mode);
  static int Type6Volume(CRadio& r, int level);
  static int Type7Frq(CRadio& r, double kHz);  // types 7 and 23
  static int Type7Mode(CRadio& r, int mode);
  static int Type18OnOff(CRadio& r, int on);
  static int Type18Frq(CRadio& r, double kHz);
  static int Type18Mode(CRadio& r, int mode);
  static int Type19OnOff(CRadio& r, int on);
  static int Type19Frq(CRadio& r, double kHz);
  static int Type19Mode(CRadio& r, int mode);
  static int Type20OnOff(CRadio& r, int on);
  static int Type20Frq(CRadio& r, double kHz);
  static int Type20Mode(CRadio& r, int mode);
  static int Type13Frq(CRadio& r, double kHz);
  static int Type13Mode(CRadio& r, int mode);

  // CI-V frames (rx_civ.cpp).
  static int SendCiv(CRadio& r, int command, const unsigned char* data, int length);
  static int Type10OnOff(CRadio& r, int on);
  static int Type10Frq(CRadio& r, double kHz);
  static int Type10Mode(CRadio& r, int mode);
  static int Type14Frq(CRadio& r, double kHz);
  static int Type14Mode(CRadio& r, int mode);
  static int Type14Volume(CRadio& r, int level);
  static int Type14Squelch(CRadio& r, int level);
  static int Type14PTT(CRadio& r, int on);

  // The PCR command set of types 12 and 22 (rx_pcr.cpp).
  static int PcrOnOff(CRadio& r, int on);
  static int Pcr12Frq(CRadio& r, double kHz);
  static int Pcr22Frq(CRadio& r, double kHz);
  static int Pcr12Mode(CRadio& r, int mode);
  static int Pcr22Mode(CRadio& r, int mode);
  static int Pcr12Width(CRadio& r, int kHz);
  static int Pcr22Width(CRadio& r, int kHz);
  static int PcrAtt(CRadio& r, int on);
  static int PcrAGC(CRadio& r, int on);
  static int PcrNB(CRadio& r, int on);
  static int PcrVolume(CRadio& r, int level);
  static int PcrSquelch(CRadio& r, int level);
  static int PcrSMeter(CRadio& r);
  static void Pcr12Parse(CRadio& r, int c);
  static void Pcr22Parse(CRadio& r, int c);
  static void PcrKeepAlive(CRadio& r);
  static void PcrParse(CRadio& r, int c, char closedBelow);

  // rigctld's text protocol over TCP, type 24 (receiver_rigctld.cpp).
  static int RigctldFrq(CRadio& r, double kHz);
  static int RigctldMode(CRadio& r, int mode);
  static int RigctldWidth(CRadio& r, int kHz);
  static int RigctldAtt(CRadio& r, int on);
  static int RigctldAGC(CRadio& r, int on);
  static int RigctldNB(CRadio& r, int on);
  static int RigctldVolume(CRadio& r, int level);
  static int RigctldSquelch(CRadio& r, int level);
  static int RigctldSMeter(CRadio& r);
  static void RigctldParse(CRadio& r, int c);
  // One command and its answer: the value lines (up to values of them; -1: all until the
  // closing "RPRT" line). 1 when answered without an error, or when no connection is open
  // (the command counts as handed over, as TxCom has it); 0 with RefusalText() set.
  static int RigctldAsk(CRadio& r, const std::string& command, int values,
                        std::vector<std::string>* lines);
  static void RigctldReadCaps(CRadio& r);
  // rigctld's S-meter (dB relative to S9) on the station's 0..255 scale.
  static int RigctldSMeterValue(int dbOverS9);
};
