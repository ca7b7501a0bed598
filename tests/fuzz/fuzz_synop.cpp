// Fuzz target: the SYNOP parser on arbitrary bulletin bytes (raw WMO framing included), and
// Translate of every report it delivers, against a store built once from the shipped lists.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "spl/decoders/synop_decoder.h"
#include "spl/decoders/synop_import.h"
#include "tests/fuzz/fuzz_folder.h"

namespace {

class CFuzzDecoder : public CSynopDecoder {
 public:
  void Message(SYN_DATA& r) override {
    char text[kTextSize];
    const int n = Translate(r, text, sizeof text);
    if (n < 0 || n >= kTextSize) abort();
    char small[64];
    if (Translate(r, small, sizeof small) >= static_cast<int>(sizeof small)) abort();
  }
};

CFuzzDecoder* decoder = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string data = KESTREL_SYNOP_DATA;
  const std::string db = FuzzFolder() + "/synop.db";
  std::string error;
  if (!SynopCreateStore(db.c_str(), (data + "/stations.csv").c_str(),
                        (data + "/labels.tsv").c_str(), (data + "/regions.tsv").c_str(),
                        (data + "/region_texts.tsv").c_str(), error))
    abort();
  decoder = new CFuzzDecoder;
  if (!decoder->Init(1, db.c_str())) abort();
  unlink(db.c_str());  // preloaded: the file is no longer needed
  decoder->SetClock(1796000000);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  decoder->ResetDecoder();
  for (size_t i = 0; i < size; ++i) decoder->DecodeWMO(data[i]);
  decoder->Decode('\r');
  return 0;
}
