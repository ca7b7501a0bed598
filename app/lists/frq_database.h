// The frequency list file: table "FrqList" of an SQLite file with the 70 columns of the list
// in order and its eight ordering indexes, one row per station. Rows are known by their row
// ID. Every row read is checked, since old files come from elsewhere: a value out of its
// column's range is put right and the repair reported in the notes. Every write runs in one
// transaction, so that a failure leaves the file as it was.
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/lists/frq_record.h"

constexpr const char* kFrqDataFileName = "FrqData.mdb";  // the name older stations used
constexpr const char* kFrqListTable = "FrqList";
// Sort order of List: by row ID, the order rows were added in.
constexpr int kFrqSortById = -1;

struct FrqListRow {
  int64_t id;
  CFrqRecord record;
};

class CFrqListSet {
 public:
  CFrqListSet() = default;
  ~CFrqListSet();
  CFrqListSet(const CFrqListSet&) = delete;
  CFrqListSet& operator=(const CFrqListSet&) = delete;

  // Opens the file at path; create != 0 makes a missing file (or a file without the table)
  // a new, empty list. A file whose table has other columns is refused. 1, or 0 with Error()
  // naming the file and the reason; an earlier file is closed first either way.
  int Init(const std::string& path, int create);
  void Close();
  int IsOpen() const { return db_ != nullptr; }
  const std::string& Error() const { return error_; }
  const std::string& Path() const { return path_; }

  // All rows ordered by sort (0..7: the ordering indexes "Frequency (KHz)" ... "ModulationType",
  // ties by ID; kFrqSortById). Repairs of values read go to notes as "row ID: COLUMN: ...".
  // 1, or 0 with Error() set and out untouched.
  int List(int sort, std::vector<FrqListRow>& out, std::vector<std::string>* notes = nullptr);
  // One row; 0 with Error() set when no row has the ID.
  int Get(int64_t id, CFrqRecord& out, std::vector<std::string>* notes = nullptr);
  int Count(int64_t& count);

  // A record is refused (0, Error() says which column and why) unless every value lies in its
  // column's range; doubles are stored rounded (frequencies 3 decimals, stop bits 1).
  int Add(const CFrqRecord& record, int64_t* id = nullptr);
  // Adds all records or, on any failure, none.
  int AddAll(const std::vector<CFrqRecord>& records);
  // 0 with Error() set when no row has the ID.
  int Update(int64_t id, const CFrqRecord& record);
  int Delete(int64_t id);

 private:
  int Fail(const std::string& reason);
  int SqlFail();
  int Exec(const char* sql);
  int Prepare(sqlite3_stmt** st, const std::string& sql);
  int CheckOrCreateTable(int create);
  int Begin();
  int Commit();
  void Rollback();
  int BindRecord(sqlite3_stmt* st, const CFrqRecord& r, int first);
  int Insert(const CFrqRecord& r, int64_t* id);
  void ReadRow(sqlite3_stmt* st, FrqListRow& row, std::vector<std::string>* notes);

  std::string path_, error_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* update_ = nullptr;
  sqlite3_stmt* delete_ = nullptr;
  sqlite3_stmt* get_ = nullptr;
};
