// The columns of the frequency list: their names and types in table order, the range a value
// must lie in, and the rules that turn a record's field into text and back. One table serves
// the database file, the CSV files and the check of records read from list files, so that
// the three agree on what a valid record is.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/lists/frq_record.h"

constexpr int kFrqColumnCount = 70;
constexpr int kFrqSortCount = 8;    // the eight ordering indexes
constexpr int kFrqTextLimit = 255;  // characters a text column holds

enum FrqColumnType { kColDouble, kColText, kColLong, kColBool };

// One column: name without brackets, type, byte place of its member in CFrqRecord, its size
// (texts: the field with its terminating zero) and the accepted range. Doubles keep `decimals`
// decimals. An index column (`isIndex`) holds a position in one of the list's tables: a value
// outside is replaced by `fallback` when read from an old database.
struct FrqColumn {
  const char* name;
  FrqColumnType type;
  size_t offset;
  size_t size;
  double lo, hi;
  int decimals;  // doubles only
  int isIndex;
  int fallback;  // index columns only
};

// The 70 columns in table order.
const FrqColumn* FrqColumns();
// Column number (0-based) of a name (case-insensitive, brackets optional); -1 when none.
int FindFrqColumn(const std::string& name);

// The ordering indexes: index name and the column it orders (sort 0..7); null / -1 outside.
const char* FrqSortName(int sort);
int FrqSortColumn(int sort);
// The sort number of a text: "0".."7", an index name or a column name of an index, any case;
// -1 when none.
int FindFrqSort(const std::string& text);

// Field values of a record as the column's type.
double FrqGetDouble(const CFrqRecord& r, const FrqColumn& c);
int32_t FrqGetInt(const CFrqRecord& r, const FrqColumn& c);
const char* FrqGetText(const CFrqRecord& r, const FrqColumn& c);
void FrqSetDouble(CFrqRecord& r, const FrqColumn& c, double v);
void FrqSetInt(CFrqRecord& r, const FrqColumn& c, int32_t v);
// Copies text into the field cut at a UTF-8 character boundary; bytes that are not UTF-8
// become '?', control characters blanks. 1 when the text was stored unchanged.
int FrqSetText(CFrqRecord& r, const FrqColumn& c, const std::string& text);

// text cut to at most maxBytes bytes without splitting a UTF-8 character.
std::string CutUtf8(const std::string& text, size_t maxBytes);
// 1 when text is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
int IsUtf8(const std::string& text);
// Characters (code points) of well-formed UTF-8 text.
size_t Utf8Length(const std::string& text);

// A double rounded to the column's decimals (frequencies 3, stop bits 1).
double FrqRound(double v, int decimals);

// The field as text: doubles with the column's decimals and a decimal point, whole numbers
// in decimal, texts as they are.
std::string FormatFrqField(const CFrqRecord& r, const FrqColumn& c);
// Reads text into the field. Numbers: optional sign, digits, for doubles a decimal point and
// digits, no blanks, inside the column's range; doubles are rounded to the column's decimals.
// Texts: UTF-8 without control characters, at most 255 characters, cut to the field. 1, or 0
// with a reason in *error and the record untouched. *cut (may be null) is set when a text did
// not fit its field.
int ParseFrqField(CFrqRecord& r, const FrqColumn& c, const std::string& text, std::string* error,
                  int* cut = nullptr);

// Checks every field of a record against the column ranges and the decoder column.
// With repair, out-of-range values are put right (index columns to their fallback, other
// numbers to the nearest end of the range, a decoder value of exactly 8192 or above 16387 to
// 0, audio / scanner) and each repair adds "COLUMN: what was done" to notes; without it the
// first fault is described in *error. 1 when the record was valid.
int CheckFrqRecord(CFrqRecord& r, int repair, std::vector<std::string>* notes, std::string* error);
