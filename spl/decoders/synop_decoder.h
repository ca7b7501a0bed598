// The SYNOP / SHIP decoder: reads the character stream of a weather teleprinter broadcast,
// finds the land (FM 12, "AAXX") and ship (FM 13, "BBXX") reports of the bulletins between
// "ZCZC" and "NNNN", decodes them into SYN_DATA, reports forecasts and warnings, and turns a
// report into plain-language text with the labels of its station and text store.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>

#include "spl/decoders/synop_store.h"
#include "spl/decoders/synop_types.h"

class CSynopDecoder {
 public:
  CSynopDecoder();
  virtual ~CSynopDecoder() = default;
  CSynopDecoder(const CSynopDecoder&) = delete;
  CSynopDecoder& operator=(const CSynopDecoder&) = delete;

  // Called with 1 when a bulletin turns out to be a forecast or warning, with 0 when it ends.
  virtual void Warning(int kind) {}
  // Called once for every decoded report.
  virtual void Message(SYN_DATA& report) {}

  // Opens the station and text store (an SQLite file, read-only). preload != 0 reads it
  // whole and closes it again. 1, or 0 with StoreError() naming the file and the reason.
  int Init(int preload, const char* path = kDefaultStore);
  const std::string& StoreError() const { return store_.Error(); }
  static constexpr const char* kDefaultStore = "synop.db";

  // Restarts the parser: state 1, window, parser counters and report cleared.
  void ResetDecoder();
  // One received character, 0 ... 255 (others are refused with 0); returns the character.
  int Decode(int ch);
  // A raw bulletin stream with SOH (1) and ETX (3) framing; returns the character.
  int DecodeWMO(int ch);
  // A raw bulletin file through DecodeWMO: 0 if it cannot be opened, else 1.
  int DecodeWMOFile(const char* path);

  // Station queries: 1 with the station delivered, 0 when unknown (or at the end).
  int GetFirstStation(SYN_STATION& out) { return store_.GetFirstStation(out); }
  int GetNextStation(SYN_STATION& out) { return store_.GetNextStation(out); }
  int GetStation(int indexNumber, SYN_STATION& out);
  int GetStation(const char* icao, SYN_STATION& out) { return store_.GetStation(icao, out); }
  // Label and region texts into out (size bytes, always terminated); 0 if there is none.
  int GetSynText(const char* key, char* out, int size) {
    return store_.GetSynText(key, out, size);
  }
  int GetRegion(const char* key, char* out, int size) { return store_.GetRegion(key, out, size); }

  // The plain-language text of a report into out (at most size - 1 characters and a zero):
  // its length, or 0 for an unknown station, a missing label or a text that does not fit.
  int Translate(const SYN_DATA& report, char* out, int size);
  static constexpr int kTextSize = 4096;

  // p in hPa at the station, t in degrees C, h in m: the pressure reduced to sea level.
  static double SeaLevelPressure(double p, double t, double h);
  // The standard atmosphere's temperature (C) and pressure (hPa) at height h (m).
  static void GetStandard(double h, double& t, double& p);

  // The clock that dates the reports (UTC); 0 = the system clock. For replays and tests.
  void SetClock(time_t now) { clock_ = now; }

  // Counters since construction.
  uint32_t Bulletins() const { return bulletins_; }
  uint32_t LandSections() const { return landSections_; }
  uint32_t ShipSections() const { return shipSections_; }
  uint32_t BulletinEnds() const { return bulletinEnds_; }
  int State() const { return state_; }

 private:
  static constexpr int kWindow = 6;

  int Match(const char* pattern) const;
  int Number(const char* pattern, int first, int count) const;
  void Letters(const char* pattern, char* out, int size) const;
  void ChangeState(int state);
  void Examine(int ch);
  int ExamineState(int lineEnd);
  int HeaderState(int lineEnd);
  int Section1();
  int Section2();
  int Section3();
  int ShipPosition();
  // The report's call sign is a platform's number (figures only).
  bool PlatformNumber() const;
  void NewBulletin(int keepWarning);
  void EndBulletin();
  void EndReport();
  void ClearReport();
  time_t Now() const;
  time_t DayTime(int day, int hour, int minute) const;

  CSynopStore store_;
  char window_[kWindow + 1];
  int state_ = 1;
  int sinceChange_ = 0;
  int returnState_ = 11;
  int warning_ = 0;
  int lastDigit_ = -1;   // leading digit of the last group taken in a section
  int bulletinNumber_ = -1;
  time_t clock_ = 0;
  SYN_DATA report_;
  uint32_t bulletins_ = 0, landSections_ = 0, shipSections_ = 0, bulletinEnds_ = 0;
  // DecodeWMO: the previous raw character and whether line breaks are dropped after SOH.
  int wmoPrevious_ = 0, wmoAfterSoh_ = 0;
  char text_[kTextSize];
};
