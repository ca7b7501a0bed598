// CSatBasis: the satellite basis list (".sbl") as the station uses it, without a display: the
// element sets of the data folder ("SATDATA.2LI") that name the satellites of its entries,
// the observer kept in the profile, and the pass generator's checks with the messages the
// station shows before it writes the timer list.
#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "app/core/profile_file.h"
#include "app/lists/frq_record.h"
#include "spl/sat/track_sat.h"

constexpr const char* kSatElementFileName = "SATDATA.2LI";
// The observer in the profile: locator, height in metres, minimum elevation in degrees.
constexpr const char* kObserverSection = "OBSERVER";
constexpr const char* kObserverLocatorKey = "Locator";
constexpr const char* kObserverHeightKey = "Height";
constexpr const char* kObserverMinElevKey = "MinElev";
constexpr int kObserverLowestHeight = -1000;
constexpr int kObserverHighestHeight = 100000;
constexpr int kObserverLowestElev = 0;
constexpr int kObserverHighestElev = 90;
// What the first column shows for a satellite no element set has.
constexpr const char* kUnknownSatName = "?????????";
constexpr int kSatSpanMaxMinutes = 1440;

constexpr const char* kSatMsgBadLocator = "ERROR: min. 6 char's  example: JN57RX or JN57RX11";
constexpr const char* kSatMsgNoObserver = "The ObserverPoint is NULL -  please insert your QTH (ObserverPoint)";
constexpr const char* kSatMsgNoSelection = "no selected list item found";
constexpr const char* kSatMsgNoPass = "No satellite within the time range in view ";

struct SatObserverSettings {
  std::string locator;  // as typed, upper case
  int height = 0;       // metres
  int minElevation = 0;  // degrees
};

SatObserverSettings ReadSatObserver(const CProfileFile& profile);
void WriteSatObserver(CProfileFile& profile, const SatObserverSettings& observer);
// A locator as the user types it: six characters (field, square, sub-square) and optionally
// two digits more, which are accepted but not used. Map coordinates (arc minutes, north
// negative) of the six characters' square; 1, or 0 with kSatMsgBadLocator in *error.
int CheckObserverLocator(const std::string& text, int& y, int& x, std::string* error);
// What the observer field takes: a locator as above, or latitude and longitude in degrees
// ("52.5,13.4", north and east positive), which become the locator of their sub-square.
// 1 with locator set, or 0 with kSatMsgBadLocator in *error.
int ObserverLocatorFromText(const std::string& text, std::string& locator, std::string* error);

// How Generate ended.
enum SatGenerateResult {
  kSatGenerated,     // the timer list is written
  kSatTimerRunning,  // the timer schedule runs on the timer list
  kSatNoObserver,    // no usable observer: the locator wants entering
  kSatNoSelection,   // no checked entry names a known satellite
  kSatNoPass,        // no pass within the span
  kSatFailed,        // span out of range or the file not written
};

class CSatBasis {
 public:
  CSatBasis() = default;

  // The data folder holding the element file. 1, or 0 for an empty folder name.
  int Init(const std::string& dataFolder);
  const std::string& ElementPath() const { return m_path; }
  // Reads the element file anew; 1, or 0 when it cannot be opened (then there are no sets).
  int LoadElements();
  const std::vector<SatElem>& Elements() const { return m_sats; }
  // The name of the satellite with that catalogue number, kUnknownSatName when none.
  std::string SatName(int satId) const;

  // The passes of the checked satellites of basis from now for spanMinutes (1 ... 1440),
  // written as the timer list timerPath; the element file is read again first. message says
  // why when the result is not kSatGenerated; written (may be null) receives the entries.
  int Generate(const std::vector<CFrqRecord>& basis, const SatObserverSettings& observer, bool timerRunning,
               time_t now, int spanMinutes, const std::string& timerPath, std::vector<CFrqRecord>* written,
               std::string& message);

 private:
  std::string m_path;
  CTrackSat m_track;
  std::vector<SatElem> m_sats;
};
