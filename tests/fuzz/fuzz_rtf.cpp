// libFuzzer target: the RTF reader of saved messages. Any input must be read without a crash
// within the nesting bound; whatever it accepts must come back unchanged through the writer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "spl/platform/rich_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string rtf(reinterpret_cast<const char*>(data), size);
  std::vector<RichRun> runs;
  if (!ReadRtf(rtf, runs)) return 0;
  std::vector<RichRun> again;
  if (!ReadRtf(WriteRtf(runs, RichFont{}), again)) std::abort();
  if (RichPlainText(again) != RichPlainText(runs)) std::abort();
  if (again.size() != runs.size()) std::abort();
  for (size_t i = 0; i < runs.size(); ++i)
    if (again[i].colour != runs[i].colour) std::abort();
  return 0;
}
