// The frequency list as CSV text (RFC 4180: commas, fields with commas, quotes or line ends
// in double quotes, a quote in a quoted field doubled, lines ending in CR LF): a header row
// of the 70 column names in table order, then one row per station with every column.
// Also the first start's list: a new frequency list file filled from the starter list.
#pragma once
#include <string>
#include <vector>

#include "app/lists/frq_database.h"
#include "app/lists/frq_record.h"

// The starter list shipped with the station (in its data folder).
constexpr const char* kFrqStarterFileName = "frqlist.csv";

// The header row and the rows of records, CR LF after each. Doubles with a decimal point
// and their column's decimals, whole numbers in decimal, texts as they are.
std::string FrqCsvText(const std::vector<CFrqRecord>& records);

// Reads CSV text into records. The header names may differ in case and keep the brackets of
// the table's own notation ("[Name]"). Every field is checked (number syntax, the column's range,
// the decoder column, UTF-8 texts of at most 255 characters). A UTF-8 byte order mark is
// skipped, empty lines are skipped, the last line may end without a line end. 1, or 0 with
// "line L, column C (NAME): reason" (or "line L: reason") in *error and out untouched.
// Texts longer than their record field are cut at a character boundary; each such cut adds
// "line L, column C (NAME): cut to fit" to notes (may be null).
int ParseFrqCsv(const std::string& text, std::vector<CFrqRecord>& out, std::string* error,
                std::vector<std::string>* notes = nullptr);

// Adds every row of the CSV file at path to the list, in one transaction: either all or,
// on any fault, none. *added (may be null) receives the number of rows. 1, or 0 with
// "PATH: line L, column C (NAME): reason" or the database's reason in *error.
int ImportFrqCsv(CFrqListSet& list, const std::string& path, int* added, std::string* error,
                 std::vector<std::string>* notes = nullptr);
// Writes every row of the list, in the order they were added, to the CSV file at path,
// replacing it in one step. 1, or 0 with *error set (the old file then stays).
int ExportFrqCsv(CFrqListSet& list, const std::string& path, std::string* error,
                 std::vector<std::string>* notes = nullptr);

// The station's first start: when folder holds no frequency list file yet, makes one filled
// from the CSV file starterCsv ("" for an empty list). The new file takes its name only when
// complete, so a failure leaves no file and the next start tries again. 1 when the file
// exists afterwards (made now or before), or 0 with *error set.
int EnsureFrqDatabase(const std::string& folder, const std::string& starterCsv, std::string* error);
// The starter list's usual place: the station's data folder, as built.
std::string DefaultFrqStarterPath();
