// CTrackSat: reads NORAD two-line element sets and predicts where a satellite is for a UTC
// time and an observer (sub-satellite point, height, elevation). Two orbit models: SGP4/SDP4
// (CSgp4, the model the element sets are made for; the default), and a Keplerian orbit whose
// node and perigee drift under J2 and whose mean motion decays linearly (cheaper, kilometres
// off). It also converts between map coordinates and six-character Maidenhead locators.
//
// Map coordinates are integers in arc minutes: x = longitude, east positive (-10800..10800),
// y = latitude, north NEGATIVE (-5400 north pole .. 5400 south pole).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "spl/sat/sgp4.h"

// One element set as read from a two-line file.
struct SatElem {
  char name[32];          // name line without trailing blanks, CR, LF; at most 31 characters
  int32_t number;         // catalogue number
  int16_t launchYear;     // two digits
  int16_t launchNumber;
  int16_t piece;          // the piece column read as a number (letters give 0)
  int16_t epochYear;      // two digits: below 50 means 20yy, else 19yy
  int32_t revolution;     // revolution number at epoch
  double epochDay;        // day of year with fraction (1.0 = 1 January 0 h)
  double inclination;     // degrees
  double node;            // right ascension of the ascending node, degrees
  double eccentricity;    // eccentricity x 1e7 (the digits of the set)
  double perigee;         // argument of perigee, degrees
  double meanAnomaly;     // degrees
  double meanMotion;      // revolutions per day
  double decay;           // first derivative of the mean motion / 2, revolutions per day^2
  double bstar;           // drag term of SGP4, 1 / Earth radii (line 1, columns 54-61)
};

// The orbit model of CTrackSat.
enum SatModel {
  kSatModelKepler,  // Keplerian orbit with J2 drift of node and perigee, linear decay
  kSatModelSgp4,    // SGP4 (near-earth) and SDP4 (periods of 225 minutes and more)
};

// Below this height (km) a satellite is taken to have come down.
constexpr double kSatDecayHeightKm = 100.0;

struct Observer {
  int y;          // latitude, arc minutes, north negative
  int x;          // longitude, arc minutes, east positive
  int height;     // metres
  int minElevation;  // degrees
};

// Result of Predict.
struct Satellite {
  int y;          // latitude of the sub-satellite point, arc minutes, north negative
  int x;          // longitude, arc minutes, east positive
  int height;     // km above the Earth's equatorial radius
  int elevation;  // degrees above the observer's horizon
};

// The same results unrounded, with the azimuth and range, for tracks and pass searches.
struct SatDetail {
  double latitude;   // degrees, north positive (geodetic with SGP4, geocentric with Kepler)
  double longitude;  // degrees, east positive, -180..180
  double height;     // km (above the WGS-72 ellipsoid with SGP4, the equatorial radius with
                     // Kepler)
  double elevation;  // degrees
  double azimuth;    // degrees from north through east
  double range;      // km from the observer
  bool geodetic;     // latitude and height are geodetic (SGP4)
};

// A UTC instant. Predict reads the date and the time of day.
struct SatTime {
  int year;    // 4 digits
  int month;   // 1..12
  int day;     // 1..31
  int hour;
  int minute;
  double second;  // with fraction
};

// Seconds since 1970-01-01 00:00 UTC to a SatTime and back (proleptic Gregorian calendar).
SatTime SatTimeFromUnix(double seconds);
double SatTimeToUnix(const SatTime& t);

class CTrackSat {
 public:
  CTrackSat() = default;

  // Appends the valid sets of a two-line file to sats. A set whose name is already in the
  // array ends the reading. Sets with a wrong check digit are skipped; sets with characters
  // that are not numbers in numeric columns, or an orbit that cannot be propagated
  // (eccentricity or mean motion out of range), are skipped and a line saying why is added
  // to notes when given. 1 (also for a file without sets), 0 when the file cannot be opened.
  int ReadNASA(const char* fileName, std::vector<SatElem>& sats,
               std::vector<std::string>* notes = nullptr);
  // The same from an open file (read to its end, not closed).
  int ReadNASA(std::FILE* file, std::vector<SatElem>& sats,
               std::vector<std::string>* notes = nullptr);

  // The model Predict uses; SGP4 unless set.
  void SetModel(SatModel model) { model_ = model; }
  SatModel Model() const { return model_; }

  // Position of sat at time for obs. Fills result in any case; 1 when the (rounded)
  // elevation is at least the observer's minimum elevation, else 0. When the orbit cannot be
  // computed at that time the result is {0, 0, 0, -90}, LastValid() is false and the return
  // is 0; LastDecayed() then says whether the satellite has come down by then (below
  // kSatDecayHeightKm, drag beyond any orbit, or the model reporting decay).
  int Predict(const SatElem& sat, const Observer& obs, const SatTime& time, Satellite& result);
  bool LastValid() const { return valid_; }
  bool LastDecayed() const { return decayed_; }
  // The last prediction unrounded.
  const SatDetail& LastDetail() const { return detail_; }
  // Kepler calls and Newton iterations since the last change of day.
  int KeplerCalls() const { return kepler_calls_; }
  int KeplerIterations() const { return kepler_iterations_; }

  // Six characters and a terminating zero into locator (7 bytes); 0 and nothing written when
  // 5400 - y is outside 0..10800 or x + 10800 outside 0..21600.
  static int MapToLocator(int y, int x, char* locator);
  // The south-west corner of a locator of 2 to 6 characters ("JN", "JN59", "JN59OP"; "JN5"
  // reads like "JN"), in whole arc minutes inside the square (a corner on a half minute of
  // latitude is rounded up). 0 with y = x = 0 for anything else.
  static int LocatorToMap(const char* locator, int& y, int& x);

 private:
  int FindNASAEntry(std::FILE* file, std::string lines[3], std::vector<std::string>* notes);
  // The check digit of a line: digits their value, '-' 1 and '+' plusWeight (the sets' own
  // rule counts it 2, the common one 0), modulo 10.
  static constexpr int kNasaPlusWeight = 2;
  static char CheckSum(const std::string& line, int plusWeight);
  int PredictSgp4(const SatElem& sat, const Observer& obs, const SatTime& time,
                  Satellite& result);
  // Rounds detail_ into result; the return of Predict.
  int Finish(const Observer& obs, Satellite& result);
  void Init(double day);
  double Kepler(double meanAnomaly, double eccentricity);
  static double GetDayNum(int year, int month, int day);
  void GetPrecession(double a0);
  void GetSatPosition();
  void GetSitePosition(double theta);
  void GetTopocentric();
  void GetBearings();
  void GetRange();
  void GetSubSatPoint(double theta);

  // Working values of the last prediction (radians, km, days).
  double epoch_ = 0, mean_anomaly_ = 0, node_ = 0, mean_motion_ = 0, decay_ = 0;
  double perigee_ = 0, eccentricity_ = 0, inclination_ = 0;
  double revolution_ = 0, delta_ = 0, true_anomaly_ = 0;
  double regression_ = 0, advance_ = 0;
  double obs_lat_ = 0, obs_lon_ = 0, obs_height_ = 0, obs_min_el_ = 0;
  double sat_pos_[3] = {}, sat_vel_[3] = {};
  // Site cache: valid while latitude and height stay the same.
  bool site_cached_ = false;
  double site_lat_ = 0, site_height_ = 0, site_cos_ = 0, site_sin_ = 0, site_n_ = 0;
  double site_pos_[3] = {}, site_vel_[3] = {}, frame_[3][3] = {};
  double topo_[3] = {};
  // The current day (Init).
  bool day_valid_ = false;
  double day_ = 0, sidereal0_ = 0;
  double sun_obliquity_ = 0, sun_eccentricity_ = 0, sun_perigee_ = 0, sun_mean_anomaly_ = 0;
  double sun_mean_motion_ = 0, sun_true_anomaly_ = 0, sun_q_ = 0, sun_q_root_ = 0;
  int kepler_calls_ = 0, kepler_iterations_ = 0;
  bool valid_ = false, decayed_ = false;
  SatDetail detail_{};
  SatModel model_ = kSatModelSgp4;
  // SGP4 state of the last set predicted (kept while the same set comes again).
  CSgp4 sgp4_;
  SatElem sgp4_sat_{};
  bool sgp4_ready_ = false;
  int sgp4_init_ = 0;
  double sgp4_epoch_unix_ = 0;
};
