// kestrel sat and kestrel locator: satellite positions and passes from a two-line element
// file for an observer, and Maidenhead locators to map coordinates and back.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/lists/frq_list_file.h"
#include "app/lists/sat_timer_list.h"
#include "spl/sat/sat_passes.h"
#include "spl/sat/track_sat.h"
#include "tools/kestrel/args.h"
#include "tools/kestrel/command.h"

namespace {

constexpr double kMinutesPerDegree = 60.0;
constexpr long kMaxHeightM = 100000;
constexpr double kMaxHours = 24.0 * 31;
constexpr double kTimerListHours = 24.0;
constexpr double kSecondsPerHour = 3600.0;

const char* kSatUsage =
    "usage: kestrel sat predict --tle FILE --observer LOCATOR|LAT,LON [--height M]\n"
    "                           [--min-el DEG] [--time UTC] [--sat NAME|NUMBER] [--model M]\n"
    "       kestrel sat passes  --tle FILE --observer LOCATOR|LAT,LON [--height M]\n"
    "                           [--min-el DEG] [--time UTC] [--hours N] [--sat NAME|NUMBER]\n"
    "                           [--model M]\n"
    "       kestrel sat timerlist --sbl FILE.sbl --tle FILE --observer LOCATOR|LAT,LON\n"
    "                           [--height M] [--min-el DEG] [--time UTC] [--hours N] [--model M]\n"
    "                           -o OUT.tim\n"
    "  LAT,LON in degrees, north and east positive; a locator stands for its square's centre.\n"
    "  UTC as 2026-12-01T12:00:00 (or with a blank, seconds optional); default: now.\n"
    "  --model sgp4 (default: SGP4/SDP4, geodetic latitude and height above the WGS-72\n"
    "  ellipsoid) or kepler (Keplerian orbit with J2 drift, geocentric latitude, height above\n"
    "  the equator's radius; some kilometres off).\n"
    "  predict prints position, height, elevation and azimuth (\"decayed\" for a satellite\n"
    "  that has come down by then); passes prints start, end and peak elevation of every pass\n"
    "  in the next --hours (default 24), with the date of an end or peak on a later day.\n"
    "  timerlist turns the checked entries of a satellite basis list (their SatID is the\n"
    "  catalogue number) into a timer list: one entry per pass starting from an hour before\n"
    "  --time up to --hours (at most 24) after it, ordered by start; window minutes count from\n"
    "  00:00 UTC of the day of --time (1440 and more: the next day), the day to start the\n"
    "  timer list on.\n";

const char* kLocatorUsage =
    "usage: kestrel locator LOCATOR | LAT,LON\n"
    "  A locator of 2, 4 or 6 characters gives its south-west corner and centre; LAT,LON in\n"
    "  degrees (north and east positive) gives the six-character locator.\n";

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// "49.6,11.0" -> degrees; false unless two numbers in range.
bool ParseLatLon(const std::string& text, double& lat, double& lon) {
  char tail = 0;
  if (sscanf(text.c_str(), "%lf,%lf%c", &lat, &lon, &tail) != 2) return false;
  return std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90 && std::fabs(lon) <= 180;
}

// Size of a locator's square in degrees (longitude, latitude) by its length.
void SquareSize(size_t length, double& dlon, double& dlat) {
  dlon = length >= 6 ? 5.0 / 60 : length >= 4 ? 2.0 : 20.0;
  dlat = length >= 6 ? 2.5 / 60 : length >= 4 ? 1.0 : 10.0;
}

std::string Degrees(double v, char pos, char neg) {
  char text[32];
  snprintf(text, sizeof text, "%.4f %c", std::fabs(v), v < 0 ? neg : pos);
  return text;
}

// Observer position in map coordinates from a locator (its centre) or LAT,LON.
bool ParseObserver(const std::string& text, Observer& obs, std::string& why) {
  double lat, lon;
  if (!ParseLatLon(text, lat, lon)) {
    std::string loc = Upper(text);
    int y, x;
    if (loc.size() % 2 || !CTrackSat::LocatorToMap(loc.c_str(), y, x)) {
      why = "--observer wants a locator (JN59OP) or LAT,LON in degrees, not \"" + text + "\"";
      return false;
    }
    double dlon, dlat;
    SquareSize(loc.size(), dlon, dlat);
    lat = -y / kMinutesPerDegree + dlat / 2;
    lon = x / kMinutesPerDegree + dlon / 2;
  }
  obs.y = int(std::lround(-lat * kMinutesPerDegree));
  obs.x = int(std::lround(lon * kMinutesPerDegree));
  return true;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "2026-12-01T12:00:00" (or a blank for the T, seconds optional, a trailing Z) to seconds
// since 1970; false with why for a malformed text or an impossible date or time.
bool ParseTime(const std::string& text, double& unix_seconds, std::string& why) {
  SatTime t{};
  char sep = 0, tail = 0;
  double sec = 0;
  int n = sscanf(text.c_str(), "%d-%d-%d%c%d:%d:%lf%c", &t.year, &t.month, &t.day, &sep, &t.hour,
                 &t.minute, &sec, &tail);
  if (n == 8 && tail == 'Z') n = 7;
  if ((n != 6 && n != 7) || (sep != 'T' && sep != ' ')) {
    why = "--time wants UTC as 2026-12-01T12:00:00, not \"" + text + "\"";
    return false;
  }
  char date[48];
  snprintf(date, sizeof date, "%04d-%02d-%02d", t.year, t.month, t.day);
  if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month)) {
    why = std::string("--time: there is no date ") + date;
    return false;
  }
  if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || !(sec >= 0 && sec < 60)) {
    why = "--time: \"" + text.substr(11) + "\" is not a time of day (00:00:00 to 23:59:59)";
    return false;
  }
  t.second = sec;
  unix_seconds = SatTimeToUnix(t);
  return true;
}

std::string TimeText(double unix_seconds) {
  SatTime t = SatTimeFromUnix(std::floor(unix_seconds + 0.5));
  char text[40];
  snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
           t.minute, int(t.second));
  return text;
}

// The time of day of when, with its date in front when it falls on another day than since.
std::string TimeOnDay(double when, double since) {
  std::string w = TimeText(when), s = TimeText(since);
  return w.compare(0, 10, s, 0, 10) == 0 ? w.substr(11) : w;
}

bool Matches(const SatElem& s, const std::string& want) {
  if (want.empty()) return true;
  if (std::to_string(s.number) == want) return true;
  return Upper(s.name) == Upper(want);
}

int TimerList(CArgs& args, CTrackSat& track, const std::vector<SatElem>& sats, const Observer& obs, double now,
              double hours) {
  if (!args.Has("--hours")) hours = kTimerListHours;
  if (hours > kTimerListHours) return Fail("sat", "timerlist covers at most 24 hours");
  std::vector<CFrqRecord> basis, timers;
  std::string why;
  if (!ReadFrqListFile(args.Get("--sbl"), 0, basis, &why)) return Fail("sat", why);
  SatTimerStats stats;
  const time_t at = time_t(std::floor(now));
  if (!MakeSatTimerList(track, sats, basis, obs, at, int(std::lround(hours * 60.0)), timers, &stats, &why))
    return Fail("sat", why);
  if (stats.unknown)
    fprintf(stderr, "kestrel: sat: %d checked entr%s of %s name%s no satellite of the element file\n", stats.unknown,
            stats.unknown == 1 ? "y" : "ies", args.Get("--sbl").c_str(), stats.unknown == 1 ? "s" : "");
  if (!stats.satellites) return Fail("sat", "no checked entry with a known satellite in " + args.Get("--sbl"));
  if (timers.empty()) return Fail("sat", "no satellite passes within the time range");
  if (!WriteFrqRecordFile(args.Get("-o"), timers, &why)) return Fail("sat", why);
  printf("%zu pass(es) of %d satellite(s) from %s UTC, minutes from 00:00 of that day\n", timers.size(),
         stats.satellites, TimeText(now).c_str());
  for (const CFrqRecord& r : timers)
    printf("  %s  %s  %.3f kHz  %s\n", TimerMinuteText(r.extension[0]).c_str(), TimerMinuteText(r.extension[1]).c_str(),
           r.rxFrq, r.name);
  return kExitOk;
}

int Sat(CArgs& args) {
  const auto& words = args.Positional();
  if (words.size() != 1 || (words[0] != "predict" && words[0] != "passes" && words[0] != "timerlist"))
    return Fail("sat", "say predict, passes or timerlist (see kestrel sat --help)");
  const bool timerlist = words[0] == "timerlist";
  if (timerlist && !(args.Has("--sbl") && args.Has("-o"))) return Fail("sat", "timerlist needs --sbl FILE and -o OUT.tim");
  if (!timerlist && (args.Has("--sbl") || args.Has("-o"))) return Fail("sat", "--sbl and -o belong to timerlist");
  const bool passes = words[0] == "passes";
  if (!args.Has("--tle")) return Fail("sat", "--tle FILE is required");
  if (!args.Has("--observer")) return Fail("sat", "--observer LOCATOR|LAT,LON is required");
  Observer obs{};
  std::string why;
  if (!ParseObserver(args.Get("--observer"), obs, why)) return Fail("sat", why);
  long height, min_el;
  double hours;
  if (!args.GetInt("--height", 0, -1000, kMaxHeightM, height) ||
      !args.GetInt("--min-el", 0, -90, 90, min_el) ||
      !args.GetDouble("--hours", 24, 0.01, kMaxHours, hours))
    return Fail("sat", args.Error());
  obs.height = int(height);
  obs.minElevation = int(min_el);
  double now = double(std::time(nullptr));
  if (args.Has("--time") && !ParseTime(args.Get("--time"), now, why)) return Fail("sat", why);
  const std::string model = args.Has("--model") ? args.Get("--model") : "sgp4";
  if (model != "sgp4" && model != "kepler")
    return Fail("sat", "--model is sgp4 or kepler, not \"" + model + "\"");

  CTrackSat track;
  track.SetModel(model == "kepler" ? kSatModelKepler : kSatModelSgp4);
  std::vector<SatElem> sats;
  std::vector<std::string> notes;
  const std::string file = args.Get("--tle");
  if (!track.ReadNASA(file.c_str(), sats, &notes)) return Fail(file, "cannot open the element file");
  for (const std::string& n : notes) fprintf(stderr, "kestrel: %s: %s\n", file.c_str(), n.c_str());
  if (sats.empty()) return Fail(file, "no valid element sets");
  if (timerlist) return TimerList(args, track, sats, obs, now, hours);
  const std::string want = args.Get("--sat");
  int shown = 0, failed = 0;
  char locator[8];
  for (const SatElem& s : sats) {
    if (!Matches(s, want)) continue;
    ++shown;
    if (!passes) {
      Satellite r;
      int visible = track.Predict(s, obs, SatTimeFromUnix(now), r);
      if (!track.LastValid()) {
        if (track.LastDecayed()) {
          printf("%-24s %5d  %s UTC  decayed\n", s.name, s.number, TimeText(now).c_str());
          continue;
        }
        fprintf(stderr, "kestrel: %s: %s cannot be predicted at %s\n", file.c_str(), s.name,
                TimeText(now).c_str());
        ++failed;
        continue;
      }
      const SatDetail& d = track.LastDetail();
      if (!CTrackSat::MapToLocator(r.y, r.x, locator)) strcpy(locator, "-");
      char height[32];
      if (d.geodetic)
        snprintf(height, sizeof height, "%7.1f km", d.height);
      else
        snprintf(height, sizeof height, "%5d km", r.height);
      printf("%-24s %5d  %s UTC  %s %s (%s)%s  height %s  elevation %3d deg  azimuth %5.1f "
             "deg  range %7.0f km  %s\n",
             s.name, s.number, TimeText(now).c_str(), Degrees(d.latitude, 'N', 'S').c_str(),
             Degrees(d.longitude, 'E', 'W').c_str(), locator, d.geodetic ? " geodetic" : "",
             height, r.elevation, d.azimuth, d.range, visible ? "visible" : "below");
    } else {
      // A satellite that has come down has no passes: say so instead of searching.
      Satellite r;
      track.Predict(s, obs, SatTimeFromUnix(now), r);
      if (track.LastDecayed()) {
        printf("%s (%d): decayed at %s UTC, no passes, skipped\n", s.name, s.number,
               TimeText(now).c_str());
        continue;
      }
      std::vector<SatPass> found;
      FindPasses(track, s, obs, now, hours, found);
      printf("%s (%d): %zu pass(es) from %s UTC in %.1f h\n", s.name, s.number, found.size(),
             TimeText(now).c_str(), hours);
      for (const SatPass& p : found)
        printf("  start %s  end %s  peak %4.1f deg at %s (azimuth %5.1f)\n",
               TimeText(p.start).c_str(), TimeOnDay(p.end, p.start).c_str(), p.peakElevation,
               TimeOnDay(p.peak, p.start).c_str(), p.peakAzimuth);
      const double end = now + hours * kSecondsPerHour;
      track.Predict(s, obs, SatTimeFromUnix(end), r);
      if (track.LastDecayed())
        printf("  decayed before %s UTC: no passes after that\n", TimeText(end).c_str());
    }
  }
  if (!shown) return Fail("sat", "no satellite \"" + want + "\" in " + file);
  return failed ? kExitFailure : kExitOk;
}

}  // namespace

int RunSat(int argc, char** argv) {
  CArgs args({"--tle", "--observer", "--height", "--min-el", "--time", "--sat", "--hours", "--sbl", "-o",
              "--model"},
             {});
  if (!args.Parse(argc, argv)) return Fail("sat", args.Error());
  if (args.WantsHelp()) return fputs(kSatUsage, stdout), kExitOk;
  return Sat(args);
}

int RunLocator(int argc, char** argv) {
  CArgs args({}, {});
  if (!args.Parse(argc, argv)) return Fail("locator", args.Error());
  if (args.WantsHelp()) return fputs(kLocatorUsage, stdout), kExitOk;
  if (args.Positional().size() != 1) return Fail("locator", "give one LOCATOR or LAT,LON");
  const std::string text = args.Positional()[0];
  double lat, lon;
  if (ParseLatLon(text, lat, lon)) {
    char locator[8];
    int y = int(std::lround(-lat * kMinutesPerDegree)), x = int(std::lround(lon * kMinutesPerDegree));
    if (!CTrackSat::MapToLocator(y, x, locator)) return Fail("locator", "position out of range");
    printf("%s %s: %s\n", Degrees(lat, 'N', 'S').c_str(), Degrees(lon, 'E', 'W').c_str(), locator);
    return kExitOk;
  }
  std::string loc = Upper(text);
  int y, x;
  if (loc.size() % 2 || !CTrackSat::LocatorToMap(loc.c_str(), y, x))
    return Fail("locator", "\"" + text + "\" is neither a locator (2, 4 or 6 characters, "
                "like JN59OP) nor LAT,LON");
  double dlon, dlat;
  SquareSize(loc.size(), dlon, dlat);
  double s_lat = -y / kMinutesPerDegree, w_lon = x / kMinutesPerDegree;
  printf("%s: south-west corner %s %s, centre %s %s\n", loc.c_str(),
         Degrees(s_lat, 'N', 'S').c_str(), Degrees(w_lon, 'E', 'W').c_str(),
         Degrees(s_lat + dlat / 2, 'N', 'S').c_str(), Degrees(w_lon + dlon / 2, 'E', 'W').c_str());
  return kExitOk;
}
