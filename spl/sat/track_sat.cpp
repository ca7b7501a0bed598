#include "spl/sat/track_sat.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "spl/sat/sgp4_earth.h"

namespace {

// Earth and orbit constants of the model.
constexpr double kEarthRadius = 6378.16;              // km
constexpr double kGravity = 398600.0;                 // km^3/s^2
constexpr double kEarthE2 = 0.006694541854587637;     // eccentricity squared
constexpr double kEarthOneMinusE2 = 0.9933054581454123;
constexpr double kLatitudeFactor = 1.0000112420102683;
constexpr double kEarthRotation = 7.292115854937194e-5;  // rad/s
constexpr double kSiderealRate = 1.0027379093;            // revolutions per day
constexpr double kAxisFactor = 331.25;                    // km, a = 331.25 (1440 / n)^(2/3)
constexpr double kKeplerTolerance = 4.84813681109536e-6;  // one arc second, rad
// Node regression and perigee advance coefficients, degrees per day.
constexpr double kRegression = 9.95;
constexpr double kAdvance = 4.97;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kArcMinute = 0.0002908882086657216;  // rad
constexpr double kMinutesPerDay = 1440.0;
constexpr double kSecondsPerDay = 86400.0;

// Newton's iteration for Kepler's equation: it converges from E = M for the eccentricities
// of real orbits; above this one it starts from pi, where it converges for any e < 1.
constexpr double kKeplerStartFromPi = 0.8;
constexpr int kKeplerMaxIterations = 64;

// Sun: its radius-to-distance figure and the mean distance, km.
constexpr double kSunRadius = 688621.84;
constexpr double kSunDistance = 149598845.0;

constexpr int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Two-line sets.
constexpr int kMaxLine = 79;      // characters of a line that are kept
constexpr int kChecked = 68;      // characters covered by the check digit
constexpr int kElementLine = 69;  // characters of an element line
constexpr int kNameMax = 31;
constexpr double kEccentricityScale = 1e-7;

// Map coordinates.
constexpr int kHalfTurnMinutes = 10800;  // 180 degrees
constexpr int kQuarterTurnMinutes = 5400;
constexpr int kFieldX = 1200, kFieldY = 600;  // arc minutes of a field (20 x 10 degrees)
constexpr int kSquareX = 120, kSquareY = 60;  // of a square (2 x 1 degrees)
constexpr int kSubX = 5;                      // of a sub-square in longitude (5')
constexpr double kSubYPerMinute = 0.4;        // sub-squares per arc minute of latitude (2.5')
constexpr double kSubYMinutes = 2.5;

// Time scales: the Julian date of 1970-01-01 0 h and the days from 1950-01-00 0 h to it.
constexpr double kJulianUnixEpoch = 2440587.5;
constexpr double kDays1950ToUnix = 7306.0;
constexpr double kSecondsPerMinute = 60.0;
constexpr double kMinutesPerDegree = 60.0;
constexpr double kKmPerMetre = 0.001;

double Frac(double v) { return v - std::floor(v); }

// Rounds to the nearest integer, halves upward, also below zero.
int RoundInt(double v) { return int(std::floor(v + 0.5)); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads one line into out (first kMaxLine characters kept, CR and LF removed); false at the
// end of the file with nothing read.
bool ReadLine(std::FILE* file, std::string& out) {
  out.clear();
  int c;
  bool any = false;
  while ((c = std::getc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (c != '\r' && int(out.size()) < kMaxLine) out += char(c);
  }
  return any;
}

bool BlankLine(const std::string& s) {
  for (char c : s)
    if (!IsBlank(c)) return false;
  return true;
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// A decimal number in columns from..to (1-based, inclusive): blanks around it, an optional
// sign, digits and at most one point. Blank columns give 0 when allowBlank.
bool Field(const std::string& line, int from, int to, bool allowBlank, double& out) {
  std::string s = line.substr(size_t(from - 1), size_t(to - from + 1));
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  s = s.substr(b, e - b);
  if (s.empty()) {
    out = 0;
    return allowBlank;
  }
  size_t i = (s[0] == '+' || s[0] == '-') ? 1 : 0;
  int digits = 0, points = 0;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9')
      ++digits;
    else if (s[i] == '.')
      ++points;
    else
      return false;
  }
  if (digits == 0 || points > 1) return false;
  out = std::strtod(s.c_str(), nullptr);
  return std::isfinite(out);
}

// A number with an implied leading decimal point and a power of ten, as the drag term is
// written (" 66816-4" = 0.66816e-4, "-11606-4", "00000+0"). Blank columns give 0.
bool ImpliedField(const std::string& line, int from, int to, double& out) {
  std::string s = line.substr(size_t(from - 1), size_t(to - from + 1));
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  s = s.substr(b, e - b);
  out = 0;
  if (s.empty()) return true;
  double sign = 1;
  size_t i = 0;
  if (s[0] == '+' || s[0] == '-') sign = s[i++] == '-' ? -1 : 1;
  if (i < s.size() && s[i] == '.') ++i;  // some writers put the point in
  std::string digits;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') digits += s[i++];
  if (digits.empty()) return false;
  int exponent = 0;
  if (i < s.size()) {
    if ((s[i] != '+' && s[i] != '-') || i + 2 != s.size() || s[i + 1] < '0' || s[i + 1] > '9')
      return false;
    exponent = (s[i + 1] - '0') * (s[i] == '-' ? -1 : 1);
  }
  out = sign * std::strtod(("0." + digits).c_str(), nullptr) * std::pow(10.0, exponent);
  return true;
}

struct FieldSpec {
  int line;  // 1 or 2
  int from, to;
  bool allowBlank;
  const char* what;
};

std::string NameText(const SatElem& s) { return s.name; }

}  // namespace

// ---- Time -------------------------------------------------------------------------------

SatTime SatTimeFromUnix(double seconds) {
  double days = std::floor(seconds / kSecondsPerDay);
  double rest = seconds - days * kSecondsPerDay;
  // Civil date of a day count from 1970-01-01, in 400-year eras starting 1 March.
  long long z = (long long)days + 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  SatTime t;
  t.day = int(doy - (153 * mp + 2) / 5 + 1);
  t.month = int(mp < 10 ? mp + 3 : mp - 9);
  t.year = int(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = int(rest / 3600.0);
  rest -= t.hour * 3600.0;
  t.minute = int(rest / 60.0);
  t.second = rest - t.minute * 60.0;
  return t;
}

double SatTimeToUnix(const SatTime& t) {
  long long y = t.year - (t.month <= 2 ? 1 : 0);
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long m = t.month;
  long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + t.day - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long long days = era * 146097 + doe - 719468;
  return double(days) * kSecondsPerDay + t.hour * 3600.0 + t.minute * 60.0 + t.second;
}

// ---- Element sets -----------------------------------------------------------------------

char CTrackSat::CheckSum(const std::string& line, int plusWeight) {
  int sum = 0;
  for (size_t i = 0; i < line.size() && i < size_t(kChecked); ++i) {
    const char c = line[i];
    if (c >= '0' && c <= '9')
      sum += c - '0';
    else if (c == '-')
      sum += 1;
    else if (c == '+')
      sum += plusWeight;
  }
  return char('0' + sum % 10);
}

int CTrackSat::FindNASAEntry(std::FILE* file, std::string lines[3],
                             std::vector<std::string>* notes) {
  std::string line;
  while (ReadLine(file, line)) {
    if (BlankLine(line)) continue;  // blank lines between sets or inside one carry nothing
    // Trailing blanks are no part of an element line.
    while (!line.empty() && IsBlank(line.back())) line.pop_back();
    lines[0] = std::move(lines[1]);
    lines[1] = std::move(lines[2]);
    lines[2] = line;
    if (!StartsWith(lines[1], "1 ") || !StartsWith(lines[2], "2 ")) continue;
    bool ok = true;
    for (int k = 1; k <= 2; ++k) {
      const std::string& l = lines[k];
      const char* why = nullptr;
      if (int(l.size()) < kElementLine)
        why = "shorter than 69 characters";
      else if (l[kChecked] != CheckSum(l, kNasaPlusWeight) && l[kChecked] != CheckSum(l, 0))
        why = "check digit wrong";
      if (why) {
        ok = false;
        if (notes)
          notes->push_back("set before \"" + lines[2].substr(0, 7) + "\": line " +
                           std::to_string(k) + " " + why + ", skipped");
      }
    }
    if (ok) return 1;
  }
  return 0;
}

int CTrackSat::ReadNASA(const char* fileName, std::vector<SatElem>& sats,
                        std::vector<std::string>* notes) {
  std::FILE* file = fileName ? std::fopen(fileName, "rb") : nullptr;
  if (!file) return 0;
  int ok = ReadNASA(file, sats, notes);
  std::fclose(file);
  return ok;
}

int CTrackSat::ReadNASA(std::FILE* file, std::vector<SatElem>& sats,
                        std::vector<std::string>* notes) {
  if (!file) return 0;
  static const FieldSpec kFields[] = {
      {1, 3, 7, false, "catalogue number"}, {1, 10, 11, true, "launch year"},
      {1, 12, 14, true, "launch number"},   {1, 19, 20, false, "epoch year"},
      {1, 21, 32, false, "epoch day"},      {1, 34, 43, false, "decay"},
      {2, 3, 7, false, "catalogue number"}, {2, 9, 16, false, "inclination"},
      {2, 18, 25, false, "node"},           {2, 27, 33, false, "eccentricity"},
      {2, 35, 42, false, "argument of perigee"}, {2, 44, 51, false, "mean anomaly"},
      {2, 53, 63, false, "mean motion"},    {2, 64, 68, true, "revolution number"},
  };
  enum { kNumber, kLaunchYear, kLaunchNumber, kEpochYear, kEpochDay, kDecay, kNumber2, kIncl,
         kNode, kEcc, kPerigee, kMeanAnomaly, kMeanMotion, kRevolution, kFieldCount };
  std::string lines[3];
  while (FindNASAEntry(file, lines, notes)) {
    SatElem s{};
    // A name line that is itself an element line means the file has no names.
    std::string name = lines[0];
    if (StartsWith(name, "1 ") || StartsWith(name, "2 ")) name.clear();
    while (!name.empty() && IsBlank(name.back())) name.pop_back();
    double v[kFieldCount];
    bool ok = true;
    for (int f = 0; f < kFieldCount && ok; ++f) {
      const FieldSpec& spec = kFields[f];
      if (!Field(lines[spec.line], spec.from, spec.to, spec.allowBlank, v[f])) {
        ok = false;
        if (notes)
          notes->push_back("set " + lines[1].substr(2, 5) + ": " + spec.what +
                           " is not a number, skipped");
      }
    }
    if (!ok) continue;
    if (name.empty()) name = std::to_string(int(v[kNumber]));
    std::strncpy(s.name, name.c_str(), kNameMax);
    s.name[kNameMax] = 0;
    s.number = int32_t(v[kNumber]);
    s.launchYear = int16_t(v[kLaunchYear]);
    s.launchNumber = int16_t(v[kLaunchNumber]);
    s.piece = int16_t(std::atoi(lines[1].substr(14, 3).c_str()));
    s.epochYear = int16_t(v[kEpochYear]);
    s.epochDay = v[kEpochDay];
    s.decay = v[kDecay];
    s.inclination = v[kIncl];
    s.node = v[kNode];
    s.eccentricity = v[kEcc];
    s.perigee = v[kPerigee];
    s.meanAnomaly = v[kMeanAnomaly];
    s.meanMotion = v[kMeanMotion];
    s.revolution = int32_t(v[kRevolution]);
    if (!ImpliedField(lines[1], 54, 61, s.bstar) && notes)
      notes->push_back("set " + lines[1].substr(2, 5) + ": drag term unreadable, taken as 0");

    const char* why = nullptr;
    double e = s.eccentricity * kEccentricityScale;
    if (v[kNumber2] != v[kNumber])
      why = "line 2 belongs to another catalogue number";
    else if (s.epochYear < 0 || s.epochYear > 99 || s.epochDay < 1.0 || s.epochDay >= 367.0)
      why = "epoch out of range";
    else if (s.inclination < 0 || s.inclination > 180 || s.node < 0 || s.node > 360 ||
             s.perigee < 0 || s.perigee > 360 || s.meanAnomaly < 0 || s.meanAnomaly > 360)
      why = "an angle out of range";
    else if (!(e >= 0.0 && e < 1.0))
      why = "eccentricity out of range";
    else if (!(s.meanMotion > 0.0))
      why = "mean motion out of range";
    else if (kAxisFactor * std::pow(kMinutesPerDay / s.meanMotion, 2.0 / 3.0) * (1.0 - e) <=
             kEarthRadius)
      why = "perigee below the Earth's surface (mean motion or eccentricity out of range)";
    if (why) {
      if (notes)
        notes->push_back(NameText(s) + " (" + std::to_string(s.number) + "): " + why +
                         ", cannot be propagated, skipped");
      continue;
    }
    for (const SatElem& known : sats)
      if (std::strcmp(known.name, s.name) == 0) return 1;
    sats.push_back(s);
  }
  return 1;
}

// ---- Prediction -------------------------------------------------------------------------

double CTrackSat::GetDayNum(int year, int month, int day) {
  if (year < 50)
    year += 2000;
  else if (year < 100)
    year += 1900;
  if (month < 1) month = 1;
  if (month > 12) month = 12;
  long long v = 1461LL * year - 2777361LL;
  long long base = v >= 0 ? v / 4 : -((-v + 3) / 4);  // rounding toward minus infinity
  long long n = base + kDaysBefore[month - 1] + day + 365;
  if (year % 4 == 0 && month > 2) ++n;
  return double(n);
}

void CTrackSat::Init(double day) {
  double d = std::floor(day);
  if (day_valid_ && d == day_) return;
  day_ = d;
  day_valid_ = true;
  kepler_calls_ = kepler_iterations_ = 0;
  double t = (d - 0.5) / 36525.0;
  double t2 = t * t, t3 = t2 * t;
  sidereal0_ = Frac((6.6460656 + 2400.051262 * t + 2.581e-5 * t2) / 24.0);
  sun_obliquity_ = (23.452294 - 0.0130125 * t - 1.64e-6 * t2 + 5.03e-7 * t3 +
                    0.00256 * std::cos((259.18 - 1934.142 * t) * kDegToRad)) *
                   kDegToRad;
  sun_eccentricity_ = 0.01675104 - 4.18e-5 * t - 1.26e-7 * t2;
  sun_perigee_ = (281.220833 + 1.719175 * t + 0.0004527 * t2 + 3.3e-6 * t3) * kDegToRad;
  sun_mean_anomaly_ =
      Frac((358.475845 + 35999.04975 * t - 0.00015 * t2 - 3.33333e-6 * t3) / 360.0) * kTwoPi;
  sun_mean_motion_ = 1.0 / (365.24219879 - 6.14e-6 * t);
  sun_true_anomaly_ = Kepler(sun_mean_anomaly_, sun_eccentricity_);
  double e = sun_eccentricity_;
  sun_q_ = kSunRadius / ((1.0 - e * e) * kSunDistance / (1.0 + e * std::cos(sun_true_anomaly_)));
  sun_q_root_ = std::sqrt(1.0 - sun_q_ * sun_q_);
}

double CTrackSat::Kepler(double m, double e) {
  ++kepler_calls_;
  double ea = e > kKeplerStartFromPi ? kPi : m;
  for (int i = 0; i < kKeplerMaxIterations; ++i) {
    ++kepler_iterations_;
    double step = (ea - e * std::sin(ea) - m) / (1.0 - e * std::cos(ea));
    ea -= step;
    if (std::fabs(step) < kKeplerTolerance) break;
  }
  if (std::fabs(ea - kPi) < kKeplerTolerance) return kPi;
  double nu = 2.0 * std::atan(std::sqrt((1.0 + e) / (1.0 - e)) * std::tan(ea / 2.0));
  if (nu < 0) nu += kTwoPi;
  return nu;
}

void CTrackSat::GetPrecession(double a0) {
  double k = std::pow(kEarthRadius / a0, 3.5);
  double d = 1.0 - eccentricity_ * eccentricity_;
  d *= d;
  double c = std::cos(inclination_);
  regression_ = kRegression * k * c / d * kDegToRad;
  advance_ = kAdvance * k * (5.0 * c * c - 1.0) / d * kDegToRad;
}

void CTrackSat::GetSatPosition() {
  double e = eccentricity_;
  double a = kAxisFactor * std::pow(kMinutesPerDay / mean_motion_, 2.0 / 3.0);
  double p = (1.0 - e * e) * a;
  double cv = std::cos(true_anomaly_), sv = std::sin(true_anomaly_);
  double r = p / (1.0 + e * cv);
  double node = node_ - delta_ * regression_;
  double w = perigee_ + delta_ * advance_;
  double cw = std::cos(w), sw = std::sin(w), cn = std::cos(node), sn = std::sin(node);
  double ci = std::cos(inclination_), si = std::sin(inclination_);
  double pv[3] = {cw * cn - ci * sw * sn, ci * sw * cn + cw * sn, si * sw};
  double qv[3] = {-sw * cn - ci * cw * sn, ci * cw * cn - sw * sn, si * cw};
  double speed = std::sqrt(kGravity / p);
  for (int k = 0; k < 3; ++k) {
    sat_pos_[k] = r * cv * pv[k] + r * sv * qv[k];
    sat_vel_[k] = speed * (-sv * pv[k] + (e + cv) * qv[k]);
  }
}

void CTrackSat::GetSitePosition(double theta) {
  if (!site_cached_ || site_lat_ != obs_lat_ || site_height_ != obs_height_) {
    double lat = std::atan(std::tan(obs_lat_) * kLatitudeFactor);
    site_cos_ = std::cos(lat);
    site_sin_ = std::sin(lat);
    site_n_ = kEarthRadius / std::sqrt(1.0 - kEarthE2 * site_sin_ * site_sin_);
    site_lat_ = obs_lat_;
    site_height_ = obs_height_;
    site_cached_ = true;
  }
  double lst = theta - obs_lon_;
  double cl = std::cos(lst), sl = std::sin(lst);
  double h = obs_height_, n = site_n_;
  site_pos_[0] = (n + h) * site_cos_ * cl;
  site_pos_[1] = (n + h) * site_cos_ * sl;
  site_pos_[2] = -(kEarthOneMinusE2 * n + h) * site_sin_;
  site_vel_[0] = -site_pos_[1] * kEarthRotation;
  site_vel_[1] = site_pos_[0] * kEarthRotation;
  site_vel_[2] = 0.0;
  frame_[0][0] = -site_sin_ * cl, frame_[0][1] = -site_sin_ * sl, frame_[0][2] = -site_cos_;
  frame_[1][0] = -sl, frame_[1][1] = cl, frame_[1][2] = 0.0;
  frame_[2][0] = site_cos_ * cl, frame_[2][1] = site_cos_ * sl, frame_[2][2] = -site_sin_;
}

void CTrackSat::GetTopocentric() {
  double d[3] = {sat_pos_[0] - site_pos_[0], sat_pos_[1] - site_pos_[1],
                 sat_pos_[2] - site_pos_[2]};
  for (int r = 0; r < 3; ++r)
    topo_[r] = frame_[r][0] * d[0] + frame_[r][1] * d[1] + frame_[r][2] * d[2];
}

void CTrackSat::GetBearings() {
  double s = topo_[0], e = topo_[1], z = topo_[2];
  // atan2 keeps the zenith (S = E = 0) finite.
  detail_.elevation = std::atan2(z, std::sqrt(s * s + e * e)) * kRadToDeg;
  double az = std::atan2(e, -s) * kRadToDeg;
  detail_.azimuth = az < 0 ? az + 360.0 : az;
}

void CTrackSat::GetRange() {
  detail_.range = std::sqrt(topo_[0] * topo_[0] + topo_[1] * topo_[1] + topo_[2] * topo_[2]);
}

void CTrackSat::GetSubSatPoint(double theta) {
  double x = sat_pos_[0], y = sat_pos_[1], z = sat_pos_[2];
  double west = theta - std::atan2(y, x);
  west -= kTwoPi * std::floor(west / kTwoPi);
  double xy = std::sqrt(x * x + y * y);
  double west_deg = west * kRadToDeg;
  if (west_deg > 180.0) west_deg -= 360.0;
  detail_.longitude = -west_deg;
  detail_.latitude = std::atan2(z, xy) * kRadToDeg;
  detail_.height = std::sqrt(xy * xy + z * z) - kEarthRadius;
}

int CTrackSat::Predict(const SatElem& sat, const Observer& obs, const SatTime& time,
                       Satellite& result) {
  valid_ = decayed_ = false;
  result = Satellite{0, 0, 0, -90};
  detail_ = SatDetail{0, 0, 0, -90, 0, 0, false};
  if (model_ == kSatModelSgp4) return PredictSgp4(sat, obs, time, result);
  // 1. The set's values in radians and days, the observer in radians and km.
  epoch_ = GetDayNum(sat.epochYear, 1, 0) + sat.epochDay;
  inclination_ = sat.inclination * kDegToRad;
  node_ = sat.node * kDegToRad;
  perigee_ = sat.perigee * kDegToRad;
  mean_anomaly_ = sat.meanAnomaly * kDegToRad;
  eccentricity_ = sat.eccentricity * kEccentricityScale;
  mean_motion_ = sat.meanMotion;
  decay_ = sat.decay;
  obs_lat_ = obs.y * kArcMinute;
  obs_lon_ = -obs.x * kArcMinute;
  obs_height_ = obs.height * 0.001;
  obs_min_el_ = obs.minElevation * kDegToRad;
  if (!(eccentricity_ >= 0.0 && eccentricity_ < 1.0) || !(sat.meanMotion > 0.0) ||
      time.month < 1 || time.month > 12)
    return 0;
  // 2.-3. The time as a day number, and the day's sidereal time.
  double t = GetDayNum(time.year, time.month, time.day) + time.hour / 24.0 +
             time.minute / kMinutesPerDay + time.second / kSecondsPerDay;
  Init(t);
  // 4. Drift of node and perigee from the epoch's orbit.
  double n0 = sat.meanMotion;
  GetPrecession(kAxisFactor * std::pow(kMinutesPerDay / n0, 2.0 / 3.0));
  // 5. Mean motion and mean anomaly now.
  delta_ = t - epoch_;
  mean_motion_ = n0 + 2.0 * decay_ * delta_;
  if (!(mean_motion_ > 0.0)) {  // decayed past any orbit
    decayed_ = true;
    return 0;
  }
  double revs = sat.revolution + mean_anomaly_ / kTwoPi + delta_ * (n0 + decay_ * delta_);
  double whole = std::floor(revs);
  revolution_ = whole;
  double m = (revs - whole) * kTwoPi;
  // 6.-7. The satellite in the inertial frame.
  true_anomaly_ = Kepler(m, eccentricity_);
  GetSatPosition();
  // 8.-10. The observer and the view from there.
  double theta = ((t - day_) * kSiderealRate + sidereal0_) * kTwoPi;
  GetSitePosition(theta);
  GetTopocentric();
  GetBearings();
  GetRange();
  // 11. The point below.
  GetSubSatPoint(theta);
  const double check[] = {detail_.latitude, detail_.longitude, detail_.height,
                          detail_.elevation, detail_.azimuth, detail_.range};
  for (double v : check) {
    if (!std::isfinite(v) || std::fabs(v) > 1e9) {
      detail_ = SatDetail{0, 0, 0, -90, 0, 0, false};
      return 0;
    }
  }
  if (detail_.height < kSatDecayHeightKm) {
    detail_ = SatDetail{0, 0, 0, -90, 0, 0, false};
    decayed_ = true;
    return 0;
  }
  return Finish(obs, result);
}

int CTrackSat::PredictSgp4(const SatElem& sat, const Observer& obs, const SatTime& time,
                           Satellite& result) {
  if (time.month < 1 || time.month > 12) return 0;
  // The set's model, set up again only when another set comes.
  if (!sgp4_ready_ || std::memcmp(&sgp4_sat_, &sat, sizeof sat) != 0) {
    sgp4_sat_ = sat;
    sgp4_ready_ = true;
    int year = sat.epochYear < 50 ? 2000 + sat.epochYear : 1900 + sat.epochYear;
    sgp4_epoch_unix_ =
        SatTimeToUnix(SatTime{year, 1, 1, 0, 0, 0.0}) + (sat.epochDay - 1.0) * kSecondsPerDay;
    Sgp4Elements e{sgp4_epoch_unix_ / kSecondsPerDay + kDays1950ToUnix,
                   sat.inclination, sat.node, sat.eccentricity * kEccentricityScale,
                   sat.perigee, sat.meanAnomaly, sat.meanMotion, sat.bstar};
    sgp4_init_ = sgp4_.Init(e);
  }
  if (!sgp4_init_) {
    decayed_ = sgp4_.Error() == kSgp4Decayed;
    return 0;
  }
  const double when = SatTimeToUnix(time);
  double pos[3], vel[3];
  int err = sgp4_.Propagate((when - sgp4_epoch_unix_) / kSecondsPerMinute, pos, vel);
  if (err != kSgp4Ok) {
    // Drag that shrinks the orbit to nothing or stretches it past e = 1 brings it down; the
    // lunar-solar terms pushing e out of range, a time too far away or edge values that give
    // no finite position are failures of the model, not decay.
    decayed_ = err == kSgp4Decayed || err == kSgp4MeanMotionOutOfRange ||
               err == kSgp4EccentricityOutOfRange || err == kSgp4SemiLatusNegative;
    return 0;
  }
  const double gmst = GreenwichSiderealTime(when / kSecondsPerDay + kJulianUnixEpoch);
  const GeodeticPoint below = TemeToGeodetic(pos, gmst, kWgs72);
  if (below.height < kSatDecayHeightKm) {
    decayed_ = true;
    return 0;
  }
  const GeodeticPoint site{-obs.y / kMinutesPerDegree, obs.x / kMinutesPerDegree,
                          obs.height * kKmPerMetre};
  const LookAngles look = Look(site, pos, gmst, kWgs72);
  const double check[] = {below.latitude, below.longitude, below.height, look.elevation,
                          look.azimuth, look.range};
  for (double v : check)
    if (!std::isfinite(v)) return 0;
  detail_ = SatDetail{below.latitude, below.longitude, below.height, look.elevation,
                      look.azimuth, look.range, true};
  return Finish(obs, result);
}

int CTrackSat::Finish(const Observer& obs, Satellite& result) {
  // A set far from any real one (a drag term of thousands, say) can throw the orbit out of
  // all measure: what has no place on the map is no position.
  constexpr double kMaxHeightKm = 1e9;
  if (!(std::fabs(detail_.latitude) <= 90.0) || !(std::fabs(detail_.longitude) <= 360.0) ||
      !(std::fabs(detail_.height) <= kMaxHeightKm) || !(std::fabs(detail_.elevation) <= 90.0)) {
    detail_ = SatDetail{0, 0, 0, -90, 0, 0, false};
    result = Satellite{0, 0, 0, -90};
    return 0;
  }
  // 12. Rounded to the map's arc minutes, whole km and degrees.
  result.y = RoundInt(-kMinutesPerDegree * detail_.latitude);
  result.x = RoundInt(kMinutesPerDegree * detail_.longitude);
  result.height = RoundInt(detail_.height);
  result.elevation = RoundInt(detail_.elevation);
  valid_ = true;
  return result.elevation >= obs.minElevation ? 1 : 0;
}

// ---- Locators ---------------------------------------------------------------------------

int CTrackSat::MapToLocator(int y, int x, char* locator) {
  long long ly = kQuarterTurnMinutes - (long long)y, lx = (long long)x + kHalfTurnMinutes;
  if (!locator || ly < 0 || ly > 2 * kQuarterTurnMinutes || lx < 0 || lx > 2 * kHalfTurnMinutes)
    return 0;
  int Y = int(ly), X = int(lx);
  // 180 degrees east is 180 degrees west; the north pole belongs to the last row of fields.
  if (X == 2 * kHalfTurnMinutes) X = 0;
  if (Y == 2 * kQuarterTurnMinutes) Y = 2 * kQuarterTurnMinutes - 1;
  locator[0] = char('A' + X / kFieldX);
  locator[1] = char('A' + Y / kFieldY);
  locator[2] = char('0' + (X % kFieldX) / kSquareX);
  locator[3] = char('0' + (Y % kFieldY) / kSquareY);
  locator[4] = char('A' + (X % kSquareX) / kSubX);
  locator[5] = char('A' + int((Y % kSquareY) * kSubYPerMinute));
  locator[6] = 0;
  return 1;
}

int CTrackSat::LocatorToMap(const char* locator, int& y, int& x) {
  y = x = 0;
  if (!locator) return 0;
  size_t n = std::strlen(locator);
  if (n < 2 || n > 6) return 0;
  auto in = [](char c, char lo, char hi) { return c >= lo && c <= hi; };
  if (!in(locator[0], 'A', 'R') || !in(locator[1], 'A', 'R')) return 0;
  int X = (locator[0] - 'A') * kFieldX, Y = (locator[1] - 'A') * kFieldY;
  if (n >= 4) {
    if (!in(locator[2], '0', '9') || !in(locator[3], '0', '9')) return 0;
    X += (locator[2] - '0') * kSquareX;
    Y += (locator[3] - '0') * kSquareY;
  }
  if (n == 6) {
    if (!in(locator[4], 'A', 'X') || !in(locator[5], 'A', 'X')) return 0;
    X += (locator[4] - 'A') * kSubX;
    // Rounded up: a corner on a half arc minute belongs to the sub-square above it.
    Y += int(std::ceil((locator[5] - 'A') * kSubYMinutes));
  }
  x = X - kHalfTurnMinutes;
  y = kQuarterTurnMinutes - Y;
  return 1;
}
