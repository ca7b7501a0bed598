#include "spl/decoders/synop_decoder.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "spl/decoders/teleprinter_codes.h"

namespace {

// Parser states; the numbers are those of the bulletin layout they wait for.
enum : int {
  kWaitBulletin = 1,     // "ZCZC"
  kBulletinNumber = 3,   // "ZCZC nnn"
  kNumberRest = 4,
  kHeading = 5,          // T1T2A1A2ii
  kCentre = 6,           // CCCC
  kHeadingTime = 7,      // YYGGgg
  kCorrection = 8,       // BBB
  kSection = 9,          // "AAXX" / "BBXX"
  kLandTime = 10,        // YYGGiw
  kLandStation = 11,     // IIiii
  kVisibility = 12,      // iRixhVV or NIL
  kWind = 13,            // Nddff
  kWindHigh = 14,        // 00fff
  kTemperature = 15,     // 1snTTT
  kDewPoint = 16,        // 2snTdTdTd
  kSection1 = 17,        // groups 3 ... 9, "222", "333", "444"
  kSection2 = 18,
  kSection3 = 19,
  kSection4 = 20,
  kShipCallSign = 30,
  kShipTime = 31,
  kShipLatitude = 32,
  kShipLongitude = 33,
  kSkipBulletin = 200,   // forecasts and warnings: wait for the next bulletin
};

// Headings whose bulletins are forecasts or warnings, not reports.
constexpr const char* kWarningHeadings[] = {"FA", "FB", "FE", "FG", "FH", "FJ", "FM",
                                            "FP", "FQ", "FR", "FW", "FX", "FZ", "WE",
                                            "WH", "WO", "WT", "WW"};

// Geopotential groups 4a3hhh: the leading figure and its standard level in hPa.
struct StandardLevel {
  int figure, hPa;
};
constexpr StandardLevel kStandardLevels[] = {{1, 1000}, {2, 925}, {8, 850}, {7, 700}, {5, 500}};

constexpr int kMinGroupChars = 5;  // states 15 ... 20 examine only after this many characters
constexpr int kPressureWrap = 2000;  // tenths of hPa below this lie above 1000 hPa
constexpr int kMaxLatitudeTenths = 900;
constexpr int kMaxLongitudeTenths = 1800;
constexpr int kTenthsToMinutes = 6;
constexpr int kSoh = 1, kEtx = 3;
constexpr int kMaxPrecipIndicator = 4;  // iR: 0 ... 4
constexpr int kPlatformDigits = 5;      // buoy and platform numbers in place of a call sign

bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

// Every character read the shift-independent way: the letter and the figure of the ITA2 code
// that a transmitter would send for it, so a group received in the wrong shift reads the same.
struct ShiftFreeTable {
  uint8_t letter[256], figure[256];
  ShiftFreeTable() {
    for (int c = 0; c < 256; ++c) {
      const int code = BaudotSendCode(c);
      letter[c] = code < 0 ? kBaudotInvalid : kBaudotLetters[code];
      figure[c] = code < 0 ? kBaudotInvalid : kBaudotFigures[code];
    }
  }
};
const ShiftFreeTable& Table() {
  static const ShiftFreeTable table;
  return table;
}
int LetterOf(int c) { return Table().letter[c & 0xFF]; }
int FigureOf(int c) { return Table().figure[c & 0xFF]; }

int Collected(int c) { return isalnum(c) || c == '/'; }
int LineEnd(int c) { return c == '\r' || c == '\n'; }

}  // namespace

CSynopDecoder::CSynopDecoder() {
  ResetDecoder();
  text_[0] = 0;
}

int CSynopDecoder::Init(int preload, const char* path) {
  return store_.Init(path ? path : kDefaultStore, preload);
}

void CSynopDecoder::ResetDecoder() {
  memset(window_, 0, sizeof window_);
  state_ = kWaitBulletin;
  sinceChange_ = 0;
  returnState_ = kLandStation;
  warning_ = 0;
  lastDigit_ = -1;
  bulletinNumber_ = -1;
  wmoPrevious_ = wmoAfterSoh_ = 0;
  ClearReport();
  memset(report_.t1t2, 0, sizeof report_.t1t2);
  report_.bulletinNumber = -1;
  report_.section = kSynSectionNone;
  report_.bulletinTime = report_.observationTime = 0;
}

int CSynopDecoder::GetStation(int indexNumber, SYN_STATION& out) {
  if (indexNumber < 0) return 0;
  return store_.GetStation(static_cast<uint32_t>(indexNumber), out);
}

// ---- the window and its patterns ----

int CSynopDecoder::Match(const char* pattern) const {
  for (int i = 0; i < kWindow && pattern[i]; ++i) {
    const int w = static_cast<unsigned char>(window_[i]);
    const int p = pattern[i];
    const int fig = FigureOf(w), let = LetterOf(w);
    int ok;
    switch (p) {
      case '?': ok = 1; break;
      case '+': ok = isdigit(fig) || fig == '/'; break;
      case '-': ok = isdigit(fig) || fig == ' '; break;
      case '#': ok = let >= 'A' && let <= 'Z'; break;
      case '|': ok = w != 0 && isalnum(w); break;
      default: ok = (p >= 'A' && p <= 'Z') ? let == p : fig == p; break;
    }
    if (!ok) return 0;
  }
  return 1;
}

// The figures of window positions first ... first+count-1 as a number; -1 when the field is
// missing ("/") or not all digits.
int CSynopDecoder::Number(const char* pattern, int first, int count) const {
  int value = 0, digits = 0;
  for (int i = first; i < first + count && i < kWindow; ++i) {
    const int fig = FigureOf(static_cast<unsigned char>(window_[i]));
    if (fig == ' ' && pattern[i] == '-') continue;
    if (!isdigit(fig)) return -1;
    value = value * 10 + (fig - '0');
    ++digits;
  }
  return digits ? value : -1;
}

// The letters at the '#' positions of the pattern.
void CSynopDecoder::Letters(const char* pattern, char* out, int size) const {
  int n = 0;
  for (int i = 0; i < kWindow && pattern[i] && n < size - 1; ++i)
    if (pattern[i] == '#') out[n++] = static_cast<char>(LetterOf(window_[i]));
  out[n] = 0;
}

void CSynopDecoder::ChangeState(int state) {
  state_ = state;
  sinceChange_ = 0;
  memset(window_, 0, sizeof window_);
}

// ---- characters ----

int CSynopDecoder::Decode(int ch) {
  if (ch < 0 || ch > 255) return 0;
  ++sinceChange_;
  if (!Collected(ch)) {
    Examine(ch);
    if (LineEnd(ch)) {
      memset(window_, 0, sizeof window_);
      return ch;
    }
  }
  memmove(window_, window_ + 1, kWindow - 1);
  window_[kWindow - 1] = static_cast<char>(ch);
  return ch;
}

int CSynopDecoder::DecodeWMO(int ch) {
  if (ch < 0 || ch > 255) return 0;
  const int previous = wmoPrevious_;
  wmoPrevious_ = ch;
  if (ch == kSoh) {
    for (const char* p = "ZCZC "; *p; ++p) Decode(*p);
    wmoAfterSoh_ = 1;
    return ch;
  }
  if (ch == kEtx) {
    for (const char* p = "NNNN\r\n"; *p; ++p) Decode(*p);
    wmoAfterSoh_ = 0;
    return ch;
  }
  if (LineEnd(ch)) {
    if (wmoAfterSoh_) return ch;
    if ((previous == '\r' && ch == '\n') || (previous == '\n' && ch == '\r')) {
      wmoPrevious_ = 0;  // the pair is spent: CR LF CR LF are two line ends
      return ch;
    }
    Decode(ch);
    return ch;
  }
  wmoAfterSoh_ = 0;
  Decode(ch);
  return ch;
}

int CSynopDecoder::DecodeWMOFile(const char* path) {
  FILE* f = path ? fopen(path, "rb") : nullptr;
  if (!f) return 0;
  for (int c; (c = getc(f)) != EOF;) DecodeWMO(c);
  fclose(f);
  return 1;
}

// ---- groups ----

void CSynopDecoder::Examine(int ch) {
  const int before = state_;
  const int lineEnd = LineEnd(ch);
  // Bulletin frames resynchronise from any state; a frame group is never a header field.
  if (before != kWaitBulletin && Match("??NNNN")) {
    EndBulletin();
    return;
  }
  if (before != kWaitBulletin && before != kSkipBulletin && Match("??ZCZC")) {
    if (report_.flags & kSynStation) EndReport();
    NewBulletin(0);
    return;
  }
  ExamineState(lineEnd);
  // "=" closes the report that is open, whatever group it ends.
  if (ch == '=' && !warning_ &&
      ((report_.flags & kSynStation) || (before >= kLandStation && before <= kShipLongitude)))
    EndReport();
}

int CSynopDecoder::ExamineState(int lineEnd) {
  switch (state_) {
    case kWaitBulletin:
      if (!Match("??ZCZC")) return 0;
      NewBulletin(0);
      return 1;
    case kSkipBulletin:
      if (!Match("??ZCZC")) return 0;
      NewBulletin(1);
      return 1;
    case kBulletinNumber:
      if (Match("?C +++")) {
        bulletinNumber_ = Number("?C +++", 3, 3);
        report_.bulletinNumber = bulletinNumber_;
        ChangeState(lineEnd ? kHeading : kNumberRest);
        return 1;
      }
      return HeaderState(lineEnd);  // a bulletin without a number starts with its heading
    case kNumberRest:
      if (Match("?+++++") || lineEnd) {
        ChangeState(kHeading);
        return 1;
      }
      return HeaderState(lineEnd);
    case kHeading:
    case kCentre:
    case kHeadingTime:
    case kCorrection:
    case kSection:
      return HeaderState(lineEnd);
    case kLandTime:
      if (Match("?+++++")) {
        const int day = Number("?+++++", 1, 2), hour = Number("?+++++", 3, 2);
        report_.iw = Number("?+++++", 5, 1);
        report_.observationTime = DayTime(day, hour, 0);
      } else if (!lineEnd) {
        return 0;
      }
      returnState_ = kLandStation;
      ChangeState(kLandStation);
      return 1;
    case kLandStation:
    case kShipCallSign:
      if (Match("??AAXX") || Match("??BBXX")) {
        const int ship = Match("??BBXX");
        ++(ship ? shipSections_ : landSections_);
        report_.section = ship ? kSynSectionShip : kSynSectionLand;
        ChangeState(ship ? kShipCallSign : kLandTime);
        return 1;
      }
      if (state_ == kLandStation) {
        if (!Match("?+++++")) return 0;
        const int index = Number("?+++++", 1, 5);
        if (index < 0) return 0;
        ClearReport();
        report_.index = static_cast<uint32_t>(index);
        report_.flags = kSynStation;
        SYN_STATION st;
        if (store_.GetStation(report_.index, st)) {
          report_.latitude = st.latitude;
          report_.longitude = st.longitude;
          report_.altitude = st.altitude;
        }
        ChangeState(kVisibility);
        return 1;
      } else {
        // The call sign: the whole group as received, three to six letters and digits with
        // at least one letter (YYGGiw and other figure groups are not call signs).
        int start = kWindow;
        while (start > 0 && window_[start - 1] && isalnum(static_cast<unsigned char>(window_[start - 1])))
          --start;
        const int length = kWindow - start;
        int letters = 0;
        for (int i = start; i < kWindow; ++i) letters += isalpha(static_cast<unsigned char>(window_[i])) != 0;
        // Buoys and other platforms report under a five-figure number instead of a call sign;
        // such a group is only kept while the time and the position groups that follow fit.
        const bool number = !letters && length == kPlatformDigits && Number("?+++++", 1, 5) >= 0;
        if (length < 3 || (!letters && !number)) return 0;
        ClearReport();
        for (int i = 0; i < length; ++i)
          report_.callSign[i] = static_cast<char>(toupper(static_cast<unsigned char>(window_[start + i])));
        report_.callSign[length] = 0;
        report_.flags = kSynStation | kSynShip;
        ChangeState(kShipTime);
        return 1;
      }
    case kVisibility:
      if (Match("???NIL")) {
        report_.flags |= kSynNil;
        EndReport();
        return 1;
      }
      if (!Match("?+++++")) return 0;
      // A doubled station group (a repeat on the teleprinter line) is no iRixhVV group when
      // its first figure is no precipitation indicator (0 ... 4): skip it.
      if (Number("?+++++", 1, 5) == static_cast<int>(report_.index) &&
          Number("?+++++", 1, 1) > kMaxPrecipIndicator)
        return 1;
      report_.iR = Number("?+++++", 1, 1);
      report_.ix = Number("?+++++", 2, 1);
      report_.h = Number("?+++++", 3, 1);
      report_.VV = Number("?+++++", 4, 2);
      if (report_.VV >= 0) report_.flags |= kSynVisibility;
      ChangeState(kWind);
      return 1;
    case kWind: {
      if (!Match("?+++++")) return 0;
      report_.N = Number("?+++++", 1, 1);
      const int dd = Number("?+++++", 2, 2);
      report_.dd = dd < 0 ? -1 : dd * 10;
      if (report_.dd >= 0 && report_.dd <= 360) report_.flags |= kSynWindDirection;
      report_.ff = Number("?+++++", 4, 2);
      if (report_.ff >= 0) report_.flags |= kSynWindSpeed;
      ChangeState(report_.ff == 99 ? kWindHigh : kTemperature);
      lastDigit_ = 0;
      return 1;
    }
    case kWindHigh:
      if (!Match("?+++++")) return 0;
      report_.ff = Number("?+++++", 3, 3);
      if (report_.ff < 0) report_.flags &= ~kSynWindSpeed;
      ChangeState(kTemperature);
      lastDigit_ = 0;
      return 1;
    case kTemperature:
    case kDewPoint:
    case kSection1:
      if (sinceChange_ < kMinGroupChars) return 0;
      return Section1();
    case kSection2:
      if (sinceChange_ < kMinGroupChars) return 0;
      return Section2();
    case kSection3:
      if (sinceChange_ < kMinGroupChars) return 0;
      return Section3();
    case kSection4:
      if (sinceChange_ < kMinGroupChars) return 0;
      if (Match("?+++++")) {
        report_.cloud4N = Number("?+++++", 1, 1);
        report_.cloud4C = Number("?+++++", 2, 1);
        report_.cloud4H = Number("?+++++", 3, 2);
        report_.cloud4Ct = Number("?+++++", 5, 1);
        report_.flags |= kSynSection4;
      }
      ChangeState(kSkipBulletin);
      return 1;
    case kShipTime:
      if (!Match("?+++++")) return 0;
      if (PlatformNumber() && !(InRange(Number("?+++++", 1, 2), 1, 31) &&
                                InRange(Number("?+++++", 3, 2), 0, 23))) {
        ClearReport();  // the figures taken for a platform number were no such thing
        ChangeState(kShipCallSign);
        return 1;
      }
      report_.observationTime = DayTime(Number("?+++++", 1, 2), Number("?+++++", 3, 2), 0);
      report_.iw = Number("?+++++", 5, 1);
      // The next ship report of the section starts with its own call sign.
      returnState_ = kShipCallSign;
      ChangeState(kShipLatitude);
      return 1;
    case kShipLatitude:
    case kShipLongitude:
      return ShipPosition();
  }
  return 0;
}

int CSynopDecoder::HeaderState(int lineEnd) {
  switch (state_) {
    case kBulletinNumber:
    case kNumberRest:
    case kHeading: {
      if (!Match("####+-")) return 0;
      Letters("##????", report_.t1t2, sizeof report_.t1t2);
      Letters("??##??", report_.a1a2, sizeof report_.a1a2);
      report_.ii = Number("????+-", 4, 2);
      for (const char* h : kWarningHeadings) {
        if (!strcmp(h, report_.t1t2)) {
          warning_ = 1;
          Warning(1);
          ChangeState(kSkipBulletin);
          return 1;
        }
      }
      ChangeState(kCentre);
      return 1;
    }
    case kCentre:
      if (!Match("??####")) return 0;
      Letters("??####", report_.centre, sizeof report_.centre);
      ChangeState(kHeadingTime);
      return 1;
    case kHeadingTime:
      if (!Match("++++++")) return 0;
      report_.bulletinTime = DayTime(Number("++++++", 0, 2), Number("++++++", 2, 2),
                                     Number("++++++", 4, 2));
      ChangeState(lineEnd ? kSection : kCorrection);
      return 1;
    case kCorrection:
      if (Match("???###")) {
        Letters("???###", report_.correction, sizeof report_.correction);
      } else if (!lineEnd) {
        return 0;
      }
      ChangeState(kSection);
      return 1;
    case kSection:
      if (Match("??AAXX")) {
        ++landSections_;
        report_.section = kSynSectionLand;
        ChangeState(kLandTime);
        return 1;
      }
      if (Match("??BBXX")) {
        ++shipSections_;
        report_.section = kSynSectionShip;
        returnState_ = kShipCallSign;
        ChangeState(kShipCallSign);
        return 1;
      }
      return 0;
  }
  return 0;
}

// Section 1 from group 1 on: groups in rising order of their leading figure.
int CSynopDecoder::Section1() {
  const char* p = "?+++++";
  if (Match("?222++")) {
    report_.Ds = Number(p, 4, 1);
    report_.vs = Number(p, 5, 1);
    if (report_.Ds >= 0) report_.flags |= kSynShipCourse;
    lastDigit_ = -1;
    ChangeState(kSection2);
    return 1;
  }
  if (Match("???333") || Match("???444")) {
    lastDigit_ = -1;
    ChangeState(Match("???333") ? kSection3 : kSection4);
    return 1;
  }
  if (!Match(p)) return 0;
  const int digit = FigureOf(static_cast<unsigned char>(window_[1])) - '0';
  if (digit < 1 || digit < lastDigit_) return 0;  // out of order: skipped
  SYN_DATA& r = report_;
  switch (digit) {
    case 1: {
      const int sign = Number(p, 2, 1), t = Number(p, 3, 3);
      if (sign >= 0 && t >= 0) {
        r.temperature = (sign == 1 ? -t : t) / 10.0;
        r.flags |= kSynTemperature;
      }
      break;
    }
    case 2: {
      const int sign = Number(p, 2, 1), t = Number(p, 3, 3);
      if (sign == 9 && t >= 0 && t <= 100) {
        r.humidity = t;
        r.flags |= kSynHumidity;
      } else if (sign >= 0 && sign <= 1 && t >= 0) {
        r.dewPoint = (sign == 1 ? -t : t) / 10.0;
        r.flags |= kSynDewPoint;
      }
      break;
    }
    case 3:
    case 4: {
      const int v = Number(p, 2, 4);
      int level = 0;
      if (digit == 4 && v >= 0)
        for (const StandardLevel& s : kStandardLevels)
          if (v / 1000 == s.figure) level = s.hPa;
      if (level) {
        r.standardLevel = level;
        r.geopotential = v % 1000;
        r.flags |= kSynGeopotential;
      } else if (v >= 0) {
        const double hPa = (v < kPressureWrap ? v + 10000 : v) / 10.0;
        if (digit == 3) {
          r.stationPressure = hPa;
          r.flags |= kSynStationPressure;
        } else {
          r.seaPressure = hPa;
          r.flags |= kSynSeaPressure;
        }
      }
      break;
    }
    case 5: {
      const int a = Number(p, 2, 1), ppp = Number(p, 3, 3);
      if (a >= 0 && ppp >= 0) {
        r.tendency = a;
        r.tendencyAmount = ppp / 10.0;
        r.flags |= kSynTendency;
      }
      break;
    }
    case 6: {
      const int rrr = Number(p, 2, 3);
      if (rrr >= 0) {
        r.RRR = rrr;
        r.tR = Number(p, 5, 1);
        r.flags |= kSynPrecipitation;
      }
      break;
    }
    case 7:
      r.ww = Number(p, 2, 2);
      if (r.ww >= 0) {
        if (Match("?7++//")) {
          r.flags |= kSynPresentWeather;
        } else {
          r.W1 = Number(p, 4, 1);
          r.W2 = Number(p, 5, 1);
          r.flags |= kSynWeather;
        }
      }
      break;
    case 8:
      r.Nh = Number(p, 2, 1);
      r.CL = Number(p, 3, 1);
      r.CM = Number(p, 4, 1);
      r.CH = Number(p, 5, 1);
      r.flags |= kSynClouds;
      break;
    case 9:
      break;  // time of observation: accepted, not kept
  }
  lastDigit_ = digit;
  if (state_ == kTemperature) ChangeState(digit == 1 ? kDewPoint : kSection1);
  else if (state_ == kDewPoint) ChangeState(kSection1);
  return 1;
}

// Section 2 (ships): groups 0 ... 6 and 70 in rising order.
int CSynopDecoder::Section2() {
  const char* p = "?+++++";
  if (Match("???333") || Match("???444")) {
    lastDigit_ = -1;
    ChangeState(Match("???333") ? kSection3 : kSection4);
    return 1;
  }
  if (!Match(p)) return 0;
  int digit = FigureOf(static_cast<unsigned char>(window_[1])) - '0';
  if (digit == 7 && !Match("?70+++")) return 0;
  if (digit > 7 || digit < lastDigit_) return 0;
  SYN_DATA& r = report_;
  const int a = Number(p, 2, 2), b = Number(p, 4, 2);
  switch (digit) {
    case 0: {
      const int sign = Number(p, 2, 1), t = Number(p, 3, 3);
      if (sign >= 0 && t >= 0) {
        r.seaTemperature = (sign == 1 ? -t : t) / 10.0;
        r.flags |= kSynSeaTemperature;
      }
      break;
    }
    case 1:
      if (a >= 0 || b >= 0) {
        r.windWavePeriod = a;
        r.windWaveHeight = b >= 0 ? b * 0.5 : -1;
        r.flags |= kSynWindWaves;
      }
      break;
    case 2:
      if (a >= 0 || b >= 0) {
        r.wavePeriod = a;
        r.waveHeight = b >= 0 ? b * 0.5 : -1;
        r.flags |= kSynWaves;
      }
      break;
    case 3:
      r.swellDirection1 = a >= 0 ? a * 10 : -1;
      r.swellDirection2 = b >= 0 ? b * 10 : -1;
      if (a >= 0 || b >= 0) r.flags |= kSynSwellDirections;
      break;
    case 4:
    case 5:
      if (a >= 0 || b >= 0) {
        (digit == 4 ? r.swell1Period : r.swell2Period) = a;
        (digit == 4 ? r.swell1Height : r.swell2Height) = b >= 0 ? b * 0.5 : -1;
        r.flags |= digit == 4 ? kSynSwell1 : kSynSwell2;
      }
      break;
    case 6:
      r.iceSource = Number(p, 2, 1);
      r.iceThickness = Number(p, 3, 2);
      r.iceRate = Number(p, 5, 1);
      if (r.iceSource >= 0) r.flags |= kSynIce;
      break;
    case 7: {
      const int h = Number(p, 3, 3);
      if (h >= 0) {
        r.windWaveHeight = h / 10.0;
        r.flags |= kSynWindWaves;
      }
      break;
    }
  }
  lastDigit_ = digit;
  return 1;
}

// Section 3: groups 1 ... 9 in rising order (5, 8 and 9 may repeat).
int CSynopDecoder::Section3() {
  const char* p = "?+++++";
  if (Match("???444")) {
    ChangeState(kSection4);
    return 1;
  }
  if (!Match(p)) return 0;
  const int digit = FigureOf(static_cast<unsigned char>(window_[1])) - '0';
  if (digit < 1 || digit < lastDigit_) return 0;
  SYN_DATA& r = report_;
  const int sign = Number(p, 2, 1), t = Number(p, 3, 3);
  switch (digit) {
    case 1:
    case 2:
      if (sign >= 0 && t >= 0) {
        (digit == 1 ? r.maxTemperature : r.minTemperature) = (sign == 1 ? -t : t) / 10.0;
        r.flags |= digit == 1 ? kSynMaxTemperature : kSynMinTemperature;
      }
      break;
    case 3: {
      r.groundState = Number(p, 2, 1);
      const int s = Number(p, 3, 1), tg = Number(p, 4, 2);
      if (r.groundState >= 0 || tg >= 0) {
        r.groundTemperature = tg < 0 ? -99 : (s == 1 ? -tg : tg);
        r.flags |= kSynGround;
      }
      break;
    }
    case 4:
      r.snowState = Number(p, 2, 1);
      r.snowDepth = Number(p, 3, 3);
      if (r.snowState >= 0 || r.snowDepth >= 0) r.flags |= kSynSnow;
      break;
    case 6:
      if (!(r.flags & kSynPrecipitation) && Number(p, 2, 3) >= 0) {
        r.RRR = Number(p, 2, 3);
        r.tR = Number(p, 5, 1);
        r.flags |= kSynPrecipitation;
      }
      break;
    case 8:
      if (r.cloudLayers < kSynMaxCloudLayers) {
        auto& l = r.layer[r.cloudLayers++];
        l.Ns = Number(p, 2, 1);
        l.C = Number(p, 3, 1);
        l.hshs = Number(p, 4, 2);
        r.flags |= kSynCloudLayer;
      }
      break;
    default:
      break;  // groups 5, 7 and 9: accepted, not kept
  }
  lastDigit_ = digit;
  return 1;
}

int CSynopDecoder::ShipPosition() {
  if (state_ == kShipLatitude) {
    if (!Match("?99+++")) {
      if (!PlatformNumber() || !Match("?+++++")) return 0;
      ClearReport();  // a platform number must be followed by its position
      ChangeState(kShipCallSign);
      return 1;
    }
    const int lat = Number("?99+++", 3, 3);
    report_.latitude = (lat > 0 && lat <= kMaxLatitudeTenths) ? lat * kTenthsToMinutes : 0;
    ChangeState(kShipLongitude);
    return 1;
  }
  if (!Match("?+++++")) return 0;
  const int qc = Number("?+++++", 1, 1), lon = Number("?+++++", 2, 4);
  report_.longitude = (lon > 0 && lon <= kMaxLongitudeTenths) ? lon * kTenthsToMinutes : 0;
  // Quadrants: 1 north-east, 3 south-east, 5 south-west, 7 north-west (north, west negative).
  if (qc == 1 || qc == 7) report_.latitude = -report_.latitude;
  if (qc == 5 || qc == 7) report_.longitude = -report_.longitude;
  ChangeState(kVisibility);
  return 1;
}

bool CSynopDecoder::PlatformNumber() const {
  const char* c = report_.callSign;
  if (!*c) return false;
  for (; *c; ++c)
    if (!isdigit(static_cast<unsigned char>(*c))) return false;
  return true;
}

// ---- bulletins and reports ----

void CSynopDecoder::NewBulletin(int keepWarning) {
  if (!keepWarning && warning_) {
    warning_ = 0;
    Warning(0);
  }
  ++bulletins_;
  ClearReport();
  memset(report_.t1t2, 0, sizeof report_.t1t2);
  memset(report_.a1a2, 0, sizeof report_.a1a2);
  memset(report_.centre, 0, sizeof report_.centre);
  memset(report_.correction, 0, sizeof report_.correction);
  report_.ii = -1;
  report_.bulletinNumber = bulletinNumber_ = -1;
  report_.section = kSynSectionNone;
  report_.bulletinTime = report_.observationTime = 0;
  returnState_ = kLandStation;
  // The bulletin number follows in the same window ("ZCZC nnn"): keep it.
  state_ = kBulletinNumber;
  sinceChange_ = 0;
}

void CSynopDecoder::EndBulletin() {
  // A last report without its "=" still counts.
  if ((report_.flags & kSynStation) && !warning_) EndReport();
  ChangeState(kWaitBulletin);
  ++bulletinEnds_;
  if (warning_) {
    warning_ = 0;
    Warning(0);
  }
}

void CSynopDecoder::EndReport() {
  // A platform number only counts once its time and position groups were read.
  const bool unplaced = PlatformNumber() && (state_ == kShipTime || state_ == kShipLatitude ||
                                             state_ == kShipLongitude);
  ChangeState(returnState_);
  const time_t now = Now();
  if ((report_.flags & kSynStation) && report_.section != kSynSectionNone && !unplaced &&
      report_.bulletinTime <= now && report_.observationTime <= now)
    Message(report_);
  ClearReport();
}

// Clears the report's own fields; the bulletin's heading, times and section stay.
void CSynopDecoder::ClearReport() {
  SYN_DATA& r = report_;
  r.flags = 0;
  r.index = 0;
  r.latitude = r.longitude = r.altitude = 0;
  memset(r.callSign, 0, sizeof r.callSign);
  r.iR = r.ix = r.h = r.VV = r.N = r.dd = r.ff = -1;
  r.temperature = r.dewPoint = 0;
  r.humidity = -1;
  r.stationPressure = r.seaPressure = 0;
  r.standardLevel = r.geopotential = -1;
  r.tendency = -1;
  r.tendencyAmount = 0;
  r.RRR = r.tR = -1;
  r.ww = r.W1 = r.W2 = -1;
  r.Nh = r.CL = r.CM = r.CH = -1;
  r.Ds = r.vs = -1;
  r.seaTemperature = 0;
  r.windWavePeriod = r.wavePeriod = r.swell1Period = r.swell2Period = -1;
  r.windWaveHeight = r.waveHeight = r.swell1Height = r.swell2Height = -1;
  r.swellDirection1 = r.swellDirection2 = -1;
  r.iceSource = r.iceThickness = r.iceRate = -1;
  r.maxTemperature = r.minTemperature = r.groundTemperature = 0;
  r.groundState = r.snowState = r.snowDepth = -1;
  r.cloudLayers = 0;
  for (auto& l : r.layer) l.Ns = l.C = l.hshs = -1;
  r.cloud4N = r.cloud4C = r.cloud4H = r.cloud4Ct = -1;
  lastDigit_ = -1;
}

time_t CSynopDecoder::Now() const { return clock_ ? clock_ : time(nullptr); }

// A day, hour and minute of the last 24 hours or so, as UTC: today if that is not later than
// the current hour, else the day before.
time_t CSynopDecoder::DayTime(int day, int hour, int minute) const {
  const time_t now = Now();
  if (hour < 0 || hour > 23) return 0;
  if (minute < 0 || minute > 59) minute = 0;
  tm t;
  gmtime_r(&now, &t);
  const time_t base = now - now % 3600;
  const int hours = (t.tm_mday == day && hour <= t.tm_hour) ? hour - t.tm_hour
                                                             : hour - t.tm_hour - 24;
  return base + static_cast<time_t>(hours) * 3600 + minute * 60;
}

double CSynopDecoder::SeaLevelPressure(double p, double t, double h) {
  return p * exp(0.03417360734427 * h / (t + 273.15 + 0.0065 * h));
}

void CSynopDecoder::GetStandard(double h, double& t, double& p) {
  t = 15.0 - 0.0065 * h;
  p = 1013.2 + 0.12 * h;
}
