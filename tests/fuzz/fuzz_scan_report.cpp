// libFuzzer target: scanner report files. Loading never allocates beyond the file, and a
// store that loads saves back to the same bytes it was read from (up to trailing bytes).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "spl/radio/scanner.h"
#include "tests/fuzz/fuzz_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = FuzzFolder() + "/report.scn";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  CScanner s;
  s.Init(11025, 1024);
  if (!s.LoadData(path.c_str())) {
    if (s.GetYSize() != 0) std::abort();
    return 0;
  }
  ScanEntry e;
  for (int line = 0; line < s.GetYSize(); ++line)
    for (int col = 0; col < s.GetXSize(); ++col)
      if (!s.GetEntry(col, line, e)) std::abort();
  int c, l;
  s.FindSMeterEntry(5, 50, 100, c, l);
  if (!s.SaveData(path.c_str())) std::abort();
  std::FILE* g = std::fopen(path.c_str(), "rb");
  std::vector<uint8_t> back(size + 1);
  size_t n = std::fread(back.data(), 1, back.size(), g);
  std::fclose(g);
  if (n > size || std::memcmp(back.data(), data, n) != 0) std::abort();
  int finished;
  s.SetValue(1, 2, 3, finished);
  return 0;
}
