// libFuzzer target: CSV files of the frequency list. Any text either is refused with a reason
// naming a line, or gives records that pass the list's checks and that the writer turns into
// text which reads back to the same records and the same text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/lists/frq_columns.h"
#include "app/lists/frq_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<CFrqRecord> records;
  std::string error;
  std::vector<std::string> notes;
  if (!ParseFrqCsv(text, records, &error, &notes)) {
    if (error.compare(0, 5, "line ") != 0) std::abort();
    if (!records.empty()) std::abort();
    return 0;
  }
  uint8_t a[kFrqRecordSize], b[kFrqRecordSize];
  for (const CFrqRecord& r : records) {
    CFrqRecord checked = r;
    if (!CheckFrqRecord(checked, 0, nullptr, &error)) std::abort();
    FrqRecordToBytes(r, a);
    FrqRecordToBytes(checked, b);
    if (std::memcmp(a, b, sizeof a) != 0) std::abort();
  }
  const std::string written = FrqCsvText(records);
  std::vector<CFrqRecord> again;
  std::vector<std::string> againNotes;
  if (!ParseFrqCsv(written, again, &error, &againNotes)) std::abort();
  if (again.size() != records.size() || !againNotes.empty()) std::abort();
  for (size_t i = 0; i < records.size(); ++i) {
    FrqRecordToBytes(records[i], a);
    FrqRecordToBytes(again[i], b);
    if (std::memcmp(a, b, sizeof a) != 0) std::abort();
  }
  if (FrqCsvText(again) != written) std::abort();
  return 0;
}
