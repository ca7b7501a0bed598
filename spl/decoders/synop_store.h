// The SYNOP station and text store: stations by WMO index and ICAO identifier, country and
// region names, region texts (bulletin areas) and the label texts of the plain-language
// reports, read from an SQLite file opened read-only, either on demand or all at once.
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "spl/decoders/synop_types.h"

// Table and column names of the store, shared with the importer.
//   Station(IndexNbr, ICAO, Country, Region, Latitude, Longitude, Altitude, Name)
//   Country(ID, Name)   Region(ID, Name)   RegionText(ID, Text)   Synop(ID, Text)
class CSynopStore {
 public:
  CSynopStore() = default;
  ~CSynopStore();
  CSynopStore(const CSynopStore&) = delete;
  CSynopStore& operator=(const CSynopStore&) = delete;

  // Opens the store file read-only. preload != 0 reads every table into memory and closes the
  // file again. Returns 1, or 0 with Error() naming the file and the reason; an earlier store is
  // closed first either way.
  int Init(const char* path, int preload);
  void Close();
  const std::string& Error() const { return error_; }
  int IsOpen() const { return open_; }

  // One station; 0 when unknown or on a read error.
  int GetStation(uint32_t index, SYN_STATION& out);
  int GetStation(const char* icao, SYN_STATION& out);
  // All stations in rising index order: 1 while one was delivered, 0 at the end or on an error.
  int GetFirstStation(SYN_STATION& out);
  int GetNextStation(SYN_STATION& out);
  // Label text and region text of a key into out (size > 0 bytes, always terminated);
  // 0 when the key is unknown or the text does not fit.
  int GetSynText(const char* key, char* out, int size);
  int GetRegion(const char* key, char* out, int size);

 private:
  struct Station {
    uint32_t index;
    char icao[5];
    int country, region;
    int latitude, longitude, altitude;
    std::string name;
  };
  int Fail(const std::string& reason);
  int Prepare(sqlite3_stmt** st, const char* sql);
  int LoadAll();
  int ReadStation(sqlite3_stmt* st, Station& s);
  int Fill(const Station& s, SYN_STATION& out);
  int QueryStation(sqlite3_stmt* st, SYN_STATION& out);
  int QueryText(sqlite3_stmt* st, const char* key, std::string& text);
  static int CopyText(const std::string& text, char* out, int size);

  std::string path_, error_;
  int open_ = 0, preload_ = 0;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* byIndex_ = nullptr;
  sqlite3_stmt* byIcao_ = nullptr;
  sqlite3_stmt* country_ = nullptr;
  sqlite3_stmt* region_ = nullptr;
  sqlite3_stmt* regionText_ = nullptr;
  sqlite3_stmt* label_ = nullptr;
  sqlite3_stmt* all_ = nullptr;  // the iteration

  // Preloaded contents.
  std::vector<Station> stations_;  // rising index
  std::unordered_map<uint32_t, size_t> byIndexMap_;
  std::map<std::string, size_t> byIcaoMap_;
  std::unordered_map<int, std::string> countries_, regions_;
  std::map<std::string, std::string> regionTexts_, labels_;
  size_t position_ = 0;
};
