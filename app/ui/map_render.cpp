#include "app/ui/map_render.h"

#include <QImage>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/core/profile_file.h"
#include "app/views/qt/sat_track_view.h"
#include "spl/sat/track_sat.h"
#include "spl/widgets/world_map_view.h"

namespace {
constexpr int kArcMinutes = 60;
constexpr double kMaxLatitude = 90.0, kMaxLongitude = 180.0;
}  // namespace

int ParseObserverPoint(const std::string& text, int& y, int& x) {
  double lat = 0.0, lon = 0.0;
  char rest = 0;
  if (sscanf(text.c_str(), "%lf,%lf%c", &lat, &lon, &rest) == 2) {
    if (std::fabs(lat) > kMaxLatitude || std::fabs(lon) > kMaxLongitude) return 0;
    y = -int(std::lround(lat * kArcMinutes));
    x = int(std::lround(lon * kArcMinutes));
    return 1;
  }
  return CTrackSat::LocatorToMap(text.c_str(), y, x);
}

int ParseUtc(const std::string& text, double& seconds) {
  SatTime t{};
  int sec = 0;
  char rest = 0;
  const int n = sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d%c", &t.year, &t.month, &t.day, &t.hour,
                       &t.minute, &sec, &rest);
  if (n != 5 && n != 6) return 0;
  t.second = sec;
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
      t.minute > 59 || sec < 0 || sec > 59)
    return 0;
  seconds = SatTimeToUnix(t);
  // A day past the month's end comes back as another date.
  const SatTime back = SatTimeFromUnix(seconds);
  return back.year == t.year && back.month == t.month && back.day == t.day;
}

int RenderMapPicture(const KstlOptions& o, std::string& error) {
  CProfileFile profile;  // nothing is kept
  CSatTrackView view(profile);
  view.resize(kRenderWidth, kRenderHeight);
  const std::string out = o.renderTrack.empty() ? o.renderMap : o.renderTrack;
  if (!o.renderTrack.empty()) {
    int y = 0, x = 0;
    double when = 0.0;
    if (!ParseObserverPoint(o.observer, y, x))
      return error = "--observer wants a locator (JN59OP) or LAT,LON, not \"" + o.observer + "\"", 2;
    if (!ParseUtc(o.time, when))
      return error = "--time wants UTC as 2026-12-01T12:00:00, not \"" + o.time + "\"", 2;
    std::vector<SatElem> sats;
    CTrackSat reader;
    if (!reader.ReadNASA(o.tle.c_str(), sats)) return error = o.tle + ": cannot be read", 2;
    if (sats.empty()) return error = o.tle + ": no element set", 2;
    view.SetClock([when] { return time_t(when); });
    view.SetObserver(y, x, 0, 0);
    view.SetElements(sats);
    view.MarkAll();
    view.Tick();
  }
  const QImage image = view.Map()->Render(QSize(kRenderWidth, kRenderHeight));
  if (image.isNull() || !image.save(QString::fromStdString(out), "PNG"))
    return error = out + ": cannot be written", 2;
  return 0;
}
