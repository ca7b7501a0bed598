// Type 24: hamlib's rigctld, the network control daemon in front of any receiver hamlib
// knows, spoken to in its plain (not extended) text protocol: one command line out, and
// back either the value lines of a query or "RPRT n" (n = 0 done, n < 0 hamlib's error
// code). The plain protocol is enough: every answer ends in a known number of value lines
// or in an "RPRT" line, and the extended one would only echo the command around it.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "spl/radio/receiver_handlers.h"

namespace {

using H = RadioHandlers;

// The station's modes by rigctld's names; a narrow mode is its wide one with a fixed
// passband, and the synchronous AM modes ASD, ASL and ASU (both sidebands, lower, upper)
// are SAM, SAL and SAU. ASF has no rigctld counterpart and is left out (and out of the
// type's mask).
struct RigctldName {
  int mode;
  const char* name;
  int passbandHz;  // 0: the IF width set last, or the receiver's normal passband
};
constexpr int kNarrowCwHz = 500;
constexpr int kNarrowAmHz = 3000;
constexpr RigctldName kModes[] = {
    {kModeLSB, "LSB", 0},          {kModeUSB, "USB", 0},  {kModeCWN, "CW", kNarrowCwHz},
    {kModeCW, "CW", 0},            {kModeRTTY, "RTTY", 0}, {kModeFAX, "FAX", 0},
    {kModeAMN, "AM", kNarrowAmHz}, {kModeAM, "AM", 0},    {kModeASD, "SAM", 0},
    {kModeASL, "SAL", 0},          {kModeASU, "SAU", 0},  {kModeFM, "FM", 0},
    {kModeWFM, "WFM", 0},
};

// hamlib's error codes (the n of "RPRT -n"), in our words.
constexpr const char* kErrors[] = {
    "done",
    "invalid parameter",
    "invalid configuration",
    "out of memory",
    "not implemented",
    "the receiver did not answer in time",
    "input/output error",
    "internal error of hamlib",
    "protocol error",
    "refused by the receiver",
    "done, but the value was cut short",
    "not available on this receiver",
    "this VFO cannot be addressed",
    "bus error",
    "bus collision",
    "invalid argument",
    "invalid VFO",
    "value out of range",
    "no longer supported",
    "security error",
    "the receiver is not switched on",
};

constexpr char kReportPrefix[] = "RPRT ";
constexpr char kAttenuatorCaps[] = "Attenuator:";
constexpr char kAgcCaps[] = "AGC levels:";
// hamlib's AGC levels (the numbers of "L AGC"): off, and the choices for "on" in order of
// preference: the receiver's automatic one, else the first it lists that is not off.
constexpr int kAgcOff = 0;
constexpr int kAgcAuto = 6;
constexpr int kAgcSlow = 3;           // when the receiver does not list its levels
constexpr int kAttenuatorFallbackDb = 10;  // when it does not list its steps
// The S-meter: STRENGTH is dB relative to S9, 6 dB per S unit, so S0 is -54 dB; the scale
// ends at S9+60 dB. That span maps linearly onto 0..255 (S9 = 121), clamped at both ends.
constexpr int kS0Db = -54;
constexpr int kTopDb = 60;
constexpr int kLevelMax = 255;
constexpr int kMilli = 1000;

const RigctldName* FindMode(int mode) {
  for (const RigctldName& m : kModes)
    if (m.mode == mode) return &m;
  return nullptr;
}

// level 0..255 as rigctld's 0..1 fraction, written with integers so that no locale can put
// a decimal comma into it.
std::string Fraction(int level) {
  const int thousandths = (level * kMilli + kLevelMax / 2) / kLevelMax;
  return H::Format("%d.%03d", thousandths / kMilli, thousandths % kMilli);
}

std::string ErrorText(int code) {
  const int n = -code;
  if (n >= 0 && n < int(std::size(kErrors))) return kErrors[n];
  return "unknown error";
}

int SendMode(CRadio& r, const char* name, int passbandHz) {
  return H::RigctldAsk(r, H::Format("M %s %d\n", name, passbandHz), 0, nullptr);
}

}  // namespace

int RadioHandlers::RigctldSMeterValue(int dbOverS9) {
  if (dbOverS9 <= kS0Db) return 0;
  if (dbOverS9 >= kTopDb) return kLevelMax;
  return ((dbOverS9 - kS0Db) * kLevelMax + (kTopDb - kS0Db) / 2) / (kTopDb - kS0Db);
}

int RadioHandlers::RigctldAsk(CRadio& r, const std::string& command, int values,
                              std::vector<std::string>* lines) {
  // The station tunes from its window and from the scanner's audio thread: each command
  // must meet its own answer.
  std::lock_guard<std::mutex> transaction(r.ask_mutex_);
  r.ClearAnswers();
  if (!Send(r, command)) {
    r.SetRefusal(std::string("the connection failed: ") + strerror(r.port_error_));
    return 0;
  }
  if (r.Port() == 0) return 1;  // not connected: nothing was sent, nothing comes back
  int got = 0;
  for (;;) {
    std::string line;
    if (!r.WaitAnswer(line, kAnswerTimeoutMs)) {
      // Unanswered, the connection is out of step with its commands: it is given up.
      bool lost;
      {
        std::lock_guard<std::mutex> lock(r.answer_mutex_);
        lost = r.link_lost_;
      }
      r.port_error_ = lost ? (r.net_.Error() ? r.net_.Error() : ECONNRESET) : ETIMEDOUT;
      r.port_number_ = 0;
      r.SetRefusal(lost ? std::string("rigctld closed the connection")
                        : Format("no answer from rigctld within %u ms",
                                 unsigned(kAnswerTimeoutMs)));
      return 0;
    }
    if (line.compare(0, sizeof kReportPrefix - 1, kReportPrefix) == 0) {
      const int code = atoi(line.c_str() + sizeof kReportPrefix - 1);
      if (code == 0) return 1;
      r.SetRefusal(Format("rigctld answers RPRT %d: ", code) + ErrorText(code));
      return 0;
    }
    if (lines) lines->push_back(line);
    if (values >= 0 && ++got >= values) return 1;
  }
}

void RadioHandlers::RigctldReadCaps(CRadio& r) {
  if (r.caps_read_) return;
  r.attenuator_db_ = kAttenuatorFallbackDb;
  r.agc_level_ = kAgcSlow;
  std::vector<std::string> caps;
  if (!RigctldAsk(r, "\\dump_caps\n", -1, &caps)) return;
  if (r.Port() == 0) return;  // not connected: read them at the next chance
  r.caps_read_ = 1;
  for (const std::string& line : caps) {
    if (line.compare(0, sizeof kAttenuatorCaps - 1, kAttenuatorCaps) == 0) {
      // "Attenuator: 10dB 20dB 30dB": the first step serves for "on".
      const int db = atoi(line.c_str() + sizeof kAttenuatorCaps - 1);
      if (db > 0) r.attenuator_db_ = db;
    } else if (line.compare(0, sizeof kAgcCaps - 1, kAgcCaps) == 0) {
      // "AGC levels: 0=OFF 1=SUPERFAST 2=FAST 5=MEDIUM 3=SLOW 6=AUTO 4=USER"
      int first_on = -1, has_auto = 0;
      const char* p = line.c_str() + sizeof kAgcCaps - 1;
      while (*p) {
        char* end = nullptr;
        const long level = strtol(p, &end, 10);
        if (end == p) {
          ++p;
          continue;
        }
        if (*end == '=') {
          if (level == kAgcAuto) has_auto = 1;
          if (level != kAgcOff && first_on < 0) first_on = int(level);
        }
        p = end;
        while (*p && *p != ' ') ++p;
      }
      if (has_auto) r.agc_level_ = kAgcAuto;
      else if (first_on >= 0) r.agc_level_ = first_on;
    }
  }
}

int RadioHandlers::RigctldFrq(CRadio& r, double kHz) {
  r.last_frq_ = kHz;
  return RigctldAsk(r, Format("F %lld\n", Hz(kHz)), 0, nullptr);
}

int RadioHandlers::RigctldMode(CRadio& r, int mode) {
  const RigctldName* m = FindMode(mode);
  if (!m) return 0;
  r.current_mode_ = mode;
  return SendMode(r, m->name, m->passbandHz ? m->passbandHz : r.passband_hz_);
}

int RadioHandlers::RigctldWidth(CRadio& r, int kHz) {
  if (kHz < 0) return 0;
  r.passband_hz_ = kHz * kMilli;
  const RigctldName* m = FindMode(r.current_mode_);
  if (!m) return 0;
  // The passband travels with the mode; a narrow mode's own passband gives way to it.
  return SendMode(r, m->name, r.passband_hz_);
}

int RadioHandlers::RigctldAtt(CRadio& r, int on) {
  if (on) RigctldReadCaps(r);
  return RigctldAsk(r, Format("L ATT %d\n", on ? r.attenuator_db_ : 0), 0, nullptr);
}

int RadioHandlers::RigctldAGC(CRadio& r, int on) {
  if (on) RigctldReadCaps(r);
  return RigctldAsk(r, Format("L AGC %d\n", on ? r.agc_level_ : kAgcOff), 0, nullptr);
}

int RadioHandlers::RigctldNB(CRadio& r, int on) {
  return RigctldAsk(r, Format("U NB %d\n", on ? 1 : 0), 0, nullptr);
}

int RadioHandlers::RigctldVolume(CRadio& r, int level) {
  return RigctldAsk(r, "L AF " + Fraction(level) + "\n", 0, nullptr);
}

int RadioHandlers::RigctldSquelch(CRadio& r, int level) {
  return RigctldAsk(r, "L SQL " + Fraction(level) + "\n", 0, nullptr);
}

int RadioHandlers::RigctldSMeter(CRadio& r) {
  std::vector<std::string> lines;
  if (!RigctldAsk(r, "l STRENGTH\n", 1, &lines) || lines.empty()) return r.smeter_;
  char* end = nullptr;
  const long db = strtol(lines[0].c_str(), &end, 10);
  if (end == lines[0].c_str()) return r.smeter_;
  const int value = RigctldSMeterValue(int(db));
  r.smeter_ = value;
  r.SMeterChange(value);
  return value;
}

void RadioHandlers::RigctldParse(CRadio& r, int c) {
  if (c == '\r') return;
  // A line longer than the buffer is handed over in pieces; only capability listings
  // have such lines, and they are read to their closing "RPRT" line anyway.
  if (c == '\n' || r.reply_count_ >= kReplyBufferSize - 1) {
    r.PushAnswer(std::string(r.reply_, size_t(r.reply_count_)));
    r.reply_count_ = 0;
    if (c == '\n') return;
  }
  r.reply_[r.reply_count_++] = char(c);
}
