#include "app/lists/frq_database.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "app/lists/frq_columns.h"

namespace {

constexpr int kBusyTimeoutMs = 3000;  // the station and the tool may share the file

// Declared column types, by column type.
const char* SqlType(FrqColumnType t) {
  switch (t) {
    case kColDouble: return "DOUBLE";
    case kColText: return "VARCHAR(255)";
    case kColLong: return "INTEGER";
    case kColBool: return "BOOLEAN";
  }
  return "";
}

// Names are the table's own constants (they hold blanks, brackets and dashes), never user text.
std::string Quoted(const char* name) { return std::string("\"") + name + "\""; }

std::string ColumnList() {
  std::string s;
  const FrqColumn* cols = FrqColumns();
  for (int i = 0; i < kFrqColumnCount; ++i) s += (i ? ", " : "") + Quoted(cols[i].name);
  return s;
}

std::string SelectSql() { return "SELECT rowid, " + ColumnList() + " FROM " + kFrqListTable; }

std::string CreateTableSql() {
  std::string s = std::string("CREATE TABLE ") + kFrqListTable + " (";
  const FrqColumn* cols = FrqColumns();
  for (int i = 0; i < kFrqColumnCount; ++i)
    s += (i ? ", " : "") + Quoted(cols[i].name) + " " + SqlType(cols[i].type);
  return s + ")";
}

std::string CreateIndexSql(int sort) {
  return "CREATE INDEX " + Quoted(FrqSortName(sort)) + " ON " + kFrqListTable + " (" +
         Quoted(FrqColumns()[FrqSortColumn(sort)].name) + ")";
}

// A number held as text by an older database layer, which wrote a decimal comma.
bool TextNumber(const unsigned char* t, double& v) {
  if (!t) return false;
  std::string s(reinterpret_cast<const char*>(t));
  for (char& c : s)
    if (c == ',') c = '.';
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return end && end != s.c_str() && *end == '\0' && std::isfinite(v);
}

}  // namespace

CFrqListSet::~CFrqListSet() { Close(); }

void CFrqListSet::Close() {
  for (sqlite3_stmt** st : {&insert_, &update_, &delete_, &get_}) {
    if (*st) sqlite3_finalize(*st);
    *st = nullptr;
  }
  if (db_) sqlite3_close(db_);
  db_ = nullptr;
}

int CFrqListSet::Fail(const std::string& reason) {
  error_ = path_ + ": " + reason;
  return 0;
}

int CFrqListSet::SqlFail() { return Fail(db_ ? sqlite3_errmsg(db_) : "not open"); }

int CFrqListSet::Exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return 1;
  return SqlFail();
}

int CFrqListSet::Prepare(sqlite3_stmt** st, const std::string& sql) {
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, st, nullptr) == SQLITE_OK) return 1;
  return SqlFail();
}

int CFrqListSet::Begin() { return Exec("BEGIN IMMEDIATE"); }

int CFrqListSet::Commit() {
  if (Exec("COMMIT")) return 1;
  Rollback();
  return 0;
}

void CFrqListSet::Rollback() {
  // The reason of the failure is already in error_; the rollback's own result adds nothing.
  if (db_ && !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

int CFrqListSet::Init(const std::string& path, int create) {
  Close();
  path_ = path;
  error_.clear();
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : "cannot open";
    Close();
    return Fail(why);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  if (!CheckOrCreateTable(create) ||
      !Prepare(&insert_, std::string("INSERT INTO ") + kFrqListTable + " (" + ColumnList() +
                             ") VALUES (" + [] {
                               std::string q;
                               for (int i = 1; i <= kFrqColumnCount; ++i)
                                 q += (i > 1 ? ", ?" : "?") + std::to_string(i);
                               return q;
                             }() + ")") ||
      !Prepare(&update_, [] {
        std::string s = std::string("UPDATE ") + kFrqListTable + " SET ";
        const FrqColumn* cols = FrqColumns();
        for (int i = 0; i < kFrqColumnCount; ++i)
          s += (i ? ", " : "") + Quoted(cols[i].name) + " = ?" + std::to_string(i + 1);
        return s + " WHERE rowid = ?" + std::to_string(kFrqColumnCount + 1);
      }()) ||
      !Prepare(&delete_, std::string("DELETE FROM ") + kFrqListTable + " WHERE rowid = ?1") ||
      !Prepare(&get_, SelectSql() + " WHERE rowid = ?1")) {
    const std::string keep = error_;
    Close();
    error_ = keep;
    return 0;
  }
  return 1;
}

int CFrqListSet::CheckOrCreateTable(int create) {
  sqlite3_stmt* info = nullptr;
  if (!Prepare(&info, std::string("PRAGMA table_info(") + kFrqListTable + ")")) return 0;
  const FrqColumn* cols = FrqColumns();
  int n = 0, rc;
  std::string wrong;
  while ((rc = sqlite3_step(info)) == SQLITE_ROW) {
    const unsigned char* name = sqlite3_column_text(info, 1);
    const std::string have = name ? reinterpret_cast<const char*>(name) : "";
    if (wrong.empty() && (n >= kFrqColumnCount || have != cols[n].name))
      wrong = "column " + std::to_string(n + 1) + " is \"" + have + "\", not " +
              (n < kFrqColumnCount ? "\"" + std::string(cols[n].name) + "\"" : "expected");
    ++n;
  }
  sqlite3_finalize(info);
  if (rc != SQLITE_DONE) return SqlFail();
  if (n > 0) {
    if (!wrong.empty()) return Fail("table " + std::string(kFrqListTable) + " is not a frequency list: " + wrong);
    if (n != kFrqColumnCount)
      return Fail("table " + std::string(kFrqListTable) + " has " + std::to_string(n) + " columns, not " +
                  std::to_string(kFrqColumnCount));
  } else if (!create) {
    return Fail(std::string("no table ") + kFrqListTable);
  }
  // The table when missing, and any ordering index an older file lacks.
  sqlite3_stmt* has = nullptr;
  if (!Prepare(&has, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?1")) return 0;
  std::vector<int> missing;
  for (int s = 0; s < kFrqSortCount; ++s) {
    sqlite3_reset(has);
    sqlite3_bind_text(has, 1, FrqSortName(s), -1, SQLITE_STATIC);
    if (sqlite3_step(has) != SQLITE_ROW) missing.push_back(s);
  }
  sqlite3_finalize(has);
  if (n > 0 && missing.empty()) return 1;
  if (!Begin()) return 0;
  if (n == 0 && !Exec(CreateTableSql().c_str())) return Rollback(), 0;
  for (int s : missing)
    if (!Exec(CreateIndexSql(s).c_str())) return Rollback(), 0;
  return Commit();
}

int CFrqListSet::BindRecord(sqlite3_stmt* st, const CFrqRecord& r, int first) {
  const FrqColumn* cols = FrqColumns();
  for (int i = 0; i < kFrqColumnCount; ++i) {
    const FrqColumn& c = cols[i];
    const int at = first + i;
    int rc = SQLITE_OK;
    switch (c.type) {
      case kColDouble: rc = sqlite3_bind_double(st, at, FrqRound(FrqGetDouble(r, c), c.decimals)); break;
      case kColText: rc = sqlite3_bind_text(st, at, FrqGetText(r, c), -1, SQLITE_TRANSIENT); break;
      case kColLong:
      case kColBool: rc = sqlite3_bind_int(st, at, FrqGetInt(r, c)); break;
    }
    if (rc != SQLITE_OK) return SqlFail();
  }
  return 1;
}

int CFrqListSet::Insert(const CFrqRecord& record, int64_t* id) {
  CFrqRecord r = record;
  std::string why;
  if (!CheckFrqRecord(r, 0, nullptr, &why)) return Fail("record refused: " + why);
  sqlite3_reset(insert_);
  if (!BindRecord(insert_, r, 1)) return 0;
  const int rc = sqlite3_step(insert_);
  sqlite3_reset(insert_);
  if (rc != SQLITE_DONE) return SqlFail();
  if (id) *id = sqlite3_last_insert_rowid(db_);
  return 1;
}

int CFrqListSet::Add(const CFrqRecord& record, int64_t* id) {
  if (!db_) return Fail("not open");
  if (!Begin()) return 0;
  int64_t made = 0;
  if (!Insert(record, &made)) return Rollback(), 0;
  if (!Commit()) return 0;
  if (id) *id = made;
  return 1;
}

int CFrqListSet::AddAll(const std::vector<CFrqRecord>& records) {
  if (!db_) return Fail("not open");
  if (!Begin()) return 0;
  for (size_t i = 0; i < records.size(); ++i) {
    if (!Insert(records[i], nullptr)) {
      error_ += " (record " + std::to_string(i + 1) + ", nothing added)";
      return Rollback(), 0;
    }
  }
  return Commit();
}

int CFrqListSet::Update(int64_t id, const CFrqRecord& record) {
  if (!db_) return Fail("not open");
  CFrqRecord r = record;
  std::string why;
  if (!CheckFrqRecord(r, 0, nullptr, &why)) return Fail("record refused: " + why);
  if (!Begin()) return 0;
  sqlite3_reset(update_);
  if (!BindRecord(update_, r, 1) || sqlite3_bind_int64(update_, kFrqColumnCount + 1, id) != SQLITE_OK) {
    sqlite3_reset(update_);
    return Rollback(), 0;
  }
  const int rc = sqlite3_step(update_);
  sqlite3_reset(update_);
  if (rc != SQLITE_DONE) return SqlFail(), Rollback(), 0;
  if (sqlite3_changes(db_) != 1) return Fail("no row " + std::to_string(id)), Rollback(), 0;
  return Commit();
}

int CFrqListSet::Delete(int64_t id) {
  if (!db_) return Fail("not open");
  if (!Begin()) return 0;
  sqlite3_reset(delete_);
  sqlite3_bind_int64(delete_, 1, id);
  const int rc = sqlite3_step(delete_);
  sqlite3_reset(delete_);
  if (rc != SQLITE_DONE) return SqlFail(), Rollback(), 0;
  if (sqlite3_changes(db_) != 1) return Fail("no row " + std::to_string(id)), Rollback(), 0;
  return Commit();
}

void CFrqListSet::ReadRow(sqlite3_stmt* st, FrqListRow& row, std::vector<std::string>* notes) {
  row.id = sqlite3_column_int64(st, 0);
  CFrqRecord r = FrqTemplate();
  std::vector<std::string> found;
  const FrqColumn* cols = FrqColumns();
  for (int i = 0; i < kFrqColumnCount; ++i) {
    const FrqColumn& c = cols[i];
    const int at = i + 1;
    const int type = sqlite3_column_type(st, at);
    const std::string name = c.name;
    if (c.type == kColText) {
      const unsigned char* t = sqlite3_column_text(st, at);
      const std::string text(t ? reinterpret_cast<const char*>(t) : "", t ? sqlite3_column_bytes(st, at) : 0);
      FrqSetText(r, c, text);
      // A text longer than its field is cut as designed; anything else changed is reported.
      if (std::string(FrqGetText(r, c)) != CutUtf8(text, c.size - 1))
        found.push_back(name + ": text is not clean UTF-8, stored as \"" + FrqGetText(r, c) + "\"");
      continue;
    }
    double v = 0;
    if (type == SQLITE_INTEGER) {
      v = double(sqlite3_column_int64(st, at));
    } else if (type == SQLITE_FLOAT) {
      v = sqlite3_column_double(st, at);
    } else if (type == SQLITE_TEXT) {
      if (!TextNumber(sqlite3_column_text(st, at), v)) {
        found.push_back(name + ": text that is not a number, set to 0");
        v = 0;
      }
    } else if (type == SQLITE_BLOB) {
      found.push_back(name + ": binary data, set to 0");
    }  // NULL: an empty field of an older file, 0
    if (c.type == kColDouble) {
      FrqSetDouble(r, c, v);
      continue;
    }
    const double lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    double whole = std::round(v);
    if (whole != v) found.push_back(name + ": " + std::to_string(v) + " is not a whole number, rounded");
    if (whole < lo || whole > hi) {
      const double to = whole < lo ? lo : hi;
      found.push_back(name + ": " + std::to_string(int64_t(whole)) + " does not fit 32 bits, set to " +
                      std::to_string(int64_t(to)));
      whole = to;
    }
    FrqSetInt(r, c, int32_t(whole));
  }
  CheckFrqRecord(r, 1, &found, nullptr);
  if (notes)
    for (const std::string& f : found) notes->push_back("row " + std::to_string(row.id) + ": " + f);
  row.record = r;
}

int CFrqListSet::List(int sort, std::vector<FrqListRow>& out, std::vector<std::string>* notes) {
  if (!db_) return Fail("not open");
  if (sort != kFrqSortById && !FrqSortName(sort)) return Fail("no sort order " + std::to_string(sort));
  // The order comes from the column table, never from the caller's text.
  std::string sql = SelectSql() + " ORDER BY ";
  if (sort != kFrqSortById) sql += Quoted(FrqColumns()[FrqSortColumn(sort)].name) + ", ";
  sql += "rowid";
  sqlite3_stmt* st = nullptr;
  if (!Prepare(&st, sql)) return 0;
  std::vector<FrqListRow> rows;
  std::vector<std::string> found;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    rows.emplace_back();
    ReadRow(st, rows.back(), &found);
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) return SqlFail();
  out.swap(rows);
  if (notes) notes->insert(notes->end(), found.begin(), found.end());
  return 1;
}

int CFrqListSet::Get(int64_t id, CFrqRecord& out, std::vector<std::string>* notes) {
  if (!db_) return Fail("not open");
  sqlite3_reset(get_);
  sqlite3_bind_int64(get_, 1, id);
  const int rc = sqlite3_step(get_);
  if (rc != SQLITE_ROW) {
    sqlite3_reset(get_);
    return rc == SQLITE_DONE ? Fail("no row " + std::to_string(id)) : SqlFail();
  }
  FrqListRow row;
  ReadRow(get_, row, notes);
  sqlite3_reset(get_);
  out = row.record;
  return 1;
}

int CFrqListSet::Count(int64_t& count) {
  if (!db_) return Fail("not open");
  sqlite3_stmt* st = nullptr;
  if (!Prepare(&st, std::string("SELECT count(*) FROM ") + kFrqListTable)) return 0;
  const int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) count = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  return rc == SQLITE_ROW ? 1 : SqlFail();
}
