#include "spl/decoders/synop_store.h"

#include <cstdio>
#include <cstring>
#include <tuple>
#include <type_traits>

namespace {

constexpr const char* kStationColumns =
    "IndexNbr, ICAO, Country, Region, Latitude, Longitude, Altitude, Name";

std::string ColumnText(sqlite3_stmt* st, int col) {
  const unsigned char* t = sqlite3_column_text(st, col);
  return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
}

void Finalize(sqlite3_stmt*& st) {
  if (st) sqlite3_finalize(st);
  st = nullptr;
}

}  // namespace

CSynopStore::~CSynopStore() { Close(); }

void CSynopStore::Close() {
  for (sqlite3_stmt** st : {&byIndex_, &byIcao_, &country_, &region_, &regionText_, &label_, &all_})
    Finalize(*st);
  if (db_) sqlite3_close(db_);
  db_ = nullptr;
  open_ = preload_ = 0;
  stations_.clear();
  byIndexMap_.clear();
  byIcaoMap_.clear();
  countries_.clear();
  regions_.clear();
  regionTexts_.clear();
  labels_.clear();
  position_ = 0;
}

int CSynopStore::Fail(const std::string& reason) {
  error_ = path_ + ": " + reason;
  Close();
  return 0;
}

int CSynopStore::Prepare(sqlite3_stmt** st, const char* sql) {
  if (sqlite3_prepare_v2(db_, sql, -1, st, nullptr) == SQLITE_OK) return 1;
  return Fail(sqlite3_errmsg(db_));
}

int CSynopStore::Init(const char* path, int preload) {
  Close();
  path_ = path ? path : "";
  error_.clear();
  // Read-only and without creating: a missing file is an error, not an empty store.
  if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
    return Fail(db_ ? sqlite3_errmsg(db_) : "cannot open");
  const std::string station = std::string("SELECT ") + kStationColumns + " FROM Station ";
  if (!Prepare(&byIndex_, (station + "WHERE IndexNbr = ?").c_str()) ||
      !Prepare(&byIcao_, (station + "WHERE ICAO = ?").c_str()) ||
      !Prepare(&all_, (station + "ORDER BY IndexNbr").c_str()) ||
      !Prepare(&country_, "SELECT Name FROM Country WHERE ID = ?") ||
      !Prepare(&region_, "SELECT Name FROM Region WHERE ID = ?") ||
      !Prepare(&regionText_, "SELECT Text FROM RegionText WHERE ID = ?") ||
      !Prepare(&label_, "SELECT Text FROM Synop WHERE ID = ?"))
    return 0;
  // A file that opens is not yet known to be readable: one real read proves it.
  sqlite3_stmt* probe = nullptr;
  if (!Prepare(&probe, "SELECT count(*) FROM Synop")) return 0;
  const int rc = sqlite3_step(probe);
  sqlite3_finalize(probe);
  if (rc != SQLITE_ROW) return Fail(sqlite3_errmsg(db_));
  open_ = 1;
  if (preload) {
    if (!LoadAll()) return 0;
    for (sqlite3_stmt** st :
         {&byIndex_, &byIcao_, &country_, &region_, &regionText_, &label_, &all_})
      Finalize(*st);
    sqlite3_close(db_);
    db_ = nullptr;
    preload_ = 1;
  }
  return 1;
}

int CSynopStore::ReadStation(sqlite3_stmt* st, Station& s) {
  const sqlite3_int64 index = sqlite3_column_int64(st, 0);
  if (index < 0 || index > 0xFFFFFFFFLL) return 0;
  s.index = static_cast<uint32_t>(index);
  const std::string icao = ColumnText(st, 1);
  snprintf(s.icao, sizeof s.icao, "%.4s", icao.c_str());
  s.country = sqlite3_column_int(st, 2);
  s.region = sqlite3_column_int(st, 3);
  s.latitude = sqlite3_column_int(st, 4);
  s.longitude = sqlite3_column_int(st, 5);
  s.altitude = sqlite3_column_int(st, 6);
  s.name = ColumnText(st, 7);
  return 1;
}

int CSynopStore::LoadAll() {
  auto loadTexts = [this](const char* sql, auto& into) {
    sqlite3_stmt* st = nullptr;
    if (!Prepare(&st, sql)) return 0;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      if constexpr (std::is_same_v<std::decay_t<decltype(into)>,
                                   std::unordered_map<int, std::string>>)
        into[sqlite3_column_int(st, 0)] = ColumnText(st, 1);
      else
        into[ColumnText(st, 0)] = ColumnText(st, 1);
    }
    sqlite3_finalize(st);
    return rc == SQLITE_DONE ? 1 : Fail(sqlite3_errmsg(db_));
  };
  if (!loadTexts("SELECT ID, Name FROM Country", countries_) ||
      !loadTexts("SELECT ID, Name FROM Region", regions_) ||
      !loadTexts("SELECT ID, Text FROM RegionText", regionTexts_) ||
      !loadTexts("SELECT ID, Text FROM Synop", labels_))
    return 0;
  sqlite3_reset(all_);
  int rc;
  while ((rc = sqlite3_step(all_)) == SQLITE_ROW) {
    Station s;
    if (!ReadStation(all_, s)) continue;
    byIndexMap_[s.index] = stations_.size();
    if (s.icao[0]) byIcaoMap_[s.icao] = stations_.size();
    stations_.push_back(std::move(s));
  }
  return rc == SQLITE_DONE ? 1 : Fail(sqlite3_errmsg(db_));
}

int CSynopStore::QueryText(sqlite3_stmt* st, const char* key, std::string& text) {
  sqlite3_reset(st);
  sqlite3_bind_text(st, 1, key, -1, SQLITE_TRANSIENT);
  const int rc = sqlite3_step(st);
  if (rc != SQLITE_ROW) return 0;
  text = ColumnText(st, 0);
  sqlite3_reset(st);
  return 1;
}

int CSynopStore::Fill(const Station& s, SYN_STATION& out) {
  memset(&out, 0, sizeof out);
  out.index = s.index;
  out.latitude = static_cast<int16_t>(s.latitude);
  out.longitude = static_cast<int16_t>(s.longitude);
  out.altitude = static_cast<int16_t>(s.altitude);
  snprintf(out.icao, sizeof out.icao, "%s", s.icao);
  snprintf(out.name, sizeof out.name, "%s", s.name.c_str());
  std::string country, region;
  if (preload_) {
    auto c = countries_.find(s.country);
    if (c != countries_.end()) country = c->second;
    auto r = regions_.find(s.region);
    if (r != regions_.end()) region = r->second;
  } else {
    for (auto [st, key, text] : {std::tuple{country_, s.country, &country},
                                 std::tuple{region_, s.region, &region}}) {
      sqlite3_reset(st);
      sqlite3_bind_int(st, 1, key);
      if (sqlite3_step(st) == SQLITE_ROW) *text = ColumnText(st, 0);
      sqlite3_reset(st);
    }
  }
  snprintf(out.country, sizeof out.country, "%s", country.c_str());
  snprintf(out.region, sizeof out.region, "%s", region.c_str());
  return 1;
}

int CSynopStore::QueryStation(sqlite3_stmt* st, SYN_STATION& out) {
  Station s;
  const int rc = sqlite3_step(st);
  const int ok = rc == SQLITE_ROW && ReadStation(st, s);
  if (!ok) return 0;
  return Fill(s, out);
}

int CSynopStore::GetStation(uint32_t index, SYN_STATION& out) {
  if (!open_) return 0;
  if (preload_) {
    auto it = byIndexMap_.find(index);
    return it == byIndexMap_.end() ? 0 : Fill(stations_[it->second], out);
  }
  sqlite3_reset(byIndex_);
  sqlite3_bind_int64(byIndex_, 1, index);
  const int ok = QueryStation(byIndex_, out);
  sqlite3_reset(byIndex_);
  return ok;
}

int CSynopStore::GetStation(const char* icao, SYN_STATION& out) {
  if (!open_ || !icao) return 0;
  char key[5];
  snprintf(key, sizeof key, "%.4s", icao);
  for (char* p = key; *p; ++p)
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
  if (preload_) {
    auto it = byIcaoMap_.find(key);
    return it == byIcaoMap_.end() ? 0 : Fill(stations_[it->second], out);
  }
  sqlite3_reset(byIcao_);
  sqlite3_bind_text(byIcao_, 1, key, -1, SQLITE_TRANSIENT);
  const int ok = QueryStation(byIcao_, out);
  sqlite3_reset(byIcao_);
  return ok;
}

int CSynopStore::GetFirstStation(SYN_STATION& out) {
  if (!open_) return 0;
  position_ = 0;
  if (!preload_) sqlite3_reset(all_);
  return GetNextStation(out);
}

int CSynopStore::GetNextStation(SYN_STATION& out) {
  if (!open_) return 0;
  if (preload_) {
    if (position_ >= stations_.size()) return 0;
    return Fill(stations_[position_++], out);
  }
  return QueryStation(all_, out);
}

int CSynopStore::CopyText(const std::string& text, char* out, int size) {
  if (!out || size <= 0) return 0;
  out[0] = 0;
  if (text.size() + 1 > static_cast<size_t>(size)) return 0;
  memcpy(out, text.c_str(), text.size() + 1);
  return 1;
}

int CSynopStore::GetSynText(const char* key, char* out, int size) {
  if (!open_ || !key) return 0;
  std::string text;
  if (preload_) {
    auto it = labels_.find(key);
    if (it == labels_.end()) return 0;
    text = it->second;
  } else if (!QueryText(label_, key, text)) {
    return 0;
  }
  return CopyText(text, out, size);
}

int CSynopStore::GetRegion(const char* key, char* out, int size) {
  if (!open_ || !key) return 0;
  std::string text;
  if (preload_) {
    auto it = regionTexts_.find(key);
    if (it == regionTexts_.end()) return 0;
    text = it->second;
  } else if (!QueryText(regionText_, key, text)) {
    return 0;
  }
  return CopyText(text, out, size);
}
