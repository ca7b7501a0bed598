// The frequency list file: its table and indexes against the starter list's header and the
// column kinds written out here, adding, changing, deleting and sorting rows, records refused
// without a trace, and rows of older or foreign files (written with plain SQL) put right.
#include "app/lists/frq_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/core/safe_file.h"
#include "app/lists/frq_columns.h"
#include "tests/common/signal_test_util.h"

namespace {

const char* kIndexes[][2] = {{"Frequency (KHz)", "RX-FRQ (KHz)"}, {"Name", "Name"},
                             {"Decoder", "Decoder"},                {"Modulation", "Modulation"},
                             {"CallSign", "CallSign"},              {"Country", "Country"},
                             {"StationType", "StationType"},        {"ModulationType", "ModulationType"}};

// Plain SQLite access beside the class, for checking and for writing what it never would.
class CRawDb {
 public:
  explicit CRawDb(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
  ~CRawDb() { sqlite3_close(db_); }
  int Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
  std::vector<std::vector<std::string>> Rows(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        const unsigned char* t = sqlite3_column_text(st, i);
        row.push_back(t ? reinterpret_cast<const char*>(t) : "");
      }
      rows.push_back(row);
    }
    sqlite3_finalize(st);
    return rows;
  }

 private:
  sqlite3* db_ = nullptr;
};

CFrqRecord Station(double kHz, const char* name, int country) {
  CFrqRecord r = FrqTemplate();
  r.rxFrq = r.txFrq = kHz;
  SetFrqText(r.name, sizeof r.name, name);
  r.country = country;
  return r;
}

std::vector<std::string> Names(const std::vector<FrqListRow>& rows) {
  std::vector<std::string> names;
  for (const FrqListRow& row : rows) names.push_back(row.record.name);
  return names;
}

bool Mentions(const std::vector<std::string>& notes, const std::string& what) {
  for (const std::string& n : notes)
    if (n.find(what) != std::string::npos) return true;
  return false;
}

TEST(FrqListSet, CreatesTheTableWithItsColumnsAndIndexes) {
  sigtest::TempDir dir;
  const std::string path = dir.File(kFrqDataFileName);
  {
    CFrqListSet list;
    ASSERT_TRUE(list.Init(path, 1)) << list.Error();
  }
  // The names as the starter list's header has them (older files share them); the kinds one
  // letter a column: DOUBLE, VARCHAR(255) text, INTEGER, BOOLEAN.
  std::vector<uint8_t> starter;
  ASSERT_TRUE(ReadWholeFile(KESTREL_DATA_DIR "/frqlist.csv", starter));
  const std::string header(starter.begin(), std::find(starter.begin(), starter.end(), '\r'));
  const std::string kinds = "DTIITIIIIDBBBIIDDIBBBBTIIIIBBIIBBBIIIIIIIIIIIIIIIIIIIIIIDIIIIIITIIIIII";
  const std::map<char, std::string> kind_names = {
      {'D', "DOUBLE"}, {'T', "VARCHAR(255)"}, {'I', "INTEGER"}, {'B', "BOOLEAN"}};
  CRawDb raw(path);
  const auto cols = raw.Rows("PRAGMA table_info(FrqList)");
  ASSERT_EQ(cols.size(), kinds.size());
  std::string names;
  for (size_t i = 0; i < cols.size(); ++i) {
    names += (i ? "," : "") + cols[i][1];
    EXPECT_EQ(cols[i][2], kind_names.at(kinds[i])) << cols[i][1];
  }
  EXPECT_EQ(names, header);
  for (const auto& index : kIndexes) {
    const auto on = raw.Rows(std::string("PRAGMA index_info(\"") + index[0] + "\")");
    ASSERT_EQ(on.size(), 1u) << index[0];
    EXPECT_EQ(on[0][2], index[1]) << index[0];
  }
  EXPECT_EQ(raw.Rows("SELECT name FROM sqlite_master WHERE type = 'index'").size(), std::size(kIndexes));

  // Opening again keeps it; a missing file is not made unless asked for.
  CFrqListSet again;
  EXPECT_TRUE(again.Init(path, 0)) << again.Error();
  EXPECT_FALSE(again.Init(dir.File("none.mdb"), 0));
  EXPECT_NE(again.Error().find("none.mdb"), std::string::npos);
}

TEST(FrqListSet, RefusesFilesThatAreNoFrequencyList) {
  sigtest::TempDir dir;
  // Another table of the same name: refused, and not changed.
  const std::string other = dir.File("other.mdb");
  {
    CRawDb raw(other);
    ASSERT_EQ(raw.Exec("CREATE TABLE FrqList (\"RX-FRQ (KHz)\" DOUBLE, Name TEXT, Mode INTEGER)"), SQLITE_OK);
  }
  std::vector<uint8_t> before, after;
  ASSERT_TRUE(ReadWholeFile(other, before));
  CFrqListSet list;
  EXPECT_FALSE(list.Init(other, 1));
  EXPECT_NE(list.Error().find("column 3"), std::string::npos) << list.Error();
  ASSERT_TRUE(ReadWholeFile(other, after));
  EXPECT_EQ(before, after);
  // Not a database at all (an old desktop-database file, say).
  const std::string junk = dir.File("junk.mdb");
  const std::string text(4096, 'J');
  ASSERT_TRUE(WriteFileReplacing(junk, text.data(), text.size()));
  EXPECT_FALSE(list.Init(junk, 1));
  EXPECT_FALSE(list.Error().empty());
  EXPECT_FALSE(list.IsOpen());
}

TEST(FrqListSet, AddsChangesDeletesAndSorts) {
  sigtest::TempDir dir;
  CFrqListSet list;
  ASSERT_TRUE(list.Init(dir.File(kFrqDataFileName), 1)) << list.Error();
  int64_t a = 0, b = 0, c = 0;
  // Country indexes: D 66, G 81, AAA 0.
  ASSERT_TRUE(list.Add(Station(7880.0, "Pinneberg", 66), &a)) << list.Error();
  ASSERT_TRUE(list.Add(Station(518.0, "Navtex", 0), &b));
  ASSERT_TRUE(list.Add(Station(4610.0, "Northwood", 81), &c));
  EXPECT_TRUE(a < b && b < c);

  std::vector<FrqListRow> rows;
  ASSERT_TRUE(list.List(0, rows));
  EXPECT_EQ(Names(rows), (std::vector<std::string>{"Navtex", "Northwood", "Pinneberg"}));
  ASSERT_TRUE(list.List(5, rows));
  EXPECT_EQ(Names(rows), (std::vector<std::string>{"Navtex", "Pinneberg", "Northwood"}));
  ASSERT_TRUE(list.List(kFrqSortById, rows));
  EXPECT_EQ(Names(rows), (std::vector<std::string>{"Pinneberg", "Navtex", "Northwood"}));
  EXPECT_FALSE(list.List(8, rows));

  // Stored rounded: frequencies to 3 decimals, stop bits to 1.
  CFrqRecord changed = Station(7880.12345, "Pinneberg DDK3", 66);
  changed.rttyStopBits = 1.46;
  ASSERT_TRUE(list.Update(a, changed)) << list.Error();
  CFrqRecord got;
  ASSERT_TRUE(list.Get(a, got));
  EXPECT_EQ(got.rxFrq, 7880.123);
  EXPECT_EQ(got.rttyStopBits, 1.5);
  EXPECT_STREQ(got.name, "Pinneberg DDK3");

  ASSERT_TRUE(list.Delete(b));
  EXPECT_FALSE(list.Get(b, got));
  EXPECT_FALSE(list.Delete(b));
  EXPECT_FALSE(list.Update(b, changed));
  int64_t n = 0;
  ASSERT_TRUE(list.Count(n));
  EXPECT_EQ(n, 2);
  // Deleting the last rows leaves an empty list.
  ASSERT_TRUE(list.Delete(a));
  ASSERT_TRUE(list.Delete(c));
  ASSERT_TRUE(list.List(0, rows));
  EXPECT_TRUE(rows.empty());
}

TEST(FrqListSet, RefusedWritesLeaveTheFileAsItWas) {
  sigtest::TempDir dir;
  const std::string path = dir.File(kFrqDataFileName);
  CFrqListSet list;
  ASSERT_TRUE(list.Init(path, 1));
  ASSERT_TRUE(list.Add(Station(3855.0, "Pinneberg", 66)));
  std::vector<uint8_t> before, after;
  ASSERT_TRUE(ReadWholeFile(path, before));

  struct Bad {
    void (*spoil)(CFrqRecord&);
    const char* column;
  };
  const Bad bad[] = {
      {[](CFrqRecord& r) { r.country = 256; }, "Country"},
      {[](CFrqRecord& r) { r.decoder = kFrqFaxBase; }, "Decoder"},
      {[](CFrqRecord& r) { r.rxFrq = -1.0; }, "RX-FRQ"},
      {[](CFrqRecord& r) { std::strcpy(r.name, "\xC3("); }, "Name"},
  };
  for (const Bad& b : bad) {
    CFrqRecord r = Station(7880.0, "Pinneberg", 66);
    b.spoil(r);
    EXPECT_FALSE(list.Add(r)) << b.column;
    EXPECT_NE(list.Error().find(b.column), std::string::npos) << list.Error();
    // One bad record among good ones: none is added.
    EXPECT_FALSE(list.AddAll({Station(1.0, "a", 0), r, Station(2.0, "b", 0)}));
    EXPECT_NE(list.Error().find("record 2"), std::string::npos) << list.Error();
  }
  int64_t n = 0;
  ASSERT_TRUE(list.Count(n));
  EXPECT_EQ(n, 1);
  list.Close();
  ASSERT_TRUE(ReadWholeFile(path, after));
  EXPECT_EQ(before, after);
}

TEST(FrqListSet, PutsRightWhatAnOlderFileHolds) {
  sigtest::TempDir dir;
  const std::string path = dir.File(kFrqDataFileName);
  {
    CFrqListSet list;
    ASSERT_TRUE(list.Init(path, 1));
    ASSERT_TRUE(list.Add(Station(7880.0, "good", 66)));
  }
  {
    CRawDb raw(path);
    // Values this station would never write, as an older program or a hand edit leaves them.
    ASSERT_EQ(raw.Exec("INSERT INTO FrqList (\"RX-FRQ (KHz)\", Name, Decoder, Modulation, Country, "
                       "StationType, IF, \"SSTV-mode\", ModulationType, Volume, Flags, \"RTTY-stopbits\", "
                       "CallSign) VALUES ('7040,5', 'bad', 8192, 14, 300, -1, 9, 7, 40, X'0102', "
                       "12345678901, '1,5', 'DL' || char(7) || 'ABC')"),
              SQLITE_OK);
    ASSERT_EQ(raw.Exec("INSERT INTO FrqList (\"RX-FRQ (KHz)\", Name, Decoder, Modulation) VALUES "
                       "(1e12, X'4D6574C3A96FFF', 16390, 3.5)"),
              SQLITE_OK);
    ASSERT_EQ(raw.Exec("INSERT INTO FrqList (\"RX-FRQ (KHz)\", Name, Decoder) VALUES (10.0, 'w', -5)"),
              SQLITE_OK);
  }
  CFrqListSet list;
  ASSERT_TRUE(list.Init(path, 0));
  std::vector<FrqListRow> rows;
  std::vector<std::string> notes;
  ASSERT_TRUE(list.List(kFrqSortById, rows, &notes));
  ASSERT_EQ(rows.size(), 4u);
  // The good row reads without a note.
  EXPECT_FALSE(Mentions(notes, "row 1:"));

  const CFrqRecord& r = rows[1].record;
  EXPECT_EQ(r.rxFrq, 7040.5);  // decimal comma of the old layer
  EXPECT_EQ(r.rttyStopBits, 1.5);
  // The decoder first: FAX with index 0, applied as audio / scanner.
  EXPECT_EQ((std::vector<int32_t>{r.decoder, r.modulation, r.country, r.stationType, r.ifIndex,
                                  r.sstvMode, r.modulationType, r.volume, r.flags}),
            (std::vector<int32_t>{0, 1, 0, 14, 0, 0, 16, 0, 2147483647}));
  EXPECT_STREQ(r.callSign, "DL ABC");
  for (const char* column : {"row 2: Decoder", "row 2: Modulation", "row 2: Country", "row 2: StationType",
                             "row 2: IF", "row 2: SSTV-mode", "row 2: ModulationType", "row 2: Volume",
                             "row 2: Flags", "row 2: CallSign"})
    EXPECT_TRUE(Mentions(notes, column)) << column;

  const CFrqRecord& s = rows[2].record;
  EXPECT_EQ(s.rxFrq, 1e8);      // clamped to the top of the range
  EXPECT_EQ(s.decoder, 0);      // no SSTV mode past the fourth
  EXPECT_EQ(s.modulation, 4);   // 3.5 rounded
  EXPECT_STREQ(s.name, "Met\xC3\xA9o?");  // bytes that are no UTF-8 become '?'
  EXPECT_TRUE(Mentions(notes, "row 3: Name"));
  EXPECT_TRUE(Mentions(notes, "row 3: RX-FRQ"));
  EXPECT_EQ(rows[3].record.decoder, 0);
  EXPECT_TRUE(Mentions(notes, "row 4: Decoder"));

  // Get checks the same way.
  CFrqRecord one;
  notes.clear();
  ASSERT_TRUE(list.Get(rows[1].id, one, &notes));
  EXPECT_EQ(one.country, 0);
  EXPECT_TRUE(Mentions(notes, "Country"));
  // What was read and put right can be written back.
  EXPECT_TRUE(list.Update(rows[1].id, one)) << list.Error();
}

TEST(FrqListSet, TextsAreCutAtACharacterBoundary) {
  sigtest::TempDir dir;
  CFrqListSet list;
  ASSERT_TRUE(list.Init(dir.File(kFrqDataFileName), 1));
  // 40 characters: the name keeps 31 bytes. With two-, three- and four-byte characters
  // around the cut, the cut moves back to the start of the character that does not fit.
  const std::string ascii(40, 'N');
  const std::string two = std::string(30, 'a') + "\xC3\xA9" + "bbbb";          // é at bytes 30..31
  const std::string three = std::string(29, 'a') + "\xE2\x82\xAC" + "ccc";     // € at 29..31
  const std::string four = std::string(28, 'a') + "\xF0\x9F\x93\xA1" + "dd";   // 📡 at 28..31
  const std::string fits = std::string(27, 'a') + "\xF0\x9F\x93\xA1";          // 31 bytes exactly
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {{ascii, std::string(31, 'N')},
                        {two, std::string(30, 'a')},
                        {three, std::string(29, 'a')},
                        {four, std::string(28, 'a')},
                        {fits, fits}};
  for (const Case& c : cases) {
    CFrqRecord r = Station(1.0, "", 0);
    int64_t id = 0;
    {
      // Through an older file's row, which holds the whole text.
      CRawDb raw(list.Path());
      ASSERT_EQ(raw.Exec("INSERT INTO FrqList (\"RX-FRQ (KHz)\", Name) VALUES (1.0, '" + c.in + "')"), SQLITE_OK);
      id = std::stoll(raw.Rows("SELECT max(rowid) FROM FrqList")[0][0]);
    }
    std::vector<std::string> notes;
    ASSERT_TRUE(list.Get(id, r, &notes));
    EXPECT_EQ(std::string(r.name), c.out);
    EXPECT_TRUE(IsUtf8(r.name));
    EXPECT_TRUE(notes.empty()) << notes[0];  // a cut is no repair
    EXPECT_EQ(CutUtf8(c.in, kFrqNameSize - 1), c.out);
  }
}

}  // namespace
