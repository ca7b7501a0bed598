#include "app/lists/sat_basis.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "app/lists/frq_list_file.h"
#include "app/lists/sat_timer_list.h"
#include "app/lists/time_scanner.h"

namespace {

constexpr size_t kLocatorChars = 6;
constexpr size_t kLongLocatorChars = 8;

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

SatObserverSettings ReadSatObserver(const CProfileFile& profile) {
  SatObserverSettings o;
  o.locator = Upper(profile.GetString(kObserverSection, kObserverLocatorKey, ""));
  o.height = profile.GetInt(kObserverSection, kObserverHeightKey, 0);
  o.minElevation = profile.GetInt(kObserverSection, kObserverMinElevKey, 0);
  return o;
}

void WriteSatObserver(CProfileFile& profile, const SatObserverSettings& observer) {
  profile.SetString(kObserverSection, kObserverLocatorKey, Upper(observer.locator));
  profile.SetInt(kObserverSection, kObserverHeightKey, observer.height);
  profile.SetInt(kObserverSection, kObserverMinElevKey, observer.minElevation);
}

int ObserverLocatorFromText(const std::string& text, std::string& locator, std::string* error) {
  double lat = 0.0, lon = 0.0;
  char rest = 0;
  constexpr double kMaxLat = 90.0, kMaxLon = 180.0;
  constexpr int kArcMinutes = 60;
  if (text.find(',') != std::string::npos) {
    char loc[8] = {};
    if (sscanf(text.c_str(), "%lf,%lf %c", &lat, &lon, &rest) == 2 && std::fabs(lat) <= kMaxLat &&
        std::fabs(lon) <= kMaxLon &&
        CTrackSat::MapToLocator(-int(std::lround(lat * kArcMinutes)),
                                int(std::lround(lon * kArcMinutes)), loc)) {
      locator = loc;
      return 1;
    }
    if (error) *error = kSatMsgBadLocator;
    return 0;
  }
  int y = 0, x = 0;
  if (!CheckObserverLocator(text, y, x, error)) return 0;
  locator = Upper(text);
  return 1;
}

int CheckObserverLocator(const std::string& text, int& y, int& x, std::string* error) {
  y = x = 0;
  const std::string loc = Upper(text);
  bool ok = loc.size() == kLocatorChars || loc.size() == kLongLocatorChars;
  for (size_t i = kLocatorChars; ok && i < loc.size(); ++i) ok = loc[i] >= '0' && loc[i] <= '9';
  // The pass search needs no finer place than the sub-square.
  if (ok) ok = CTrackSat::LocatorToMap(loc.substr(0, kLocatorChars).c_str(), y, x) != 0;
  if (!ok) {
    y = x = 0;
    if (error) *error = kSatMsgBadLocator;
    return 0;
  }
  return 1;
}

int CSatBasis::Init(const std::string& dataFolder) {
  m_sats.clear();
  if (dataFolder.empty()) {
    m_path.clear();
    return 0;
  }
  m_path = dataFolder + "/" + kSatElementFileName;
  return 1;
}

int CSatBasis::LoadElements() {
  m_sats.clear();
  if (m_path.empty()) return 0;
  // Sets the reader skips are left out silently: the names then show as unknown.
  return m_track.ReadNASA(m_path.c_str(), m_sats);
}

std::string CSatBasis::SatName(int satId) const {
  for (const SatElem& s : m_sats)
    if (s.number == satId) return s.name;
  return kUnknownSatName;
}

int CSatBasis::Generate(const std::vector<CFrqRecord>& basis, const SatObserverSettings& observer, bool timerRunning,
                        time_t now, int spanMinutes, const std::string& timerPath, std::vector<CFrqRecord>* written,
                        std::string& message) {
  message.clear();
  if (timerRunning) {
    message = kTimerRunningMessage;
    return kSatTimerRunning;
  }
  Observer obs{};
  // A square on the equator or the zero meridian reads as no observer at all, as an observer
  // never entered does.
  if (!CheckObserverLocator(observer.locator, obs.y, obs.x, nullptr) || obs.y == 0 || obs.x == 0) {
    message = kSatMsgNoObserver;
    return kSatNoObserver;
  }
  obs.height = observer.height;
  obs.minElevation = observer.minElevation;
  LoadElements();
  bool selected = false;
  for (const CFrqRecord& r : basis)
    if ((uint32_t(r.flags) & kListEntryChecked) && SatName(r.satId) != kUnknownSatName) selected = true;
  if (!selected) {
    message = kSatMsgNoSelection;
    return kSatNoSelection;
  }
  std::vector<CFrqRecord> timers;
  if (!MakeSatTimerList(m_track, m_sats, basis, obs, now, spanMinutes, timers, nullptr, &message))
    return kSatFailed;
  if (timers.empty()) {
    message = kSatMsgNoPass;
    return kSatNoPass;
  }
  if (!WriteFrqRecordFile(timerPath, timers, &message)) return kSatFailed;
  if (written) *written = std::move(timers);
  return kSatGenerated;
}
