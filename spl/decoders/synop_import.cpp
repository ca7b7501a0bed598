#include "spl/decoders/synop_import.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <vector>

namespace {

constexpr const char* kSchema =
    "DROP TABLE IF EXISTS Station; DROP TABLE IF EXISTS Country; DROP TABLE IF EXISTS Region;"
    "DROP TABLE IF EXISTS RegionText; DROP TABLE IF EXISTS Synop;"
    "CREATE TABLE Station (IndexNbr INTEGER PRIMARY KEY, ICAO TEXT, Country INTEGER,"
    " Region INTEGER, Latitude INTEGER, Longitude INTEGER, Altitude INTEGER, Name TEXT);"
    "CREATE INDEX StationICAO ON Station (ICAO);"
    "CREATE TABLE Country (ID INTEGER PRIMARY KEY, Name TEXT);"
    "CREATE TABLE Region (ID INTEGER PRIMARY KEY, Name TEXT);"
    "CREATE TABLE RegionText (ID TEXT PRIMARY KEY, Text TEXT);"
    "CREATE TABLE Synop (ID TEXT PRIMARY KEY, Text TEXT);";

constexpr int kStationFields = 8;
constexpr double kMinutesPerDegree = 60.0;

// One open database with a transaction that is rolled back unless Commit() is reached.
class CStoreWriter {
 public:
  ~CStoreWriter() {
    if (db_) {
      if (inTransaction_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_close(db_);
    }
  }
  int Open(const char* path, int create, std::string& error) {
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path, &db_, flags, nullptr) != SQLITE_OK) {
      error = std::string(path) + ": " + (db_ ? sqlite3_errmsg(db_) : "cannot open");
      return 0;
    }
    path_ = path;
    return Exec("BEGIN", error) && (inTransaction_ = 1);
  }
  int Exec(const char* sql, std::string& error) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) == SQLITE_OK) return 1;
    error = path_ + ": " + (msg ? msg : sqlite3_errmsg(db_));
    sqlite3_free(msg);
    return 0;
  }
  int Commit(std::string& error) {
    if (!Exec("COMMIT", error)) return 0;
    inTransaction_ = 0;
    return 1;
  }
  sqlite3* db() { return db_; }
  const std::string& path() const { return path_; }

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
  int inTransaction_ = 0;
};

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> out(1);
  for (char c : line) {
    if (c == sep)
      out.emplace_back();
    else if (c != '\r')
      out.back() += c;
  }
  return out;
}

int ParseNumber(const std::string& text, double lo, double hi, double& out) {
  if (text.empty()) return 0;
  char* end = nullptr;
  out = strtod(text.c_str(), &end);
  return *end == 0 && std::isfinite(out) && out >= lo && out <= hi;
}

// Reads "KEY<TAB>TEXT" lines into (key, text) pairs.
int ReadPairs(const char* path, std::vector<std::pair<std::string, std::string>>& out,
              std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = std::string(path) + ": cannot be read";
    return 0;
  }
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) {
      error = std::string(path) + ": line " + std::to_string(n) + ": no KEY<TAB>TEXT";
      return 0;
    }
    out.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return 1;
}

int InsertPairs(CStoreWriter& w, const char* sql, const char* path, int integerKey,
                std::string& error) {
  std::vector<std::pair<std::string, std::string>> pairs;
  if (!ReadPairs(path, pairs, error)) return 0;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(w.db(), sql, -1, &st, nullptr) != SQLITE_OK)
    return (error = w.path() + ": " + sqlite3_errmsg(w.db()), 0);
  int ok = 1;
  for (const auto& [key, text] : pairs) {
    sqlite3_reset(st);
    double number = 0;
    if (integerKey) {
      if (!ParseNumber(key, 0, 32767, number)) {
        error = std::string(path) + ": key " + key + " is not a number";
        ok = 0;
        break;
      }
      sqlite3_bind_int(st, 1, static_cast<int>(number));
    } else {
      sqlite3_bind_text(st, 1, key.c_str(), -1, SQLITE_TRANSIENT);
    }
    sqlite3_bind_text(st, 2, text.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(st) != SQLITE_DONE) {
      error = std::string(path) + ": key " + key + ": " + sqlite3_errmsg(w.db());
      ok = 0;
      break;
    }
  }
  sqlite3_finalize(st);
  return ok;
}

struct StationRow {
  long index;
  std::string icao, name, country;
  int region, latitude, longitude, altitude;
};

int ReadStations(const char* path, std::vector<StationRow>& rows, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = std::string(path) + ": cannot be read";
    return 0;
  }
  std::string line;
  auto bad = [&](int n, const std::string& why) {
    error = std::string(path) + ": line " + std::to_string(n) + ": " + why;
    return 0;
  };
  std::map<long, int> seen;
  for (int n = 1; std::getline(in, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (n == 1 && line.rfind("wmo_index", 0) == 0) continue;  // the header line
    const auto f = Split(line, ',');
    if (static_cast<int>(f.size()) != kStationFields)
      return bad(n, "expected " + std::to_string(kStationFields) + " fields, found " +
                        std::to_string(f.size()));
    double index, region, lat, lon, alt;
    if (!ParseNumber(f[0], 1, 99999, index) || index != std::floor(index))
      return bad(n, "WMO index is not a number 1 ... 99999");
    if (f[1].size() > 4) return bad(n, "ICAO identifier longer than 4 characters");
    if (!ParseNumber(f[4], 0, 9, region)) return bad(n, "WMO region is not 0 ... 9");
    if (!ParseNumber(f[5], -90, 90, lat)) return bad(n, "latitude is not -90 ... 90");
    if (!ParseNumber(f[6], -180, 180, lon)) return bad(n, "longitude is not -180 ... 180");
    if (!ParseNumber(f[7], -1000, 9999, alt)) return bad(n, "altitude is not -1000 ... 9999 m");
    if (seen.count(static_cast<long>(index)))
      return bad(n, "WMO index " + f[0] + " also on line " +
                        std::to_string(seen[static_cast<long>(index)]));
    seen[static_cast<long>(index)] = n;
    // The store keeps minutes of arc with north and west negative.
    rows.push_back({static_cast<long>(index), f[1], f[2], f[3], static_cast<int>(region),
                    -static_cast<int>(std::lround(lat * kMinutesPerDegree)),
                    static_cast<int>(std::lround(lon * kMinutesPerDegree)),
                    static_cast<int>(alt)});
  }
  if (rows.empty()) {
    error = std::string(path) + ": no stations";
    return 0;
  }
  return 1;
}

int WriteStations(CStoreWriter& w, const std::vector<StationRow>& rows, std::string& error) {
  if (!w.Exec("DELETE FROM Station; DELETE FROM Country;", error)) return 0;
  std::map<std::string, int> countries;  // name -> key, keys in alphabetical order
  for (const auto& r : rows) countries[r.country] = 0;
  int key = 1;
  for (auto& [name, k] : countries) k = key++;
  sqlite3_stmt* st = nullptr;
  int ok = sqlite3_prepare_v2(w.db(), "INSERT INTO Country (ID, Name) VALUES (?, ?)", -1, &st,
                              nullptr) == SQLITE_OK;
  for (auto it = countries.begin(); ok && it != countries.end(); ++it) {
    sqlite3_reset(st);
    sqlite3_bind_int(st, 1, it->second);
    sqlite3_bind_text(st, 2, it->first.c_str(), -1, SQLITE_TRANSIENT);
    ok = sqlite3_step(st) == SQLITE_DONE;
  }
  sqlite3_finalize(st);
  st = nullptr;
  ok = ok && sqlite3_prepare_v2(w.db(),
                                "INSERT INTO Station (IndexNbr, ICAO, Country, Region, Latitude,"
                                " Longitude, Altitude, Name) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                                -1, &st, nullptr) == SQLITE_OK;
  for (size_t i = 0; ok && i < rows.size(); ++i) {
    const StationRow& r = rows[i];
    sqlite3_reset(st);
    sqlite3_bind_int64(st, 1, r.index);
    if (r.icao.empty())
      sqlite3_bind_null(st, 2);
    else
      sqlite3_bind_text(st, 2, r.icao.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 3, countries[r.country]);
    sqlite3_bind_int(st, 4, r.region);
    sqlite3_bind_int(st, 5, r.latitude);
    sqlite3_bind_int(st, 6, r.longitude);
    sqlite3_bind_int(st, 7, r.altitude);
    sqlite3_bind_text(st, 8, r.name.c_str(), -1, SQLITE_TRANSIENT);
    ok = sqlite3_step(st) == SQLITE_DONE;
  }
  if (!ok) error = w.path() + ": " + sqlite3_errmsg(w.db());
  sqlite3_finalize(st);
  return ok;
}

}  // namespace

int SynopCreateStore(const char* dbPath, const char* stationsCsv, const char* labelsTsv,
                     const char* regionsTsv, const char* regionTextsTsv, std::string& error) {
  std::vector<StationRow> rows;
  if (!ReadStations(stationsCsv, rows, error)) return 0;
  std::remove(dbPath);  // a new store, whatever the file held before
  CStoreWriter w;
  if (!w.Open(dbPath, 1, error) || !w.Exec(kSchema, error) ||
      !InsertPairs(w, "INSERT INTO Synop (ID, Text) VALUES (?, ?)", labelsTsv, 0, error) ||
      !InsertPairs(w, "INSERT INTO Region (ID, Name) VALUES (?, ?)", regionsTsv, 1, error) ||
      !InsertPairs(w, "INSERT INTO RegionText (ID, Text) VALUES (?, ?)", regionTextsTsv, 0,
                   error) ||
      !WriteStations(w, rows, error))
    return 0;
  return w.Commit(error);
}

int SynopImportStations(const char* dbPath, const char* stationsCsv, std::string& error) {
  std::vector<StationRow> rows;
  if (!ReadStations(stationsCsv, rows, error)) return -1;
  CStoreWriter w;
  if (!w.Open(dbPath, 0, error) || !WriteStations(w, rows, error) || !w.Commit(error)) return -1;
  return static_cast<int>(rows.size());
}
