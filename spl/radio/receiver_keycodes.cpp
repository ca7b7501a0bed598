// Types 1 and 2: keys sent as pulse-distance codes on the data line. At 33600 baud with
// odd parity a 0x00 byte is one long low pulse and a 0xFF byte is idle time, so a bit is
// the number of idle bytes after its pulse.
#include <pthread.h>
#include <sched.h>

#include <cmath>
#include <cstdio>

#include "spl/radio/receiver_handlers.h"

namespace {

constexpr unsigned char kPulse = 0x00;
constexpr unsigned char kIdle = 0xFF;
constexpr int kIdleAfterOne = 9;
constexpr int kIdleAfterZero = 6;
constexpr int kIdleAfterWord = 18;
constexpr int kRepetitions = 6;
constexpr int kIdleAfterKey = 400;
constexpr int kKeyBits = 5;
constexpr int kFractionBits = 8;
constexpr int kFractionSteps = 256;  // the fraction of a kHz in 1/256 steps
constexpr int kMinFrqDigits = 3;

// Keys 1..12 and the digit keys "0".."9".
constexpr int kKeyCodes[13] = {0, 4, 5, 6, 7, 8, 9, 10, 11, 24, 16, 30, 31};
constexpr int kDigitCodes[10] = {20, 27, 23, 19, 26, 22, 18, 25, 21, 17};
constexpr int kKeyFrqStart = 9;
constexpr int kKeyEnter = 10;
constexpr int kKeyFraction = 12;

constexpr ModeCode kType1Modes[] = {
    {kModeLSB, 1}, {kModeUSB, 2}, {kModeAMN, 3}, {kModeAM, 4},
    {kModeASD, 5}, {kModeASF, 6}, {kModeASL, 7}, {kModeASU, 8},
};

// Keying is timed by the line itself, but a writer that is preempted between buffers
// stretches the gaps; the calling thread runs at real-time priority while it keys, when
// the system allows it, and returns to its old scheduling afterwards.
class CKeyingPriority {
 public:
  CKeyingPriority() {
    if (pthread_getschedparam(pthread_self(), &policy_, &param_) != 0) return;
    sched_param rt{};
    rt.sched_priority = sched_get_priority_max(SCHED_FIFO);
    raised_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &rt) == 0;
  }
  ~CKeyingPriority() {
    if (raised_) pthread_setschedparam(pthread_self(), policy_, &param_);
  }

 private:
  int policy_ = SCHED_OTHER;
  sched_param param_{};
  bool raised_ = false;
};

int SendKey(CRadio& r, int code, int bits) {
  std::string buffer = RadioHandlers::KeyCodeBuffer(code, bits);
  return RadioHandlers::Send(r, buffer);
}

int SendFrequencyKeys(CRadio& r, double kHz, bool fraction) {
  CKeyingPriority priority;
  long whole = long(kHz);  // whole kHz, truncated
  char digits[16];
  snprintf(digits, sizeof digits, "%0*ld", kMinFrqDigits, whole);
  int ok = SendKey(r, kKeyCodes[kKeyFrqStart], kKeyBits);
  for (const char* p = digits; *p && ok; ++p) ok = SendKey(r, kDigitCodes[*p - '0'], kKeyBits);
  if (ok) ok = SendKey(r, kKeyCodes[kKeyEnter], kKeyBits);
  if (ok && fraction) {
    int steps = int((kHz - double(whole)) * kFractionSteps);
    if (steps > kFractionSteps - 1) steps = kFractionSteps - 1;
    ok = SendKey(r, kKeyCodes[kKeyFraction], kKeyBits) && SendKey(r, steps, kFractionBits) &&
         SendKey(r, kKeyCodes[kKeyEnter], kKeyBits);
  }
  return ok;
}

}  // namespace

std::string RadioHandlers::KeyCodeBuffer(int code, int bits) {
  std::string out;
  for (int rep = 0; rep < kRepetitions; ++rep) {
    for (int b = bits - 1; b >= 0; --b) {
      out += char(kPulse);
      out.append((code >> b) & 1 ? kIdleAfterOne : kIdleAfterZero, char(kIdle));
    }
    out += char(kPulse);
    out.append(kIdleAfterWord, char(kIdle));
  }
  out.append(kIdleAfterKey, char(kIdle));
  return out;
}

int RadioHandlers::KeyFrqWithFraction(CRadio& r, double kHz) {
  return SendFrequencyKeys(r, kHz, true);
}

int RadioHandlers::KeyFrq(CRadio& r, double kHz) { return SendFrequencyKeys(r, kHz, false); }

int RadioHandlers::KeyMode(CRadio& r, int mode) {
  int key;
  if (!Lookup(kType1Modes, mode, key)) return 0;
  r.current_mode_ = mode;
  CKeyingPriority priority;
  return SendKey(r, kKeyCodes[key], kKeyBits);
}
