// libFuzzer target: frequency-record list files (timer, channel and satellite lists). A file
// is refused exactly when it is not a whole number of records; a list that reads writes back
// to the bytes it was read from, except that every text ends in a zero, and reads again the
// same.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/core/safe_file.h"
#include "app/lists/frq_record.h"
#include "tests/fuzz/fuzz_folder.h"

namespace {

// The text fields of a record, written out here on their own: offset and size.
constexpr int kTexts[][2] = {{8, 32}, {48, 16}, {144, 16}, {324, 80}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& folder = FuzzFolder();
  const std::string in = folder + "/in.tim";
  const std::string out = folder + "/out.tim";
  std::FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  std::vector<CFrqRecord> list;
  std::string error;
  if (!ReadFrqRecordFile(in, list, &error)) {
    if (size % kFrqRecordSize == 0 || error.empty()) std::abort();
    return 0;
  }
  if (list.size() != size / kFrqRecordSize) std::abort();
  if (!WriteFrqRecordFile(out, list, &error)) std::abort();

  std::vector<uint8_t> expected(data, data + size);
  for (size_t at = 0; at < size; at += kFrqRecordSize)
    for (const auto& t : kTexts) expected[at + t[0] + t[1] - 1] = 0;
  std::vector<uint8_t> written;
  if (!ReadWholeFile(out, written) || written != expected) std::abort();

  std::vector<CFrqRecord> again;
  if (!ReadFrqRecordFile(out, again) || again.size() != list.size()) std::abort();
  uint8_t a[kFrqRecordSize], b[kFrqRecordSize];
  for (size_t i = 0; i < list.size(); ++i) {
    FrqRecordToBytes(list[i], a);
    FrqRecordToBytes(again[i], b);
    if (std::memcmp(a, b, sizeof a) != 0) std::abort();
    // The rules that read a record take any values.
    FrqDialFrequency(list[i]);
    StationDecoderCode(list[i]);
    SstvModeOfIndex(list[i].sstvMode);
    IfWidthKHz(list[i].ifIndex);
  }
  return 0;
}
