#include "app/lists/frq_columns.h"

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "app/core/station_codes.h"

namespace {

constexpr double kMaxKHz = 1e8;      // 100 GHz
constexpr double kMaxHz = 1e8;       // tuning and scan steps
constexpr double kMaxTone = 24000;   // half the highest sample rate
constexpr double kMaxLevel = 255;    // receiver volume and squelch
constexpr double kMaxMixer = 65535;  // mixer volumes, audio squelch
constexpr double kMaxFaxIoc = kFrqTextBase - kFrqFaxBase - 1;
constexpr double kMaxFaxLpm = 1000;
constexpr double kMaxFaxBurst = 100000;
constexpr double kMaxFaxSync = 10000;
constexpr double kMaxSmall = 255;    // filter modes
constexpr double kMaxBaud = 10000;
constexpr double kMaxStopBits = 3;
constexpr double kMaxDecoderCode = 65535;
constexpr double kMaxSstvOrder = 64;
constexpr double kIntMin = std::numeric_limits<int32_t>::min();
constexpr double kIntMax = std::numeric_limits<int32_t>::max();
// The last decoder value that selects something: the last SSTV index.
constexpr int kLastDecoder = kFrqSstvBase + 3;
// Old databases wrote "true" as -1; both are accepted in a yes/no column.
constexpr double kBoolLo = -1, kBoolHi = 1;

constexpr int kDecimalsKHz = 3, kDecimalsStopBits = 1;
constexpr int kFallbackMode = 1;           // USB
constexpr int kFallbackStationType = 14;   // "XX Special Station": says least that is wrong
constexpr int kFallbackClass = 16;         // "undefined or special"

#define FRQ_AT(member) offsetof(CFrqRecord, member), sizeof(CFrqRecord::member)
#define FRQ_EXT(i) offsetof(CFrqRecord, extension) + (i) * sizeof(int32_t), sizeof(int32_t)

constexpr FrqColumn D(const char* n, size_t off, size_t size, double lo, double hi, int dec) {
  return {n, kColDouble, off, size, lo, hi, dec, 0, 0};
}
constexpr FrqColumn T(const char* n, size_t off, size_t size) {
  return {n, kColText, off, size, 0, 0, 0, 0, 0};
}
constexpr FrqColumn L(const char* n, size_t off, size_t size, double lo, double hi) {
  return {n, kColLong, off, size, lo, hi, 0, 0, 0};
}
constexpr FrqColumn I(const char* n, size_t off, size_t size, int count, int fallback) {
  return {n, kColLong, off, size, 0, double(count - 1), 0, 1, fallback};
}
constexpr FrqColumn B(const char* n, size_t off, size_t size) {
  return {n, kColBool, off, size, kBoolLo, kBoolHi, 0, 0, 0};
}

const FrqColumn kColumns[kFrqColumnCount] = {
    D("RX-FRQ (KHz)", FRQ_AT(rxFrq), 0, kMaxKHz, kDecimalsKHz),
    T("Name", FRQ_AT(name)),
    L("Decoder", FRQ_AT(decoder), 0, kLastDecoder),
    I("Modulation", FRQ_AT(modulation), 14, kFallbackMode),
    T("CallSign", FRQ_AT(callSign)),
    I("Country", FRQ_AT(country), 256, 0),
    I("StationType", FRQ_AT(stationType), 15, kFallbackStationType),
    L("Steps", FRQ_AT(steps), 0, kMaxHz),
    I("IF", FRQ_AT(ifIndex), 5, 0),
    D("TX-FRQ (KHz)", FRQ_AT(txFrq), 0, kMaxKHz, kDecimalsKHz),
    B("ATT", FRQ_AT(att)),
    B("AGC", FRQ_AT(agc)),
    B("NB", FRQ_AT(nb)),
    L("Volume", FRQ_AT(volume), 0, kMaxLevel),
    L("Squelch", FRQ_AT(squelch), 0, kMaxLevel),
    D("Startfrq", FRQ_AT(startFrq), 0, kMaxKHz, kDecimalsKHz),
    D("Stopfrq", FRQ_AT(stopFrq), 0, kMaxKHz, kDecimalsKHz),
    L("scansteps", FRQ_AT(scanSteps), 0, kMaxHz),
    B("wave_onoff", FRQ_AT(waveOn)),
    B("line_onoff", FRQ_AT(lineOn)),
    B("dec_filter", FRQ_AT(decFilter)),
    B("equ_filter", FRQ_AT(equFilter)),
    T("equ_filter_name", FRQ_AT(equName)),
    L("wave_out_vol", FRQ_AT(waveOutVol), 0, kMaxMixer),
    L("line_in_vol", FRQ_AT(lineInVol), 0, kMaxMixer),
    L("line_out_vol", FRQ_AT(lineOutVol), 0, kMaxMixer),
    L("audio_squelch", FRQ_AT(audioSquelch), 0, kMaxMixer),
    B("RecOnSig", FRQ_AT(recOnSig)),
    B("StopOnSig", FRQ_AT(stopOnSig)),
    L("RecTime", FRQ_AT(recTime), 0, kIntMax),
    L("WhileTime", FRQ_AT(whileTime), 0, kIntMax),
    B("AudioORSqelch", FRQ_AT(audioOrSquelch)),
    B("assume_radio", FRQ_AT(assumeRadio)),
    B("assume_audio", FRQ_AT(assumeAudio)),
    L("Flags", FRQ_AT(flags), kIntMin, kIntMax),
    L("CW-center", FRQ_AT(cwCenter), 0, kMaxTone),
    L("CW-mark", FRQ_AT(cwMark), 0, kMaxTone),
    L("CW-width", FRQ_AT(cwWidth), 0, kMaxTone),
    L("FAX-modul", FRQ_AT(faxIoc), 0, kMaxFaxIoc),
    L("FAX-speed", FRQ_AT(faxLpm), 0, kMaxFaxLpm),
    L("FAX-centerfrq", FRQ_AT(faxCenter), 0, kMaxTone),
    L("FAX-shift", FRQ_AT(faxShift), 0, kMaxTone),
    L("FAX-filtermode", FRQ_AT(faxFilterMode), 0, kMaxSmall),
    L("FAX-filterwidth", FRQ_AT(faxFilterWidth), 0, kMaxTone),
    L("FAX-hmirror", FRQ_AT(faxHMirror), kBoolLo, kBoolHi),
    L("FAX-vmirror", FRQ_AT(faxVMirror), kBoolLo, kBoolHi),
    L("FAX-amfm", FRQ_AT(faxAm), kBoolLo, kBoolHi),
    L("FAX-filteronoff", FRQ_AT(faxFilterOn), kBoolLo, kBoolHi),
    L("FAX-burst1", FRQ_AT(faxBurst1), 0, kMaxFaxBurst),
    L("FAX-burst2", FRQ_AT(faxBurst2), 0, kMaxFaxBurst),
    L("FAX-syncwidth", FRQ_AT(faxSyncWidth), 0, kMaxFaxSync),
    L("FAX-invertsync", FRQ_AT(faxInvertSync), kBoolLo, kBoolHi),
    L("RTTY-mode", FRQ_AT(rttyMode), 0, kMaxDecoderCode),
    L("RTTY-baud", FRQ_AT(rttyBaud), 0, kMaxBaud),
    L("RTTY-mark", FRQ_AT(rttyMark), 0, kMaxTone),
    L("RTTY-space", FRQ_AT(rttySpace), 0, kMaxTone),
    D("RTTY-stopbits", FRQ_AT(rttyStopBits), 0, kMaxStopBits, kDecimalsStopBits),
    L("RTTY-polarity", FRQ_AT(rttyPolarity), kBoolLo, kBoolHi),
    I("SSTV-mode", FRQ_AT(sstvMode), 4, 0),
    L("SSTV-filterlofrq", FRQ_AT(sstvFilterLo), 0, kMaxTone),
    L("SSTV-filterhifrq", FRQ_AT(sstvFilterHi), 0, kMaxTone),
    L("SSTV-filterorder", FRQ_AT(sstvFilterOrder), 0, kMaxSstvOrder),
    L("SSTV-manual-filtemode", FRQ_AT(sstvManualFilter), 0, kMaxSmall),
    T("Commentary", FRQ_AT(commentary)),
    I("ModulationType", FRQ_AT(modulationType), 17, kFallbackClass),
    L("SatID", FRQ_AT(satId), kIntMin, kIntMax),
    L("Extension_1", FRQ_EXT(0), kIntMin, kIntMax),
    L("Extension_2", FRQ_EXT(1), kIntMin, kIntMax),
    L("Extension_3", FRQ_EXT(2), kIntMin, kIntMax),
    L("Extension_4", FRQ_EXT(3), kIntMin, kIntMax),
};

#undef FRQ_AT
#undef FRQ_EXT

constexpr int kDecoderColumn = 2;

struct SortIndex {
  const char* name;
  int column;
};
// The eight ordering indexes in sort-number order.
constexpr SortIndex kSorts[kFrqSortCount] = {
    {"Frequency (KHz)", 0}, {"Name", 1},    {"Decoder", 2},     {"Modulation", 3},
    {"CallSign", 4},        {"Country", 5}, {"StationType", 6}, {"ModulationType", 64},
};

bool SameText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string WithoutBrackets(const std::string& s) {
  if (s.size() >= 2 && s.front() == '[' && s.back() == ']') return s.substr(1, s.size() - 2);
  return s;
}

// Length of the UTF-8 sequence at p (n bytes left), 0 when it is not well formed.
size_t Utf8SequenceLength(const unsigned char* p, size_t n) {
  const unsigned char b = p[0];
  if (b < 0x80) return 1;
  size_t len;
  uint32_t cp;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    cp = b & 0x07;
  } else {
    return 0;
  }
  if (n < len) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return len;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::string RangeText(const FrqColumn& c) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f..%.*f", c.decimals, c.lo, c.decimals, c.hi);
  return buf;
}

std::string NumberText(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// A decoder value that selects something: audio (below 8192), FAX 8193..12287, a text decoder
// the station knows, SSTV 16384..16387.
bool DecoderSelectsSomething(int32_t v) {
  if (v < 0 || v > kLastDecoder || v == kFrqFaxBase) return false;
  if (v >= kFrqTextBase && v < kFrqSstvBase) {
    const DecoderChoice* d = FindDecoderChoice(v - kFrqTextBase);
    return d != nullptr;
  }
  return true;
}

// Strict number syntax: [+-]digits[.digits] (the point only where allowed).
bool NumberSyntax(const std::string& t, bool allowPoint) {
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (allowPoint && i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  return digits > 0 && i == t.size();
}

}  // namespace

const FrqColumn* FrqColumns() { return kColumns; }

int FindFrqColumn(const std::string& name) {
  const std::string n = WithoutBrackets(name);
  for (int i = 0; i < kFrqColumnCount; ++i)
    if (SameText(n, kColumns[i].name)) return i;
  return -1;
}

const char* FrqSortName(int sort) {
  return sort >= 0 && sort < kFrqSortCount ? kSorts[sort].name : nullptr;
}

int FrqSortColumn(int sort) {
  return sort >= 0 && sort < kFrqSortCount ? kSorts[sort].column : -1;
}

int FindFrqSort(const std::string& text) {
  if (text.size() == 1 && text[0] >= '0' && text[0] < '0' + kFrqSortCount) return text[0] - '0';
  const std::string n = WithoutBrackets(text);
  for (int i = 0; i < kFrqSortCount; ++i)
    if (SameText(n, kSorts[i].name) || SameText(n, kColumns[kSorts[i].column].name)) return i;
  return -1;
}

double FrqGetDouble(const CFrqRecord& r, const FrqColumn& c) {
  double v;
  std::memcpy(&v, reinterpret_cast<const char*>(&r) + c.offset, sizeof v);
  return v;
}

int32_t FrqGetInt(const CFrqRecord& r, const FrqColumn& c) {
  int32_t v;
  std::memcpy(&v, reinterpret_cast<const char*>(&r) + c.offset, sizeof v);
  return v;
}

const char* FrqGetText(const CFrqRecord& r, const FrqColumn& c) {
  return reinterpret_cast<const char*>(&r) + c.offset;
}

void FrqSetDouble(CFrqRecord& r, const FrqColumn& c, double v) {
  std::memcpy(reinterpret_cast<char*>(&r) + c.offset, &v, sizeof v);
}

void FrqSetInt(CFrqRecord& r, const FrqColumn& c, int32_t v) {
  std::memcpy(reinterpret_cast<char*>(&r) + c.offset, &v, sizeof v);
}

int FrqSetText(CFrqRecord& r, const FrqColumn& c, const std::string& text) {
  std::string clean;
  clean.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size();) {
    const size_t len = Utf8SequenceLength(p + i, text.size() - i);
    if (len == 0) {
      clean += '?';
      ++i;
    } else {
      if (len == 1 && IsControl(p[i]))
        clean += ' ';
      else
        clean.append(text, i, len);
      i += len;
    }
  }
  const std::string fitted = CutUtf8(clean, c.size - 1);
  char* field = reinterpret_cast<char*>(&r) + c.offset;
  std::memset(field, 0, c.size);
  std::memcpy(field, fitted.data(), fitted.size());
  return fitted == text;
}

std::string CutUtf8(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  // Step back over continuation bytes to the start of the character that does not fit.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

int IsUtf8(const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size();) {
    const size_t len = Utf8SequenceLength(p + i, text.size() - i);
    if (len == 0) return 0;
    i += len;
  }
  return 1;
}

size_t Utf8Length(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

double FrqRound(double v, int decimals) {
  const double scale = std::pow(10.0, decimals);
  const double r = std::round(v * scale) / scale;
  return r == 0.0 ? 0.0 : r;  // no negative zero: it would not survive the file
}

std::string FormatFrqField(const CFrqRecord& r, const FrqColumn& c) {
  switch (c.type) {
    case kColDouble: return NumberText(FrqGetDouble(r, c), c.decimals);
    case kColText: return FrqGetText(r, c);
    case kColLong:
    case kColBool: break;
  }
  return std::to_string(FrqGetInt(r, c));
}

int ParseFrqField(CFrqRecord& r, const FrqColumn& c, const std::string& text, std::string* error,
                  int* cut) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return 0;
  };
  if (c.type == kColText) {
    if (!IsUtf8(text)) return fail("text is not UTF-8");
    for (unsigned char ch : text)
      if (IsControl(ch)) return fail("text holds a control character");
    if (Utf8Length(text) > size_t(kFrqTextLimit))
      return fail("text of " + std::to_string(Utf8Length(text)) + " characters, at most " +
                  std::to_string(kFrqTextLimit));
    const int whole = FrqSetText(r, c, text);
    if (cut && !whole) *cut = 1;
    return 1;
  }
  const bool isDouble = c.type == kColDouble;
  if (!NumberSyntax(text, isDouble))
    return fail("\"" + text + "\" is not " + (isDouble ? "a number" : "a whole number"));
  errno = 0;
  const double v = isDouble ? std::strtod(text.c_str(), nullptr)
                            : double(std::strtoll(text.c_str(), nullptr, 10));
  const double rounded = isDouble ? FrqRound(v, c.decimals) : v;
  if (errno == ERANGE || !std::isfinite(v) || rounded < c.lo || rounded > c.hi)
    return fail(text + " is out of range " + RangeText(c));
  if (&c == &kColumns[kDecoderColumn] && !DecoderSelectsSomething(int32_t(v)))
    return fail(text + " selects no decoder (0 for audio / scanner)");
  if (isDouble)
    FrqSetDouble(r, c, rounded);
  else
    FrqSetInt(r, c, int32_t(v));
  return 1;
}

int CheckFrqRecord(CFrqRecord& r, int repair, std::vector<std::string>* notes, std::string* error) {
  int valid = 1;
  auto fault = [&](const FrqColumn& c, const std::string& what, const std::string& done) {
    if (valid && error) *error = std::string(c.name) + ": " + what;
    valid = 0;
    if (repair && notes) notes->push_back(std::string(c.name) + ": " + what + ", " + done);
  };
  for (const FrqColumn& c : kColumns) {
    switch (c.type) {
      case kColText: {
        const std::string text = FrqGetText(r, c);
        bool clean = IsUtf8(text) != 0;
        for (unsigned char ch : text) clean = clean && !IsControl(ch);
        if (!clean) {
          if (repair) {
            CFrqRecord fixed = r;
            FrqSetText(fixed, c, text);
            fault(c, "text is not clean UTF-8", "stored as \"" + std::string(FrqGetText(fixed, c)) + "\"");
            r = fixed;
          } else {
            fault(c, "text is not clean UTF-8", "");
          }
        }
        break;
      }
      case kColDouble: {
        const double v = FrqGetDouble(r, c);
        if (!std::isfinite(v)) {
          fault(c, "not a number", "set to 0");
          if (repair) FrqSetDouble(r, c, 0.0);
        } else if (v < c.lo || v > c.hi) {
          const double to = v < c.lo ? c.lo : c.hi;
          fault(c, NumberText(v, c.decimals) + " is out of range " + RangeText(c),
                "set to " + NumberText(to, c.decimals));
          if (repair) FrqSetDouble(r, c, to);
        } else {
          FrqSetDouble(r, c, FrqRound(v, c.decimals));
        }
        break;
      }
      case kColLong:
      case kColBool: {
        const int32_t v = FrqGetInt(r, c);
        if (&c == &kColumns[kDecoderColumn]) {
          if (!DecoderSelectsSomething(v)) {
            fault(c, std::to_string(v) + " selects no decoder", "applied as audio / scanner (0)");
            if (repair) FrqSetInt(r, c, 0);
          }
        } else if (v < c.lo || v > c.hi) {
          const int32_t to = c.isIndex ? c.fallback : int32_t(v < c.lo ? c.lo : c.hi);
          fault(c, std::to_string(v) + " is out of range " + RangeText(c),
                (c.isIndex ? "replaced by " : "set to ") + std::to_string(to));
          if (repair) FrqSetInt(r, c, to);
        }
        break;
      }
    }
  }
  return valid;
}
