// libFuzzer target: the settings record and the profile file. Any bytes as KSTLCONFIG.CFG
// load (or are refused and kept), every field formats, and the record saves back to the bytes
// it was read from; any bytes as KSTL.INI load, save back unchanged, and keys set in it read
// back after a save and a reload.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/core/profile_file.h"
#include "app/core/safe_file.h"
#include "app/core/settings_record.h"
#include "tests/fuzz/fuzz_folder.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void FuzzRecord(const std::string& folder, const uint8_t* data, size_t size) {
  const std::string path = folder + "/KSTLCONFIG.CFG";
  unlink((path + ".bad").c_str());
  Check(WriteFileReplacing(path, data, size));
  CSettingsRecord r;
  std::string message;
  const int loaded = r.Load(path, &message);
  if (loaded != 1) {
    Check(loaded == -1 && size != size_t(kSettingsRecordSize) && !message.empty());
    std::vector<uint8_t> kept;
    Check(ReadWholeFile(path + ".bad", kept) && kept.size() == size);
    Check(memcmp(r.Bytes(), CSettingsRecord().Bytes(), kSettingsRecordSize) == 0);
  } else {
    Check(memcmp(r.Bytes(), data, size) == 0);
  }
  int count;
  const SettingsField* fields = SettingsFields(&count);
  CSettingsRecord copy = r;
  for (int i = 0; i < count; ++i) {
    const std::string text = FormatSettingsField(r, fields[i]);
    std::string error;
    // Whatever is shown sets the field to the same bytes, apart from values text cannot
    // carry (NaN payloads, control bytes in strings, shown escaped).
    if (ParseSettingsField(copy, fields[i], text, &error) && fields[i].kind != kFieldString)
      Check(memcmp(copy.Bytes() + fields[i].offset, r.Bytes() + fields[i].offset,
                   size_t(fields[i].size)) == 0);
  }
  Check(r.Save(path, nullptr));
  CSettingsRecord back;
  Check(back.Load(path, &message) == 1);
  Check(memcmp(back.Bytes(), r.Bytes(), kSettingsRecordSize) == 0);
}

void FuzzProfile(const std::string& folder, const uint8_t* data, size_t size) {
  const std::string path = folder + "/KSTL.INI", again = folder + "/AGAIN.INI";
  Check(WriteFileReplacing(path, data, size));
  CProfileFile p;
  Check(p.Load(path) == 1);
  Check(p.Save(again, nullptr));
  std::vector<uint8_t> saved;
  Check(ReadWholeFile(again, saved) && saved.size() == size &&
        (size == 0 || memcmp(saved.data(), data, size) == 0));
  // Keys taken from the input itself find the odd corners of the parser.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string section = text.substr(0, std::min<size_t>(size, 6));
  const int receiver = p.GetInt("RADIO", "receiver", 12);
  p.GetString(section, "WindowPos", "");
  const int next = receiver == INT32_MAX ? 0 : receiver + 1;
  p.SetInt("RADIO", "receiver", next);
  p.SetString("Settings", "WindowPos", "2,3,-1,-1,-1,-1,10,10,800,600");
  p.SetString(section, "key", text.substr(size / 2));
  Check(p.Save(again, nullptr));
  CProfileFile q;
  Check(q.Load(again) == 1);
  Check(q.GetInt("radio", "RECEIVER", 12) == next);
  Check(q.GetString("settings", "windowpos", "") == "2,3,-1,-1,-1,-1,10,10,800,600");
  Check(q.GetString(section, "key", "?") == p.GetString(section, "key", "?"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& folder = FuzzFolder();
  FuzzRecord(folder, data, size);
  FuzzProfile(folder, data, size);
  return 0;
}
