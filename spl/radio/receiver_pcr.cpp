// The PCR command set of types 12 and 22: ASCII commands with hexadecimal parameters, and
// the receiver's "I0.." squelch and "I1.." signal reports.
#include <cctype>
#include <iterator>

#include "spl/radio/receiver_handlers.h"

namespace {

using H = RadioHandlers;

// Power-on sequence, one write per string, in this order.
constexpr const char* kPowerOn[] = {
    "H101\r\n", "G301\r\n", "J4101", "J5100",   "J5000",    "J4380",          "J4500",
    "J4600",    "J4700",    "J4A80", "LD82000", "ME00001",  "C8050000001000", "J8001",
    "J8100",    "J8200",    "J8300", "J4085",   "G105\r\n",
};
constexpr const char* kPowerOff = "H100\r\n";
constexpr const char* kKeepAlive = "H101";
constexpr int kFastBaud = 38400;  // the receiver's rate after the power-on sequence
constexpr DWORD kDrainMs = 3000;

constexpr ModeCode kPcr12Modes[] = {
    {kModeLSB, 0}, {kModeUSB, 1}, {kModeAM, 2}, {kModeCW, 3}, {kModeFM, 5}, {kModeWFM, 6},
};
constexpr ModeCode kPcr22Modes[] = {{kModeAM, 2}, {kModeFM, 5}, {kModeWFM, 6}};
// IF width in kHz → filter code.
constexpr ModeCode kPcrFilters[] = {{3, 0}, {6, 1}, {15, 2}, {50, 3}, {230, 4}};
constexpr ModeCode kPcr22Filters[] = {{15, 2}, {50, 3}, {230, 4}};
constexpr int kPcr22OtherFilter = 1;

constexpr char kSquelchClosedBelow12 = '6';
constexpr char kSquelchClosedBelow22 = '2';
constexpr int kReportLength = 4;  // "I0" or "I1" and two hex digits

int SendFrequency(CRadio& r, const ModeCode* modes, int count) {
  int code;
  if (!H::Lookup(modes, count, r.CurrentMode(), code)) return 0;
  return H::Send(r, H::Format("K%011lld%02d%02d%02d", H::Hz(r.LastFrq()), code, r.FilterCode(), 0));
}

int HexValue(char c) {
  return c <= '9' ? c - '0' : (toupper(static_cast<unsigned char>(c)) - 'A' + 10);
}

}  // namespace

int RadioHandlers::PcrOnOff(CRadio& r, int on) {
  if (!on) return Send(r, kPowerOff);
  int ok = 1;
  for (const char* command : kPowerOn)
    if (ok) ok = Send(r, command);
  if (!ok) return 0;
  r.port_.Drain(kDrainMs);
  // The stored rate stays as it is, so that a new connection starts at the slow rate.
  r.SetBaud(kFastBaud, r.line_.dataBits, r.line_.parity, r.line_.stopBits);
  return 1;
}

int RadioHandlers::Pcr12Frq(CRadio& r, double kHz) {
  r.last_frq_ = kHz;
  return SendFrequency(r, kPcr12Modes, int(std::size(kPcr12Modes)));
}

int RadioHandlers::Pcr22Frq(CRadio& r, double kHz) {
  r.last_frq_ = kHz;
  return SendFrequency(r, kPcr22Modes, int(std::size(kPcr22Modes)));
}

int RadioHandlers::Pcr12Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kPcr12Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  return SendFrequency(r, kPcr12Modes, int(std::size(kPcr12Modes)));
}

int RadioHandlers::Pcr22Mode(CRadio& r, int mode) {
  int code;
  if (!Lookup(kPcr22Modes, mode, code)) return 0;
  r.current_mode_ = mode;
  return SendFrequency(r, kPcr22Modes, int(std::size(kPcr22Modes)));
}

int RadioHandlers::Pcr12Width(CRadio& r, int kHz) {
  int code;
  if (!Lookup(kPcrFilters, kHz, code)) return 0;
  r.filter_code_ = code;
  return SendFrequency(r, kPcr12Modes, int(std::size(kPcr12Modes)));
}

int RadioHandlers::Pcr22Width(CRadio& r, int kHz) {
  int code = kPcr22OtherFilter;
  Lookup(kPcr22Filters, kHz, code);
  r.filter_code_ = code;
  return SendFrequency(r, kPcr22Modes, int(std::size(kPcr22Modes)));
}

int RadioHandlers::PcrAtt(CRadio& r, int on) { return Send(r, Format("J47%02d", on ? 1 : 0)); }

// AGC and noise blanker in the form the receiver's control panel sends them.
int RadioHandlers::PcrAGC(CRadio& r, int on) { return Send(r, Format("J45%02X\r\n", on ? 1 : 0)); }
int RadioHandlers::PcrNB(CRadio& r, int on) { return Send(r, Format("J46%02X\r\n", on ? 1 : 0)); }

int RadioHandlers::PcrVolume(CRadio& r, int level) { return Send(r, Format("J40%02X", level)); }

int RadioHandlers::PcrSquelch(CRadio& r, int level) { return Send(r, Format("J41%02X", level)); }

int RadioHandlers::PcrSMeter(CRadio& r) { return r.smeter_; }

void RadioHandlers::PcrKeepAlive(CRadio& r) { Send(r, kKeepAlive); }

void RadioHandlers::Pcr12Parse(CRadio& r, int c) { PcrParse(r, c, kSquelchClosedBelow12); }

void RadioHandlers::Pcr22Parse(CRadio& r, int c) { PcrParse(r, c, kSquelchClosedBelow22); }

void RadioHandlers::PcrParse(CRadio& r, int c, char closedBelow) {
  bool hex = c >= 0 && c < 0x80 && isxdigit(c);
  if (hex) {
    // A reply longer than the buffer is no reply: start again rather than run past it.
    if (r.reply_count_ >= kReplyBufferSize - 1) r.reply_count_ = 0;
    r.reply_[r.reply_count_++] = char(c);
    return;
  }
  const char* reply = r.reply_;
  if (r.reply_count_ >= kReportLength && reply[0] == 'I' && reply[1] == '0') {
    int open = reply[3] < closedBelow ? 0 : 1;
    r.squelch_ = open;
    r.SquelchChange(open);
  } else if (r.reply_count_ >= kReportLength && reply[0] == 'I' && reply[1] == '1') {
    int value = HexValue(reply[2]) * 16 + HexValue(reply[3]);
    r.smeter_ = value;
    r.SMeterChange(value);
  }
  r.reply_[0] = char(c);
  r.reply_count_ = 1;
}
